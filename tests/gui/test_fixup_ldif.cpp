// "Save fix-up LDIF ..." in the comparison pages' list menu: where it shows, when it is
// enabled, and the document it writes for each page's kind.
#include <gmock/gmock.h>

#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPushButton>

#include "FormFixture.h"
#include "LdifRecords.h"
#include "TempDir.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const char* const kBase =
    "attributetype ( 2.5.4.41 NAME 'name' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n"
    "attributetype ( 2.5.4.0 NAME 'objectClass' SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )\n"
    "objectclass ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )\n";

const char* const kExtra =
    "attributetype ( 1.9.1 NAME 'usedByClass' SUP name )\n"
    "attributetype ( 1.9.2 NAME 'standalone' SUP name )\n"
    "objectclass ( 1.9.3 NAME 'extra' SUP top AUXILIARY MAY usedByClass )\n";

class FixupLdif : public FormFixture {
  protected:
    void SetUp() override {
        const std::string base = dir.write("base.schema", kBase);
        const std::string extra = dir.write("extra.schema", kExtra);
        auto files = [](const char* name, QJsonArray list) {
            return QJsonObject{{"kind", "schema-files"}, {"treeName", name}, {"files", list}};
        };
        const QJsonArray connections = {
            files("RICH", {QString::fromStdString(base), QString::fromStdString(extra)}),
            files("PLAIN", {QString::fromStdString(base)}),
            QJsonObject{{"treeName", "DESCRIBED"},
                        {"treeFile", QString::fromStdString(std::string(KALVIX_TEST_DATA) +
                                                            "/cli/sim/alpha.json")}}};
        const std::string config = dir.write(
            "client.json",
            QJsonDocument(QJsonObject{{"connections", connections}}).toJson().toStdString());
        makeForm(CreateClientFromConfig(config));
        ASSERT_TRUE(dialogs.messages.empty());
    }
    void choose(QComboBox* combo, const QString& tree) {
        combo->setCurrentIndex(combo->findText(tree));
        form->ChangeTreeOnline(combo);
    }
    // The menu as it would open on that list.
    QAction* menuOn(ListBox* list) {
        form->PopupComponent = list;
        Q_EMIT form->PopupMenu->aboutToShow();
        return form->PopupSaveFixup;
    }
    std::vector<LdifChange> saveFrom(ListBox* list, const std::string& name) {
        const std::string path = dir.file(name);
        dialogs.answers.push_back(QString::fromStdString(path));
        menuOn(list)->trigger();
        std::vector<LdifChange> changes;
        std::string error;
        EXPECT_TRUE(ReadLdifChanges(TempDir::read(path), changes, error)) << error;
        return changes;
    }
    TempDir dir;
};

TEST_F(FixupLdif, OnlyOnTheComparisonPagesAndOnlyForPublishingSources) {
    choose(form->ComboBoxTree1, "RICH");
    EXPECT_FALSE(menuOn(form->ListBoxUniqueClasses1)->isEnabled());  // Tree #2 still empty
    choose(form->ComboBoxTree2, "PLAIN");
    for (ListBox* list : {form->ListBoxUniqueClasses1, form->ListBoxAttrCommon,
                          form->ListBoxCompareClassesResults, form->ListBoxUniqueAttr2}) {
        EXPECT_TRUE(menuOn(list)->isVisible()) << list->objectName().toStdString();
        EXPECT_TRUE(form->PopupSaveFixup->isEnabled());
    }
    EXPECT_FALSE(menuOn(form->ListBoxClasses1)->isVisible());
    EXPECT_FALSE(menuOn(form->ListBoxAttr2)->isVisible());
    EXPECT_TRUE(form->PopupSaveAs->isVisible());

    choose(form->ComboBoxTree2, "DESCRIBED");
    EXPECT_TRUE(menuOn(form->ListBoxUniqueClasses1)->isVisible());
    EXPECT_FALSE(form->PopupSaveFixup->isEnabled());
    EXPECT_TRUE(dialogs.saveSetups.empty());
}

// A schema file saved from such a tree keeps its definitions: it serves as either tree, and
// the document names it. One saved from a tree description does not.
TEST_F(FixupLdif, ASnapshotServesAsEitherTree) {
    auto saveTree = [&](QPushButton* button, const std::string& name) {
        dialogs.answers.push_back(QString::fromStdString(dir.file(name)));
        form->BitBtnSaveTreeClick(button);
        return dir.file(name);
    };
    auto load = [&](QPushButton* button, const std::string& path) {
        dialogs.answers.push_back(QString::fromStdString(path));
        form->BitBtnLoadTreeOfflineClick(button);
    };
    auto values = [](const std::vector<LdifChange>& changes) {
        std::vector<std::string> out;
        for (const LdifChange& c : changes)
            for (const LdifModification& m : c.modifications) out.push_back(m.values.at(0));
        return out;
    };
    choose(form->ComboBoxTree1, "RICH");
    choose(form->ComboBoxTree2, "PLAIN");
    const auto live = values(saveFrom(form->ListBoxUniqueClasses1, "live.ldif"));
    ASSERT_EQ(live.size(), 2u);
    const std::string rich = saveTree(form->BitBtnSaveTree1, "RICH.txt");
    const std::string plain = saveTree(form->BitBtnSaveTree2, "PLAIN.txt");

    load(form->BitBtnLoadTreeOffline1, rich);
    EXPECT_EQ(values(saveFrom(form->ListBoxUniqueClasses1, "from-snapshot.ldif")), live);
    EXPECT_THAT(TempDir::read(dir.file("from-snapshot.ldif")),
                HasSubstr("\n# Tree #1: RICH (the snapshot " + rich + " of "));
    load(form->BitBtnLoadTreeOffline2, plain);
    EXPECT_EQ(values(saveFrom(form->ListBoxUniqueClasses1, "both.ldif")), live);
    EXPECT_THAT(TempDir::read(dir.file("both.ldif")),
                HasSubstr("\n# Tree #2: PLAIN (the snapshot " + plain + " of "));
    EXPECT_TRUE(dialogs.messages.empty());

    choose(form->ComboBoxTree2, "DESCRIBED");
    load(form->BitBtnLoadTreeOffline2, saveTree(form->BitBtnSaveTree2, "DESCRIBED.txt"));
    EXPECT_TRUE(menuOn(form->ListBoxUniqueClasses1)->isVisible());
    EXPECT_FALSE(form->PopupSaveFixup->isEnabled());
    EXPECT_TRUE(dialogs.messages.empty());
}

// Against Active Directory the document is AD's own: schema objects, each kind followed by
// a reload of the schema.
TEST_F(FixupLdif, ActiveDirectoryAsTree2GetsTheAdDialect) {
    choose(form->ComboBoxTree1, "RICH");
    choose(form->ComboBoxTree2, "PLAIN");
    const std::string snapshot = dir.file("AD.txt");
    dialogs.answers.push_back(QString::fromStdString(snapshot));
    form->BitBtnSaveTreeClick(form->BitBtnSaveTree2);
    // A snapshot of a domain controller says so where it keeps where it came from.
    std::string text = TempDir::read(snapshot);
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    const std::size_t flag = text.find("Active Directory=0");
    ASSERT_NE(flag, std::string::npos);
    text.replace(flag, 18,
                 "Subschema DN=CN=Aggregate,CN=Schema,CN=Configuration,DC=kalvix,DC=test" + eol +
                     "Active Directory=1");
    dialogs.answers.push_back(QString::fromStdString(dir.write("AD.txt", text)));
    form->BitBtnLoadTreeOfflineClick(form->BitBtnLoadTreeOffline2);
    ASSERT_TRUE(dialogs.messages.empty());

    const auto changes = saveFrom(form->ListBoxUniqueClasses1, "ad.ldif");
    std::vector<std::string> dns;
    for (const LdifChange& c : changes) dns.push_back(c.dn);
    const std::string schema = ",CN=Schema,CN=Configuration,DC=kalvix,DC=test";
    EXPECT_THAT(dns, ElementsAre("CN=usedByClass" + schema, "", "CN=extra" + schema, ""));
    EXPECT_THAT(TempDir::read(dir.file("ad.ldif")),
                HasSubstr("\n# Dialect ad: attributeSchema and classSchema objects under "
                          "CN=Schema,CN=Configuration,DC=kalvix,DC=test;"));
}

TEST_F(FixupLdif, EachPageWritesItsOwnKind) {
    choose(form->ComboBoxTree1, "RICH");
    choose(form->ComboBoxTree2, "PLAIN");

    const auto classes = saveFrom(form->ListBoxUniqueClasses1, "classes.ldif");
    ASSERT_EQ(dialogs.saveSetups.size(), 1u);
    EXPECT_EQ(dialogs.saveSetups[0].fileName, "PLAIN - Fix-up Classes.ldif");
    ASSERT_EQ(classes.size(), 1u);
    EXPECT_EQ(classes[0].dn, "cn=schema");
    std::vector<std::string> values;
    for (const LdifModification& m : classes[0].modifications) values.push_back(m.values.at(0));
    EXPECT_THAT(values, ElementsAre("( 1.9.1 NAME 'usedByClass' SUP name )",
                                    "( 1.9.3 NAME 'extra' SUP top AUXILIARY MAY usedByClass )"));

    const auto attributes = saveFrom(form->ListBoxCompareAttrResults, "attributes.ldif");
    ASSERT_EQ(attributes.size(), 1u);
    values.clear();
    for (const LdifModification& m : attributes[0].modifications) values.push_back(m.values.at(0));
    EXPECT_THAT(values, ElementsAre("( 1.9.1 NAME 'usedByClass' SUP name )",
                                    "( 1.9.2 NAME 'standalone' SUP name )"));
    EXPECT_THAT(TempDir::read(dir.file("attributes.ldif")),
                HasSubstr("# Written by Kalvix v1.02 at "));

    // A file that cannot be written says so; cancelling writes nothing.
    dialogs.answers.push_back(QString::fromStdString(dir.file("no/such/folder/x.ldif")));
    menuOn(form->ListBoxUniqueAttr1)->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text.toStdString(), HasSubstr("Cannot create file"));
    dialogs.answers.push_back(std::nullopt);
    menuOn(form->ListBoxUniqueAttr1)->trigger();
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

}  // namespace
