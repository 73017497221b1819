// The fix-up LDIF: which definitions Tree #2 gets and in what order (deep super chains of
// both kinds), each refusal and why, replacements, the class page's selection, the
// published text kept by the sources, and every document read back with libldap's reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "LdapSchema.h"
#include "LdifRecords.h"
#include "PublishedText.h"
#include "Reconcile.h"
#include "SchemaFileTree.h"
#include "SimulatedClient.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

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
        std::string sup = i == 0 ? "person" : "c" + std::to_string(i - 1);
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

    for (LdifDialect dialect : {LdifDialect::Rfc4512, LdifDialect::OpenLdap}) {
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
