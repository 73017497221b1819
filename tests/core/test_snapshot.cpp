// Schema files saved from trees that publish their definitions: the texts, where they come
// from and which element types the source publishes come back as they were, compare with
// the live tree without a finding, and what a file cannot keep is refused with the old file
// kept.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "RecordingUi.h"
#include "TempDir.h"
#include "core/SchemaFile.h"
#include "core/TreeLoading.h"
#include "core/compare/Compare.h"
#include "core/model/LdapMapping.h"
#include "core/reconcile/Reconcile.h"
#include "sources/ClientFactory.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

constexpr ElementType kAttr = ElementType::AttributeType;
constexpr ElementType kClass = ElementType::ObjectClass;

using Texts = std::vector<std::pair<ElementType, std::string>>;

// The live tree as its source hands it over, mapped as every LDAP source is.
std::shared_ptr<const TreeSchema> LiveSchema(const SchemaOrigin& origin, const Texts& texts,
                                             const std::vector<ElementType>& publishedEmpty) {
    SchemaDefinitions definitions;
    for (ElementType type : publishedEmpty)
        definitions.given[static_cast<std::size_t>(type)] = true;
    for (const auto& [type, text] : texts) definitions.texts(type).push_back(text);
    auto schema = std::make_shared<TreeSchema>(MapLdapSchema(definitions));
    EXPECT_THAT(schema->skipped, IsEmpty());
    schema->origin = origin;
    return schema;
}

std::string Repeated(const std::string& part, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += part;
    return out;
}

std::string ManyAttributes(int count) {
    std::string list = "attr0";
    for (int i = 1; i < count; ++i) list += " $ attr" + std::to_string(i);
    return list;
}

struct Source {
    const char* what;
    SchemaOrigin origin;
    Texts texts;
    std::vector<ElementType> publishedEmpty;  // published, but without one definition
    // One attribute's matching rule as a later snapshot has it: the text to change, what it
    // becomes, and the finding's values.
    const char* attribute;
    const char* before;
    const char* after;
};

const std::vector<Source>& Sources() {
    static const std::vector<Source> sources = {
        {"an OpenLDAP server",
         {"ldap://ldap.example.com:389", true, "cn=Subschema", false, true, "2026-12-08T06:20:00Z"},
         {
             {ElementType::LdapSyntax, "( 1.3.6.1.4.1.1466.115.121.1.15 DESC 'Directory String' )"},
             {ElementType::MatchingRule,
              "( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"},
             {ElementType::MatchingRuleUse,
              "( 2.5.13.2 NAME 'caseIgnoreMatch' APPLIES ( name $ cn ) )"},
             {kAttr,
              "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch "
              "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )"},
             {kAttr,
              "( 2.5.4.3 NAME ( 'cn' 'commonName' ) DESC 'RFC4519: common name(s)' SUP "
              "name X-ORIGIN ( 'RFC 4519' 'user defined' ) )"},
             {kAttr,
              "( 0.9.2342.19200300.100.1.3 NAME ( 'mail' 'rfc822Mailbox' ) EQUALITY "
              "caseIgnoreIA5Match SUBSTR caseIgnoreIA5SubstringsMatch SYNTAX "
              "1.3.6.1.4.1.1466.115.121.1.26{256} )"},
             {kAttr,
              "( 2.5.18.1 NAME 'createTimestamp' EQUALITY generalizedTimeMatch ORDERING "
              "generalizedTimeOrderingMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.24 "
              "SINGLE-VALUE NO-USER-MODIFICATION USAGE directoryOperation )"},
             {kClass, "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )"},
             {kClass,
              "( 2.5.6.6 NAME 'person' DESC 'RFC2256: a person' SUP top STRUCTURAL "
              "MUST ( sn $ cn ) MAY ( userPassword $ telephoneNumber ) )"},
             {ElementType::DitContentRule,
              "( 2.5.6.6 NAME 'personRule' AUX extensibleObject "
              "MUST mail NOT telephoneNumber )"},
             {ElementType::NameForm, "( 1.3.6.1.4.1.99999.7 NAME 'personByCn' OC person MUST cn )"},
             {ElementType::DitStructureRule, "( 1 NAME 'personRule' FORM personByCn )"},
         },
         {},
         "mail",
         "EQUALITY caseIgnoreIA5Match",
         "EQUALITY caseExactIA5Match"},
        // Texts past what one value of the file holds, and pieces that start or end with
        // blanks, quotes or in the middle of a UTF-8 sequence.
        {"an Active Directory server",
         {"ldaps://dc1.corp.example:636", true,
          "CN=Aggregate,CN=Schema,CN=Configuration,DC=corp,DC=example", true, false},
         {
             {kAttr,
              "( 1.2.840.113556.1.4.1 NAME 'name' EQUALITY caseIgnoreMatch SYNTAX "
              "'1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE NO-USER-MODIFICATION )"},
             {kClass, "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass MAY ( " +
                          ManyAttributes(700) + " ) )"},
             {kAttr, "( 1.2.840.113556.1.4.2 NAME 'blanks' DESC '" + Repeated(" ", 4500) +
                         "' EQUALITY caseIgnoreMatch )"},
             {kAttr, "( 1.2.840.113556.1.4.3 NAME 'quotes' DESC '" + Repeated("\"", 4100) + "' )"},
             {kAttr, "( 1.2.840.113556.1.4.4 NAME 'utf8' DESC '" + Repeated("\xC3\xA9", 1500) +
                         "\xE2\x82\xAC\t\x0B' )"},
         },
         {},
         "name",
         "EQUALITY caseIgnoreMatch",
         "EQUALITY caseExactMatch"},
        {"schema files",
         {"  /etc/schema/core.schema, \"/etc/schema/site.schema\"", false, "", false, false},
         {
             {kAttr,
              "( 1.3.6.1.4.1.99999.1 NAME 'siteCode' DESC '\"quoted\"' EQUALITY "
              "caseExactMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 X-ORIGIN 'site' )"},
             {kClass, "( 1.3.6.1.4.1.99999.2 NAME 'siteThing' SUP top AUXILIARY MAY siteCode )"},
         },
         {ElementType::LdapSyntax, ElementType::MatchingRule},
         "siteCode",
         "EQUALITY caseExactMatch",
         "EQUALITY octetStringMatch"},
    };
    return sources;
}

void ExpectSameElement(const LdapElement& a, const LdapElement& b) {
    const auto extensions = [](const LdapElement& e) {
        std::vector<std::pair<std::string, std::vector<std::string>>> out;
        for (const LdapExtension& x : e.extensions) out.emplace_back(x.name, x.values);
        return out;
    };
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.oid, b.oid);
    EXPECT_EQ(a.names, b.names);
    EXPECT_EQ(a.description, b.description);
    EXPECT_EQ(a.obsolete, b.obsolete);
    EXPECT_EQ(a.sup, b.sup);
    EXPECT_EQ(a.equality, b.equality);
    EXPECT_EQ(a.ordering, b.ordering);
    EXPECT_EQ(a.substr, b.substr);
    EXPECT_EQ(a.syntax, b.syntax);
    EXPECT_EQ(a.syntaxLength, b.syntaxLength);
    EXPECT_EQ(a.singleValue, b.singleValue);
    EXPECT_EQ(a.collective, b.collective);
    EXPECT_EQ(a.noUserModification, b.noUserModification);
    EXPECT_EQ(a.usage, b.usage);
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.must, b.must);
    EXPECT_EQ(a.may, b.may);
    EXPECT_EQ(a.aux, b.aux);
    EXPECT_EQ(a.nots, b.nots);
    EXPECT_EQ(a.applies, b.applies);
    EXPECT_EQ(a.form, b.form);
    EXPECT_EQ(a.structuralClass, b.structuralClass);
    EXPECT_EQ(extensions(a), extensions(b));
    EXPECT_EQ(a.text, b.text);
}

class Snapshot : public ::testing::Test {
  protected:
    Snapshot() : ws(CreateUnavailableClient("")) {
        std::vector<std::string> unknown;
        ws.Fields = FieldFilter::Parse("none", unknown);
    }

    // Slot 1 holds the live tree, as the one slot loader leaves a tree read whole.
    void Live(const Source& source) {
        TTreeInfo& slot = ws.tree(1);
        slot.Online = 1;
        slot.TreeName = "LIVE";
        slot.Schema = LiveSchema(source.origin, source.texts, source.publishedEmpty);
        ASSERT_EQ(ReadSlotNames(ws, ui, 1), 0);
    }

    void Save(int tree, const std::string& path) { SaveSchemaFile(ws, ui, tree, path, {}); }

    // The file in slot 2, as "Load from File" and kalvix-cli take it.
    void Load(const std::string& path) {
        SchemaFileRead read = ReadSchemaFileAside(path, {});
        ASSERT_EQ(read.problem, "");
        ASSERT_FALSE(read.noSchema);
        ws.tree(2) = std::move(read.slot);
    }

    std::vector<std::string> CompareAll() {
        std::vector<std::string> lines;
        const FindingFn sink = FindingLinesTo([&](const std::string& l) { lines.push_back(l); });
        CompareAllAttributes(ws, ui, {}, sink);
        CompareAllClasses(ws, ui, {}, sink);
        CompareOtherElements(ws, sink);
        return lines;
    }

    TempDir dir;
    Workspace ws;
    RecordingUi ui;
};

TEST_F(Snapshot, KeepsEveryPublishedFieldAndComparesWithTheLiveTree) {
    for (const Source& source : Sources()) {
        SCOPED_TRACE(source.what);
        Live(source);
        const std::string path = dir.file("snapshot.txt");
        Save(1, path);
        Load(path);
        const TreeSchema& live = *ws.tree(1).Schema;
        ASSERT_TRUE(ws.tree(2).Schema);
        const TreeSchema& kept = *ws.tree(2).Schema;

        EXPECT_EQ(kept.origin.description, live.origin.description);
        EXPECT_EQ(kept.origin.server, live.origin.server);
        EXPECT_EQ(kept.origin.subschemaDn, live.origin.subschemaDn);
        EXPECT_EQ(kept.origin.activeDirectory, live.origin.activeDirectory);
        EXPECT_EQ(kept.origin.openLdapConfig, live.origin.openLdapConfig);
        EXPECT_EQ(kept.origin.taken, live.origin.taken);
        for (int t = 0; t < kElementTypes; ++t) {
            const auto type = static_cast<ElementType>(t);
            EXPECT_EQ(kept.published.publishes(type), live.published.publishes(type)) << t;
            ASSERT_EQ(kept.published.of(type).size(), live.published.of(type).size()) << t;
            for (std::size_t i = 0; i < live.published.of(type).size(); ++i)
                ExpectSameElement(kept.published.of(type)[i], live.published.of(type)[i]);
        }
        // The records stay the file's own.
        EXPECT_EQ(ws.tree(2).Online, 0);
        EXPECT_EQ(ws.tree(2).TreeName, "LIVE");
        EXPECT_EQ(ws.tree(2).AttrNames.size(), live.attributes.size());
        EXPECT_EQ(ws.tree(2).ClassNames.size(), live.classes.size());

        EXPECT_THAT(CompareAll(), IsEmpty());
        EXPECT_TRUE(ui.dialogs.empty());

        // A snapshot saved again from the loaded file is the same file.
        const std::string again = dir.file("again.txt");
        Save(2, again);
        EXPECT_EQ(TempDir::read(again), TempDir::read(path));

        // The server changed one matching rule since.
        std::string text = TempDir::read(path);
        const std::size_t at = text.find(source.before);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, std::string(source.before).size(), source.after);
        Load(dir.write("later.txt", text));
        const std::string rule1 = std::string(source.before).substr(9);
        const std::string rule2 = std::string(source.after).substr(9);
        EXPECT_THAT(
            CompareAll(),
            ElementsAre("Tree #1 - Attribute Definition for \"" + std::string(source.attribute) +
                            "\" has Equality: \"" + rule1 + "\"",
                        "Tree #2 - Attribute Definition for \"" + std::string(source.attribute) +
                            "\" has Equality: \"" + rule2 + "\""));
    }
}

// Reconcile reads a snapshot as it read the live tree, on either side; only the header's
// tree lines say where the definitions were read.
TEST_F(Snapshot, ReconcileTakesItForTheLiveTree) {
    const Source& source = Sources()[0];
    Live(source);
    const std::string path = dir.file("snapshot.txt");
    Save(1, path);
    Load(path);
    TTreeInfo bare;
    bare.Online = 1;
    bare.Schema = LiveSchema({"ldap://bare:389", true, "cn=schema", false, false},
                             {source.texts.begin(), source.texts.begin() + 4}, {});
    ASSERT_FALSE(SlotPublishedSchema(TTreeInfo{}));

    LdifHeader header;
    header.tree1Name = "LIVE";
    header.tree2Name = "BARE";
    auto document = [&](const TTreeInfo& one, const TTreeInfo& two) {
        const auto tree1 = SlotPublishedSchema(one);
        const auto tree2 = SlotPublishedSchema(two);
        EXPECT_TRUE(tree1 && tree2);
        if (!tree1 || !tree2) return std::string();
        const ReconcileOptions options;
        return WriteReconcileLdif(PlanReconcile(*tree1, *tree2, options), *tree1, *tree2, options,
                                  header);
    };
    const std::string live = document(ws.tree(1), bare);
    EXPECT_THAT(live, HasSubstr("\n# Tree #1: LIVE (ldap://ldap.example.com:389)\n"));
    EXPECT_THAT(live, HasSubstr("\nadd: attributeTypes\n"));
    std::string fromSnapshot = document(ws.tree(2), bare);
    const std::string named = "\n# Tree #1: LIVE (the snapshot " + path +
                              " of ldap://ldap.example.com:389 taken 2026-12-08T06:20:00Z)\n";
    const std::size_t at = fromSnapshot.find(named);
    ASSERT_NE(at, std::string::npos) << fromSnapshot;
    fromSnapshot.replace(at, named.size(), "\n# Tree #1: LIVE (ldap://ldap.example.com:389)\n");
    EXPECT_EQ(fromSnapshot, live);

    // As Tree #2: the server it was taken from lacks nothing of its own snapshot.
    header.tree2Name = "LIVE";
    const std::string back = document(ws.tree(1), ws.tree(2));
    EXPECT_THAT(back, HasSubstr("\n# Tree #2: LIVE (the snapshot " + path + " of "));
    EXPECT_THAT(back, HasSubstr("\n# Nothing to add"));
}

TEST_F(Snapshot, TheSectionsStandApartFromTheRecords) {
    Live(Sources()[0]);
    const std::string path = dir.file("snapshot.txt");
    Save(1, path);
    const std::string text = TempDir::read(path);
    // After every record, so a file of the tree as before reads as the start of this one.
    const std::size_t published = text.find("\r\n[Published Schema]\r\n");
    ASSERT_NE(published, std::string::npos);
    for (std::size_t at = text.find("\r\n[", published + 2); at != std::string::npos;
         at = text.find("\r\n[", at + 2))
        EXPECT_EQ(text.compare(at + 3, 10, "Published "), 0) << text.substr(at, 40);
    EXPECT_THAT(text.substr(published),
                HasSubstr("\r\n[Published Schema]\r\nSource=ldap://ldap.example.com:389\r\n"
                          "Server=1\r\nSubschema DN=cn=Subschema\r\nActive Directory=0\r\n"
                          "OpenLDAP Config=1\r\nTaken=2026-12-08T06:20:00Z\r\n"
                          "Publishes=attributeTypes objectClasses "
                          "ldapSyntaxes matchingRules matchingRuleUse dITContentRules "
                          "dITStructureRules nameForms\r\n[Published attributeTypes]\r\n0=( "
                          "2.5.4.41 NAME 'name' "));
    EXPECT_EQ(text.find("[Published", 0), published + 2);

    // A class named like a section keeps its records; the sections stay the schema's.
    Texts texts = Sources()[0].texts;
    texts.emplace_back(kClass, "( 1.9.1 NAME 'Published Schema' SUP top )");
    ws.tree(1).Schema = LiveSchema(Sources()[0].origin, texts, {});
    ASSERT_EQ(ReadSlotNames(ws, ui, 1), 0);
    Save(1, path);
    Load(path);
    ASSERT_TRUE(ws.tree(2).Schema);
    EXPECT_EQ(ws.tree(2).Schema->published.of(kClass).size(), 3u);
    EXPECT_THAT(CompareAll(), IsEmpty());
}

TEST_F(Snapshot, FilesWithoutPublishedTextsHoldNoSchema) {
    for (const std::string& file : std::vector<std::string>{
             "[Settings]\r\nTree Name=OLD\r\n[Classes]\r\n0=Top\r\n",
             "[Classes]\r\n0=Top\r\n[Published Schema]\r\nSource=x\r\nPublishes=objectClasses\r\n",
             "[Classes]\r\n0=Top\r\n[Published objectClasses]\r\n0=( 2.5.6.0 NAME 'top' )\r\n",
         }) {
        Load(dir.write("old.txt", file));
        EXPECT_FALSE(ws.tree(2).Schema) << file;
    }
}

// A file is one tree: published texts that no longer read, or that name other classes and
// attributes than its lists, make it refused with what is wrong, never read in part.
TEST_F(Snapshot, AFileWhoseSectionsDisagreeIsRefusedWithWhy) {
    // The lists, then the published texts, each with the lines given added.
    const auto file = [](const std::string& classes, const std::string& types,
                         const std::string& publishedTypes, const std::string& publishedClasses) {
        return "[Classes]\r\n0=top\r\n1=x\r\n" + classes + "[Attributes]\r\n0=cn\r\n" + types +
               "[Published Schema]\r\nPublishes=objectClasses attributeTypes junk\r\n"
               "[Published attributeTypes]\r\n0=( 2.5.4.3 NAME 'cn' )\r\n" +
               publishedTypes +
               "[Published objectClasses]\r\n0.1=( 2.5.6.0 NAME 'TOP'\r\n0.2=\" ABSTRACT )\"\r\n" +
               publishedClasses;
    };
    const std::pair<std::string, std::string> cases[] = {
        // Pieces joined, letter case aside: the lists and the texts agree.
        {file("", "", "", "1=\"( 2.5.6.7 NAME 'x' ) \"\r\n"), ""},
        {file("", "", "", "1=( 2.5.6.7 NAME \r\n"),
         "its published definitions: 1 object class definition left out:\n- ( 2.5.6.7 NAME: "
         "missing closing parenthesis after \"( 2.5.6.7 NAME\""},
        {file("", "1=sn\r\n", "1=( 2.5.4.4 NAME 'surname' )\r\n", "1=( 2.5.6.7 NAME 'y' )\r\n"),
         "its published definitions and its lists of names disagree: the class \"y\" only in "
         "the published definitions, the class \"x\" only in the lists, the attribute "
         "\"surname\" only in the published definitions, the attribute \"sn\" only in the lists"},
        {file("2=z\r\n", "", "", "1=( 2.5.6.7 NAME 'x' )\r\n"),
         "its published definitions and its lists of names disagree: 2 object classes "
         "published, 3 classes listed"},
    };
    for (const auto& [text, problem] : cases) {
        const SchemaFileRead read = ReadSchemaFileAside(dir.write("edited.txt", text), {});
        EXPECT_EQ(read.problem, problem) << text;
        EXPECT_EQ(read.slot.Schema != nullptr, problem.empty()) << text;
    }
}

TEST_F(Snapshot, WhatTheFileCannotKeepIsRefusedAndTheOldFileKept) {
    const std::string old = "[Settings]\r\nTree Name=OLD\r\n";
    const std::string utf16 = std::string("\xFF\xFE[\0S\0]\0\r\0\n\0", 12);
    struct Case {
        const char* what;
        std::string text;
        std::string target;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"a line break in a description", "( 1.9.1 NAME 'broken' DESC 'two\nlines' )", old,
         "the published definition of the attribute type \"broken\" holds a line break, which a "
         "schema file cannot keep"},
        {"a carriage return", "( 1.9.1 NAME 'broken' DESC 'two\rlines' )", old,
         "attribute type \"broken\" holds a line break"},
        // A UTF-16 file keeps its encoding, which has no form for a byte outside UTF-8.
        {"a byte a UTF-16 file cannot hold", "( 1.9.1 NAME 'latin1' DESC 'caf\xE9' )", utf16,
         "the published definition of the attribute type \"latin1\" would not read back as it "
         "is"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ws.tree(1).Online = 1;
        ws.tree(1).Schema = LiveSchema({}, {{kAttr, c.text}}, {});
        ASSERT_EQ(ReadSlotNames(ws, ui, 1), 0);
        const std::string path = dir.write("kept.txt", c.target);
        try {
            Save(1, path);
            ADD_FAILURE() << "saved";
        } catch (const IniWriteError& error) {
            EXPECT_EQ(error.fileName(), path);
            EXPECT_THAT(error.detail(), HasSubstr(c.says));
        }
        EXPECT_EQ(TempDir::read(path), c.target);
    }
}

}  // namespace
