// The synthetic schema generator: the trees it makes must be what the benchmarks claim
// (size, share of differences, realistic references, the simulated client's format), and
// the same seed must give the same trees.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <unordered_set>

#include "SchemaGenerator.h"
#include "core/Names.h"
#include "core/compare/Compare.h"
#include "sources/ClientConfig.h"

namespace {

struct Case {
    std::size_t classes;
    std::size_t attributes;
    double diff;
};

class GeneratorShape : public ::testing::TestWithParam<Case> {};

TEST_P(GeneratorShape, SizesSharesAndReferences) {
    const Case c = GetParam();
    SchemaGenOptions o;
    o.classes = c.classes;
    o.attributes = c.attributes;
    o.diff = c.diff;
    o.seed = 7;
    const SchemaPair pair = GenerateSchemaPair(o);
    const SimTree& t1 = *pair.tree1;
    const SimTree& t2 = *pair.tree2;
    ASSERT_EQ(t1.classes.size(), c.classes);
    ASSERT_EQ(t1.attributes.size(), c.attributes);

    // A quarter of the share only in Tree #1, a quarter only in Tree #2, the rest changed.
    const auto classDiff = static_cast<std::size_t>(std::llround(c.diff * c.classes));
    const auto attrDiff = static_cast<std::size_t>(std::llround(c.diff * c.attributes));
    const SchemaGenSummary& s = pair.summary;
    EXPECT_EQ(s.classesOnly1, classDiff / 4);
    EXPECT_EQ(s.classesOnly2, classDiff / 4);
    EXPECT_EQ(s.attributesOnly1, attrDiff / 4);
    EXPECT_EQ(s.attributesOnly2, attrDiff / 4);
    EXPECT_EQ(s.attributesChanged, attrDiff - 2 * (attrDiff / 4));
    EXPECT_EQ(s.classesChanged, classDiff - 2 * (classDiff / 4));
    EXPECT_EQ(t2.classes.size(), c.classes - s.classesOnly1 + s.classesOnly2);
    EXPECT_EQ(t2.attributes.size(), c.attributes - s.attributesOnly1 + s.attributesOnly2);

    for (const SimTree* tree : {&t1, &t2}) {
        std::unordered_set<std::string> classKeys, attrKeys;
        for (const SimClass& k : tree->classes) {
            EXPECT_FALSE(k.name.empty());
            EXPECT_LE(k.name.size(), 32u) << k.name;
            EXPECT_TRUE(classKeys.insert(NameKey(k.name)).second) << "twice: " << k.name;
            EXPECT_GT(k.id.length, 0u) << k.name;
        }
        for (const SimAttr& a : tree->attributes) {
            EXPECT_LE(a.name.size(), 32u) << a.name;
            EXPECT_TRUE(attrKeys.insert(NameKey(a.name)).second) << "twice: " << a.name;
        }
        // Every item names a class or an attribute the tree has (Tree #2 may still name a
        // class only Tree #1 has, as a real tree with a half-removed extension would).
        if (tree != &t1) continue;
        for (const SimClass& k : tree->classes) {
            for (std::size_t kind : {0u, 1u})
                for (const std::string& item : k.items[kind])
                    EXPECT_TRUE(classKeys.contains(NameKey(item))) << k.name << ": " << item;
            for (std::size_t kind : {2u, 3u, 4u})
                for (const std::string& item : k.items[kind])
                    EXPECT_TRUE(attrKeys.contains(NameKey(item))) << k.name << ": " << item;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, GeneratorShape,
                         ::testing::Values(Case{400, 2000, 0.05}, Case{200, 1000, 0.2},
                                           Case{60, 150, 0.0}, Case{1, 1, 0.0}, Case{30, 40, 1.0}));

TEST(Generator, SameSeedSameTreesOtherSeedOthers) {
    SchemaGenOptions o;
    o.classes = 300;
    o.attributes = 1200;
    const SchemaPair a = GenerateSchemaPair(o);
    const SchemaPair b = GenerateSchemaPair(o);
    EXPECT_EQ(TreeDescriptionJson(*a.tree1), TreeDescriptionJson(*b.tree1));
    EXPECT_EQ(TreeDescriptionJson(*a.tree2), TreeDescriptionJson(*b.tree2));
    o.seed = 2;
    const SchemaPair c = GenerateSchemaPair(o);
    EXPECT_NE(TreeDescriptionJson(*a.tree1), TreeDescriptionJson(*c.tree1));
}

TEST(Generator, RejectsOptionsNoSchemaMeets) {
    SchemaGenOptions o;
    o.classes = 0;
    EXPECT_THROW(GenerateSchemaPair(o), std::invalid_argument);
    o.classes = 10;
    o.attributes = 0;
    EXPECT_THROW(GenerateSchemaPair(o), std::invalid_argument);
    o.attributes = 10;
    o.diff = 1.5;
    EXPECT_THROW(GenerateSchemaPair(o), std::invalid_argument);
    o.diff = -0.1;
    EXPECT_THROW(GenerateSchemaPair(o), std::invalid_argument);
}

// The JSON the tool writes is read back by the simulated client into the same tree.
TEST(Generator, TreeDescriptionReadsBackUnchanged) {
    SchemaGenOptions o;
    o.classes = 150;
    o.attributes = 600;
    o.diff = 0.2;
    const SchemaPair pair = GenerateSchemaPair(o);
    for (const SimTree* tree : {pair.tree1.get(), pair.tree2.get()}) {
        SimTree back;
        std::string error;
        ASSERT_TRUE(ParseTreeDescription(TreeDescriptionJson(*tree), back, error)) << error;
        EXPECT_EQ(back.defaultContext, tree->defaultContext);
        ASSERT_EQ(back.classes.size(), tree->classes.size());
        for (std::size_t i = 0; i < back.classes.size(); ++i) {
            const SimClass& x = back.classes[i];
            const SimClass& y = tree->classes[i];
            EXPECT_EQ(x.name, y.name);
            EXPECT_EQ(x.flags, y.flags);
            EXPECT_EQ(x.items, y.items);
            ASSERT_EQ(x.id.length, y.id.length);
            EXPECT_TRUE(std::equal(x.id.data, x.id.data + x.id.length, y.id.data)) << x.name;
        }
        ASSERT_EQ(back.attributes.size(), tree->attributes.size());
        for (std::size_t i = 0; i < back.attributes.size(); ++i) {
            const DirAttrInfo& x = back.attributes[i].info;
            const DirAttrInfo& y = tree->attributes[i].info;
            EXPECT_EQ(back.attributes[i].name, tree->attributes[i].name);
            EXPECT_EQ(x.attrFlags, y.attrFlags);
            EXPECT_EQ(x.attrSyntaxID, y.attrSyntaxID);
            EXPECT_EQ(x.attrLower, y.attrLower);
            EXPECT_EQ(x.attrUpper, y.attrUpper);
            EXPECT_EQ(x.asn1ID.length, y.asn1ID.length);
        }
    }
    ClientConfig config;
    std::string error;
    ASSERT_TRUE(ParseClientConfig(ClientConfigJson("a.json", "b.json"), "/data", config, error))
        << error;
    ASSERT_EQ(config.connections.size(), 2u);
    EXPECT_EQ(config.connections[0].treeName, kBenchTree1);
    EXPECT_EQ(config.connections[1].treeFile, "/data/b.json");
    EXPECT_EQ(config.primary, 0u);
}

// The benchmarks compare trees from files and through the client: both must give the same
// lines, and the unique lines must match what the generator says it made.
TEST(Generator, SchemaFilesCompareLikeTheLiveTrees) {
    SchemaGenOptions o;
    o.classes = 120;
    o.attributes = 500;
    o.diff = 0.2;
    const SchemaPair pair = GenerateSchemaPair(o);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string p1 = dir.filePath("tree1.txt").toStdString();
    const std::string p2 = dir.filePath("tree2.txt").toStdString();
    WriteSchemaFiles(pair, p1, p2);

    Workspace files(std::make_unique<SimulatedClient>(SimDirectory{}));
    LoadSlotFromFile(files, 1, p1);
    LoadSlotFromFile(files, 2, p2);
    EXPECT_EQ(files.tree(1).TreeName, kBenchTree1);
    EXPECT_EQ(files.tree(1).ClassNames.size(), o.classes);
    EXPECT_EQ(files.tree(1).AttrNames.size(), o.attributes);

    Workspace live(std::make_unique<SimulatedClient>(MakeBenchDirectory(pair)));
    SilentUi ui;
    ASSERT_EQ(LoadSlotOnline(live, ui, 1, kBenchTree1), 0);
    ASSERT_EQ(LoadSlotOnline(live, ui, 2, kBenchTree2), 0);

    auto run = [&](Workspace& ws, bool classes, Findings* found = nullptr) {
        Lines lines;
        const FindingFn toLines =
            FindingLinesTo([&](const std::string& line) { lines.push_back(line); });
        (classes ? CompareAllClasses : CompareAllAttributes)(ws, ui, {}, [&](const Finding& f) {
            toLines(f);
            if (found) found->push_back(f);
        });
        return lines;
    };
    Findings classFindings;
    const Lines classLines = run(files, true, &classFindings);
    EXPECT_EQ(classLines, run(live, true));
    EXPECT_EQ(run(files, false), run(live, false));
    const auto unique = std::count_if(classFindings.begin(), classFindings.end(),
                                      [](const Finding& f) { return IsUniqueFinding(f); });
    EXPECT_EQ(static_cast<std::size_t>(unique),
              pair.summary.classesOnly1 + pair.summary.classesOnly2);
    EXPECT_GT(classFindings.size(), static_cast<std::size_t>(unique));
}

}  // namespace
