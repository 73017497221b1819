// The window's command line: kalvix [OPERAND1 [OPERAND2]], --help, --version.
#pragma once

#include <QString>
#include <QStringList>

struct WindowCommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QStringList operands;  // for Tree #1, then Tree #2
    QString error;         // for Action::Error: one line saying what is wrong
};

// args without the program name. Options may stand anywhere; "--" ends them, so a file
// whose name begins with "-" can be given.
WindowCommandLine ParseWindowCommandLine(const QStringList& args);

QString WindowUsage();
QString WindowVersion();

// A tree operand: tree:NAME names a live tree, anything else is a schema file's path.
struct WindowOperand {
    bool live = false;
    QString text;  // the tree name, or the path as given
};
WindowOperand ParseWindowOperand(const QString& operand);
