// Trees whose sources publish their definitions: field findings coloured by their records,
// the published text in the detail panes, the page of the other element types and the
// choice of fields left out.
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

#include "FormFixture.h"
#include "PublishedTrees.h"
#include "TempDir.h"
#include "sources/ClientFactory.h"

namespace {

const char* const kMail1 = "( 0.9.2342.19200300.100.1.3 NAME 'mail' EQUALITY caseIgnoreIA5Match )";
const char* const kCn1 = "( 2.5.4.3 NAME 'cn' X-ORIGIN 'RFC 4519' )";
const char* const kPerson2 = "( 2.5.6.6 NAME 'person' SUP top STRUCTURAL )";
const char* const kUid2 = "( 0.9.2342.19200300.100.1.1 NAME 'uid' )";
// A class named like a line prefix, the same in both trees.
const LdapElement kEvil =
    Published(ElementType::ObjectClass, "1.1.1", "Tree #2 - Evil", "( 1.1.1 NAME 'Evil' )");

LdapElement Attr(const char* oid, const char* name, const char* text) {
    return Published(ElementType::AttributeType, oid, name, text);
}

LdapElement WithOrigin(LdapElement e, const char* origin) {
    e.extensions.push_back({"X-ORIGIN", {origin}});
    return e;
}

LdapElement WithDescription(LdapElement e, const char* description) {
    e.description = description;
    return e;
}

LdapElement WithEquality(LdapElement e, const char* rule) {
    e.equality = rule;
    return e;
}

LdapElement Rule(const char* oid, const char* name, const char* syntax) {
    LdapElement e =
        Published(ElementType::MatchingRule, oid, name,
                  std::string("( ") + oid + " NAME '" + name + "' SYNTAX " + syntax + " )");
    e.syntax = syntax;
    return e;
}

// Two trees that differ in a description, an equality rule, only in X-ORIGIN for cn, and
// in their matching rules; the class named like a line prefix is identical.
PublishedTree Tree1(bool withRules) {
    PublishedTree t;
    t.attribute("cn", WithOrigin(Attr("2.5.4.3", "cn", kCn1), "RFC 4519"))
        .attribute("description",
                   WithDescription(Attr("2.5.4.13", "description",
                                        "( 2.5.4.13 NAME 'description' DESC 'Descriptive "
                                        "information' )"),
                                   "Descriptive information"))
        .attribute("mail", WithEquality(Attr("0.9.2342.19200300.100.1.3", "mail", kMail1),
                                        "caseIgnoreIA5Match"))
        .objectClass("person", Published(ElementType::ObjectClass, "2.5.6.6", "person",
                                         "( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST cn )"))
        .objectClass("Tree #2 - Evil", kEvil);
    if (withRules)
        t.other(Rule("2.5.13.5", "caseExactMatch", "1.3.6.1.4.1.1466.115.121.1.15"))
            .other(Rule("2.5.13.17", "octetStringMatch", "1.3.6.1.4.1.1466.115.121.1.40"));
    return t;
}

PublishedTree Tree2(bool withRules) {
    PublishedTree t;
    t.attribute("cn", WithOrigin(Attr("2.5.4.3", "cn", "( 2.5.4.3 NAME 'cn' X-ORIGIN 'vendor' )"),
                                 "vendor"))
        .attribute("description",
                   WithDescription(Attr("2.5.4.13", "description",
                                        "( 2.5.4.13 NAME 'description' DESC 'Free text' )"),
                                   "Free text"))
        .attribute("mail", WithEquality(Attr("0.9.2342.19200300.100.1.3", "mail",
                                             "( 0.9.2342.19200300.100.1.3 NAME 'mail' EQUALITY "
                                             "caseExactIA5Match )"),
                                        "caseExactIA5Match"))
        .attribute("uid", Attr("0.9.2342.19200300.100.1.1", "uid", kUid2))
        .objectClass("person", Published(ElementType::ObjectClass, "2.5.6.6", "person", kPerson2))
        .objectClass("Tree #2 - Evil", kEvil);
    if (withRules) t.other(Rule("2.5.13.17", "octetStringMatch", "1.3.6.1.4.1.1466.115.121.1.5"));
    return t;
}

struct Row {
    int tree;
    QString text;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.tree << " " << row.text.toStdString();
}

std::vector<Row> Rows(const ListBox* list) {
    std::vector<Row> rows;
    for (int i = 0; i < list->count(); ++i) rows.push_back({list->itemTree(i), list->itemText(i)});
    return rows;
}

// Both trees publish mail: its field alone, no record line.
const std::vector<Row> kMailFindings = {
    {1, R"(Tree #1 - Attribute Definition for "mail" has Equality: "caseIgnoreIA5Match")"},
    {2, R"(Tree #2 - Attribute Definition for "mail" has Equality: "caseExactIA5Match")"}};

class PublishedSchema : public FormFixture {
  protected:
    void load(bool withRules = false) {
        fillPublishedSlot(1, Tree1(withRules).done(), "ONE");
        fillPublishedSlot(2, Tree2(withRules).done(), "TWO");
    }
    static void select(ListBox* list, const QString& text) {
        for (int i = 0; i < list->count(); ++i)
            if (list->itemText(i) == text) {
                list->chooseRow(i);
                return;
            }
        FAIL() << "no line " << text.toStdString();
    }
    std::vector<Row> attributeRun() {
        form->BitBtnCompareAttrClick(form->BitBtnCompareAttr);
        return Rows(form->ListBoxCompareAttrResults);
    }
};

TEST_F(PublishedSchema, FindingLinesTakeTheirColourFromTheRecords) {
    makeOfflineForm();
    load();
    std::vector<Row> expected = {
        {2, R"(Tree #2 - Unique Attribute: "uid")"},
        {1,
         R"(Tree #1 - Attribute Definition for "description" has Description: "Descriptive information")"},
        {2, R"(Tree #2 - Attribute Definition for "description" has Description: "Free text")"}};
    expected.insert(expected.end(), kMailFindings.begin(), kMailFindings.end());
    EXPECT_EQ(attributeRun(), expected);
    // Each field line marks the value that differs, as the comparison found it.
    const ListBox* results = form->ListBoxCompareAttrResults;
    for (int row = 1; row < results->count(); ++row) {
        ASSERT_EQ(results->itemEmphasis(row).size(), 1u) << row;
        const TextSpan mark = results->itemEmphasis(row).at(0);
        EXPECT_EQ(mark.start + mark.length + 1, results->itemText(row).size()) << row;
    }
    EXPECT_EQ(results->itemText(3).mid(results->itemEmphasis(3).at(0).start),
              "caseIgnoreIA5Match\"");

    // The common-name detail: the same records, the same colours.
    select(form->ListBoxAttrCommon, "mail");
    EXPECT_EQ(Rows(form->ListBoxAttrDetail), kMailFindings);
    // A class named like a Tree #2 line, identical: its rendering speaks of no tree.
    select(form->ListBoxClassesCommon, "Tree #2 - Evil");
    const std::vector<Row> evil = Rows(form->ListBoxClassesDetail);
    EXPECT_TRUE(std::all_of(evil.begin(), evil.end(), [](const Row& r) { return r.tree == 0; }));
    ASSERT_GE(evil.size(), 3u);
    EXPECT_EQ(evil[0].text, "Class identical: ");
    EXPECT_EQ(evil[2].text, "Tree #2 - Evil");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PublishedSchema, DetailPanesShowPublishedFieldsAndTheirText) {
    makeOfflineForm();
    load();
    struct Case {
        ListBox* list;
        const char* name;
        ListBox* pane;
        QStringList lines;
    };
    const Case cases[] = {
        {form->ListBoxAttr1,
         "mail",
         form->ListBoxDetailTree1,
         {"mail", "", "OID", "      0.9.2342.19200300.100.1.3", "", "Names", "      mail", "",
          "Equality", "      caseIgnoreIA5Match", "", "Published definition:", kMail1}},
        {form->ListBoxClasses2,
         "person",
         form->ListBoxDetailTree2,
         {"person", "", "OID", "      2.5.6.6", "", "Names", "      person", "", "Kind",
          "      STRUCTURAL", "", "Published definition:", kPerson2}},
        {form->ListBoxUniqueAttr2,
         "uid",
         form->ListBoxAttrDetail,
         {"uid", "", "OID", "      0.9.2342.19200300.100.1.1", "", "Names", "      uid", "",
          "Published definition:", kUid2}},
        // Identical but for X-ORIGIN, which is left out: Tree #1's definition.
        {form->ListBoxAttrCommon,
         "cn",
         form->ListBoxAttrDetail,
         {"Attribute identical: ", "", "cn", "", "OID", "      2.5.4.3", "", "Names", "      cn",
          "", "X-ORIGIN", "      RFC 4519", "", "Published definition:", kCn1}},
    };
    for (const Case& c : cases) {
        select(c.list, c.name);
        EXPECT_EQ(texts(c.pane), c.lines) << c.name;
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PublishedSchema, OtherElementsHaveAPageWhenBothTreesPublishThem) {
    makeOfflineForm();
    load(false);
    EXPECT_TRUE(form->isTabShown(form->TabSheetCompareAttributes));
    EXPECT_FALSE(form->isTabShown(form->TabSheetCompareOther));

    load(true);
    ASSERT_TRUE(form->isTabShown(form->TabSheetCompareOther));
    // Beside the two comparison pages, the tab bar still fits the window as designed.
    form->show();
    form->PageControl->setCurrentWidget(form->TabSheetCompareOther);
    EXPECT_FALSE(form->PageControl->tabBar()->findChild<QToolButton*>()->isVisible());
    form->BitBtnCompareOtherClick(form->BitBtnCompareOther);
    EXPECT_EQ(
        Rows(form->ListBoxCompareOtherResults),
        (std::vector<Row>{
            {1, R"(Tree #1 - Unique Matching Rule: "caseExactMatch")"},
            {1,
             R"x(Tree #1 - Matching Rule Definition for "octetStringMatch" has Syntax: "1.3.6.1.4.1.1466.115.121.1.40 (Octet String)")x"},
            {2,
             R"x(Tree #2 - Matching Rule Definition for "octetStringMatch" has Syntax: "1.3.6.1.4.1.1466.115.121.1.5 (Binary)")x"}}));
    EXPECT_TRUE(dialogs.messages.empty());

    // Saved as the other results lists are: the lines, CR LF after each.
    TempDir dir;
    const std::string path = dir.file("rules.txt");
    dialogs.answers.push_back(QString::fromStdString(path));
    form->PopupComponent = form->ListBoxCompareOtherResults;
    form->PopupSaveAsClick(form->PopupSaveAs);
    const std::string saved = TempDir::read(path);
    EXPECT_EQ(saved.substr(0, 52), "Tree #1 - Unique Matching Rule: \"caseExactMatch\"\r\nTr");
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 3);

    // One tree without them: one line says so, not one per rule.
    fillPublishedSlot(2, Tree2(false).done(), "TWO");
    ASSERT_TRUE(form->isTabShown(form->TabSheetCompareOther));
    form->BitBtnCompareOtherClick(form->BitBtnCompareOther);
    EXPECT_EQ(
        Rows(form->ListBoxCompareOtherResults),
        (std::vector<Row>{{2, "Tree #2 - Publishes no Matching Rules; Tree #1 publishes 2"}}));
    // A tree that publishes nothing: the page goes away.
    fillPublishedSlot(1, Tree1(false).done(), "ONE");
    EXPECT_FALSE(form->isTabShown(form->TabSheetCompareOther));
}

// The demo's simulated trees publish nothing: the window looks as it always did.
TEST_F(PublishedSchema, TheDemoShowsNeitherThePageNorTheFieldsChoice) {
    makeForm(CreateClientFromConfig(KALVIX_SOURCE_DIR "/data/demo/kalvix-client.json"));
    ASSERT_GE(form->ReachableTrees().size(), 2u);
    ASSERT_TRUE(form->OpenTreeByName(1, QString::fromStdString(form->ReachableTrees()[0])));
    ASSERT_TRUE(form->OpenTreeByName(2, QString::fromStdString(form->ReachableTrees()[1])));
    QStringList shown;
    for (int i = 0; i < form->PageControl->count(); ++i)
        if (form->PageControl->isTabVisible(i)) shown << form->PageControl->tabText(i);
    EXPECT_EQ(shown, QStringList({"&Info", "Select &Trees", "Schema Tree #1", "Schema Tree #2",
                                  "Compare &Classes", "Compare &Attributes"}));
    for (std::size_t i = 0; i < form->BitBtnFields.size(); ++i) {
        EXPECT_TRUE(form->BitBtnFields[i]->isHidden());
        EXPECT_TRUE(form->LabelFields[i]->isHidden());
    }
}

TEST_F(PublishedSchema, FieldsChoiceAppliesAndOutlivesARestart) {
    makeOfflineForm();
    load();
    EXPECT_FALSE(form->BitBtnFields[1]->isHidden());
    EXPECT_EQ(form->LabelFields[1]->text(), "Leaving out: X-ORIGIN, X-SCHEMA-FILE");

    // A misspelt field: named, and the typed list offered again for mending.
    dialogs.answers = {QString("descriptoin, X-ORIGIN"), QString("description ,x-origin")};
    form->BitBtnFieldsClick(form->BitBtnFields[1]);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Unknown field: \"descriptoin\"");
    EXPECT_EQ(dialogs.offeredTexts,
              (std::vector<QString>{"X-ORIGIN, X-SCHEMA-FILE", "descriptoin, X-ORIGIN"}));
    // A list adds to the defaults.
    for (QLabel* label : form->LabelFields)
        EXPECT_EQ(label->text(), "Leaving out: Description, X-ORIGIN, X-SCHEMA-FILE");
    // The description pair is gone.
    const std::vector<Row> rows = attributeRun();
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(std::vector<Row>(rows.begin() + 1, rows.end()), kMailFindings);
    // Another choice: the results found with the last say so, until a run with this one.
    dialogs.answers = {QString("none")};
    form->BitBtnFieldsClick(form->BitBtnFields[1]);
    EXPECT_EQ(form->LabelFields[1]->text(),
              "Leaving out: nothing - the results below left out Description, X-ORIGIN, "
              "X-SCHEMA-FILE; press Start to compare again");
    EXPECT_EQ(form->LabelFields[0]->text(), "Leaving out: nothing");
    dialogs.answers = {QString("DESC")};
    form->BitBtnFieldsClick(form->BitBtnFields[1]);
    EXPECT_EQ(form->LabelFields[1]->text(), "Leaving out: Description, X-ORIGIN, X-SCHEMA-FILE");

    // A cancel changes nothing.
    dialogs.messages.clear();
    form->BitBtnFieldsClick(form->BitBtnFields[0]);
    EXPECT_TRUE(form->workspace().Fields.ignores("Description"));

    makeForm(CreateUnavailableClient(""), true);
    EXPECT_TRUE(form->workspace().Fields.ignores("description"));
    EXPECT_TRUE(form->workspace().Fields.ignores("X-ORIGIN"));
    EXPECT_TRUE(form->workspace().Fields.ignores("X-SCHEMA-FILE"));
    EXPECT_FALSE(form->workspace().Fields.ignores("Equality"));
    EXPECT_EQ(form->LabelFields[2]->text(), "Leaving out: Description, X-ORIGIN, X-SCHEMA-FILE");
}

TEST_F(PublishedSchema, AStoredFieldsValueIsReadBackOrFallsBackToTheDefault) {
    struct Case {
        const char* stored;
        std::vector<const char*> ignored;
        std::vector<const char*> compared;
    };
    const Case cases[] = {
        {"none", {}, {"X-ORIGIN", "X-SCHEMA-FILE", "Description"}},
        {"extensions, Equality", {"X-ORIGIN", "X-VENDOR", "Equality"}, {"Description"}},
        {"Equality, no such field", {"X-ORIGIN", "X-SCHEMA-FILE"}, {"Equality"}},
        {"", {"X-ORIGIN", "X-SCHEMA-FILE"}, {"Description"}},
    };
    for (const Case& c : cases) {
        makeOfflineForm();
        form->Settings()->WriteString("Comparison", "Leave Out Fields", c.stored);
        makeForm(CreateUnavailableClient(""), true);
        for (const char* label : c.ignored)
            EXPECT_TRUE(form->workspace().Fields.ignores(label)) << c.stored << ": " << label;
        for (const char* label : c.compared)
            EXPECT_FALSE(form->workspace().Fields.ignores(label)) << c.stored << ": " << label;
    }
    // Compared in full, X-ORIGIN shows.
    makeOfflineForm();
    form->Settings()->WriteString("Comparison", "Leave Out Fields", "none");
    makeForm(CreateUnavailableClient(""), true);
    load();
    const std::vector<Row> rows = attributeRun();
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[1],
              (Row{1, R"(Tree #1 - Attribute Definition for "cn" has X-ORIGIN: "RFC 4519")"}));
    EXPECT_EQ(rows[2],
              (Row{2, R"(Tree #2 - Attribute Definition for "cn" has X-ORIGIN: "vendor")"}));
}

}  // namespace
