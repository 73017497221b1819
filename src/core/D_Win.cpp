#include "core/D_Win.h"

#include <cstdlib>
#include <vector>

#include "core/D_Util.h"

std::string GetEnvVar(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

bool IsShellInternalCommand(const std::string& cmd) {
    static const std::vector<std::string> internal = {"CD", "COPY", "DEL",      "DIR",  "ECHO",
                                                      "MD", "PATH", "PROMPT",   "REM",  "REN",
                                                      "RD", "SET",  "TRUENAME", "TYPE", "VER"};
    return IsInStrArray(cmd, internal, false);
}

namespace {

// Everything up to and including the last "/": on this system neither "\\" nor ":"
// separates folders, both are ordinary letters of a name.
std::string DirectoryPart(const std::string& path) {
    const std::size_t pos = path.rfind('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

}  // namespace

int RunCommandLine(Shell& shell, const std::string& commandLine, int showMode) {
    std::string rest = commandLine;
    std::string file;
    std::string word;
    bool found = false;
    do {
        SplitAtFirst(rest, " ", word, rest);
        file = JoinNonEmpty(file, word, " ");
        found = shell.fileExists(file);
    } while (!found && !word.empty());

    std::string parameters = rest;
    if (!found) {
        // The first word decides, so internal commands with arguments run as well.
        std::string first;
        std::string ignored;
        SplitAtFirst(commandLine, " ", first, ignored);
        if (IsShellInternalCommand(first)) {
            file = GetEnvVar("SHELL");
            // One quoted argument, so the interpreter sees the whole line as its command.
            parameters = "-c \"" + SubstituteStr(commandLine, "\"", "\"\"\"", true, true) + "\"";
        } else {
            parameters.clear();
        }
    }
    return shell.open(file, parameters, DirectoryPart(file), showMode);
}

int RunCommand(Shell& shell, const std::string& commandLine) {
    return RunCommandLine(shell, commandLine, SW_SHOWNORMAL);
}

int OpenLink(Shell& shell, const std::string& target) { return RunCommand(shell, target); }
