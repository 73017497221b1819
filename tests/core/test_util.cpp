#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RecordingUi.h"
#include "TempDir.h"
#include "core/ControlChars.h"
#include "core/D_Util.h"

using namespace std::string_literals;

namespace {

struct FindCase {
    std::string s;
    std::vector<std::string> items;
    bool caseSensitive;
    int expected;
};

TEST(FindInStrArray, FoldsOnlyAsciiLetters) {
    const std::vector<FindCase> cases = {
        {"dir", {"CD", "DIR"}, false, 1},
        {"dir", {"CD", "DIR"}, true, -1},
        {"DIR", {"CD", "DIR"}, true, 1},
        {"dir", {"dir", "DIR"}, false, 0},  // the first equal item wins
        {"", {"a", ""}, false, 1},
        {"x", {}, false, -1},
        // Bytes above 0x7F are compared exactly: no folding of accented letters.
        {"\xE9t\xE9", {"\xC9T\xC9"}, false, -1},
        {"\xE9t\xE9", {"\xE9T\xE9"}, false, 0},
        // '[' and '{' differ from each other though they sit 32 apart like letters.
        {"[", {"{"}, false, -1},
        {"dirs", {"DIR"}, false, -1},
    };
    for (const FindCase& c : cases) {
        EXPECT_EQ(FindInStrArray(c.s, c.items, c.caseSensitive), c.expected) << c.s;
        EXPECT_EQ(IsInStrArray(c.s, c.items, c.caseSensitive), c.expected >= 0) << c.s;
    }
}

TEST(TextUtil, TrimWithPrefixJoin) {
    EXPECT_EQ(TrimTrailingChars("TREE____", "_"), "TREE");
    EXPECT_EQ(TrimTrailingChars("____", "_"), "");
    EXPECT_EQ(TrimTrailingChars("TR_EE", "_"), "TR_EE");
    EXPECT_EQ(TrimTrailingChars("AB_ _", "_ "), "AB");
    EXPECT_EQ(TrimTrailingChars("", "_"), "");

    EXPECT_EQ(WithPrefix("txt", "."), ".txt");
    EXPECT_EQ(WithPrefix(".txt", "."), ".txt");
    EXPECT_EQ(WithPrefix("abc", ""), "abc");
    EXPECT_EQ(WithPrefix("", "."), ".");

    EXPECT_EQ(JoinNonEmpty("", "x", " "), "x");
    EXPECT_EQ(JoinNonEmpty("x", "", " "), "x");
    EXPECT_EQ(JoinNonEmpty("a", "b", ", "), "a, b");
    EXPECT_EQ(JoinNonEmpty("", "", ","), "");

    EXPECT_EQ(AsciiUpper("ab\xE9z{1"), "AB\xE9Z{1");
}

TEST(SplitAtFirst, SplitsAndAllowsAliasing) {
    struct Case {
        std::string s, sep, before, after;
    };
    const std::vector<Case> cases = {
        {"a b c", " ", "a", "b c"}, {"abc", " ", "abc", ""},        {" abc", " ", "", "abc"},
        {"abc ", " ", "abc", ""},   {"a::b::c", "::", "a", "b::c"}, {"abc", "", "abc", ""},
    };
    for (const Case& c : cases) {
        std::string before = "junk", after = "junk";
        SplitAtFirst(c.s, c.sep, before, after);
        EXPECT_EQ(before, c.before) << c.s;
        EXPECT_EQ(after, c.after) << c.s;
    }
    // The same variable as S and as After, then as S and as Before.
    std::string word, rest = "one two three";
    SplitAtFirst(rest, " ", word, rest);
    EXPECT_EQ(word, "one");
    EXPECT_EQ(rest, "two three");
    std::string s = "left right", tail;
    SplitAtFirst(s, " ", s, tail);
    EXPECT_EQ(s, "left");
    EXPECT_EQ(tail, "right");
}

TEST(Pos, OneBasedAndCaseOption) {
    EXPECT_EQ(PosIgnoreCase("cn=", "xCN=a"), 2u);
    EXPECT_EQ(PosIgnoreCase("z", "abc"), 0u);
    EXPECT_EQ(PosIgnoreCase("", "abc"), 0u);
    EXPECT_EQ(PosCaseOpt("cn=", "xCN=a", true), 0u);
    EXPECT_EQ(PosCaseOpt("CN=", "xCN=a", true), 2u);
    EXPECT_EQ(PosCaseOpt("\xE9", "\xC9", false), 0u);
}

TEST(SubstituteStr, LeftToRightNonOverlapping) {
    struct Case {
        std::string s, oldText, newText;
        bool all, caseSensitive;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"CN=Admin", "CN=", "", false, true, "Admin"},
        {"cn=Admin", "CN=", "", false, true, "cn=Admin"},
        {"cn=Admin", "CN=", "", false, false, "Admin"},
        {"aa", "a", "aa", true, true, "aaaa"},
        {"aa", "a", "aa", false, true, "aaa"},
        {"aaa", "aa", "b", true, true, "ba"},
        {"xAxa", "a", "-", true, false, "x-x-"},
        {"xAxa", "a", "-", true, true, "xAx-"},
        {"abc", "", "z", true, true, "abc"},
        {"abc", "b", "b", true, true, "abc"},
        {"abc", "q", "z", true, true, "abc"},
        {"", "a", "b", true, true, ""},
        {"abab", "ab", "", true, true, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SubstituteStr(c.s, c.oldText, c.newText, c.all, c.caseSensitive), c.expected)
            << c.s << " / " << c.oldText << " -> " << c.newText;
}

TEST(SubstituteStr, LongTextAllOccurrences) {
    const std::string s(200000, 'a');
    const std::string out = SubstituteStr(s, "a", "bc", true, true);
    ASSERT_EQ(out.size(), 400000u);
    EXPECT_EQ(out.find('a'), std::string::npos);
}

TEST(NulTerminatedBuf, AppendsOneNulOnlyWhenNeeded) {
    std::string empty;
    NulTerminatedBuf(empty);
    EXPECT_EQ(empty, "\0"s);

    std::string ends = "abc\0"s;
    NulTerminatedBuf(ends);
    EXPECT_EQ(ends, "abc\0"s);

    std::string name = "abc";
    char* p = NulTerminatedBuf(name);
    EXPECT_EQ(name, "abc\0"s);
    p[0] = 'X';  // writes into this string only
    EXPECT_EQ(name, "Xbc\0"s);

    std::string copy = name;
    char* q = NulTerminatedBuf(copy);
    q[1] = 'Y';
    EXPECT_EQ(name, "Xbc\0"s);
    EXPECT_EQ(copy, "XYc\0"s);

    std::string len254(254, 'x');
    NulTerminatedBuf(len254);
    EXPECT_EQ(len254.size(), 255u);
    std::string len255(255, 'x');
    NulTerminatedBuf(len255);
    EXPECT_EQ(len255.size(), 255u);
}

TEST(ErrorCode, TextAndDialog) {
    struct Case {
        std::int64_t code;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {255, "Error 00FF: X"},    {0x89FE, "Error 89FE: X"},   {0x12345, "Error 12345: X"},
        {-1, "Error FFFFFFFF: X"}, {-601, "Error FFFFFDA7: X"}, {INT32_MIN, "Error 80000000: X"},
        {1, "Error 0001: X"},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorCodeText(c.code, "X"), c.expected) << c.code;

    RecordingUi ui;
    ShowErrorCode(ui, 0, "U_DSGetClassDef: User");
    EXPECT_TRUE(ui.dialogs.empty());
    ShowErrorCode(ui, -601, "U_DSGetClassDef: User");
    ShowMsgDlg(ui, DlgType::Warning, "careful");
    const std::vector<ShownDialog> expected = {
        {DlgType::Error, "Error FFFFFDA7: U_DSGetClassDef: User"},
        {DlgType::Warning, "careful"},
    };
    EXPECT_EQ(ui.dialogs, expected);
}

TEST(FileNames, ChangeExtensionAndProgramFile) {
    struct Case {
        std::string file, ext, expected;
    };
    const std::vector<Case> cases = {
        {"/opt/kalvix/kalvix", "txt", "/opt/kalvix/kalvix.txt"},
        {"/opt/kalvix/kalvix", ".ini", "/opt/kalvix/kalvix.ini"},
        {"/opt/kalvix/kalvix.exe", "txt", "/opt/kalvix/kalvix.txt"},
        {"/opt/k.d/kalvix", "txt", "/opt/k.d/kalvix.txt"},  // a dot in a folder is no extension
        {"a.b.c", "x", "a.b.x"},
        {"name", "", "name."},
    };
    for (const Case& c : cases) EXPECT_EQ(ChangeExtension(c.file, c.ext), c.expected) << c.file;

    const std::string exe = ProgramFile();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(std::filesystem::equivalent(exe, "/proc/self/exe"));
    EXPECT_EQ(ProgramFileWithExt("txt"), ChangeExtension(exe, "txt"));
}

TEST(LoadInfoText, PresentAbsentAndUnreadable) {
    TempDir dir;
    const std::string missing = dir.file("absent.txt");
    EXPECT_EQ(LoadInfoText(missing), std::vector<std::string>{"Could not find " + missing});

    const std::string mixed = dir.write("info.txt", "first\r\n\r\nthird\nfourth\rfifth\r\n");
    const std::vector<std::string> expected = {"first", "", "third", "fourth", "fifth"};
    EXPECT_EQ(LoadInfoText(mixed), expected);

    const std::string noEnd = dir.write("noend.txt", "only");
    EXPECT_EQ(LoadInfoText(noEnd), std::vector<std::string>{"only"});

    const std::string empty = dir.write("empty.txt", "");
    EXPECT_TRUE(LoadInfoText(empty).empty());

    // A folder of that name is not a file: the line saying so stays.
    const std::string folder = dir.file("folder.txt");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(LoadInfoText(folder), std::vector<std::string>{"Could not find " + folder});

    // Nor is a FIFO, and opening it must not wait for a writer.
    const std::string fifo = dir.file("fifo.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(LoadInfoText(fifo), std::vector<std::string>{"Could not find " + fifo});
}

struct EscapeCase {
    const char* what;
    std::string text;
    std::string shown;  // empty: as it is
};

TEST(EscapeControlChars, ControlsByNumberEverythingElseAsItIs) {
    const EscapeCase cases[] = {
        {"title and clear screen", "A\x1B]0;T\x07\x1B[2J", R"(A\x1B]0;T\x07\x1B[2J)"},
        {"line ends", "one\ntwo\r", R"(one\x0Atwo\x0D)"},
        {"NUL, tab and DEL", "a\0b\tc\x7F"s, R"(a\x00b\x09c\x7F)"},
        {"C1 in UTF-8",
         "x\xC2\x9B"
         "1m\xC2\x85",
         R"(x\u009B1m\u0085)"},
        {"C1 bytes outside UTF-8", "M\xDCNCHEN \x9B\x85", "M\xDCNCHEN \\x9B\\x85"},
        {"a cut sequence before a C1 byte", "\xE2\x9B!", "\xE2\\x9B!"},
        {"overlong and surrogate forms are bytes", "\xC1\x9B\xED\xA0\x80",
         "\xC1\\x9B\xED\xA0\\x80"},
        {"backslashes stay", R"(Effective\Container \x1B)", ""},
        {"UTF-8 whose bytes include 0x80-0x9F", "\xE2\x82\xAC \xC3\x9C \xF0\x9F\x98\x80 \xC2\xA0",
         ""},
        {"Latin-1 letters", "M\xDCNCHEN \xE9t\xE9", ""},
        {"nothing", "", ""},
    };
    for (const EscapeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string shown = c.shown.empty() ? c.text : c.shown;
        EXPECT_EQ(EscapeControlChars(c.text), shown);
        EXPECT_EQ(HoldsControlChar(c.text), shown != c.text);
        // Shown text holds no control character, so escaping it again changes nothing.
        EXPECT_FALSE(HoldsControlChar(shown));
        EXPECT_EQ(EscapeControlChars(shown), shown);
    }
}

}  // namespace
