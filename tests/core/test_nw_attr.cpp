// Attribute definitions read from a context and their one-line text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "FakeDirClient.h"
#include "core/directory/D_NW.h"

using ::testing::ElementsAre;

namespace {

DirAttrInfo Attr(std::uint32_t syntax, std::uint32_t flags, std::int32_t lower = 0,
                 std::int32_t upper = 0) {
    DirAttrInfo info;
    info.attrSyntaxID = syntax;
    info.attrFlags = flags;
    info.attrLower = lower;
    info.attrUpper = upper;
    return info;
}

TEST(AttrDefText, Examples) {
    const std::pair<DirAttrInfo, const char*> cases[] = {
        {Attr(3, 0x83, 1, 64), "CI_STRING [SglVal\\Sized (1-64)\\PublRd]"},
        {Attr(1, 0), "DIST_NAME"},
        {Attr(8, 0x03, 4, 4), "INTEGER [SglVal\\Sized (4)]"},
        {Attr(8, 0x02, 0, 0), "INTEGER [Sized (0)]"},
        {Attr(8, 0x440), "INTEGER [PerRep\\SyncImdt]"},
        {Attr(8, 0x1000), "INTEGER"},
        {Attr(8, 0xFFFFF000), "INTEGER"},
        {Attr(8, 0x01, 5, 9), "INTEGER [SglVal]"},  // bounds only inside "Sized"
        {Attr(9, 0x02, 1, static_cast<std::int32_t>(0xFFFFFFFF)), "OCTET_STRING [Sized (1--1)]"},
        {Attr(9, 0x02, -5, -5), "OCTET_STRING [Sized (-5)]"},
        {Attr(9, 0x02, INT32_MIN, INT32_MAX), "OCTET_STRING [Sized (-2147483648-2147483647)]"},
        {Attr(37, 0), "SYNTAX_COUNT"},
        {Attr(38, 0x01), "Unknown Syntax [SglVal]"},
        {Attr(0xFFFFFFFF, 0), "Unknown Syntax"},
        {Attr(3, 0xFFF, 1, 32),
         "CI_STRING [SglVal\\Sized (1-32)\\NonRem\\RdOnly\\Hidden\\String\\PublRd\\SrvrRd\\"
         "WrtMngd\\PerRep\\SyncImdt\\SyncNever]"},
    };
    for (const auto& [info, text] : cases) EXPECT_EQ(AttrDefText(info), text);
}

TEST(AttrDefText, EachBitAloneGivesItsWord) {
    const std::pair<std::uint32_t, const char*> bits[] = {
        {0x001, "SglVal"}, {0x002, "Sized (7)"}, {0x004, "NonRem"},   {0x008, "RdOnly"},
        {0x010, "Hidden"}, {0x020, "String"},    {0x040, "SyncImdt"}, {0x080, "PublRd"},
        {0x100, "SrvrRd"}, {0x200, "WrtMngd"},   {0x400, "PerRep"},   {0x800, "SyncNever"},
    };
    for (const auto& [bit, word] : bits)
        EXPECT_EQ(AttrDefText(Attr(2, bit, 7, 7)), std::string("CE_STRING [") + word + "]") << bit;
}

TEST(SyntaxName, TableThenUnknown) {
    EXPECT_EQ(SyntaxName(0), "UNKNOWN");
    EXPECT_EQ(SyntaxName(20), "CLASS_NAME");
    EXPECT_EQ(SyntaxName(29), "ENUM_COMPONENT");
    EXPECT_EQ(SyntaxName(36), "ANY");
    EXPECT_EQ(SyntaxName(37), "SYNTAX_COUNT");
    EXPECT_EQ(SyntaxName(38), "Unknown Syntax");
    EXPECT_EQ(SyntaxName(0x80000000), "Unknown Syntax");
    std::set<std::string> names;
    for (std::uint32_t id = 0; id <= 37; ++id) names.insert(SyntaxName(id));
    EXPECT_EQ(names.size(), 38u);
    EXPECT_EQ(names.count("Unknown Syntax"), 0u);
}

class AttrRead : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.addAttr("Surname", 0x80, 3, 1, 64);
        fake.addAttr("CN", 0x83, 3, 1, 64);
        fake.setBatchSize(1);
        ASSERT_EQ(fake.dcNewContext(context), 0);
        fake.clearCalls();
    }
    FakeDirClient fake;
    DirContext context = 0;
};

TEST_F(AttrRead, OneFetchOneTakeAndEveryBufferReleased) {
    std::string text = "stale";
    EXPECT_EQ(U_DSGetAttributeInfo(fake, context, "cn", text), 0);
    EXPECT_EQ(text, "CI_STRING [SglVal\\Sized (1-64)\\PublRd]");
    EXPECT_THAT(
        fake.calls(),
        ElementsAre("dcNewBuffer(4096)", "dcStartRequest(1,12,1)", "dcAddAttrName(1,1,\"cn\")",
                    "dcNewBuffer(4096)", "dcFetchAttributes(1,1,0,1,-1,2)", "dcAttrCount(1,2)",
                    "dcTakeAttr(1,2,4096)", "dcDropBuffer(2)", "dcDropBuffer(1)"));
}

TEST_F(AttrRead, UnknownAttributeGivesTheClientsCodeAndNoText) {
    std::string text = "stale";
    EXPECT_EQ(U_DSGetAttributeInfo(fake, context, "Nope", text), simcode::kNoSuchAttribute);
    EXPECT_EQ(text, "");
    EXPECT_EQ(fake.liveBuffers(), 0u);
}

TEST_F(AttrRead, AnyFailingStepEndsTheReadAndReleasesItsBuffers) {
    const std::pair<const char*, std::uint32_t> steps[] = {
        {"dcNewBuffer", 1},       {"dcStartRequest", 1}, {"dcAddAttrName", 1}, {"dcNewBuffer", 2},
        {"dcFetchAttributes", 1}, {"dcAttrCount", 1},    {"dcTakeAttr", 1},
    };
    for (const auto& [op, call] : steps) {
        FakeDirClient f;
        f.addAttr("CN", 0x83, 3, 1, 64);
        DirContext ctx = 0;
        f.dcNewContext(ctx);
        f.clearCalls();
        f.failOn(op, -641, call);
        std::string text = "stale";
        EXPECT_EQ(U_DSGetAttributeInfo(f, ctx, "CN", text), -641) << op;
        EXPECT_EQ(text, "") << op;
        EXPECT_EQ(f.liveBuffers(), 0u) << op;
        // Nothing but releases follows the failing call.
        std::vector<std::string> names = f.callNames();
        const auto failed = std::find(names.rbegin(), names.rend(), std::string(op));
        for (auto it = names.rbegin(); it != failed; ++it) EXPECT_EQ(*it, "dcDropBuffer") << op;
    }
}

}  // namespace
