// Two processes writing one INI file: a flush applies only its own changes onto what the
// other wrote, under a lock, so no write that reported success is lost.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "IniFile.h"
#include "TempDir.h"

namespace {

// Runs body in a child process; the child's exit status is 0 when body returned true.
pid_t Spawn(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    return pid;
}

// A child that runs body once the parent says go: it is forked before the parent opens the
// file, so it holds a parsed copy of its own (a fork would otherwise inherit the parent's).
class LaterWriter {
  public:
    explicit LaterWriter(const std::function<bool()>& body) {
        if (::pipe(go_) != 0) return;
        pid_ = Spawn([&] {
            ::close(go_[1]);
            char c;
            return ::read(go_[0], &c, 1) == 1 && body();
        });
        ::close(go_[0]);
    }
    ~LaterWriter() { ::close(go_[1]); }
    LaterWriter(const LaterWriter&) = delete;
    LaterWriter& operator=(const LaterWriter&) = delete;
    // Lets the child run and waits for it.
    bool Run();

  private:
    int go_[2] = {-1, -1};
    pid_t pid_ = -1;
};

bool Succeeded(pid_t pid) {
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

bool LaterWriter::Run() {
    const bool told = ::write(go_[1], "g", 1) == 1;
    return Succeeded(pid_) && told;
}

TEST(IniTwoWriters, AFlushKeepsWhatAnotherProcessWroteMeanwhile) {
    TempDir dir;
    const std::string path = dir.write("t.ini", "[S]\r\nk=1\r\nshared=old\r\n[Gone]\r\nx=1\r\n");
    LaterWriter other([&] {
        IniFile theirs(path);
        theirs.WriteString("S", "theirs", "b");
        theirs.WriteString("S", "k", "2");
        theirs.WriteString("S", "shared", "theirs");
        theirs.WriteString("New", "n", "1");
        theirs.UpdateFile();
        return true;
    });
    IniFile ini(path);
    ini.WriteString("S", "mine", "a");
    ini.WriteString("S", "shared", "ours");
    ini.EraseSection("Gone");
    ASSERT_TRUE(other.Run());

    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path),
              "[S]\r\nk=2\r\nshared=ours\r\ntheirs=b\r\nmine=a\r\n[New]\r\nn=1\r\n");
}

TEST(IniTwoWriters, UnchangedEntriesDoNotOverwriteTheOthers) {
    TempDir dir;
    const std::string path = dir.write("t.ini", "[S]\r\nk=1\r\n");
    LaterWriter other([&] {
        IniFile theirs(path);
        theirs.WriteString("S", "k", "2");
        theirs.UpdateFile();
        return true;
    });
    IniFile ini(path);
    ini.WriteString("S", "k", "1");  // the value it already has: no change of ours
    ini.WriteString("S", "j", "x");
    ASSERT_TRUE(other.Run());
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path), "[S]\r\nk=2\r\nj=x\r\n");
}

TEST(IniTwoWriters, ConcurrentAutoFlushingWritersLoseNothing) {
    TempDir dir;
    const std::string path = dir.file("kalvix.ini");
    constexpr int kWriters = 4, kWrites = 60;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        children.push_back(Spawn([&, w] {
            IniFile ini(path);
            ini.SetAutoFlush(true);
            for (int i = 0; i < kWrites; ++i)
                ini.WriteString("Writer " + std::to_string(w), std::to_string(i), "v");
            return true;
        }));
    }
    for (pid_t child : children) EXPECT_TRUE(Succeeded(child));
    IniFile ini(path);
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(ini.ReadSection("Writer " + std::to_string(w)).size(),
                  static_cast<std::size_t>(kWrites))
            << "writer " << w;
}

}  // namespace
