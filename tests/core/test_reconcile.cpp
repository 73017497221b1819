// The fix-up LDIF: which definitions Tree #2 gets and in what order (deep super chains of
// both kinds), each refusal and why, replacements, the class page's selection, the
// published text kept by the sources, and every document read back with libldap's reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "LdifRecords.h"
#include "core/directory/SimulatedClient.h"
#include "core/model/PublishedText.h"
#include "core/reconcile/Reconcile.h"
#include "sources/LdapSchema.h"
#include "sources/SchemaFileTree.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using namespace std::string_literals;

extern "C" const char* __lsan_default_suppressions() { return "leak:ber_memalloc_x\n"; }

namespace {

const char* const kString = "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15";

// What both trees start from.
const char* const kBase =
    "attributetype ( 2.5.4.41 NAME 'name' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )\n"
    "attributetype ( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )\n"
    "attributetype ( 2.5.4.0 NAME 'objectClass' SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )\n"
    "objectclass ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )\n"
    "objectclass ( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST cn )\n";

PublishedSchema Schema(const std::string& text,
                       SchemaFileFormat format = SchemaFileFormat::Schema) {
    SchemaDefinitions definitions;
    std::vector<SkippedDefinition> skipped;
    if (format == SchemaFileFormat::Ldif)
        ParseLdifText(text, definitions, skipped);
    else
        ParseSchemaFileText(text, definitions, skipped);
    SchemaMapping mapping = MapSchema(definitions);
    EXPECT_THAT(skipped, IsEmpty());
    EXPECT_THAT(mapping.skipped, IsEmpty());
    EXPECT_NE(mapping.tree.published, nullptr);
    return mapping.tree.published ? *mapping.tree.published : PublishedSchema{};
}

LdifHeader Header() { return {"ONE", "TWO", "test", "2026-12-07T12:00:00Z", "kalvix-ONE"}; }

// The document, read back with libldap; a test fails when it does not read.
std::vector<LdifChange> Written(const ReconcilePlan& plan, const PublishedSchema& t1,
                                const PublishedSchema& t2, const ReconcileOptions& options,
                                std::string* text = nullptr, LdifHeader header = Header()) {
    const std::string ldif = WriteReconcileLdif(plan, t1, t2, options, header);
    if (text != nullptr) *text = ldif;
    std::vector<LdifChange> changes;
    std::string error;
    EXPECT_TRUE(ReadLdifChanges(ldif, changes, error)) << error << "\n" << ldif;
    return changes;
}

// The values a document adds, as (attribute type, value), in order.
std::vector<std::pair<std::string, std::string>> Added(const std::vector<LdifChange>& changes) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const LdifChange& c : changes)
        for (const LdifModification& m : c.modifications)
            if (m.op == "add")
                for (const std::string& v : m.values) out.emplace_back(m.type, v);
    return out;
}

std::vector<std::string> Shown(const std::vector<RefusedDefinition>& refused) {
    std::vector<std::string> out;
    for (const RefusedDefinition& r : refused) out.push_back(r.definition->shown + ": " + r.reason);
    return out;
}

std::vector<std::string> AddedNames(const ReconcilePlan& plan) {
    std::vector<std::string> out;
    for (const PlannedAddition& a : plan.additions) out.push_back(a.definition->shown);
    return out;
}

// Everything a definition names is on Tree #2 or added before it, types before classes.
void ExpectOrderRule(const std::vector<std::pair<std::string, std::string>>& added,
                     const PublishedSchema& tree1, const PublishedSchema& tree2) {
    std::map<std::string, const PublishedDefinition*> byText;
    for (const auto* list : {&tree1.attributeTypes, &tree1.objectClasses})
        for (const PublishedDefinition& d : *list) byText[d.text] = &d;
    std::set<std::string> attrs, classes;
    for (const PublishedDefinition& d : tree2.attributeTypes) attrs.insert(d.shown);
    for (const PublishedDefinition& d : tree2.objectClasses) classes.insert(d.shown);
    bool classSeen = false;
    for (const auto& [type, value] : added) {
        const auto it = byText.find(value);
        ASSERT_NE(it, byText.end()) << "not Tree #1's text: " << value;
        const PublishedDefinition& d = *it->second;
        const bool isClass = type == "objectClasses" || type == "olcObjectClasses";
        if (!isClass) {
            ASSERT_FALSE(classSeen) << d.shown << " comes after a class";
            for (const std::string& sup : d.sups)
                ASSERT_TRUE(attrs.count(sup)) << d.shown << " before its super type " << sup;
            attrs.insert(d.shown);
        } else {
            classSeen = true;
            for (const std::string& sup : d.sups)
                ASSERT_TRUE(classes.count(sup)) << d.shown << " before its super class " << sup;
            for (const auto* list : {&d.must, &d.may})
                for (const std::string& a : *list)
                    ASSERT_TRUE(attrs.count(a)) << d.shown << " before its attribute " << a;
            classes.insert(d.shown);
        }
    }
}

TEST(Reconcile, DeepSuperChainsOfBothKindsComeOutInOrder) {
    constexpr int kAttrChain = 10000;
    constexpr int kClassChain = 2000;
    std::vector<std::string> lines;
    for (int i = 0; i < kAttrChain; ++i)
        lines.push_back("attributetype ( 1.9.1." + std::to_string(i) + " NAME 'a" +
                        std::to_string(i) + "' SUP " +
                        (i == 0 ? "name" : "a" + std::to_string(i - 1)) + " " + kString + " )");
    // A second, shallow family whose classes also use the deep one.
    for (int i = 0; i < 50; ++i)
        lines.push_back("attributetype ( 1.9.2." + std::to_string(i) + " NAME 'b" +
                        std::to_string(i) + "' SUP " +
                        (i == 0 ? "cn" : "b" + std::to_string(i / 2)) + " )");
    std::mt19937 random(17);
    for (int i = 0; i < kClassChain; ++i) {
        std::string sup = i == 0 ? "top" : "c" + std::to_string(i - 1);
        if (i > 1 && i % 7 == 0)
            sup = "( " + sup + " $ c" + std::to_string(random() % (i - 1)) + " )";
        lines.push_back("objectclass ( 1.9.3." + std::to_string(i) + " NAME 'c" +
                        std::to_string(i) + "' SUP " + sup + " AUXILIARY MUST a" +
                        std::to_string(random() % kAttrChain) + " MAY ( b" +
                        std::to_string(random() % 50) + " $ cn $ a" +
                        std::to_string(random() % kAttrChain) + " ) )");
    }
    std::shuffle(lines.begin(), lines.end(), random);
    std::string text = kBase;
    for (const std::string& l : lines) text += l + "\n";
    const PublishedSchema tree1 = Schema(text);
    const PublishedSchema tree2 = Schema(kBase);

    // The rfc4512 dialect refuses a second super class (389 drops it), so the order of
    // classes with two is the openldap dialect's to show.
    for (LdifDialect dialect : {LdifDialect::OpenLdap}) {
        ReconcileOptions options;
        options.dialect = dialect;
        const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
        EXPECT_THAT(Shown(plan.refused), IsEmpty());
        ASSERT_EQ(plan.additions.size(), lines.size());
        const std::vector<LdifChange> changes = Written(plan, tree1, tree2, options);
        ASSERT_EQ(changes.size(), 1u);
        const auto added = Added(changes);
        ASSERT_EQ(added.size(), lines.size() + (dialect == LdifDialect::OpenLdap ? 2 : 0));
        std::vector<std::pair<std::string, std::string>> definitions;
        for (const auto& a : added)
            if (a.first != "objectClass" && a.first != "cn") definitions.push_back(a);
        ExpectOrderRule(definitions, tree1, tree2);
    }
}

TEST(Reconcile, RefusalsSayWhyAndReachWhatDependsOnThem) {
    const PublishedSchema tree2 =
        Schema(std::string(kBase) + "attributetype ( 1.2.3.1 NAME 'taken' " + kString +
               " )\n"
               "attributetype ( 1.2.3.2 NAME ( 'other' 'alias' ) " +
               kString + " )\n");
    const PublishedSchema tree1 = Schema(
        std::string(kBase) +
        // The OID of 'taken' under another name.
        "attributetype ( 1.2.3.1 NAME 'clash' " + kString +
        " )\n"
        // A name Tree #2 gives to another definition.
        "attributetype ( 1.2.3.9 NAME ( 'fresh' 'alias' ) " +
        kString +
        " )\n"
        // A super type neither tree has, and a type derived from that one.
        "attributetype ( 1.2.3.3 NAME 'orphan' SUP nowhere )\n"
        "attributetype ( 1.2.3.4 NAME 'grandchild' SUP orphan )\n"
        // A loop of super types.
        "attributetype ( 1.2.3.5 NAME 'loopA' SUP loopB " +
        kString +
        " )\n"
        "attributetype ( 1.2.3.6 NAME 'loopB' SUP loopA " +
        kString +
        " )\n"
        "attributetype ( 1.2.3.7 NAME 'fine' SUP cn )\n"
        // What a server maintains itself.
        "attributetype ( 1.2.3.8 NAME 'stamp' " +
        kString +
        " NO-USER-MODIFICATION USAGE "
        "directoryOperation )\n"
        // Classes: one needing a refused type, one needing a missing type, one deriving
        // from a refused class, one fine.
        "objectclass ( 1.2.4.1 NAME 'usesClash' SUP top AUXILIARY MAY clash )\n"
        "objectclass ( 1.2.4.2 NAME 'usesMissing' SUP top AUXILIARY MUST ghost )\n"
        "objectclass ( 1.2.4.3 NAME 'derived' SUP usesMissing AUXILIARY )\n"
        "objectclass ( 1.2.4.4 NAME 'good' SUP person STRUCTURAL MAY ( fine $ commonName ) )\n");
    const ReconcilePlan plan = PlanReconcile(tree1, tree2, {});
    EXPECT_THAT(AddedNames(plan), ElementsAre("fine", "good"));
    EXPECT_THAT(
        Shown(plan.refused),
        ElementsAre("clash: its OID 1.2.3.1 is already used on Tree #2 by attribute type 'taken'",
                    "fresh: the name 'alias' is already used on Tree #2 by 'other'",
                    "orphan: its super type 'nowhere' is on neither tree",
                    "grandchild: its super type 'orphan' cannot be added either",
                    "loopA: its super chain loops back through 'loopA'",
                    "loopB: its super chain loops back through 'loopA'",
                    "stamp: it is an operational attribute type, which the server that "
                    "publishes it maintains itself",
                    "usesClash: the attribute type 'clash' cannot be added either",
                    "usesMissing: the attribute type 'ghost' is on neither tree",
                    "derived: its super class 'usesMissing' cannot be added either"));

    std::string text;
    const auto changes = Written(plan, tree1, tree2, {}, &text);
    // Refusals are comments, with the definition, and never records.
    EXPECT_THAT(text, HasSubstr("# Not added: attribute type 'clash': its OID 1.2.3.1 is already "
                                "used on Tree #2 by attribute type 'taken'\n#   ( 1.2.3.1 NAME "
                                "'clash' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )\n"));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].op, "modify");
    EXPECT_EQ(changes[0].dn, "cn=schema");
    EXPECT_THAT(Added(changes),
                ElementsAre(std::pair<std::string, std::string>("attributeTypes",
                                                                "( 1.2.3.7 NAME 'fine' SUP cn )"),
                            std::pair<std::string, std::string>(
                                "objectClasses",
                                "( 1.2.4.4 NAME 'good' SUP person STRUCTURAL MAY ( fine $ "
                                "commonName ) )")));
}

TEST(Reconcile, OnlyRefusalsStillDifferAndNothingIsNothing) {
    const PublishedSchema tree2 = Schema(kBase);
    const PublishedSchema tree1 =
        Schema(std::string(kBase) + "attributetype ( 1.2.3.3 NAME 'orphan' SUP nowhere )\n");
    const ReconcilePlan refusedOnly = PlanReconcile(tree1, tree2, {});
    EXPECT_FALSE(refusedOnly.nothingToDo());
    EXPECT_THAT(Written(refusedOnly, tree1, tree2, {}), IsEmpty());

    // Tree #2 knowing more (and spelling names otherwise) leaves nothing to add.
    const ReconcilePlan nothing = PlanReconcile(tree2, tree1, {});
    EXPECT_TRUE(nothing.nothingToDo());
    const ReconcilePlan caseOnly = PlanReconcile(
        Schema("attributetype ( 2.5.4.41 NAME 'NAME' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"),
        Schema("attributetype ( 2.5.4.41 NAME 'name' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"), {});
    EXPECT_TRUE(caseOnly.nothingToDo());
    std::string text;
    EXPECT_THAT(Written(nothing, tree2, tree1, {}, &text), IsEmpty());
    EXPECT_THAT(text, HasSubstr("# Nothing to add"));
}

TEST(Reconcile, HeaderNamesTreesProgramTimeAndCannotBeBrokenByNames) {
    PublishedSchema tree2 = Schema(kBase);
    tree2.origin = "ldap://dc.example/";
    tree2.subschemaDn = "CN=Aggregate,CN=Schema,CN=Configuration,DC=example,DC=com";
    tree2.activeDirectory = true;
    const PublishedSchema tree1 =
        Schema(std::string(kBase) + "attributetype ( 1.2.3.7 NAME 'fine' SUP cn )\n");
    LdifHeader header = Header();
    header.tree1Name = "EVIL\ndn: cn=owned\nchangetype: delete\xC2\x9B";
    header.tree2Name = "Zweig \xC3\xBC";
    std::string text;
    const auto changes = Written(PlanReconcile(tree1, tree2, {}), tree1, tree2, {}, &text, header);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].dn, tree2.subschemaDn);
    EXPECT_THAT(text,
                HasSubstr("# Tree #1: EVIL\\x0Adn: cn=owned\\x0Achangetype: delete\\u009B\n"));
    EXPECT_THAT(text, HasSubstr("# Tree #2: Zweig \xC3\xBC (ldap://dc.example/)\n"));
    EXPECT_THAT(text, HasSubstr("# Written by test at 2026-12-07T12:00:00Z\n"));
    EXPECT_THAT(text, HasSubstr("Active Directory"));
    EXPECT_EQ(text.rfind("# ", 0), 0u);

    // A schema name that needs escapes still makes one entry with that very name.
    ReconcileOptions openldap;
    openldap.dialect = LdifDialect::OpenLdap;
    header.schemaName = "a,b=c+\"d\" #\xC3\xA9 ";
    const auto entry =
        Written(PlanReconcile(tree1, tree2, openldap), tree1, tree2, openldap, nullptr, header);
    ASSERT_EQ(entry.size(), 1u);
    EXPECT_EQ(entry[0].op, "add");
    EXPECT_EQ(entry[0].dn, "cn=a\\,b\\=c\\+\\\"d\\\" #\xC3\xA9\\ ,cn=schema,cn=config");
    EXPECT_THAT(Added(entry),
                testing::Contains(std::pair<std::string, std::string>("cn", header.schemaName)));
    EXPECT_EQ(DefaultSchemaName("MY TREE/ü"), "kalvix-MY-TREE---");
}

TEST(Reconcile, ValuesThatNeedBase64AndLongLinesReadBackExactly) {
    for (const std::string& value :
         {std::string("( 1.2 NAME 'x' DESC 'caf\xC3\xA9' )"), std::string(" leading blank"),
          std::string(":colon"), std::string("<angle"), std::string("trailing "),
          std::string(200, ' ') + "x",
          std::string("( 1.2 NAME 'x' DESC 'a long description of some thing which wraps at the "
                      "end of a line where a blank would fall' )"),
          std::string(""), std::string(300, 'x'), std::string("line\nbreak")}) {
        const std::string line = LdifAttributeLine("attributeTypes", value);
        for (std::size_t at = 0, end; at < line.size(); at = end + 1) {
            end = line.find('\n', at);
            EXPECT_LE(end - at, 76u);
            EXPECT_TRUE(end == at || line[end - 1] != ' ') << line;
        }
        std::vector<LdifChange> changes;
        std::string error;
        ASSERT_TRUE(ReadLdifChanges(
            "dn: cn=schema\nchangetype: modify\nadd: attributeTypes\n" + line + "-\n", changes,
            error))
            << error;
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_THAT(changes[0].modifications[0].values, ElementsAre(value));
    }
}

TEST(Reconcile, ChangedDefinitionsAreReplacedOnlyWhenAskedAndWhenTheyDiffer) {
    const PublishedSchema tree2 =
        Schema(std::string(kBase) + "attributetype ( 1.2.5.1 NAME 'colour' DESC 'old' " + kString +
               " X-ORIGIN 'site' )\n"
               "attributetype ( 1.2.5.2 NAME 'size' " +
               kString +
               " X-ORIGIN 'site' )\n"
               "objectclass ( 1.2.6.1 NAME 'widget' SUP top AUXILIARY MAY ( size $ colour ) )\n");
    const PublishedSchema tree1 = Schema(
        std::string(kBase) + "attributetype ( 1.2.5.1 NAME 'colour' DESC 'new' " + kString +
        " )\n"
        // Only what servers rewrite, spacing and list order differ: the same definition.
        "attributetype   ( 1.2.5.2   NAME 'size'  " +
        kString +
        " X-ORIGIN 'elsewhere' )\n"
        "attributetype ( 1.2.5.3 NAME 'weight' " +
        kString +
        " )\n"
        "objectclass ( 1.2.6.1 NAME 'widget' SUP top AUXILIARY MAY ( colour $ size $ weight ) )\n"
        "objectclass ( 1.2.6.2 NAME 'gadget' SUP top AUXILIARY MAY ( COLOUR $ Size ) )\n");
    EXPECT_THAT(AddedNames(PlanReconcile(tree1, tree2, {})), ElementsAre("weight", "gadget"));
    EXPECT_THAT(PlanReconcile(tree1, tree2, {}).changes, IsEmpty());

    ReconcileOptions options;
    options.includeChanged = true;
    const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
    ASSERT_EQ(plan.changes.size(), 2u);
    EXPECT_EQ(plan.changes[0].tree1->shown, "colour");
    EXPECT_EQ(plan.changes[1].tree1->shown, "widget");
    const auto changes = Written(plan, tree1, tree2, options);
    ASSERT_EQ(changes.size(), 1u);
    const auto& mods = changes[0].modifications;
    ASSERT_EQ(mods.size(), 6u);  // two additions, then a delete and an add for each change
    EXPECT_EQ(mods[2].op, "delete");
    EXPECT_THAT(mods[2].values, ElementsAre(tree2.attributeTypes[3].text));
    EXPECT_EQ(mods[3].op, "add");
    EXPECT_THAT(mods[3].values, ElementsAre(HasSubstr("DESC 'new'")));
    EXPECT_EQ(mods[4].type, "objectClasses");
    EXPECT_EQ(mods[4].op, "delete");

    // A replacement that needs what cannot be added is refused like an addition.
    const PublishedSchema broken =
        Schema(std::string(kBase) + "attributetype ( 1.2.5.1 NAME 'colour' " + kString +
               " )\n"
               "attributetype ( 1.2.5.2 NAME 'size' " +
               kString +
               " )\n"
               "objectclass ( 1.2.6.1 NAME 'widget' SUP top AUXILIARY MAY ( ghost ) )\n");
    EXPECT_THAT(Shown(PlanReconcile(broken, tree2, options).refused),
                testing::Contains("widget: the attribute type 'ghost' is on neither tree"));

    // The openldap dialect cannot replace through cn=Subschema: it says where instead.
    options.dialect = LdifDialect::OpenLdap;
    std::string text;
    const auto entry = Written(plan, tree1, tree2, options, &text);
    ASSERT_EQ(entry.size(), 1u);
    EXPECT_EQ(Added(entry).size(), 4u);  // objectClass, cn, weight, gadget
    EXPECT_THAT(text, HasSubstr("# Differs: object class 'widget'. Replace it in the entry under "
                                "cn=schema,cn=config"));
}

TEST(Reconcile, ThePagesTakeTheirOwnKind) {
    const PublishedSchema tree2 = Schema(kBase);
    const PublishedSchema tree1 =
        Schema(std::string(kBase) +
               "attributetype ( 1.2.7.1 NAME 'base1' SUP name )\n"
               "attributetype ( 1.2.7.2 NAME 'used' SUP base1 )\n"
               "attributetype ( 1.2.7.3 NAME 'unused' " +
               kString +
               " )\n"
               "attributetype ( 1.2.7.4 NAME 'broken' SUP nowhere )\n"
               "objectclass ( 1.2.8.1 NAME 'thing' SUP top AUXILIARY MAY used )\n"
               "objectclass ( 1.2.8.2 NAME 'wreck' SUP top AUXILIARY MAY broken )\n");
    ReconcileOptions options;
    options.scope = ReconcileScope::ObjectClasses;
    const ReconcilePlan classes = PlanReconcile(tree1, tree2, options);
    EXPECT_THAT(AddedNames(classes), ElementsAre("base1", "used", "thing"));
    EXPECT_THAT(Shown(classes.refused),
                ElementsAre("broken: its super type 'nowhere' is on neither tree",
                            "wreck: the attribute type 'broken' cannot be added either"));
    Written(classes, tree1, tree2, options);

    options.scope = ReconcileScope::AttributeTypes;
    const ReconcilePlan attributes = PlanReconcile(tree1, tree2, options);
    EXPECT_THAT(AddedNames(attributes), ElementsAre("base1", "used", "unused"));
    EXPECT_EQ(attributes.refused.size(), 1u);
    std::string text;
    Written(attributes, tree1, tree2, options, &text);
    EXPECT_THAT(text, Not(HasSubstr("objectClasses")));
}

// Tree #2 as a server's subschema dump that lists its matching rules and syntaxes.
std::string RulesDump(const std::string& definitions) {
    std::string text =
        "dn: cn=schema\n"
        "matchingRules: ( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX "
        "1.3.6.1.4.1.1466.115.121.1.15 )\n"
        "ldapSyntaxes: ( 1.3.6.1.4.1.1466.115.121.1.15 DESC 'Directory String' )\n"
        "ldapSyntaxes: ( 1.3.6.1.4.1.1466.115.121.1.38 DESC 'OID' )\n";
    for (std::size_t at = 0; at < definitions.size();) {
        const std::size_t end = definitions.find('\n', at);
        const std::string line = definitions.substr(at, end - at);
        const bool type = line.rfind("attributetype ", 0) == 0;
        text +=
            (type ? "attributeTypes: " : "objectClasses: ") + line.substr(line.find('(')) + "\n";
        at = end == std::string::npos ? definitions.size() : end + 1;
    }
    return text;
}

PublishedSchema ActiveDirectory(PublishedSchema schema) {
    schema.activeDirectory = true;
    schema.server = true;
    schema.schemaNamingContext = "CN=Schema,CN=Configuration,DC=example,DC=com";
    return schema;
}

// The records of an ad document by the DN's first value, each attribute's values in order.
std::map<std::string, std::map<std::string, std::vector<std::string>>> AdObjects(
    const std::vector<LdifChange>& changes) {
    std::map<std::string, std::map<std::string, std::vector<std::string>>> out;
    for (const LdifChange& c : changes) {
        if (c.op != "add") continue;
        auto& object = out[c.dn.substr(3, c.dn.find(',') - 3)];
        for (const LdifModification& m : c.modifications) object[m.type] = m.values;
    }
    return out;
}

TEST(Reconcile, WhatTree2sRulesAndSyntaxesLackIsRefusedInEveryDialectWithItsDependents) {
    const PublishedSchema tree1 = Schema(
        std::string(kBase) +
        "attributetype ( 1.7.1 NAME 'kxFine' SUP name )\n"
        "attributetype ( 1.7.2 NAME 'kxExact' EQUALITY caseExactMatch " +
        kString +
        " )\n"
        "attributetype ( 1.7.3 NAME 'kxExactChild' SUP kxExact )\n"
        "attributetype ( 1.7.4 NAME 'kxByOid' EQUALITY 2.5.13.2 " +
        kString +
        " )\n"
        "attributetype ( 1.7.5 NAME 'kxIa5' SYNTAX 1.3.6.1.4.1.1466.115.121.1.26 )\n"
        "objectclass ( 1.7.6 NAME 'kxUses' SUP top AUXILIARY MAY ( kxFine $ kxExactChild ) )\n"
        "objectclass ( 1.7.7 NAME 'kxGood' SUP top AUXILIARY MAY ( kxFine $ kxByOid ) )\n");
    const PublishedSchema tree2 = ActiveDirectory(Schema(RulesDump(kBase), SchemaFileFormat::Ldif));
    for (LdifDialect dialect : {LdifDialect::Rfc4512, LdifDialect::OpenLdap, LdifDialect::Ad}) {
        SCOPED_TRACE(static_cast<int>(dialect));
        ReconcileOptions options;
        options.dialect = dialect;
        const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
        EXPECT_THAT(AddedNames(plan), ElementsAre("kxFine", "kxByOid", "kxGood"));
        EXPECT_THAT(
            Shown(plan.refused),
            ElementsAre("kxExact: its equality matching rule 'caseExactMatch' is not among "
                        "Tree #2's matching rules",
                        "kxExactChild: its super type 'kxExact' cannot be added either",
                        "kxIa5: its syntax 1.3.6.1.4.1.1466.115.121.1.26 is not among Tree #2's "
                        "syntaxes",
                        "kxUses: the attribute type 'kxExactChild' cannot be added either"));
        // Only comments name what is refused.
        for (const LdifChange& c : Written(plan, tree1, tree2, options)) {
            EXPECT_THAT(c.dn, Not(HasSubstr("kxExact")));
            for (const LdifModification& m : c.modifications)
                EXPECT_THAT(m.values, testing::Each(Not(HasSubstr("kxExact"))));
        }
    }
    // A tree that lists no rules (schema files) takes the definitions as they are.
    EXPECT_THAT(PlanReconcile(tree1, Schema(kBase), {}).refused, IsEmpty());
}

TEST(Reconcile, AdDialectSpellsEachDefinitionAsSchemaObjectsOrSaysWhyNot) {
    const PublishedSchema tree2 = ActiveDirectory(
        Schema(std::string(kBase) +
               "objectclass ( 2.5.6.5 NAME 'organizationalUnit' SUP top STRUCTURAL MUST cn )\n"));
    const std::string s = "SYNTAX 1.3.6.1.4.1.1466.115.121.1.";
    const PublishedSchema tree1 = Schema(
        std::string(kBase) + "attributetype ( 1.8.1 NAME 'kxStr' DESC 'Text' " + s +
        "15{64} SINGLE-VALUE )\n" + "attributetype ( 1.8.2 NAME 'kxDn' " + s + "12 )\n" +
        "attributetype ( 1.8.3 NAME 'kxInt' " + s + "27{10} SINGLE-VALUE )\n" +
        "attributetype ( 1.8.4 NAME 'kxPrint' " + s + "44 )\n" +
        "attributetype ( 1.8.5 NAME 'kxIa5' " + s + "26 )\n" +
        "attributetype ( 1.8.6 NAME 'kxTime' " + s + "24 )\n" +
        "attributetype ( 1.8.7 NAME 'kxLarge' SYNTAX 1.2.840.113556.1.4.906 )\n" +
        "attributetype ( 1.8.8 NAME 'kxSub' SUP kxStr )\n" +
        "attributetype ( 1.8.9 NAME 'kxPhone' " + s + "50 )\n" +
        "attributetype ( 1.8.10 NAME 'kx_under' " + s + "15 )\n" +
        "attributetype ( 1.8.11 NAME 'kxColl' " + s + "15 COLLECTIVE )\n" +
        "attributetype ( 1.8.12 NAME 'organizationalUnit' " + s + "15 )\n" +
        "objectclass ( 1.8.20 NAME 'kxPlace' SUP person STRUCTURAL MUST kxStr MAY ( kxDn $ "
        "kxSub ) X-NDS_NAMING 'kxStr' X-NDS_CONTAINMENT ( 'organizationalUnit' 'nowhere' ) )\n"
        "objectclass ( 1.8.21 NAME 'kxThing' STRUCTURAL MAY kxInt )\n"
        "objectclass ( 1.8.22 NAME 'kxMixin' SUP top AUXILIARY MAY kxLarge )\n"
        "objectclass ( 1.8.23 NAME 'kxBase' SUP top ABSTRACT )\n"
        "objectclass ( 1.8.24 NAME 'kxTwo' SUP ( kxBase $ kxMixin ) AUXILIARY )\n"
        "objectclass ( 1.8.25 NAME 'kxCalls' SUP top AUXILIARY MAY kxPhone )\n"
        "objectclass ( 1.8.26 NAME 'kxDn' SUP top AUXILIARY )\n");
    ReconcileOptions options;
    options.dialect = LdifDialect::Ad;
    const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
    const std::string none = "has no counterpart among AD's syntaxes";
    EXPECT_THAT(
        Shown(plan.refused),
        ElementsAre(
            "kxPhone: its syntax 1.3.6.1.4.1.1466.115.121.1.50 " + none,
            "kx_under: its name 'kx_under' holds characters other than letters, digits and "
            "hyphens, which an lDAPDisplayName cannot",
            "kxColl: it is a collective attribute type, which AD does not have",
            "organizationalUnit: the name 'organizationalUnit' is already used on Tree #2 by the "
            "object class 'organizationalUnit', and AD's names are unique across both",
            "kxTwo: it has 2 super classes, and an AD class has one (subClassOf)",
            "kxCalls: the attribute type 'kxPhone' cannot be added either",
            "kxDn: the name 'kxDn' is also an attribute type's on Tree #1, and AD's names are "
            "unique across both"));
    EXPECT_EQ(AdNameProblem("9lives"),
              "its name '9lives' does not start with a letter, as an lDAPDisplayName must");
    EXPECT_EQ(AdNameProblem("ok-Name2"), "");

    std::string text;
    const std::vector<LdifChange> changes = Written(plan, tree1, tree2, options, &text);
    // The attribute types, a reload, the classes, a reload.
    std::vector<std::string> order;
    for (const LdifChange& c : changes) order.push_back(c.dn.substr(0, c.dn.find(',')));
    EXPECT_THAT(order, ElementsAre("CN=kxStr", "CN=kxDn", "CN=kxInt", "CN=kxPrint", "CN=kxIa5",
                                   "CN=kxTime", "CN=kxLarge", "CN=kxSub", "", "CN=kxPlace",
                                   "CN=kxThing", "CN=kxMixin", "CN=kxBase", ""));
    EXPECT_EQ(changes[8].op, "modify");
    EXPECT_THAT(changes[8].modifications[0].values, ElementsAre("1"));
    EXPECT_EQ(changes[0].dn, "CN=kxStr,CN=Schema,CN=Configuration,DC=example,DC=com");

    using Values = std::vector<std::string>;
    const auto objects = AdObjects(changes);
    const std::vector<std::pair<std::string, std::map<std::string, Values>>> expected = {
        {"kxStr",
         {{"objectClass", {"top", "attributeSchema"}},
          {"lDAPDisplayName", {"kxStr"}},
          {"attributeID", {"1.8.1"}},
          {"attributeSyntax", {"2.5.5.12"}},
          {"oMSyntax", {"64"}},
          {"isSingleValued", {"TRUE"}},
          {"rangeUpper", {"64"}},
          {"description", {"Text"}}}},
        {"kxDn",
         {{"attributeSyntax", {"2.5.5.1"}},
          {"oMSyntax", {"127"}},
          {"oMObjectClass", {"\x2B\x0C\x02\x87\x73\x1C\x00\x85\x4A"s}},
          {"isSingleValued", {"FALSE"}}}},
        // A bound on a number is no range of values.
        {"kxInt", {{"attributeSyntax", {"2.5.5.9"}}, {"oMSyntax", {"2"}}}},
        {"kxPrint", {{"attributeSyntax", {"2.5.5.5"}}, {"oMSyntax", {"19"}}}},
        {"kxIa5", {{"attributeSyntax", {"2.5.5.5"}}, {"oMSyntax", {"22"}}}},
        {"kxTime", {{"attributeSyntax", {"2.5.5.11"}}, {"oMSyntax", {"24"}}}},
        {"kxLarge", {{"attributeSyntax", {"2.5.5.16"}}, {"oMSyntax", {"65"}}}},
        // What a sub type inherits in LDAP, it spells out in AD.
        {"kxSub", {{"attributeSyntax", {"2.5.5.12"}}, {"rangeUpper", {"64"}}}},
        {"kxPlace",
         {{"objectClass", {"top", "classSchema"}},
          {"governsID", {"1.8.20"}},
          {"subClassOf", {"person"}},
          {"objectClassCategory", {"1"}},
          {"rDNAttID", {"kxStr"}},
          {"mustContain", {"kxStr"}},
          {"mayContain", {"kxDn", "kxSub"}},
          {"possSuperiors", {"organizationalUnit"}}}},
        {"kxThing",
         {{"subClassOf", {"top"}}, {"possSuperiors", {"container", "organizationalUnit"}}}},
        {"kxMixin", {{"objectClassCategory", {"3"}}, {"mayContain", {"kxLarge"}}}},
        {"kxBase", {{"objectClassCategory", {"2"}}}},
    };
    for (const auto& [name, fields] : expected) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(objects.count(name));
        for (const auto& [field, values] : fields)
            EXPECT_EQ(objects.at(name).at(field), values) << field;
    }
    EXPECT_FALSE(objects.at("kxInt").count("rangeUpper"));
    EXPECT_FALSE(objects.at("kxMixin").count("possSuperiors"));
    EXPECT_THAT(text, HasSubstr("# Dialect ad: attributeSchema and classSchema objects under "
                                "CN=Schema,CN=Configuration,DC=example,DC=com; apply with "));

    // The DN told, or the forest's placeholder for ldifde -c.
    options.forestPlaceholder = true;
    EXPECT_EQ(Written(plan, tree1, tree2, options, &text)[0].dn,
              "CN=kxStr,CN=Schema,CN=Configuration,DC=X");
    EXPECT_THAT(text, HasSubstr("ldifde -i -f FILE -c DC=X <the forest's DN>"));
    options.schemaDn = "CN=Schema,CN=Configuration,DC=lab";
    EXPECT_EQ(Written(plan, tree1, tree2, options)[0].dn,
              "CN=kxStr,CN=Schema,CN=Configuration,DC=lab");
    // Without either, and a tree that names none, no record.
    ReconcileOptions unnamed;
    unnamed.dialect = LdifDialect::Ad;
    const PublishedSchema files = Schema(kBase);
    EXPECT_THAT(Written(PlanReconcile(tree1, files, unnamed), tree1, files, unnamed, &text),
                IsEmpty());
    EXPECT_THAT(text, HasSubstr("names no schema naming context"));
    EXPECT_EQ(PreferredDialect(tree2), LdifDialect::Ad);
}

TEST(Reconcile, ChangesSetAsideWhatTheServerRewritesAndTheAdDialectModifiesWhatAdAllows) {
    const std::string tel =
        "attributetype ( 2.5.4.20 NAME 'telephoneNumber' SYNTAX "
        "1.3.6.1.4.1.1466.115.121.1.50{32} )\n";
    const std::string collective =
        "attributetype ( 2.5.4.20.1 NAME 'c-TelephoneNumber' SUP telephoneNumber COLLECTIVE )\n";
    ReconcileOptions options;
    options.includeChanged = true;
    // The same text where only Tree #2 knows the super type: nothing to replace.
    EXPECT_THAT(PlanReconcile(Schema(std::string(kBase) + collective),
                              Schema(std::string(kBase) + tel + collective), options)
                    .changes,
                IsEmpty());
    // A bound the server dropped (389 keeps none) is no change; on files it is one.
    const PublishedSchema bounded =
        Schema(std::string(kBase) + "attributetype ( 1.9.1 NAME 'kxB' " + kString + "{64} )\n");
    std::string base = kBase;
    base.erase(base.find("{32768}"), 7);
    PublishedSchema unbounded =
        Schema(base + "attributetype ( 1.9.1 NAME 'kxB' " + kString + " )\n");
    EXPECT_EQ(PlanReconcile(bounded, unbounded, options).changes.size(), 2u);  // and 'name'
    unbounded.server = true;
    EXPECT_THAT(PlanReconcile(bounded, unbounded, options).changes, IsEmpty());

    const PublishedSchema ad = ActiveDirectory(
        Schema(std::string(kBase) + "attributetype ( 1.9.2 NAME 'kxSyn' " + kString +
               " )\n"
               "attributetype ( 1.9.3 NAME 'kxOne' " +
               kString +
               " )\n"
               "attributetype ( 1.9.4 NAME 'kxMore' " +
               kString +
               " )\n"
               "objectclass ( 1.9.5 NAME 'kxGrow' SUP top AUXILIARY MAY kxSyn )\n"
               "objectclass ( 1.9.6 NAME 'kxMust' SUP top AUXILIARY MUST kxSyn )\n"
               "objectclass ( 1.9.7 NAME 'kxShrink' SUP top AUXILIARY MAY ( kxSyn $ kxOne ) )\n"));
    const PublishedSchema lab = Schema(
        std::string(kBase) +
        "attributetype ( 1.9.2 NAME 'kxSyn' SYNTAX 1.3.6.1.4.1.1466.115.121.1.26 )\n"
        "attributetype ( 1.9.3 NAME 'kxOne' " +
        kString +
        " SINGLE-VALUE )\n"
        "attributetype ( 1.9.4 NAME 'kxMore' " +
        kString +
        " )\n"
        "objectclass ( 1.9.5 NAME 'kxGrow' SUP top AUXILIARY MAY ( kxSyn $ kxMore $ kxOne ) )\n"
        "objectclass ( 1.9.6 NAME 'kxMust' SUP top AUXILIARY MUST ( kxSyn $ kxOne ) )\n"
        "objectclass ( 1.9.7 NAME 'kxShrink' SUP top AUXILIARY MAY kxSyn )\n");
    options.dialect = LdifDialect::Ad;
    const ReconcilePlan plan = PlanReconcile(lab, ad, options);
    EXPECT_THAT(
        Shown(plan.refused),
        ElementsAre("kxSyn: its syntax differs, and AD does not change the syntax of an "
                    "attribute it has",
                    "kxOne: its single-value flag (isSingleValued) differs, and AD does not "
                    "change the single-value flag (isSingleValued) of an attribute it has",
                    "kxMust: its mandatory attributes (mustContain) differ, and AD does not "
                    "change the mandatory attributes (mustContain) of a class it has",
                    "kxShrink: it lacks optional attributes Tree #2's class has, and AD takes "
                    "none away from a class (mayContain only grows)"));
    ASSERT_EQ(plan.changes.size(), 1u);
    EXPECT_THAT(plan.changes[0].mayAdded, ElementsAre("kxMore", "kxOne"));
    std::string text;
    const auto changes = Written(plan, lab, ad, options, &text);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].dn, "CN=kxGrow,CN=Schema,CN=Configuration,DC=example,DC=com");
    ASSERT_EQ(changes[0].modifications.size(), 1u);
    EXPECT_EQ(changes[0].modifications[0].op, "add");
    EXPECT_EQ(changes[0].modifications[0].type, "mayContain");
    EXPECT_EQ(changes[1].dn, "");
    EXPECT_THAT(text, HasSubstr("# 0 attribute types and 0 object classes to add, 1 to modify, "
                                "4 refused definitions\n"));
}

TEST(Reconcile, HeaderCountsReadAsEnglish) {
    const std::string a = "attributetype ( 1.9.8 NAME 'kxA' " + std::string(kString) + " )\n";
    const std::string z = "attributetype ( 1.9.7 NAME 'kxZ' " + std::string(kString) + " )\n";
    const std::string changedA =
        "attributetype ( 1.9.8 NAME 'kxA' DESC 'x' " + std::string(kString) + " )\n";
    const std::string changedZ =
        "attributetype ( 1.9.7 NAME 'kxZ' DESC 'z' " + std::string(kString) + " )\n";
    const PublishedSchema tree2 = Schema(std::string(kBase) + a + z);
    for (const auto& [extra, counts] : std::vector<std::pair<std::string, std::string>>{
             {changedA + z, "# 0 attribute types and 0 object classes to add, 1 to replace\n"},
             {changedA + changedZ +
                  "attributetype ( 1.9.9 NAME 'kxB' SUP kxA )\n"
                  "objectclass ( 1.9.10 NAME 'kxC' SUP top AUXILIARY MAY ghost )\n"
                  "objectclass ( 1.9.11 NAME 'kxD' SUP top AUXILIARY MAY kxB )\n"
                  "objectclass ( 1.9.12 NAME 'kxE' SUP top AUXILIARY MAY kxB )\n"
                  "objectclass ( 1.9.13 NAME 'kxF' SUP top AUXILIARY MAY ghost )\n",
              "# 1 attribute type and 2 object classes to add, 2 to replace, 2 refused "
              "definitions\n"}}) {
        ReconcileOptions options;
        options.includeChanged = true;
        const PublishedSchema tree1 = Schema(std::string(kBase) + extra);
        std::string text;
        Written(PlanReconcile(tree1, tree2, options), tree1, tree2, options, &text);
        EXPECT_THAT(text, HasSubstr(counts));
    }
}

TEST(Reconcile, SchemaFileFormatReadsBackAsTheSameDefinitions) {
    const PublishedSchema tree2 = Schema(kBase);
    const PublishedSchema tree1 =
        Schema(std::string(kBase) +
               "objectidentifier Kx 1.9.20\n"
               "attributetype ( Kx:1 NAME 'kxA' DESC 'caf\xC3\xA9 ( $ )' SUP name )\n"
               "attributetype ( Kx:2 NAME 'kxLost' SUP ghost )\n"
               "objectclass ( Kx:3 NAME 'kxC' SUP top AUXILIARY MAY kxA )\n");
    const ReconcilePlan plan = PlanReconcile(tree1, tree2, {});
    const std::string text = WriteReconcileSchemaFile(plan, tree1, tree2, {}, Header());
    EXPECT_THAT(text, HasSubstr("\n# Not added: attribute type 'kxLost': its super type 'ghost' "
                                "is on neither tree\n"));
    const PublishedSchema back = Schema(text);
    ASSERT_EQ(back.attributeTypes.size(), 1u);
    EXPECT_EQ(back.attributeTypes[0].text, tree1.attributeTypes[3].text);
    ASSERT_EQ(back.objectClasses.size(), 1u);
    EXPECT_EQ(back.objectClasses[0].text, tree1.objectClasses[2].text);
}

// A bare apostrophe the lenient reader took ("Bob's") and a backslash that starts no escape
// are written as \27 and \5C wherever the text goes inside quotes; a definition whose
// strings cannot be told apart is refused, and what needs it with it.
TEST(Reconcile, QuotedStringsAreWrittenEscapedOrRefusedWithTheirDependents) {
    const PublishedSchema tree2 = Schema(kBase);
    const PublishedSchema tree1 = Schema(
        std::string(kBase) +
        "attributetype ( 1.9.30 NAME 'kxBob' DESC 'Bob's attribute' SUP name "
        "X-NOTE ( 'it's' 'C:\\dir\\27' ) )\n"
        "attributetype ( 1.9.31 NAME 'kxBare' DESC Bob's SUP name )\n"
        "attributetype ( 1.9.32 NAME 'kxBareSub' SUP kxBare )\n"
        "objectclass ( 1.9.33 NAME 'kxBobs' DESC 'Bob's class' SUP top AUXILIARY MAY kxBob )\n");
    const std::vector<std::string> escaped = {
        "( 1.9.30 NAME 'kxBob' DESC 'Bob\\27s attribute' SUP name X-NOTE ( 'it\\27s' "
        "'C:\\5Cdir\\27' ) )",
        "( 1.9.33 NAME 'kxBobs' DESC 'Bob\\27s class' SUP top AUXILIARY MAY kxBob )"};
    for (LdifDialect dialect : {LdifDialect::Rfc4512, LdifDialect::OpenLdap}) {
        SCOPED_TRACE(static_cast<int>(dialect));
        ReconcileOptions options;
        options.dialect = dialect;
        const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
        EXPECT_THAT(Shown(plan.refused),
                    ElementsAre(HasSubstr("kxBare: its quoted strings cannot be escaped"),
                                "kxBareSub: its super type 'kxBare' cannot be added either"));
        std::vector<std::string> values;
        for (const auto& [type, value] : Added(Written(plan, tree1, tree2, options)))
            if (type != "objectClass" && type != "cn") values.push_back(value);
        EXPECT_EQ(values, escaped);
        if (dialect != LdifDialect::OpenLdap) continue;
        const std::string file = WriteReconcileSchemaFile(plan, tree1, tree2, options, Header());
        EXPECT_THAT(file, HasSubstr("\nattributetype " + escaped[0] + "\n"));
        const PublishedSchema back = Schema(file);
        ASSERT_EQ(back.attributeTypes.size(), 1u);
        EXPECT_EQ(back.attributeTypes[0].element.description, "Bob's attribute");
        ASSERT_EQ(back.attributeTypes[0].element.extensions.size(), 1u);
        EXPECT_THAT(back.attributeTypes[0].element.extensions[0].values,
                    ElementsAre("it's", "C:\\dir'"));
    }
}

// A .schema file cannot hold a text with a line break: what needs that definition, however
// far down, is left out too, each naming what it needs. LDIF writes them all.
TEST(Reconcile, SchemaFileLeavesOutWhatNeedsADefinitionItCannotWrite) {
    const PublishedSchema tree1 = Schema(
        RulesDump(std::string(kBase) +
                  "attributetype ( 1.9.41 NAME 'kxSub' SUP kxBroken )\n"
                  "attributetype ( 1.9.42 NAME 'kxSubSub' SUP kxSub )\n"
                  "objectclass ( 1.9.43 NAME 'kxUses' SUP top AUXILIARY MAY ( name $ kxSubSub ) )\n"
                  "objectclass ( 1.9.44 NAME 'kxDerived' SUP kxUses AUXILIARY )\n"
                  "objectclass ( 1.9.45 NAME 'kxFine' SUP top AUXILIARY MAY name )") +
            LdifAttributeLine("attributeTypes",
                              "( 1.9.40 NAME 'kxBroken' DESC 'two\nlines' SUP name )"),
        SchemaFileFormat::Ldif);
    const PublishedSchema tree2 = Schema(kBase);
    const ReconcilePlan plan = PlanReconcile(tree1, tree2, {});
    ASSERT_EQ(plan.additions.size(), 6u);
    EXPECT_EQ(Added(Written(plan, tree1, tree2, {})).size(), 6u);
    const std::string file = WriteReconcileSchemaFile(plan, tree1, tree2, {}, Header());
    for (const char* line :
         {"attribute type 'kxBroken': its text holds a control character",
          "attribute type 'kxSub': its super type 'kxBroken' is not written either",
          "attribute type 'kxSubSub': its super type 'kxSub' is not written either",
          "object class 'kxUses': the attribute type 'kxSubSub' is not written either",
          "object class 'kxDerived': its super class 'kxUses' is not written either"})
        EXPECT_THAT(file, HasSubstr("\n# Not written: "s + line + "\n"));
    const PublishedSchema back = Schema(file);
    EXPECT_THAT(back.attributeTypes, IsEmpty());
    ASSERT_EQ(back.objectClasses.size(), 1u);
    EXPECT_EQ(back.objectClasses[0].shown, "kxFine");
}

// AD has no inheritance: each type's syntax and bound come from up its chain, however deep;
// a class naming (X-NDS_NAMING) an attribute AD will not know is refused.
TEST(Reconcile, AdDialectFindsTheSyntaxUpAChainOfAnyDepth) {
    constexpr int kDepth = 12000;
    std::string text = kBase;
    for (int i = 0; i < kDepth; ++i)
        text += "attributetype ( 1.9.50." + std::to_string(i) + " NAME 'kxD" + std::to_string(i) +
                "' SUP " + (i == 0 ? "name" : "kxD" + std::to_string(i - 1)) + " )\n";
    text +=
        "objectclass ( 1.9.51 NAME 'kxNamed' SUP top STRUCTURAL MAY kxD11999 "
        "X-NDS_NAMING 'kxGhost' )\n";
    const PublishedSchema tree1 = Schema(text);
    const PublishedSchema tree2 = ActiveDirectory(Schema(kBase));
    ReconcileOptions options;
    options.dialect = LdifDialect::Ad;
    const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
    EXPECT_THAT(Shown(plan.refused),
                ElementsAre("kxNamed: its naming attribute 'kxGhost' is on neither tree"));
    ASSERT_EQ(plan.additions.size(), static_cast<std::size_t>(kDepth));
    const auto deepest = AdObjects(Written(plan, tree1, tree2, options)).at("kxD11999");
    EXPECT_EQ(deepest.at("attributeSyntax"), std::vector<std::string>{"2.5.5.12"});
    EXPECT_EQ(deepest.at("rangeUpper"), std::vector<std::string>{"32768"});
}

TEST(PublishedText, MacrosExpandedBlanksFoldedQuotedTextKept) {
    const PublishedSchema cfg = Schema(
        "dn: cn=site,cn=schema,cn=config\n"
        "olcObjectIdentifier: {0}SiteRoot 1.3.6.1.4.1.99999\n"
        "olcObjectIdentifier: {1}SiteAt SiteRoot:1\n"
        "olcAttributeTypes: {0}( SiteAt:1 NAME 'siteCode' DESC 'Two  blanks:\n"
        "  kept'    SYNTAX SiteRoot:9{64} )\n"
        "olcObjectClasses: {0}( SiteRoot:2.1 NAME 'siteThing' AUXILIARY MAY siteCode )\n",
        SchemaFileFormat::Ldif);
    ASSERT_EQ(cfg.attributeTypes.size(), 1u);
    EXPECT_EQ(cfg.attributeTypes[0].text,
              "( 1.3.6.1.4.1.99999.1.1 NAME 'siteCode' DESC 'Two  blanks: kept' SYNTAX "
              "1.3.6.1.4.1.99999.9{64} )");
    EXPECT_EQ(cfg.attributeTypes[0].oid, "1.3.6.1.4.1.99999.1.1");
    EXPECT_EQ(cfg.objectClasses[0].text,
              "( 1.3.6.1.4.1.99999.2.1 NAME 'siteThing' AUXILIARY MAY siteCode )");
    EXPECT_THAT(cfg.objectClasses[0].may, ElementsAre("siteCode"));

    const auto identity = [](const std::string& s) { return s; };
    EXPECT_EQ(PublishedOneLine("(  1.2\t NAME\n'x'  )", identity), "( 1.2 NAME 'x' )");
    EXPECT_EQ(CanonicalObjectClass("( 1.2 NAME 'x' MAY ( B $ a ) X-ORIGIN 'one' )"),
              CanonicalObjectClass("( 1.2 NAME 'x' MAY ( a $ b ) )"));
    EXPECT_NE(CanonicalObjectClass("( 1.2 NAME 'x' MAY a )"),
              CanonicalObjectClass("( 1.2 NAME 'x' MUST a )"));
    EXPECT_EQ(CanonicalObjectClass("( 1.2 NAME 'x' BOGUS"), "");
}

// 389 Directory Server stores what a type inherits spelled out: no difference either.
TEST(PublishedText, InheritedPartsSpelledOutAreNoDifference) {
    const PublishedSchema tree1 = Schema(std::string(kBase) +
                                         "attributetype ( 1.5.1 NAME 'kxA' SUP name EQUALITY "
                                         "caseIgnoreMatch )\n"
                                         "attributetype ( 1.5.2 NAME 'kxC' SUP kxA )\n"
                                         "attributetype ( 1.5.3 NAME 'kxD' SUP kxA )\n"
                                         "attributetype ( 1.6.1 NAME 'loop1' SUP loop2 )\n"
                                         "attributetype ( 1.6.2 NAME 'loop2' SUP loop1 )\n");
    const std::string spelled =
        " EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} X-ORIGIN 'user "
        "defined' )\n";
    const PublishedSchema tree2 =
        Schema(std::string(kBase) + "attributetype ( 1.5.1 NAME 'kxA' SUP name" + spelled +
               "attributetype ( 1.5.2 NAME 'kxC' SUP kxA" + spelled +
               // Another matching rule than the inherited one is a difference.
               "attributetype ( 1.5.3 NAME 'kxD' SUP kxA EQUALITY caseExactMatch )\n");
    ReconcileOptions options;
    options.includeChanged = true;
    const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
    ASSERT_EQ(plan.changes.size(), 1u);
    EXPECT_EQ(plan.changes[0].tree1->shown, "kxD");
    EXPECT_THAT(tree1.attributeTypes[6].canonical, HasSubstr("loop1"));
}

}  // namespace

namespace {

// What each dialect's server refuses is refused before writing, with the server's reason;
// a server's own configuration schema only when asked for; a quoted syntax is written bare.
TEST(Reconcile, EachDialectRefusesWhatItsServerRefuses) {
    const PublishedSchema tree1 =
        Schema(std::string(kBase) +
               "attributetype ( 1.8.1 NAME 'kxQuoted' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' )\n"
               "attributetype ( 1.8.2 NAME 'kx blank' SUP name )\n"
               "attributetype ( kx-oid NAME 'kxWordOid' SUP name )\n"
               "attributetype ( 1.8.4 NAME 'kxNoMod' SUP name NO-USER-MODIFICATION )\n"
               "attributetype ( 1.3.6.1.4.1.4203.1.12.2.3.0.1 NAME 'olcFake' SUP name )\n"
               "attributetype ( 1.8.6 NAME 'nsslapd-fake' SUP name )\n"
               "objectclass ( 1.8.7 NAME 'kxTwoSups' SUP ( top $ person ) STRUCTURAL )\n"
               "objectclass ( 1.8.8 NAME 'kxAuxUnderPerson' SUP person AUXILIARY )\n");
    const PublishedSchema tree2 = Schema(kBase);
    const std::string config = "configuration schema of ";
    using V = std::vector<std::string>;
    struct Case {
        LdifDialect dialect;
        bool includeConfig;
        V refused;
    };
    const Case cases[] = {
        {LdifDialect::Rfc4512, false,
         V{"kx blank: its name 'kx blank' holds a blank, which servers refuse",
           "olcFake: " + config + "OpenLDAP (--include-config-schema writes it)",
           "nsslapd-fake: " + config + "389 Directory Server (--include-config-schema writes it)",
           "kxTwoSups: it has 2 super classes; 389 Directory Server keeps only the first"}},
        {LdifDialect::OpenLdap, true,
         V{"kx blank: its name 'kx blank' holds a blank, which servers refuse",
           "kxWordOid: its OID 'kx-oid' is not numeric, which slapd refuses",
           "kxNoMod: it is NO-USER-MODIFICATION but not operational (USAGE userApplications), "
           "which slapd refuses",
           "kxAuxUnderPerson: an AUXILIARY class under the STRUCTURAL class 'person', which "
           "slapd refuses"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.dialect));
        ReconcileOptions options;
        options.dialect = c.dialect;
        options.includeConfigSchema = c.includeConfig;
        const ReconcilePlan plan = PlanReconcile(tree1, tree2, options);
        EXPECT_EQ(Shown(plan.refused), c.refused);
        std::string values;
        for (const LdifChange& change : Written(plan, tree1, tree2, options))
            for (const LdifModification& m : change.modifications)
                for (const std::string& v : m.values) values += v + "\n";
        EXPECT_THAT(values, HasSubstr("NAME 'kxQuoted' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )"));
    }
    // A NetWare-descended directory takes every super class.
    const PublishedSchema nds =
        Schema(std::string(kBase) +
               "attributetype ( 1.9.9 NAME 'kxNds' SUP name X-NDS_PUBLIC_READ '1' )\n");
    for (const RefusedDefinition& r : PlanReconcile(tree1, nds, {}).refused)
        EXPECT_NE(r.definition->shown, "kxTwoSups") << r.reason;
}

}  // namespace
