// The habits shell users expect: GNU --version, help and version after a command, a short
// complaint without a command, "-" for standard input (its copy gone however the run ends),
// a quiet end on a closed pipe and trouble on a full disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TempDir.h"

namespace {

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// kalvix-cli with standard input read from the file input, through the shell.
CliResult RunCliWithInput(const std::string& input, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"-c", "exec \"$0\" \"$@\" < \"$INPUT\"", KALVIX_CLI};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram("/bin/sh", all, {{"INPUT", input}});
}

TEST(CliConventions, VersionInTheGnuFormAlsoAfterACommand) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--version"},
                                                 {"compare", "--version"},
                                                 {"show", "x", "--version", "y", "z"},
                                                 {"trees", "-q", "--version"}}) {
        SCOPED_TRACE(args.front());
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(FirstLine(r.out), "kalvix-cli (Kalvix) 1.02");
        EXPECT_NE(r.out.find("\nCopyright (C) "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(" The Kalvix developers.\n"), std::string::npos);
        EXPECT_NE(r.out.find("\nLicense MIT"), std::string::npos);
    }
    // After "--" it is an operand like any other.
    const CliResult operand = RunCli({"compare", "--", "--version", "x"});
    EXPECT_EQ(operand.status, 2);
    EXPECT_EQ(operand.out, "");
    // The first of --help and --version wins.
    EXPECT_EQ(FirstLine(RunCli({"quick", "--help", "--version"}).out).rfind("Usage: ", 0), 0u);
}

TEST(CliConventions, NoArgumentsGiveAShortUsage) {
    const CliResult r = RunCli({});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "Usage: kalvix-cli COMMAND [OPTION]... OPERAND...\n"
              "Try 'kalvix-cli --help' for more information.\n");
    const CliResult unknown = RunCli({"frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err,
              "kalvix-cli: unknown command 'frobnicate'\n"
              "Usage: kalvix-cli COMMAND [OPTION]... OPERAND...\n"
              "Try 'kalvix-cli --help' for more information.\n");
}

TEST(CliConventions, DashReadsTheSchemaFileFromStandardInput) {
    const std::string lab1 = CliData("lab_1.txt");
    const std::string lab2 = CliData("lab_2.txt");
    const std::string expected = ReadBytes(CliData("lab_compare_expected.txt"));

    const CliResult first = RunCliWithInput(lab1, {"compare", "-q", "-", lab2});
    EXPECT_EQ(first.status, 1) << first.err;
    EXPECT_EQ(first.out, expected);
    const CliResult show = RunCliWithInput(lab1, {"show", "-", "Person"});
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(show.out, ReadBytes(CliData("lab_show-person_expected.txt")));

    // The document names the operand given, not a temporary copy.
    const CliResult json = RunCliWithInput(lab2, {"quick", "--format", "json", lab1, "-"});
    EXPECT_EQ(json.status, 1) << json.err;
    EXPECT_NE(json.out.find("\"file\": \"-\""), std::string::npos) << json.out;

    // Standard input serves once; what is no schema file is trouble as a file is.
    const CliResult twice = RunCliWithInput(lab1, {"compare", "-", "-"});
    EXPECT_EQ(twice.status, 2);
    EXPECT_EQ(twice.out, "");
    EXPECT_EQ(FirstLine(twice.err), "kalvix-cli: standard input (-) can serve one operand only");
    TempDir dir;
    const CliResult notes =
        RunCliWithInput(dir.write("notes", "no sections\n"), {"quick", "-", lab2});
    EXPECT_EQ(notes.status, 2);
    EXPECT_EQ(notes.err,
              "kalvix-cli: standard input holds no schema (no class or attribute names)\n");
    const CliResult save = RunCliWithInput(lab1, {"save", "tree:X", "-"});
    EXPECT_EQ(save.status, 2);
    EXPECT_EQ(FirstLine(save.err),
              "kalvix-cli: save writes a file, not standard output: write ./- for a file named -");

    // "./-" is a file called "-".
    dir.write("-", ReadBytes(lab1));
    const CliResult file =
        RunProgram(KALVIX_CLI, {"compare", "-q", "./-", lab2}, {}, dir.path().string());
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(file.out, expected);
}

TEST(CliConventions, StandardInputsCopyIsGoneHoweverTheRunEnds) {
    // More names than a pipe holds: the run is still writing them when it is stopped.
    TempDir data;
    std::string schema = "[Settings]\nTree Name=BIG\n[Classes]\n";
    for (int i = 0; i < 20000; ++i)
        schema += std::to_string(i) + "=Class" + std::to_string(i) + "\n";
    const std::string input = data.write("big.txt", schema);
    const std::string lab2 = CliData("lab_2.txt");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL, 0}) {
        SCOPED_TRACE(signal == 0 ? "the end" : strsignal(signal));
        TempDir tmp;
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            // As at a shell prompt, whatever the test runner's caller ignored or blocked.
            for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            dup2(open(input.c_str(), O_RDONLY), STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
            close(out[0]);
            setenv("TMPDIR", tmp.path().c_str(), 1);
            execl(KALVIX_CLI, KALVIX_CLI, "quick", "-", lab2.c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        // The first lines: standard input has been read and kept.
        char buffer[4096];
        ASSERT_GT(read(out[0], buffer, sizeof buffer), 0);
        if (signal != 0)
            kill(pid, signal);
        else
            while (read(out[0], buffer, sizeof buffer) > 0) {
            }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        close(out[0]);
        if (signal != 0) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        }
        EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
    }
}

TEST(CliConventions, HelpOrVersionThatCannotBeWrittenIsTrouble) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                                 {"help"},
                                                 {"--version"},
                                                 {"quick", "--help"},
                                                 {"trees", "--version"}}) {
        SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
        std::vector<std::string> all = {"-c", "exec \"$0\" \"$@\" > /dev/full", KALVIX_CLI};
        all.insert(all.end(), args.begin(), args.end());
        const CliResult r = RunProgram("/bin/sh", all);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "kalvix-cli: cannot write the output: No space left on device\n");
    }
}

// Runs kalvix-cli with standard output on a pipe nobody reads any more; what it said on
// standard error and how it ended.
struct PipeEnd {
    int status = 0;
    std::string err;
};

PipeEnd RunIntoClosedPipe(const std::vector<std::string>& args, bool ignoreSignal) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {-1, "no pipe"};
    close(out[0]);
    const pid_t pid = fork();
    if (pid == 0) {
        // A caller that ignores the signal (as some services do) passes that on.
        if (ignoreSignal) signal(SIGPIPE, SIG_IGN);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(err[0]);
        std::vector<std::string> argv = {KALVIX_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        execv(KALVIX_CLI, pointers.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    PipeEnd end;
    char buffer[4096];
    ssize_t n;
    while ((n = read(err[0], buffer, sizeof buffer)) > 0) end.err.append(buffer, n);
    close(err[0]);
    waitpid(pid, &end.status, 0);
    return end;
}

TEST(CliConventions, AReaderThatLeavesEarlyEndsTheRunQuietly) {
    const std::vector<std::string> args = {"compare", CliData("lab_1.txt"), CliData("lab_2.txt")};
    for (bool ignored : {false, true}) {
        SCOPED_TRACE(ignored ? "signal ignored by the caller" : "default signal");
        const PipeEnd end = RunIntoClosedPipe(args, ignored);
        EXPECT_EQ(end.err, "");
        ASSERT_TRUE(WIFSIGNALED(end.status)) << end.status;
        EXPECT_EQ(WTERMSIG(end.status), SIGPIPE);
    }
}

}  // namespace
