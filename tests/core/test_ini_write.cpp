// Writing INI files: where writes land, what they keep, and how failures leave the file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FileSizeLimit.h"
#include "TempDir.h"
#include "core/ini/IniFile.h"

using Strings = std::vector<std::string>;

namespace {

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::size_t EntriesIn(const std::filesystem::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

// One write into a given file and the bytes it must leave.
struct WriteCase {
    const char* what;
    std::string before;
    std::string section, key, value;
    std::string after;
};

TEST(IniWrite, PlacesAndSpellsWritesAsTheFileHasThem) {
    const std::vector<WriteCase> cases = {
        {"in place keeps the file's spelling and every other line",
         "; head\r\n[Sec]\r\n  MyKey = old \r\n\r\n;c\r\nz=1\r\n", "sec", " MYKEY", "new",
         "; head\r\n[Sec]\r\nMyKey=new\r\n\r\n;c\r\nz=1\r\n"},
        {"a value is stored exactly, blanks and quotes included", "[S]\r\nk=1\r\n", "S", "k",
         " \"q\" ", "[S]\r\nk= \"q\" \r\n"},
        {"first of duplicated keys and sections", "[S]\r\nk=1\r\nK=2\r\n[S]\r\nk=3\r\n", "S", "k",
         "9", "[S]\r\nk=9\r\nK=2\r\n[S]\r\nk=3\r\n"},
        {"a key without value gets one in place", "[S]\r\nbare\r\nx=1\r\n", "S", "BARE", "v",
         "[S]\r\nbare=v\r\nx=1\r\n"},
        {"a new key follows the last entry, before blanks and comments",
         "[S]\r\na=1\r\n;note\r\n\r\n[T]\r\n", "S", "New", "2",
         "[S]\r\na=1\r\nNew=2\r\n;note\r\n\r\n[T]\r\n"},
        {"a new key in a section without entries follows the header", "[S]\n;only\n[T]\n", "S", "k",
         "v", "[S]\nk=v\r\n;only\n[T]\n"},
        {"a new key after an unterminated last line", "[S]\na=1", "s", "b", "2",
         "[S]\na=1\r\nb=2\r\n"},
        {"a new section goes at the end, no blank line", "x\n[S]\na=1\n\n", " New ", " k ", "v",
         "x\n[S]\na=1\n\n[New]\r\nk=v\r\n"},
        {"a new section after an unterminated last line", "pre", "S", "k", "v",
         "pre\r\n[S]\r\nk=v\r\n"},
        {"a missing file is created", "", "S", "k", "", "[S]\r\nk=\r\n"},
        {"text before the first section stays byte for byte",
         "\x01\xFF raw=\r\r\n\n [x\t\x1A\r\n[S]\r\n", "S", "k", "v",
         "\x01\xFF raw=\r\r\n\n [x\t\x1A\r\n[S]\r\nk=v\r\n"},
    };
    for (const WriteCase& c : cases) {
        TempDir dir;
        const std::string path =
            c.before.empty() ? dir.file("t.ini") : dir.write("t.ini", c.before);
        {
            IniFile ini(path);
            ini.WriteString(c.section, c.key, c.value);
            ini.UpdateFile();
        }
        EXPECT_EQ(TempDir::read(path), c.after) << c.what;
    }
}

TEST(IniWrite, UnchangedValueIsNotWritten) {
    TempDir dir;
    const std::string before = "[S]\nk =  same \n";
    const std::string path = dir.write("t.ini", before);
    const ino_t inode = InodeOf(path);
    IniFile ini(path);
    ini.WriteString("S", "K", "same");
    ini.UpdateFile();
    EXPECT_EQ(InodeOf(path), inode);
    EXPECT_EQ(TempDir::read(path), before);
    ini.WriteString("S", "K", "other");
    ini.UpdateFile();
    EXPECT_NE(InodeOf(path), inode);
}

TEST(IniWrite, RepeatedRewritesStayInPlaceAndKeepTheFileMode) {
    TempDir dir;
    const std::string path = dir.write("t.ini", "[S]\r\n  MyKey = old \r\nother=1\r\n");
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    IniFile ini(path);
    ini.WriteString("S", "mykey", "a");
    ini.UpdateFile();
    ini.WriteString("S", "MYKEY", "b");
    ini.WriteString("S", "other", "2");
    ini.WriteString("S", "myKey", "c");
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path), "[S]\r\nMyKey=c\r\nother=2\r\n");
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
}

TEST(IniWrite, EraseSectionRemovesFirstOfItsNameUpToNextHeader) {
    TempDir dir;
    const std::string path = dir.write("t.ini",
                                       "pre\r\n[A]\r\na=1\r\n;c\r\n\r\n[B]\r\nb=1\r\n[a]\r\na=2\r\n"
                                       "[B]\r\nb=2\r\n[ A ]\r\na=3\r\n");
    IniFile ini(path);
    ini.EraseSection(" a ");
    EXPECT_EQ(ini.ReadString("A", "a", ""), "2");
    ini.EraseSection("missing");
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path),
              "pre\r\n[B]\r\nb=1\r\n[a]\r\na=2\r\n[B]\r\nb=2\r\n[ A ]\r\na=3\r\n");
    // Each erase hands the name on to the next section of that name, in file order.
    ini.EraseSection("A");
    EXPECT_EQ(ini.ReadString("A", "a", ""), "3");
    EXPECT_EQ(ini.ReadString("B", "b", ""), "1");
    ini.EraseSection("A");
    ini.WriteString("A", "k", "new");
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path), "pre\r\n[B]\r\nb=1\r\n[B]\r\nb=2\r\n[A]\r\nk=new\r\n");
}

TEST(IniWrite, EncodingAndMarkAreKept) {
    TempDir dir;
    const std::string bom = dir.write("bom.ini", "\xEF\xBB\xBF[S]\nk=1\n");
    {
        IniFile ini(bom);
        ini.WriteString("S", "k", "\xC3\xA9");
    }
    EXPECT_EQ(TempDir::read(bom), "\xEF\xBB\xBF[S]\nk=\xC3\xA9\r\n");

    auto utf16 = [](const std::u16string& text, bool big) {
        std::string bytes = big ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t c : text) {
            const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
            bytes += big ? std::string{hi, lo} : std::string{lo, hi};
        }
        return bytes;
    };
    for (bool big : {false, true}) {
        // A lone surrogate before the first section must come back unit for unit.
        const std::u16string before = u"\xD800x\r\n[S]\r\nk=1\r\n";
        const std::string path = dir.write("u16.ini", utf16(before, big));
        {
            IniFile ini(path);
            ini.WriteString("S", "k", "\xC3\xA9\xF0\x9F\x98\x80");
            ini.WriteString("T", "\xFF", "x");  // not UTF-8: one byte, one character
        }
        EXPECT_EQ(TempDir::read(path),
                  utf16(u"\xD800x\r\n[S]\r\nk=\u00E9\U0001F600\r\n[T]\r\n\u00FF=x\r\n", big))
            << big;
    }
}

TEST(IniWrite, TextThatWouldReadAsOtherLinesIsRefused) {
    TempDir dir;
    const std::string before = "[S]\r\nk=1\r\n";
    const std::string path = dir.write("t.ini", before);
    IniFile ini(path);
    // Section, key, value, and the detail: it names the text, breaks and controls spelt out.
    const std::vector<std::vector<std::string>> writes = {
        {"S", "k", "a\r\n[Evil]\r\nx=1",
         "the value \"a\\r\\n[Evil]\\r\\nx=1\" of the key \"k\" would read back as other lines"},
        {"S", "k\n", "1", "the key \"k\\n\" would read back as other lines"},
        {"S\rT\x01", "k", "1", "the section name \"S\\rT\\x01\" would read back as other lines"},
        {"S", "a=b", "1", "the key \"a=b\" would read back as other lines"},
        {"S", " ;c", "1", "the key \" ;c\" would read back as other lines"},
        {"S", "[x]", "1", "the key \"[x]\" would read back as other lines"},
        {"S", "[x", "]", "the key \"[x\" would read back as other lines"},
        {"S", std::string(100, 'n') + "=", "1",
         "the key \"" + std::string(80, 'n') + "...\" would read back as other lines"},
    };
    for (const auto& w : writes) {
        try {
            ini.WriteString(w[0], w[1], w[2]);
            ADD_FAILURE() << "accepted " << w[1];
        } catch (const IniWriteError& e) {
            EXPECT_STREQ(e.what(), ("Unable to write to " + path).c_str());
            EXPECT_EQ(e.detail(), w[3]);
        }
    }
    ini.WriteString("S", "[x", "no bracket");  // reads back as a key: allowed
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path), before + "[x=no bracket\r\n");
    EXPECT_EQ(ini.ReadSections(), Strings{"S"});
}

TEST(IniWrite, ObjectsOnOnePathShareOneCopy) {
    TempDir dir;
    const std::string path = dir.file("t.ini");
    IniFile a(path);
    IniFile b(dir.path().string() + "/./t.ini");
    a.WriteString("S", "k", "1");
    EXPECT_EQ(b.ReadString("S", "k", ""), "1");
    EXPECT_FALSE(std::filesystem::exists(path));
    b.UpdateFile();
    EXPECT_EQ(TempDir::read(path), "[S]\r\nk=1\r\n");
}

TEST(IniWrite, AutoFlushAndClosingMakeWritesDurable) {
    TempDir dir;
    const std::string path = dir.file("t.ini");
    {
        IniFile ini(path);
        ini.SetAutoFlush(true);
        ini.WriteString("S", "k", "1");
        EXPECT_EQ(TempDir::read(path), "[S]\r\nk=1\r\n");
        ini.EraseSection("S");
        EXPECT_EQ(TempDir::read(path), "");
        ini.SetAutoFlush(false);
        ini.WriteString("S", "k", "2");
        EXPECT_EQ(TempDir::read(path), "");
    }
    EXPECT_EQ(TempDir::read(path), "[S]\r\nk=2\r\n");
}

TEST(IniWrite, ChangesByOthersAreSeen) {
    TempDir dir;
    const std::string path = dir.write("t.ini", "[S]\r\nk=1\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "1");

    dir.write("t.ini", "[S]\r\nk=22\r\n");  // rewritten in place
    EXPECT_EQ(ini.ReadString("S", "k", ""), "22");

    dir.write("other.ini", "[S]\r\nk=33\r\n");  // same size, replaced by rename
    std::filesystem::rename(dir.file("other.ini"), path);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "33");

    std::filesystem::remove(path);
    EXPECT_EQ(ini.ReadString("S", "k", "gone"), "gone");
    EXPECT_EQ(ini.ReadSections(), Strings{});

    dir.write("t.ini", "[T]\r\n");
    EXPECT_EQ(ini.ReadSections(), Strings{"T"});

    // Our own flush does not hide a later change by someone else.
    ini.WriteString("T", "mine", "1");
    ini.UpdateFile();
    dir.write("t.ini", "[U]\r\n");
    EXPECT_EQ(ini.ReadSections(), Strings{"U"});
}

TEST(IniWrite, PendingWritesGoOnTopOfAChangeOnDisk) {
    TempDir dir;
    const std::string path = dir.write("t.ini", "[S]\r\nk=1\r\n");
    IniFile ini(path);
    ini.WriteString("S", "k", "mine");
    dir.write("t.ini", "[S]\r\nk=theirs\r\nextra=1\r\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "mine");
    EXPECT_EQ(ini.ReadString("S", "extra", "none"), "none");
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path), "[S]\r\nk=mine\r\nextra=1\r\n");
    EXPECT_EQ(ini.ReadString("S", "extra", "none"), "1");
}

TEST(IniWrite, EveryLineWrittenOrRewrittenEndsInCrLf) {
    const std::vector<WriteCase> cases = {
        {"rewritten in place", "[S]\na=1\nk=old\nz=2\n", "S", "k", "new",
         "[S]\na=1\nk=new\r\nz=2\n"},
        {"rewritten longer", "[S]\nk=1\n", "S", "k", "a longer value", "[S]\nk=a longer value\r\n"},
        {"CR only", "[S]\rk=1\r", "S", "k", "2", "[S]\rk=2\r\n"},
        {"the last line without an end", "[S]\nk=1", "S", "k", "2", "[S]\nk=2\r\n"},
    };
    for (const WriteCase& c : cases) {
        TempDir dir;
        const std::string path = dir.write("t.ini", c.before);
        {
            IniFile ini(path);
            ini.WriteString(c.section, c.key, c.value);
        }
        EXPECT_EQ(TempDir::read(path), c.after) << c.what;
    }
}

TEST(IniWriteFailure, FullDiskLeavesTheOldFileAndKeepsTheWritePending) {
    TempDir dir;
    const std::string before = "[S]\r\nk=1\r\n";
    const std::string path = dir.write("t.ini", before);
    IniFile ini(path);
    ini.WriteString("S", "k", std::string(64 * 1024, 'v'));

    // A file size limit stops writes even for root, as a full disk would.
    bool thrown = false;
    {
        const FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.set());
        try {
            ini.UpdateFile();
        } catch (const IniWriteError& e) {
            thrown = true;
            EXPECT_STREQ(e.what(), ("Unable to write to " + path).c_str());
            EXPECT_EQ(e.fileName(), path);
        }
    }

    EXPECT_TRUE(thrown);
    EXPECT_EQ(TempDir::read(path), before);
    EXPECT_EQ(EntriesIn(dir.path()), 1u) << "temporary file left behind";
    ini.UpdateFile();  // nothing was lost: the retry stores the value
    EXPECT_EQ(IniFile(path).ReadString("S", "k", "").size(), 2047u);
    EXPECT_EQ(TempDir::read(path).size(), before.size() - 1 + 64 * 1024);
}

TEST(IniWriteFailure, FolderGoneOrNotAFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "sub");
    const std::string path = dir.write("sub/t.ini", "[S]\r\nk=1\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "1");

    std::filesystem::remove_all(dir.path() / "sub");
    dir.write("sub", "a plain file where the folder was");
    ini.WriteString("S", "k", "2");
    EXPECT_THROW(ini.UpdateFile(), IniWriteError);
    ini.SetAutoFlush(true);
    EXPECT_THROW(ini.WriteString("S", "j", "3"), IniWriteError);
    EXPECT_EQ(TempDir::read(dir.file("sub")), "a plain file where the folder was");

    std::filesystem::remove(dir.path() / "sub");
    std::filesystem::create_directory(dir.path() / "sub");
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path), "[S]\r\nk=2\r\nj=3\r\n");
}

TEST(IniWriteFailure, AFolderInPlaceOfTheFileIsNeverReplaced) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "t.ini");
    const std::string path = dir.file("t.ini");
    {
        IniFile ini(path);
        ini.WriteString("S", "k", "1");
        EXPECT_THROW(ini.UpdateFile(), IniWriteError);
    }  // closing swallows the same failure
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(IniWrite, LinkedFileIsReplacedBehindTheLink) {
    TempDir dir;
    const std::string real = dir.write("real.ini", "[S]\r\nk=1\r\n");
    std::filesystem::create_symlink(real, dir.path() / "link.ini");
    {
        IniFile ini(dir.file("link.ini"));
        ini.WriteString("S", "k", "2");
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.ini"));
    EXPECT_EQ(TempDir::read(real), "[S]\r\nk=2\r\n");
}

}  // namespace
