// Which tree each finding line speaks of and the definition words a pair differs in, taken
// from the finding records: a line's text is never read back.
#include <gtest/gtest.h>

#include <QStringList>

#include "core/Names.h"
#include "core/compare/Compare.h"
#include "core/compare/ElementFields.h"
#include "core/model/LdapElement.h"
#include "gui/LineMarks.h"

namespace {

struct Expected {
    int tree;
    QStringList emphasised;
};

struct Case {
    const char* what;
    Finding finding;
    std::vector<Expected> lines;
};

Finding Make(FindingType type, int tree, std::string name, std::string text1 = {},
             std::string text2 = {}, int kind = 0, std::string label = {}) {
    Finding f;
    f.type = type;
    f.tree = tree;
    f.name = std::move(name);
    f.text1 = std::move(text1);
    f.text2 = std::move(text2);
    f.kind = kind;
    f.label = std::move(label);
    return f;
}

// A pair of definitions as the comparison finds it, with the marks it computes.
Finding Defs(std::string name, std::string def1, std::string def2) {
    Findings found;
    if (CompareAttrDefs(name, def1, def2, found))
        return Make(FindingType::AttrDefinition, 0, std::move(name), def1, def2);
    return found.front();
}

// Two published attribute types compared field by field: the first finding.
Finding Fields(const std::string& text1, const std::string& text2) {
    PublishedElements none;
    none.index();
    const ElementParse a = ParseLdapElement(ElementType::AttributeType, text1);
    const ElementParse b = ParseLdapElement(ElementType::AttributeType, text2);
    Findings found;
    if (a.element && b.element)
        CompareElements("a", *a.element, none, *b.element, none, FieldFilter(), found);
    return found.empty() ? Finding() : found.front();
}

constexpr int kAttrType = static_cast<int>(ElementType::AttributeType);
constexpr int kMatchingRule = static_cast<int>(ElementType::MatchingRule);

TEST(LineMarks, EachFindingLineCarriesItsTreeAndItsDifferingWords) {
    const Case cases[] = {
        // Names that read like another tree's line prefix fool nothing.
        {"unique class",
         Make(FindingType::UniqueClass, 2, "Tree #1 - Unique Class: \"x\""),
         {{2, {}}}},
        {"unique attribute", Make(FindingType::UniqueAttribute, 1, "Tree #2 - "), {{1, {}}}},
        {"flags pair",
         Make(FindingType::ClassFlags, 0, "Tree #2 - Top", "Effective", "Effective\\Container"),
         {{1, {}}, {2, {}}}},
        {"class item", Make(FindingType::ClassItem, 2, "Person", "Title", {}, 4), {{2, {}}}},
        {"syntax and flags",
         Defs("Employee Number", "CI_STRING [SglVal\\Sized (1-16)\\NonRem\\String]",
              "INTEGER [SglVal\\NonRem]"),
         {{1, {"CI_STRING", "Sized (1-16)", "String"}}, {2, {"INTEGER"}}}},
        {"only a bound differs: the whole flag",
         Defs("CN", "CI_STRING [Sized (1-64)\\NonRem]",
              "CI_STRING [Sized (1-128)\\NonRem\\PublRd]"),
         {{1, {"Sized (1-64)"}}, {2, {"Sized (1-128)", "PublRd"}}}},
        {"a name holding the separator, a definition without its bracket",
         Defs("a\": \"[x]", "CI_STRING [NonRem\\Sized", "CI_STRING [NonRem"),
         {{1, {"Sized"}}, {2, {}}}},
        {"a definition holding the separator",
         Defs("b", "X [A\": \"B]", "X [C]"),
         {{1, {"A\": \"B"}}, {2, {"C"}}}},
        {"UTF-8 name: spans count characters",
         Defs("Gr\xC3\xB6\xC3\x9F"
              "e \xE2\x82\xAC",
              "CI_STRING", "INTEGER"),
         {{1, {"CI_STRING"}}, {2, {"INTEGER"}}}},
        {"a name that is no UTF-8: one character a byte",
         Defs("\xE9t\xE9", "CI_STRING [Sized]", "CI_STRING"),
         {{1, {"Sized"}}, {2, {}}}},
        {"empty definitions", Defs("e", "", ""), {{1, {}}, {2, {}}}},
        {"field pair",
         Make(FindingType::Field, 0, "mail", "caseIgnoreIA5Match", "caseExactIA5Match", kAttrType,
              "Equality"),
         {{1, {}}, {2, {}}}},
        {"a bound alone: only the bound",
         Fields("( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32} )",
                "( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} )"),
         {{1, {"{32}"}}, {2, {"{64}"}}}},
        {"another syntax: its OID and description, a side without one unmarked",
         Fields("( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.44 )", "( 1.2 NAME 'a' )"),
         {{1, {"1.3.6.1.4.1.1466.115.121.1.44", "(Printable String)"}}, {2, {}}}},
        {"same OID",
         Make(FindingType::SameOid, 1, "userid", "uid", "0.9.2342.19200300.100.1.1", kAttrType),
         {{1, {}}}},
        {"unique element",
         Make(FindingType::UniqueElement, 2, "caseExactMatch", {}, {}, kMatchingRule),
         {{2, {}}}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> rendered;
        AppendFindingLines(c.finding, rendered);
        const std::vector<MarkedLine> marked = MarkedFindingLines(c.finding);
        ASSERT_EQ(marked.size(), c.lines.size()) << c.what;
        ASSERT_EQ(rendered.size(), c.lines.size()) << c.what;
        for (std::size_t i = 0; i < marked.size(); ++i) {
            // The lines stay the core's, byte for byte.
            EXPECT_EQ(marked[i].bytes, rendered[i]) << c.what;
            EXPECT_EQ(marked[i].tree, c.lines[i].tree) << c.what << ", line " << i;
            const QString shown = DecodeName(marked[i].bytes);
            QStringList words;
            for (const TextSpan& s : marked[i].emphasis) {
                ASSERT_GE(s.start, 0) << c.what;
                ASSERT_LE(s.start + s.length, shown.size()) << c.what;
                words << shown.mid(s.start, s.length);
            }
            EXPECT_EQ(words, c.lines[i].emphasised) << c.what << ", line " << i;
        }
    }
}

}  // namespace
