// The directory session, the tree list, contexts and client error texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "FakeDirClient.h"
#include "RecordingUi.h"
#include "core/directory/D_NW.h"
#include "sources/ClientFactory.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string kInitFailed = "Could not initialize NetWare Client. InitNetWare returned error ";
const std::string kNoConnection =
    "Could not find server/tree connection. InitNetWare returned error ";

// ---- InitNetWare

TEST(InitNetWare, OpensThePrimaryConnectionOnce) {
    FakeDirClient fake;
    RecordingUi ui;
    NwSession session;
    EXPECT_EQ(InitNetWare(fake, session, ui), 0u);
    EXPECT_THAT(fake.calls(), ElementsAre("dcStartup(null,null)", "dcPrimaryConnection()",
                                          "dcOpenConnection(256,1,0)"));
    EXPECT_NE(session.connectionHandle, 0xFFFFu);
    EXPECT_THAT(ui.dialogs, IsEmpty());

    fake.clearCalls();
    EXPECT_EQ(InitNetWare(fake, session, ui), 0u);
    EXPECT_THAT(fake.calls(), IsEmpty());
}

TEST(InitNetWare, FallsBackToTheFirstScannedConnection) {
    FakeDirClient fake;
    fake.setConnections({"FIRST", "SECOND"});
    fake.setPrimary(std::nullopt);
    RecordingUi ui;
    NwSession session;
    EXPECT_EQ(InitNetWare(fake, session, ui), 0u);
    EXPECT_THAT(fake.calls(), ElementsAre("dcStartup(null,null)", "dcPrimaryConnection()",
                                          "dcNextConnection(0)", "dcOpenConnection(256,1,0)"));
    EXPECT_NE(session.connectionHandle, 0xFFFFu);
    EXPECT_THAT(ui.dialogs, IsEmpty());
}

struct StartFailure {
    const char* label;
    std::function<void(FakeDirClient&)> script;
    std::uint32_t code;
    std::string dialog;
    std::size_t calls;  // client operations called before the start gave up
};

class InitNetWareFailure : public ::testing::TestWithParam<StartFailure> {};

TEST_P(InitNetWareFailure, ShowsItsDialogAndLeavesTheSessionUnstarted) {
    const StartFailure& c = GetParam();
    FakeDirClient fake;
    c.script(fake);
    RecordingUi ui;
    NwSession session;
    EXPECT_EQ(InitNetWare(fake, session, ui), c.code);
    EXPECT_EQ(session.connectionHandle, 0xFFFFu);
    EXPECT_THAT(ui.dialogs, ElementsAre(ShownDialog{DlgType::Error, c.dialog}));
    const std::vector<std::string> names = fake.callNames();
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string& n) { return n.starts_with("dc"); }),
              static_cast<std::ptrdiff_t>(c.calls));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InitNetWareFailure,
    ::testing::Values(
        StartFailure{"NoPrimaryAndNoConnection",
                     [](FakeDirClient& f) {
                         f.setPrimary(std::nullopt);
                         f.setConnections({});
                     },
                     simcode::kNoMoreConnections, kNoConnection + "0x8847", 3},
        StartFailure{"StartupNotReady", [](FakeDirClient& f) { f.failOn("dcStartup", 0xFFFF); },
                     0xFFFF, kInitFailed + "0xFFFF", 1},
        StartFailure{"StartupOtherCode", [](FakeDirClient& f) { f.failOn("dcStartup", 0x8800); },
                     0x8800, kNoConnection + "0x8800", 1},
        StartFailure{"ScanCodeDecides",
                     [](FakeDirClient& f) {
                         f.failOn("dcPrimaryConnection", 0x8801);
                         f.failOn("dcNextConnection", 0xFFFF);
                     },
                     0xFFFF, kInitFailed + "0xFFFF", 3},
        StartFailure{"OpenFails", [](FakeDirClient& f) { f.failOn("dcOpenConnection", 0x8801); },
                     0x8801, kNoConnection + "0x8801", 3},
        // A code wider than 16 bits must not pass for success because its low half is 0.
        StartFailure{"WideCodeIsAFailure",
                     [](FakeDirClient& f) { f.failOn("dcOpenConnection", 0x10000); }, 0x10000,
                     kNoConnection + "0x10000", 3}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(InitNetWare, UnavailableClientCarriesItsReasonIntoTheDialog) {
    auto client = CreateUnavailableClient("kalvix-client.json: no such file");
    RecordingUi ui;
    NwSession session;
    EXPECT_EQ(InitNetWare(*client, session, ui), 0xFFFFu);
    EXPECT_THAT(ui.texts(), ElementsAre(kInitFailed + "0xFFFF (kalvix-client.json: no such file)"));
}

// ---- Error texts

TEST(ClientErrorText, WithoutMessageLibraryIsTheCodeAlone) {
    FakeDirClient fake;
    EXPECT_EQ(ClientErrorText(fake, 0x8801), "0x8801");
    EXPECT_EQ(ClientErrorText(fake, 0xFF), "0x00FF");
    EXPECT_EQ(ClientErrorText(fake, -601), "0xFFFFFDA7");
}

TEST(ClientErrorText, UsesTheTableThenTheSystemText) {
    FakeDirClient fake;
    fake.setMessageTable({{-601, "No such entry"}, {5, "Unknown error"}});
    EXPECT_EQ(ClientErrorText(fake, -601), "0xFFFFFDA7 (No such entry)");
    // Neither the table nor the system knows 0xFFFF: an empty pair of parentheses.
    EXPECT_EQ(ClientErrorText(fake, 0xFFFF), "0xFFFF ()");
    // "Unknown error" from the table falls through to the system's text.
    ASSERT_FALSE(SystemErrorText(EIO).empty());
    EXPECT_EQ(ClientErrorText(fake, EIO), "0x0005 (" + SystemErrorText(EIO) + ")");
    EXPECT_EQ(ClientErrorText(fake, ENOENT), "0x0002 (" + SystemErrorText(ENOENT) + ")");
}

TEST(ClientErrorText, AsksForTheTableAfreshOnEveryCall) {
    FakeDirClient fake;
    EXPECT_EQ(ClientErrorText(fake, 0x8801), "0x8801");
    fake.setMessageTable({{0x8801, "Invalid connection"}});
    EXPECT_EQ(ClientErrorText(fake, 0x8801), "0x8801 (Invalid connection)");
    fake.clearMessageTable();
    EXPECT_EQ(ClientErrorText(fake, 0x8801), "0x8801");
    EXPECT_EQ(fake.count("loadMessageLibrary"), 3u);
}

class LibraryWithoutExport : public FakeDirClient {
    struct Library : MessageLibrary {
        std::optional<std::string> NWstrerror(std::int32_t) override { return std::nullopt; }
    };

  public:
    std::unique_ptr<MessageLibrary> loadMessageLibrary() override {
        return std::make_unique<Library>();
    }
};

TEST(ClientErrorText, MissingExportUsesTheSystemText) {
    LibraryWithoutExport client;
    EXPECT_EQ(ClientErrorText(client, 0xFFFF), "0xFFFF ()");
    EXPECT_EQ(ClientErrorText(client, ENOENT), "0x0002 (" + SystemErrorText(ENOENT) + ")");
}

TEST(SystemErrorText, NoneForUnknownNumbersAndNoTrailingJunk) {
    EXPECT_EQ(SystemErrorText(0xFFFF), "");
    EXPECT_EQ(SystemErrorText(-601), "");
    for (int n = 1; n < 140; ++n) {
        const std::string text = SystemErrorText(n);
        if (text.empty()) continue;
        EXPECT_EQ(text.find("Unknown error"), std::string::npos) << n;
        const char last = text.back();
        EXPECT_TRUE(last != '.' && last != ' ' && static_cast<unsigned char>(last) >= 0x20) << n;
    }
}

TEST(ReportClientError, ShowsNothingForZeroElseTheNamedError) {
    FakeDirClient fake;
    fake.setMessageTable({{0x8801, "Invalid connection"}});
    RecordingUi ui;
    ReportClientError(fake, ui, 0, "Step");
    EXPECT_THAT(ui.dialogs, IsEmpty());
    EXPECT_EQ(fake.count("loadMessageLibrary"), 0u);
    ReportClientError(fake, ui, 0x8801, "Step");
    EXPECT_THAT(ui.dialogs,
                ElementsAre(ShownDialog{DlgType::Error,
                                        "Step returned error 0x8801 (Invalid connection)"}));
}

// ---- Tree list

TEST(ListReachableTrees, DeduplicatesCutsTrimsAndSkips) {
    FakeDirClient fake;
    fake.setConnections({
        "ACME",
        "acme",                                          // same tree: the first form stays
        "",                                              // skipped
        "GLOBEX" + std::string(26, '_'),                 // 32 characters padded
        std::string(32, '_'),                            // only underscores: skipped
        "LONGTREE" + std::string(24, '_') + "EXTRA___",  // 40: cut to 32, then trimmed
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",          // cut to 32
        "TR_EE",
    });
    RecordingUi ui;
    std::vector<std::string> list;
    ListReachableTrees(fake, ui, list);
    EXPECT_THAT(list, ElementsAre("ACME", "GLOBEX", "LONGTREE", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
                                  "TR_EE"));
    EXPECT_EQ(ui.processEventsCalls, 8);
    EXPECT_EQ(fake.count("dcNextConnection"), 9u);
}

TEST(ListReachableTrees, AppendsToTheListAndSkipsFailedNames) {
    FakeDirClient fake;
    fake.setConnections({"ONE", "TWO", "THREE", "Kept"});
    fake.failOn("dcConnectionTree", 0x8801, 2);
    RecordingUi ui;
    std::vector<std::string> list{"kept"};
    ListReachableTrees(fake, ui, list);
    EXPECT_THAT(list, ElementsAre("kept", "ONE", "THREE"));
}

TEST(ListReachableTrees, StopsAtTheFirstFailedScan) {
    FakeDirClient fake;
    fake.setConnections({"ONE", "TWO", "THREE"});
    fake.failOn("dcNextConnection", 0x8801, 3);
    RecordingUi ui;
    std::vector<std::string> list;
    ListReachableTrees(fake, ui, list);
    EXPECT_THAT(list, ElementsAre("ONE", "TWO"));
}

// A client whose scan never moves on must not hold the program in the scan for ever.
class StuckScan : public FakeDirClient {
  public:
    ConnCode dcNextConnection(std::uint32_t& scanPosition, ConnRef& ref) override {
        const std::uint32_t at = scanPosition;
        const ConnCode code = FakeDirClient::dcNextConnection(scanPosition, ref);
        scanPosition = at;
        return code;
    }
};

TEST(ListReachableTrees, EndsWhenTheScanDoesNotAdvance) {
    StuckScan client;
    client.setConnections({"ONE", "TWO"});
    RecordingUi ui;
    std::vector<std::string> list;
    ListReachableTrees(client, ui, list);
    EXPECT_THAT(list, ElementsAre("ONE"));
    EXPECT_EQ(client.count("dcNextConnection"), 1u);
}

TEST(ConnectionTreeName, AsksForKindFourIntoTheTreeBuffer) {
    FakeDirClient fake;
    fake.failOn("dcConnectionTree", 0x8801, 2);
    ConnCode code = 1;
    EXPECT_EQ(ConnectionTreeName(fake, 256, &code), "FAKE_TREE");
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ConnectionTreeName(fake, 256, &code), "");
    EXPECT_EQ(code, 0x8801u);
    EXPECT_EQ(fake.calls().front(), "dcConnectionTree(256,4,255)");
}

// ---- Contexts

class ContextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.setDefaultContext(".OU=Sales.O=Acme");
        fake.setConnections({"ACME"});
        globex = fake.addConnection("GLOBEX" + std::string(26, '_'));
        ASSERT_EQ(fake.dcNewContext(context), 0);
        fake.clearCalls();
    }
    std::string read(std::uint32_t key) {
        char text[DCK_TEXT_SIZE] = {};
        EXPECT_EQ(fake.dcReadContext(context, key, text), 0);
        return text;
    }
    FakeDirClient fake;
    std::shared_ptr<SimTree> globex;
    DirContext context = 0;
};

TEST_F(ContextTest, TreeNameLosesOnlyTheFirstExactCN) {
    const std::pair<const char*, const char*> cases[] = {
        {"CN=ACME", "ACME"},
        {"CN=CN=ACME", "CN=ACME"},
        {"cn=ACME", "cn=ACME"},
        {"ACMECN=X", "ACMEX"},
        {"", ""},
    };
    for (const auto& [stored, shown] : cases) {
        fake.setContextTreeText(context, stored);
        EXPECT_EQ(ContextTreeName(fake, context), shown) << stored;
    }
    fake.failOn("dcReadContext", -303);
    EXPECT_EQ(ContextTreeName(fake, context), "");
}

TEST_F(ContextTest, CurrentTreeInAnyCaseRewritesOnlyTheNameContext) {
    EXPECT_EQ(DSChangeCurrentTree(fake, context, "acme"), 0);
    EXPECT_THAT(fake.calls(), ElementsAre("dcReadContext(1,11)", "dcHomeContext(1,256)",
                                          "dcWriteContext(1,3,\"OU=Sales.O=Acme\")"));
    EXPECT_EQ(read(DCK_NAME_CONTEXT), "OU=Sales.O=Acme");
}

TEST_F(ContextTest, OtherTreeIsWrittenUnfoldedAndEmptyHomeGivesRoot) {
    EXPECT_EQ(DSChangeCurrentTree(fake, context, "GLOBEX"), 0);
    EXPECT_THAT(fake.calls(),
                ElementsAre("dcReadContext(1,11)", "dcWriteContext(1,11,\"GLOBEX\")",
                            "dcHomeContext(1,256)", "dcWriteContext(1,3,\"[Root]\")"));
    EXPECT_EQ(ContextTreeName(fake, context), "GLOBEX");
}

TEST_F(ContextTest, FailedTreeWriteChangesNothingElse) {
    ASSERT_EQ(DSChangeCurrentTree(fake, context, "ACME"), 0);
    fake.clearCalls();
    EXPECT_EQ(DSChangeCurrentTree(fake, context, "NOSUCH"), simcode::kTreeNotFound);
    EXPECT_THAT(fake.callNames(), ElementsAre("dcReadContext", "dcWriteContext"));
    EXPECT_EQ(read(DCK_NAME_CONTEXT), "OU=Sales.O=Acme");
    EXPECT_EQ(ContextTreeName(fake, context), "ACME");
}

TEST_F(ContextTest, EmptyTreeNameOnlyResetsTheNameContext) {
    EXPECT_EQ(DSChangeCurrentTree(fake, context, ""), 0);
    EXPECT_THAT(fake.callNames(), ElementsAre("dcHomeContext", "dcWriteContext"));
}

TEST_F(ContextTest, NameContextRules) {
    const std::pair<const char*, const char*> cases[] = {
        {"..O=Acme", ".O=Acme"}, {"O=Acme", "O=Acme"}, {"", "[Root]"}, {".[Root]", "[Root]"}};
    for (const auto& [home, written] : cases) {
        fake.setDefaultContext(home);
        EXPECT_EQ(DSChangeCurrentTree(fake, context, "ACME"), 0);
        EXPECT_EQ(read(DCK_NAME_CONTEXT), written) << home;
    }
    fake.failOn("dcHomeContext", -601);
    fake.setDefaultContext("O=Acme");
    EXPECT_EQ(DSChangeCurrentTree(fake, context, "ACME"), 0);
    EXPECT_EQ(read(DCK_NAME_CONTEXT), "[Root]");
}

TEST_F(ContextTest, NameContextWriteCodeIsTheResult) {
    fake.failOn("dcWriteContext", -302, 1);
    EXPECT_EQ(DSChangeCurrentTree(fake, context, "ACME"), -302);
}

TEST_F(ContextTest, ChangeContextFlagsOrsTheBits) {
    const std::uint32_t before = [&] {
        std::uint32_t f = 0;
        fake.dcReadContext(context, DCK_FLAGS, &f);
        return f;
    }();
    ChangeContextFlags(fake, context, '+', 4);
    std::uint32_t flags = 0;
    fake.dcReadContext(context, DCK_FLAGS, &flags);
    EXPECT_EQ(flags, before | 4u);

    // After a failed read the word written is the bits alone.
    fake.failOn("dcReadContext", -303, 1);
    fake.clearCalls();
    ChangeContextFlags(fake, context, '+', 0x10);
    EXPECT_THAT(fake.calls(), ElementsAre("dcReadContext(1,1)", "dcWriteContext(1,1,16)"));
}

}  // namespace
