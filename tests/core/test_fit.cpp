// Entries checked against a tree's schema: a table of entries and the kinds of reasons each
// gets, the LDIF records that cannot be read, names by meaning and through another tree,
// deep and looping class chains, and the same verdicts in the same order on one thread or
// several.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/fit/FitRun.h"
#include "core/fit/LdifChunks.h"
#include "core/model/LdapMapping.h"

namespace {

constexpr const char* kSyntax = "1.3.6.1.4.1.1466.115.121.1.";

TreeSchema Schema(const std::vector<std::string>& types, const std::vector<std::string>& classes) {
    SchemaDefinitions d;
    for (const std::string& t : types) d.add(ElementType::AttributeType, t);
    for (const std::string& c : classes) d.add(ElementType::ObjectClass, c);
    return MapLdapSchema(d);
}

std::string S(const char* number) { return std::string(kSyntax) + number; }

const TreeSchema& People() {
    static const TreeSchema schema = Schema(
        {"( 2.5.4.0 NAME 'objectClass' EQUALITY objectIdentifierMatch SYNTAX " + S("38") + " )",
         "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SYNTAX " + S("15{32768}") + " )",
         "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )",
         "( 2.5.4.4 NAME ( 'sn' 'surname' ) SUP name )",
         "( 0.9.2342.19200300.100.1.1 NAME ( 'uid' 'userid' ) EQUALITY caseIgnoreMatch SYNTAX " +
             S("15{256}") + " )",
         "( 1.3.6.1.1.1.1.0 NAME 'uidNumber' EQUALITY integerMatch SYNTAX " + S("27") +
             " SINGLE-VALUE )",
         "( 2.5.4.6 NAME 'c' SUP name SYNTAX " + S("11") + " SINGLE-VALUE )",
         "( 2.5.4.20 NAME 'telephoneNumber' EQUALITY telephoneNumberMatch SYNTAX " + S("50{32}") +
             " )",
         "( 1.2.3.1 NAME 'flag' EQUALITY booleanMatch SYNTAX " + S("7") + " SINGLE-VALUE )",
         "( 1.2.3.2 NAME 'stamp' EQUALITY generalizedTimeMatch SYNTAX " + S("24") + " )",
         "( 1.2.3.3 NAME 'code' EQUALITY caseExactMatch SYNTAX " + S("44{4}") + " )",
         "( 1.2.3.4 NAME 'photo' SYNTAX " + S("5") + " )",
         "( 1.2.3.5 NAME 'owner' EQUALITY distinguishedNameMatch SYNTAX " + S("12") + " )",
         "( 1.2.3.6 NAME 'entryUUID' EQUALITY uuidMatch SYNTAX 1.3.6.1.1.16.1 SINGLE-VALUE )",
         "( 1.2.3.7 NAME 'postal' EQUALITY caseIgnoreListMatch SYNTAX " + S("41") + " )",
         "( 1.2.3.8 NAME 'bits' SYNTAX " + S("6") + " )",
         "( 2.5.18.1 NAME 'createTimestamp' EQUALITY generalizedTimeMatch SYNTAX " + S("24") +
             " SINGLE-VALUE NO-USER-MODIFICATION USAGE directoryOperation )"},
        {"( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
         "( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST ( sn $ cn ) MAY telephoneNumber )",
         "( 1.2.4.1 NAME 'account' SUP top STRUCTURAL MUST uid MAY ( uidNumber $ flag $ stamp $ "
         "code $ photo $ owner $ c $ entryUUID $ postal $ bits ) )",
         "( 1.2.4.2 NAME 'employee' SUP person STRUCTURAL MAY ( uid $ uidNumber ) )",
         "( 1.2.4.3 NAME 'badge' SUP top AUXILIARY MAY code )",
         "( 1.3.6.1.4.1.1466.101.120.111 NAME 'extensibleObject' SUP top AUXILIARY )"});
    return schema;
}

struct Checked {
    std::vector<FitVerdict> refused;
    FitSummary summary;
};

Checked Check(const std::string& ldif, const FitSchema& schema, FitOptions options = {},
              unsigned threads = 1) {
    std::FILE* file = std::tmpfile();
    std::fwrite(ldif.data(), 1, ldif.size(), file);
    std::rewind(file);
    Checked out;
    FitHooks hooks;
    hooks.refused = [&](const FitVerdict& v) { out.refused.push_back(v); };
    out.summary = RunFit(fileno(file), schema, options, hooks, threads);
    std::fclose(file);
    return out;
}

// The verdicts in words, for a failure's message.
std::string Described(const Checked& c) {
    std::string out;
    for (const FitVerdict& v : c.refused)
        for (const FitReason& r : v.reasons) out += std::to_string(v.line) + ": " + r.text + "\n";
    return out;
}

// The kinds of an entry's reasons, in order, comma-separated; empty when it fits.
std::string Kinds(const std::string& entry, FitOptions options = {}) {
    const FitSchema schema(People());
    const Checked c = Check(entry, schema, options);
    if (c.refused.empty()) return {};
    std::string kinds;
    for (const FitReason& r : c.refused.front().reasons)
        kinds += (kinds.empty() ? "" : ",") + std::string(FitKindKey(r.kind));
    return kinds;
}

struct EntryCase {
    const char* what;
    const char* attributes;  // after "dn: cn=A,o=X\n"
    const char* kinds;
};

const EntryCase kEntries[] = {
    {"fits", "objectClass: person\ncn: A\nsn: B\n", ""},
    {"names and OIDs in any letter case", "OBJECTCLASS: 2.5.6.6\ncommonname: A\n2.5.4.4: B\n", ""},
    {"attribute options", "objectClass: person\ncn: A\ncn;lang-de: A\nsn: B\n", ""},
    {"unknown class", "objectClass: person\nobjectClass: nosuch\ncn: A\nsn: B\n", "unknown-class"},
    {"unknown attribute", "objectClass: person\ncn: A\nsn: B\nfax: 1\n", "unknown-attribute"},
    {"not allowed", "objectClass: person\ncn: A\nsn: B\nuid: a\n", "not-allowed"},
    {"allowed by a sub class", "objectClass: employee\ncn: A\nsn: B\nuid: a\n", ""},
    {"allowed by an auxiliary class",
     "objectClass: employee\nobjectClass: badge\ncn: A\nsn: B\ncode: X\n", ""},
    {"extensibleObject allows any",
     "objectClass: person\nobjectClass: extensibleObject\ncn: A\nsn: B\nflag: TRUE\n", ""},
    {"missing must", "objectClass: person\ncn: A\n", "missing-must"},
    {"no objectClass", "cn: A\nsn: B\n", "structural"},
    {"single value",
     "objectClass: account\nobjectClass: extensibleObject\ncn: A\nuid: a\nuidNumber: 1\nuidNumber: "
     "2\n",
     "single-value"},
    {"auxiliary only", "objectClass: badge\ncn: A\n", "not-allowed,structural"},
    {"two structural chains", "objectClass: person\nobjectClass: account\ncn: A\nsn: B\nuid: a\n",
     "structural"},
    {"one structural chain", "objectClass: person\nobjectClass: employee\ncn: A\nsn: B\n", ""},
    {"RDN value absent", "objectClass: person\ncn: B\nsn: B\n", "rdn-absent"},
    {"RDN value equal by its rule", "objectClass: person\ncn:   a \nsn: B\n", ""},
    {"server-set attribute",
     "objectClass: person\ncn: A\nsn: B\ncreateTimestamp: 20240101000000Z\n", "server-set"},
    {"value over its bound",
     "objectClass: account\nobjectClass: extensibleObject\nuid: a\ncn: A\ncode: ABCDE\n",
     "too-long"},
    {"bound in characters",
     "objectClass: account\nobjectClass: extensibleObject\nuid: a\ncn: A\ntelephoneNumber: "
     "12345678901234567890123456789012\n",
     ""},
    {"case-ignore duplicate", "objectClass: person\ncn: A\ncn: a\nsn: Big  Bird\nsn: big bird\n",
     "duplicate-value,duplicate-value"},
    {"case-exact values differ",
     "objectClass: account\nobjectClass: extensibleObject\nuid: a\ncn: A\ncode: AB\ncode: ab\n",
     ""},
    {"telephone duplicate",
     "objectClass: person\ncn: A\nsn: B\ntelephoneNumber: +1 555-0100\ntelephoneNumber: "
     "+15550100\n",
     "duplicate-value"},
    {"DN duplicate",
     "objectClass: account\nobjectClass: extensibleObject\nuid: a\ncn: A\nowner: cn=Ann, "
     "o=X\nowner: CN=ann,o=x\n",
     "duplicate-value"},
};

class Entries : public ::testing::TestWithParam<EntryCase> {};

TEST_P(Entries, Reasons) {
    const EntryCase& c = GetParam();
    EXPECT_EQ(Kinds(std::string("dn: cn=A,o=X\n") + c.attributes), c.kinds) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Table, Entries, ::testing::ValuesIn(kEntries));

struct ValueCase {
    const char* attribute;
    const char* value;
    bool fits;
};

const ValueCase kValues[] = {
    {"flag", "TRUE", true},
    {"flag", "true", false},
    {"uidNumber", "-42", true},
    {"uidNumber", "042", false},
    {"uidNumber", "-0", false},
    {"c", "DE", true},
    {"c", "DEU", false},
    {"stamp", "20240229123000Z", true},
    {"stamp", "2024022912.5+0130", true},
    {"stamp", "20241301000000Z", false},
    {"stamp", "20240101", false},
    {"code", "A(b)", true},
    {"code", "A#", false},
    {"owner", "cn=A\\,B+uid=c,o=X", true},
    {"owner", "cn", false},
    {"entryUUID", "597ae2f6-16a6-1027-98f4-d28b5365dc14", true},
    {"entryUUID", "597ae2f6-16a6-1027-98f4d28b5365dc14x", false},
    {"postal", "1 Main St$Springfield", true},
    {"postal", "1 Main St$$Springfield", false},
    {"bits", "'0101'B", true},
    {"bits", "'012'B", false},
    {"cn", "\xC3\xA9t\xC3\xA9", true},
    {"cn", "\xC3\x28", false},
    {"photo", "\xFF\xD8 anything", true},
};

class Values : public ::testing::TestWithParam<ValueCase> {};

TEST_P(Values, Syntax) {
    const ValueCase& c = GetParam();
    const std::string entry = std::string(
                                  "dn: uid=a,o=X\nobjectClass: account\nobjectClass: "
                                  "extensibleObject\nuid: a\n") +
                              c.attribute + ": " + c.value + "\n";
    EXPECT_EQ(Kinds(entry), c.fits ? "" : "syntax") << c.attribute << ": " << c.value;
}

INSTANTIATE_TEST_SUITE_P(Table, Values, ::testing::ValuesIn(kValues));

TEST(Fit, OptionsFollowTheLoad) {
    FitOptions offline;
    offline.offlineLoad = true;
    EXPECT_EQ(Kinds("dn: cn=A,o=X\nobjectClass: person\ncn: A\nsn: B\ncreateTimestamp: "
                    "20240101000000Z\n",
                    offline),
              "");
    FitOptions lenient;
    lenient.lengths = false;
    lenient.syntaxes = false;
    EXPECT_EQ(Kinds("dn: uid=a,o=X\nobjectClass: account\nuid: a\ncode: AB#DE\n", lenient), "");
}

struct RecordCase {
    const char* ldif;
    std::uint64_t line;  // of the first verdict
    const char* text;    // part of its reason
};

const RecordCase kRecords[] = {
    {"cn: A\n", 1, "without dn:"},
    {"dn: cn=A,o=X\ncn:: !!!\n", 2, "not base64"},
    {"# c\n\ndn: cn=A,o=X\njpegPhoto:< file:///etc/passwd\n", 4, "URL"},
    {"dn: cn=A,o=X\nchangetype: modify\n", 2, "change record"},
    {"# c\n\n line\ndn: cn=A,o=X\n", 3, "continuation"},
    {"dn: cn=A,o=X\nno colon here\n", 2, "without a colon"},
    {"dn: cn=A,o=X\nc n: A\n", 2, "attribute description"},
    {"dn: cn=A,o=X\ndn: cn=B,o=X\n", 2, "second dn"},
    {"dn: cn=A;o=X\nobjectClass: person\ncn: A\nsn: B\n", 1, "not a valid DN"},
};

TEST(Fit, RecordsThatCannotBeRead) {
    const FitSchema schema(People());
    for (const RecordCase& c : kRecords) {
        // A good entry after each: reading goes on.
        const std::string good = "\ndn: cn=Z,o=X\nobjectClass: person\ncn: Z\nsn: Z\n";
        const Checked checked = Check(std::string("version: 1\n") + c.ldif + good, schema);
        ASSERT_EQ(checked.refused.size(), 1U) << c.ldif;
        EXPECT_EQ(checked.refused[0].line, c.line + 1) << c.ldif;
        EXPECT_NE(checked.refused[0].reasons.at(0).text.find(c.text), std::string::npos)
            << checked.refused[0].reasons[0].text;
        EXPECT_EQ(checked.summary.fitting, 1U) << c.ldif;
    }
}

TEST(Fit, FoldedBase64AndCrLf) {
    const FitSchema schema(People());
    // cn:: "A" folded across lines; sn folded inside its value; CR LF line ends.
    const Checked c = Check(
        "dn: cn=A,o=X\r\nobjectClass: per\r\n son\r\ncn:: Q\r\n Q==\r\nsn: Bi\r\n rd\r\n\r\n"
        "dn: cn=A,o=X\nobjectClass: person\ncn: A\nsn: Bird\n",
        schema);
    ASSERT_EQ(c.refused.size(), 1U);
    EXPECT_EQ(c.refused[0].line, 9U);
    EXPECT_EQ(c.refused[0].reasons.at(0).kind, FitKind::DuplicateDn);
    EXPECT_EQ(c.summary.fitting, 1U);
}

TEST(Fit, ParentsBeforeChildren) {
    const FitSchema schema(People());
    FitOptions options;
    options.parents = true;
    const Checked c = Check(
        "dn: cn=A,o=X\nobjectClass: person\ncn: A\nsn: A\n\n"
        "dn: cn=B,cn=A,o=X\nobjectClass: person\ncn: B\nsn: B\n\n"
        "dn: cn=C,cn=Nobody,o=X\nobjectClass: person\ncn: C\nsn: C\n",
        schema, options);
    ASSERT_EQ(c.refused.size(), 1U);
    EXPECT_EQ(c.refused[0].dn, "cn=C,cn=Nobody,o=X");
}

TEST(Fit, NamesThroughTheOtherTree) {
    const TreeSchema other =
        Schema({"( 2.5.4.4 NAME ( 'surname' 'familyName' ) SYNTAX " + S("15") + " )"},
               {"( 2.5.6.6 NAME 'human' STRUCTURAL MUST familyName )"});
    const FitSchema schema(People(), &other);
    const Checked c = Check("dn: cn=A,o=X\nobjectClass: human\ncn: A\nfamilyName: B\n", schema);
    EXPECT_TRUE(c.refused.empty());
    ASSERT_EQ(c.summary.mapped.size(), 2U);
    EXPECT_EQ(c.summary.mapped[0].first, "familyName");
    EXPECT_EQ(c.summary.mapped[0].second, "sn");
    EXPECT_EQ(c.summary.mapped[1].first, "human");
    EXPECT_EQ(c.summary.mapped[1].second, "person");
}

// OpenLDAP's .schema files leave out what slapd builds in (objectClass, top, cn, uid, the
// operational attributes); a tree of them still knows those, and what it defines wins.
TEST(Fit, WhatSlapdBuildsIn) {
    const TreeSchema files = Schema({"( 2.5.4.4 NAME ( 'sn' 'surname' ) SUP name )",
                                     "( 2.5.4.13 NAME 'description' SYNTAX " + S("27") + " )"},
                                    {"( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST ( sn $ cn ) "
                                     "MAY ( description $ uid ) )"});
    const FitSchema schema(files);
    EXPECT_TRUE(schema.builtInsAdded());
    const Checked c = Check(
        "dn: cn=A,o=X\nobjectClass: person\ncn: A\nsn: B\nuid: a\ndescription: 12\n\n"
        "dn: cn=B,o=X\nobjectClass: person\nobjectClass: extensibleObject\ncn: B\nsn: B\n"
        "description: twelve\ncreateTimestamp: 20240101000000Z\n",
        schema);
    ASSERT_EQ(c.refused.size(), 1U);
    ASSERT_EQ(c.refused[0].reasons.size(), 2U);
    EXPECT_EQ(c.refused[0].reasons[0].kind, FitKind::Syntax);
    EXPECT_EQ(c.refused[0].reasons[1].kind, FitKind::ServerSet);
    EXPECT_FALSE(FitSchema(People()).builtInsAdded());
}

// Active Directory: its own syntaxes are checked, and what a domain controller fills in
// itself is not missing.
TEST(Fit, ActiveDirectory) {
    TreeSchema ad = Schema(
        {"( 2.5.4.0 NAME 'objectClass' SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )",
         "( 2.5.4.3 NAME 'cn' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )",
         "( 1.2.840.113556.1.4.782 NAME 'objectCategory' SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 "
         "SINGLE-VALUE )",
         "( 1.2.840.113556.1.4.159 NAME 'accountExpires' SYNTAX 1.2.840.113556.1.4.906 "
         "SINGLE-VALUE )",
         "( 1.2.840.113556.1.4.1 NAME 'wellKnownObjects' SYNTAX 1.2.840.113556.1.4.903 )"},
        {"( 2.5.6.0 NAME 'top' ABSTRACT MUST ( objectClass $ objectCategory ) )",
         "( 1.2.3 NAME 'thing' SUP top STRUCTURAL MUST cn MAY ( accountExpires $ "
         "wellKnownObjects ) )"});
    ad.origin.activeDirectory = true;
    const FitSchema schema(ad);
    const Checked c = Check(
        "dn: cn=A,DC=x\nobjectClass: thing\ncn: A\naccountExpires: 9223372036854775807\n"
        "wellKnownObjects: B:8:AB12CD34:CN=Users,DC=x\nwellKnownObjects: "
        "B:8:AB12CD34:CN=Users,DC=x\n\n"
        "dn: cn=B,DC=x\nobjectClass: thing\ncn: B\naccountExpires: 9223372036854775808\n"
        "wellKnownObjects: B:7:AB12CD3:CN=Users,DC=x\n",
        schema);
    ASSERT_EQ(c.refused.size(), 2U) << Described(c);
    ASSERT_EQ(c.refused[0].reasons.size(), 1U);
    EXPECT_EQ(c.refused[0].reasons[0].kind, FitKind::DuplicateValue);
    ASSERT_EQ(c.refused[1].reasons.size(), 2U);
    EXPECT_EQ(c.refused[1].reasons[0].kind, FitKind::Syntax);
    EXPECT_EQ(c.refused[1].reasons[1].kind, FitKind::Syntax);
}

TEST(Fit, DeepAndLoopingChains) {
    constexpr int kDepth = 10000;
    std::vector<std::string> classes = {
        "( 1.9.0 NAME 'c0' SUP c1 STRUCTURAL MUST objectClass MAY cn )"};  // a loop back
    for (int i = 1; i < kDepth; ++i)
        classes.push_back("( 1.9." + std::to_string(i) + " NAME 'c" + std::to_string(i) +
                          "' SUP c" + std::to_string(i - 1) + " STRUCTURAL )");
    const TreeSchema tree =
        Schema({"( 2.5.4.0 NAME 'objectClass' SYNTAX " + S("38") + " )",
                "( 2.5.4.3 NAME 'cn' EQUALITY caseIgnoreMatch SYNTAX " + S("15") + " )"},
               classes);
    const FitSchema schema(tree);
    std::string ldif;
    for (int i = 0; i < 50; ++i)
        ldif += "dn: cn=" + std::to_string(i) + "\nobjectClass: c" + std::to_string(kDepth - 1) +
                "\ncn: " + std::to_string(i) + "\n\n";
    const Checked c = Check(ldif, schema);
    EXPECT_TRUE(c.refused.empty());
    EXPECT_EQ(c.summary.fitting, 50U);
}

// Small pieces and a small bound: every piece ends at a record's end, lines are counted
// across pieces, and a record over the bound comes alone, flagged, the rest passed over.
TEST(Fit, PiecesEndAtRecords) {
    const std::string big(1000, 'x');
    const std::string ldif =
        "dn: cn=1\r\na: 1\r\n\r\ndn: cn=2\n\n\n\ndn: cn=3\nb: " + big + "\n c\n\ndn: cn=4\nd: 4\n";
    std::FILE* file = std::tmpfile();
    std::fwrite(ldif.data(), 1, ldif.size(), file);
    std::rewind(file);
    LdifChunkReader reader(fileno(file), 8, 256);
    LdifChunk chunk;
    std::string joined;
    std::vector<std::uint64_t> lines;
    bool oversized = false;
    while (reader.next(chunk)) {
        if (chunk.oversized) {
            oversized = true;
            EXPECT_EQ(chunk.firstLine, 8U);
            continue;
        }
        lines.push_back(chunk.firstLine);
        EXPECT_TRUE(chunk.text.ends_with("\n\n") || chunk.text.ends_with("\n\r\n") ||
                    chunk.text.ends_with("d: 4\n"))
            << chunk.text;
        joined += chunk.text;
    }
    std::fclose(file);
    EXPECT_TRUE(oversized);
    EXPECT_EQ(joined, "dn: cn=1\r\na: 1\r\n\r\ndn: cn=2\n\n\n\ndn: cn=4\nd: 4\n");
    EXPECT_EQ(lines.front(), 1U);
    EXPECT_EQ(lines.back(), 12U);
}

// Pieces of about a MiB each: the verdicts on several threads are those on one, in order,
// and a DN given twice is found across pieces.
TEST(Fit, SeveralThreadsSameVerdicts) {
    std::string ldif;
    std::size_t faulty = 0;
    std::vector<bool> taken(30000, false);  // a DN is taken by an entry that fits
    for (int i = 0; ldif.size() < (std::size_t{5} << 20); ++i) {
        const std::string n = std::to_string(i % 30000);
        ldif += "dn: cn=" + n + ",o=X\nobjectClass: person\ncn: " + n + "\n";
        if (i % 7 != 0) ldif += "sn: Surname of person number " + n + "\n";
        const bool refused = i % 7 == 0 || taken[static_cast<std::size_t>(i % 30000)];
        faulty += refused;
        if (!refused) taken[static_cast<std::size_t>(i % 30000)] = true;
        ldif += "telephoneNumber: +1 555 0100 0100 0100\n\n";
    }
    const TreeSchema tree = People();
    const FitSchema schema(tree);
    const Checked one = Check(ldif, schema, {}, 1);
    const Checked two = Check(ldif, schema, {}, 3);
    EXPECT_EQ(one.refused.size(), faulty);
    ASSERT_EQ(one.refused.size(), two.refused.size());
    for (std::size_t i = 0; i < one.refused.size(); ++i) {
        EXPECT_EQ(one.refused[i].line, two.refused[i].line);
        ASSERT_EQ(one.refused[i].reasons.size(), two.refused[i].reasons.size());
    }
    EXPECT_EQ(one.summary.byKind, two.summary.byKind);
}

}  // namespace
