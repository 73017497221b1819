// Runs a program as a user would from a shell and captures what it wrote: standard output
// and standard error apart, and its exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

struct CliResult {
    int status = -1;  // the exit status; 128 + the signal's number when killed
    std::string out;
    std::string err;
};

// Environment changes for one run: a value sets the variable, nullopt-like "" removes it.
using EnvChanges = std::map<std::string, std::string>;

// Runs program with args. KALVIX_CLIENT points nowhere unless env sets it, so the user's
// own client configuration never decides a test.
CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const EnvChanges& env = {}, const std::string& workDir = {});
// The kalvix-cli under test.
CliResult RunCli(const std::vector<std::string>& args, const EnvChanges& env = {},
                 const std::string& workDir = {});

// Like RunCli, with standard error on a pseudo-terminal (read back into err) and standard
// output on a pipe.
CliResult RunCliWithTerminal(const std::vector<std::string>& args, const EnvChanges& env = {});

// A fixture of tests/data/cli by name.
std::string CliData(const std::string& name);
// The whole file's bytes.
std::string ReadBytes(const std::string& path);
