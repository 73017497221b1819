// Filling the tree slots: online from a live tree, offline from a schema file, and saving
// an online tree's schema.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>

#include "core/D_Util.h"
#include "core/SchemaFile.h"
#include "core/TreeLoading.h"
#include "core/directory/D_NW.h"
#include "core/ini/D_Ini.h"
#include "gui/BusyCursor.h"
#include "gui/TMainForm.h"
#include "sources/ConnectionKind.h"

namespace {

const char* const kSettingsSection = "Settings";
const char* const kOfflinePath = "Offline Path";

std::string ToBytes(const QString& text) { return text.toStdString(); }

// The folder of a path, ending in the separator.
std::string FolderOf(const QString& path) {
    return ToBytes(QDir::toNativeSeparators(QFileInfo(path).absolutePath() + '/'));
}

}  // namespace

// The remembered schema-file folder while it is there, else the home folder: never the
// program's own folder or wherever the program was started.
QString TMainForm::StartFolder() const {
    const QString remembered =
        DecodeName(settings_->ReadString(kSettingsSection, kOfflinePath, ""));
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir()) return remembered;
    return QDir::homePath();
}

void TMainForm::SelectTreeBySender(QObject* sender, QObject* first, QObject* second) {
    ws_.CurrentTree = 0;
    if (sender == first) ws_.CurrentTree = 1;
    if (sender == second) ws_.CurrentTree = 2;
}

void TMainForm::ResetSchemaLists() {
    TTreeInfo& slot = Trees(ws_.CurrentTree);
    slot.ClassNames.clear();
    Controls(ws_.CurrentTree).ClassListBox->clear();
    UpdateDisplay();
}

void TMainForm::InitializeSchemaLists() {
    SavedCursor savedCursor;
    const int tree = ws_.CurrentTree;
    TTreeInfo& slot = Trees(tree);
    TTreeControls& c = Controls(tree);
    SortNames(slot.ClassNames);
    SortNames(slot.AttrNames);
    c.ClassListBox->clear();
    c.ClassListBox->addSortedItems(slot.ClassNames);
    c.AttrListBox->addSortedItems(slot.AttrNames);
    c.saveAllowed = c.ClassListBox->count() > 0 && slot.Online != 0;
    updateLockedControls();
    EnableCompare();
    QuickCompare();
}

void TMainForm::ChangeTreeOnline(QObject* sender) {
    SelectTreeBySender(sender, ComboBoxTree1, ComboBoxTree2);
    if (ws_.CurrentTree == 0) return;
    LongOperation operation(*this);
    const int tree = ws_.CurrentTree;
    auto* combo = static_cast<QComboBox*>(sender);
    // The bytes the selector was filled with, not a re-encoding of its text.
    const int index = combo->currentIndex();
    const std::string name = index >= 0 && index < static_cast<int>(reachableTrees_.size())
                                 ? reachableTrees_[static_cast<size_t>(index)]
                                 : ToBytes(combo->currentText());
    Controls(tree).StatusPanel->setText(QString("Tree #%1: %2").arg(tree).arg(DecodeName(name)));
    // A change that fails leaves the slot as it was; the bar and selector say so again.
    {
        SavedCursor savedCursor;
        if (LoadTree(ws_, *this, tree, TreeSource::Live(name)).loaded) {
            Controls(tree).ClassListBox->clear();
            Controls(tree).AttrListBox->clear();
            UpdateDisplay();
            InitializeSchemaLists();
        }
    }
    ShowSlotState(tree);
}

void TMainForm::ShowSlotState(int tree) {
    const TTreeInfo& slot = Trees(tree);
    TTreeControls& c = Controls(tree);
    const bool holds = slot.Online != 0 || !slot.FileName.empty();
    c.StatusPanel->setText(holds ? QString("Tree #%1: %2").arg(tree).arg(DecodeName(slot.TreeName))
                                 : QString());
    c.SourceLabel->setText(SlotSource(tree, false));
    c.SourceLabel->setToolTip(SlotSource(tree, true));
    PageControl->setTabToolTip(PageControl->indexOf(c.TabSheet), c.SourceLabel->toolTip());
    int index = -1;
    if (slot.Online != 0) {
        const auto exact = std::find(reachableTrees_.begin(), reachableTrees_.end(), slot.TreeName);
        index = exact != reachableTrees_.end() ? static_cast<int>(exact - reachableTrees_.begin())
                                               : FindReachableTree(reachableTrees_, slot.TreeName);
    }
    (tree == 1 ? ComboBoxTree1 : ComboBoxTree2)->setCurrentIndex(index);
}

QString TMainForm::SlotSource(int tree, bool whole) {
    const TTreeInfo& slot = Trees(tree);
    switch (KindOf(slot)) {
        case SlotKind::Empty:
            return {};
        case SlotKind::SchemaFile: {
            const QString path = DecodeName(slot.FileName);
            QString source = "schema file " + (whole ? path : QFileInfo(path).fileName());
            if (whole && slot.Schema && !slot.Schema->origin.taken.empty())
                source += ", taken " + QString::fromStdString(slot.Schema->origin.taken);
            return source;
        }
        case SlotKind::LdifDump:
        case SlotKind::SchemaFiles:
            return DecodeName(SlotSourceText(slot, {}));
        case SlotKind::Live:
            break;
    }
    // A server read whole names its address.
    if (slot.Schema && !slot.Schema->origin.description.empty())
        return "live, " + DecodeName(slot.Schema->origin.description);
    return DecodeName(SlotSourceText(slot, LiveTreeHow(slot.TreeName)));
}

void TMainForm::LoadSchemaOnline() {
    SavedCursor savedCursor;
    const int tree = ws_.CurrentTree;
    ResetSchemaLists();
    Controls(tree).AttrListBox->clear();
    ReadSlotNames(ws_, *this, tree);
    InitializeSchemaLists();
}

void TMainForm::BitBtnSaveTreeClick(QObject* sender) {
    SelectTreeBySender(sender, BitBtnSaveTree1, BitBtnSaveTree2);
    if (ws_.CurrentTree == 0) return;
    LongOperation operation(*this);
    const int tree = ws_.CurrentTree;
    const TTreeInfo& slot = Trees(tree);
    FileDialogSetup setup;
    setup.directory = StartFolder();
    setup.fileName = DecodeName(slot.TreeName + ".txt");
    setup.filter = "Text Files (*.txt);;All Files (*)";
    setup.defaultSuffix = "txt";
    const std::optional<QString> chosen = chooseSaveFile(setup);
    if (!chosen) return;
    try {
        settings_->WriteString(kSettingsSection, kOfflinePath, FolderOf(*chosen));
        SavedCursor savedCursor;
        SaveSchemaFile(ws_, *this, tree, ToBytes(*chosen),
                       [this](const std::string& message) { StatusMsg(message); });
    } catch (const IniWriteError& error) {
        StatusBarReset();
        showErrorDlg(error.what(), error.detail());
        return;
    } catch (const SchemaReadError& error) {
        StatusBarReset();
        showMsgDlg(DlgType::Error, error.what());
        return;
    }
    StatusBarReset();
}

void TMainForm::BitBtnLoadTreeOfflineClick(QObject* sender) {
    SelectTreeBySender(sender, BitBtnLoadTreeOffline1, BitBtnLoadTreeOffline2);
    if (ws_.CurrentTree == 0) return;
    LongOperation operation(*this);
    const int tree = ws_.CurrentTree;
    FileDialogSetup setup;
    setup.directory = StartFolder();
    setup.fileName = "*.txt";
    setup.filter =
        "Schema files, LDIF dumps, OpenLDAP schema (*.txt *.ldif *.schema);;All Files (*)";
    const std::optional<QString> chosen = dialogs_->openFile(setup);
    if (!chosen) return;
    LoadSchemaFile(tree, *chosen);
}

bool TMainForm::LoadSchemaFile(int tree, const QString& path) {
    ws_.CurrentTree = tree;
    LongOperation operation(*this);
    try {
        settings_->WriteString(kSettingsSection, kOfflinePath, FolderOf(path));
    } catch (const IniWriteError& error) {
        showMsgDlg(DlgType::Error, error.what());
        return false;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        showMsgDlg(DlgType::Error, ToBytes(QString("The schema file %1 does not exist").arg(path)));
        return false;
    }
    // A folder of .schema files is read whole, as kalvix-cli takes one.
    if ((!info.isFile() && !info.isDir()) || !info.isReadable()) {
        showMsgDlg(DlgType::Error, ToBytes(QString("Cannot read the schema file %1").arg(path)));
        return false;
    }
    // The slot changes only when the file turns out to hold a schema.
    TreeLoad read;
    {
        SavedCursor savedCursor;
        read = LoadTree(ws_, *this, tree, TreeSource::File(ToBytes(path)),
                        [this](const std::string& message) { StatusMsg(message); });
    }
    // A file of LDAP definitions that cannot be read has said why, as a server would.
    if (!read.loaded && read.code != 0) {
        StatusBarReset();
        return false;
    }
    if (read.noSchema) {
        StatusBarReset();
        showMsgDlg(
            DlgType::Error,
            ToBytes(
                QString("The file %1 holds no schema (no class or attribute names)").arg(path)));
        return false;
    }
    if (!read.problem.empty()) {
        StatusBarReset();
        showMsgDlg(DlgType::Error,
                   ToBytes(QString("Cannot read the schema file %1: ").arg(path)) + read.problem);
        return false;
    }
    ShowSlotState(tree);
    SavedCursor savedCursor;
    Controls(tree).ClassListBox->clear();
    Controls(tree).AttrListBox->clear();
    UpdateDisplay();
    InitializeSchemaLists();
    StatusBarReset();
    return true;
}
