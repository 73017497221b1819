// The command launcher: which file the shell is asked to open, with what and where.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/D_Win.h"

namespace {

class FakeShell : public Shell {
  public:
    std::set<std::string> files;
    struct Call {
        std::string file, parameters, directory;
        int showMode;
    };
    std::vector<Call> calls;

    bool fileExists(const std::string& path) override { return files.count(path) > 0; }
    int open(const std::string& file, const std::string& parameters, const std::string& directory,
             int showMode) override {
        calls.push_back({file, parameters, directory, showMode});
        return 42;
    }
};

TEST(Launcher, BareHostNameGoesToTheShellWhole) {
    FakeShell shell;
    EXPECT_EQ(OpenLink(shell, "www.dellmar.example"), 42);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, "www.dellmar.example");
    EXPECT_EQ(shell.calls[0].parameters, "");
    EXPECT_EQ(shell.calls[0].directory, "");
    EXPECT_EQ(shell.calls[0].showMode, SW_SHOWNORMAL);
}

TEST(Launcher, ProgramPathWithBlanksIsFoundWordByWord) {
    FakeShell shell;
    shell.files = {"/opt/My Tools/run tool"};
    RunCommand(shell, "/opt/My Tools/run tool --quiet -x");
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, "/opt/My Tools/run tool");
    EXPECT_EQ(shell.calls[0].parameters, "--quiet -x");
    EXPECT_EQ(shell.calls[0].directory, "/opt/My Tools/");
}

TEST(Launcher, OnlySlashSeparatesFoldersInTheWorkingFolder) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/opt/tool:v2/run", "/opt/tool:v2/"},
        {"/opt/tools/v2:run", "/opt/tools/"},
        {"/opt/a\\b\\run", "/opt/"},
        {"C:run", ""},
    };
    for (const auto& [file, folder] : cases) {
        FakeShell shell;
        shell.files = {file};
        RunCommand(shell, file + " -x");
        ASSERT_EQ(shell.calls.size(), 1u) << file;
        EXPECT_EQ(shell.calls[0].file, file);
        EXPECT_EQ(shell.calls[0].directory, folder) << file;
    }
}

TEST(Launcher, InternalCommandsRunThroughTheInterpreter) {
    FakeShell shell;
    ::setenv("SHELL", "/bin/sh", 1);
    RunCommand(shell, "dir");
    RunCommand(shell, "echo say \"hi\"");
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[0].file, "/bin/sh");
    EXPECT_EQ(shell.calls[0].parameters, "-c \"dir\"");
    EXPECT_EQ(shell.calls[0].directory, "/bin/");
    EXPECT_EQ(shell.calls[1].parameters, "-c \"echo say \"\"\"hi\"\"\"\"");

    // Without an interpreter the shell is handed an empty file, as with an unset comspec.
    ::unsetenv("SHELL");
    RunCommand(shell, "ver");
    EXPECT_EQ(shell.calls.back().file, "");
}

TEST(Launcher, UnknownWordsReachTheShellAsOneName) {
    FakeShell shell;
    RunCommand(shell, "copyx a b");
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, "copyx a b");
    EXPECT_EQ(shell.calls[0].parameters, "");
}

TEST(Launcher, InternalCommandNamesFoldOnlyAsciiLetters) {
    for (const char* yes : {"echo", "Truename", "cd", "VER", "rD"})
        EXPECT_TRUE(IsShellInternalCommand(yes)) << yes;
    for (const char* no : {"ECHO.", "DIRS", "", " dir", "d\xC3\xAFr"})
        EXPECT_FALSE(IsShellInternalCommand(no)) << no;
}

}  // namespace
