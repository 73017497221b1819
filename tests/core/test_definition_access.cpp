// Definitions of an online slot (through the directory client) and of an offline one, and
// the pieces that mix both: comparing across them and saving an online tree.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FakeDirClient.h"
#include "RecordingUi.h"
#include "TempDir.h"
#include "core/D_Util.h"
#include "core/SchemaFile.h"
#include "core/compare/Compare.h"
#include "core/directory/DefinitionAccess.h"

namespace {

using Items = std::vector<std::string>;
constexpr DirCode kFail = -601;  // shows as FFFFFDA7

class DefinitionAccessTest : public ::testing::Test {
  protected:
    DefinitionAccessTest() : fakeOwner(std::make_unique<FakeDirClient>()), fake(*fakeOwner) {
        fake.addClass("Person", 0x06, {0x06, 0x03, 0x55, 0x06, 0x06}, {"Top"}, {"Organization"},
                      {"CN"}, {"CN", "Surname"}, {"Description"});
        fake.addClass("Top", 0x02, {0x06, 0x03, 0x55, 0x06, 0x00});
        fake.addAttr("CN", 0x83, 3, 1, 64);
        fake.addAttr("Surname", 0x03, 3, 1, 64);
        ws = std::make_unique<Workspace>(std::move(fakeOwner));
        DirContext context = 0;
        EXPECT_EQ(fake.dcNewContext(context), 0);
        TTreeInfo& slot = ws->tree(1);
        slot.Online = 1;
        slot.Context = context;
        slot.TreeName = "FAKE_TREE";
    }

    TClassInfo Class(const std::string& name) {
        TClassInfo info;
        GetClassDef(*ws, ui, 1, name, info);
        return info;
    }

    std::unique_ptr<FakeDirClient> fakeOwner;
    FakeDirClient& fake;
    std::unique_ptr<Workspace> ws;
    RecordingUi ui;
    TempDir dir;
};

TEST_F(DefinitionAccessTest, OnlineClassReadsSixKindsAndFlags) {
    ws->LastError = 99;
    const TClassInfo info = Class("Person");
    EXPECT_EQ(info.Flags, "Effective\\Non-Removable");
    const std::array<Items, kClassItemKinds> expected = {
        Items{"Top"},           Items{"Organization"}, Items{"CN"},
        Items{"CN", "Surname"}, Items{"Description"},  Items{},
        Items{"2.5.6.6"}};
    EXPECT_EQ(info.Items, expected);
    EXPECT_EQ(ws->LastError, 0);
    EXPECT_TRUE(ui.dialogs.empty());
    // One definition read and six item reads, every call afresh.
    EXPECT_EQ(fake.count("dcFetchClasses"), 7u);
    Class("Person");
    EXPECT_EQ(fake.count("dcFetchClasses"), 14u);
}

TEST_F(DefinitionAccessTest, OnlineClassFailures) {
    struct Case {
        const char* what;
        std::uint32_t
            fetchCall;  // which dcFetchClasses call fails: 1 = definition, 2..7 = kinds 0-4, 6
        std::vector<std::string> dialogs;
        std::string flags;
        bool superClassesRead;
        bool asnRead;
        DirCode lastError;
    };
    const std::vector<Case> cases = {
        {"definition read fails: one dialog, items still read",
         1,
         {"Error FFFFFDA7: U_DSGetClassDef: Person"},
         "",
         true,
         true,
         0},
        {"a kind 0 read fails: no dialog", 2, {}, "Effective\\Non-Removable", false, true, 0},
        {"the kind 6 read fails: its code is reported and kept",
         7,
         {"Error FFFFFDA7: U_DSReadAttributes: Person"},
         "Effective\\Non-Removable",
         true,
         false,
         kFail},
    };
    for (const Case& c : cases) {
        // Counted from when the failure is set up, over the calls about Person.
        fake.failOn("dcFetchClasses", kFail, c.fetchCall, "Person");
        ui.clear();
        const TClassInfo info = Class("Person");
        EXPECT_EQ(ui.texts(), c.dialogs) << c.what;
        for (const ShownDialog& d : ui.dialogs) EXPECT_EQ(d.type, DlgType::Error) << c.what;
        EXPECT_EQ(info.Flags, c.flags) << c.what;
        EXPECT_EQ(info.Items[ikSuperClass].empty(), !c.superClassesRead) << c.what;
        EXPECT_EQ(info.Items[ikMandatoryAttribute], (Items{"CN", "Surname"})) << c.what;
        EXPECT_EQ(info.Items[ikASN].empty(), !c.asnRead) << c.what;
        EXPECT_EQ(ws->LastError, c.lastError) << c.what;
    }
}

TEST_F(DefinitionAccessTest, OnlineUnknownClassShowsTwoDialogs) {
    const TClassInfo info = Class("Nobody");
    ASSERT_EQ(ui.dialogs.size(), 2u);
    EXPECT_TRUE(ui.dialogs[0].text.ends_with(": U_DSGetClassDef: Nobody")) << ui.dialogs[0].text;
    EXPECT_EQ(ui.dialogs[1].text, ErrorCodeText(ws->LastError, "U_DSReadAttributes: Nobody"));
    EXPECT_NE(ws->LastError, 0);
    EXPECT_EQ(info.Flags, "");
    for (const Items& items : info.Items) EXPECT_TRUE(items.empty());
}

TEST_F(DefinitionAccessTest, OnlineAttribute) {
    std::string expected;
    ASSERT_EQ(U_DSGetAttributeInfo(fake, ws->tree(1).Context, "CN", expected), 0);
    ASSERT_FALSE(expected.empty());

    std::string definition = "stale";
    ws->LastError = 5;
    GetAttrDef(*ws, ui, 1, "CN", definition);
    EXPECT_EQ(definition, expected);
    EXPECT_EQ(ws->LastError, 0);
    EXPECT_TRUE(ui.dialogs.empty());

    fake.failOn("dcFetchAttributes", kFail, 0, "Surname");
    definition = "stale";
    GetAttrDef(*ws, ui, 1, "Surname", definition);
    EXPECT_EQ(definition, "");
    EXPECT_EQ(ws->LastError, kFail);
    EXPECT_EQ(ui.texts(),
              (std::vector<std::string>{"Error FFFFFDA7: U_DSGetAttributeInfo: Surname"}));
}

TEST_F(DefinitionAccessTest, OfflineSlotWithoutFileIsEmptyAndSilent) {
    TClassInfo info;
    info.Flags = "stale";
    GetClassDef(*ws, ui, 2, "Person", info);
    EXPECT_EQ(info.Flags, "");
    std::string definition;
    GetAttrDef(*ws, ui, 2, "CN", definition);
    EXPECT_EQ(definition, "");
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_EQ(fake.count("dcFetchClasses"), 0u);
}

TEST_F(DefinitionAccessTest, SavedOnlineTreeComparesEqualToTheLiveOne) {
    NameList& attrs = ws->tree(1).AttrNames;
    NameList& classes = ws->tree(1).ClassNames;
    ASSERT_EQ(U_DSReadAvailableAttributes(fake, ws->tree(1).Context, "*", attrs), 0);
    ASSERT_EQ(U_DSReadAvailableClasses(fake, ws->tree(1).Context, classes), 0);
    SortNames(attrs);
    SortNames(classes);

    std::vector<std::string> messages;
    const std::string path = dir.file("FAKE_TREE.txt");
    SaveSchemaFile(*ws, ui, 1, path, [&](const std::string& m) { messages.push_back(m); });
    EXPECT_EQ(messages.size(), 2u + attrs.size() + classes.size());
    const std::string text = TempDir::read(path);
    EXPECT_TRUE(text.starts_with("[Settings]\r\nTree Name=FAKE_TREE\r\n[Attributes]\r\n0=CN\r\n"));
    EXPECT_NE(text.find("[Person: ASN]\r\n0=2.5.6.6\r\n"), std::string::npos);
    EXPECT_EQ(text.find(": Attribute]"), std::string::npos);  // kind 5 is never read online
    // The slot is untouched by its save.
    EXPECT_EQ(ws->tree(1).Online, 1);
    EXPECT_EQ(ws->tree(1).SchemaFile, nullptr);

    TTreeInfo& two = ws->tree(2);
    OpenSchemaFileIntoSlot(two, path);
    ReadSchemaNames(two, nullptr);
    Lines lines;
    const FindingFn sink = FindingLinesTo([&](const std::string& l) { lines.push_back(l); });
    CompareAllClasses(*ws, ui, nullptr, sink);
    CompareAllAttributes(*ws, ui, nullptr, sink);
    EXPECT_TRUE(lines.empty()) << lines.front();
    EXPECT_TRUE(ui.dialogs.empty());

    // One directory difference against the saved file: exactly one line.
    fake.tree()->classes.front().items[ikMandatoryAttribute].pop_back();
    EXPECT_EQ(
        CompareOneClass(*ws, ui, "Person", true),
        (Lines{"Tree #2 - Class Definition for \"Person\" has Mandatory Attribute: \"Surname\""}));
}

// A snapshot of part of a tree would pass for the whole one: the first failed read ends the
// save, the file stays as it was, and the message names the read.
TEST_F(DefinitionAccessTest, ASaveWhoseReadFailedWritesNothing) {
    TTreeInfo& slot = ws->tree(1);
    slot.AttrNames = {{"CN", 0}, {"Surname", 0}};
    slot.ClassNames = {{"Person", 6}, {"Top", 2}};
    const std::string old = "[Settings]\r\nTree Name=OLD\r\n";
    const std::string path = dir.write("snapshot.txt", old);
    auto refused = [&](const std::string& failedRead) {
        std::vector<std::string> statuses;
        try {
            SaveSchemaFile(*ws, ui, 1, path, [&](const std::string& m) { statuses.push_back(m); });
            ADD_FAILURE() << failedRead << ": saved";
        } catch (const SchemaReadError& e) {
            EXPECT_EQ(std::string(e.what()), "Reading the tree \"FAKE_TREE\" failed (" +
                                                 failedRead + "); " + path + " was kept as it was");
        }
        EXPECT_EQ(TempDir::read(path), old) << failedRead;
        return statuses;
    };

    fake.failOn("dcFetchAttributes", kFail, 1, "CN");
    EXPECT_EQ(refused("the attribute \"CN\"").back(), "Saving attribute \"CN\" ... ");
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Error FFFFFDA7: U_DSGetAttributeInfo: CN"}));

    // A failed item read that is not the class's last one shows no dialog of its own.
    ui.dialogs.clear();
    fake.failOn("dcFetchClasses", kFail, 2, "Top");
    EXPECT_EQ(refused("the class \"Top\"").back(), "Saving class \"Top\" ... ");
    EXPECT_TRUE(ui.dialogs.empty());

    // The names were read short at the load: no definition is read at all.
    NoteNamesRead(slot, kFail, "U_DSReadAvailableClasses");
    EXPECT_TRUE(refused("Error FFFFFDA7: U_DSReadAvailableClasses").empty());
}

}  // namespace
