// The command launcher: hands a command line to the desktop shell.
#pragma once

#include <string>

// The shell's "open" operation and the file test, so tests can see what would be opened.
class Shell {
  public:
    virtual ~Shell() = default;
    // true for an existing regular file (a folder does not count)
    virtual bool fileExists(const std::string& path) = 0;
    // Starts an executable file with parameters and working directory, or opens anything
    // else with the desktop's association; returns a status code (above 32 = success).
    virtual int open(const std::string& file, const std::string& parameters,
                     const std::string& directory, int showMode) = 0;
};

inline constexpr int SW_SHOWNORMAL = 1;

std::string GetEnvVar(const std::string& name);
bool IsShellInternalCommand(const std::string& cmd);
int RunCommandLine(Shell& shell, const std::string& commandLine, int showMode);
int RunCommand(Shell& shell, const std::string& commandLine);
int OpenLink(Shell& shell, const std::string& target);
