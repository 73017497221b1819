#include <gtest/gtest.h>

#include "core/compare/ElementFields.h"

namespace {

// Each tree publishes a little context: the name type, a local matching rule, a syntax.
PublishedElements Tree(const std::vector<std::pair<ElementType, std::string>>& texts) {
    PublishedElements tree;
    for (const auto& [type, text] : texts) {
        ElementParse parsed = ParseLdapElement(type, text);
        EXPECT_TRUE(parsed.element) << text << ": " << parsed.error;
        if (parsed.element) tree.of(type).push_back(*parsed.element);
    }
    tree.index();
    return tree;
}

const PublishedElements& Context1() {
    static const PublishedElements tree = Tree({
        {ElementType::AttributeType,
         "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
        {ElementType::MatchingRule,
         "( 1.3.6.1.4.1.99.1 NAME 'acmeMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
        {ElementType::MatchingRule,
         "( 1.3.6.1.4.1.99.8 NAME 'badgeMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
    });
    return tree;
}

const PublishedElements& Context2() {
    static const PublishedElements tree = Tree({
        {ElementType::AttributeType,
         "( 2.5.4.41 NAME 'NAME' EQUALITY 2.5.13.2 SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
        {ElementType::MatchingRule,
         "( 1.3.6.1.4.1.99.1 NAME 'acmeMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
        {ElementType::MatchingRule,
         "( 1.3.6.1.4.1.99.9 NAME 'badgeMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
        {ElementType::LdapSyntax, "( 1.3.6.1.4.1.99.2 DESC 'Acme Badge' )"},
    });
    return tree;
}

struct Case {
    const char* what;
    ElementType type;
    const char* tree1;
    const char* tree2;
    // The differences as "Label: value1 | value2", in order; none for an equal pair.
    std::vector<std::string> expected;
};

// A pair as "Label: value1 | value2" (values as the lines show them), a list item one tree
// lacks as "Label N: item".
std::vector<std::string> Describe(const Findings& findings) {
    std::vector<std::string> out;
    for (const Finding& f : findings)
        out.push_back(f.type == FindingType::FieldItem
                          ? f.label + " " + std::to_string(f.tree) + ": " + f.text1
                          : f.label + ": " + FieldValueText(f, 1) + " | " + FieldValueText(f, 2));
    return out;
}

Findings Compare(const LdapElement& a, const PublishedElements& inA, const LdapElement& b,
                 const PublishedElements& inB, const FieldFilter& filter = {}) {
    Findings out;
    CompareElements("x", a, inA, b, inB, filter, out);
    return out;
}

constexpr ElementType kAttr = ElementType::AttributeType;
constexpr ElementType kClass = ElementType::ObjectClass;

const Case kCases[] = {
    {"equality rule",
     kAttr,
     "( 0.9.2342.19200300.100.1.3 NAME 'mail' EQUALITY caseIgnoreIA5Match SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.26{256} )",
     "( 0.9.2342.19200300.100.1.3 NAME 'mail' EQUALITY caseExactIA5Match SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.26{256} )",
     {"Equality: caseIgnoreIA5Match | caseExactIA5Match"}},
    {"oid",
     kAttr,
     "( 0.9.2342.19200300.100.1.1 NAME 'uid' )",
     "( 1.2.3.4 NAME 'uid' )",
     {"OID: 0.9.2342.19200300.100.1.1 | 1.2.3.4"}},
    {"substring rule removed",
     kAttr,
     "( 2.5.4.20 NAME 'telephoneNumber' SUBSTR telephoneNumberSubstringsMatch )",
     "( 2.5.4.20 NAME 'telephoneNumber' )",
     {"Substring: telephoneNumberSubstringsMatch | (none)"}},
    {"syntax",
     kAttr,
     "( 2.5.4.13 NAME 'description' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
     "( 2.5.4.13 NAME 'description' SYNTAX 1.3.6.1.4.1.1466.115.121.1.11 )",
     {"Syntax: 1.3.6.1.4.1.1466.115.121.1.15 (Directory String) | "
      "1.3.6.1.4.1.1466.115.121.1.11 (Country String)"}},
    {"syntax length",
     kAttr,
     "( 1.2.3 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32} )",
     "( 1.2.3 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} )",
     {"Syntax: 1.3.6.1.4.1.1466.115.121.1.15{32} (Directory String) | "
      "1.3.6.1.4.1.1466.115.121.1.15{64} (Directory String)"}},
    {"alias removed",
     kAttr,
     "( 0.9.2342.19200300.100.1.1 NAME ( 'uid' 'userid' ) )",
     "( 0.9.2342.19200300.100.1.1 NAME 'uid' )",
     {"Names 1: userid"}},
    {"every flag and text field",
     kAttr,
     "( 1.2.3 NAME 'a' DESC 'one' OBSOLETE SUP name ORDERING caseIgnoreOrderingMatch "
     "SINGLE-VALUE COLLECTIVE NO-USER-MODIFICATION USAGE directoryOperation X-ACME 'x' )",
     "( 1.2.3 NAME 'a' DESC 'two' ORDERING caseExactOrderingMatch X-ACME 'y' )",
     {"Description: one | two", "Obsolete: TRUE | FALSE", "Super Type: name | (none)",
      // The super type gives Tree #1 its equality rule and syntax.
      "Equality: caseIgnoreMatch (from name) | (none)",
      "Ordering: caseIgnoreOrderingMatch | caseExactOrderingMatch",
      "Syntax: 1.3.6.1.4.1.1466.115.121.1.15 (Directory String) (from name) | (none)",
      "Single Value: TRUE | FALSE", "Collective: TRUE | FALSE",
      "No User Modification: TRUE | FALSE", "Usage: directoryOperation | userApplications",
      "X-ACME: x | y"}},
    {"an extension present without value differs from none",
     kAttr,
     "( 1.2.3 NAME 'a' X-ACME ( ) )",
     "( 1.2.3 NAME 'a' )",
     {"X-ACME:  | (none)"}},
    {"origin is noise",
     kAttr,
     "( 1.2.3 NAME 'a' X-ORIGIN 'RFC 4519' X-SCHEMA-FILE '00core.ldif' )",
     "( 1.2.3 NAME 'a' X-ORIGIN 'user defined' )",
     {}},
    {"spelling is not meaning",
     kAttr,
     "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name EQUALITY caseIgnoreMatch "
     "SUBSTR 2.5.13.4 SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{032768} USAGE userApplications )",
     "( 2.5.4.3 name ( 'COMMONNAME' 'CN' ) sup 2.5.4.41 equality 2.5.13.2 "
     "substr caseIgnoreSubstringsMatch syntax 1.3.6.1.4.1.1466.115.121.1.15{32768} )",
     {}},
    {"a tree's own rule by OID and by name",
     kAttr,
     "( 1.2.3 NAME 'a' EQUALITY acmeMatch )",
     "( 1.2.3 NAME 'a' EQUALITY 1.3.6.1.4.1.99.1 )",
     {}},
    {"a syntax by its description",
     kAttr,
     "( 1.2.3 NAME 'a' SYNTAX 1.3.6.1.4.1.99.2 )",
     "( 1.2.3 NAME 'a' SYNTAX 'Acme Badge' )",
     {}},
    {"class: lists item by item, references by meaning",
     kClass,
     "( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST ( sn $ cn ) MAY ( description $ name ) )",
     "( 2.5.6.6 NAME 'person' SUP organizationalPerson AUXILIARY MUST CN MAY ( 2.5.4.41 $ l ) )",
     {"Super Class 1: top", "Super Class 2: organizationalPerson", "Kind: STRUCTURAL | AUXILIARY",
      "Mandatory Attribute 1: sn", "Optional Attribute 1: description", "Optional Attribute 2: l"}},
    {"class: an item meets the other tree's item once",
     kClass,
     "( 2.5.6.7 NAME 'thing' MAY ( name $ Name $ y ) )",
     "( 2.5.6.7 NAME 'thing' MAY ( 2.5.4.41 $ z ) )",
     {"Optional Attribute 1: Name", "Optional Attribute 1: y", "Optional Attribute 2: z"}},
    {"class: the rest is compared",
     kClass,
     "( 2.5.6.6 NAME 'person' DESC 'RFC 4519' )",
     "( 2.5.6.7 NAME ( 'person' 'human' ) OBSOLETE ABSTRACT )",
     {"OID: 2.5.6.6 | 2.5.6.7", "Names 2: human", "Description: RFC 4519 | (none)",
      "Obsolete: FALSE | TRUE", "Kind: STRUCTURAL | ABSTRACT"}},
    {"an inherited rule spelled out is the same rule",
     kAttr,
     "( 2.5.4.3 NAME 'cn' SUP name )",
     "( 2.5.4.3 NAME 'cn' SUP name EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
     {}},
    {"an inherited rule against another: where it comes from",
     kAttr,
     "( 1.2.3 NAME 'a' SUP name )",
     "( 1.2.3 NAME 'a' SUP name EQUALITY caseExactMatch )",
     {"Equality: caseIgnoreMatch (from name) | caseExactMatch"}},
    {"one name for two rules: the OIDs tell them apart",
     kAttr,
     "( 1.2.3 NAME 'a' EQUALITY badgeMatch )",
     "( 1.2.3 NAME 'a' EQUALITY badgeMatch )",
     {"Equality: badgeMatch (1.3.6.1.4.1.99.8) | badgeMatch (1.3.6.1.4.1.99.9)"}},
    {"matching rule syntax",
     ElementType::MatchingRule,
     "( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
     "( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.44 )",
     {"Syntax: 1.3.6.1.4.1.1466.115.121.1.15 (Directory String) | "
      "1.3.6.1.4.1.1466.115.121.1.44 (Printable String)"}},
    {"content rule lists as sets",
     ElementType::DitContentRule,
     "( 2.5.6.6 NAME 'personRule' AUX ( a $ b ) NOT c )",
     "( 2.5.6.6 NAME 'personRule' AUX ( B $ A ) NOT ( c $ d ) )",
     {"Precluded Attribute 2: d"}},
    {"native extensions are fields like any other",
     kAttr,
     "( 1.2 NAME 'a' X-NDS_ACL_TEMPLATES ( 'x' 'y' ) )",
     "( 1.2 NAME 'a' X-NDS_ACL_TEMPLATES ( 'y' 'z' ) )",
     {"X-NDS_ACL_TEMPLATES: x, y | y, z"}},
};

TEST(ElementFields, ComparesEachFieldByMeaning) {
    for (const Case& c : kCases) {
        const ElementParse a = ParseLdapElement(c.type, c.tree1);
        const ElementParse b = ParseLdapElement(c.type, c.tree2);
        ASSERT_TRUE(a.element && b.element) << c.what << ": " << a.error << b.error;
        EXPECT_EQ(Describe(Compare(*a.element, Context1(), *b.element, Context2())), c.expected)
            << c.what;
        // The same pair the other way round differs in the same fields.
        EXPECT_EQ(Compare(*b.element, Context2(), *a.element, Context1()).size(), c.expected.size())
            << c.what;
    }
}

TEST(ElementFields, FilterLeavesFieldsOut) {
    const ElementParse a = ParseLdapElement(
        kAttr,
        "( 1.2.3 NAME 'a' DESC 'one' OBSOLETE SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 "
        "X-ORIGIN 'here' X-ACME 'x' )");
    const ElementParse b = ParseLdapElement(kAttr, "( 1.2.3 NAME 'b' X-ORIGIN 'there' )");
    ASSERT_TRUE(a.element && b.element);
    const auto labels = [&](const FieldFilter& filter) {
        std::vector<std::string> out;
        for (const Finding& f : Compare(*a.element, Context1(), *b.element, Context2(), filter))
            out.push_back(f.label);
        return out;
    };
    std::vector<std::string> unknown;
    EXPECT_EQ(labels(FieldFilter()), (std::vector<std::string>{"Names", "Names", "Description",
                                                               "Obsolete", "Syntax", "X-ACME"}));
    EXPECT_EQ(labels(FieldFilter::Parse("none", unknown)),
              (std::vector<std::string>{"Names", "Names", "Description", "Obsolete", "Syntax",
                                        "X-ORIGIN", "X-ACME"}));
    // A list adds to the defaults, and takes the schema's own keywords.
    const FieldFilter some = FieldFilter::Parse(" DESC,NAMES , extensions,syntax", unknown);
    EXPECT_EQ(labels(some), std::vector<std::string>{"Obsolete"});
    EXPECT_EQ(some.described(),
              (std::vector<std::string>{"Names", "Description", "Syntax", "extensions"}));
    EXPECT_EQ(FieldFilter::Parse("must", unknown).described(),
              (std::vector<std::string>{"Mandatory Attribute", "X-ORIGIN", "X-SCHEMA-FILE"}));
    EXPECT_EQ(FieldFilter::Parse("none,obsolete", unknown).described(),
              std::vector<std::string>{"Obsolete"});
    EXPECT_TRUE(unknown.empty());
    FieldFilter::Parse("obsolete,colour", unknown);
    EXPECT_EQ(unknown, std::vector<std::string>{"colour"});
}

// A SUP chain is followed to the definer however deep, and a cycle gives nothing.
TEST(ElementFields, InheritedValuesThroughDeepAndLoopingChains) {
    std::vector<std::pair<ElementType, std::string>> texts;
    texts.emplace_back(kAttr, "( 1.0 NAME 'a0' EQUALITY caseIgnoreMatch )");
    for (int i = 1; i < 10000; ++i)
        texts.emplace_back(kAttr, "( 1." + std::to_string(i) + " NAME 'a" + std::to_string(i) +
                                      "' SUP a" + std::to_string(i - 1) + " )");
    texts.emplace_back(kAttr, "( 2.1 NAME 'loop1' SUP loop2 )");
    texts.emplace_back(kAttr, "( 2.2 NAME 'loop2' SUP loop1 )");
    const PublishedElements tree = Tree(texts);
    const LdapElement* deep = tree.find(kAttr, "a9999");
    ASSERT_NE(deep, nullptr);
    const LdapElement* definer = tree.definer(*deep, &LdapElement::equality);
    ASSERT_NE(definer, nullptr);
    EXPECT_EQ(definer->names.front(), "a0");
    EXPECT_EQ(tree.definer(*tree.find(kAttr, "loop1"), &LdapElement::equality), nullptr);
}

}  // namespace
