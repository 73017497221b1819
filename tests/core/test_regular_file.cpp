// Opening files that may be hostile: only regular files (or links to them) open, and
// nothing blocks; a replace target must be a regular file or missing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "TempDir.h"
#include "core/RegularFile.h"

namespace {

TEST(RegularFile, OnlyRegularFilesAndLinksToThemOpen) {
    TempDir dir;
    const std::string plain = dir.write("plain.txt", "abc");
    std::filesystem::create_symlink(plain, dir.path() / "link.txt");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.file("fifo"), dir.path() / "to-fifo");
    std::filesystem::create_directory(dir.path() / "folder");

    std::string bytes, why;
    EXPECT_TRUE(ReadRegularFile(plain, bytes, 100, why));
    EXPECT_EQ(bytes, "abc");
    EXPECT_TRUE(ReadRegularFile(dir.file("link.txt"), bytes, 100, why));
    EXPECT_EQ(bytes, "abc");

    struct Refused {
        std::string path;
        int error;
        std::string reason;
    };
    for (const Refused& r : {
             Refused{dir.file("fifo"), RegularFile::kNotRegular, "not a regular file"},
             Refused{dir.file("to-fifo"), RegularFile::kNotRegular, "not a regular file"},
             Refused{"/dev/null", RegularFile::kNotRegular, "not a regular file"},
             Refused{dir.file("folder"), EISDIR, "is a folder, not a file"},
             Refused{dir.file("absent"), ENOENT, std::strerror(ENOENT)},
         }) {
        RegularFile file(r.path);
        EXPECT_FALSE(file.ok()) << r.path;
        EXPECT_EQ(file.error(), r.error) << r.path;
        EXPECT_EQ(file.reason(), r.reason) << r.path;
        EXPECT_FALSE(ReadRegularFile(r.path, bytes, 100, why)) << r.path;
        EXPECT_EQ(why, r.reason) << r.path;
    }
}

TEST(RegularFile, TheLimitTellsExactlyFullFromTooLarge) {
    TempDir dir;
    std::string bytes, why;
    EXPECT_TRUE(ReadRegularFile(dir.write("ten", "0123456789"), bytes, 10, why));
    EXPECT_EQ(bytes, "0123456789");
    EXPECT_FALSE(ReadRegularFile(dir.write("eleven", "0123456789A"), bytes, 10, why));
    EXPECT_EQ(why, "larger than 10 bytes");
    EXPECT_EQ(bytes.size(), 11u);
}

TEST(RegularFile, ReplaceTargetsMustBeRegularOrMissing) {
    TempDir dir;
    const std::string plain = dir.write("plain.txt", "abc");
    std::filesystem::create_symlink(plain, dir.path() / "link.txt");
    std::filesystem::create_symlink(dir.file("nowhere"), dir.path() / "dangling");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.path() / "folder");

    EXPECT_EQ(ReplaceableTargetProblem(plain), "");
    EXPECT_EQ(ReplaceableTargetProblem(dir.file("link.txt")), "");
    EXPECT_EQ(ReplaceableTargetProblem(dir.file("missing.txt")), "");
    EXPECT_EQ(ReplaceableTargetProblem(dir.file("dangling")), "a symbolic link that leads nowhere");
    EXPECT_EQ(ReplaceableTargetProblem(dir.file("fifo")), "not a regular file");
    EXPECT_EQ(ReplaceableTargetProblem("/dev/null"), "not a regular file");
    EXPECT_EQ(ReplaceableTargetProblem(dir.file("folder")), "is a folder, not a file");
}

}  // namespace
