// The demo trees compared end to end, live and with one side read back from a schema file,
// against the expected results checked in beside the fixtures.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "RecordingUi.h"
#include "TempDir.h"
#include "core/SchemaFile.h"
#include "core/TreeLoading.h"
#include "core/compare/Compare.h"
#include "core/directory/D_NW.h"
#include "sources/ClientFactory.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DemoGolden : public ::testing::Test {
  protected:
    void SetUp() override {
        ws = std::make_unique<Workspace>(
            CreateClientFromConfig(KALVIX_SOURCE_DIR "/data/demo/kalvix-client.json"));
        for (int tree = 1; tree <= 2; ++tree) ws->client().dcNewContext(ws->tree(tree).Context);
        ASSERT_EQ(InitNetWare(ws->client(), ws->Session, ui), 0u);
    }

    // What choosing a tree in a selector does to the slot.
    void loadOnline(int tree, const std::string& name) {
        TTreeInfo& slot = ws->tree(tree);
        ASSERT_EQ(ChangeSlotTree(*ws, ui, tree, name), 0);
        ASSERT_EQ(ReadSlotNames(*ws, ui, tree), 0);
        SortNames(slot.ClassNames);
        SortNames(slot.AttrNames);
    }

    void loadOffline(int tree, const std::string& path) {
        TTreeInfo& slot = ws->tree(tree);
        OpenSchemaFileIntoSlot(slot, path);
        slot.ClassNames.clear();
        slot.AttrNames.clear();
        ReadSchemaNames(slot, {});
        SortNames(slot.ClassNames);
        SortNames(slot.AttrNames);
    }

    std::string run(bool (*compare)(Workspace&, UiHooks&, const LineFn&, const FindingFn&)) {
        std::string out;
        compare(*ws, ui, {}, [&](const Finding& f) { AppendFindingText(f, out); });
        return out;
    }

    void expectGolden() {
        EXPECT_EQ(run(CompareAllClasses),
                  ReadFile(KALVIX_TEST_DATA "/demo/acme-globex_classes_expected.txt"));
        EXPECT_EQ(run(CompareAllAttributes),
                  ReadFile(KALVIX_TEST_DATA "/demo/acme-globex_attributes_expected.txt"));
        EXPECT_TRUE(ui.dialogs.empty());
    }

    RecordingUi ui;
    std::unique_ptr<Workspace> ws;
    TempDir dir;
};

TEST_F(DemoGolden, LiveTreesGiveTheExpectedFindings) {
    loadOnline(1, "ACME-CORP");
    loadOnline(2, "GLOBEX");
    expectGolden();
}

TEST_F(DemoGolden, ASavedCopyComparesLikeTheLiveTree) {
    loadOnline(2, "GLOBEX");
    const std::string path = dir.file("GLOBEX.txt");
    SaveSchemaFile(*ws, ui, 2, path, {});
    loadOnline(1, "ACME-CORP");
    loadOffline(2, path);
    EXPECT_EQ(ws->tree(2).TreeName, "GLOBEX");
    expectGolden();

    // And the other way round: Tree #1 from its file, Tree #2 live again.
    const std::string acme = dir.file("ACME-CORP.txt");
    SaveSchemaFile(*ws, ui, 1, acme, {});
    loadOffline(1, acme);
    loadOnline(2, "GLOBEX");
    expectGolden();
}

TEST_F(DemoGolden, ATreeAgainstItselfHasNoFindings) {
    loadOnline(1, "GLOBEX");
    loadOnline(2, "globex");
    EXPECT_EQ(run(CompareAllClasses), "");
    EXPECT_EQ(run(CompareAllAttributes), "");
}

// The demo's two LDAP servers: in LDAP's words, one finding a planted change, none where
// only the spelling differs (data/demo/initech-expected.md tells each line).
TEST_F(DemoGolden, InitechServersDifferInEveryFieldKindAndNothingElse) {
    loadOnline(1, "INITECH-LDAP");
    loadOnline(2, "INITECH-DS");
    std::string out;
    const FindingFn text = [&](const Finding& f) { AppendFindingText(f, out); };
    CompareAllClasses(*ws, ui, {}, text);
    CompareAllAttributes(*ws, ui, {}, text);
    ASSERT_TRUE(PublishesOtherElements(*ws));
    CompareOtherElements(*ws, text);
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_EQ(out, ReadFile(KALVIX_TEST_DATA "/demo/initech_expected.txt"));
}

}  // namespace
