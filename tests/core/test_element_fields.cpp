#include <gtest/gtest.h>

#include "ElementFields.h"

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
         "( 2.5.4.41 NAME 'name' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
        {ElementType::MatchingRule,
         "( 1.3.6.1.4.1.99.1 NAME 'acmeMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
    });
    return tree;
}

const PublishedElements& Context2() {
    static const PublishedElements tree = Tree({
        {ElementType::AttributeType,
         "( 2.5.4.41 NAME 'NAME' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
        {ElementType::MatchingRule,
         "( 1.3.6.1.4.1.99.1 NAME 'acmeMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
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

std::vector<std::string> Describe(const std::vector<FieldDifference>& diffs) {
    std::vector<std::string> out;
    for (const FieldDifference& d : diffs)
        out.push_back(d.label + ": " + d.value1 + " | " + d.value2);
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
     {"Substring: telephoneNumberSubstringsMatch | "}},
    {"syntax",
     kAttr,
     "( 2.5.4.13 NAME 'description' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
     "( 2.5.4.13 NAME 'description' SYNTAX 1.3.6.1.4.1.1466.115.121.1.11 )",
     {"Syntax: 1.3.6.1.4.1.1466.115.121.1.15 | 1.3.6.1.4.1.1466.115.121.1.11"}},
    {"syntax length",
     kAttr,
     "( 1.2.3 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32} )",
     "( 1.2.3 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} )",
     {"Syntax: 1.3.6.1.4.1.1466.115.121.1.15{32} | 1.3.6.1.4.1.1466.115.121.1.15{64}"}},
    {"alias removed",
     kAttr,
     "( 0.9.2342.19200300.100.1.1 NAME ( 'uid' 'userid' ) )",
     "( 0.9.2342.19200300.100.1.1 NAME 'uid' )",
     {"Names: uid, userid | uid"}},
    {"every flag and text field",
     kAttr,
     "( 1.2.3 NAME 'a' DESC 'one' OBSOLETE SUP name ORDERING caseIgnoreOrderingMatch "
     "SINGLE-VALUE COLLECTIVE NO-USER-MODIFICATION USAGE directoryOperation X-ACME 'x' )",
     "( 1.2.3 NAME 'a' DESC 'two' ORDERING caseExactOrderingMatch X-ACME 'y' )",
     {"Description: one | two", "Obsolete: TRUE | ", "Super Type: name | ",
      "Ordering: caseIgnoreOrderingMatch | caseExactOrderingMatch", "Single Value: TRUE | ",
      "Collective: TRUE | ", "No User Modification: TRUE | ", "Usage: directoryOperation | ",
      "X-ACME: x | y"}},
    {"an extension present without value differs from none",
     kAttr,
     "( 1.2.3 NAME 'a' X-ACME ( ) )",
     "( 1.2.3 NAME 'a' )",
     {"X-ACME:  | "}},
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
    {"class: what the class records already report is left out",
     kClass,
     "( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST ( sn $ cn ) MAY description )",
     "( 2.5.6.6 NAME 'person' SUP organizationalPerson AUXILIARY MUST cn )",
     {}},
    {"class: the rest is compared",
     kClass,
     "( 2.5.6.6 NAME 'person' DESC 'RFC 4519' )",
     "( 2.5.6.7 NAME ( 'person' 'human' ) OBSOLETE )",
     {"OID: 2.5.6.6 | 2.5.6.7", "Names: person | person, human", "Description: RFC 4519 | ",
      "Obsolete:  | TRUE"}},
    {"matching rule syntax",
     ElementType::MatchingRule,
     "( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
     "( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.44 )",
     {"Syntax: 1.3.6.1.4.1.1466.115.121.1.15 | 1.3.6.1.4.1.1466.115.121.1.44"}},
    {"content rule lists as sets",
     ElementType::DitContentRule,
     "( 2.5.6.6 NAME 'personRule' AUX ( a $ b ) NOT c )",
     "( 2.5.6.6 NAME 'personRule' AUX ( B $ A ) NOT ( c $ d ) )",
     {"Precluded: c | c, d"}},
};

TEST(ElementFields, ComparesEachFieldByMeaning) {
    for (const Case& c : kCases) {
        const ElementParse a = ParseLdapElement(c.type, c.tree1);
        const ElementParse b = ParseLdapElement(c.type, c.tree2);
        ASSERT_TRUE(a.element && b.element) << c.what << ": " << a.error << b.error;
        RecordCoverage scope;
        scope.records = c.type == kClass;
        EXPECT_EQ(Describe(CompareElementFields(*a.element, Context1(), *b.element, Context2(),
                                                FieldFilter(), scope)),
                  c.expected)
            << c.what;
        // The same pair the other way round differs in the same fields.
        EXPECT_EQ(CompareElementFields(*b.element, Context2(), *a.element, Context1(),
                                       FieldFilter(), scope)
                      .size(),
                  c.expected.size())
            << c.what;
    }
}

TEST(ElementFields, FilterLeavesFieldsOut) {
    const ElementParse a = ParseLdapElement(
        kAttr, "( 1.2.3 NAME 'a' DESC 'one' OBSOLETE X-ORIGIN 'here' X-ACME 'x' )");
    const ElementParse b = ParseLdapElement(kAttr, "( 1.2.3 NAME 'b' X-ORIGIN 'there' )");
    ASSERT_TRUE(a.element && b.element);
    const auto labels = [&](const FieldFilter& filter) {
        std::vector<std::string> out;
        for (const FieldDifference& d :
             CompareElementFields(*a.element, Context1(), *b.element, Context2(), filter))
            out.push_back(d.label);
        return out;
    };
    std::vector<std::string> unknown;
    EXPECT_EQ(labels(FieldFilter()),
              (std::vector<std::string>{"Names", "Description", "Obsolete", "X-ACME"}));
    EXPECT_EQ(labels(FieldFilter::Parse("none", unknown)),
              (std::vector<std::string>{"Names", "Description", "Obsolete", "X-ORIGIN", "X-ACME"}));
    const FieldFilter some = FieldFilter::Parse(" description,NAMES , extensions", unknown);
    EXPECT_EQ(labels(some), std::vector<std::string>{"Obsolete"});
    EXPECT_EQ(some.described(), (std::vector<std::string>{"Names", "Description", "extensions"}));
    EXPECT_TRUE(unknown.empty());
    FieldFilter::Parse("obsolete,colour", unknown);
    EXPECT_EQ(unknown, std::vector<std::string>{"colour"});
}

}  // namespace

namespace {

// Beside the records, a field their own lines already show is not reported twice.
TEST(ElementFields, LeavesWhatTheRecordsShowToThem) {
    struct Row {
        const char* what;
        ElementType type;
        const char* tree1;
        const char* tree2;
        RecordCoverage coverage;
        std::vector<std::string> expected;
    };
    RecordCoverage records;
    records.records = true;
    RecordCoverage otherSyntax = records;
    otherSyntax.syntaxIdsDiffer = true;
    RecordCoverage otherBounds = records;
    otherBounds.boundsDiffer = true;
    RecordCoverage identifiers = records;
    identifiers.identifiers = true;
    const Row rows[] = {
        {"flags in the definition line",
         kAttr,
         "( 1.2 NAME 'a' SINGLE-VALUE NO-USER-MODIFICATION )",
         "( 1.2 NAME 'a' COLLECTIVE )",
         records,
         {"Collective:  | TRUE"}},
        {"another syntax id",
         kAttr,
         "( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
         "( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.44 )",
         otherSyntax,
         {}},
        {"the same syntax id, another OID",
         kAttr,
         "( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
         "( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.11 )",
         records,
         {"Syntax: 1.3.6.1.4.1.1466.115.121.1.15 | 1.3.6.1.4.1.1466.115.121.1.11"}},
        {"a length the bounds show",
         kAttr,
         "( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32} )",
         "( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} )",
         otherBounds,
         {}},
        {"native extensions",
         kAttr,
         "( 1.2 NAME 'a' X-NDS_NONREMOVABLE '1' X-ACME 'x' )",
         "( 1.2 NAME 'a' )",
         records,
         {"X-ACME: x | "}},
        {"a class's OID in its ASN lines",
         kClass,
         "( 1.2 NAME 'c' )",
         "( 1.3 NAME 'c' )",
         identifiers,
         {}},
        {"a class's OID without identifiers",
         kClass,
         "( 1.2 NAME 'c' )",
         "( 1.3 NAME 'c' )",
         records,
         {"OID: 1.2 | 1.3"}},
        {"no records: everything",
         kAttr,
         "( 1.2 NAME 'a' SINGLE-VALUE X-NDS_NONREMOVABLE '1' )",
         "( 1.2 NAME 'a' )",
         {},
         {"Single Value: TRUE | ", "X-NDS_NONREMOVABLE: 1 | "}},
    };
    for (const Row& row : rows) {
        const ElementParse a = ParseLdapElement(row.type, row.tree1);
        const ElementParse b = ParseLdapElement(row.type, row.tree2);
        ASSERT_TRUE(a.element && b.element) << row.what;
        EXPECT_EQ(Describe(CompareElementFields(*a.element, Context1(), *b.element, Context2(),
                                                FieldFilter(), row.coverage)),
                  row.expected)
            << row.what;
    }
}

}  // namespace
