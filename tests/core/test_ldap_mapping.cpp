// LDAP schema definitions as class and attribute records: identifiers, syntaxes, flags,
// bounds, names and item lists on plain and NDS-style servers; what happens to definitions
// that do not parse; schema files and LDIF dumps read as trees through the client.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "RecordingUi.h"
#include "TempDir.h"
#include "core/ControlChars.h"
#include "core/directory/D_NW.h"
#include "sources/ClientConfig.h"
#include "sources/ClientFactory.h"
#include "sources/LdapClient.h"
#include "sources/LdapSchema.h"
#include "sources/SchemaFileTree.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

// Under LeakSanitizer: libldap keeps a few bytes of some definitions it fails to parse,
// allocated where its frames cannot be unwound; that is its own leak, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:ber_memalloc_x\n"; }

namespace {

std::string Hex(const Asn1Id& id) {
    std::string out;
    char byte[4];
    for (std::uint32_t i = 0; i < id.length && i < sizeof id.data; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", id.data[i]);
        out += byte;
    }
    return out;
}

const SimClass* FindClass(const SimTree& tree, const std::string& name) {
    for (const SimClass& c : tree.classes)
        if (c.name == name) return &c;
    return nullptr;
}

const SimAttr* FindAttr(const SimTree& tree, const std::string& name) {
    for (const SimAttr& a : tree.attributes)
        if (a.name == name) return &a;
    return nullptr;
}

std::vector<std::string> Names(const NameList& list) {
    std::vector<std::string> names;
    for (const NameEntry& e : list) names.push_back(e.name);
    return names;
}

std::vector<std::string> ClassNames(const SimTree& tree) {
    std::vector<std::string> names;
    for (const SimClass& c : tree.classes) names.push_back(c.name);
    return names;
}

std::vector<std::string> AttrNames(const SimTree& tree) {
    std::vector<std::string> names;
    for (const SimAttr& a : tree.attributes) names.push_back(a.name);
    return names;
}

// ---- Identifiers and syntaxes

struct OidCase {
    const char* oid;
    const char* bytes;  // empty: no identifier
};

class OidEncoding : public ::testing::TestWithParam<OidCase> {};

TEST_P(OidEncoding, GivesTheBerBytesOrNothing) {
    Asn1Id id;
    const bool encoded = OidToAsn1Id(GetParam().oid, id);
    EXPECT_EQ(Hex(id), GetParam().bytes);
    EXPECT_EQ(encoded, std::string(GetParam().bytes).size() > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Oids, OidEncoding,
    ::testing::Values(OidCase{"2.5.6.6", "06 03 55 06 06"}, OidCase{"1.3.6.1", "06 03 2B 06 01"},
                      OidCase{"2.16.840.1.113719.1.1.6.1.1",
                              "06 0C 60 86 48 01 86 F8 37 01 01 06 01 01"},
                      // The first two arcs share a subidentifier that may need two bytes.
                      OidCase{"2.999.3", "06 03 88 37 03"},
                      // Arcs beyond 32 bits are encoded in full.
                      OidCase{"2.25.340282366920938463463374607431768211455",
                              "06 14 69 83 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 7F"},
                      OidCase{"0.0", "06 01 00"}, OidCase{"1.39", "06 01 4F"},
                      // 31 content bytes do not fit beside tag and length.
                      OidCase{"1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.18.19.20.21.22.23.24.25."
                              "26.27.28.29.30.31.32",
                              ""},
                      OidCase{"1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.18.19.20.21.22.23.24.25."
                              "26.27.28.29.30.31",
                              "06 1E 2A 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 "
                              "16 17 18 19 1A 1B 1C 1D 1E 1F"},
                      OidCase{"1.40", ""}, OidCase{"3.1", ""}, OidCase{"1", ""}, OidCase{"", ""},
                      OidCase{"1..2", ""}, OidCase{"1.2.", ""}, OidCase{"fooOID", ""},
                      OidCase{"OLcfgAt:1", ""}));

TEST(OidEncoding, ReadsBackAsTheSameDottedText) {
    for (const char* oid :
         {"2.5.4.3", "1.3.6.1.4.1.1466.101.120.111", "2.16.840.1.113730.3.2.6",
          "1.3.6.1.4.1.4203.1.12.2.3.0.1",
          // Arcs past 32 bits: two such identifiers must never look alike.
          "2.25.329800735698586629295641978511506172918",
          "2.25.340282366920938463463374607431768211455", "1.3.6.1.4.1.99999.4294967297",
          "1.3.6.1.4.1.99999.1", "1.3.18446744073709551616.0", "2.999.1", "2.48"}) {
        Asn1Id id;
        ASSERT_TRUE(OidToAsn1Id(oid, id)) << oid;
        EXPECT_EQ(Asn1IdText(id), oid);
    }
}

TEST(SyntaxIds, FollowTheStandardTable) {
    const std::string p = "1.3.6.1.4.1.1466.115.121.1.";
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"12", 1},  {"26", 2},  {"15", 3},  {"11", 3}, {"32", 3},  {"35", 3}, {"57", 3}, {"44", 4},
        {"36", 5},  {"7", 7},   {"27", 8},  {"40", 9}, {"1", 9},   {"8", 9},  {"58", 9}, {"50", 10},
        {"22", 11}, {"41", 18}, {"38", 20}, {"5", 21}, {"24", 24}, {"59", 0}, {"0", 0},  {"31", 3}};
    for (const auto& [n, id] : cases) EXPECT_EQ(StandardSyntaxId(p + n), id) << n;
    EXPECT_EQ(StandardSyntaxId(p + "15x"), 0u);
    EXPECT_EQ(StandardSyntaxId("1.3.6.1.4.1.1466.115.121.2.15"), 0u);
    EXPECT_EQ(StandardSyntaxId("2.16.840.1.113719.1.1.5.1.6"), 0u);
}

TEST(SyntaxIds, ActiveDirectorySyntaxesByMeaning) {
    const std::string p = "1.2.840.113556.1.4.";
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"905", 3},   // String(Teletex): CI_STRING
        {"906", 8},   // Large Integer: INTEGER
        {"907", 9},   // String(NT-Sec-Desc): OCTET_STRING
        {"1362", 2},  // String(Case): CE_STRING
        {"903", 0},   // DN-Binary, DN-String, OR-Name: nothing means the same
        {"904", 0},  {"1221", 0}, {"9060", 0}, {"90", 0}, {"906x", 0}, {"", 0}};
    for (const auto& [n, id] : cases) EXPECT_EQ(ActiveDirectorySyntaxId(p + n), id) << n;
    EXPECT_EQ(ActiveDirectorySyntaxId("1.2.840.113556.1.5.906"), 0u);
    EXPECT_EQ(ActiveDirectorySyntaxId("1.3.6.1.4.1.1466.115.121.1.27"), 0u);
    EXPECT_EQ(StandardSyntaxId(p + "906"), 0u);
}

TEST(SchemaText, ApostrophesAndEscapes) {
    EXPECT_EQ(EscapeInnerApostrophes("( 1.2 NAME 'a' X-NDS_NAME 'Bob's Attr' )"),
              "( 1.2 NAME 'a' X-NDS_NAME 'Bob\\27s Attr' )");
    EXPECT_EQ(EscapeInnerApostrophes("NAME ( 'a' 'b' )"), "NAME ( 'a' 'b' )");
    EXPECT_EQ(UnescapeSchemaText("Bob\\27s \\5C and \\5c, not \\41 or \\2"),
              "Bob's \\ and \\, not \\41 or \\2");
}

// ---- The mapping

SchemaMapping Map(std::vector<std::string> classes, std::vector<std::string> attributes,
                  std::vector<std::string> syntaxes = {}) {
    SchemaDefinitions d;
    d.objectClasses = std::move(classes);
    d.attributeTypes = std::move(attributes);
    d.ldapSyntaxes = std::move(syntaxes);
    return MapSchema(d);
}

const std::vector<std::string> kPlainAttributes = {
    "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )",
    "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )",
    "( 2.5.4.4 NAME ( 'sn' 'surname' ) SUP cn )",
    "( 2.5.4.0 NAME 'objectClass' SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )",
    "( 2.5.18.1 NAME 'createTimestamp' SYNTAX 1.3.6.1.4.1.1466.115.121.1.24 SINGLE-VALUE "
    "NO-USER-MODIFICATION USAGE directoryOperation )",
    "( 1.1.1 NAME 'wide' SYNTAX 1.3.6.1.4.1.1466.115.121.1.27{4294967295} )",
    "( 1.1.2 NAME 'loop1' SUP loop2 )",
    "( 1.1.3 NAME 'loop2' SUP loop1 )",
};

const std::vector<std::string> kPlainClasses = {
    "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
    "( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST ( sn $ cn ) MAY ( 2.5.4.41 ) )",
    "( 1.1.10 NAME 'helper' SUP top AUXILIARY MAY name )",
    "( 1.1.11 NAME 'plain' )",
};

TEST(LdapMapping, PlainServerClasses) {
    const SchemaMapping m = Map(kPlainClasses, kPlainAttributes);
    EXPECT_FALSE(m.ndsStyle);
    EXPECT_THAT(m.skipped, IsEmpty());
    EXPECT_THAT(ClassNames(m.tree), ElementsAre("top", "person", "helper", "plain"));
    const SimClass* top = FindClass(m.tree, "top");
    const SimClass* person = FindClass(m.tree, "person");
    const SimClass* helper = FindClass(m.tree, "helper");
    const SimClass* plain = FindClass(m.tree, "plain");
    ASSERT_TRUE(top && person && helper && plain);
    // Plain servers publish no containers; structural is Effective, the default kind too.
    EXPECT_EQ(top->flags, 0u);
    EXPECT_EQ(person->flags, 0x02u);
    EXPECT_EQ(helper->flags, 0x20u);
    EXPECT_EQ(plain->flags, 0x02u);
    EXPECT_EQ(Hex(person->id), "06 03 55 06 06");
    EXPECT_THAT(person->items[0], ElementsAre("top"));
    EXPECT_THAT(person->items[1], IsEmpty());
    EXPECT_THAT(person->items[2], IsEmpty());
    EXPECT_THAT(person->items[3], ElementsAre("sn", "cn"));
    // Item lists name things as the class does, an OID included.
    EXPECT_THAT(person->items[4], ElementsAre("2.5.4.41"));
}

TEST(LdapMapping, PlainServerAttributes) {
    const SchemaMapping m = Map(kPlainClasses, kPlainAttributes);
    struct Expect {
        const char* name;
        std::uint32_t syntax, flags;
        std::int32_t lower, upper;
    };
    const Expect expected[] = {
        {"name", 3, 0x002, 0, 32768},
        // No SYNTAX: the supertype's, bound and all, through the whole chain.
        {"cn", 3, 0x002, 0, 32768},
        {"sn", 3, 0x002, 0, 32768},
        {"objectClass", 20, 0, 0, 0},
        {"createTimestamp", 24, 0x009, 0, 0},
        // {4294967295} comes back from libldap as -1: read as unsigned, it is that bound.
        {"wide", 8, 0x002, 0, -1},
        // A supertype loop ends without a syntax.
        {"loop1", 0, 0, 0, 0},
    };
    for (const Expect& e : expected) {
        const SimAttr* a = FindAttr(m.tree, e.name);
        ASSERT_NE(a, nullptr) << e.name;
        EXPECT_EQ(a->info.attrSyntaxID, e.syntax) << e.name;
        EXPECT_EQ(a->info.attrFlags, e.flags) << e.name;
        EXPECT_EQ(a->info.attrLower, e.lower) << e.name;
        EXPECT_EQ(a->info.attrUpper, e.upper) << e.name;
    }
    EXPECT_EQ(AttrDefText(FindAttr(m.tree, "cn")->info), "CI_STRING [Sized (0-32768)]");
    EXPECT_EQ(Asn1IdText(FindAttr(m.tree, "cn")->info.asn1ID), "2.5.4.3");
}

// As an AD domain controller publishes them: no ldapSyntaxes, quoted syntax OIDs of its
// own, and supertypes that take them along.
TEST(LdapMapping, ActiveDirectoryAttributesTakeTheirSyntaxesMeaning) {
    const SchemaMapping m =
        Map({"( 2.5.6.0 NAME 'top' ABSTRACT MUST (objectClass ) )"},
            {"( 1.2.840.113556.1.4.96 NAME 'pwdLastSet' SYNTAX '1.2.840.113556.1.4.906' "
             "SINGLE-VALUE )",
             "( 1.2.840.113556.1.4.2 NAME 'nTSecurityDescriptor' SYNTAX '1.2.840.113556.1.4.907' "
             "SINGLE-VALUE )",
             "( 1.2.840.113556.1.4.1 NAME 'mSMQLabel' SYNTAX '1.2.840.113556.1.4.905' )",
             "( 1.2.840.113556.1.4.3 NAME 'caseKept' SYNTAX '1.2.840.113556.1.4.1362' )",
             "( 1.2.840.113556.1.4.4 NAME 'wellKnownObjects' SYNTAX '1.2.840.113556.1.4.903' )",
             "( 1.2.840.113556.1.4.5 NAME 'derivedLarge' SUP pwdLastSet )",
             "( 2.5.4.3 NAME 'cn' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE )"});
    EXPECT_THAT(m.skipped, IsEmpty());
    const std::pair<const char*, const char*> expected[] = {
        {"pwdLastSet", "INTEGER [SglVal]"}, {"nTSecurityDescriptor", "OCTET_STRING [SglVal]"},
        {"mSMQLabel", "CI_STRING"},         {"caseKept", "CE_STRING"},
        {"wellKnownObjects", "UNKNOWN"},    {"derivedLarge", "INTEGER"},
        {"cn", "CI_STRING [SglVal]"},
    };
    for (const auto& [name, text] : expected) {
        const SimAttr* a = FindAttr(m.tree, name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(AttrDefText(a->info), text) << name;
    }
}

const std::vector<std::string> kNdsSyntaxes = {
    "( 2.16.840.1.113719.1.1.5.1.99 DESC 'tagged' X-NDS_SYNTAX '6' )",
    "( 1.3.6.1.4.1.1466.115.121.1.15 DESC 'Directory String' X-NDS_SYNTAX '3' )",
};

const std::vector<std::string> kNdsAttributes = {
    "( 2.5.4.3 NAME 'cn' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} X-NDS_NAME 'CN' "
    "X-NDS_LOWER_BOUND '1' X-NDS_UPPER_BOUND '64' X-NDS_PUBLIC_READ '1' )",
    "( 2.5.4.4 NAME 'sn' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} X-NDS_NAME 'Surname' )",
    "( 9.1 NAME 'everyFlag' SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE "
    "NO-USER-MODIFICATION X-NDS_NONREMOVABLE '1' X-NDS_HIDDEN '1' X-NDS_PUBLIC_READ '1' "
    "X-NDS_SERVER_READ '1' X-NDS_NAME_VALUE_ACCESS '1' X-NDS_NEVER_SYNC '1' "
    "X-NDS_SCHED_SYNC_NEVER '1' X-NDS_UPPER_BOUND '4294967295' )",
    "( 9.2 NAME 'noSync' SYNTAX 2.16.840.1.113719.1.1.5.1.19 X-NDS_NON_REMOVABLE '1' "
    "X-NDS_NOT_SCHED_SYNC_IMMEDIATE '1' )",
    "( 9.3 NAME 'tagged' SYNTAX 2.16.840.1.113719.1.1.5.1.99 )",
    "( 9.4 NAME 'flagsOff' SYNTAX 1.3.6.1.4.1.1466.115.121.1.7 X-NDS_HIDDEN '0' "
    "X-NDS_PUBLIC_READ 'FALSE' )",
    "( 9.5 NAME 'lengthOnly' SYNTAX 1.3.6.1.4.1.1466.115.121.1.40{128} )",
    "( 9.6 NAME 'huge' SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 X-NDS_LOWER_BOUND '-5' "
    "X-NDS_UPPER_BOUND '8589934593' )",
};

const std::vector<std::string> kNdsClasses = {
    "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass X-NDS_NAME 'Top' X-NDS_NONREMOVABLE '1' )",
    "( 2.5.6.4 NAME 'organization' SUP top STRUCTURAL MUST o X-NDS_NAME 'Organization' "
    "X-NDS_CONTAINMENT ( 'top' 'country' ) X-NDS_NAMING 'o' )",
    "( 2.5.6.6 NAME 'person' SUP ndsLoginProperties STRUCTURAL MUST ( cn $ sn ) MAY description "
    "X-NDS_NAME 'Person' X-NDS_NOT_CONTAINER '1' X-NDS_CONTAINMENT ( 'organization' "
    "'organizationalUnit' ) X-NDS_NAMING ( 'cn' 'uid' ) )",
    "( 9.10 NAME 'ndsLoginProperties' SUP top ABSTRACT X-NDS_NAME 'ndsLoginProperties' )",
    "( 9.11 NAME 'aux' AUXILIARY MAY sn )",
};

TEST(LdapMapping, NdsStyleNamesFlagsAndItems) {
    const SchemaMapping m = Map(kNdsClasses, kNdsAttributes, kNdsSyntaxes);
    EXPECT_TRUE(m.ndsStyle);
    EXPECT_THAT(m.skipped, IsEmpty());
    EXPECT_THAT(ClassNames(m.tree),
                ElementsAre("Top", "Organization", "Person", "ndsLoginProperties", "aux"));
    const SimClass* top = FindClass(m.tree, "Top");
    const SimClass* org = FindClass(m.tree, "Organization");
    const SimClass* person = FindClass(m.tree, "Person");
    const SimClass* aux = FindClass(m.tree, "aux");
    ASSERT_TRUE(top && org && person && aux);
    EXPECT_EQ(ClassFlagsText(top->flags), "Non-Removable\\Container");
    EXPECT_EQ(ClassFlagsText(org->flags), "Effective\\Container");
    EXPECT_EQ(ClassFlagsText(person->flags), "Effective");
    EXPECT_EQ(ClassFlagsText(aux->flags), "Auxiliary");
    // Names referred to show as the server's X-NDS_NAME when it gives one.
    EXPECT_THAT(org->items[1], ElementsAre("Top", "country"));
    EXPECT_THAT(org->items[2], ElementsAre("o"));
    EXPECT_THAT(person->items[0], ElementsAre("ndsLoginProperties"));
    EXPECT_THAT(person->items[1], ElementsAre("Organization", "organizationalUnit"));
    EXPECT_THAT(person->items[2], ElementsAre("CN", "uid"));
    EXPECT_THAT(person->items[3], ElementsAre("CN", "Surname"));
    EXPECT_THAT(person->items[4], ElementsAre("description"));
}

TEST(LdapMapping, NdsStyleAttributeTexts) {
    const SchemaMapping m = Map(kNdsClasses, kNdsAttributes, kNdsSyntaxes);
    const std::pair<const char*, const char*> expected[] = {
        {"CN", "CI_STRING [Sized (1-64)\\PublRd\\SyncImdt]"},
        // On an NDS-style server a bare {len} is kept but does not make the type Sized.
        {"Surname", "CI_STRING [SyncImdt]"},
        {"everyFlag",
         "INTEGER [SglVal\\Sized (0--1)\\NonRem\\RdOnly\\Hidden\\PublRd\\SrvrRd\\WrtMngd\\PerRep"
         "\\SyncImdt\\SyncNever]"},
        {"noSync", "TIMESTAMP [NonRem]"},
        {"tagged", "CI_LIST [SyncImdt]"},
        {"flagsOff", "BOOLEAN [SyncImdt]"},
        {"lengthOnly", "OCTET_STRING [SyncImdt]"},
        // 64-bit bounds keep their low 32 bits.
        {"huge", "INTEGER [Sized (-5-1)\\SyncImdt]"},
    };
    for (const auto& [name, text] : expected) {
        const SimAttr* a = FindAttr(m.tree, name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(AttrDefText(a->info), text) << name;
    }
    EXPECT_EQ(FindAttr(m.tree, "Surname")->info.attrUpper, 64);
}

TEST(LdapMapping, DefinitionsThatDoNotParseAreSkippedAndCounted) {
    const SchemaMapping m =
        Map({"( 2.5.6.0 NAME 'top' ABSTRACT )", "( 1.2 NAME 'broken' SUP top BOGUS )",
             // An extension without its value.
             "( 1.3 NAME 'unvalued' X-NDS_NOT_CONTAINER )",
             // A bare apostrophe inside a quoted string parses once escaped, and reads back.
             "( 1.4 NAME 'printer' X-NDS_NAME 'Bob's Printer' )", "( 1.5 NAME 'TOP' )"},
            {"( 2.5.4.3 NAME 'cn' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )", "not a definition",
             "( 2.5.4.3 NAME 'CN' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
            {"( 1.2.3 DESC 'unterminated )"});
    EXPECT_THAT(ClassNames(m.tree), ElementsAre("top", "Bob's Printer"));
    EXPECT_THAT(AttrNames(m.tree), ElementsAre("cn"));
    ASSERT_EQ(m.skipped.size(), 6u);
    std::vector<std::string> kinds;
    for (const SkippedDefinition& s : m.skipped) kinds.push_back(s.kind);
    EXPECT_THAT(kinds, ElementsAre("syntax", "attribute type", "object class", "object class",
                                   "attribute type", "object class"));
    EXPECT_THAT(m.skipped[2].reason, HasSubstr("after \"( 1.2 NAME 'broken' SUP top BOGUS\""));
    EXPECT_THAT(m.skipped[4].reason, HasSubstr("second definition named \"CN\""));

    const std::string text = SkippedDefinitionsText(m.skipped, "ldap://dir.example.com/");
    EXPECT_THAT(text, HasSubstr("ldap://dir.example.com/: 1 syntax definition, 2 attribute type "
                                "definitions, 3 object class definitions left out"));
    // Every skipped definition is named, each on its own line, with its reason.
    for (const SkippedDefinition& skip : m.skipped) EXPECT_THAT(text, HasSubstr(skip.reason));
    EXPECT_THAT(text, HasSubstr("\n- ( 1.2.3 DESC 'unterminated ): "));
    EXPECT_THAT(text, HasSubstr("\n- ( 1.3 NAME 'unvalued' X-NDS_NOT_CONTAINER ): "));
    EXPECT_EQ(SkippedDefinitionsText({}, "x"), "");
}

TEST(LdapMapping, ASkippedListNamesTwentyThenCountsTheRest) {
    std::vector<SkippedDefinition> skipped;
    for (int i = 0; i < 23; ++i)
        skipped.push_back({"object class", "( 1." + std::to_string(i) + " BOGUS )", "bad"});
    const std::string text = SkippedDefinitionsText(skipped, "src");
    EXPECT_THAT(text, StartsWith("src: 23 object class definitions left out:\n"));
    EXPECT_THAT(text, HasSubstr("( 1.19 BOGUS ): bad\n- and 3 more"));
    EXPECT_THAT(text, Not(HasSubstr("( 1.20 BOGUS )")));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);
}

TEST(LdapMapping, ATextWithANulByteIsLeftOut) {
    // libldap would read only up to the NUL and take the rest for gone.
    const SchemaMapping m =
        Map({std::string("( 1.1 NAME 'cut' )\0 MUST x )", 27), "( 1.2 NAME 'whole' )"}, {});
    EXPECT_THAT(ClassNames(m.tree), ElementsAre("whole"));
    ASSERT_EQ(m.skipped.size(), 1u);
    EXPECT_THAT(m.skipped[0].reason, HasSubstr("NUL"));
}

TEST(LdapMapping, ANameHoldingAControlCharacterIsLeftOutAndShownEscaped) {
    // Title and clear screen, a line end, DEL, C1 as UTF-8 and as a bare byte; in each
    // place a name can stand.
    const std::string hostile[] = {"\x1B]0;T\x07\x1B[2J", "two\nlines", "del\x7F",
                                   "csi\xC2\x9B"
                                   "1m",
                                   "raw\x9B"};
    std::vector<std::string> classes = {"( 1.1.1 NAME 'back\\5Cslash' )",
                                        "( 1.1.2 NAME 'Zweig \xC3\xBC' )"};
    std::vector<std::string> attributes;
    for (std::size_t i = 0; i < std::size(hostile); ++i) {
        const std::string n = std::to_string(i);
        classes.push_back("( 1.2." + n + " NAME '" + hostile[i] + "' )");
        classes.push_back("( 1.3." + n + " NAME ( 'fine" + n + "' '" + hostile[i] + "' ) )");
        classes.push_back("( 1.4." + n + " NAME 'ok" + n + "' X-NDS_NAME '" + hostile[i] + "' )");
        attributes.push_back("( 1.5." + n + " NAME '" + hostile[i] + "' )");
    }
    const SchemaMapping m = Map(classes, attributes);
    EXPECT_THAT(ClassNames(m.tree), ElementsAre("back\\slash", "Zweig \xC3\xBC"));
    EXPECT_THAT(AttrNames(m.tree), IsEmpty());
    ASSERT_EQ(m.skipped.size(), 4 * std::size(hostile));
    for (const SkippedDefinition& skip : m.skipped)
        EXPECT_THAT(skip.reason, StartsWith("a name holds ")) << skip.text;

    // The message shows each definition on one line of its own, escaped.
    const std::string text = SkippedDefinitionsText(m.skipped, "dump\x1B[2J.ldif");
    EXPECT_THAT(text, StartsWith("dump\\x1B[2J.ldif: 5 attribute type definitions, 15 object "
                                 "class definitions left out:\n"));
    EXPECT_THAT(text, HasSubstr("\n- ( 1.2.0 NAME '\\x1B]0;T\\x07\\x1B[2J' ): a name holds"));
    EXPECT_THAT(text, HasSubstr("\n- ( 1.2.3 NAME 'csi\\u009B1m' ): "));
    EXPECT_THAT(text, HasSubstr("\n- ( 1.5.4 NAME 'raw\\x9B' ): "));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 20);
    std::string withoutLineEnds = text;
    std::erase(withoutLineEnds, '\n');
    EXPECT_FALSE(HoldsControlChar(withoutLineEnds));
}

TEST(LdapMapping, AMacroHoldingANulByteIsLeftOut) {
    SchemaDefinitions d;
    d.oidMacros = {{"Good", "1.3.6.1.4.1.99999"}, {"Bad", std::string("1.2\0x", 5)}};
    d.objectClasses = {"( Good:1 NAME 'kept' )", "( Bad:1 )"};
    const SchemaMapping m = MapSchema(d);
    // Without the macro, "Bad:1" is no OID: no class is named by a text holding a NUL.
    for (const SimClass& c : m.tree.classes) {
        EXPECT_FALSE(c.name.empty());
        EXPECT_EQ(c.name.find('\0'), std::string::npos);
    }
    EXPECT_EQ(Asn1IdText(m.tree.classes.at(0).id), "1.3.6.1.4.1.99999.1");
    ASSERT_FALSE(m.skipped.empty());
    EXPECT_EQ(m.skipped[0].kind, "object identifier");
    EXPECT_THAT(m.skipped[0].reason, HasSubstr("NUL"));
}

TEST(LdapMapping, LongSupChainsInheritTheSyntaxAtTheirRoot) {
    // Each type names the one before it as SUP; only the root has a syntax. Published
    // youngest first, so a walk per type would go the whole way down every time.
    constexpr int kDepth = 16000;
    std::vector<std::string> attrs;
    for (int i = kDepth; i >= 1; --i)
        attrs.push_back("( 1.9." + std::to_string(i) + " NAME 'a" + std::to_string(i) + "' SUP a" +
                        std::to_string(i - 1) + " )");
    attrs.push_back("( 1.9.0 NAME 'a0' SYNTAX 1.3.6.1.4.1.1466.115.121.1.27{9} )");
    attrs.push_back("( 1.8.1 NAME 'orphan' SUP missing )");
    attrs.push_back("( 1.8.2 NAME 'c1' SUP c2 )");
    attrs.push_back("( 1.8.3 NAME 'c2' SUP c1 )");
    const SchemaMapping m = Map({}, attrs);
    ASSERT_EQ(m.tree.attributes.size(), static_cast<std::size_t>(kDepth + 4));
    for (const char* name : {"a16000", "a8000", "a1", "a0"}) {
        const SimAttr* a = FindAttr(m.tree, name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(a->info.attrSyntaxID, 8u) << name;  // INTEGER
        EXPECT_EQ(a->info.attrUpper, 9) << name;
    }
    for (const char* name : {"orphan", "c1", "c2"}) {
        const SimAttr* a = FindAttr(m.tree, name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(a->info.attrSyntaxID, 0u) << name;
        EXPECT_EQ(a->info.attrFlags & 0x02u, 0u) << name;
    }
}

// Every OID-valued field of every element type, written through macros: each element is
// kept with its fields expanded (a structure rule's numbers stay), and the records read the
// expanded OIDs.
TEST(LdapMapping, KeepsEveryElementTypeWithItsMacrosExpanded) {
    SchemaDefinitions d;
    d.oidMacros = {{"Base", "1.3.6.1.4.1.99999"}, {"BaseAt", "Base:1"}};
    d.ldapSyntaxes = {"( Base:3 DESC 'native' X-NDS_SYNTAX '9' )", "( DESC 'no oid' )"};
    d.matchingRules = {"( Base:4 NAME 'siteMatch' SYNTAX Base:3 )", "( Base:6 NAME 'x' )"};
    d.attributeTypes = {
        "( BaseAt:1 NAME 'one' SUP BaseAt:2 EQUALITY Base:4 ORDERING Base:4 SUBSTR Base:4 "
        "SYNTAX Base:3{32} )",
        "( BaseAt:2 NAME 'two' SYNTAX Base:3 )"};
    d.matchingRuleUse = {"( Base:4 APPLIES ( BaseAt:1 $ two ) )"};
    d.objectClasses = {
        "( Base:2.1 NAME 'thing' SUP ( top $ Base:2.0 ) AUXILIARY MUST BaseAt:1 MAY two )"};
    d.dITContentRules = {"( Base:2.1 AUX Base:2.2 MUST BaseAt:1 MAY two NOT BaseAt:9 )"};
    d.nameForms = {"( Base:5 NAME 'thingForm' OC Base:2.1 MUST BaseAt:1 )"};
    d.dITStructureRules = {"( 7 NAME 'thingRule' FORM Base:5 SUP ( 3 4 ) )"};
    const TreeSchema m = MapLdapSchema(d);

    const std::string b = "1.3.6.1.4.1.99999.";
    auto fields = [](const LdapElement& e) {
        std::string out = e.oid;
        auto add = [&out](const char* label, const std::vector<std::string>& values) {
            for (const std::string& v : values) out += std::string(" ") + label + "=" + v;
        };
        for (const auto& [label, value] : {std::pair{"eq", &e.equality},
                                           {"ord", &e.ordering},
                                           {"sub", &e.substr},
                                           {"syn", &e.syntax},
                                           {"len", &e.syntaxLength},
                                           {"form", &e.form},
                                           {"oc", &e.structuralClass}})
            if (!value->empty()) out += std::string(" ") + label + "=" + *value;
        add("sup", e.sup);
        add("must", e.must);
        add("may", e.may);
        add("aux", e.aux);
        add("not", e.nots);
        add("applies", e.applies);
        return out;
    };
    const std::pair<ElementType, std::vector<std::string>> expected[] = {
        {ElementType::LdapSyntax, {b + "3"}},
        {ElementType::MatchingRule, {b + "4 syn=" + b + "3"}},
        {ElementType::AttributeType,
         {b + "1.1 eq=" + b + "4 ord=" + b + "4 sub=" + b + "4 syn=" + b + "3 len=32 sup=" + b +
              "1.2",
          b + "1.2 syn=" + b + "3"}},
        {ElementType::MatchingRuleUse, {b + "4 applies=" + b + "1.1 applies=two"}},
        {ElementType::ObjectClass, {b + "2.1 sup=top sup=" + b + "2.0 must=" + b + "1.1 may=two"}},
        {ElementType::DitContentRule,
         {b + "2.1 must=" + b + "1.1 may=two aux=" + b + "2.2 not=" + b + "1.9"}},
        {ElementType::NameForm, {b + "5 oc=" + b + "2.1 must=" + b + "1.1"}},
        {ElementType::DitStructureRule, {"7 form=" + b + "5 sup=3 sup=4"}},
    };
    for (const auto& [type, elements] : expected) {
        SCOPED_TRACE(std::string(ElementAttribute(type)));
        EXPECT_TRUE(m.published.publishes(type));
        std::vector<std::string> got;
        for (const LdapElement& e : m.published.of(type)) got.push_back(fields(e));
        EXPECT_EQ(got, elements);
    }
    // The text a fix-up document writes is expanded too.
    EXPECT_EQ(m.published.of(ElementType::AttributeType)[0].text,
              "( " + b + "1.1 NAME 'one' SUP " + b + "1.2 EQUALITY " + b + "4 ORDERING " + b +
                  "4 SUBSTR " + b + "4 SYNTAX " + b + "3{32} )");
    std::vector<std::string> skipped;
    for (const SkippedDefinition& s : m.skipped) skipped.push_back(s.kind + ": " + s.reason);
    EXPECT_THAT(skipped, ElementsAre("syntax: it has no OID",
                                     StartsWith("matching rule: missing required field SYNTAX")));

    // The records come from the elements: the syntax tagged under its macro OID counts.
    ASSERT_EQ(m.attributes.size(), 2u);
    EXPECT_TRUE(m.ndsStyle);
    EXPECT_EQ(AttributeRecord(m, m.attributes[0]).info.attrSyntaxID, 9u);
    EXPECT_EQ(m.elementOf(m.attributes[1]), &m.published.of(ElementType::AttributeType)[1]);
    ASSERT_EQ(m.classes.size(), 1u);
    EXPECT_EQ(m.findClass("THING"), &m.classes[0]);
    const SimClass thing = ClassRecord(m, m.classes[0]);
    EXPECT_THAT(thing.items[0], ElementsAre("top", b + "2.0"));
    EXPECT_THAT(thing.items[3], ElementsAre(b + "1.1"));
}

TEST(LdapMapping, ATypeIsPublishedWhenTheSourceGivesIt) {
    SchemaDefinitions d;
    d.attributeTypes = {"( 2.5.4.3 NAME 'cn' )"};
    d.matchingRules = {"( 2.5.13.2 NAME 'caseIgnoreMatch' BOGUS )"};
    d.given[static_cast<std::size_t>(ElementType::NameForm)] = true;
    const TreeSchema m = MapLdapSchema(d);
    for (int t = 0; t < kElementTypes; ++t) {
        const auto type = static_cast<ElementType>(t);
        EXPECT_EQ(m.published.publishes(type), type == ElementType::AttributeType ||
                                                   type == ElementType::MatchingRule ||
                                                   type == ElementType::NameForm)
            << ElementAttribute(type);
    }
    EXPECT_THAT(m.published.of(ElementType::MatchingRule), IsEmpty());
}

// ---- Files and LDIF

TEST(SchemaFiles, SchemaDirectivesWithContinuationsCommentsAndMacros) {
    SchemaDefinitions d;
    std::vector<SkippedDefinition> skipped;
    ParseSchemaFileText(
        "# a comment\r\n"
        "objectIdentifier Base 1.3.6.1.4.1.99999\n"
        "ObjectIdentifier BaseAt Base:1\n"
        "attributetype ( BaseAt:7 NAME 'seven'\n"
        "\tDESC 'a type'\n"
        "#\tthis line is a comment\n"
        "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 )\n"
        "\n"
        "objectclass ( Base:2.1 NAME 'thing' MAY seven )\n"
        "ldapsyntax ( Base:3 DESC 'x' X-NDS_SYNTAX '9' )\n"
        "objectidentifier broken\n"
        "include other.schema\n",
        d, skipped);
    EXPECT_THAT(d.attributeTypes, ElementsAre("( BaseAt:7 NAME 'seven' DESC 'a type' SYNTAX "
                                              "1.3.6.1.4.1.1466.115.121.1.27 )"));
    EXPECT_THAT(d.objectClasses, ElementsAre("( Base:2.1 NAME 'thing' MAY seven )"));
    EXPECT_EQ(d.ldapSyntaxes.size(), 1u);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].kind, "object identifier");

    const SchemaMapping m = MapSchema(d);
    ASSERT_EQ(m.tree.attributes.size(), 1u);
    EXPECT_EQ(Asn1IdText(m.tree.attributes[0].info.asn1ID), "1.3.6.1.4.1.99999.1.7");
    EXPECT_EQ(Asn1IdText(m.tree.classes.at(0).id), "1.3.6.1.4.1.99999.2.1");
}

TEST(SchemaFiles, LdifWithFoldingBase64AndConfigForms) {
    SchemaDefinitions d;
    std::vector<SkippedDefinition> skipped;
    // "( 1.1 NAME 'b64' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )" in base64, folded.
    ParseLdifText(
        "version: 1\n"
        "# objectClasses: ( 9.9 NAME 'commented'\n"
        "  )\n"
        "dn: cn=Subschema\n"
        "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass\n"
        "  )\n"
        "attributeTypes:: KCAxLjEgTkFNRSAnYjY0JyBTWU5UQVggMS4zLjYuMS40LjEuMTQ2Ni4xMTUu\n"
        " MTIxLjEuMTUgKQ==\n"
        "AttributeTypes;binary: ( 1.2 NAME 'opt' )\n"
        "attributeTypes:: not*base64\n"
        "attributeTypes:< file:///etc/passwd\n"
        "cn: Subschema\n"
        "\n"
        "dn: cn=x,cn=schema,cn=config\n"
        "olcObjectIdentifier: {0}Base 1.3.6.1.4.1.99999\n"
        "olcAttributeTypes: {0}( Base:1 NAME 'fromConfig'\n"
        "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n"
        "olcObjectClasses: {12}( Base:2 NAME 'cfg' )\n",
        d, skipped);
    EXPECT_THAT(d.objectClasses, ElementsAre("( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
                                             "( Base:2 NAME 'cfg' )"));
    EXPECT_THAT(
        d.attributeTypes,
        ElementsAre("( 1.1 NAME 'b64' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )", "( 1.2 NAME 'opt' )",
                    "( Base:1 NAME 'fromConfig' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"));
    EXPECT_EQ(d.oidMacros.size(), 1u);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_THAT(skipped[0].reason, HasSubstr("base64"));
    EXPECT_THAT(skipped[1].reason, HasSubstr("URL"));
}

TEST(SchemaFiles, LdifWithCrLfRecordsWithoutDnAndUrlsLeftUnread) {
    TempDir dir;
    const std::string planted = dir.write("planted", "( 7.7 NAME 'planted' )");
    SchemaDefinitions d;
    std::vector<SkippedDefinition> skipped;
    ParseLdifText(
        "objectClasses: ( 2.5.6.6 NAME 'person'\r\n"
        "  SUP top )\r\n"
        "attributeTypes:< file://" +
            planted +
            "\r\n"
            "\r\n"
            "# a second record\r\n"
            "dn: cn=schema\r\n"
            "attributeTypes:: KCA3LjggTkFNRSAnYicgKQ==\r\n",
        d, skipped);
    EXPECT_THAT(d.objectClasses, ElementsAre("( 2.5.6.6 NAME 'person' SUP top )"));
    // The URL's file is never opened: its definition is nowhere.
    EXPECT_THAT(d.attributeTypes, ElementsAre("( 7.8 NAME 'b' )"));
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_THAT(skipped[0].reason, HasSubstr("URL"));
}

TEST(SchemaFiles, EveryElementTypeIsRead) {
    SchemaDefinitions d;
    std::vector<SkippedDefinition> skipped;
    ParseSchemaFileText(
        "ditcontentrule ( 2.5.6.6 AUX x )\n"
        "matchingRules ( 1.2 NAME 'm' SYNTAX 1.3 )\n"
        "nameforms ( 1.5 OC person MUST cn )\n",
        d, skipped);
    EXPECT_THAT(d.dITContentRules, ElementsAre("( 2.5.6.6 AUX x )"));
    EXPECT_THAT(d.matchingRules, ElementsAre("( 1.2 NAME 'm' SYNTAX 1.3 )"));
    EXPECT_THAT(d.nameForms, ElementsAre("( 1.5 OC person MUST cn )"));

    SchemaDefinitions l;
    ParseLdifText(
        "dn: cn=Subschema\n"
        "matchingRules: ( 1 )\n"
        "MatchingRuleUse: ( 2 )\n"
        "dITContentRules: ( 3 )\n"
        "dITStructureRules: ( 4 )\n"
        "nameForms: ( 5 )\n"
        "ldapSyntaxes:: not*base64\n"
        "\n"
        "dn: cn=x,cn=schema,cn=config\n"
        "olcDitContentRules: {0}( 6 )\n",
        l, skipped);
    EXPECT_THAT(l.matchingRules, ElementsAre("( 1 )"));
    EXPECT_THAT(l.matchingRuleUse, ElementsAre("( 2 )"));
    EXPECT_THAT(l.dITContentRules, ElementsAre("( 3 )", "( 6 )"));
    EXPECT_THAT(l.dITStructureRules, ElementsAre("( 4 )"));
    EXPECT_THAT(l.nameForms, ElementsAre("( 5 )"));
    // A value that does not decode still says the dump publishes its type.
    EXPECT_THAT(l.ldapSyntaxes, IsEmpty());
    EXPECT_TRUE(l.given[static_cast<std::size_t>(ElementType::LdapSyntax)]);
    EXPECT_FALSE(l.given[static_cast<std::size_t>(ElementType::ObjectClass)]);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].kind, "syntax");
}

TEST(SchemaFiles, FormatFromNameThenContent) {
    EXPECT_EQ(DetectSchemaFileFormat("a/core.LDIF", "attributetype ( 1 )"), SchemaFileFormat::Ldif);
    EXPECT_EQ(DetectSchemaFileFormat("core.schema", "dn: cn=x"), SchemaFileFormat::Schema);
    EXPECT_EQ(DetectSchemaFileFormat("dump.txt", "# c\n\ndn: cn=Subschema\n"),
              SchemaFileFormat::Ldif);
    EXPECT_EQ(DetectSchemaFileFormat("x.txt", "attributetype ( Base:1 NAME 'a' )"),
              SchemaFileFormat::Schema);
    EXPECT_EQ(DetectSchemaFileFormat("x", ""), SchemaFileFormat::Schema);
}

// ---- Through the client

class SourceTrees : public ::testing::Test {
  protected:
    std::unique_ptr<DirClient> client(const std::string& connections) {
        return CreateClientFromConfig(
            dir.write("client.json", "{\"connections\": [" + connections + "]}"));
    }
    // Starts the session and lists the trees as the window does.
    std::vector<std::string> start(DirClient& c) {
        NwSession session;
        EXPECT_EQ(InitNetWare(c, session, ui) & 0xFFFF, 0u) << ::testing::PrintToString(ui.texts());
        std::vector<std::string> trees;
        ListReachableTrees(c, ui, trees);
        return trees;
    }
    TempDir dir;
    RecordingUi ui;
};

// Loaded whole, a tree with definitions left out says so once, and the client explains
// the code as it does its own.
void ExpectOneSkippedNotice(DirClient& client, const std::string& tree) {
    const std::shared_ptr<SchemaSource> source = client.treeSource(tree);
    ASSERT_TRUE(source);
    const SchemaLoad load = source->load();
    ASSERT_TRUE(load.schema);
    ASSERT_EQ(load.notices.size(), 1u);
    EXPECT_EQ(load.notices[0].code, ldapcode::kBadSchema);
    EXPECT_FALSE(load.notices[0].explanation().empty());
    EXPECT_THAT(ClientErrorText(client, ldapcode::kBadSchema),
                HasSubstr(load.notices[0].explanation()));
}

TEST_F(SourceTrees, SchemaFilesServeATreeWithTheSkippedDefinitionsReported) {
    dir.write("base.schema",
              "attributetype ( 2.5.4.3 NAME 'cn' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n"
              "attributetype ( 9.1 NAME 'bad' SYNTAX )\n"
              "objectclass ( 2.5.6.0 NAME 'top' ABSTRACT )\n");
    dir.write("extra.ldif",
              "dn: cn=Subschema\nobjectClasses: ( 9.2 NAME 'person' SUP top "
              "MUST cn )\nobjectClasses: ( 9.3 NAME 'worse' WHAT )\n");
    auto c = client(R"({"kind": "schema-files", "files": ["base.schema", "extra.ldif"],
                        "defaultContext": "o=files"})");
    EXPECT_THAT(start(*c), ElementsAre("base"));
    DirContext context = 0;
    c->dcNewContext(context);
    ASSERT_EQ(DSChangeCurrentTree(*c, context, "BASE"), 0);
    std::array<char, DCK_TEXT_SIZE> nameContext{};
    c->dcReadContext(context, DCK_NAME_CONTEXT, nameContext.data());
    EXPECT_STREQ(nameContext.data(), "o=files");

    // Every good name arrives; the tree loaded whole says what was left out.
    NameList classes, attrs;
    EXPECT_EQ(U_DSReadAvailableClasses(*c, context, classes), 0);
    EXPECT_EQ(U_DSReadAvailableAttributes(*c, context, "*", attrs), 0);
    ExpectOneSkippedNotice(*c, "BASE");
    ASSERT_EQ(classes.size(), 2u);
    EXPECT_EQ(classes[0].name, "top");
    EXPECT_EQ(classes[1].name, "person");
    EXPECT_EQ(classes[1].number, 0x02u);
    ASSERT_EQ(attrs.size(), 1u);
    EXPECT_EQ(attrs[0].name, "cn");
    const std::string explained = ClientErrorText(*c, ldapcode::kBadSchema);
    EXPECT_THAT(explained, HasSubstr("base.schema and " + dir.file("extra.ldif")));
    EXPECT_THAT(explained, HasSubstr("1 attribute type definition, 1 object class definition"));
    // Each named by the file and line the definition begins on.
    EXPECT_THAT(explained,
                HasSubstr("\n- " + dir.file("base.schema") + ":2: ( 9.1 NAME 'bad' SYNTAX )"));
    EXPECT_THAT(explained, HasSubstr("\n- " + dir.file("extra.ldif") + ":3: ( 9.3 NAME 'worse'"));

    // The definitions themselves read as usual.
    std::vector<std::string> must;
    EXPECT_EQ(U_DSReadAttributes(*c, ui, context, "person", 3, must), 0);
    EXPECT_THAT(must, ElementsAre("cn"));
    std::string definition;
    EXPECT_EQ(U_DSGetAttributeInfo(*c, context, "cn", definition), 0);
    EXPECT_EQ(definition, "CI_STRING");
    c->dcDropContext(context);
}

TEST_F(SourceTrees, NamesComeWholeOrTheirDefinitionIsLeftOutNamingThem) {
    // Two names alike in their first 255 bytes stay two; names as long as the reads take
    // come whole through the tightest read of each; a longer one is left out and named,
    // never cut.
    const std::string common(255, 'x');
    const std::string first = common + std::string(45, '1');
    const std::string second = common + std::string(45, '2');
    const std::string longestAttr(kMaxAttrNameBytes, 'a');
    const std::string longestClass(kMaxClassNameBytes, 'C');
    const std::string tooLongAttr = "tooLongAttr" + longestAttr;
    const std::string tooLongClass = "tooLongClass" + longestClass;
    const std::vector<std::string> lines = {
        "attributetype ( 1.1 NAME '" + first + "' )",
        "attributetype ( 1.2 NAME '" + second + "' )",
        "attributetype ( 1.3 NAME '" + tooLongAttr + "' )",
        "attributetype ( 1.4 NAME '" + longestAttr + "' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
        // Ahead of every other class: a cut here used to end the class list.
        "objectclass ( 2.1 NAME '" + tooLongClass + "' )",
        "objectclass ( 2.2 NAME '" + longestClass + "' MUST " + first + " )",
        "objectclass ( 2.3 NAME 'person' )",
        // An item read would cut what it names.
        "objectclass ( 2.4 NAME 'refersTooFar' MAY " + std::string(4096, 'r') + " )",
    };
    std::string schema;
    for (const std::string& line : lines) schema += line + "\n";
    dir.write("long.schema", schema);
    auto c = client(R"({"kind": "schema-files", "treeName": "LONG", "files": ["long.schema"]})");
    EXPECT_THAT(start(*c), ElementsAre("LONG"));
    DirContext context = 0;
    c->dcNewContext(context);
    ASSERT_EQ(DSChangeCurrentTree(*c, context, "LONG"), 0);

    NameList classes, attrs;
    EXPECT_EQ(U_DSReadAvailableClasses(*c, context, classes), 0);
    EXPECT_THAT(Names(classes), ElementsAre(longestClass, "person"));
    EXPECT_EQ(U_DSReadAvailableAttributes(*c, context, "*", attrs), 0);
    EXPECT_THAT(Names(attrs), ElementsAre(first, second, longestAttr));
    ExpectOneSkippedNotice(*c, "LONG");
    const std::string explained = ClientErrorText(*c, ldapcode::kBadSchema);
    EXPECT_THAT(explained, HasSubstr("1 attribute type definition, 2 object class definitions"));
    EXPECT_THAT(explained, HasSubstr("its name \"" + tooLongAttr.substr(0, 40) +
                                     "...\" has 4046 bytes, more than the 4035 the reads take"));
    EXPECT_THAT(explained, HasSubstr("its name \"" + tooLongClass.substr(0, 40) +
                                     "...\" has 4059 bytes, more than the 4047 the reads take"));
    EXPECT_THAT(explained, HasSubstr("it names \"" + std::string(40, 'r') +
                                     "...\" (4096 bytes), more than the 4095 an item read takes"));

    std::string definition;
    EXPECT_EQ(U_DSGetAttributeInfo(*c, context, longestAttr, definition), 0);
    EXPECT_EQ(definition, "CI_STRING");
    DirClassInfo info;
    EXPECT_EQ(U_DSGetClassDef(*c, context, longestClass, info), 0);
    std::vector<std::string> must;
    EXPECT_EQ(U_DSReadAttributes(*c, ui, context, longestClass, 3, must), 0);
    EXPECT_THAT(must, ElementsAre(first));
    c->dcDropContext(context);
}

TEST_F(SourceTrees, FilesAreReadAgainAtEveryTreeChange) {
    const std::string file = dir.write("one.schema", "objectclass ( 1.1 NAME 'first' )\n");
    auto c = client(R"({"kind": "schema-files", "treeName": "FILES", "file": "one.schema"},
                       {"kind": "schema-files", "treeName": "OTHER", "file": "one.schema"})");
    EXPECT_THAT(start(*c), ElementsAre("FILES", "OTHER"));
    DirContext context = 0;
    c->dcNewContext(context);
    ASSERT_EQ(DSChangeCurrentTree(*c, context, "FILES"), 0);
    NameList before;
    U_DSReadAvailableClasses(*c, context, before);
    dir.write("one.schema",
              "objectclass ( 1.1 NAME 'first' )\nobjectclass ( 1.2 NAME 'second' )\n");
    NameList same;
    U_DSReadAvailableClasses(*c, context, same);
    EXPECT_EQ(same.size(), 1u);  // no tree change, no new read
    ASSERT_EQ(DSChangeCurrentTree(*c, context, "OTHER"), 0);
    ASSERT_EQ(DSChangeCurrentTree(*c, context, "FILES"), 0);
    NameList after;
    U_DSReadAvailableClasses(*c, context, after);
    EXPECT_EQ(before.size(), 1u);
    EXPECT_EQ(after.size(), 2u);

    // A file that went away fails the change, names the file, and leaves the context as it was.
    std::filesystem::remove(file);
    EXPECT_EQ(DSChangeCurrentTree(*c, context, "OTHER"), ldapcode::kFileError);
    EXPECT_EQ(ContextTreeName(*c, context), "FILES");
    EXPECT_EQ(ClientErrorText(*c, ldapcode::kFileError),
              "0xFFFFFD88 (" + file + ": No such file or directory)");
    c->dcDropContext(context);
}

// A folder gives its .schema and .ldif files in name order (X.ldif only without X.schema);
// a pattern its matches; anything that cannot be read is named, never waited for.
TEST(SchemaFileFolders, FoldersAndPatternsInNameOrderAndHostileEntriesNamed) {
    TempDir dir;
    auto define = [](const std::string& oid, const std::string& name) {
        return "objectclass ( " + oid + " NAME '" + name + "' )\n";
    };
    for (const char* folder : {"s", "empty", "fifo", "loop", "many"})
        std::filesystem::create_directory(dir.file(folder));
    dir.write("s/b.schema", define("1.2", "fromB"));
    dir.write("s/a.schema", define("1.1", "fromA"));
    dir.write("s/b.ldif", "dn: cn=b\nolcObjectClasses: {0}( 1.2 NAME 'fromB' )\n");
    dir.write("s/c.ldif", "dn: cn=c\nolcObjectClasses: {0}( 1.3 NAME 'fromC' )\n");
    dir.write("s/notes.txt", "not a schema");
    dir.write("s/.hidden.schema", define("1.9", "hidden"));
    dir.write("empty/readme", "");
    ASSERT_EQ(::mkfifo(dir.file("fifo/x.schema").c_str(), 0600), 0);
    std::filesystem::create_symlink("self.schema", dir.file("loop/self.schema"));
    std::filesystem::create_symlink("knot", dir.file("knot"));

    struct Case {
        std::vector<std::string> files;
        std::vector<std::string> classes;  // in the order read; empty: the load fails
        std::string says;                  // in the failure
    };
    const Case cases[] = {
        {{dir.file("s")}, {"fromA", "fromB", "fromC"}, ""},
        {{dir.file("s") + "/"}, {"fromA", "fromB", "fromC"}, ""},
        {{dir.file("s/*.ldif")}, {"fromB", "fromC"}, ""},
        // Each file once, in the order given.
        {{dir.file("s/c.ldif"), dir.file("s/?.schema"), dir.file("s")},
         {"fromC", "fromA", "fromB"},
         ""},
        {{dir.file("s/*.none")}, {}, dir.file("s/*.none") + ": no file matches"},
        {{dir.file("empty")}, {}, dir.file("empty") + ": no .schema or .ldif file in this folder"},
        {{dir.file("nowhere/*.schema")}, {}, dir.file("nowhere") + ": cannot be listed"},
        {{dir.file("fifo")}, {}, dir.file("fifo/x.schema") + ": not a regular file"},
        {{dir.file("loop")}, {}, dir.file("loop/self.schema") + ": cannot be read"},
        {{dir.file("knot")}, {}, dir.file("knot") + ": cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.front());
        SchemaFilesSource source(SchemaFilesSettings{c.files, "", SchemaFileFormat::Detect});
        const SchemaLoad load = source.load();
        if (c.classes.empty()) {
            EXPECT_EQ(load.failure.code, ldapcode::kFileError);
            EXPECT_THAT(load.failure.explanation(), HasSubstr(c.says));
            continue;
        }
        ASSERT_EQ(load.failure.code, 0) << load.failure.explanation();
        std::vector<std::string> names;
        for (const SchemaClass& cls : load.schema->classes) names.push_back(cls.name);
        EXPECT_EQ(names, c.classes);
        EXPECT_THAT(load.schema->skipped, IsEmpty());
    }
    EXPECT_EQ(SchemaFilesSource(SchemaFilesSettings{{dir.file("s")}, "", {}}).treeName(), "s");
    EXPECT_EQ(SchemaFilesSource(SchemaFilesSettings{{dir.file("s/*.ldif")}, "", {}}).treeName(),
              "s");

    // More files than any schema collection has is refused before they are read.
    for (int i = 0; i < 1001; ++i) dir.write("many/" + std::to_string(i) + ".schema", "");
    const SchemaLoad many =
        SchemaFilesSource(SchemaFilesSettings{{dir.file("many")}, "", {}}).load();
    EXPECT_THAT(many.failure.explanation(), HasSubstr("more than 1000 schema files"));
}

// Files hold their places by number: each definition left out, by the reader or by the
// mapping, is named by its own file and the line it begins on, past comments, CR LF line
// ends, continuations and folds.
TEST(SchemaFiles, EachDefinitionLeftOutIsNamedByItsFileAndLine) {
    TempDir dir;
    const std::string a = dir.write("a.schema",
                                    "# one\n"
                                    "attributetype ( 1.1 NAME 'twice' )\n"
                                    "\n"
                                    "attributetype ( 1.2\n"
                                    "  NAME 'noSyntax' SYNTAX )\n"
                                    "objectidentifier lonely\n");
    const std::string b = dir.write("b.ldif",
                                    "dn: cn=Subschema\r\n"
                                    "# attributeTypes: ( 9.9 NAME 'commented' )\r\n"
                                    "attributeTypes: ( 1.3\r\n"
                                    "  NAME 'twice' )\r\n"
                                    "objectClasses: ( 2.1 NAME 'what' WHAT )\r\n"
                                    "attributeTypes:< file:///nowhere\r\n"
                                    "matchingRules:: not*base64\r\n");
    const std::string c =
        dir.write("c.schema",
                  "objectclass ( 2.2 NAME '" + std::string(kMaxClassNameBytes + 1, 'L') + "' )\n");
    const SchemaLoad load =
        SchemaFilesSource(SchemaFilesSettings{{a, b, c}, "", SchemaFileFormat::Detect}).load();
    ASSERT_TRUE(load.schema);
    const std::pair<std::string, std::string> expected[] = {
        {"lonely", a + ":6"},   {"NAME 'noSyntax'", a + ":4"}, {"1.3 NAME 'twice'", b + ":3"},
        {"WHAT", b + ":5"},     {"file:///nowhere", b + ":6"}, {"not*base64", b + ":7"},
        {"LLLLLLLL", c + ":1"},
    };
    ASSERT_EQ(load.schema->skipped.size(), std::size(expected));
    for (const auto& [marker, place] : expected) {
        const auto found = std::find_if(
            load.schema->skipped.begin(), load.schema->skipped.end(),
            [&](const SkippedDefinition& s) { return s.text.find(marker) != std::string::npos; });
        ASSERT_NE(found, load.schema->skipped.end()) << marker;
        EXPECT_EQ(found->place, place) << marker;
    }
}

TEST_F(SourceTrees, NothingReadableIsAnError) {
    dir.write("empty.schema", "# nothing\n");
    dir.write("bad.schema", "objectclass ( 1.1 NAME )\n");
    auto c = client(R"({"kind": "schema-files", "treeName": "EMPTY", "file": "empty.schema"},
                       {"kind": "ldif", "treeName": "BAD", "file": "bad.schema"})");
    start(*c);
    DirContext context = 0;
    c->dcNewContext(context);
    EXPECT_EQ(DSChangeCurrentTree(*c, context, "EMPTY"), ldapcode::kNoSubschema);
    EXPECT_THAT(ClientErrorText(*c, ldapcode::kNoSubschema),
                HasSubstr("no object class or attribute type definitions"));
    // Read as LDIF the file holds nothing; read as a schema file it would not parse.
    EXPECT_EQ(DSChangeCurrentTree(*c, context, "BAD"), ldapcode::kNoSubschema);
    c->dcDropContext(context);
}

// ---- Configuration

struct BadEntry {
    const char* label;
    const char* connection;
    const char* message;
};

class SourceConfig : public ::testing::TestWithParam<BadEntry> {};

TEST_P(SourceConfig, SaysWhatIsWrong) {
    ClientConfig config;
    std::string error;
    const std::string json = std::string("{\"connections\": [") + GetParam().connection + "]}";
    // The entry is left out, named by its number; the file itself still reads.
    ASSERT_TRUE(ParseClientConfig(QByteArray::fromStdString(json), "/base", config, error));
    EXPECT_THAT(config.connections, IsEmpty());
    ASSERT_EQ(config.leftOut.size(), 1u);
    EXPECT_THAT(config.leftOut[0], StartsWith("connection 1"));
    EXPECT_THAT(config.leftOut[0], HasSubstr(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SourceConfig,
    ::testing::Values(
        BadEntry{"NoUri", R"({"kind": "ldap"})", "\"uri\" is missing"},
        BadEntry{"NotLdap", R"({"kind": "ldap", "uri": "http://x/"})", "not an LDAP address"},
        BadEntry{"Garbage", R"({"kind": "ldap", "uri": "ldap://[x"})", "not an LDAP address"},
        BadEntry{"StartTlsOnLdaps", R"({"kind": "ldap", "uri": "ldaps://x/", "startTls": true})",
                 "needs an ldap:// address"},
        BadEntry{"StartTlsNotBool", R"({"kind": "ldap", "uri": "ldap://x/", "startTls": 1})",
                 "true or false"},
        BadEntry{"DnWithoutPassword", R"({"kind": "ldap", "uri": "ldap://x/", "bindDn": "cn=a"})",
                 "go together"},
        BadEntry{"PasswordWithoutDn",
                 R"({"kind": "ldap", "uri": "ldap://x/", "passwordFile": "pw"})", "go together"},
        BadEntry{"ZeroTimeout", R"({"kind": "ldap", "uri": "ldap://x/", "timeout": 0})",
                 "\"timeout\""},
        BadEntry{"TextTimeout", R"({"kind": "ldap", "uri": "ldap://x/", "timeout": "5"})",
                 "\"timeout\""},
        BadEntry{"PasswordInline", R"({"kind": "ldap", "uri": "ldap://x/", "password": "s"})",
                 "unknown key \"password\""},
        BadEntry{"EmptyCa", R"({"kind": "ldap", "uri": "ldap://x/", "caFile": ""})", "\"caFile\""},
        BadEntry{"CleartextNotBool",
                 R"({"kind": "ldap", "uri": "ldap://x/", "allowCleartextBind": "yes"})",
                 "\"allowCleartextBind\": expected true or false"},
        BadEntry{"NoFiles", R"({"kind": "schema-files"})", "\"files\""},
        BadEntry{"BothFileKeys", R"({"kind": "schema-files", "file": "a", "files": ["b"]})",
                 "\"files\""},
        BadEntry{"EmptyFiles", R"({"kind": "schema-files", "files": []})", "\"files\""},
        BadEntry{"FileNotText", R"({"kind": "ldif", "files": [3]})", "expected a file name"},
        BadEntry{"TreeFileKey", R"({"kind": "ldif", "file": "a", "treeFile": "b"})",
                 "unknown key \"treeFile\""},
        BadEntry{"UnknownKind", R"({"treeName": "T", "kind": "x500"})", "\"ldap\""}),
    [](const auto& info) { return std::string(info.param.label); });

// The annotated example the package installs is a configuration the programs take whole.
TEST(SourceConfigs, TheAnnotatedExampleIsUsedWhole) {
    ClientConfig config;
    std::string error;
    ASSERT_TRUE(
        ReadClientConfig(KALVIX_SOURCE_DIR "/data/examples/kalvix-client.json", config, error))
        << error;
    EXPECT_THAT(config.leftOut, IsEmpty());
    EXPECT_EQ(config.connections.size(), 4u);
    EXPECT_EQ(config.primary, 0u);
}

TEST(SourceConfigs, ResolvePathsAndLeaveTheNameToTheSource) {
    ClientConfig config;
    std::string error;
    ASSERT_TRUE(ParseClientConfig(
        R"({"connections": [
             {"kind": "ldap", "uri": "ldaps://dir.example.com:1636/", "bindDn": "cn=r",
              "passwordFile": "secret/pw", "caFile": "/etc/ca.pem", "timeout": 0.5},
             {"kind": "schema-files", "treeName": "FILES", "files": ["s/core.schema"]}],
             "primary": "FILES"})",
        "/base", config, error))
        << error;
    ASSERT_EQ(config.connections.size(), 2u);
    EXPECT_EQ(config.connections[0].treeName, "");
    EXPECT_NE(config.connections[0].source, nullptr);
    EXPECT_EQ(config.primary, 1u);

    LdapSettings settings;
    ASSERT_TRUE(ParseLdapSettings(config.connections[0].entry, "/base", settings, error)) << error;
    EXPECT_EQ(settings.passwordFile, "/base/secret/pw");
    EXPECT_EQ(settings.caFile, "/etc/ca.pem");
    EXPECT_EQ(settings.timeoutSeconds, 0.5);
    EXPECT_FALSE(settings.allowCleartextBind);
    EXPECT_EQ(LdapUriHost(settings.uri), "dir.example.com");
    EXPECT_EQ(LdapUriHost("ldap:///"), "localhost");
    EXPECT_EQ(LdapUriHost("ldapi://%2Frun%2Fslapd%2Fldapi"), "localhost");

    SchemaFilesSource files(SchemaFilesSettings{{"/base/s/core.schema"}, "", {}});
    EXPECT_EQ(files.treeName(), "core");
}

}  // namespace
