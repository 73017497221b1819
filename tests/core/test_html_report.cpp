// The HTML report built from findings in hand: escaping of any bytes, and the grouping of
// findings into one table a class or attribute.
#include <gtest/gtest.h>

#include "Definitions.h"
#include "HtmlDoc.h"
#include "HtmlReport.h"

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
    classes.findings = {
        Make(FindingType::ClassFlags, "A", 0, 0, "Effective\\Ambiguous Naming", ""),
        Make(FindingType::ClassItem, "A", 1, ikMandatoryAttribute, "CN"),
        Make(FindingType::ClassItem, "A", 2, ikMandatoryAttribute, "SN"),
        Make(FindingType::ClassItem, "A", 2, ikMandatoryAttribute, ""),
        Make(FindingType::ClassItem, "B", 1, ikSuperClass, "Top"),
    };
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

}  // namespace
