// Files that are not what they seem: a FIFO, a link that leads nowhere, a file too large
// to address, a save killed half-way. None of them may block, damage or litter.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "FileSizeLimit.h"
#include "TempDir.h"
#include "core/RegularFile.h"
#include "core/ini/IniDocument.h"
#include "core/ini/IniFile.h"
#include "core/ini/LockHolder.h"

namespace {

std::size_t EntriesIn(const std::filesystem::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

std::string DetailOfFlush(IniFile& ini) {
    try {
        ini.UpdateFile();
    } catch (const IniWriteError& e) {
        return e.detail().empty() ? "(no detail)" : e.detail();
    }
    return "(no failure)";
}

// Every call below opens the FIFO for reading; without O_NONBLOCK the first one would
// wait for a writer for ever (and ctest's timeout would fail the test).
TEST(IniHostileFiles, AFifoReadsAsUnreadableAndIsNeverReplaced) {
    TempDir dir;
    const std::string fifo = dir.file("kalvix.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    IniFile ini(fifo);
    EXPECT_EQ(ini.ReadString("S", "k", "default"), "default");
    EXPECT_EQ(ini.ReadProblem(), "not a regular file");
    ini.WriteString("S", "k", "v");
    EXPECT_EQ(DetailOfFlush(ini), "not a regular file");
    ini.DiscardChanges();
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(IniHostileFiles, ALinkToAFifoOrToNothingIsRefusedAndKept) {
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, dir.path() / "to-pipe.ini");
    std::filesystem::create_symlink(dir.path() / "missing.ini", dir.path() / "dangling.ini");
    {
        IniFile ini(dir.file("to-pipe.ini"));
        ini.WriteString("S", "k", "v");
        EXPECT_EQ(DetailOfFlush(ini), "not a regular file");
        ini.DiscardChanges();
    }
    {
        IniFile ini(dir.file("dangling.ini"));
        EXPECT_EQ(ini.ReadProblem(), "");  // reads as a missing file
        ini.WriteString("S", "k", "v");
        EXPECT_EQ(DetailOfFlush(ini), "a symbolic link that leads nowhere");
        ini.DiscardChanges();
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "dangling.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "to-pipe.ini"));
    EXPECT_EQ(EntriesIn(dir.path()), 3u);
}

TEST(IniHostileFiles, AFileTooLargeToAddressSaysSo) {
    TempDir dir;
    const std::string path = dir.file("huge.txt");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    // Sparse: four gibibytes that take no room.
    const bool sized = ::ftruncate(fd, off_t{4} << 30) == 0;
    ::close(fd);
    if (!sized) GTEST_SKIP() << "no sparse 4 GiB file here";
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("Settings", "Tree Name", "none"), "none");
    EXPECT_EQ(ini.ReadProblem(), "too large (4 GiB or more)");
}

TEST(IniHostileFiles, AFullDiskIsNamedInTheDetail) {
    TempDir dir;
    const std::string path = dir.write("t.ini", "[S]\r\nk=1\r\n");
    IniFile ini(path);
    ini.WriteString("S", "k", std::string(64 * 1024, 'v'));
    std::string detail;
    {
        const FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.set());
        detail = DetailOfFlush(ini);
    }
    EXPECT_EQ(detail, std::strerror(EFBIG));
    ini.DiscardChanges();
    // A full disk itself: the text the detail carries for it.
    EXPECT_EQ(WriteErrorText(ENOSPC), "No space left on device");
    EXPECT_EQ(WriteErrorText(EDQUOT), "Disk quota exceeded");
}

bool UnnamedFilesWork(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return ::access("/proc/self/fd", X_OK) == 0;
}

// In the killed child: the folder it saves into, and the signal that ends the save.
std::filesystem::path savingInto;
int endingSignal = 0;

// Runs once the write passes the file size limit, so the save is half-way for sure.
extern "C" void EndTheSave(int) {
    // Two entries: the file and a temporary name beside it, the case the signal must clean.
    if (EntriesIn(savingInto) != 2) ::_exit(3);
    ::raise(endingSignal);
}

TEST(IniHostileFiles, ASaveKilledHalfWayLeavesNothingBehind) {
    struct Case {
        const char* label;
        bool named;  // a temporary name from the start, as without O_TMPFILE
        int signal;
    };
    const Case cases[] = {
        {"file size limit", false, SIGXFSZ},
        {"file size limit, named", true, SIGXFSZ},
        {"SIGTERM, named", true, SIGTERM},
        {"SIGINT, named", true, SIGINT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        if (!c.named && !UnnamedFilesWork(dir.path())) continue;
        const std::string before = "[S]\r\nk=1\r\n";
        const std::string path = dir.write("t.ini", before);
        const pid_t child = ::fork();
        if (child == 0) {
            ini::UseNamedTempFilesOnly(c.named);
            struct rlimit small {};
            ::getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 64 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &small);
            ::signal(c.signal, SIG_DFL);
            if (c.signal != SIGXFSZ) {
                savingInto = dir.path();
                endingSignal = c.signal;
                ::signal(SIGXFSZ, EndTheSave);
            }
            IniFile ini(path);
            for (int i = 0; i < 20000; ++i) ini.WriteString("S", std::to_string(i), "value");
            try {
                ini.UpdateFile();
            } catch (...) {
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the save was not killed: " << status;
        EXPECT_EQ(WTERMSIG(status), c.signal);
        EXPECT_EQ(TempDir::read(path), before);
        EXPECT_EQ(EntriesIn(dir.path()), 1u) << "a temporary file was left behind";
    }
}

// Anyone who can open a folder can lock it: a save that gives up names who holds it.
TEST(IniHostileFiles, TheHolderOfAFolderLockIsNamed) {
    TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
        const bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
        (void)!::write(ready[1], locked ? "y" : "n", 1);
        ::pause();
        ::_exit(0);
    }
    char said = 0;
    ASSERT_EQ(::read(ready[0], &said, 1), 1);
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    const std::string holderText = LockHolderText(fd);
    ::close(fd);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_EQ(said, 'y');
    EXPECT_TRUE(holderText.starts_with("process " + std::to_string(holder) + " (")) << holderText;
    EXPECT_NE(holderText.find(") of the user "), std::string::npos) << holderText;
}

TEST(IniHostileFiles, NewFilesGetTheUsualMode) {
    TempDir dir;
    const mode_t old = ::umask(022);
    {
        IniFile ini(dir.file("new.ini"));
        ini.WriteString("S", "k", "v");
    }
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("new.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

}  // namespace
