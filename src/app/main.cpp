// Kalvix: compares the schemas of two directory trees.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "Application.h"
#include "ClientFactory.h"
#include "CommandLine.h"
#include "TMainForm.h"

namespace {

QStringList RawArguments(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    return args;
}

// Help and version need no display, so they are answered before Qt opens one.
bool AnswerWithoutWindow(const WindowCommandLine& line) {
    if (line.action == WindowCommandLine::Action::Help) {
        std::fputs(WindowUsage().toLocal8Bit().constData(), stdout);
        return true;
    }
    if (line.action == WindowCommandLine::Action::Version) {
        std::fputs(WindowVersion().toLocal8Bit().constData(), stdout);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (AnswerWithoutWindow(ParseWindowCommandLine(RawArguments(argc, argv)))) return 0;
    QApplication app(argc, argv);
    ConfigureApplication();
    // Qt has taken its own options (-platform, -style ...) out by now.
    const WindowCommandLine line = ParseWindowCommandLine(QApplication::arguments().mid(1));
    if (AnswerWithoutWindow(line)) return 0;
    if (line.action == WindowCommandLine::Action::Error) {
        std::fprintf(stderr, "kalvix: %s\n%s", line.error.toLocal8Bit().constData(),
                     WindowUsage().toLocal8Bit().constData());
        return 2;
    }
    TMainForm form(CreateConfiguredClient());
    form.show();
    if (!line.operands.isEmpty())
        QTimer::singleShot(0, &form, [&form, &line] { form.OpenOperands(line.operands); });
    return QApplication::exec();
}
