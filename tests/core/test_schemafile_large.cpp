// Schema files far beyond any real tree: a list section of a million entries, and a file of
// 200 MB. They load what they hold and nothing breaks.
#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"
#include "core/Names.h"
#include "core/SchemaFile.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(LargeSchemaFile, MillionEntryListComesBackWhole) {
    TempDir dir;
    const std::string path = dir.file("million.txt");
    {
        std::ofstream out(path, std::ios::binary);
        out << "[Settings]\r\nTree Name=BIG\r\n[Classes]\r\n";
        for (int i = 0; i < 1'000'000; ++i) out << i << "=Class " << i << "\r\n";
        out << "[Attributes]\r\n0=CN\r\n";
    }
    TTreeInfo slot;
    OpenSchemaFileIntoSlot(slot, path);
    ReadSchemaNames(slot, {});
    ASSERT_EQ(slot.ClassNames.size(), 1'000'000u);
    EXPECT_EQ(slot.ClassNames.front().name, "Class 0");
    EXPECT_EQ(slot.ClassNames.back().name, "Class 999999");
    EXPECT_EQ(slot.AttrNames.size(), 1u);
    EXPECT_EQ(slot.TreeName, "BIG");
}

TEST(LargeSchemaFile, TwoHundredMegabytesLoadWhatTheyHold) {
    if (kSanitized) GTEST_SKIP() << "too slow under the sanitizers";
    TempDir dir;
    const std::string path = dir.file("huge.txt");
    std::size_t written = 0;
    {
        std::ofstream out(path, std::ios::binary);
        out << "[Settings]\r\nTree Name=HUGE\r\n[Attributes]\r\n0=CN\r\n1=Surname\r\n";
        out << "[Attribute Definition]\r\nCN=CI_STRING\r\n";
        // Most of the file: one enormous section of long, unrelated entries.
        const std::string filler(180, 'x');
        out << "[Noise]\r\n";
        for (int i = 0; written < 200u * 1024 * 1024; ++i) {
            const std::string line = "k" + std::to_string(i) + "=" + filler + "\r\n";
            out << line;
            written += line.size();
        }
        out << "[Classes]\r\n0=Top\r\n";
    }
    TTreeInfo slot;
    OpenSchemaFileIntoSlot(slot, path);
    ReadSchemaNames(slot, {});
    EXPECT_EQ(slot.TreeName, "HUGE");
    ASSERT_EQ(slot.AttrNames.size(), 2u);
    ASSERT_EQ(slot.ClassNames.size(), 1u);
    std::string definition;
    ReadAttrDefFromFile(*slot.SchemaFile, "cn", definition);
    EXPECT_EQ(definition, "CI_STRING");
    TClassInfo info;
    ReadClassDefFromFile(*slot.SchemaFile, "Top", info);
    EXPECT_EQ(info.Flags, "");
}

}  // namespace
