// Reading INI files: how lines, headers, entries, comments, quotes and encodings read.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "core/ini/IniFile.h"

using namespace std::string_literals;
using Strings = std::vector<std::string>;

namespace {

const std::string kMissing = "<default>";

TEST(IniRead, LineEndsOfEveryKindAndBlankLines) {
    const Strings files = {
        "[S]\r\na=1\r\nb=2\r\n",
        "[S]\na=1\nb=2",
        "[S]\ra=1\rb=2\r",
        "[S]\r\n\r\n\n\ra=1\n\r\n\rb=2\r\n\r\n",
        "\r\n  \t\r\n[S]\n\x1A\na=1\r\r\nb=2",
    };
    for (const std::string& bytes : files) {
        TempDir dir;
        IniFile ini(dir.write("t.ini", bytes));
        EXPECT_EQ(ini.ReadSection("S"), (Strings{"a", "b"})) << bytes;
        EXPECT_EQ(ini.ReadString("S", "b", kMissing), "2") << bytes;
    }
}

// Breaks are found many bytes at a time: every length of line, with each kind of break
// and breaks split across blocks, reads line for line, and headers anywhere count.
TEST(IniRead, LinesOfEveryLengthWithEveryBreakReadExactly) {
    for (const std::string& br : {"\n"s, "\r\n"s, "\r"s}) {
        for (const int shift : {0, 1, 7, 15}) {
            std::string text(static_cast<std::size_t>(shift), ' ');
            Strings keys;
            Strings values;
            for (int n = 0; n < 70; ++n) {
                if (n % 9 == 0) text += "[S" + std::to_string(n / 9) + "]" + br;
                keys.push_back("k" + std::to_string(n));
                values.push_back(std::string(static_cast<std::size_t>(n), 'v'));
                // A lone CR, or one before a break, ends a line of its own.
                text += keys.back() + "=" + values.back() + (n % 5 == 0 ? "\r" + br : br);
            }
            text += "[Last]" + br + "end=1" + br;
            TempDir dir;
            const std::string path = dir.write("t.ini", text);
            IniFile ini(path);
            const std::string what =
                "break " + std::to_string(br.size()) + ", shift " + std::to_string(shift);
            EXPECT_EQ(ini.ReadSections().size(), 9U) << what;
            for (int n = 0; n < 70; ++n)
                EXPECT_EQ(ini.ReadString("S" + std::to_string(n / 9), keys[n], kMissing), values[n])
                    << what << ", line " << n;
            // The last break is kept as it was: a new line goes after it.
            ini.WriteString("Last", "z", "2");
            ini.UpdateFile();
            EXPECT_EQ(TempDir::read(path), text + "z=2\r\n") << what;
        }
    }
}

TEST(IniRead, BlanksTrimmedAroundNamesKeysAndValues) {
    TempDir dir;
    IniFile ini(dir.write("t.ini",
                          "\t[ \x0BName\x0C ] trailing text\r\n"
                          " \x1A Key\t = \x1A value  with  inside \t\r\n"));
    EXPECT_EQ(ini.ReadSections(), Strings{"Name"});
    EXPECT_EQ(ini.ReadString("Name", "Key", kMissing), "value  with  inside");
    EXPECT_EQ(ini.ReadString(" name\t", "\x1A KEY ", kMissing), "value  with  inside");
    EXPECT_EQ(ini.ReadSectionValues("Name"), Strings{"Key=value  with  inside"});
}

TEST(IniRead, HeadersRunToTheLastBracket) {
    TempDir dir;
    IniFile ini(dir.write("t.ini",
                          "[a]b] tail\r\nk=1\r\n"
                          "[open=entry\r\n"  // no closing bracket: an entry of a]b
                          "[]\r\nempty=2\r\n"
                          "x[y]\r\n"  // not starting with [: a key without value
                          ));
    EXPECT_EQ(ini.ReadSections(), (Strings{"a]b", ""}));
    EXPECT_EQ(ini.ReadSection("a]b"), (Strings{"k", "[open"}));
    EXPECT_EQ(ini.ReadString("a]b", "[open", kMissing), "entry");
    EXPECT_EQ(ini.ReadString("", "empty", kMissing), "2");
    EXPECT_EQ(ini.ReadSection(""), Strings{"empty"});
}

TEST(IniRead, EntriesCommentsAndKeysWithoutValue) {
    TempDir dir;
    IniFile ini(dir.write("t.ini",
                          "[S]\r\n"
                          "eq=a=b=c\r\n"
                          "bare\r\n"
                          ";comment=1\r\n"
                          "  ;indented=2\r\n"
                          "#hash=3\r\n"
                          "=nokey\r\n"
                          "empty=\r\n"));
    EXPECT_EQ(ini.ReadString("S", "eq", kMissing), "a=b=c");
    EXPECT_EQ(ini.ReadString("S", "bare", kMissing), kMissing);
    EXPECT_EQ(ini.ReadString("S", ";comment", kMissing), kMissing);
    EXPECT_EQ(ini.ReadString("S", "#hash", kMissing), "3");
    EXPECT_EQ(ini.ReadString("S", "", kMissing), "nokey");
    EXPECT_EQ(ini.ReadString("S", "empty", kMissing), "");
    EXPECT_EQ(ini.ReadSection("S"), (Strings{"eq", "#hash", "", "empty"}));
    EXPECT_EQ(ini.ReadSectionValues("S"), (Strings{"eq=a=b=c", "#hash=3", "=nokey", "empty="}));
}

// The first "=" splits a line wherever it stands, and bytes that only look like it (0x3D
// with the high bit, 0xBD) never do.
TEST(IniRead, TheFirstEqualsSignSplitsAtAnyPosition) {
    for (std::size_t len = 1; len <= 20; ++len) {
        std::string key;
        for (std::size_t i = 0; i < len; ++i)
            key += i % 3 == 1 ? '\xBD' : static_cast<char>('a' + i);
        TempDir dir;
        IniFile ini(dir.write("t.ini", "[S]\r\n" + key + "=v=w\xBD\r\n" + key + "x\r\n"));
        EXPECT_EQ(ini.ReadString("S", key, kMissing), "v=w\xBD") << len;
        EXPECT_EQ(ini.ReadSection("S"), (Strings{key})) << len;  // the second line has no "="
    }
}

TEST(IniRead, QuotePairsAndLengthLimit) {
    struct Case {
        std::string stored, read;
    };
    const std::string long5000(5000, 'x');
    const std::vector<Case> cases = {
        {"\"abc\"", "abc"},
        {"\"\"", ""},
        {"\"a\"b\"", "a\"b"},
        {"\"abc", "\"abc"},
        {"\"abc'", "\"abc'"},
        {"'abc'", "abc"},
        {"\"", "\""},
        {"'", "'"},
        {"\" padded \"", " padded "},
        {"x\"y\"", "x\"y\""},
        {long5000, long5000.substr(0, 2047)},
        {"\"" + long5000 + "\"", long5000.substr(0, 2047)},
        {std::string(2047, 'y'), std::string(2047, 'y')},
    };
    std::string bytes = "[S]\r\n";
    for (std::size_t i = 0; i < cases.size(); ++i)
        bytes += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
    TempDir dir;
    IniFile ini(dir.write("t.ini", bytes));
    Strings values = ini.ReadSectionValueTexts("S");
    ASSERT_EQ(values.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(ini.ReadString("S", "k" + std::to_string(i), kMissing), cases[i].read) << i;
        EXPECT_EQ(values[i], cases[i].read) << i;
    }
}

TEST(IniRead, FirstSectionAndFirstKeyWinDuplicatesAreListed) {
    TempDir dir;
    IniFile ini(dir.write("t.ini",
                          "[S]\r\na=1\r\nA=2\r\nb=\"q\"\r\n"
                          "[T]\r\nt=1\r\n"
                          "[s]\r\na=3\r\nonly=4\r\n"));
    EXPECT_EQ(ini.ReadSections(), (Strings{"S", "T", "s"}));
    EXPECT_EQ(ini.ReadString("S", "a", kMissing), "1");
    EXPECT_EQ(ini.ReadString("s", "only", kMissing), kMissing);
    EXPECT_EQ(ini.ReadSection("s"), (Strings{"a", "A", "b"}));
    EXPECT_EQ(ini.ReadSectionValues("S"), (Strings{"a=1", "A=1", "b=q"}));
    EXPECT_EQ(ini.ReadSectionValueTexts("S"), (Strings{"1", "1", "q"}));
}

// Reads in file order take a shortcut past the lookup tables; a later section or key of a
// name already seen must still read as the first one.
TEST(IniRead, ReadsInFileOrderStillFindTheFirstOfEachName) {
    TempDir dir;
    std::string text = "[S]\r\nv=1\r\n[T]\r\nv=2\r\n[s]\r\nv=3\r\n[U]\r\n";
    for (int k = 0; k < 20; ++k) text += "k" + std::to_string(k) + "=" + std::to_string(k) + "\r\n";
    text += "K3=dup\r\n";
    IniFile ini(dir.write("t.ini", text));
    Strings read;
    for (const char* section : {"S", "T", "s", "U", "s"})
        read.push_back(ini.ReadString(section, "v", kMissing));
    EXPECT_EQ(read, (Strings{"1", "2", "1", kMissing, "1"}));
    read.clear();
    for (const char* key : {"k2", "k3", "K3", "k4", "k3"})
        read.push_back(ini.ReadString("U", key, kMissing));
    EXPECT_EQ(read, (Strings{"2", "3", "3", "4", "3"}));
    // With the first [S] gone, the later one is the section of that name.
    ini.EraseSection("S");
    read.clear();
    for (const char* section : {"S", "T", "s", "S"})
        read.push_back(ini.ReadString(section, "v", kMissing));
    EXPECT_EQ(read, (Strings{"3", "2", "3", "3"}));
}

// Long sections are indexed in one pass, whatever share of their lines repeat a key: each
// key reads its first line in any letter case, and keys written afterwards join the same
// index across the size where small sections are searched linearly.
TEST(IniRead, LongSectionsOfFewOrManyDistinctKeysReadTheFirstOfEach) {
    for (const auto& [lines, distinct] :
         std::vector<std::pair<int, int>>{{17, 1}, {20, 8}, {20, 9}, {40, 20}, {300, 300}}) {
        std::string text = "[S]\r\n";
        for (int i = 0; i < lines; ++i)
            text += (i % 2 ? "KEY" : "key") + std::to_string(i % distinct) + "=" +
                    std::to_string(i) + "\r\n";
        TempDir dir;
        IniFile ini(dir.write("t.ini", text));
        const std::string what = std::to_string(lines) + " lines, " + std::to_string(distinct);
        for (int k = distinct; k-- > 0;)  // backwards: no shortcut for keys in file order
            EXPECT_EQ(ini.ReadString("S", "Key" + std::to_string(k), kMissing), std::to_string(k))
                << what;
        for (int k = distinct; k < distinct + 12; ++k)
            ini.WriteString("S", "key" + std::to_string(k), "new" + std::to_string(k));
        for (int k = 0; k < distinct + 12; ++k)
            EXPECT_EQ(ini.ReadString("S", "KEY" + std::to_string(k), kMissing),
                      k < distinct ? std::to_string(k) : "new" + std::to_string(k))
                << what;
        EXPECT_EQ(ini.ReadSection("S").size(), static_cast<std::size_t>(lines + 12)) << what;
    }
}

TEST(IniRead, KeyWithoutValueShadowsALaterEntry) {
    TempDir dir;
    IniFile ini(dir.write("t.ini", "[S]\r\nk\r\nk=later\r\n"));
    EXPECT_EQ(ini.ReadString("S", "k", kMissing), kMissing);
    EXPECT_EQ(ini.ReadSectionValues("S"), Strings{"k="});
}

TEST(IniRead, TextBeforeTheFirstSectionBelongsToNoSection) {
    TempDir dir;
    IniFile ini(dir.write("t.ini", "x=1\r\n[\r\n=2\r\n[S]\r\ny=3\r\n"));
    EXPECT_EQ(ini.ReadSections(), Strings{"S"});
    EXPECT_EQ(ini.ReadString("", "x", kMissing), kMissing);
    EXPECT_EQ(ini.ReadSection(""), Strings{});
    EXPECT_FALSE(ini.SectionExists(""));
    EXPECT_TRUE(ini.SectionExists(" s "));
}

TEST(IniRead, OnlyAsciiLettersFoldForMatching) {
    TempDir dir;
    IniFile ini(dir.write("t.ini", "[\xC3\x84rger]\r\nK\xC3\xA9y=1\r\n[{x}]\r\nk=2\r\n"));
    EXPECT_EQ(ini.ReadString("\xC3\x84RGER", "k\xC3\xA9Y", kMissing), "1");
    EXPECT_EQ(ini.ReadString("\xC3\xA4rger", "k\xC3\xA9y", kMissing), kMissing);
    EXPECT_EQ(ini.ReadString("[X]", "k", kMissing), kMissing);
    EXPECT_EQ(ini.ReadString("{X}", "K", kMissing), "2");
}

// Latin-1 capitals (0xC0-0xDE) are not the small letters 0x20 above them: only A-Z fold.
// Small sections compare a tag of length, first and last letter before the keys, so the
// differing byte sits in the middle too; large ones hash whole words of eight bytes.
TEST(IniRead, LatinOneBytesNeverFoldInSmallOrLargeSections) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"a\xC4z", "a\xE4z"},
        {"\xC0x", "\xE0x"},
        {"x\xDE", "x\xFE"},
        {"Name\xC9\xD6t\xDE"
         "ail",
         "Name\xE9\xF6t\xFE"
         "ail"},  // past the first eight bytes
        {"abcdefgh\xC8", "abcdefgh\xE8"},
    };
    for (const int padding : {0, 20}) {
        std::string text = "[Sec\xC4tion]\r\n";
        for (int i = 0; i < padding; ++i) text += "pad" + std::to_string(i) + "=p\r\n";
        for (const auto& [upper, lower] : pairs) text += upper + "=1\r\n";
        text += "[Low\xE4r]\r\nk=2\r\n";
        TempDir dir;
        IniFile ini(dir.write("t.ini", text));
        const std::string size = padding ? "large" : "small";
        for (const auto& [upper, lower] : pairs) {
            EXPECT_EQ(ini.ReadString("SEC\xC4TION", upper, kMissing), "1") << size;
            EXPECT_EQ(ini.ReadString("sec\xC4tion", lower, kMissing), kMissing) << size;
        }
        EXPECT_EQ(ini.ReadString("sec\xE4tion", "a\xC4z", kMissing), kMissing);
        EXPECT_FALSE(ini.SectionExists("LOW\xC4R"));
        EXPECT_EQ(ini.ReadString("LOW\xE4R", "K", kMissing), "2");
        // A write with the other letter is a new key, not the old one rewritten.
        ini.WriteString("Sec\xC4tion", "a\xE4z", "new");
        EXPECT_EQ(ini.ReadString("Sec\xC4tion", "a\xC4z", kMissing), "1") << size;
        EXPECT_EQ(ini.ReadString("Sec\xC4tion", "a\xE4z", kMissing), "new") << size;
        ini.DiscardChanges();
    }
}

TEST(IniRead, IntegersDecimalAndHex) {
    struct Case {
        std::string stored;
        std::int64_t read;
    };
    const std::vector<Case> cases = {
        {"12", 12},
        {"-5", -5},
        {"+7", 7},
        {"0x20", 32},
        {"0X1f", 31},
        {"$FF", 255},
        {"-$10", -16},
        {" 9 ", 9},
        {"\"42\"", 42},
        {"abc", -1},
        {"12abc", -1},
        {"0x", -1},
        {"$", -1},
        {"", -1},
        {"1 2", -1},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", -1},
        {"0x10000000000000000", -1},
    };
    std::string bytes = "[S]\r\n";
    for (std::size_t i = 0; i < cases.size(); ++i)
        bytes += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
    TempDir dir;
    IniFile ini(dir.write("t.ini", bytes));
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(ini.ReadInteger("S", "k" + std::to_string(i), -1), cases[i].read)
            << cases[i].stored;
    EXPECT_EQ(ini.ReadInteger("S", "missing", 77), 77);
}

TEST(IniRead, ByteOrderMarksAndUtf16) {
    TempDir dir;
    IniFile bom(dir.write("bom.ini", "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n"));
    EXPECT_EQ(bom.ReadSections(), Strings{"S"});
    EXPECT_EQ(bom.ReadString("S", "k", kMissing), "\xC3\xA9");

    // "[S]\r\nk=é😀\r\n" in UTF-16, both byte orders, read as UTF-8.
    const std::u16string text = u"[S]\r\nk=\u00E9\U0001F600\r\n";
    for (bool big : {false, true}) {
        std::string bytes = big ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t c : text) {
            const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
            bytes += big ? std::string{hi, lo} : std::string{lo, hi};
        }
        IniFile ini(dir.write(big ? "be.ini" : "le.ini", bytes));
        EXPECT_EQ(ini.ReadString("s", "K", kMissing), "\xC3\xA9\xF0\x9F\x98\x80") << big;
    }
}

TEST(IniRead, MissingFileOrFolderReadsEmpty) {
    TempDir dir;
    for (const std::string& name : {dir.file("none.ini"), dir.file("no/such/dir.ini"), ""s}) {
        IniFile ini(name);
        EXPECT_EQ(ini.ReadString("S", "k", kMissing), kMissing);
        EXPECT_EQ(ini.ReadSections(), Strings{});
        EXPECT_EQ(ini.ReadSectionValueTexts("S"), Strings{});
    }
    IniFile folder(dir.path().string());
    EXPECT_EQ(folder.ReadSections(), Strings{});
}

}  // namespace

// Under a hold the reads see one version of the file; after it, changes show again.
TEST(IniRead, AHoldReadsOneVersionOfTheFile) {
    TempDir dir;
    const std::string path = dir.write("held.ini", "[S]\r\nk=old\r\n");
    IniFile file(path);
    {
        const IniFile::Hold hold(file);
        EXPECT_EQ(file.ReadString("S", "k", ""), "old");
        dir.write("held.ini", "[S]\r\nk=new, and longer\r\n");
        EXPECT_EQ(file.ReadString("S", "k", ""), "old");
        {
            const IniFile::Hold inner(file);
            EXPECT_EQ(file.ReadString("S", "k", ""), "old");
        }
        EXPECT_EQ(file.ReadString("S", "k", ""), "old");
    }
    EXPECT_EQ(file.ReadString("S", "k", ""), "new, and longer");
}
