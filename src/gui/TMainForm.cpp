// Layout, start-up and close, tab visibility, labels and the status bar.
#include "gui/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/D_Util.h"
#include "core/compare/Compare.h"
#include "core/directory/D_NW.h"
#include "core/ini/D_Ini.h"
#include "gui/Application.h"
#include "gui/DesktopShell.h"
#include "gui/FindBar.h"
#include "sources/ClientFactory.h"

namespace {

constexpr int kDesignedLeft = 294;
constexpr int kDesignedTop = 108;
constexpr int kDesignedWidth = 745;
constexpr int kDesignedHeight = 736;

QLabel* Heading(const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFixedHeight(24);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Raised);
    return label;
}

// The frame that holds a list box and its find bar.
QWidget* Framed(ListBox* list) { return list->parentWidget(); }

// A heading strip over a list box; heading, when given, receives the strip.
QWidget* Titled(const QString& caption, QWidget* list, QWidget* parent,
                QLabel** heading = nullptr) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QLabel* strip = Heading(caption, box);
    if (heading != nullptr) *heading = strip;
    layout->addWidget(strip);
    layout->addWidget(list);
    return box;
}

// Beside the program first; an installed copy keeps it under share/kalvix.
std::string InfoTextFile() {
    const std::string beside = ProgramFileWithExt("txt");
    if (QFileInfo::exists(DecodeName(beside))) return beside;
    const QFileInfo program(DecodeName(ProgramFile()));
    const QString installed =
        program.absolutePath() + "/../share/kalvix/" + program.completeBaseName() + ".txt";
    if (QFileInfo::exists(installed)) return QFileInfo(installed).canonicalFilePath().toStdString();
    return beside;
}

}  // namespace

TMainForm::TMainForm(std::unique_ptr<DirClient> client, std::unique_ptr<Dialogs> dialogs,
                     std::unique_ptr<Shell> shell, QWidget* parent)
    : QMainWindow(parent),
      ws_(std::move(client)),
      dialogs_(std::move(dialogs)),
      shell_(std::move(shell)) {
    if (!dialogs_) dialogs_ = std::make_unique<QtDialogs>(this);
    if (!shell_) shell_ = std::make_unique<DesktopShell>();
    ws_.OpenSchemaFiles = SchemaFilesAt;
    buildWindow();
    wireEvents();
    FormCreate();
}

TMainForm::~TMainForm() = default;

ListBox* TMainForm::makeListBox(const QString& name, bool sorted) {
    auto* list = new ListBox(name, sorted, this);
    FramedWithFindBar(list, this);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& pos) {
        PopupComponent = list;
        PopupCopy->setEnabled(list->selectionModel()->hasSelection());
        PopupMenu->popup(list->viewport()->mapToGlobal(pos));
    });
    return list;
}

void TMainForm::buildWindow() {
    setObjectName("MainForm");
    QFont font("Arial");
    font.setPixelSize(12);
    setFont(font);
    move(kDesignedLeft, kDesignedTop);
    resize(kDesignedWidth, kDesignedHeight);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName("PopupMenu");
    PopupSaveAs = PopupMenu->addAction("Save as ...");
    PopupSaveAs->setObjectName("PopupSaveAs");
    PopupCopy = PopupMenu->addAction("Copy");
    PopupCopy->setObjectName("PopupCopy");
    PopupCopy->setShortcut(QKeySequence::Copy);
    setWindowIcon(ProgramIcon());
    PopupSaveFixup = PopupMenu->addAction("Save fix-up LDIF ...");
    PopupSaveFixup->setObjectName("PopupSaveFixup");

    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    setCentralWidget(PageControl);
    TabSheetInfo = buildInfoPage();
    TabSheetSelector = buildSelectorPage();
    TabSheetSchemaTree1 = buildSchemaPage(1);
    TabSheetSchemaTree2 = buildSchemaPage(2);
    TabSheetCompareClasses = buildComparePage(true);
    TabSheetCompareAttributes = buildComparePage(false);
    TabSheetCompareOther = buildOtherElementsPage();
    PageControl->addTab(TabSheetInfo, "&Info");
    PageControl->addTab(TabSheetSelector, "Select &Trees");
    PageControl->addTab(TabSheetSchemaTree1, "Schema Tree #1");
    PageControl->addTab(TabSheetSchemaTree2, "Schema Tree #2");
    PageControl->addTab(TabSheetCompareClasses, "Compare &Classes");
    PageControl->addTab(TabSheetCompareAttributes, "Compare &Attributes");
    PageControl->addTab(TabSheetCompareOther, "&Other Elements");
    // A file dropped on a schema page's tab goes to that tree.
    PageControl->tabBar()->setAcceptDrops(true);
    dropZones_.emplace_back(PageControl->tabBar(), 0);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setSizeGripEnabled(true);
    setStatusBar(StatusBar);
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(StatusBar);
        panel->setObjectName(QString("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        StatusPanels[static_cast<size_t>(i)] = panel;
    }
    StatusPanels[0]->setFixedWidth(150);
    StatusPanels[1]->setFixedWidth(150);
    StatusPanels[2]->setMinimumWidth(50);
    StatusBar->addWidget(StatusPanels[0]);
    StatusBar->addWidget(StatusPanels[1]);
    StatusBar->addWidget(StatusPanels[2], 1);
    StatusBar->installEventFilter(this);
    for (QLabel* panel : StatusPanels) panel->installEventFilter(this);
}

QWidget* TMainForm::buildInfoPage() {
    auto* page = new QWidget(this);
    page->setObjectName("TabSheetInfo");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PanelInfo = new QLabel(page);
    PanelInfo->setObjectName("PanelInfo");
    PanelInfo->setFixedHeight(41);
    PanelInfo->setAlignment(Qt::AlignCenter);
    QFont headingFont("Arial");
    headingFont.setPixelSize(19);
    headingFont.setBold(true);
    PanelInfo->setFont(headingFont);
    Memo1 = new QPlainTextEdit(page);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(PanelInfo);
    layout->addWidget(Memo1);
    return page;
}

QWidget* TMainForm::buildSelectorPage() {
    auto* page = new QWidget(this);
    page->setObjectName("TabSheetSelector");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int tree = 1; tree <= 2; ++tree) {
        auto* panel = new QFrame(page);
        panel->setObjectName(QString("PanelTree%1").arg(tree));
        panel->setFrameShape(QFrame::StyledPanel);
        if (tree == 1) panel->setFixedHeight(140);
        panel->setAcceptDrops(true);
        dropZones_.emplace_back(panel, tree);
        auto* grid = new QVBoxLayout(panel);
        grid->setContentsMargins(16, 12, 16, 12);
        grid->setSpacing(10);

        auto* label = new QLabel(QString("Tree #%1").arg(tree), panel);
        label->setObjectName(QString("LabelTree%1").arg(tree));
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        auto* source = new QLabel(panel);
        source->setObjectName(QString("LabelSource%1").arg(tree));
        source->setForegroundRole(QPalette::PlaceholderText);
        source->setMinimumWidth(1);  // a long list of files is cut; its tooltip has it whole
        source->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* headingRow = new QHBoxLayout();
        headingRow->addWidget(label);
        headingRow->addSpacing(12);
        headingRow->addWidget(source, 1);
        grid->addLayout(headingRow);

        auto* onlineRow = new QHBoxLayout();
        auto* onlineLabel = new QLabel("Online: ", panel);
        onlineLabel->setFixedWidth(60);
        auto* combo = new QComboBox(panel);
        combo->setObjectName(QString("ComboBoxTree%1").arg(tree));
        combo->setEditable(false);
        combo->setFixedWidth(310);
        combo->setToolTip(QString("Select Tree #%1").arg(tree));
        onlineRow->addWidget(onlineLabel);
        onlineRow->addWidget(combo);
        onlineRow->addStretch(1);
        grid->addLayout(onlineRow);

        auto* offlineRow = new QHBoxLayout();
        auto* offlineLabel = new QLabel("Offline: ", panel);
        offlineLabel->setFixedWidth(60);
        auto* load = new QPushButton(style()->standardIcon(QStyle::SP_DialogOpenButton),
                                     "Load from File", panel);
        load->setObjectName(QString("BitBtnLoadTreeOffline%1").arg(tree));
        load->setFixedWidth(150);
        auto* save = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                     "Save to File", panel);
        save->setObjectName(QString("BitBtnSaveTree%1").arg(tree));
        save->setFixedWidth(150);
        save->setEnabled(false);
        offlineRow->addWidget(offlineLabel);
        offlineRow->addWidget(load);
        offlineRow->addWidget(save);
        offlineRow->addStretch(1);
        grid->addLayout(offlineRow);
        grid->addStretch(1);
        layout->addWidget(panel, tree == 1 ? 0 : 1);

        (tree == 1 ? LabelTree1 : LabelTree2) = label;
        (tree == 1 ? LabelSource1 : LabelSource2) = source;
        (tree == 1 ? ComboBoxTree1 : ComboBoxTree2) = combo;
        (tree == 1 ? BitBtnLoadTreeOffline1 : BitBtnLoadTreeOffline2) = load;
        (tree == 1 ? BitBtnSaveTree1 : BitBtnSaveTree2) = save;
    }
    return page;
}

QWidget* TMainForm::buildSchemaPage(int tree) {
    auto* page = new QWidget(this);
    page->setObjectName(QString("TabSheetSchemaTree%1").arg(tree));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* vertical = new QSplitter(Qt::Vertical, page);
    auto* horizontal = new QSplitter(Qt::Horizontal, vertical);
    ListBox* classes = makeListBox(QString("ListBoxClasses%1").arg(tree), true);
    ListBox* attrs = makeListBox(QString("ListBoxAttr%1").arg(tree), true);
    ListBox* detail = makeListBox(QString("ListBoxDetailTree%1").arg(tree), false);
    detail->allowManySelected();
    horizontal->addWidget(Titled("Classes", Framed(classes), horizontal));
    horizontal->addWidget(Titled("Attributes", Framed(attrs), horizontal));
    horizontal->setSizes({265, kDesignedWidth - 265});
    vertical->addWidget(horizontal);
    vertical->addWidget(Framed(detail));
    // Entries checked against this tree: the button, then what the tree refuses.
    auto* entries = new QWidget(vertical);
    auto* entriesLayout = new QVBoxLayout(entries);
    entriesLayout->setContentsMargins(0, 0, 0, 0);
    entriesLayout->setSpacing(0);
    auto* check = new QPushButton("Check Entries ...", entries);
    check->setObjectName(QString("BitBtnCheckEntries%1").arg(tree));
    check->setToolTip("Check an LDIF file of entries against this tree's schema");
    auto* strip = new QHBoxLayout();
    strip->addWidget(check);
    strip->addStretch(1);
    entriesLayout->addLayout(strip);
    ListBox* refused = makeListBox(QString("ListBoxEntries%1").arg(tree), false);
    refused->allowManySelected();
    QLabel* heading = nullptr;
    entriesLayout->addWidget(Titled("Refused Entries", Framed(refused), entries, &heading));
    heading->setObjectName(QString("HeadingEntries%1").arg(tree));
    vertical->addWidget(entries);
    vertical->setSizes({kDesignedHeight - 161 - 120 - 120, 161, 120});
    vertical->setStretchFactor(0, 1);
    layout->addWidget(vertical);
    BitBtnCheckEntries[static_cast<size_t>(tree)] = check;
    ListBoxEntries[static_cast<size_t>(tree)] = refused;
    HeadingEntries[static_cast<size_t>(tree)] = heading;
    page->setAcceptDrops(true);
    dropZones_.emplace_back(page, tree);
    (tree == 1 ? ListBoxClasses1 : ListBoxClasses2) = classes;
    (tree == 1 ? ListBoxAttr1 : ListBoxAttr2) = attrs;
    (tree == 1 ? ListBoxDetailTree1 : ListBoxDetailTree2) = detail;
    return page;
}

QWidget* TMainForm::buildComparePage(bool classes) {
    auto* page = new QWidget(this);
    page->setObjectName(classes ? "TabSheetCompareClasses" : "TabSheetCompareAttributes");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* inner = new QTabWidget(page);
    inner->setObjectName(classes ? "PageControlClasses" : "PageControlAttr");
    layout->addWidget(inner);

    const QString kind = classes ? "Classes" : "Attr";
    auto* quick = new QWidget(inner);
    quick->setObjectName(classes ? "TabSheetClassesQuick" : "TabSheetAttrQuick");
    auto* quickLayout = new QVBoxLayout(quick);
    quickLayout->setContentsMargins(0, 0, 0, 0);
    auto* vertical = new QSplitter(Qt::Vertical, quick);
    auto* columns = new QSplitter(Qt::Horizontal, vertical);
    ListBox* unique1 = makeListBox(QString("ListBoxUnique%1%2").arg(kind).arg(1), true);
    ListBox* common = makeListBox(classes ? "ListBoxClassesCommon" : "ListBoxAttrCommon", true);
    ListBox* unique2 = makeListBox(QString("ListBoxUnique%1%2").arg(kind).arg(2), true);
    ListBox* detail = makeListBox(classes ? "ListBoxClassesDetail" : "ListBoxAttrDetail", false);
    detail->allowManySelected();
    for (ListBox* list : {unique1, common, unique2}) {
        const QString caption = list == common ? (classes ? "Common Classes" : "Common Attributes")
                                : list == unique1 ? "Unique on Tree #1"
                                                  : "Unique on Tree #2";
        QLabel* heading = nullptr;
        columns->addWidget(Titled(caption, Framed(list), columns, &heading));
        heading->setObjectName("Heading" + list->objectName());
        quickHeadings_.push_back({list, heading, caption});
    }
    const int left = classes ? 236 : 244;
    const int right = classes ? 224 : 212;
    columns->setSizes({left, kDesignedWidth - left - right, right});
    columns->setStretchFactor(1, 1);
    vertical->addWidget(columns);
    vertical->addWidget(Framed(detail));
    vertical->setSizes({kDesignedHeight - 150 - 150, 150});
    vertical->setStretchFactor(0, 1);
    quickLayout->addWidget(vertical);

    auto* details = new QWidget(inner);
    details->setObjectName(classes ? "TabSheetClassesDetails" : "TabSheetAttrDetail");
    auto* detailsLayout = new QVBoxLayout(details);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    detailsLayout->setSpacing(0);
    QPushButton* start = nullptr;
    QWidget* strip = buildStartStrip(
        details, classes ? "BitBtnCompareClasses" : "BitBtnCompareAttr", classes ? 0 : 1, start);
    ListBox* results =
        makeListBox(classes ? "ListBoxCompareClassesResults" : "ListBoxCompareAttrResults", false);
    results->allowManySelected();
    detailsLayout->addWidget(strip);
    detailsLayout->addWidget(Framed(results));

    inner->addTab(quick, "&Quick Check");
    inner->addTab(details, classes ? "Check &All Classes" : "Check &All Attributes");

    if (classes) {
        PageControlClasses = inner;
        TabSheetClassesQuick = quick;
        TabSheetClassesDetails = details;
        ListBoxUniqueClasses1 = unique1;
        ListBoxClassesCommon = common;
        ListBoxUniqueClasses2 = unique2;
        ListBoxClassesDetail = detail;
        BitBtnCompareClasses = start;
        ListBoxCompareClassesResults = results;
    } else {
        PageControlAttr = inner;
        TabSheetAttrQuick = quick;
        TabSheetAttrDetail = details;
        ListBoxUniqueAttr1 = unique1;
        ListBoxAttrCommon = common;
        ListBoxUniqueAttr2 = unique2;
        ListBoxAttrDetail = detail;
        BitBtnCompareAttr = start;
        ListBoxCompareAttrResults = results;
    }
    return page;
}

QWidget* TMainForm::buildStartStrip(QWidget* parent, const QString& startName, int fieldsIndex,
                                    QPushButton*& start) {
    auto* strip = new QWidget(parent);
    strip->setFixedHeight(45);
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(10, 10, 10, 10);
    start = new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), "Start ...", strip);
    start->setObjectName(startName);
    start->setFixedSize(173, 25);
    stripLayout->addWidget(start);
    auto* fields = new QPushButton("Fields ...", strip);
    fields->setObjectName(QString("BitBtnFields%1").arg(fieldsIndex + 1));
    fields->setFixedHeight(25);
    fields->setToolTip("Choose the published fields the comparisons leave out");
    auto* label = new QLabel(strip);
    label->setObjectName(QString("LabelFields%1").arg(fieldsIndex + 1));
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setMinimumWidth(1);  // a long list is cut, the window never widened for it
    stripLayout->addSpacing(6);
    stripLayout->addWidget(fields);
    stripLayout->addWidget(label);
    stripLayout->addStretch(1);
    BitBtnFields[static_cast<std::size_t>(fieldsIndex)] = fields;
    LabelFields[static_cast<std::size_t>(fieldsIndex)] = label;
    return strip;
}

QWidget* TMainForm::buildOtherElementsPage() {
    auto* page = new QWidget(this);
    page->setObjectName("TabSheetCompareOther");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget* strip = buildStartStrip(page, "BitBtnCompareOther", 2, BitBtnCompareOther);
    ListBoxCompareOtherResults = makeListBox("ListBoxCompareOtherResults", false);
    ListBoxCompareOtherResults->allowManySelected();
    layout->addWidget(strip);
    layout->addWidget(Framed(ListBoxCompareOtherResults));
    return page;
}

void TMainForm::wireEvents() {
    for (QComboBox* combo : {ComboBoxTree1, ComboBoxTree2})
        connect(combo, &QComboBox::activated, this,
                [this, combo](int) { ChangeTreeOnline(combo); });
    for (QPushButton* b : {BitBtnLoadTreeOffline1, BitBtnLoadTreeOffline2})
        connect(b, &QPushButton::clicked, this, [this, b] { BitBtnLoadTreeOfflineClick(b); });
    for (QPushButton* b : {BitBtnSaveTree1, BitBtnSaveTree2})
        connect(b, &QPushButton::clicked, this, [this, b] { BitBtnSaveTreeClick(b); });
    for (int t = 1; t <= 2; ++t) {
        QPushButton* b = BitBtnCheckEntries[static_cast<size_t>(t)];
        ListBox* list = ListBoxEntries[static_cast<size_t>(t)];
        connect(b, &QPushButton::clicked, this, [this, b] { BitBtnCheckEntriesClick(b); });
        connect(list, &QAbstractItemView::doubleClicked, this,
                [this, list](const QModelIndex& index) {
                    ListBoxEntriesDoubleClick(list, index.row());
                });
    }
    auto onSelect = [this](ListBox* list, void (TMainForm::*handler)(QObject*)) {
        connect(list, &ListBox::selectionMade, this,
                [this, list, handler] { (this->*handler)(list); });
    };
    onSelect(ListBoxClasses1, &TMainForm::ListBoxClassesClick);
    onSelect(ListBoxClasses2, &TMainForm::ListBoxClassesClick);
    onSelect(ListBoxAttr1, &TMainForm::ListBoxAttrClick);
    onSelect(ListBoxAttr2, &TMainForm::ListBoxAttrClick);
    onSelect(ListBoxUniqueClasses1, &TMainForm::ListBoxUniqueClassesClick);
    onSelect(ListBoxUniqueClasses2, &TMainForm::ListBoxUniqueClassesClick);
    onSelect(ListBoxClassesCommon, &TMainForm::ListBoxClassesCommonClick);
    onSelect(ListBoxUniqueAttr1, &TMainForm::ListBoxUniqueAttrClick);
    onSelect(ListBoxUniqueAttr2, &TMainForm::ListBoxUniqueAttrClick);
    onSelect(ListBoxAttrCommon, &TMainForm::ListBoxAttrCommonClick);
    for (ListBox* common : {ListBoxClassesCommon, ListBoxAttrCommon})
        connect(common, &QAbstractItemView::doubleClicked, this,
                [this, common](const QModelIndex& index) {
                    ListBoxCommonDoubleClick(common, index.row());
                });
    connect(PageControl, &QTabWidget::currentChanged, this, [this](int index) {
        QWidget* page = PageControl->widget(index);
        if (page == TabSheetCompareClasses) TabSheetCompareClassesShow(page);
        if (page == TabSheetCompareAttributes) TabSheetCompareAttributesShow(page);
    });
    connect(BitBtnCompareClasses, &QPushButton::clicked, this,
            [this] { BitBtnCompareClassesClick(BitBtnCompareClasses); });
    connect(BitBtnCompareAttr, &QPushButton::clicked, this,
            [this] { BitBtnCompareAttrClick(BitBtnCompareAttr); });
    connect(BitBtnCompareOther, &QPushButton::clicked, this,
            [this] { BitBtnCompareOtherClick(BitBtnCompareOther); });
    for (QPushButton* b : BitBtnFields)
        connect(b, &QPushButton::clicked, this, [this, b] { BitBtnFieldsClick(b); });
    connect(PopupSaveAs, &QAction::triggered, this, [this] { PopupSaveAsClick(PopupSaveAs); });
    connect(PopupCopy, &QAction::triggered, this, [this] {
        if (PopupComponent) PopupComponent->copySelection();
    });
    for (const auto& [zone, tree] : dropZones_) zone->installEventFilter(this);
    wireKeys();
    connect(PopupSaveFixup, &QAction::triggered, this,
            [this] { PopupSaveFixupClick(PopupSaveFixup); });
    connect(PopupMenu, &QMenu::aboutToShow, this, [this] { UpdatePopupFixup(); });
}

void TMainForm::FormCreate() {
    Memo1->setPlainText([] {
        QStringList lines;
        for (const std::string& line : LoadInfoText(InfoTextFile())) lines << DecodeName(line);
        return lines.join('\n');
    }());
    settings_ = OpenSettingsFile();
    ReadFieldsSetting();
    UpdateFieldControls();
    setTabShown(TabSheetCompareClasses, false);
    setTabShown(TabSheetCompareAttributes, false);
    setTabShown(TabSheetCompareOther, false);
    reachableTrees_.clear();
    const std::array<QWidget*, 3> tabs{nullptr, TabSheetSchemaTree1, TabSheetSchemaTree2};
    for (int tree = 1; tree <= 2; ++tree) {
        TTreeControls& c = Controls(tree);
        c.TabSheet = tabs[static_cast<size_t>(tree)];
        c.StatusPanel = StatusPanels[static_cast<size_t>(tree - 1)];
        c.SaveButton = tree == 1 ? BitBtnSaveTree1 : BitBtnSaveTree2;
        c.ClassListBox = tree == 1 ? ListBoxClasses1 : ListBoxClasses2;
        c.AttrListBox = tree == 1 ? ListBoxAttr1 : ListBoxAttr2;
        c.DetailListBox = tree == 1 ? ListBoxDetailTree1 : ListBoxDetailTree2;
        c.Label = tree == 1 ? LabelTree1 : LabelTree2;
        c.SourceLabel = tree == 1 ? LabelSource1 : LabelSource2;
    }
    for (int tree = 1; tree <= 2; ++tree) {
        TTreeInfo& slot = Trees(tree);
        slot.ClassNames.clear();
        slot.AttrNames.clear();
        setTabShown(Controls(tree).TabSheet, false);
        ws_.client().dcNewContext(slot.Context);
    }
    setWindowTitle(kCaption);
    PanelInfo->setText(QString("%1 (%2)").arg(kCaption, ProgramVersion()));
    PageControl->setCurrentWidget(TabSheetInfo);
    if (InitNetWare(ws_.client(), ws_.Session, *this) == 0) {
        ListReachableTrees(ws_.client(), *this, reachableTrees_);
        for (QComboBox* combo : {ComboBoxTree1, ComboBoxTree2}) {
            for (const std::string& name : reachableTrees_) combo->addItem(DecodeName(name));
            combo->setCurrentIndex(-1);
        }
    }
    StatusBarReset();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TMainForm::FormShow() {
    FormGeometry geometry{y(), x(), width(), height()};
    RestoreFormGeometryFromFile(SettingsFilePath(), "Settings", "MainForm", geometry);
    move(geometry.left, geometry.top);
    resize(geometry.width, geometry.height);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // Closing under a running job would pull the contexts from under it: finish first.
    if (busy()) {
        closePending_ = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TMainForm::FormClose() {
    for (int tree = 1; tree <= 2; ++tree) ws_.client().dcDropContext(Trees(tree).Context);
    SaveFormGeometryToFile(SettingsFilePath(), "Settings", "MainForm",
                           FormGeometry{y(), x(), width(), height()});
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (dropEventFilter(watched, event) || statusTipFilter(watched, event)) return true;
    const bool onStatusBar =
        watched == StatusBar ||
        std::find(StatusPanels.begin(), StatusPanels.end(), watched) != StatusPanels.end();
    if (onStatusBar && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        StatusBarClick(StatusBar);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::isTabShown(QWidget* page) const {
    return PageControl->isTabVisible(PageControl->indexOf(page));
}

void TMainForm::setTabShown(QWidget* page, bool shown) {
    PageControl->setTabVisible(PageControl->indexOf(page), shown);
}

void TMainForm::EnableCompare() {
    for (int tree = 1; tree <= 2; ++tree) {
        const TTreeInfo& slot = Trees(tree);
        setTabShown(Controls(tree).TabSheet, !slot.ClassNames.empty() && !slot.AttrNames.empty());
    }
    const bool both = isTabShown(TabSheetSchemaTree1) && isTabShown(TabSheetSchemaTree2);
    setTabShown(TabSheetCompareClasses, both);
    setTabShown(TabSheetCompareAttributes, both);
    setTabShown(TabSheetCompareOther, both && PublishesOtherElements(ws_));
    UpdateFieldControls();
}

void TMainForm::UpdateDisplay() {
    const int tree = ws_.CurrentTree;
    if (tree != 1 && tree != 2) return;
    const TTreeInfo& slot = Trees(tree);
    Controls(tree).Label->setText(QString("Tree #%1:  %2 (%3)")
                                      .arg(tree)
                                      .arg(DecodeName(slot.TreeName))
                                      .arg(QString::fromUtf8(SlotStateWord(KindOf(slot)))));
    QCoreApplication::processEvents();
}

void TMainForm::ResultMsg(ListBox* listBox, const std::string& msg) { listBox->addItem(msg); }

void TMainForm::SetStatusPanel(int index, const QString& text, Qt::CursorShape cursor) {
    if (StatusBar->cursor().shape() != cursor) {
        StatusBar->setCursor(cursor);
        for (QLabel* panel : StatusPanels) panel->setCursor(cursor);
    }
    StatusPanels.at(static_cast<size_t>(index))->setText(text);
    pumpEvents();
}

// A long run asks for events tens of thousands of times; a round every 20 ms keeps the
// window as lively and costs a few percent instead of nearly all of the run.
bool TMainForm::eventsDue() const {
    return busy_ == 0 || !pumpClock_.isValid() || pumpClock_.elapsed() >= 20;
}

void TMainForm::pumpEvents() {
    if (!eventsDue()) return;
    QCoreApplication::processEvents();
    pumpClock_.start();
}

void TMainForm::StatusMsg(const std::string& msg) {
    // Always the latest item, so that a dialog that pauses the run matches the bar; only
    // the painting waits for the next round of events.
    SetStatusPanel(2, DecodeName(msg), Qt::ArrowCursor);
}

void TMainForm::ShowStartNotice(const QString& notice) {
    Memo1->setPlainText(notice + "\n\n" + Memo1->toPlainText());
    SetStatusPanel(2, "Demo directory: no configuration of your own (see the Info page)",
                   Qt::ArrowCursor);
}

void TMainForm::StatusBarReset() { SetStatusPanel(2, kMakerAddress, Qt::PointingHandCursor); }

void TMainForm::StatusBarClick(QObject*) { OpenLink(*shell_, kMakerAddress); }

void TMainForm::showMsgDlg(DlgType type, const std::string& msg) {
    dialogs_->message(type, DecodeName(msg));
}

void TMainForm::showErrorDlg(const std::string& msg, const std::string& detail) {
    dialogs_->message(DlgType::Error, DecodeName(msg), DecodeName(detail));
}

void TMainForm::processEvents() { pumpEvents(); }

TMainForm::LongOperation::LongOperation(TMainForm& form) : form_(form) {
    ++form_.busy_;
    form_.updateLockedControls();
}

TMainForm::LongOperation::~LongOperation() {
    --form_.busy_;
    form_.updateLockedControls();
    if (form_.busy_ == 0 && form_.closePending_) {
        form_.closePending_ = false;
        QMetaObject::invokeMethod(&form_, &QWidget::close, Qt::QueuedConnection);
    }
}

void TMainForm::updateLockedControls() {
    const bool free = busy_ == 0;
    for (QWidget* w : std::initializer_list<QWidget*>{
             ComboBoxTree1, ComboBoxTree2, BitBtnLoadTreeOffline1, BitBtnLoadTreeOffline2,
             BitBtnCompareClasses, BitBtnCompareAttr, BitBtnCompareOther})
        w->setEnabled(free);
    for (QPushButton* b : BitBtnFields) b->setEnabled(free);
    for (int tree = 1; tree <= 2; ++tree)
        BitBtnCheckEntries[static_cast<size_t>(tree)]->setEnabled(free);
    for (int tree = 1; tree <= 2; ++tree)
        Controls(tree).SaveButton->setEnabled(free && Controls(tree).saveAllowed);
}
