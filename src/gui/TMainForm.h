// The main window: tab pages, the two tree slots' controls and every handler. It shows
// what the core computes and never parses a file, talks to the client or compares itself.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/D_Win.h"
#include "core/UiHooks.h"
#include "core/Workspace.h"
#include "core/directory/DirClient.h"
#include "core/ini/IniFile.h"
#include "core/model/Definitions.h"
#include "gui/AppInfo.h"
#include "gui/Dialogs.h"
#include "gui/ListBox.h"

class QComboBox;
class QLabel;
class QMenu;
class QAction;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
struct ReportInput;

// The window's own controls of one tree slot.
struct TTreeControls {
    QWidget* TabSheet = nullptr;
    QLabel* StatusPanel = nullptr;
    QPushButton* SaveButton = nullptr;
    ListBox* ClassListBox = nullptr;
    ListBox* AttrListBox = nullptr;
    ListBox* DetailListBox = nullptr;
    QLabel* Label = nullptr;
    QLabel* SourceLabel = nullptr;  // beside Label: where the slot's tree comes from
    bool saveAllowed = false;       // what the slot's state allows, whatever a running job locks
};

class TMainForm : public QMainWindow, private UiHooks {
    Q_OBJECT
  public:
    // Null dialogs or shell give the real Qt dialogs and the desktop shell.
    explicit TMainForm(std::unique_ptr<DirClient> client, std::unique_ptr<Dialogs> dialogs = {},
                       std::unique_ptr<Shell> shell = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    Workspace& workspace() { return ws_; }
    TTreeInfo& Trees(int tree) { return ws_.tree(tree); }
    int CurrentTree() const { return ws_.CurrentTree; }
    std::int32_t LastError() const { return ws_.LastError; }
    TTreeControls& Controls(int tree) { return controls_.at(static_cast<size_t>(tree)); }
    const std::vector<std::string>& ReachableTrees() const { return reachableTrees_; }
    IniFile* Settings() { return settings_.get(); }
    bool isTabShown(QWidget* page) const;
    bool busy() const { return busy_ > 0; }

    // Components, named as the window's designer named them.
    QTabWidget* PageControl = nullptr;
    QWidget* TabSheetInfo = nullptr;
    QWidget* TabSheetSelector = nullptr;
    QWidget* TabSheetSchemaTree1 = nullptr;
    QWidget* TabSheetSchemaTree2 = nullptr;
    QWidget* TabSheetCompareClasses = nullptr;
    QWidget* TabSheetCompareAttributes = nullptr;
    QWidget* TabSheetCompareOther = nullptr;  // shown when both trees publish other elements
    QLabel* PanelInfo = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* LabelTree1 = nullptr;
    QLabel* LabelTree2 = nullptr;
    QLabel* LabelSource1 = nullptr;
    QLabel* LabelSource2 = nullptr;
    QComboBox* ComboBoxTree1 = nullptr;
    QComboBox* ComboBoxTree2 = nullptr;
    QPushButton* BitBtnLoadTreeOffline1 = nullptr;
    QPushButton* BitBtnLoadTreeOffline2 = nullptr;
    QPushButton* BitBtnSaveTree1 = nullptr;
    QPushButton* BitBtnSaveTree2 = nullptr;
    ListBox* ListBoxClasses1 = nullptr;
    ListBox* ListBoxClasses2 = nullptr;
    ListBox* ListBoxAttr1 = nullptr;
    ListBox* ListBoxAttr2 = nullptr;
    ListBox* ListBoxDetailTree1 = nullptr;
    ListBox* ListBoxDetailTree2 = nullptr;
    QTabWidget* PageControlClasses = nullptr;
    QWidget* TabSheetClassesQuick = nullptr;
    QWidget* TabSheetClassesDetails = nullptr;
    ListBox* ListBoxUniqueClasses1 = nullptr;
    ListBox* ListBoxClassesCommon = nullptr;
    ListBox* ListBoxUniqueClasses2 = nullptr;
    ListBox* ListBoxClassesDetail = nullptr;
    QPushButton* BitBtnCompareClasses = nullptr;
    ListBox* ListBoxCompareClassesResults = nullptr;
    QTabWidget* PageControlAttr = nullptr;
    QWidget* TabSheetAttrQuick = nullptr;
    QWidget* TabSheetAttrDetail = nullptr;
    ListBox* ListBoxUniqueAttr1 = nullptr;
    ListBox* ListBoxAttrCommon = nullptr;
    ListBox* ListBoxUniqueAttr2 = nullptr;
    ListBox* ListBoxAttrDetail = nullptr;
    QPushButton* BitBtnCompareAttr = nullptr;
    ListBox* ListBoxCompareAttrResults = nullptr;
    QPushButton* BitBtnCompareOther = nullptr;
    // Each schema page's "Check Entries ...", the entries that tree refuses and their heading;
    // by tree number, [0] unused.
    std::array<QPushButton*, 3> BitBtnCheckEntries{};
    std::array<ListBox*, 3> ListBoxEntries{};
    std::array<QLabel*, 3> HeadingEntries{};
    ListBox* ListBoxCompareOtherResults = nullptr;
    // Beside each "Start ...": which published fields the comparisons leave out, and the
    // button that changes it. Shown while both trees publish their definitions.
    std::array<QPushButton*, 3> BitBtnFields{};
    std::array<QLabel*, 3> LabelFields{};
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 3> StatusPanels{};
    QMenu* PopupMenu = nullptr;
    QAction* PopupSaveAs = nullptr;
    QAction* PopupCopy = nullptr;
    QAction* PopupSaveFixup = nullptr;  // shown on the comparison pages' lists
    ListBox* PopupComponent = nullptr;  // the list box the menu was last opened on
    // Window-wide keys: Ctrl+Q quits, F1 shows the Info page, Ctrl+S saves the focused list.
    QAction* ActionQuit = nullptr;
    QAction* ActionInfo = nullptr;
    QAction* ActionSaveList = nullptr;

    // Handlers, each taking the control that raised the event.
    void ChangeTreeOnline(QObject* sender);
    void BitBtnLoadTreeOfflineClick(QObject* sender);
    void BitBtnSaveTreeClick(QObject* sender);
    void ListBoxClassesClick(QObject* sender);
    void ListBoxAttrClick(QObject* sender);
    void TabSheetCompareClassesShow(QObject* sender);
    void TabSheetCompareAttributesShow(QObject* sender);
    void ListBoxUniqueClassesClick(QObject* sender);
    void ListBoxClassesCommonClick(QObject* sender);
    void ListBoxUniqueAttrClick(QObject* sender);
    void ListBoxAttrCommonClick(QObject* sender);
    // A double click on a common name that the last full run found differing: that run's
    // lines about it, on its "Check All" page.
    void ListBoxCommonDoubleClick(QObject* sender, int row);
    void BitBtnCompareClassesClick(QObject* sender);
    void BitBtnCompareAttrClick(QObject* sender);
    void BitBtnCompareOtherClick(QObject* sender);
    // Checks an LDIF file of entries against that page's tree and lists what it refuses.
    void BitBtnCheckEntriesClick(QObject* sender);
    // The refused entry of that line, as the file holds it, in the page's detail list.
    void ListBoxEntriesDoubleClick(QObject* sender, int row);
    // Asks which fields to leave out, applies the answer and remembers it.
    void BitBtnFieldsClick(QObject* sender);
    void StatusBarClick(QObject* sender);
    void PopupSaveAsClick(QObject* sender);
    void PopupSaveFixupClick(QObject* sender);
    // Shows "Save fix-up LDIF ..." on the comparison pages, enabled when both trees'
    // sources publish their definitions.
    void UpdatePopupFixup();

    // Routines the handlers share.
    void SelectTreeBySender(QObject* sender, QObject* first, QObject* second);
    void ResetSchemaLists();
    void InitializeSchemaLists();
    void EnableCompare();
    // The fields setting as the window shows it, and whether the controls are shown.
    void UpdateFieldControls();
    void UpdateDisplay();
    // The status panel, selector and source of a slot as it stands: after every load, and
    // after a change that failed and left the slot as it was.
    void ShowSlotState(int tree);
    // Where the slot's tree comes from ("schema file lab.txt", "live, ldap://dir"); whole
    // gives a file's full path. Empty for an empty slot.
    QString SlotSource(int tree, bool whole);
    void ResultMsg(ListBox* listBox, const std::string& msg);
    void SetStatusPanel(int index, const QString& text, Qt::CursorShape cursor);
    void StatusMsg(const std::string& msg);
    void StatusBarReset();
    void QuickCompare();
    void LoadSchemaOnline();
    void CompareOneClass(const std::string& className, ListBox* target, bool clearFirst,
                         bool reportIdentical);
    void CompareOneAttr(const std::string& attrName, ListBox* target, bool clearFirst,
                        bool reportIdentical);
    void ShowClassDetails(ListBox* source, ListBox* target, bool clearFirst);
    void ShowAttributeDetails(ListBox* source, ListBox* target, bool clearFirst);
    void DisplayClass(const std::string& className, TClassInfo& info, ListBox* target);
    void DisplayAttribute(const std::string& attrName, const TAttrInfo& info, ListBox* target);

    // Loading as the user's own choice would: a schema file as "Load from File" does, a
    // live tree as its selector does. Used by the command line and by dropped files.
    void OpenOperands(const QStringList& operands);
    // What the start has to tell before anything else (the demo shown for want of a
    // configuration): on top of the Info page and in the status bar.
    void ShowStartNotice(const QString& notice);
    bool OpenTreeFile(int tree, const QString& path);
    bool OpenTreeByName(int tree, const QString& name);
    // The list with keyboard focus (also while its find bar has it), or null.
    ListBox* FocusedList() const;
    // The folder the file dialogs start in.
    QString StartFolder() const;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // UiHooks, for the core's reports and its pauses for painting.
    void showMsgDlg(DlgType type, const std::string& msg) override;
    void showErrorDlg(const std::string& msg, const std::string& detail) override;
    void processEvents() override;

    // While a long job runs, the controls that start another or change a slot are off.
    class LongOperation {
      public:
        explicit LongOperation(TMainForm& form);
        ~LongOperation();
        LongOperation(const LongOperation&) = delete;
        LongOperation& operator=(const LongOperation&) = delete;

      private:
        TMainForm& form_;
    };

    void buildWindow();
    QWidget* buildInfoPage();
    QWidget* buildSelectorPage();
    QWidget* buildSchemaPage(int tree);
    QWidget* buildComparePage(bool classes);
    QWidget* buildOtherElementsPage();
    // The strip above a results list: "Start ..." and the fields choice.
    QWidget* buildStartStrip(QWidget* parent, const QString& startName, int fieldsIndex,
                             QPushButton*& start);
    void ReadFieldsSetting();
    ListBox* makeListBox(const QString& name, bool sorted);
    void wireEvents();
    void FormCreate();
    void FormShow();
    void FormClose();
    void updateLockedControls();
    void setTabShown(QWidget* page, bool shown);
    void saveListBox(ListBox* listBox, const QString& path);
    // The save dialog, then a question before an existing file is replaced.
    std::optional<QString> chooseSaveFile(const FileDialogSetup& setup);
    // Whether the file held a schema and is now the slot's.
    bool LoadSchemaFile(int tree, const QString& path);
    bool dropEventFilter(QObject* watched, QEvent* event);
    bool statusTipFilter(QObject* watched, QEvent* event);
    void wireKeys();
    // The HTML report of the run whose lines a results list holds, or null.
    std::shared_ptr<const ReportInput> reportFor(ListBox* listBox) const;
    void saveReport(const ReportInput& report, const QString& path);

    Workspace ws_;
    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<IniFile> settings_;
    std::array<TTreeControls, 3> controls_{};
    std::vector<std::string> reachableTrees_;
    int busy_ = 0;
    QElapsedTimer pumpClock_;  // since the last round of pending events
    bool eventsDue() const;
    void pumpEvents();
    bool closePending_ = false;
    std::vector<std::pair<QObject*, int>> dropZones_;  // where a dropped file goes, by tree
    // The last full runs, for "Save as ..." on their results lists as an HTML report.
    std::shared_ptr<const ReportInput> classReport_;
    std::shared_ptr<const ReportInput> attrReport_;
    // The headings over the quick check's lists, which show their counts.
    struct QuickHeading {
        ListBox* list;
        QLabel* label;
        QString caption;
    };
    std::vector<QuickHeading> quickHeadings_;
    // The refused entries a schema page lists, as their file holds them, for a double
    // click; by tree number. Past a bound the lines stay and the texts are not kept.
    std::array<std::vector<std::string>, 3> refusedEntries_;
    // Of the last full run that ended: the rows of its results list that speak of each
    // common name (by name key), first and last.
    using FindingRows = std::unordered_map<std::string, std::pair<int, int>>;
    FindingRows classFindingRows_;
    FindingRows attrFindingRows_;
    // The fields left out by the last run of classes, attributes and other elements.
    std::array<FieldFilter, 3> runFields_;
    // A full run into its results list; whether it ran to its end.
    bool RunFull(bool classes);
    // The quick check's headings with their counts; list, when given, is the only one
    // set, with the names a full run marked.
    void ShowQuickCounts(ListBox* list, int marked);
};
