// The window as a desktop program: its command line, dropped files, keys, titles, icon,
// fonts, the status panels' tooltips and the progress text.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

#include "FakeDirClient.h"
#include "FormFixture.h"
#include "TempDir.h"
#include "gui/Application.h"
#include "gui/CommandLine.h"
#include "gui/FindBar.h"

namespace {

const QString kLab1 = QString(KALVIX_TEST_DATA) + "/cli/lab_1.txt";
const QString kLab2 = QString(KALVIX_TEST_DATA) + "/cli/lab_2.txt";

using Action = WindowCommandLine::Action;

TEST(WindowCommandLine, OperandsOptionsAndMistakes) {
    const WindowCommandLine two = ParseWindowCommandLine({"a.txt", "tree:SALES"});
    EXPECT_EQ(two.action, Action::Run);
    EXPECT_EQ(two.operands, QStringList({"a.txt", "tree:SALES"}));
    EXPECT_EQ(ParseWindowCommandLine({}).operands, QStringList());
    EXPECT_EQ(ParseWindowCommandLine({"a", "--help", "--bogus"}).action, Action::Help);
    EXPECT_EQ(ParseWindowCommandLine({"-h"}).action, Action::Help);
    EXPECT_EQ(ParseWindowCommandLine({"--version"}).action, Action::Version);
    // After "--" everything is an operand, a file named like an option too.
    const WindowCommandLine dashed = ParseWindowCommandLine({"--", "--help", "-x.txt"});
    EXPECT_EQ(dashed.action, Action::Run);
    EXPECT_EQ(dashed.operands, QStringList({"--help", "-x.txt"}));

    const WindowCommandLine unknown = ParseWindowCommandLine({"--bogus", "a"});
    EXPECT_EQ(unknown.action, Action::Error);
    EXPECT_TRUE(unknown.error.contains("--bogus"));
    EXPECT_EQ(ParseWindowCommandLine({"a", "b", "c"}).action, Action::Error);
    EXPECT_EQ(ParseWindowCommandLine({"tree:"}).action, Action::Error);
    EXPECT_EQ(ParseWindowCommandLine({""}).action, Action::Error);

    EXPECT_TRUE(WindowUsage().startsWith("Usage: kalvix [OPERAND1 [OPERAND2]]\n"));
    EXPECT_EQ(WindowVersion().section('\n', 0, 0), QString("kalvix (Kalvix) 1.02"));
    EXPECT_TRUE(ParseWindowOperand("tree:lab").live);
    EXPECT_EQ(ParseWindowOperand("tree:lab").text, "lab");
    EXPECT_FALSE(ParseWindowOperand("./tree:lab").live);
}

class Desktop : public FormFixture {
  protected:
    void makeOnlineForm() {
        auto client = std::make_unique<FakeDirClient>();
        fake = client.get();
        fake->setConnections({"LAB_TREE"});
        fake->addClass("Top", 0x06);
        fake->addAttr("CN", 0x02, 3, 1, 64);
        fake->addAttr("Surname", 0x02, 3, 1, 64);
        fake->addConnection("SALES", fake->tree());
        makeForm(std::move(client));
    }

    // Sends a drag of the given URLs onto a widget; true when the widget takes it.
    static bool drop(QWidget* target, const QList<QUrl>& urls, QPoint at = QPoint(5, 5)) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QApplication::processEvents();
        return dropped.isAccepted();
    }

    FakeDirClient* fake = nullptr;
};

TEST_F(Desktop, TwoFileOperandsOpenOnTheClassQuickCheck) {
    makeOfflineForm();
    form->OpenOperands({kLab1, kLab2});
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1:  LAB_TREE (offline)");
    EXPECT_TRUE(form->LabelTree2->text().startsWith("Tree #2:  "));
    EXPECT_EQ(form->PageControl->currentWidget(), form->TabSheetCompareClasses);
    EXPECT_EQ(form->PageControlClasses->currentWidget(), form->TabSheetClassesQuick);
    EXPECT_GT(form->ListBoxClassesCommon->count(), 0);
    // As if chosen in "Load from File": the folder is remembered for the dialogs.
    EXPECT_EQ(QDir(form->StartFolder()), QFileInfo(kLab1).dir());
}

// Each tree says where it comes from, beside its heading and in its status panel's
// tooltip, which shows the whole of it.
TEST_F(Desktop, EachTreeSaysWhereItComesFrom) {
    makeOnlineForm();
    form->OpenOperands({kLab1, "tree:SALES"});
    EXPECT_EQ(form->LabelSource1->text(), "schema file lab_1.txt");
    EXPECT_EQ(form->LabelSource2->text(), "live");
    form->show();
    QApplication::processEvents();
    auto tip = [this](int tree) {
        QLabel* panel = form->StatusPanels[static_cast<size_t>(tree - 1)];
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), panel->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(panel, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tip(1), "Tree #1: LAB_TREE\nschema file " + QFileInfo(kLab1).absoluteFilePath());
    EXPECT_EQ(tip(2), "Tree #2: SALES\nlive");

    // A tree read whole names its server, or the files it was read from.
    struct Case {
        const char* description;
        bool server;
        const char* shown;
    };
    for (const Case& c : {Case{"ldap://dir.example", true, "live, ldap://dir.example"},
                          Case{"/etc/ldap/schema/core.schema", false,
                               "schema files, /etc/ldap/schema/core.schema"}}) {
        auto schema = std::make_shared<TreeSchema>();
        schema->origin.description = c.description;
        schema->origin.server = c.server;
        schema->classes.emplace_back().name = "top";
        schema->attributes.emplace_back().name = "cn";
        schema->index();
        fillPublishedSlot(2, std::move(schema));
        form->ShowSlotState(2);
        EXPECT_EQ(form->LabelSource2->text(), c.shown);
        EXPECT_EQ(tip(2), QString("Tree #2: TREE\n") + c.shown);
    }
}

// The quick check's headings count their lists; after a full run the common names with
// findings are marked, their text as it was, and a double click on one shows its lines.
TEST_F(Desktop, QuickCheckCountsAndMarksWhatAFullRunFound) {
    makeOfflineForm();
    form->OpenOperands({kLab1, kLab2});
    form->show();
    auto heading = [this](ListBox* list) {
        return form->findChild<QLabel*>("Heading" + list->objectName())->text();
    };
    EXPECT_EQ(heading(form->ListBoxUniqueClasses1), "Unique on Tree #1 (1)");
    EXPECT_EQ(heading(form->ListBoxClassesCommon), "Common Classes (5)");
    EXPECT_EQ(heading(form->ListBoxUniqueClasses2), "Unique on Tree #2 (1)");
    EXPECT_EQ(heading(form->ListBoxUniqueAttr1), "Unique on Tree #1 (2)");
    EXPECT_EQ(heading(form->ListBoxAttrCommon), "Common Attributes (5)");
    EXPECT_EQ(heading(form->ListBoxUniqueAttr2), "Unique on Tree #2 (2)");

    struct Case {
        bool classes;
        QStringList marked;
    };
    for (const Case& c :
         {Case{true, {"Person", "Top", "User"}}, Case{false, {"Full Name", "Surname"}}}) {
        SCOPED_TRACE(c.classes ? "classes" : "attributes");
        ListBox* common = c.classes ? form->ListBoxClassesCommon : form->ListBoxAttrCommon;
        ListBox* results =
            c.classes ? form->ListBoxCompareClassesResults : form->ListBoxCompareAttrResults;
        QTabWidget* pages = c.classes ? form->PageControlClasses : form->PageControlAttr;
        form->PageControl->setCurrentWidget(c.classes ? form->TabSheetCompareClasses
                                                      : form->TabSheetCompareAttributes);
        const QStringList names = texts(common);
        auto marked = [&] {
            QStringList out;
            for (int row = 0; row < common->count(); ++row)
                if (common->itemMarked(row)) out << common->itemText(row);
            return out;
        };
        EXPECT_TRUE(marked().isEmpty());
        c.classes ? form->BitBtnCompareClassesClick(form->BitBtnCompareClasses)
                  : form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
        EXPECT_EQ(marked(), c.marked);
        EXPECT_EQ(heading(common), QString("Common %1 (5, %2 differ)")
                                       .arg(c.classes ? "Classes" : "Attributes")
                                       .arg(c.marked.size()));
        EXPECT_EQ(texts(common), names);

        // As the user's double click comes: a click, then the second press.
        auto doubleClick = [common](int row) {
            clickLine(common, row);
            QTest::mouseDClick(common->viewport(), Qt::LeftButton, {},
                               common->visualRect(common->model()->index(row, 0)).center());
        };
        // A name without findings: a double click changes nothing.
        pages->setCurrentIndex(0);
        QApplication::processEvents();
        ASSERT_FALSE(common->itemMarked(0));
        doubleClick(0);
        EXPECT_EQ(pages->currentIndex(), 0);

        // A marked one: its lines, all of them and no others, selected on the results page.
        const QString name = c.marked.last();
        doubleClick(static_cast<int>(names.indexOf(name)));
        EXPECT_EQ(pages->currentIndex(), 1);
        QStringList about;
        for (int line = 0; line < results->count(); ++line)
            if (results->itemText(line).contains("for \"" + name + "\""))
                about << results->itemText(line);
        ASSERT_FALSE(about.isEmpty());
        EXPECT_EQ(results->selectedText(), about.join('\n'));
    }

    // A tree loaded again makes the marks stale: they go; the counts stay right.
    ASSERT_TRUE(form->OpenTreeFile(2, kLab2));
    for (int row = 0; row < form->ListBoxClassesCommon->count(); ++row)
        EXPECT_FALSE(form->ListBoxClassesCommon->itemMarked(row));
    EXPECT_EQ(heading(form->ListBoxClassesCommon), "Common Classes (5)");
}

TEST_F(Desktop, LiveTreeOperandsGoThroughTheSelectors) {
    makeOnlineForm();
    form->OpenOperands({"tree:lab_tree", "tree:SALES"});
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->ComboBoxTree1->currentText(), "LAB_TREE");
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1:  LAB_TREE (online)");
    EXPECT_EQ(form->LabelTree2->text(), "Tree #2:  SALES (online)");
    EXPECT_EQ(form->PageControl->currentWidget(), form->TabSheetCompareClasses);
}

TEST_F(Desktop, OperandsThatDoNotLoadSaySoAndLeaveThePageAlone) {
    makeOnlineForm();
    TempDir dir;
    const QString missing = QString::fromStdString(dir.file("missing.txt"));
    form->OpenOperands({"tree:NOWHERE", missing});
    ASSERT_EQ(dialogs.messages.size(), 2u);
    // An unknown name, with the names there are.
    const std::string unknown = dialogs.messages[0].text.toStdString();
    EXPECT_TRUE(unknown.starts_with("No tree named \"NOWHERE\" in ")) << unknown;
    EXPECT_TRUE(unknown.ends_with("(known: LAB_TREE, SALES)")) << unknown;
    EXPECT_EQ(dialogs.messages[1].text, "Cannot read the schema file " + missing);
    EXPECT_EQ(form->PageControl->currentWidget(), form->TabSheetInfo);
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1");

    // One good operand shows its tree.
    form->OpenOperands({kLab1});
    EXPECT_EQ(form->PageControl->currentWidget(), form->TabSheetSchemaTree1);
}

TEST_F(Desktop, ADroppedFileLoadsIntoTheSlotItLandsOn) {
    makeOfflineForm();
    QWidget* half2 = form->findChild<QWidget*>("PanelTree2");
    ASSERT_NE(half2, nullptr);
    EXPECT_TRUE(drop(half2, {QUrl::fromLocalFile(kLab2)}));
    EXPECT_TRUE(form->LabelTree2->text().endsWith("(offline)"));
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1");

    // Whatever control of the half is under the pointer, the half takes the drop.
    QWidget* half1 = form->findChild<QWidget*>("PanelTree1");
    EXPECT_TRUE(drop(half1, {QUrl::fromLocalFile(kLab1)}));
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1:  LAB_TREE (offline)");

    // Onto the schema page of Tree #2, and onto its tab: Tree #2 again.
    const QString label2 = form->LabelTree2->text();
    EXPECT_TRUE(drop(form->TabSheetSchemaTree2, {QUrl::fromLocalFile(kLab1)}));
    EXPECT_EQ(form->LabelTree2->text(), "Tree #2:  LAB_TREE (offline)");
    QTabBar* tabs = form->PageControl->tabBar();
    const int tab2 = form->PageControl->indexOf(form->TabSheetSchemaTree2);
    EXPECT_TRUE(drop(tabs, {QUrl::fromLocalFile(kLab2)}, tabs->tabRect(tab2).center()));
    EXPECT_EQ(form->LabelTree2->text(), label2);
    const int info = form->PageControl->indexOf(form->TabSheetInfo);
    EXPECT_FALSE(drop(tabs, {QUrl::fromLocalFile(kLab2)}, tabs->tabRect(info).center()));

    // Two files, or something that is not a local file, are not taken.
    EXPECT_FALSE(drop(half1, {QUrl::fromLocalFile(kLab1), QUrl::fromLocalFile(kLab2)}));
    EXPECT_FALSE(drop(half1, {QUrl("https://example.org/lab.txt")}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Desktop, KeysQuitShowInfoAndSaveTheFocusedList) {
    makeOfflineForm();
    fillSlot(1, names({"Top"}), names({"CN"}), false, "LAB");
    EXPECT_EQ(form->ActionQuit->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(form->ActionInfo->shortcut(), QKeySequence("F1"));
    EXPECT_EQ(form->ActionSaveList->shortcut(), QKeySequence("Ctrl+S"));
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    form->PageControl->setCurrentWidget(form->TabSheetSchemaTree1);
    form->ListBoxAttr1->setFocus();
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.saveSetups.size(), 1u);
    EXPECT_EQ(dialogs.saveSetups[0].fileName, "LAB - Attributes.txt");
    // From the find bar of a list: that list.
    form->ListBoxClasses1->setFocus();
    QTest::keyClick(form->ListBoxClasses1, Qt::Key_F, Qt::ControlModifier);
    FindBar* bar = form->ListBoxClasses1->parentWidget()->findChild<FindBar*>();
    ASSERT_TRUE(bar->field()->hasFocus());
    QTest::keyClick(bar->field(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.saveSetups.size(), 2u);
    EXPECT_EQ(dialogs.saveSetups[1].fileName, "LAB - Classes.txt");

    QTest::keyClick(form.get(), Qt::Key_F1);
    EXPECT_EQ(form->PageControl->currentWidget(), form->TabSheetInfo);
    // Nothing focused that is a list: no dialog.
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs.saveSetups.size(), 2u);

    QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Desktop, QuitDuringALoadWaitsForTheLoad) {
    makeOfflineForm();
    form->show();
    bool visibleAtDialog = false;
    dialogs.onMessage = [&] {
        form->ActionQuit->trigger();
        visibleAtDialog = form->isVisible();
    };
    // A folder given as the schema file: the load reports it while it runs.
    TempDir dir;
    form->OpenOperands({QString::fromStdString(dir.path().string())});
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(visibleAtDialog);
    QApplication::processEvents();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Desktop, TitlesIconAndFonts) {
    ConfigureApplication();
    makeOfflineForm();
    EXPECT_EQ(form->windowTitle(), "Kalvix - Detect Schema Differences Between Trees");
    // Qt appends a display name to every title; none is set to repeat the title's name.
    EXPECT_NE(QGuiApplication::applicationDisplayName(), kApplicationTitle);
    EXPECT_EQ(QGuiApplication::desktopFileName(), "kalvix");

    const QIcon icon = form->windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_GE(icon.availableSizes().size(), 4);
    EXPECT_FALSE(icon.pixmap(48, 48).isNull());

    // Arial's metrics, so the designed widths hold.
    EXPECT_EQ(QFontInfo(form->font()).family(), "Liberation Sans");
    QLabel* panel = form->StatusPanels[0];
    panel->setText("Tree #1: BENCH_TREE_1");
    form->show();
    QApplication::processEvents();
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
}

TEST_F(Desktop, DialogTitlesNameTheApplicationOnce) {
    QWidget parent;
    QtDialogs real(&parent);
    QStringList titles;
    auto answer = [&titles] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        titles << box->windowTitle();
        static_cast<QMessageBox*>(box)->done(0);
    };
    QTimer::singleShot(0, answer);
    real.message(DlgType::Error, "text");
    QTimer::singleShot(0, answer);
    real.confirm("Replace?");
    EXPECT_EQ(titles, QStringList({"Dellmar - Error", "Dellmar - Confirm"}));
}

TEST_F(Desktop, ACutStatusPanelShowsItsWholeTextAsTooltip) {
    makeOfflineForm();
    form->show();
    QApplication::processEvents();
    QLabel* panel = form->StatusPanels[1];
    const QString longText = "Tree #2: A_VERY_LONG_TREE_NAME_THAT_NO_PANEL_HOLDS";
    panel->setText(longText);
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), panel->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(panel, &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), longText);

    panel->setText("Tree #2: LAB");
    QApplication::sendEvent(panel, &help);
    EXPECT_FALSE(QToolTip::isVisible() && QToolTip::text() == "Tree #2: LAB");
}

// Started on the demo for want of a configuration: the Info page begins with why, and the
// status bar says so, with no dialog.
TEST_F(Desktop, AStartNoticeHeadsTheInfoPageAndTheStatusBar) {
    makeOfflineForm();
    dialogs.messages.clear();
    const QString info = form->Memo1->toPlainText();
    form->ShowStartNotice("The demo directory is shown.");
    EXPECT_EQ(form->Memo1->toPlainText(), "The demo directory is shown.\n\n" + info);
    EXPECT_EQ(form->StatusPanels[2]->text(),
              "Demo directory: no configuration of your own (see the Info page)");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Desktop, ProgressTextNamesTheItemTheErrorIsAbout) {
    makeOnlineForm();
    fake->addAttr("Title", 0x02, 3);
    form->OpenOperands({"tree:LAB_TREE", "tree:SALES"});
    ASSERT_TRUE(dialogs.messages.empty());
    fake->failOn("dcFetchAttributes", -601, 0, "Title");
    QString shown;
    dialogs.onMessage = [&] {
        if (shown.isEmpty()) shown = form->StatusPanels[2]->text();
    };
    form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages[0].text, "Error FFFFFDA7: U_DSGetAttributeInfo: Title");
    EXPECT_EQ(shown, "Title");
}

}  // namespace
