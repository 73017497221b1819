// The HTML report built from findings in hand: escaping of any bytes, the grouping of
// findings into one table a class or attribute, and the parts published definitions add.
#include <gtest/gtest.h>

#include "HtmlDoc.h"
#include "core/compare/Compare.h"
#include "core/model/Definitions.h"
#include "core/model/LdapElement.h"
#include "core/writers/HtmlReport.h"

namespace {

TEST(HtmlText, EscapesMarkupAndShowsControlsByNumber) {
    struct Case {
        std::string bytes, html;
    };
    const std::vector<Case> cases = {
        {"plain Name 1", "plain Name 1"},
        {"a\"b'c<d>e&f", "a&quot;b&#39;c&lt;d&gt;e&amp;f"},
        {"&amp;", "&amp;amp;"},
        {"\xC3\xA4rger", "\xC3\xA4rger"},  // valid UTF-8 stays
        {"M\xDCNCHEN", "M\xC3\x9CNCHEN"},  // not UTF-8: one byte a character
        {"\xE2\x82", "\xC3\xA2<span class=\"ctl\">U+0082</span>"},  // cut character
        {"a\tb\x7F", "a<span class=\"ctl\">U+0009</span>b<span class=\"ctl\">U+007F</span>"},
        {std::string("x\0y", 3), "x<span class=\"ctl\">U+0000</span>y"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // outside the BMP
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(HtmlText(c.bytes), c.html) << c.bytes;
}

Finding Make(FindingType type, const std::string& name, int tree, int kind, std::string t1,
             std::string t2 = {}) {
    Finding f;
    f.type = type;
    f.name = name;
    f.tree = tree;
    f.kind = kind;
    f.text1 = std::move(t1);
    f.text2 = std::move(t2);
    return f;
}

TEST(HtmlReport, OneTableAClassOneRowAKind) {
    ReportInput in;
    in.trees[0] = {"ONE", "/srv/one.txt"};
    in.trees[1] = {"TWO", "live, LDAP ldap://x/"};
    in.madeAt = "2026-01-01 00:00:00 UTC";
    in.program = "Kalvix test";
    ReportPart classes;
    classes.names.common = {{"A", 0}, {"B", 0}};
    classes.names.common2 = {{"a", 0}, {"B", 0}};
    // The flags pair as the comparison finds it, with the words it marks.
    TClassInfo flags1;
    TClassInfo flags2;
    flags1.Flags = "Effective\\Ambiguous Naming";
    CompareClassInfos("A", flags1, flags2, classes.findings);
    classes.findings.insert(classes.findings.end(),
                            {
                                Make(FindingType::ClassItem, "A", 1, ikMandatoryAttribute, "CN"),
                                Make(FindingType::ClassItem, "A", 2, ikMandatoryAttribute, "SN"),
                                Make(FindingType::ClassItem, "A", 2, ikMandatoryAttribute, ""),
                                Make(FindingType::ClassItem, "B", 1, ikSuperClass, "Top"),
                            });
    in.classes = classes;
    const HtmlDoc doc(HtmlReport(in));
    ASSERT_EQ(doc.error(), "");
    const std::vector<int> tables = doc.find(doc.byId("classes-different"), "table");
    ASSERT_EQ(tables.size(), 2u);
    const std::vector<int> rowsA = doc.find(tables[0], "tr", "kind-row");
    ASSERT_EQ(rowsA.size(), 2u);
    EXPECT_EQ(doc.at(doc.find(rowsA[0], "th")[0]).text, "Flags");
    EXPECT_EQ(doc.find(rowsA[0], "div", "item").size(), 2u);  // the empty flags text too
    // The flag word the other tree lacks is marked whole, blanks and all.
    const std::vector<int> marks = doc.find(rowsA[0], "mark");
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(doc.at(marks[0]).text, "Effective");
    EXPECT_EQ(doc.at(marks[1]).text, "Ambiguous Naming");
    EXPECT_EQ(doc.at(doc.find(rowsA[1], "th")[0]).text, "Mandatory Attribute");
    EXPECT_EQ(doc.find(doc.find(rowsA[1], "td", "t1")[0], "div", "item").size(), 1u);
    EXPECT_EQ(doc.find(doc.find(rowsA[1], "td", "t2")[0], "div", "item").size(), 2u);
    EXPECT_EQ(doc.find(tables[1], "tr", "kind-row").size(), 1u);
    // Tree #2's other spelling of a common name is shown beside it.
    const std::vector<int> common = doc.find(doc.byId("classes-common"), "li");
    ASSERT_EQ(common.size(), 2u);
    EXPECT_EQ(doc.at(common[0]).text, "A (Tree #2: a)");
    EXPECT_EQ(doc.at(common[1]).text, "B");
    EXPECT_EQ(doc.byId("attributes"), -1);  // a part not asked for is not there
    EXPECT_EQ(doc.at(doc.find(doc.byId("tree2"), "td", "source")[0]).text, "live, LDAP ldap://x/");
}

// What a tree's source left out is listed under that tree, each with its file and line;
// a report of trees that left nothing out has no such part.
TEST(HtmlReport, DefinitionsLeftOutAreListedByFileAndLine) {
    TTreeInfo slot;
    slot.TreeName = "FILES";
    slot.Online = 1;
    auto schema = std::make_shared<TreeSchema>();
    schema->skipped = {
        {"attribute type", "( 1.2 NAME 'x' BOGUS )", "unexpected token", "core.schema:212"},
        {"object class", "( 1.3 NAME 'y' )", "a second definition named \"y\""}};
    slot.Schema = schema;
    ReportInput in;
    in.trees[1] = ReportTreeOf(slot, "schema files");
    in.trees[0] = {"ONE", "/srv/one.txt"};
    const HtmlDoc doc(HtmlReport(in));
    ASSERT_EQ(doc.error(), "");
    ASSERT_NE(doc.byId("left-out"), -1);
    const std::vector<int> lists = doc.find(doc.root(), "ul", "left-out");
    ASSERT_EQ(lists.size(), 1u);  // Tree #1 left nothing out
    const std::vector<int> items = doc.find(lists[0], "code");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(doc.at(items[0]).text, "core.schema:212: ( 1.2 NAME 'x' BOGUS ): unexpected token");
    EXPECT_EQ(doc.at(items[1]).text, "( 1.3 NAME 'y' ): a second definition named \"y\"");

    in.trees[1].leftOut.clear();
    EXPECT_EQ(HtmlDoc(HtmlReport(in)).byId("left-out"), -1);
}

Finding Field(ElementType type, const std::string& name, const std::string& label,
              std::string value1, std::string value2) {
    Finding f = Make(FindingType::Field, name, 0, static_cast<int>(type), std::move(value1),
                     std::move(value2));
    f.label = label;
    // An empty value stands for a field the tree lacks.
    f.none1 = f.text1.empty();
    f.none2 = f.text2.empty();
    return f;
}

// The text of each cell of a row (th and td alike), in order.
std::vector<std::string> Cells(const HtmlDoc& doc, int row) {
    std::vector<std::string> cells;
    for (int child : doc.at(row).children) cells.push_back(doc.at(child).text);
    return cells;
}

std::string Count(const HtmlDoc& doc, const std::string& part, const std::string& cls) {
    const std::vector<int> cells = doc.find(doc.byId("summary-" + part), "td", cls);
    return cells.size() == 1 ? doc.at(cells[0]).text : "(" + std::to_string(cells.size()) + ")";
}

TEST(HtmlReport, PublishedDefinitionsAddFieldRowsSameOidsAndElements) {
    constexpr ElementType kClass = ElementType::ObjectClass;
    constexpr ElementType kAttr = ElementType::AttributeType;
    constexpr ElementType kRule = ElementType::MatchingRule;
    ReportInput in;
    in.trees[0] = {"ONE", "live, LDAP ldap://one/"};
    in.trees[1] = {"TWO", "live, LDAP ldap://two/"};
    ReportPart classes;
    classes.names.unique1 = {{"oldPerson", 0}};
    classes.names.unique2 = {{"newPerson", 0}};
    classes.names.common = classes.names.common2 = {{"account", 0}, {"person", 0}};
    Finding sameOid = Make(FindingType::SameOid, "oldPerson", 1, static_cast<int>(kClass),
                           "newPerson", "1.3.6.1.4.1.55555.2.9");
    classes.findings = {
        Make(FindingType::UniqueClass, "oldPerson", 1, 0, ""),
        Make(FindingType::UniqueClass, "newPerson", 2, 0, ""),
        sameOid,
        Make(FindingType::ClassItem, "account", 1, ikMandatoryAttribute, "uid"),
        Field(kClass, "account", "Description", "A login", "An account"),
        // Field findings alone make a class defined otherwise.
        Field(kClass, "person", "Obsolete", "TRUE", "FALSE"),
    };
    ReportPart attrs;
    attrs.names.common = attrs.names.common2 = {{"description", 0}, {"mail", 0}};
    attrs.findings = {
        Make(FindingType::AttrDefinition, "description", 0, 0, "CI_STRING", "PR_STRING"),
        Field(kAttr, "description", "Syntax", "1.3.6.1.4.1.1466.115.121.1.15",
              "1.3.6.1.4.1.1466.115.121.1.44"),
        Field(kAttr, "mail", "Equality", "caseIgnoreIA5Match", "caseExactIA5Match"),
        Field(kAttr, "mail", "X-ORIGIN", "RFC 4524", ""),
    };
    ReportElements elements;
    elements.findings = {
        Make(FindingType::UniqueElement, "caseExactMatch", 1, static_cast<int>(kRule), ""),
        Make(FindingType::UniqueElement, "1.3.6.1.4.1.55555.3.1", 2,
             static_cast<int>(ElementType::LdapSyntax), ""),
        Field(kRule, "badgeMatch", "Syntax", "1.3.6.1.4.1.1466.115.121.1.15",
              "1.3.6.1.4.1.1466.115.121.1.26"),
    };
    elements.common = {{static_cast<int>(kRule), "badgeMatch"},
                       {static_cast<int>(kRule), "caseIgnoreMatch"}};

    // Without published definitions the report has none of their parts.
    in.classes = classes;
    in.attributes = attrs;
    const HtmlDoc plain(HtmlReport(in));
    ASSERT_EQ(plain.error(), "");
    for (const char* id :
         {"left-out", "classes-same-oid", "attributes-same-oid", "elements", "summary-elements"})
        EXPECT_EQ(plain.byId(id), -1) << id;

    in.fieldsLeftOut = std::vector<std::string>{"Description", "X-ORIGIN"};
    in.elements = elements;
    const std::string html = HtmlReport(in);
    const HtmlDoc doc(html);
    ASSERT_EQ(doc.error(), "") << html;
    for (int a : doc.find(doc.root(), "a"))
        EXPECT_GE(doc.byId(doc.at(a).attrs.at("href").substr(1)), 0) << doc.at(a).attrs.at("href");
    EXPECT_EQ(doc.at(doc.byId("left-out")).text,
              "Fields of the published definitions left out of the comparison: Description, "
              "X-ORIGIN.");

    // One table a class, its field rows after the item rows; the same-OID line apart.
    EXPECT_EQ(Count(doc, "classes", "different"), "2");
    const std::vector<int> classTables = doc.find(doc.byId("classes-different"), "table");
    ASSERT_EQ(classTables.size(), 2u);
    const std::vector<int> accountRows = doc.find(classTables[0], "tr");
    ASSERT_EQ(accountRows.size(), 3u);
    EXPECT_EQ(Cells(doc, accountRows[1]),
              (std::vector<std::string>{"Mandatory Attribute", "uid", "-"}));
    EXPECT_TRUE(doc.at(accountRows[2]).hasClass("field-row"));
    EXPECT_EQ(Cells(doc, accountRows[2]),
              (std::vector<std::string>{"Description", "A login", "An account"}));
    const std::vector<int> personRows = doc.find(classTables[1], "tr", "field-row");
    ASSERT_EQ(personRows.size(), 1u);
    EXPECT_EQ(Cells(doc, personRows[0]), (std::vector<std::string>{"Obsolete", "TRUE", "FALSE"}));
    std::vector<std::string> sameLines;
    AppendFindingLines(sameOid, sameLines);
    const std::vector<int> same = doc.find(doc.byId("classes-same-oid"), "li");
    ASSERT_EQ(same.size(), 1u);
    EXPECT_EQ(doc.at(same[0]).text, sameLines[0]);
    EXPECT_EQ(doc.find(doc.byId("attributes-same-oid"), "p", "none").size(), 1u);

    // Attributes: the definition pair spans both value columns above the field rows; an
    // attribute with field findings only has its table too.
    EXPECT_EQ(Count(doc, "attributes", "different"), "2");
    const std::vector<int> attrTables = doc.find(doc.byId("attributes-different"), "table");
    ASSERT_EQ(attrTables.size(), 2u);
    const std::vector<int> defs = doc.find(attrTables[0], "td", "def");
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(doc.at(defs[0]).attrs.at("colspan"), "2");
    std::vector<std::vector<std::string>> fieldRows;
    for (int table : attrTables)
        for (int row : doc.find(table, "tr", "field-row")) fieldRows.push_back(Cells(doc, row));
    EXPECT_EQ(fieldRows,
              (std::vector<std::vector<std::string>>{
                  {"Syntax", "1.3.6.1.4.1.1466.115.121.1.15", "1.3.6.1.4.1.1466.115.121.1.44"},
                  {"Equality", "caseIgnoreIA5Match", "caseExactIA5Match"},
                  {"X-ORIGIN", "RFC 4524", "(none)"}}));
    EXPECT_EQ(doc.find(attrTables[1], "td", "def").size(), 0u);

    // The other element types: their summary row and section.
    EXPECT_EQ(Count(doc, "elements", "unique1"), "1");
    EXPECT_EQ(Count(doc, "elements", "common"), "2");
    EXPECT_EQ(Count(doc, "elements", "unique2"), "1");
    EXPECT_EQ(Count(doc, "elements", "different"), "1");
    const std::vector<int> unique1 = doc.find(doc.byId("elements-unique1"), "li");
    ASSERT_EQ(unique1.size(), 1u);
    EXPECT_EQ(doc.at(unique1[0]).text, "Matching Rule caseExactMatch");
    const std::vector<int> unique2 = doc.find(doc.byId("elements-unique2"), "li");
    ASSERT_EQ(unique2.size(), 1u);
    EXPECT_EQ(doc.at(unique2[0]).text, "Syntax 1.3.6.1.4.1.55555.3.1");
    const std::vector<int> ruleTables = doc.find(doc.byId("elements-different"), "table");
    ASSERT_EQ(ruleTables.size(), 1u);
    EXPECT_EQ(doc.at(doc.find(ruleTables[0], "caption")[0]).text, "Matching Rule badgeMatch");
    const std::vector<int> ruleRows = doc.find(ruleTables[0], "tr", "field-row");
    ASSERT_EQ(ruleRows.size(), 1u);
    EXPECT_EQ(Cells(doc, ruleRows[0]),
              (std::vector<std::string>{"Syntax", "1.3.6.1.4.1.1466.115.121.1.15",
                                        "1.3.6.1.4.1.1466.115.121.1.26"}));
    EXPECT_EQ(doc.find(doc.byId("elements-common"), "li").size(), 2u);

    in.fieldsLeftOut->clear();
    const HtmlDoc everything(HtmlReport(in));
    EXPECT_EQ(everything.at(everything.byId("left-out")).text,
              "Every field of the published definitions was compared.");
}

}  // namespace
