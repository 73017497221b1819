// Reading class and attribute names and class definitions through a context, and the
// texts of class flags and identifiers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeDirClient.h"
#include "RecordingUi.h"
#include "core/directory/D_NW.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr DirCode kFail = -601;

std::vector<std::string> Names(const NameList& list) {
    std::vector<std::string> names;
    for (const NameEntry& e : list) names.push_back(e.name);
    return names;
}

class SchemaRead : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(fake.dcNewContext(context), 0);
        fake.clearCalls();
    }
    // Classes C1..Cn with flags equal to their number.
    void addClasses(int n) {
        for (int i = 1; i <= n; ++i)
            fake.addClass("C" + std::to_string(i), static_cast<std::uint32_t>(i));
    }
    void addAttrs(int n) {
        for (int i = 1; i <= n; ++i) fake.addAttr("A" + std::to_string(i), 0, 3);
    }
    static std::vector<std::string> Seq(const char* prefix, std::vector<int> numbers) {
        std::vector<std::string> out;
        for (int n : numbers) out.push_back(prefix + std::to_string(n));
        return out;
    }
    FakeDirClient fake;
    RecordingUi ui;
    DirContext context = 0;
};

// ---- Class names

TEST_F(SchemaRead, ClassNamesSpanBatchesWithTheirFlags) {
    addClasses(7);
    fake.addClass("c2", 0x20);  // the client repeats a name: kept
    fake.setBatchSize(3);
    NameList list{{"Existing", 0}};
    EXPECT_EQ(U_DSReadAvailableClasses(fake, context, list), 0);
    EXPECT_THAT(Names(list),
                ElementsAre("Existing", "C1", "C2", "C3", "C4", "C5", "C6", "C7", "c2"));
    EXPECT_EQ(list[3].number, 3u);
    EXPECT_EQ(list.back().number, 0x20u);
    const std::vector<std::string>& calls = fake.calls();
    EXPECT_EQ(calls[0], "dcNewBuffer(4096)");
    EXPECT_EQ(calls[1], "dcStartRequest(1,15,1)");
    EXPECT_EQ(calls[2], "dcNewBuffer(4096)");
    EXPECT_EQ(calls[3], "dcFetchClasses(1,3,1,1,-1,2)");
    EXPECT_EQ(calls[4], "dcClassCount(1,2)");
    EXPECT_EQ(calls[5], "dcTakeClass(1,2,4096)");
    EXPECT_THAT(std::vector<std::string>(calls.end() - 2, calls.end()),
                ElementsAre("dcDropBuffer(2)", "dcDropBuffer(1)"));
    EXPECT_EQ(fake.count("dcFetchClasses"), 3u);
    EXPECT_EQ(fake.count("dcAddClassName"), 0u);
    EXPECT_EQ(fake.liveBuffers(), 0u);
}

TEST_F(SchemaRead, ClassNameReplyOfFourKilobytesTakesSeveralBatches) {
    for (int i = 0; i < 200; ++i) fake.addClass("Class With A Long Name " + std::to_string(i), 0);
    NameList list;
    EXPECT_EQ(U_DSReadAvailableClasses(fake, context, list), 0);
    EXPECT_EQ(list.size(), 200u);
    EXPECT_EQ(list[199].name, "Class With A Long Name 199");
    EXPECT_GT(fake.count("dcFetchClasses"), 2u);
}

TEST_F(SchemaRead, FailedTakeSkipsOneClassAndALastFailureIsTheResult) {
    addClasses(5);
    fake.setBatchSize(2);
    fake.failOn("dcTakeClass", kFail, 2);
    NameList list;
    EXPECT_EQ(U_DSReadAvailableClasses(fake, context, list), 0);
    EXPECT_THAT(Names(list), ElementsAreArray(Seq("C", {1, 3, 4, 5})));

    fake.failOn("dcTakeClass", -602, 5);
    list.clear();
    EXPECT_EQ(U_DSReadAvailableClasses(fake, context, list), -602);
    EXPECT_THAT(Names(list), ElementsAreArray(Seq("C", {1, 2, 3, 4})));
}

TEST_F(SchemaRead, FailedFetchEndsTheReadKeepingEarlierBatches) {
    addClasses(5);
    fake.setBatchSize(2);
    fake.failOn("dcFetchClasses", kFail, 2);
    NameList list;
    EXPECT_EQ(U_DSReadAvailableClasses(fake, context, list), kFail);
    EXPECT_THAT(Names(list), ElementsAre("C1", "C2"));
    EXPECT_EQ(fake.liveBuffers(), 0u);
}

TEST_F(SchemaRead, BatchWithoutCountIsSkipped) {
    addClasses(5);
    fake.setBatchSize(2);
    fake.failOn("dcClassCount", kFail, 2);
    NameList list;
    EXPECT_EQ(U_DSReadAvailableClasses(fake, context, list), 0);
    EXPECT_THAT(Names(list), ElementsAre("C1", "C2", "C5"));
}

TEST_F(SchemaRead, BufferFailuresReleaseWhatWasCreated) {
    addClasses(2);
    const std::pair<const char*, std::uint32_t> steps[] = {
        {"dcNewBuffer", 1}, {"dcStartRequest", 1}, {"dcNewBuffer", 2}};
    for (const auto& [op, call] : steps) {
        FakeDirClient f;
        f.addClass("C1", 1);
        DirContext ctx = 0;
        f.dcNewContext(ctx);
        f.failOn(op, -301, call);
        NameList list;
        EXPECT_EQ(U_DSReadAvailableClasses(f, ctx, list), -301) << op << call;
        EXPECT_THAT(list, IsEmpty());
        EXPECT_EQ(f.count("dcFetchClasses"), 0u);
        EXPECT_EQ(f.liveBuffers(), 0u);
    }
}

// ---- Attribute names

TEST_F(SchemaRead, AttributeNamesUseOneLargeReplyAndNoRequest) {
    addAttrs(5);
    fake.setBatchSize(2);
    NameList list;
    EXPECT_EQ(U_DSReadAvailableAttributes(fake, context, "*", list), 0);
    EXPECT_THAT(Names(list), ElementsAreArray(Seq("A", {1, 2, 3, 4, 5})));
    EXPECT_EQ(list[0].number, 0u);
    const std::vector<std::string>& calls = fake.calls();
    EXPECT_EQ(calls[0], "dcNewBuffer(64512)");
    EXPECT_EQ(calls[1], "dcFetchAttributes(1,0,1,0,-1,1)");
    EXPECT_EQ(calls[3], "dcTakeAttr(1,1,4096)");
    EXPECT_EQ(calls.back(), "dcDropBuffer(1)");
    EXPECT_EQ(fake.count("dcFetchAttributes"), 3u);
    EXPECT_EQ(fake.count("dcNewBuffer"), 1u);
}

TEST_F(SchemaRead, FailedAttributeTakeSkipsThatEntryOnly) {
    addAttrs(7);
    fake.setBatchSize(3);
    fake.failOn("dcTakeAttr", kFail, 2);
    NameList list;
    EXPECT_EQ(U_DSReadAvailableAttributes(fake, context, "*", list), 0);
    EXPECT_THAT(Names(list), ElementsAreArray(Seq("A", {1, 3, 4, 5, 6, 7})));
    // The code is the last call's: a failing final take is the result.
    fake.failOn("dcTakeAttr", kFail, 7);
    list.clear();
    EXPECT_EQ(U_DSReadAvailableAttributes(fake, context, "*", list), kFail);
    EXPECT_THAT(Names(list), ElementsAreArray(Seq("A", {1, 2, 3, 4, 5, 6})));
}

TEST_F(SchemaRead, AttributeReadFailures) {
    addAttrs(4);
    fake.setBatchSize(2);
    fake.failOn("dcFetchAttributes", kFail, 2);
    NameList list;
    EXPECT_EQ(U_DSReadAvailableAttributes(fake, context, "*", list), kFail);
    EXPECT_THAT(Names(list), ElementsAre("A1", "A2"));
    EXPECT_EQ(fake.liveBuffers(), 0u);

    fake.failOn("dcNewBuffer", -301);
    list.clear();
    fake.clearCalls();
    EXPECT_EQ(U_DSReadAvailableAttributes(fake, context, "*", list), -301);
    EXPECT_THAT(fake.callNames(), ElementsAre("dcNewBuffer"));
}

// ---- One class definition

TEST_F(SchemaRead, GetClassDefFillsTheRecordOfTheNamedClass) {
    fake.addClass("Top", 0x07, {0x06, 0x03, 0x55, 0x06, 0x00});
    fake.addClass("Person", 0x02, {0x06, 0x03, 0x55, 0x06, 0x06});
    DirClassInfo info;
    info.classFlags = 0xDEAD;
    EXPECT_EQ(U_DSGetClassDef(fake, context, "person", info), 0);
    EXPECT_EQ(info.classFlags, 0x02u);
    EXPECT_EQ(Asn1IdText(info.asn1ID), "2.5.6.6");
    EXPECT_THAT(
        fake.calls(),
        ElementsAre("dcNewBuffer(4096)", "dcStartRequest(1,15,1)", "dcAddClassName(1,1,\"person\")",
                    "dcNewBuffer(64512)", "dcFetchClasses(1,3,0,1,-1,2)", "dcClassCount(1,2)",
                    "dcTakeClass(1,2,4096)", "dcDropBuffer(2)", "dcDropBuffer(1)"));
}

TEST_F(SchemaRead, NamesFoldBeyondAsciiAsTheQuickCheckMatchesThem) {
    // The quick check calls these common; each read must then find them under either
    // spelling.
    fake.addClass("\xC3\xB6rtlichkeit", 0x02, {0x06, 0x03, 0x55, 0x06, 0x07}, {"Top"});
    fake.addAttr(
        "Stra\xC3\x9F"
        "enname",
        0x01, 3);
    fake.addAttr("\xC3\x89tage", 0x00, 8);
    DirClassInfo info;
    EXPECT_EQ(U_DSGetClassDef(fake, context, "\xC3\x96RTLICHKEIT", info), 0);
    EXPECT_EQ(info.classFlags, 0x02u);
    std::vector<std::string> sup;
    EXPECT_EQ(U_DSReadAttributes(fake, ui, context, "\xC3\x96rtlichkeit", 0, sup), 0);
    EXPECT_THAT(sup, ElementsAre("Top"));
    std::string definition;
    EXPECT_EQ(U_DSGetAttributeInfo(fake, context, "\xC3\xA9TAGE", definition), 0);
    EXPECT_EQ(definition, "INTEGER");
    EXPECT_EQ(U_DSGetAttributeInfo(fake, context,
                                   "STRA\xC3\x9F"
                                   "ENNAME",
                                   definition),
              0);
    EXPECT_EQ(definition, "CI_STRING [SglVal]");
    // Different letters stay different.
    EXPECT_NE(U_DSGetAttributeInfo(fake, context, "Etage", definition), 0);
}

TEST_F(SchemaRead, GetClassDefOfAnUnknownClassClearsTheRecord) {
    fake.addClass("Top", 0x07, {0x06, 0x03, 0x55, 0x06, 0x00});
    DirClassInfo info;
    info.classFlags = 0xDEAD;
    info.asn1ID.length = 9;
    EXPECT_EQ(U_DSGetClassDef(fake, context, "Nobody", info), simcode::kNoSuchClass);
    EXPECT_EQ(info.classFlags, 0u);
    EXPECT_EQ(info.asn1ID.length, 0u);
    EXPECT_EQ(fake.liveBuffers(), 0u);
}

// ---- Item lists

class ItemRead : public SchemaRead {
  protected:
    void SetUp() override {
        SchemaRead::SetUp();
        fake.addClass("Top", 0x07);
        fake.addClass("Person", 0x02, {0x06, 0x03, 0x55, 0x06, 0x06},
                      {"Top", "top", "ndsLoginProperties"}, {"Organization", "Organizational Unit"},
                      {"CN"}, {"CN", "Surname"}, {"Description", "Telephone Number", "Surname"});
    }
    std::vector<std::string> read(int kind, DirCode expected = 0) {
        std::vector<std::string> list;
        EXPECT_EQ(U_DSReadAttributes(fake, ui, context, "Person", kind, list), expected);
        EXPECT_EQ(fake.liveBuffers(), 0u);
        return list;
    }
};

TEST_F(ItemRead, EachKindGetsItsOwnListInTheClientsOrder) {
    EXPECT_THAT(read(0), ElementsAre("Top", "ndsLoginProperties"));  // "top" is already held
    EXPECT_THAT(read(1), ElementsAre("Organization", "Organizational Unit"));
    EXPECT_THAT(read(2), ElementsAre("CN"));
    EXPECT_THAT(read(3), ElementsAre("CN", "Surname"));
    EXPECT_THAT(read(4), ElementsAre("Description", "Telephone Number", "Surname"));
    EXPECT_THAT(read(6), ElementsAre("2.5.6.6"));
    EXPECT_THAT(read(5), IsEmpty());
}

TEST_F(ItemRead, WalksEveryListWhateverTheKindAndYieldsPerClass) {
    fake.clearCalls();
    read(6);
    EXPECT_EQ(fake.count("dcItemCount"), 5u);
    EXPECT_EQ(fake.count("dcTakeItem"), 11u);
    EXPECT_EQ(ui.processEventsCalls, 1);
    const std::vector<std::string>& calls = fake.calls();
    EXPECT_EQ(calls[2], "dcAddClassName(1,1,\"Person\")");
    EXPECT_EQ(calls[3], "dcNewBuffer(64512)");
    EXPECT_EQ(calls[4], "dcFetchClasses(1,2,0,1,-1,2)");
    EXPECT_EQ(calls[6], "dcTakeClass(1,2,4096)");
    EXPECT_EQ(calls[8], "dcTakeItem(1,2,4096)");
}

TEST_F(ItemRead, LongItemNamesComeThroughWhole) {
    // Real directories have item names far past 33 bytes; two that share their first 33
    // must stay two items.
    const std::string to = "msDS-ServiceAllowedToAuthenticateTo";
    const std::string from = "msDS-ServiceAllowedToAuthenticateFrom";
    const std::string sup = "msDS-ManagedServiceAccountWithALongName";
    fake.addClass("Account", 0, {}, {sup}, {}, {}, {}, {to, from});
    std::vector<std::string> list;
    EXPECT_EQ(U_DSReadAttributes(fake, ui, context, "Account", 4, list), 0);
    EXPECT_THAT(list, ElementsAre(to, from));
    list.clear();
    EXPECT_EQ(U_DSReadAttributes(fake, ui, context, "Account", 0, list), 0);
    EXPECT_THAT(list, ElementsAre(sup));
}

TEST_F(ItemRead, ANameLongerThanTheBufferIsNeverCutInsideACharacter) {
    // 4093 ASCII bytes, then "é" (2 bytes) straddling the 4095-byte limit.
    const std::string name = std::string(4094, 'a') + "\xC3\xA9" + "tail";
    fake.addClass("Huge", 0, {}, {name});
    std::vector<std::string> list;
    EXPECT_EQ(U_DSReadAttributes(fake, ui, context, "Huge", 0, list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], std::string(4094, 'a'));
    const std::string three = std::string(4093, 'b') + "\xE2\x82\xAC";  // the euro sign
    fake.addClass("Huge3", 0, {}, {three + "x"});
    list.clear();
    EXPECT_EQ(U_DSReadAttributes(fake, ui, context, "Huge3", 0, list), 0);
    EXPECT_THAT(list, ElementsAre(std::string(4093, 'b')));
}

TEST_F(ItemRead, FailedItemTakeEndsOnlyItsList) {
    fake.failOn("dcTakeItem", kFail, 2);  // the second super class
    std::vector<std::string> list;
    EXPECT_EQ(U_DSReadAttributes(fake, ui, context, "Person", 0, list), 0);
    EXPECT_THAT(list, ElementsAre("Top"));
    fake.failOn("dcTakeItem", kFail, 2);
    EXPECT_THAT(read(1), ElementsAre("Organization", "Organizational Unit"));
}

TEST_F(ItemRead, FailedLastTakeIsTheResult) {
    fake.failOn("dcTakeItem", kFail, 11);  // the last optional attribute
    EXPECT_THAT(read(4, kFail), ElementsAre("Description", "Telephone Number"));
}

TEST_F(ItemRead, FailedCountSkipsOnlyItsList) {
    fake.failOn("dcItemCount", kFail, 2);  // containment
    EXPECT_THAT(read(1), IsEmpty());
    fake.failOn("dcItemCount", kFail, 2);  // containment again: the naming list stays in step
    EXPECT_THAT(read(2), ElementsAre("CN"));
}

TEST_F(ItemRead, FailedClassTakeOrFetch) {
    fake.failOn("dcTakeClass", kFail, 1);
    EXPECT_THAT(read(0, kFail), IsEmpty());
    EXPECT_EQ(fake.count("dcItemCount"), 0u);
    fake.failOn("dcFetchClasses", -602, 1);
    EXPECT_THAT(read(0, -602), IsEmpty());
}

TEST_F(ItemRead, ClientStuckOnOneBatchIsReadTwiceThenLeft) {
    fake.stickIterationHandle(1);
    EXPECT_THAT(read(6), ElementsAre("2.5.6.6", "2.5.6.6"));
    EXPECT_EQ(fake.count("dcFetchClasses"), 2u);
}

TEST_F(ItemRead, IdentifierEntryOnlyWhenItDecodes) {
    fake.addClass("Broken", 0, {0x06, 0x05, 0x55, 0x06, 0x06});
    std::vector<std::string> list;
    EXPECT_EQ(U_DSReadAttributes(fake, ui, context, "Broken", 6, list), 0);
    EXPECT_THAT(list, IsEmpty());
}

// ---- Texts

TEST(ClassFlagsText, WordsInTableOrder) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x00, ""},
        {0x80, ""},
        {0x01, "Container"},
        {0x07, "Effective\\Non-Removable\\Container"},
        {0x25, "Auxiliary\\Non-Removable\\Container"},
        {0x18, "Ambiguous Naming\\Ambiguous Containment"},
        {0x7F,
         "Auxiliary\\Effective\\Operational\\Non-Removable\\Container\\Ambiguous "
         "Naming\\Ambiguous Containment"},
        {0xFFFFFF80, ""},
        {0xFFFFFFFF,
         "Auxiliary\\Effective\\Operational\\Non-Removable\\Container\\Ambiguous "
         "Naming\\Ambiguous Containment"},
    };
    for (const auto& [flags, text] : cases) EXPECT_EQ(ClassFlagsText(flags), text) << flags;
}

struct IdCase {
    std::vector<std::uint8_t> bytes;
    std::uint32_t length;  // 0xFFFFFFFF: the number of bytes
    const char* text;
};

TEST(Asn1IdText, EveryRule) {
    std::vector<std::uint8_t> longest{0x06, 30, 0x2B};
    for (int i = 0; i < 29; ++i) longest.push_back(0x01);
    std::string longestText = "1.3";
    for (int i = 0; i < 29; ++i) longestText += ".1";
    std::vector<std::uint8_t> tooLong{0x06, 31, 0x2B};
    for (int i = 0; i < 29; ++i) tooLong.push_back(0x01);

    const IdCase cases[] = {
        {{0x06, 0x03, 0x2B, 0x06, 0x01}, ~0u, "1.3.6.1"},
        {{0x06, 0x05, 0x60, 0x86, 0x48, 0x01, 0x02}, ~0u, "2.16.840.1.2"},
        {{0x06, 0x02, 0x2B, 0x06}, ~0u, "1.3.6"},
        {{0x06, 0x03, 0x2B, 0x06, 0x01}, 0, ""},    // length 0
        {{0x04, 0x03, 0x2B, 0x06, 0x01}, ~0u, ""},  // not tag 6
        {{0x06, 0x01, 0x2B}, ~0u, ""},              // content under 2 bytes
        {{0x06, 0x00}, ~0u, ""},
        {{0x06, 0x05, 0x2B, 0x06, 0x01}, ~0u, ""},  // runs past the length
        {{0x06, 0x03, 0x2B, 0x06, 0x01}, 4, ""},
        {{0x06, 0x03, 0x2B, 0x06, 0x01}, 100, "1.3.6.1"},  // a length past 32 is fine
        {longest, ~0u, longestText.c_str()},
        {tooLong, 40, ""},                         // past the 32 data bytes
        {{0x06, 0x02, 0x78, 0x05}, ~0u, "3.0.5"},  // first byte 120
        // A first number of several bytes lies under arc 2.
        {{0x06, 0x02, 0xFF, 0x05}, ~0u, "2.16181"},
        {{0x06, 0x03, 0x88, 0x37, 0x01}, ~0u, "2.999.1"},
        {{0x06, 0x02, 0x81, 0x00}, ~0u, "2.48"},
        {{0x06, 0x02, 0x81, 0x80}, ~0u, ""},             // the first number never ends
        {{0x06, 0x03, 0x80, 0x2B, 0x06}, ~0u, "1.3.6"},  // padded, not minimal: still read
        {{0x06, 0x03, 0x80, 0x50, 0x01}, ~0u, "2.0.1"},
        // 2.25 and a UUID arc of 128 bits set: 0x83, then 18 groups of seven bits set.
        {{0x06, 0x14, 0x69, 0x83, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
         ~0u,
         "2.25.340282366920938463463374607431768211455"},
        {{0x06, 0x06, 0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, ~0u, "1.3.4294967295"},
        {{0x06, 0x06, 0x2B, 0x90, 0x80, 0x80, 0x80, 0x01}, ~0u, "1.3.4294967297"},
        {{0x06, 0x05, 0x2B, 0x06, 0x01, 0x81, 0x82}, ~0u, "1.3.6.1"},  // unfinished last
        {{0x06, 0x02, 0x2B, 0x86}, ~0u, "1.3"},
    };
    for (const IdCase& c : cases) {
        Asn1Id id = MakeAsn1Id(c.bytes);
        if (c.length != ~0u) id.length = c.length;
        EXPECT_EQ(Asn1IdText(id), c.text) << testing::PrintToString(c.bytes) << " " << c.length;
    }
}

}  // namespace
