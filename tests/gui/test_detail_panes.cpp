// Selecting names shows definitions; common names show the comparison of both trees.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "FakeDirClient.h"
#include "FormFixture.h"

namespace {

class DetailPanes : public FormFixture {
  protected:
    void SetUp() override {
        auto client = std::make_unique<FakeDirClient>();
        FakeDirClient* fake = client.get();
        fake->setConnections({"ONE"});
        fake->addClass("Top", 0x06, {0x06, 0x03, 0x55, 0x06, 0x00}, {}, {}, {}, {"Object Class"});
        fake->addClass("Person", 0x02, {0x06, 0x03, 0x55, 0x06, 0x06}, {"Top"}, {}, {"CN"},
                       {"Surname", "CN"}, {"Description"});
        fake->addClass("Alias", 0x01);
        fake->addAttr("CN", 0x02, 3, 1, 64);
        fake->addAttr("Surname", 0x02, 3, 1, 64);
        fake->addAttr("Object Class", 0x04, 20);
        fake->addAttr("Description", 0x00, 3);
        std::shared_ptr<SimTree> two = fake->addConnection("TWO");
        auto cls = [](std::string name, std::uint32_t flags, std::uint8_t oidLast,
                      std::array<std::vector<std::string>, 5> items) {
            SimClass c;
            c.name = std::move(name);
            c.flags = flags;
            c.id = MakeAsn1Id({0x06, 0x03, 0x55, 0x06, oidLast});
            c.items = std::move(items);
            return c;
        };
        two->classes.push_back(cls("TOP", 0x06, 0x00, {{{}, {}, {}, {"Object Class"}, {}}}));
        two->classes.push_back(
            cls("Person", 0x02, 0x06, {{{"Top"}, {}, {"CN"}, {"CN"}, {"Description", "Title"}}}));
        two->classes.push_back(cls("Device", 0x02, 0x0E, {{{"Top"}, {}, {"CN"}, {"CN"}, {}}}));
        auto attr = [](std::string name, std::uint32_t flags, std::uint32_t syntax) {
            SimAttr a;
            a.name = std::move(name);
            a.info.attrFlags = flags;
            a.info.attrSyntaxID = syntax;
            return a;
        };
        two->attributes.push_back(attr("CN", 0x00, 3));
        two->attributes.push_back(attr("Object Class", 0x04, 20));
        two->attributes.push_back(attr("Description", 0x00, 3));
        two->attributes.push_back(attr("Title", 0x00, 3));
        makeForm(std::move(client));
        for (auto [combo, name] :
             {std::pair{form->ComboBoxTree1, "ONE"}, std::pair{form->ComboBoxTree2, "TWO"}}) {
            combo->setCurrentIndex(combo->findText(name));
            form->ChangeTreeOnline(combo);
        }
        ASSERT_TRUE(dialogs.messages.empty());
    }

    static void select(ListBox* list, const QString& text) {
        for (int i = 0; i < list->count(); ++i)
            if (list->itemText(i) == text) {
                clickLine(list, i);
                return;
            }
        FAIL() << "no line " << text.toStdString();
    }
};

TEST_F(DetailPanes, QuickCheckSplitsNamesIgnoringCase) {
    EXPECT_EQ(texts(form->ListBoxUniqueClasses1), QStringList({"Alias"}));
    EXPECT_EQ(texts(form->ListBoxClassesCommon), QStringList({"Person", "Top"}));
    EXPECT_EQ(texts(form->ListBoxUniqueClasses2), QStringList({"Device"}));
    EXPECT_EQ(texts(form->ListBoxUniqueAttr1), QStringList({"Surname"}));
    EXPECT_EQ(texts(form->ListBoxUniqueAttr2), QStringList({"Title"}));
}

TEST_F(DetailPanes, SchemaListShowsTheRenderingAndReplacesIt) {
    select(form->ListBoxClasses1, "Person");
    EXPECT_EQ(form->CurrentTree(), 1);
    EXPECT_EQ(texts(form->ListBoxDetailTree1), QStringList({"Person",
                                                            "",
                                                            "Flags",
                                                            "      Effective",
                                                            "",
                                                            "Super Class",
                                                            "      Top",
                                                            "",
                                                            "Naming Attribute",
                                                            "      CN",
                                                            "",
                                                            "Mandatory Attribute",
                                                            "      CN",
                                                            "      Surname",
                                                            "",
                                                            "Optional Attribute",
                                                            "      Description",
                                                            "",
                                                            "ASN",
                                                            "      2.5.6.6"}));
    select(form->ListBoxAttr1, "CN");
    EXPECT_EQ(texts(form->ListBoxDetailTree1),
              QStringList({"CN", "      CI_STRING [Sized (1-64)]"}));
    EXPECT_EQ(form->ListBoxDetailTree2->count(), 0);
}

TEST_F(DetailPanes, UniqueOnTreeTwoShowsTreeTwosDefinition) {
    select(form->ListBoxUniqueClasses2, "Device");
    EXPECT_EQ(form->CurrentTree(), 2);
    EXPECT_EQ(form->ListBoxClassesDetail->itemText(0), "Device");
    EXPECT_EQ(form->ListBoxClassesDetail->itemText(3), "      Effective");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(DetailPanes, CommonNamesShowTheirDifferencesOnceEach) {
    select(form->ListBoxAttrCommon, "CN");
    const QStringList cn = {
        "Tree #1 - Attribute Definition for \"CN\": \"CI_STRING [Sized (1-64)]\"",
        "Tree #2 - Attribute Definition for \"CN\": \"CI_STRING\""};
    EXPECT_EQ(texts(form->ListBoxAttrDetail), cn);
    select(form->ListBoxAttrCommon, "Description");
    EXPECT_EQ(texts(form->ListBoxAttrDetail),
              QStringList({"Attribute identical: ", "", "Description", "      CI_STRING"}));
    select(form->ListBoxAttrCommon, "CN");
    EXPECT_EQ(texts(form->ListBoxAttrDetail), cn);

    // Top differs only in the letter case of its name: identical.
    select(form->ListBoxClassesCommon, "Top");
    EXPECT_EQ(form->ListBoxClassesDetail->itemText(0), "Class identical: ");
    EXPECT_EQ(form->ListBoxClassesDetail->itemText(2), "Top");
}

TEST_F(DetailPanes, FullClassCheckListsUniqueNamesFirst) {
    form->BitBtnCompareClassesClick(form->BitBtnCompareClasses);
    EXPECT_EQ(
        texts(form->ListBoxCompareClassesResults),
        QStringList({"Tree #1 - Unique Class: \"Alias\"", "Tree #2 - Unique Class: \"Device\"",
                     "Tree #1 - Class Definition for \"Person\" has Mandatory Attribute: "
                     "\"Surname\"",
                     "Tree #2 - Class Definition for \"Person\" has Optional Attribute: "
                     "\"Title\""}));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->StatusPanels[2]->text(), kMakerAddress);
    EXPECT_TRUE(form->BitBtnCompareClasses->isEnabled());
}

}  // namespace
