// "Check Entries ..." on each schema page: an LDIF file of entries checked against that
// page's tree, as kalvix-cli fit checks it; the page lists the refused entries, a line per
// reason, and a double click shows the entry as the file holds it.
#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <cstring>
#include <limits>

#include "core/D_Util.h"
#include "core/fit/FitRun.h"
#include "core/writers/FitWriting.h"
#include "gui/BusyCursor.h"
#include "gui/TMainForm.h"

namespace {

// The entries whose texts a double click can show; past them, only their lines.
constexpr std::size_t kKeptEntries = 10000;
constexpr std::size_t kKeptBytes = 64 * 1024;
constexpr std::uint32_t kNoText = std::numeric_limits<std::uint32_t>::max();

// Paths go to the system as they are, bytes of the local encoding (UTF-8 here).
std::string PathBytes(const QString& text) { return text.toStdString(); }

}  // namespace

void TMainForm::BitBtnCheckEntriesClick(QObject* sender) {
    const int tree = sender == static_cast<QObject*>(BitBtnCheckEntries[2]) ? 2 : 1;
    const TTreeInfo& slot = Trees(tree);
    if (!slot.Schema) {
        showMsgDlg(DlgType::Error,
                   "Tree #" + std::to_string(tree) +
                       " holds no published LDAP definitions: entries are checked against a "
                       "tree read from an LDAP server, .schema files or an LDIF dump, or a "
                       "schema file saved from one");
        return;
    }
    LongOperation operation(*this);
    FileDialogSetup setup;
    setup.directory = StartFolder();
    setup.fileName = "*.ldif";
    setup.filter = "LDIF files (*.ldif);;All Files (*)";
    const std::optional<QString> chosen = dialogs_->openFile(setup);
    if (!chosen) return;
    const std::string path = PathBytes(*chosen);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || QFileInfo(*chosen).isDir()) {
        const std::string why = fd < 0 ? std::strerror(errno) : "it is a folder";
        if (fd >= 0) ::close(fd);
        showMsgDlg(DlgType::Error, "Cannot read the entries' file " + path + ": " + why);
        return;
    }

    ListBox* list = ListBoxEntries[static_cast<size_t>(tree)];
    std::vector<std::string>& kept = refusedEntries_[static_cast<size_t>(tree)];
    list->clear();
    kept.clear();
    const FitRunInfo run{PathBytes(QFileInfo(*chosen).fileName()), slot.TreeName, {}, {}};
    std::uint32_t entry = kNoText;
    FitHooks hooks;
    hooks.refused = [&](const FitVerdict& verdict) {
        entry = kNoText;
        if (kept.size() < kKeptEntries) {
            entry = static_cast<std::uint32_t>(kept.size());
            kept.emplace_back();
        }
        for (const std::string& line : FitLines(run, verdict)) list->addItem(line, entry);
    };
    // Comes right after its verdict; a record too long to read has no text.
    hooks.record = [&](std::string_view text, bool refused) {
        if (refused && entry != kNoText) kept[entry].assign(text.substr(0, kKeptBytes));
        entry = kNoText;
    };
    hooks.progress = [&](std::uint64_t records, std::uint64_t bytes) {
        StatusMsg("Checking entries: " + std::to_string(records) + ", " +
                  std::to_string(bytes / 1000000) + " MB");
        pumpEvents();
    };
    FitSummary summary;
    {
        SavedCursor savedCursor;
        const FitSchema schema(*slot.Schema);
        summary = RunFit(fd, schema, {}, hooks);
    }
    ::close(fd);
    StatusBarReset();
    HeadingEntries[static_cast<size_t>(tree)]->setText(
        QString("Refused Entries: %1 of %2 (%3 fit, %4 cannot be read) - %5")
            .arg(summary.refused)
            .arg(summary.records)
            .arg(summary.fitting)
            .arg(summary.malformed)
            .arg(*chosen));
    if (!summary.readError.empty())
        showMsgDlg(DlgType::Error, "The entries' file " + path +
                                       " could not be read to its end: " + summary.readError);
}

void TMainForm::ListBoxEntriesDoubleClick(QObject* sender, int row) {
    const int tree = sender == static_cast<QObject*>(ListBoxEntries[2]) ? 2 : 1;
    ListBox* list = ListBoxEntries[static_cast<size_t>(tree)];
    if (row < 0 || row >= list->count()) return;
    const std::uint32_t entry = list->itemNumber(row);
    const std::vector<std::string>& kept = refusedEntries_[static_cast<size_t>(tree)];
    ListBox* detail = tree == 1 ? ListBoxDetailTree1 : ListBoxDetailTree2;
    detail->clear();
    if (entry >= kept.size() || kept[entry].empty()) {
        detail->addItem(entry >= kept.size()
                            ? "(the entry's text is not kept: too many refused entries)"
                            : "(the record's text is not kept: longer than the reader takes)");
        return;
    }
    std::vector<std::string> lines;
    std::string_view text = kept[entry];
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
    detail->addLines(lines);
}
