// The window as a user first meets it: pages, tab visibility, labels, the status bar and
// the Info text.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include "FormFixture.h"
#include "TempDir.h"
#include "core/D_Util.h"

namespace {

class MainWindow : public FormFixture {};

TEST_F(MainWindow, StartsOfflineWithoutDirectory) {
    makeForm(CreateUnavailableClient("no client configuration found"));
    EXPECT_EQ(form->windowTitle(), "Kalvix - Detect Schema Differences Between Trees");
    EXPECT_EQ(form->PanelInfo->text(), "Kalvix - Detect Schema Differences Between Trees (v1.02)");
    EXPECT_EQ(form->PageControl->currentWidget(), form->TabSheetInfo);
    EXPECT_TRUE(form->isTabShown(form->TabSheetInfo));
    EXPECT_TRUE(form->isTabShown(form->TabSheetSelector));
    for (QWidget* page : {form->TabSheetSchemaTree1, form->TabSheetSchemaTree2,
                          form->TabSheetCompareClasses, form->TabSheetCompareAttributes})
        EXPECT_FALSE(form->isTabShown(page));
    EXPECT_EQ(form->ComboBoxTree1->count(), 0);
    EXPECT_EQ(form->ComboBoxTree2->count(), 0);
    EXPECT_TRUE(form->BitBtnLoadTreeOffline1->isEnabled());
    EXPECT_TRUE(form->BitBtnLoadTreeOffline2->isEnabled());
    EXPECT_FALSE(form->BitBtnSaveTree1->isEnabled());
    EXPECT_FALSE(form->BitBtnSaveTree2->isEnabled());
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1");
    EXPECT_EQ(form->ComboBoxTree2->toolTip(), "Select Tree #2");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].type, DlgType::Error);
    EXPECT_EQ(dialogs.messages[0].text,
              "Could not initialize NetWare Client. InitNetWare returned error 0xFFFF "
              "(no client configuration found)");
    EXPECT_EQ(form->StatusPanels[2]->text(), kMakerAddress);
    EXPECT_EQ(form->StatusPanels[0]->text(), "");
}

// A connection that cannot be used is named once at start-up; the selectors offer the
// other trees.
TEST_F(MainWindow, StartUpNamesAConnectionLeftOutAndOffersTheOthers) {
    TempDir dir;
    dir.write("tree.json", R"({"classes": [{"name": "Top"}], "attributes": []})");
    const std::string config = dir.write("client.json", R"({"connections": [
        {"treeName": "GOOD", "treeFile": "tree.json"}, {"treeName": "LAB", "kind": "ldap"}]})");
    makeForm(CreateClientFromConfig(config));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].type, DlgType::Warning);
    EXPECT_EQ(dialogs.messages[0].text.toStdString(),
              "The directory client leaves out what it cannot use of its configuration:\n" +
                  config +
                  ": connection 2 (\"LAB\"): the key \"uri\" is missing (the connection is left "
                  "out)");
    ASSERT_EQ(form->ComboBoxTree1->count(), 1);
    EXPECT_EQ(form->ComboBoxTree1->itemText(0), "GOOD");
    EXPECT_EQ(form->ComboBoxTree2->count(), 1);
}

TEST_F(MainWindow, TabVisibilityFollowsBothNameLists) {
    makeOfflineForm();
    fillSlot(1, names({"Top"}), names({"CN"}), false);
    EXPECT_TRUE(form->isTabShown(form->TabSheetSchemaTree1));
    EXPECT_FALSE(form->isTabShown(form->TabSheetSchemaTree2));
    EXPECT_FALSE(form->isTabShown(form->TabSheetCompareClasses));
    EXPECT_FALSE(form->isTabShown(form->TabSheetCompareAttributes));

    fillSlot(2, names({"Top"}), names({"CN"}), false);
    for (QWidget* page : {form->TabSheetSchemaTree1, form->TabSheetSchemaTree2,
                          form->TabSheetCompareClasses, form->TabSheetCompareAttributes})
        EXPECT_TRUE(form->isTabShown(page));

    // Classes without attributes: the list fills, but the pages go away again.
    fillSlot(2, names({"Top", "Person"}), {}, false);
    EXPECT_EQ(texts(form->ListBoxClasses2), QStringList({"Person", "Top"}));
    EXPECT_FALSE(form->isTabShown(form->TabSheetSchemaTree2));
    EXPECT_FALSE(form->isTabShown(form->TabSheetCompareClasses));
    EXPECT_FALSE(form->isTabShown(form->TabSheetCompareAttributes));
    EXPECT_TRUE(form->isTabShown(form->TabSheetSchemaTree1));
}

TEST_F(MainWindow, TreeLabelAndSaveButtonFollowTheSlotState) {
    makeOfflineForm();
    fillSlot(2, names({"Top"}), names({"CN"}), false, "SALES");
    EXPECT_EQ(form->LabelTree2->text(), "Tree #2:  SALES (offline)");
    EXPECT_FALSE(form->BitBtnSaveTree2->isEnabled());

    fillSlot(2, names({"Top"}), names({"CN"}), true, "SALES");
    EXPECT_EQ(form->LabelTree2->text(), "Tree #2:  SALES (online)");
    EXPECT_TRUE(form->BitBtnSaveTree2->isEnabled());

    // Online but without a class: nothing to save.
    fillSlot(2, {}, names({"CN"}), true, "SALES");
    EXPECT_FALSE(form->BitBtnSaveTree2->isEnabled());
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1");
    EXPECT_FALSE(form->BitBtnSaveTree1->isEnabled());
}

TEST_F(MainWindow, SortedListsIgnoreLetterCase) {
    makeOfflineForm();
    fillSlot(1, names({"dog", "Cat", "bee", "cow", "cab", "Bear"}), names({"b", "A", "c"}), false);
    EXPECT_EQ(texts(form->ListBoxClasses1),
              QStringList({"Bear", "bee", "cab", "Cat", "cow", "dog"}));
    EXPECT_EQ(texts(form->ListBoxAttr1), QStringList({"A", "b", "c"}));
    // The slot's own list is sorted the same way.
    EXPECT_EQ(form->Trees(1).ClassNames.front().name, "Bear");
}

TEST_F(MainWindow, ListsHandBackTheBytesTheyWereGiven) {
    makeOfflineForm();
    const std::string latin1 = "Gr\xFCn";    // not UTF-8
    const std::string utf8 = "Gr\xC3\xBCn";  // valid UTF-8
    fillSlot(1, NameList{{latin1, 7}, {utf8, 0}}, names({"CN"}), false);
    std::vector<std::string> bytes = form->ListBoxClasses1->lines();
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_NE(std::find(bytes.begin(), bytes.end(), latin1), bytes.end());
    EXPECT_NE(std::find(bytes.begin(), bytes.end(), utf8), bytes.end());
    EXPECT_EQ(form->ListBoxClasses1->itemText(0), QString::fromUtf8("Gr\xC3\xBCn"));
}

TEST_F(MainWindow, HandlerOfTreeTwoLeavesTreeOneAlone) {
    makeOfflineForm();
    fillSlot(1, names({"Top"}), names({"CN"}), true, "ONE");
    const QString label1 = form->LabelTree1->text();
    dialogs.answers.push_back(std::nullopt);  // the user cancels the open dialog
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline2);
    EXPECT_EQ(form->CurrentTree(), 2);
    EXPECT_EQ(form->Trees(1).TreeName, "ONE");
    EXPECT_EQ(form->Trees(1).ClassNames.size(), 1u);
    EXPECT_EQ(form->LabelTree1->text(), label1);
    EXPECT_TRUE(form->BitBtnSaveTree1->isEnabled());

    // A control outside the pair selects no tree.
    form->SelectTreeBySender(form->BitBtnSaveTree1, form->ComboBoxTree1, form->ComboBoxTree2);
    EXPECT_EQ(form->CurrentTree(), 0);
    form->UpdateDisplay();
    EXPECT_EQ(form->LabelTree1->text(), label1);
}

TEST_F(MainWindow, StatusBarOpensTheMakersAddressWhateverItShows) {
    makeOfflineForm();
    EXPECT_EQ(form->StatusBar->cursor().shape(), Qt::PointingHandCursor);
    form->StatusMsg("Saving classes ...");
    EXPECT_EQ(form->StatusPanels[2]->text(), "Saving classes ...");
    EXPECT_EQ(form->StatusBar->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(form->StatusPanels[0], Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].file, kMakerAddress);
    EXPECT_EQ(opened[0].parameters, "");
    EXPECT_EQ(opened[0].directory, "");
    form->StatusBarReset();
    EXPECT_EQ(form->StatusBar->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(MainWindow, ComparePagesOpenOnTheirQuickCheck) {
    makeOfflineForm();
    fillSlot(1, names({"Top"}), names({"CN"}), false);
    fillSlot(2, names({"Top"}), names({"CN"}), false);
    form->PageControlClasses->setCurrentWidget(form->TabSheetClassesDetails);
    form->PageControlAttr->setCurrentWidget(form->TabSheetAttrDetail);
    form->PageControl->setCurrentWidget(form->TabSheetCompareClasses);
    EXPECT_EQ(form->PageControlClasses->currentWidget(), form->TabSheetClassesQuick);
    form->PageControl->setCurrentWidget(form->TabSheetCompareAttributes);
    EXPECT_EQ(form->PageControlAttr->currentWidget(), form->TabSheetAttrQuick);
}

class InfoText : public FormFixture {
  protected:
    QString path = QString::fromStdString(ProgramFileWithExt("txt"));
    void TearDown() override { QFile::remove(path); }
};

TEST_F(InfoText, ShownWhenPresentAndNamedWhenMissing) {
    QFile::remove(path);
    makeOfflineForm();
    EXPECT_EQ(form->Memo1->toPlainText(), "Could not find " + path);
    EXPECT_EQ(form->Memo1->document()->blockCount(), 1);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Kalvix\r\ncompares trees.\n");
    file.close();
    makeOfflineForm();
    EXPECT_EQ(form->Memo1->toPlainText(), "Kalvix\ncompares trees.");
}

}  // namespace
