#include "gui/DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "core/Names.h"

namespace {
// Status codes above 32 mean success, as the shell's open operation reports them.
constexpr int kOpened = 42;
constexpr int kFileNotFound = 2;
}  // namespace

bool DesktopShell::fileExists(const std::string& path) {
    if (path.empty()) return false;
    const QFileInfo info(DecodeName(path));
    return info.exists() && info.isFile();
}

int DesktopShell::open(const std::string& file, const std::string& parameters,
                       const std::string& directory, int) {
    const QString program = DecodeName(file);
    const QFileInfo info(program);
    if (info.isFile() && info.isExecutable()) {
        const QStringList args = QProcess::splitCommand(DecodeName(parameters));
        return QProcess::startDetached(program, args, DecodeName(directory)) ? kOpened
                                                                             : kFileNotFound;
    }
    if (program.isEmpty()) return kFileNotFound;
    return QDesktopServices::openUrl(QUrl::fromUserInput(program)) ? kOpened : kFileNotFound;
}
