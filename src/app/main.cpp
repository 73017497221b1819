// Kalvix: compares the schemas of two directory trees.
#include <QApplication>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "gui/Application.h"
#include "gui/CommandLine.h"
#include "gui/TMainForm.h"
#include "sources/ClientFactory.h"

namespace {

QStringList RawArguments(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    return args;
}

// The text on standard output; a write that fails (a full disk) is trouble, as GNU tools
// have it, not a silent success.
int Answer(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "kalvix: cannot write the output: %s\n", std::strerror(errno));
    return 2;
}

// Help and version need no display, so they are answered before Qt opens one. The exit
// status when answered.
std::optional<int> AnswerWithoutWindow(const WindowCommandLine& line) {
    if (line.action == WindowCommandLine::Action::Help) return Answer(WindowUsage());
    if (line.action == WindowCommandLine::Action::Version) return Answer(WindowVersion());
    return std::nullopt;
}

// What ./run says when there is no display, for this program.
const char* const kNoDisplay =
    "kalvix: no display found; run 'xvfb-run kalvix', or set QT_QPA_PLATFORM=offscreen\n";

// Whether Qt has a display to try: one named in the environment, or a platform chosen.
bool DisplayGiven(int argc, char* argv[]) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!qEnvironmentVariableIsEmpty(name)) return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0)
            return true;
    return false;
}

// While Qt opens the display: a display it cannot open ends the program with the hint and
// the status of a usage error, not with Qt's abort. Other messages are shown as Qt would.
void OpeningMessages(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::_Exit(2);
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, msg)));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const auto status = AnswerWithoutWindow(ParseWindowCommandLine(RawArguments(argc, argv))))
        return *status;
    if (!DisplayGiven(argc, argv)) {
        std::fputs(kNoDisplay, stderr);
        return 2;
    }
    qInstallMessageHandler(OpeningMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    ConfigureApplication();
    // Qt has taken its own options (-platform, -style ...) out by now.
    const WindowCommandLine line = ParseWindowCommandLine(QApplication::arguments().mid(1));
    if (const auto status = AnswerWithoutWindow(line)) return *status;
    if (line.action == WindowCommandLine::Action::Error) {
        std::fprintf(stderr, "kalvix: %s\n%s", line.error.toLocal8Bit().constData(),
                     WindowUsage().toLocal8Bit().constData());
        return 2;
    }
    std::string notice;
    TMainForm form(CreateWindowClient(notice));
    if (!notice.empty()) form.ShowStartNotice(QString::fromStdString(notice));
    form.show();
    if (!line.operands.isEmpty())
        QTimer::singleShot(0, &form, [&form, &line] { form.OpenOperands(line.operands); });
    return QApplication::exec();
}
