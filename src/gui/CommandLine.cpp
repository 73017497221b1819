#include "gui/CommandLine.h"

#include "gui/AppInfo.h"

namespace {
const QString kTreePrefix = QStringLiteral("tree:");
}

WindowCommandLine ParseWindowCommandLine(const QStringList& args) {
    WindowCommandLine line;
    bool optionsEnded = false;
    for (const QString& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            return {WindowCommandLine::Action::Help, {}, {}};
        } else if (!optionsEnded && arg == "--version") {
            return {WindowCommandLine::Action::Version, {}, {}};
        } else if (!optionsEnded && arg.startsWith('-') && arg != "-") {
            line.action = WindowCommandLine::Action::Error;
            if (line.error.isEmpty()) line.error = QString("unknown option '%1'").arg(arg);
        } else {
            line.operands << arg;
        }
    }
    if (line.action == WindowCommandLine::Action::Run) {
        if (line.operands.size() > 2) {
            line.action = WindowCommandLine::Action::Error;
            line.error = "at most two operands: one for Tree #1, one for Tree #2";
        } else if (line.operands.contains(QString())) {
            line.action = WindowCommandLine::Action::Error;
            line.error = "an empty operand is neither a file nor a tree";
        } else if (line.operands.contains(kTreePrefix)) {
            line.action = WindowCommandLine::Action::Error;
            line.error = "'tree:' needs a tree name";
        }
    }
    return line;
}

QString WindowUsage() {
    return "Usage: kalvix [OPERAND1 [OPERAND2]]\n"
           "Opens the Kalvix window; OPERAND1 is loaded into Tree #1, OPERAND2 into Tree #2.\n"
           "When both load, the window opens on the class comparison's Quick Check.\n\n"
           "An operand is the path of a schema file, an LDIF dump, an OpenLDAP .schema\n"
           "file or a folder of them (as \"Load from File\" reads them), or\n"
           "tree:NAME for a live tree of the directory client (as the tree selector\n"
           "chooses it). A file whose name begins with tree: is written as ./tree:...\n\n"
           "Options:\n"
           "  --help, -h  this text\n"
           "  --version   the program's version\n";
}

QString WindowVersion() { return QString::fromStdString(VersionText("kalvix")); }

WindowOperand ParseWindowOperand(const QString& operand) {
    if (operand.startsWith(kTreePrefix)) return {true, operand.mid(kTreePrefix.size())};
    return {false, operand};
}
