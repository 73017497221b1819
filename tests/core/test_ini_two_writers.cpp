// Two processes writing one INI file: a flush applies only its own changes onto what the
// other wrote, under a lock, so no write that reported success is lost; a file written
// whole (a schema file) holds one writer's content, never a mix.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "RecordingUi.h"
#include "TempDir.h"
#include "core/SchemaFile.h"
#include "core/Workspace.h"
#include "core/ini/IniFile.h"
#include "sources/ClientFactory.h"

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

// A file written whole starts over from nothing: a version another process wrote after this
// one looked at the file adds none of its sections.
TEST(IniTwoWriters, AFileWrittenWholeTakesNothingFromAVersionWrittenAfterALook) {
    TempDir dir;
    const std::string path = dir.write("t.ini", "[Old]\r\nx=1\r\n");
    LaterWriter other([&] {
        IniFile theirs(path);
        theirs.WriteString("Theirs", "t", "1");
        theirs.UpdateFile();
        return true;
    });
    IniFile ini(path);
    ini.SetWrittenWhole(true);
    ASSERT_EQ(ini.ReadSections(), std::vector<std::string>{"Old"});
    ASSERT_TRUE(other.Run());
    ini.StartOver();
    ini.WriteString("Mine", "m", "1");
    ini.UpdateFile();
    EXPECT_EQ(TempDir::read(path), "[Mine]\r\nm=1\r\n");
}

// A schema file's tree as the window loads it from a file, saved to target.
void SaveTree(const std::string& source, const std::string& target) {
    Workspace ws(CreateUnavailableClient(""));
    RecordingUi ui;
    TTreeInfo& slot = ws.tree(1);
    OpenSchemaFileIntoSlot(slot, source);
    ReadSchemaNames(slot, {});
    SaveSchemaFile(ws, ui, 1, target, {});
}

TEST(IniTwoWriters, TwoSavesOfTwoTreesToOneFileLeaveOneOfThem) {
    TempDir dir;
    const std::string target = dir.write("snapshot.txt",
                                         "[Settings]\r\nTree Name=OLD\r\n[Classes]\r\n0=Old\r\n"
                                         "[Class Definition]\r\nOld=Effective\r\n");
    const std::string a = dir.write("a.txt",
                                    "[Settings]\r\nTree Name=A\r\n[Attributes]\r\n0=OnlyA\r\n"
                                    "[Attribute Definition]\r\nOnlyA=CI_STRING\r\n[Classes]\r\n"
                                    "0=Old\r\n1=ClassA\r\n[Class Definition]\r\nOld=Container\r\n"
                                    "ClassA=Effective\r\n[ClassA: Super Class]\r\n0=Top\r\n");
    const std::string b = dir.write("b.txt",
                                    "[Settings]\r\nTree Name=B\r\n[Classes]\r\n0=ClassB\r\n"
                                    "[Class Definition]\r\nClassB=Auxiliary\r\n");
    const std::string bAlone = dir.file("b-alone.txt");
    SaveTree(b, bAlone);

    LaterWriter other([&] {
        SaveTree(a, target);
        return true;
    });
    // This save read the old file before the other one replaced it (the hold keeps that
    // reading), and writes after it.
    IniFile early(target);
    const IniFile::Hold hold(early);
    ASSERT_EQ(early.ReadString("Settings", "Tree Name", ""), "OLD");
    ASSERT_TRUE(other.Run());
    ASSERT_NE(TempDir::read(target).find("ClassA"), std::string::npos);
    SaveTree(b, target);
    EXPECT_EQ(TempDir::read(target), TempDir::read(bAlone));
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
