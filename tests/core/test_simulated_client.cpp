// The simulated directory as the program meets it: its configuration and tree
// descriptions, what a bad file gives, and the demo directory read end to end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "RecordingUi.h"
#include "TempDir.h"
#include "core/directory/D_NW.h"
#include "core/directory/SimulatedClient.h"
#include "sources/ClientConfig.h"
#include "sources/ClientFactory.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

const std::string kDemo = std::string(KALVIX_SOURCE_DIR) + "/data/demo/kalvix-client.json";

// The reason a client that cannot start gives, through the start-up dialog.
std::string StartDialog(DirClient& client) {
    RecordingUi ui;
    NwSession session;
    InitNetWare(client, session, ui);
    return ui.dialogs.empty() ? std::string() : ui.dialogs.front().text;
}

std::string Bytes(const Asn1Id& id) {
    std::string out;
    char hex[4];
    for (std::uint32_t i = 0; i < id.length && i < 32; ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", id.data[i]);
        out += hex;
    }
    return out;
}

Asn1Id MakeId(const std::string& bytes) {
    Asn1Id id;
    std::string error;
    EXPECT_TRUE(ParseOidBytes(bytes, id, error)) << error;
    return id;
}

const char* const kTree = R"({
  "defaultContext": "O=Test",
  "batchSize": 2,
  "classes": [
    {"name": "Top", "flags": "0x05", "oid": "2.5.6.0"},
    {"name": "Person", "flags": 4, "oidBytes": "06 03 55 06 06",
     "superClasses": ["Top"], "namingAttributes": ["CN"], "mandatoryAttributes": ["CN"]},
    {"name": "Wide", "flags": "0xFFFFFFFF", "oidBytes": "06 05 55", "oidLength": 4294967295},
    {"name": "Signed", "flags": -1},
    {"name": "Last", "_note": "comments are skipped"}
  ],
  "attributes": [
    {"name": "CN", "flags": "0x83", "syntax": 3, "lower": 1, "upper": 64, "oid": "2.5.4.3"},
    {"name": "Bounds", "flags": 2, "syntax": "0xFFFFFFFF", "lower": "-1", "upper": 4294967295}
  ],
  "failures": [{"operation": "dcTakeClass", "name": "person", "code": -601, "call": 2}]
})";

class SimulatedFiles : public ::testing::Test {
  protected:
    std::string config(const std::string& body) { return dir.write("client.json", body); }
    std::string simpleConfig(const std::string& treeFile = "tree.json",
                             const std::string& extra = "") {
        return config(R"({"connections": [{"treeName": "TEST_TREE____", "treeFile": ")" + treeFile +
                      "\"}], \"primary\": \"TEST_TREE____\"" + extra + "}");
    }
    TempDir dir;
};

TEST_F(SimulatedFiles, TreeDescriptionValuesReachTheReads) {
    dir.write("tree.json", kTree);
    auto client = CreateClientFromConfig(simpleConfig());
    RecordingUi ui;
    NwSession session;
    ASSERT_EQ(InitNetWare(*client, session, ui), 0u);
    std::vector<std::string> trees;
    ListReachableTrees(*client, ui, trees);
    EXPECT_THAT(trees, ElementsAre("TEST_TREE"));

    DirContext ctx = 0;
    client->dcNewContext(ctx);
    ASSERT_EQ(DSChangeCurrentTree(*client, ctx, "test_tree"), 0);
    NameList classes;
    // The second take of Person fails: the first read has it, the second does not.
    EXPECT_EQ(U_DSReadAvailableClasses(*client, ctx, classes), 0);
    ASSERT_EQ(classes.size(), 5u);
    EXPECT_EQ(classes[2].number, 0xFFFFFFFFu);
    EXPECT_EQ(classes[3].number, 0xFFFFFFFFu);
    classes.clear();
    EXPECT_EQ(U_DSReadAvailableClasses(*client, ctx, classes), 0);
    EXPECT_EQ(classes.size(), 4u);

    DirClassInfo info;
    EXPECT_EQ(U_DSGetClassDef(*client, ctx, "Wide", info), 0);
    EXPECT_EQ(info.asn1ID.length, 0xFFFFFFFFu);
    EXPECT_EQ(info.asn1ID.data[2], 0x55);

    std::vector<std::string> items;
    EXPECT_EQ(U_DSReadAttributes(*client, ui, ctx, "Top", 6, items), 0);
    EXPECT_THAT(items, ElementsAre("2.5.6.0"));

    std::string text;
    EXPECT_EQ(U_DSGetAttributeInfo(*client, ctx, "Bounds", text), 0);
    EXPECT_EQ(text, "Unknown Syntax [Sized (-1)]");
    EXPECT_EQ(U_DSGetAttributeInfo(*client, ctx, "cn", text), 0);
    EXPECT_EQ(text, "CI_STRING [SglVal\\Sized (1-64)\\PublRd]");
    EXPECT_EQ(U_DSGetAttributeInfo(*client, ctx, "None", text), simcode::kNoSuchAttribute);
    EXPECT_EQ(dynamic_cast<SimulatedClient&>(*client).liveBuffers(), 0u);
}

TEST_F(SimulatedFiles, MessagesComeFromTheConfigurationOnly) {
    dir.write("tree.json", kTree);
    auto without = CreateClientFromConfig(simpleConfig());
    EXPECT_EQ(ClientErrorText(*without, -604), "0xFFFFFDA4");
    auto with = CreateClientFromConfig(
        simpleConfig("tree.json", R"(, "messages": {"-604": "no such class", "0x8801": "x"})"));
    EXPECT_EQ(ClientErrorText(*with, -604), "0xFFFFFDA4 (no such class)");
    EXPECT_EQ(ClientErrorText(*with, 0x8801), "0x8801 (x)");
    EXPECT_EQ(ClientErrorText(*with, 0xFFFF), "0xFFFF ()");
}

TEST_F(SimulatedFiles, ConfigurationFailuresApplyToAnyOperation) {
    dir.write("tree.json", kTree);
    auto client = CreateClientFromConfig(simpleConfig(
        "tree.json", R"(, "failures": [{"operation": "dcOpenConnection", "code": "0x8801"}])"));
    EXPECT_EQ(StartDialog(*client),
              "Could not find server/tree connection. InitNetWare returned error 0x8801");
}

struct BadFile {
    const char* label;
    std::string config;  // empty: the standard one
    std::string tree;    // empty: no tree file at all
    std::vector<std::string> says;
};

class BadFiles : public SimulatedFiles, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadFiles, StartFailsWithAReasonNamingTheFile) {
    const BadFile& c = GetParam();
    if (!c.tree.empty()) dir.write("tree.json", c.tree);
    const std::string path = c.config.empty() ? simpleConfig() : config(c.config);
    auto client = CreateClientFromConfig(path);
    const std::string dialog = StartDialog(*client);
    EXPECT_THAT(dialog, StartsWith("Could not initialize NetWare Client. InitNetWare returned "
                                   "error 0xFFFF ("));
    for (const std::string& part : c.says) EXPECT_THAT(dialog, HasSubstr(part));
}

const std::string kGoodTree = R"({"classes": [], "attributes": []})";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadFiles,
    ::testing::Values(
        BadFile{"MissingTreeFile", "", "", {"tree.json: no such file"}},
        BadFile{"TreeNotJson",
                "",
                "{\n  \"classes\": [\n    {\"name\": }",
                {"tree.json: not valid JSON at line 3"}},
        BadFile{"TreeNotObject", "", "[]", {"tree.json", "expected a JSON object"}},
        BadFile{"NoClasses", "", R"({"attributes": []})", {"the key \"classes\" is missing"}},
        BadFile{"FlagsText",
                "",
                R"({"classes": [{"name": "Top", "flags": "lots"}], "attributes": []})",
                {"classes[0] \"Top\": \"flags\"", "not \"lots\""}},
        BadFile{"FlagsTooWide",
                "",
                R"({"classes": [{"name": "Top", "flags": 4294967296}], "attributes": []})",
                {"\"flags\"", "whole number"}},
        BadFile{"FlagsFraction",
                "",
                R"({"classes": [{"name": "Top", "flags": 1.5}], "attributes": []})",
                {"\"flags\"", "not 1.5"}},
        BadFile{
            "BoundTooLow",
            "",
            R"({"classes": [], "attributes": [{"name": "A", "syntax": 1, "lower": "-0x80000001"}]})",
            {"attributes[0] \"A\": \"lower\""}},
        BadFile{"NoSyntax",
                "",
                R"({"classes": [], "attributes": [{"name": "A"}]})",
                {"the key \"syntax\" is missing"}},
        BadFile{"EmptyName",
                "",
                R"({"classes": [{"name": ""}], "attributes": []})",
                {"must not be empty"}},
        BadFile{
            "NulInName", "", R"({"classes": [{"name": "A\u0000B"}], "attributes": []})", {"NUL"}},
        // The reads would cut them, so two names alike up to the cut would read as one.
        BadFile{"ClassNameTooLong",
                "",
                R"({"classes": [{"name": ")" + std::string(kMaxClassNameBytes + 1, 'c') +
                    R"("}], "attributes": []})",
                {"classes[0]: \"name\"", "the name has 4048 bytes, more than the 4047"}},
        BadFile{"AttributeNameTooLong",
                "",
                R"({"classes": [], "attributes": [{"name": ")" +
                    std::string(kMaxAttrNameBytes + 1, 'a') + R"(", "syntax": 1}]})",
                {"attributes[0]: \"name\"", "the name has 4036 bytes, more than the 4035"}},
        BadFile{"ItemNameTooLong",
                "",
                R"({"classes": [{"name": "A", "superClasses": ["Top", ")" + std::string(4096, 's') +
                    R"("]}], "attributes": []})",
                {"\"superClasses\"[1]", "the name has 4096 bytes, more than the 4095"}},
        BadFile{"ItemNotText",
                "",
                R"({"classes": [{"name": "A", "superClasses": ["Top", 3]}], "attributes": []})",
                {"\"superClasses\"[1]"}},
        BadFile{"BadOid",
                "",
                R"({"classes": [{"name": "A", "oid": "2.5.x"}], "attributes": []})",
                {"\"oid\"", "2.5.x"}},
        BadFile{"BothIdentifiers",
                "",
                R"({"classes": [{"name": "A", "oid": "2.5", "oidBytes": "06"}], "attributes": []})",
                {"not both"}},
        BadFile{"BadOidBytes",
                "",
                R"({"classes": [{"name": "A", "oidBytes": "06 GG"}], "attributes": []})",
                {"\"GG\" is not a hexadecimal byte"}},
        BadFile{"UnknownKey",
                "",
                R"({"classes": [{"name": "A", "flag": 1}], "attributes": []})",
                {"unknown key \"flag\""}},
        BadFile{
            "UnknownOperation",
            "",
            R"({"classes": [], "attributes": [], "failures": [{"operation": "dcFly", "code": 1}]})",
            {"no client operation is called \"dcFly\""}},
        BadFile{
            "ZeroCode",
            "",
            R"({"classes": [], "attributes": [], "failures": [{"operation": "dcTakeClass", "code": 0}]})",
            {"code other than 0"}},
        BadFile{"ConfigNotJson", "{", kGoodTree, {"client.json: not valid JSON at line 1"}},
        BadFile{"NoConnections", "{}", kGoodTree, {"client.json", "\"connections\" is missing"}},
        BadFile{"UnknownKind",
                R"({"connections": [{"treeName": "T", "kind": "x500"}]})",
                kGoodTree,
                {"unknown kind \"x500\""}},
        BadFile{"NoTreeFile",
                R"({"connections": [{"treeName": "T"}]})",
                kGoodTree,
                {"\"treeFile\" is missing"}},
        BadFile{"OnlyConnectionUnusable",
                R"({"connections": [{"treeName": "T", "treeFile": "tree.json", "x": 1}]})",
                kGoodTree,
                {"client.json: connection 1 (\"T\"): unknown key \"x\" (the connection is left "
                 "out)"}},
        BadFile{"BadMessageCode",
                R"({"connections": [], "messages": {"E1": "text"}})",
                kGoodTree,
                {"\"messages\": \"E1\""}},
        BadFile{"KeyMistyped",
                R"({"connections": [{"treeName": "L", "kind": "ldap", "url": "ldap://x/"}]})",
                kGoodTree,
                {"unknown key \"url\"; did you mean \"uri\"?"}},
        BadFile{"KeyOfAnotherKind",
                R"({"connections": [{"treeName": "S", "kind": "schema-files", "filename": "a"}]})",
                kGoodTree,
                {"unknown key \"filename\"; did you mean \"file\"?"}},
        BadFile{"TreeNameOver32Bytes",
                R"({"connections": [{"treeName": "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456___",
                                     "treeFile": "tree.json"}]})",
                kGoodTree,
                {"\"treeName\": the name has 33 bytes, more than the 32"}},
        BadFile{"TreeFileIsAFolder",
                R"({"connections": [{"treeName": "T", "treeFile": "."}]})",
                kGoodTree,
                {"is a folder"}}),
    [](const auto& info) { return std::string(info.param.label); });

// One connection that cannot be used leaves the others serving, and the start says once
// which one (file, entry, key) and why; so does a primary that names nothing usable.
TEST_F(SimulatedFiles, UnusableConnectionsAreLeftOutAndNamedOnce) {
    dir.write("tree.json", kTree);
    dir.write("broken.json", "{");
    struct Case {
        const char* label;
        std::string primary;
        std::vector<std::string> warning;
    };
    const std::string good = R"({"treeName": "GOOD", "treeFile": "tree.json"})";
    const std::string other = R"({"treeName": "OTHER", "treeFile": "tree.json"})";
    const std::string entries =
        good + R"(, {"treeName": "LDAP", "kind": "ldap", "uri": 5}, )" +
        R"({"treeName": "TORN", "treeFile": "broken.json"}, "not an entry", )" + other;
    const std::string path = dir.file("client.json");
    const std::vector<std::string> connections = {
        path +
            ": connection 2 (\"LDAP\"): \"uri\": expected a text that is not empty (the "
            "connection is left out)",
        path + ": connection 3 (\"TORN\"): " + dir.file("broken.json") +
            ": not valid JSON at line 1, column 2: unterminated object (the connection is left "
            "out)",
        path +
            ": connection 4: expected an object, not \"not an entry\" (the connection is "
            "left out)",
    };
    auto with = [&](std::vector<std::string> lines) {
        lines.insert(lines.begin(), connections.begin(), connections.end());
        return lines;
    };
    const Case cases[] = {
        {"NoPrimary", "", with({})},
        {"PrimaryByIndex", R"(, "primary": 4)", with({})},
        {"PrimaryLeftOut", R"(, "primary": 2)",
         with({path + ": \"primary\": connection 3 (\"TORN\") is left out (none is primary)"})},
        {"PrimaryOutOfRange", R"(, "primary": 5)",
         with({path + ": \"primary\": expected a whole number from 0 to 4, not 5 (none is "
                      "primary)"})},
        {"PrimaryUnknownName", R"(, "primary": "LDAP")",
         with({path + ": \"primary\": no usable connection has the tree name \"LDAP\" (none is "
                      "primary)"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        config("{\"connections\": [" + entries + "]" + c.primary + "}");
        auto client = CreateClientFromConfig(path);
        RecordingUi ui;
        NwSession session;
        ASSERT_EQ(InitNetWare(*client, session, ui), 0u);
        ASSERT_EQ(ui.dialogs.size(), 1u);
        EXPECT_EQ(ui.dialogs[0].type, DlgType::Warning);
        std::vector<std::string> lines;
        std::istringstream text(ui.dialogs[0].text);
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0],
                  "The directory client leaves out what it cannot use of its configuration:");
        lines.erase(lines.begin());
        // In the file's order, whichever step found the fault.
        EXPECT_EQ(lines, c.warning);
        std::vector<std::string> trees;
        ListReachableTrees(*client, ui, trees);
        EXPECT_THAT(trees, ElementsAre("GOOD", "OTHER"));
        EXPECT_EQ(ui.dialogs.size(), 1u);  // said once
    }
}

TEST_F(SimulatedFiles, MissingConfigurationNamesItself) {
    auto client = CreateClientFromConfig(dir.file("absent.json"));
    EXPECT_THAT(StartDialog(*client), HasSubstr(dir.file("absent.json") + ": no such file"));
}

// Runs f with an environment variable set (or unset) and restores it.
void WithEnv(const char* name, const char* value, const std::function<void()>& f) {
    const char* old = std::getenv(name);
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
    f();
    if (saved)
        setenv(name, saved->c_str(), 1);
    else
        unsetenv(name);
}

TEST_F(SimulatedFiles, ConfigurationPathAndTheClientWithoutOne) {
    const std::string home = dir.path().string();
    const std::string system = home + "/system";
    WithEnv("XDG_CONFIG_DIRS", system.c_str(), [&] {
        WithEnv("XDG_CONFIG_HOME", home.c_str(), [&] {
            WithEnv("KALVIX_CLIENT", nullptr, [&] {
                EXPECT_EQ(ClientConfigPath(), home + "/kalvix/kalvix-client.json");
                const std::string start =
                    "Could not initialize NetWare Client. InitNetWare returned error 0xFFFF "
                    "(no directory client configuration: set KALVIX_CLIENT or create " +
                    home + "/kalvix/kalvix-client.json. For a start, see ";
                // The demo configuration is named where it is installed, else only the manual.
                const std::string data = home + "/share";
                WithEnv("XDG_DATA_DIRS", ("/nonexistent:" + data).c_str(), [&] {
                    EXPECT_EQ(StartDialog(*CreateConfiguredClient()),
                              start + "the manual kalvix-client.json(5))");
                    std::filesystem::create_directories(data + "/kalvix/demo");
                    dir.write("share/kalvix/demo/kalvix-client.json", "{}");
                    EXPECT_EQ(StartDialog(*CreateConfiguredClient()),
                              start + "the demo configuration " + data +
                                  "/kalvix/demo/kalvix-client.json and the manual "
                                  "kalvix-client.json(5))");
                });
            });
            WithEnv("KALVIX_CLIENT", kDemo.c_str(), [&] {
                EXPECT_EQ(ClientConfigPath(), kDemo);
                auto client = CreateConfiguredClient();
                EXPECT_EQ(StartDialog(*client), "");
            });
        });
    });
}

// ---- Readers

TEST(EncodeOid, RoundTripsThroughTheDottedText) {
    const char* oids[] = {"2.5.6.6", "0.9.2342.19200300.100.4.13", "1.3.6.1.4.1.4294967295",
                          "2.16.840.1.113719.1.1.6.1.48", "1.39.0"};
    for (const char* oid : oids) {
        Asn1Id id;
        std::string error;
        ASSERT_TRUE(EncodeOid(oid, id, error)) << oid << ": " << error;
        EXPECT_EQ(Asn1IdText(id), oid);
    }
    Asn1Id id;
    std::string error;
    ASSERT_TRUE(EncodeOid("2.16.840.1.113719", id, error));
    EXPECT_EQ(Bytes(id), "06 07 60 86 48 01 86 F8 37");
    ASSERT_TRUE(EncodeOid("", id, error));
    EXPECT_EQ(id.length, 0u);
}

TEST(EncodeOid, RejectsWhatIsNoIdentifier) {
    const char* bad[] = {"1",
                         "3.1",
                         "1.40",
                         "a.b",
                         "1..2",
                         "1.2.",
                         "1.2.-3",
                         "1.2.4294967296",
                         "1.2.4294967295.4294967295.4294967295.4294967295.4294967295.4294967295"};
    for (const char* oid : bad) {
        Asn1Id id;
        std::string error;
        EXPECT_FALSE(EncodeOid(oid, id, error)) << oid;
        EXPECT_FALSE(error.empty()) << oid;
    }
}

TEST(ParseOidBytes, TakesBytesAsTheyAre) {
    EXPECT_EQ(Bytes(MakeId("06 03 55 06 06")), "06 03 55 06 06");
    EXPECT_EQ(MakeId("06 03 55 06 06").length, 5u);
    EXPECT_EQ(Bytes(MakeId("0x06,0x3")), "06 03");
    EXPECT_EQ(MakeId("").length, 0u);
    Asn1Id id;
    std::string error;
    EXPECT_FALSE(ParseOidBytes("123", id, error));
    std::string many;
    for (int i = 0; i < 33; ++i) many += "01 ";
    EXPECT_FALSE(ParseOidBytes(many, id, error));
    EXPECT_EQ(error, "more than 32 bytes");
}

// A tree name is looked up whole: a longer one is not the tree of its first 32 bytes.
TEST(SimulatedClient, TreeNamesAreLookedUpWhole) {
    const std::string name(32, 'A');
    SimDirectory d;
    d.connections.push_back({name, std::make_shared<SimTree>()});
    SimulatedClient client(std::move(d));
    DirContext context = 0;
    ASSERT_EQ(client.dcNewContext(context), 0);
    const std::pair<std::string, DirCode> cases[] = {
        {name + "B", simcode::kTreeNotFound},
        {name + "___", 0},
        {name.substr(1), simcode::kTreeNotFound},
    };
    for (const auto& [asked, code] : cases)
        EXPECT_EQ(client.dcWriteContext(context, DCK_TREE_NAME, asked.c_str()), code) << asked;
}

TEST(SimulatedClient, NamesAreCutToTheCallersBuffer) {
    SimDirectory d;
    auto tree = std::make_shared<SimTree>();
    tree->classes.push_back({"LongClassName", 0, {}, {}});
    d.connections.push_back({"SOME-LONG-TREE-NAME", tree});
    d.primary = 0;
    SimulatedClient client(std::move(d));
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(client.dcConnectionTree(0x100, 4, 5, buffer), 0u);
    EXPECT_STREQ(buffer, "SOME");
    EXPECT_EQ(buffer[5], '#');

    DirContext ctx = 0;
    DirBuffer reply = 0;
    client.dcNewContext(ctx);
    client.dcNewBuffer(4096, reply);
    std::int32_t handle = -1;
    ASSERT_EQ(client.dcFetchClasses(ctx, 3, 1, 0, handle, reply), 0);
    EXPECT_EQ(handle, -1);
    std::memset(buffer, '#', sizeof buffer);
    DirClassInfo info;
    ASSERT_EQ(client.dcTakeClass(ctx, reply, buffer, 6, info), 0);
    EXPECT_STREQ(buffer, "LongC");
    EXPECT_EQ(buffer[6], '#');
    EXPECT_EQ(client.dcTakeClass(ctx, reply, buffer, 6, info), simcode::kBufferEmpty);
}

TEST(SimulatedClient, AReplyTooSmallForOneEntryFails) {
    SimDirectory d;
    auto tree = std::make_shared<SimTree>();
    tree->classes.push_back({std::string(200, 'x'), 0, {}, {}});
    d.connections.push_back({"T", tree});
    d.primary = 0;
    SimulatedClient client(std::move(d));
    DirContext ctx = 0;
    DirBuffer reply = 0;
    client.dcNewContext(ctx);
    client.dcNewBuffer(64, reply);
    std::int32_t handle = -1;
    EXPECT_EQ(client.dcFetchClasses(ctx, 3, 1, 0, handle, reply), simcode::kInsufficientBuffer);
    EXPECT_EQ(handle, -1);
}

// ---- The demo directory, read through the real backend

class DemoDirectory : public ::testing::Test {
  protected:
    void SetUp() override {
        client = CreateClientFromConfig(kDemo);
        ASSERT_EQ(InitNetWare(*client, session, ui), 0u) << ui.texts().front();
        ListReachableTrees(*client, ui, trees);
        client->dcNewContext(ctx[1]);
        client->dcNewContext(ctx[2]);
        ASSERT_EQ(DSChangeCurrentTree(*client, ctx[1], "ACME-CORP"), 0);
        ASSERT_EQ(DSChangeCurrentTree(*client, ctx[2], "GLOBEX"), 0);
    }
    std::vector<std::string> items(int tree, const std::string& cls, int kind) {
        std::vector<std::string> list;
        EXPECT_EQ(U_DSReadAttributes(*client, ui, ctx[tree], cls, kind, list), 0);
        return list;
    }
    std::string attrText(int tree, const std::string& name) {
        std::string text;
        EXPECT_EQ(U_DSGetAttributeInfo(*client, ctx[tree], name, text), 0) << name;
        return text;
    }
    std::string flags(int tree, const std::string& cls) {
        DirClassInfo info;
        EXPECT_EQ(U_DSGetClassDef(*client, ctx[tree], cls, info), 0) << cls;
        return ClassFlagsText(info.classFlags);
    }
    std::unique_ptr<DirClient> client;
    RecordingUi ui;
    NwSession session;
    std::vector<std::string> trees;
    DirContext ctx[3] = {};
};

TEST_F(DemoDirectory, TreeListShowsItsRules) {
    // acme-corp is ACME-CORP again; the Initech dumps come after the tree descriptions.
    EXPECT_THAT(trees, ElementsAre("ACME-CORP", "GLOBEX", "INITECH-LDAP", "INITECH-DS"));
    EXPECT_THAT(ui.dialogs, IsEmpty());
    char text[DCK_TEXT_SIZE];
    client->dcReadContext(ctx[1], DCK_NAME_CONTEXT, text);
    EXPECT_STREQ(text, "OU=Sales.O=Acme");
    client->dcReadContext(ctx[2], DCK_NAME_CONTEXT, text);
    EXPECT_STREQ(text, "[Root]");
}

TEST_F(DemoDirectory, EverySchemaIsLargeAndEveryDefinitionReadable) {
    for (int t : {1, 2}) {
        NameList classes, attrs;
        ASSERT_EQ(U_DSReadAvailableClasses(*client, ctx[t], classes), 0);
        ASSERT_EQ(U_DSReadAvailableAttributes(*client, ctx[t], "*", attrs), 0);
        EXPECT_GE(classes.size(), 60u);
        EXPECT_GE(attrs.size(), 300u);
        for (const NameEntry& c : classes)
            for (int kind : {0, 1, 2, 3, 4, 6}) items(t, c.name, kind);
        for (const NameEntry& a : attrs) EXPECT_FALSE(attrText(t, a.name).empty());
    }
    EXPECT_EQ(dynamic_cast<SimulatedClient&>(*client).liveBuffers(), 0u);
}

TEST_F(DemoDirectory, TreesDifferInEveryWayShown) {
    NameList classes1, classes2, attrs1, attrs2;
    U_DSReadAvailableClasses(*client, ctx[1], classes1);
    U_DSReadAvailableClasses(*client, ctx[2], classes2);
    U_DSReadAvailableAttributes(*client, ctx[1], "*", attrs1);
    U_DSReadAvailableAttributes(*client, ctx[2], "*", attrs2);
    auto has = [](const NameList& l, const std::string& n) {
        return std::any_of(l.begin(), l.end(), [&](const NameEntry& e) { return e.name == n; });
    };
    EXPECT_TRUE(has(classes1, "Acme:Cost Center") && !has(classes2, "Acme:Cost Center"));
    EXPECT_TRUE(has(classes2, "Globex:Vendor") && !has(classes1, "Globex:Vendor"));
    EXPECT_TRUE(has(attrs1, "Bindery Type") && !has(attrs2, "Bindery Type"));
    EXPECT_TRUE(has(attrs2, "Globex:Lab Access") && !has(attrs1, "Globex:Lab Access"));
    EXPECT_TRUE(has(classes1, "inetOrgPerson") && has(classes2, "InetOrgPerson"));

    for (int kind : {0, 1, 2, 3, 4, 6})
        EXPECT_NE(items(1, "User", kind), items(2, "User", kind)) << kind;
    auto org1 = items(1, "Organization", 4), org2 = items(2, "Organization", 4);
    EXPECT_NE(org1, org2);
    std::sort(org1.begin(), org1.end());
    EXPECT_EQ(org1, org2);

    EXPECT_NE(flags(1, "Organizational Role"), flags(2, "Organizational Role"));
    for (int kind : {0, 1, 2, 3, 4, 6})
        EXPECT_EQ(items(1, "Organizational Role", kind), items(2, "Organizational Role", kind));

    EXPECT_EQ(attrText(1, "Employee Number"), "CI_STRING [SglVal\\Sized (1-16)\\NonRem\\String]");
    EXPECT_EQ(attrText(2, "Employee Number"), "INTEGER [SglVal\\NonRem]");
    EXPECT_NE(attrText(1, "Login Time"), attrText(2, "Login Time"));
    EXPECT_EQ(attrText(2, "CN"), "CI_STRING [Sized (1-128)\\NonRem\\String\\PublRd]");
    EXPECT_THAT(items(1, "Acme:Badge Reader", 6), IsEmpty());
    EXPECT_EQ(attrText(2, "Globex:Vendor Blob"), "Unknown Syntax");
    EXPECT_EQ(attrText(1, "Acme:Legacy Import Marker"), "SYNTAX_COUNT [SglVal\\Hidden]");
}

}  // namespace
