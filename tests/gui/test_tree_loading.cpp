// Filling the slots: online through the selectors, offline from schema files, and saving.
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "FakeDirClient.h"
#include "FormFixture.h"
#include "TempDir.h"

namespace {

// A server that is down: every change to its tree fails.
class DownSource : public SchemaSource {
  public:
    SchemaLoad load() override {
        SchemaLoad load;
        load.failure.code = -634;
        load.failure.what = "cannot read the schema of";
        load.failure.source = "the LDAP server";
        load.failure.where = "ldap://down.example";
        load.failure.reason = "cannot connect";
        load.failure.toDo = "check that the server runs";
        return load;
    }
};

class DownClient : public FakeDirClient {
  public:
    void addDown(const std::string& treeName) {
        directory().connections.push_back({treeName, nullptr, std::make_shared<DownSource>()});
    }
};

class TreeLoading : public FormFixture {
  protected:
    // Two trees: LAB_TREE (the fake's default one) and SALES; with down, also DOWN, a
    // server that cannot be reached.
    void makeOnlineForm(bool down = false) {
        auto client = std::make_unique<DownClient>();
        fake = client.get();
        fake->setConnections({"LAB_TREE"});
        fake->addClass("Top", 0x06, {0x06, 0x03, 0x55, 0x06, 0x00}, {}, {}, {}, {"Object Class"});
        fake->addClass("Person", 0x02, {0x06, 0x03, 0x55, 0x06, 0x06}, {"Top"}, {}, {"CN"},
                       {"CN", "Surname"}, {"Description"});
        fake->addAttr("CN", 0x02, 3, 1, 64);
        fake->addAttr("Description", 0x02, 3, 1, 1024);
        fake->addAttr("Object Class", 0x04, 20);
        fake->addAttr("Surname", 0x02, 3, 1, 64);
        sales = fake->addConnection("SALES");
        if (down) client->addDown("DOWN");
        makeForm(std::move(client));
        dialogs.messages.clear();
    }

    void choose(QComboBox* combo, const QString& tree) {
        combo->setCurrentIndex(combo->findText(tree));
        form->ChangeTreeOnline(combo);
    }

    FakeDirClient* fake = nullptr;
    std::shared_ptr<SimTree> sales;
    TempDir dir;
};

TEST_F(TreeLoading, SelectorsListTheReachableTrees) {
    makeOnlineForm();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(form->ComboBoxTree1->count(), 2);
    EXPECT_EQ(form->ComboBoxTree1->itemText(0), "LAB_TREE");
    EXPECT_EQ(form->ComboBoxTree2->itemText(1), "SALES");
    EXPECT_EQ(form->ComboBoxTree1->currentIndex(), -1);
}

TEST_F(TreeLoading, OnlineLoadTouchesOnlyItsSlot) {
    makeOnlineForm();
    choose(form->ComboBoxTree1, "LAB_TREE");
    EXPECT_EQ(form->Trees(1).Online, 1);
    EXPECT_EQ(form->StatusPanels[0]->text(), "Tree #1: LAB_TREE");
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1:  LAB_TREE (online)");
    EXPECT_EQ(texts(form->ListBoxClasses1), QStringList({"Person", "Top"}));
    EXPECT_EQ(form->ListBoxAttr1->count(), 4);
    EXPECT_TRUE(form->BitBtnSaveTree1->isEnabled());
    EXPECT_TRUE(form->isTabShown(form->TabSheetSchemaTree1));
    EXPECT_FALSE(form->isTabShown(form->TabSheetCompareClasses));

    // SALES has no schema: slot 2 fills with nothing, slot 1 keeps everything.
    choose(form->ComboBoxTree2, "SALES");
    EXPECT_EQ(form->CurrentTree(), 2);
    EXPECT_EQ(form->ListBoxClasses1->count(), 2);
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1:  LAB_TREE (online)");
    EXPECT_EQ(form->ListBoxClasses2->count(), 0);
    EXPECT_FALSE(form->BitBtnSaveTree2->isEnabled());
    EXPECT_FALSE(form->isTabShown(form->TabSheetSchemaTree2));

    // Reading again never leaves the first tree's names behind.
    choose(form->ComboBoxTree1, "SALES");
    EXPECT_EQ(form->ListBoxClasses1->count(), 0);
    EXPECT_EQ(form->ListBoxAttr1->count(), 0);
    EXPECT_FALSE(form->isTabShown(form->TabSheetSchemaTree1));
}

// Tree #1 as the window shows it: what a failed change must leave as it found.
struct SlotView {
    QString label, status, selector, source;
    QStringList classes, attrs;
    std::string treeName;
    std::uint8_t online;
    bool operator==(const SlotView&) const = default;
    friend void PrintTo(const SlotView& v, std::ostream* out) {
        *out << (QStringList{v.label, v.status, v.selector, v.source} + v.classes + v.attrs)
                    .join(" | ")
                    .toStdString()
             << " | " << v.treeName << " | " << int(v.online);
    }
};

// Every failed change leaves the slot, and all that shows it, as it was; the comparison
// reads what the slot holds, with no dialog, as before the change.
TEST_F(TreeLoading, AFailedTreeChangeLeavesTheSlotAsItWas) {
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "a schema file in Tree #1" : "a live tree in Tree #1");
        makeOnlineForm(true);
        choose(form->ComboBoxTree2, "LAB_TREE");
        if (fromFile)
            ASSERT_TRUE(form->OpenTreeFile(1, QString(KALVIX_TEST_DATA) + "/cli/lab_1.txt"));
        else
            choose(form->ComboBoxTree1, "LAB_TREE");
        auto view = [this] {
            return SlotView{form->LabelTree1->text(),
                            form->StatusPanels[0]->text(),
                            form->ComboBoxTree1->currentText(),
                            form->LabelSource1->text(),
                            texts(form->ListBoxClasses1),
                            texts(form->ListBoxAttr1),
                            form->Trees(1).TreeName,
                            form->Trees(1).Online};
        };
        const SlotView before = view();
        EXPECT_EQ(before.selector, fromFile ? "" : "LAB_TREE");
        EXPECT_EQ(before.source, fromFile ? "schema file lab_1.txt" : "live");
        form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
        const QStringList results = texts(form->ListBoxCompareClassesResults);
        dialogs.messages.clear();

        // A server that is down; a change that fails half way, the context already on the
        // other tree; one that fails at once.
        struct Failing {
            const char* tree;
            int writeFailing;  // which write to the context fails: 0 all, -1 none
            const char* text;
            const char* detail;
        };
        // A server in words, what to do last; the simulated directory in its client's codes.
        for (const Failing& failing :
             {Failing{"DOWN", -1, "Cannot read the schema of the LDAP server ldap://down.example",
                      "Cannot connect.\nCheck that the server runs."},
              Failing{"SALES", 2, "Error FFFFFD86: DSChangeCurrentTree", nullptr},
              Failing{"LAB_TREE", 0, "Error FFFFFD86: DSChangeCurrentTree", nullptr}}) {
            SCOPED_TRACE(failing.tree);
            if (failing.writeFailing >= 0)
                fake->failOn("dcWriteContext", -634,
                             static_cast<std::uint32_t>(failing.writeFailing));
            choose(form->ComboBoxTree1, failing.tree);
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].text, failing.text);
            if (failing.detail) {
                EXPECT_EQ(dialogs.messages[0].detail, failing.detail);
            }
            EXPECT_EQ(view(), before);
            EXPECT_TRUE(form->ComboBoxTree1->isEnabled());
            dialogs.messages.clear();
        }
        form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
        EXPECT_EQ(texts(form->ListBoxCompareClassesResults), results);
        for (const ShownMessage& m : dialogs.messages)
            EXPECT_EQ(m.type, DlgType::Plain) << m.text.toStdString();
    }
}

// A run whose trees give no definition at all stops at once with one message and no
// verdict; a first name that fails alone is shown late, and the run goes on.
TEST_F(TreeLoading, ARunThatReadsNoDefinitionStopsWithOneMessage) {
    struct Case {
        bool classes;
        const char* operation;
        const char* message;
    };
    for (const Case& c :
         {Case{true, "dcFetchClasses",
               "Reading the definitions of Tree #1 \"LAB_TREE\" failed (Error FFFFFD86: "
               "U_DSGetClassDef: Person); the comparison stopped"},
          Case{false, "dcFetchAttributes",
               "Reading the definitions of Tree #1 \"LAB_TREE\" failed (Error FFFFFD86: "
               "U_DSGetAttributeInfo: CN); the comparison stopped"}}) {
        SCOPED_TRACE(c.operation);
        makeOnlineForm();
        choose(form->ComboBoxTree1, "LAB_TREE");
        choose(form->ComboBoxTree2, "LAB_TREE");
        fake->failOn(c.operation, -634);
        dialogs.messages.clear();
        ListBox* results =
            c.classes ? form->ListBoxCompareClassesResults : form->ListBoxCompareAttrResults;
        c.classes ? form->BitBtnCompareClassesClick(form->BitBtnCompareClasses)
                  : form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].type, DlgType::Error);
        EXPECT_EQ(dialogs.messages[0].text.toStdString(), c.message);
        EXPECT_EQ(results->count(), 0);
        EXPECT_EQ(form->StatusPanels[2]->text(), kMakerAddress);
    }

    // Only the first class fails: its messages come, late, and every class is compared.
    makeOnlineForm();
    choose(form->ComboBoxTree1, "LAB_TREE");
    choose(form->ComboBoxTree2, "LAB_TREE");
    fake->failOn("dcFetchClasses", -601, 0, "Person");
    dialogs.messages.clear();
    std::vector<QString> progress;
    dialogs.onMessage = [&] { progress.push_back(form->StatusPanels[2]->text()); };
    form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages[0].text, "Error FFFFFDA7: U_DSGetClassDef: Person");
    for (const ShownMessage& m : dialogs.messages)
        EXPECT_FALSE(m.text.contains("stopped")) << m.text.toStdString();
    EXPECT_EQ(progress.front(), "Top");  // shown once the second class was read
}

TEST_F(TreeLoading, SavedSchemaLoadsIntoTheOtherSlot) {
    makeOnlineForm();
    choose(form->ComboBoxTree1, "LAB_TREE");
    const QString path = QString::fromStdString(dir.file("lab.txt"));
    dialogs.answers.push_back(path);
    form->BitBtnSaveTreeClick(form->BitBtnSaveTree1);
    ASSERT_EQ(dialogs.saveSetups.size(), 1u);
    EXPECT_EQ(dialogs.saveSetups[0].fileName, "LAB_TREE.txt");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->StatusPanels[2]->text(), kMakerAddress);
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(form->Settings()->ReadString("Settings", "Offline Path", ""),
              dir.path().string() + "/");

    dialogs.answers.push_back(path);
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline2);
    ASSERT_EQ(dialogs.openSetups.size(), 1u);
    EXPECT_EQ(dialogs.openSetups[0].fileName, "*.txt");
    EXPECT_EQ(dialogs.openSetups[0].filter,
              "Schema files, LDIF dumps, OpenLDAP schema (*.txt *.ldif *.schema);;All Files (*)");
    EXPECT_EQ(dialogs.openSetups[0].directory.toStdString(), dir.path().string() + "/");
    EXPECT_EQ(form->LabelTree2->text(), "Tree #2:  LAB_TREE (offline)");
    EXPECT_EQ(form->StatusPanels[1]->text(), "Tree #2: LAB_TREE");
    EXPECT_EQ(texts(form->ListBoxClasses2), texts(form->ListBoxClasses1));
    EXPECT_EQ(texts(form->ListBoxAttr2), texts(form->ListBoxAttr1));
    EXPECT_FALSE(form->BitBtnSaveTree2->isEnabled());
    // Both trees are in: every page shows, and the quick check found them equal.
    EXPECT_TRUE(form->isTabShown(form->TabSheetCompareClasses));
    EXPECT_EQ(texts(form->ListBoxClassesCommon), QStringList({"Person", "Top"}));
    EXPECT_EQ(form->ListBoxUniqueClasses1->count(), 0);
    EXPECT_EQ(form->ListBoxUniqueAttr2->count(), 0);

    // The full checks agree: nothing differs, and the plain box says so.
    form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
    form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
    EXPECT_EQ(form->ListBoxCompareClassesResults->count(), 0);
    EXPECT_EQ(form->ListBoxCompareAttrResults->count(), 0);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].type, DlgType::Plain);
    EXPECT_EQ(dialogs.messages[0].text, "No differences found");
}

TEST_F(TreeLoading, CancelledDialogsChangeNothing) {
    makeOnlineForm();
    choose(form->ComboBoxTree1, "LAB_TREE");
    form->BitBtnSaveTreeClick(form->BitBtnSaveTree1);
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline1);
    EXPECT_EQ(form->Settings()->ReadString("Settings", "Offline Path", "unset"), "unset");
    EXPECT_EQ(form->Trees(1).Online, 1);
    EXPECT_EQ(form->ListBoxClasses1->count(), 2);
}

TEST_F(TreeLoading, SecondFileReplacesTheFirstAndMissingSettingsNameTheTree) {
    makeOfflineForm();
    const std::string first = dir.write("first.txt",
                                        "[Settings]\r\nTree Name=FIRST\r\n[Classes]\r\n0=Top\r\n"
                                        "1=Person\r\n[Attributes]\r\n0=CN\r\n");
    const std::string second = dir.write("second.txt", "[Classes]\r\n0=Device\r\n");
    dialogs.answers.push_back(QString::fromStdString(first));
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline1);
    EXPECT_EQ(texts(form->ListBoxClasses1), QStringList({"Person", "Top"}));
    dialogs.answers.push_back(QString::fromStdString(second));
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline1);
    EXPECT_EQ(texts(form->ListBoxClasses1), QStringList({"Device"}));
    EXPECT_EQ(form->ListBoxAttr1->count(), 0);
    EXPECT_EQ(form->LabelTree1->text(), "Tree #1:  Unknown tree name (offline)");
    EXPECT_FALSE(form->isTabShown(form->TabSheetSchemaTree1));
    for (const ShownMessage& m : dialogs.messages) ADD_FAILURE() << m.text.toStdString();
}

TEST_F(TreeLoading, SavingOverAnExistingFileAsksFirst) {
    makeOnlineForm();
    choose(form->ComboBoxTree1, "LAB_TREE");
    const std::string path = dir.write("lab.txt", "an older save");
    dialogs.answers.push_back(QString::fromStdString(path));
    dialogs.confirmations.push_back(false);
    form->BitBtnSaveTreeClick(form->BitBtnSaveTree1);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(TempDir::read(path), "an older save");
    EXPECT_EQ(form->StatusPanels[2]->text(), kMakerAddress);

    dialogs.answers.push_back(QString::fromStdString(path));
    dialogs.confirmations.push_back(true);
    form->BitBtnSaveTreeClick(form->BitBtnSaveTree1);
    EXPECT_NE(TempDir::read(path), "an older save");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(TreeLoading, SaveThatCannotWriteKeepsTheOldFile) {
    makeOnlineForm();
    choose(form->ComboBoxTree1, "LAB_TREE");
    // A folder in place of the file: nothing can be renamed over it.
    const std::string target = dir.file("taken.txt");
    std::filesystem::create_directory(target);
    dialogs.answers.push_back(QString::fromStdString(target));
    form->BitBtnSaveTreeClick(form->BitBtnSaveTree1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].type, DlgType::Error);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Unable to write to "));
    EXPECT_EQ(dialogs.messages[0].detail, "is a folder, not a file");
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(form->StatusPanels[2]->text(), kMakerAddress);
    EXPECT_TRUE(form->BitBtnSaveTree1->isEnabled());
}

TEST_F(TreeLoading, ATreeWhoseNamesCameShortIsNotSavedOverTheOldFile) {
    makeOnlineForm();
    fake->failOn("dcFetchAttributes", -601, 1);
    choose(form->ComboBoxTree1, "LAB_TREE");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(form->BitBtnSaveTree1->isEnabled());  // it has classes
    const std::string path = dir.write("lab.txt", "an older save");
    dialogs.answers.push_back(QString::fromStdString(path));
    dialogs.confirmations.push_back(true);
    form->BitBtnSaveTreeClick(form->BitBtnSaveTree1);
    EXPECT_EQ(TempDir::read(path), "an older save");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].type, DlgType::Error);
    EXPECT_EQ(dialogs.messages[1].text.toStdString(),
              "Reading the tree \"LAB_TREE\" failed (Error FFFFFDA7: "
              "U_DSReadAvailableAttributes); " +
                  path + " was kept as it was");
    EXPECT_EQ(form->StatusPanels[2]->text(), kMakerAddress);
}

TEST_F(TreeLoading, AFileWithoutASchemaIsRefusedAndTheSlotKeepsWhatItHeld) {
    makeOfflineForm();
    const std::string good = dir.write("good.txt",
                                       "[Settings]\r\nTree Name=GOOD\r\n[Classes]\r\n0=Top\r\n"
                                       "[Attributes]\r\n0=CN\r\n");
    dialogs.answers.push_back(QString::fromStdString(good));
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline1);
    ASSERT_TRUE(dialogs.messages.empty());
    const QString label = form->LabelTree1->text();

    // A text file, and a name that is not there (a typing slip in the file dialog).
    const std::string passwd = dir.write("passwd", "root:x:0:0:root:/root:/bin/bash\n");
    const std::string fifo = dir.file("pipe.txt");  // would block an open for ever
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string broken = dir.write("broken.ldif", "dn: cn=schema\nattributeTypes: ( 1.2\n");
    for (const std::string& path : {passwd, dir.file("mistyped.txt"), fifo, broken}) {
        dialogs.messages.clear();
        dialogs.answers.push_back(QString::fromStdString(path));
        form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline1);
        ASSERT_EQ(dialogs.messages.size(), 1u) << path;
        EXPECT_EQ(dialogs.messages[0].type, DlgType::Error);
        EXPECT_TRUE(dialogs.messages[0].text.contains(QString::fromStdString(path)))
            << dialogs.messages[0].text.toStdString();
        EXPECT_EQ(form->Trees(1).TreeName, "GOOD");
        EXPECT_EQ(form->Trees(1).FileName, good);
        EXPECT_EQ(texts(form->ListBoxClasses1), QStringList({"Top"}));
        EXPECT_EQ(texts(form->ListBoxAttr1), QStringList({"CN"}));
        EXPECT_EQ(form->LabelTree1->text(), label);
        EXPECT_TRUE(form->isTabShown(form->TabSheetSchemaTree1));
    }
}

// An LDIF dump and an OpenLDAP schema file are files too, known by what they hold.
TEST_F(TreeLoading, AnLdifDumpAndASchemaFileLoadAsFiles) {
    makeOfflineForm();
    const std::string dump = std::string(KALVIX_TEST_DATA) + "/cli/published_1.ldif";
    const std::string schema = dir.write("vandelay.txt",
                                         "# two definitions\nattributetype ( 2.5.4.3 NAME 'cn' )\n"
                                         "objectclass ( 2.5.6.6 NAME 'person' MUST cn )\n");
    ASSERT_TRUE(form->OpenTreeFile(1, QString::fromStdString(dump)));
    ASSERT_TRUE(form->OpenTreeFile(2, QString::fromStdString(schema)));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(texts(form->ListBoxClasses2), QStringList({"person"}));
    for (int tree : {1, 2}) {
        EXPECT_EQ(form->Trees(tree).FileName, tree == 1 ? dump : schema);
        EXPECT_EQ(form->Trees(tree).SchemaFile, nullptr);
        EXPECT_NE(form->Trees(tree).Schema, nullptr);
        // Named as what it is, never "online" or "live".
        const QString what = tree == 1 ? "LDIF dump" : "schema files";
        EXPECT_TRUE(
            (tree == 1 ? form->LabelTree1 : form->LabelTree2)->text().endsWith("(" + what + ")"));
        EXPECT_EQ((tree == 1 ? form->LabelSource1 : form->LabelSource2)->toolTip(),
                  what + ", " + QString::fromStdString(tree == 1 ? dump : schema));
    }
    EXPECT_TRUE(texts(form->ListBoxClassesCommon).contains("person"));
}

TEST_F(TreeLoading, UnreadableChoiceSaysSoOnce) {
    makeOfflineForm();
    dialogs.answers.push_back(QString::fromStdString(dir.path().string()));
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline1);
    ASSERT_EQ(dialogs.messages.size(), 1u) << dialogs.messages[1].text.toStdString();
    EXPECT_EQ(dialogs.messages[0].type, DlgType::Error);
    EXPECT_EQ(form->Trees(1).SchemaFile, nullptr);
}

}  // namespace

namespace {

// While a load or a comparison runs (here: while it shows an error mid-way), nothing that
// starts another one or changes a slot can be used; afterwards everything can again.
TEST_F(TreeLoading, LongOperationsLockTheControlsThatWouldDisturbThem) {
    makeOnlineForm();
    std::vector<bool> lockedDuring;
    auto allLocked = [this] {
        for (QWidget* w : std::initializer_list<QWidget*>{
                 form->ComboBoxTree1, form->ComboBoxTree2, form->BitBtnLoadTreeOffline1,
                 form->BitBtnLoadTreeOffline2, form->BitBtnSaveTree1, form->BitBtnSaveTree2,
                 form->BitBtnCompareClasses, form->BitBtnCompareAttr})
            if (w->isEnabled()) return false;
        return true;
    };
    dialogs.onMessage = [&] { lockedDuring.push_back(allLocked()); };

    choose(form->ComboBoxTree1, "LAB_TREE");
    fake->failOn("dcFetchClasses", -601, 1);
    choose(form->ComboBoxTree2, "LAB_TREE");
    ASSERT_EQ(lockedDuring.size(), 1u);
    EXPECT_TRUE(lockedDuring[0]);
    EXPECT_TRUE(form->ComboBoxTree1->isEnabled());
    EXPECT_TRUE(form->BitBtnSaveTree1->isEnabled());

    fake->failOn("dcAddAttrName", -603, 0, "Surname");
    form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
    ASSERT_GE(lockedDuring.size(), 2u);
    EXPECT_TRUE(lockedDuring[1]);
    EXPECT_TRUE(form->BitBtnCompareAttr->isEnabled());
    EXPECT_TRUE(form->BitBtnLoadTreeOffline2->isEnabled());
    EXPECT_TRUE(form->BitBtnSaveTree1->isEnabled());
    EXPECT_FALSE(form->BitBtnSaveTree2->isEnabled());  // its class read failed: nothing to save
}

}  // namespace

namespace {

TEST_F(TreeLoading, DirectoryErrorsCarryTheClientsExplanation) {
    makeOnlineForm();
    fake->setMessageTable({{-604, "no such class"}});
    fake->failOn("dcFetchClasses", -604);
    choose(form->ComboBoxTree1, "LAB_TREE");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Error FFFFFDA4: U_DSReadAvailableClasses");
    EXPECT_EQ(dialogs.messages[0].detail, "no such class");
}

}  // namespace

namespace {

// Closing the window in the middle of a load waits for the load, then closes.
TEST_F(TreeLoading, CloseDuringALoadWaitsForItsEnd) {
    makeOnlineForm();
    form->show();
    bool visibleAfterClose = false;
    dialogs.onMessage = [&] {
        form->close();
        visibleAfterClose = form->isVisible();
    };
    fake->failOn("dcFetchAttributes", -601, 1);
    choose(form->ComboBoxTree1, "LAB_TREE");
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_EQ(form->ListBoxClasses1->count(), 2);  // the load went on to its end
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
