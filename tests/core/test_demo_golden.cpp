// The demo trees compared end to end, live and with one side read back from a schema file,
// against the expected results checked in beside the fixtures.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "ClientFactory.h"
#include "Compare.h"
#include "D_NW.h"
#include "RecordingUi.h"
#include "SchemaFile.h"
#include "TempDir.h"
#include "TreeLoading.h"

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

// The demo's two LDAP servers: every kind of field finding, and none where only the
// spelling differs.
TEST_F(DemoGolden, InitechServersDifferInEveryFieldKindAndNothingElse) {
    loadOnline(1, "INITECH-LDAP");
    loadOnline(2, "INITECH-DS");
    Findings found;
    const FindingFn keep = [&](const Finding& f) { found.push_back(f); };
    CompareAllClasses(*ws, ui, {}, keep);
    CompareAllAttributes(*ws, ui, {}, keep);
    ASSERT_TRUE(PublishesOtherElements(*ws));
    CompareOtherElements(*ws, keep);
    EXPECT_TRUE(ui.dialogs.empty());

    std::set<std::string> attrFields;
    std::set<std::string> named;
    std::vector<std::string> sameOid;
    std::set<std::string> lineDiffers;
    std::set<std::string> ruleFindings;
    for (const Finding& f : found) {
        named.insert(f.name);
        if (f.type == FindingType::Field && f.kind == int(ElementType::AttributeType))
            attrFields.insert(f.label + " " + f.name);
        if (f.type == FindingType::SameOid) sameOid.push_back(f.name + " " + f.text1);
        if (f.type == FindingType::AttrDefinition || f.type == FindingType::ClassFlags)
            lineDiffers.insert(f.name);
        if (f.kind == int(ElementType::MatchingRule))
            ruleFindings.insert(std::to_string(int(f.type)) + " " + f.name + " " + f.label);
    }
    EXPECT_EQ(
        attrFields,
        (std::set<std::string>{
            "OID initechParkingSpace", "Names uid", "Description initechVacationDays",
            "Obsolete initechLegacyLogin", "Super Type initechDisplayAlias", "Equality mail",
            "Ordering initechLocker", "Substring initechDeskPhone", "Collective c-initechSite",
            "Usage initechReplicaStamp", "X-INITECH-OWNER initechClearance"}));
    // Syntax, its length, single value and read-only show in the definition lines; the kind
    // in the class flags.
    EXPECT_EQ(lineDiffers,
              (std::set<std::string>{"initechBuilding", "initechCostCenter", "initechManagerLevel",
                                     "initechLastSync", "initechContractor"}));
    EXPECT_EQ(sameOid, std::vector<std::string>{"initechBadge initechBadgeNumber"});
    const std::string unique = std::to_string(int(FindingType::UniqueElement));
    const std::string field = std::to_string(int(FindingType::Field));
    EXPECT_EQ(ruleFindings,
              (std::set<std::string>{unique + " UUIDMatch ", unique + " UUIDOrderingMatch ",
                                     unique + " wordMatch ", unique + " keywordMatch ",
                                     field + " numericStringSubstringsMatch Syntax"}));
    // Spelled otherwise, or differing only where it came from: no finding.
    for (const char* same : {"initechProject", "initechMailStop", "initechFloor", "labeledURI",
                             "initechTpsReport", "initechShift", "initechDepartment",
                             "initechOffsiteLocation", "organizationalPerson", "initechLocation"})
        EXPECT_EQ(named.count(same), 0u) << same;
}

}  // namespace
