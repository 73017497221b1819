// String lists stored as sections: write, read back, erase.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "core/ini/D_Ini.h"

using Strings = std::vector<std::string>;

namespace {

TEST(ListSection, EmptyEntriesSkipTheirIndex) {
    TempDir dir;
    const std::string path = dir.file("t.ini");
    {
        IniFile ini(path);
        WriteListSection(ini, "L", Strings{"a", "", "b", "\"\"", "c"});
    }
    EXPECT_EQ(TempDir::read(path), "[L]\r\n0=a\r\n2=b\r\n4=c\r\n");
    IniFile ini(path);
    Strings back;
    ReadListSection(ini, "L", back);
    EXPECT_EQ(back, (Strings{"a", "b", "c"}));
}

TEST(ListSection, RewriteLeavesNoOldEntryBehind) {
    TempDir dir;
    const std::string path =
        dir.write("t.ini", "[L]\r\n0=x\r\n1=y\r\n2=z\r\n;gone too\r\n[M]\r\n0=m\r\n");
    IniFile ini(path);
    WriteListSection(ini, "l", Strings{"p", "q"});
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path), "[M]\r\n0=m\r\n[l]\r\n0=p\r\n1=q\r\n");
}

TEST(ListSection, ReadTakesFileOrderQuotesStrippedAndAppends) {
    TempDir dir;
    IniFile ini(dir.write("t.ini",
                          "[L]\r\n5=five\r\nx=\"quoted\"\r\nbare\r\n;c=1\r\n0=  zero  \r\n5=dup\r\n"
                          "[Q]\r\n0=\"only\"\r\n"));
    NameList names{{"kept", 7}};
    ReadListSection(ini, "l", names);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0].name, "kept");
    EXPECT_EQ(names[0].number, 7u);
    const Strings expected = {"five", "quoted", "zero", "five"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(names[i + 1].name, expected[i]);
        EXPECT_EQ(names[i + 1].number, 0u);
    }
    Strings q;
    ReadListSection(ini, "Q", q);
    EXPECT_EQ(q, Strings{"only"});
    ReadListSection(ini, "missing", q);
    EXPECT_EQ(q, Strings{"only"});
}

TEST(ListSection, NameListWritesNamesOnly) {
    TempDir dir;
    IniFile ini(dir.file("t.ini"));
    WriteListSection(ini, "L", NameList{{"Top", 3}, {"", 1}, {"Person", 0}});
    EXPECT_EQ(ini.ReadSection("L"), (Strings{"0", "2"}));
    EXPECT_EQ(ini.ReadSectionValues("L"), (Strings{"0=Top", "2=Person"}));
}

TEST(ListSection, TenThousandEntriesComeBackWhole) {
    TempDir dir;
    const std::string path = dir.file("big.ini");
    Strings list;
    for (int i = 0; i < 10000; ++i) list.push_back("Attribute Name " + std::to_string(i * 7));
    {
        IniFile ini(path);
        EraseAllSections(ini);
        WriteListSection(ini, "Attributes", list);
        WriteListSection(ini, "After", Strings{"x"});
    }
    IniFile ini(path);
    Strings back;
    ReadListSection(ini, "Attributes", back);
    EXPECT_EQ(back, list);
    EXPECT_EQ(ini.ReadSection("Attributes").size(), 10000u);
    EXPECT_EQ(ini.ReadString("attributes", "9999", ""), list.back());
}

TEST(WriteStringIfChanged, ComparesWithStoredAndQuotedStored) {
    struct Case {
        std::string stored;  // empty: the key is missing
        std::string value;
        bool written;
    };
    const std::vector<Case> cases = {
        {"", "", false},
        {"", "\"\"", false},
        {"", "x", true},
        {"k=abc", "abc", false},
        {"k=abc", "ABC", true},
        {"k=abc", "\"abc\"", false},
        {"k=\"abc\"", "abc", false},
        {"k=abc", " abc", true},
        {"k=", "", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string before = "[S]\r\n" + (c.stored.empty() ? "" : c.stored + "\r\n");
        const std::string path = dir.write("t.ini", before);
        {
            IniFile ini(path);
            WriteStringIfChanged(ini, "S", "k", c.value);
        }
        const std::string after = TempDir::read(path);
        EXPECT_EQ(after != before, c.written) << c.stored << " <- " << c.value;
        if (c.written) {
            EXPECT_NE(after.find("\r\nk=" + c.value + "\r\n"), std::string::npos);
        }
    }
}

TEST(EraseAllSections, KeepsTextBeforeTheFirstSectionAndFlushes) {
    TempDir dir;
    const std::string path =
        dir.write("t.ini", "; saved by hand\r\nloose=1\r\n[A]\r\na=1\r\n[B]\r\n[A]\r\nb=2\r\n");
    IniFile ini(path);
    EraseAllSections(ini);
    EXPECT_EQ(TempDir::read(path), "; saved by hand\r\nloose=1\r\n");
    EXPECT_EQ(ini.ReadSections(), Strings{});
}

}  // namespace
