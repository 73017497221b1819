// The commands of kalvix-cli, one a file, and the table main dispatches through.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommon.h"
#include "core/writers/Output.h"

namespace cli {

struct Command {
    const char* name;
    const char* synopsis;  // what follows the command in the usage
    const char* summary;   // one line for the overview
    const char* details;   // the rest of the command's --help
    unsigned accepts;      // option flags (Accepts)
    int (*run)(const Arguments& args);
};

// In the order the usage lists them.
const std::vector<Command>& Commands();
const Command* FindCommand(const std::string& name);

int RunTrees(const Arguments& args);
int RunSave(const Arguments& args);
int RunQuick(const Arguments& args);
int RunCompareClasses(const Arguments& args);
int RunCompareAttributes(const Arguments& args);
int RunCompare(const Arguments& args);
int RunShow(const Arguments& args);
int RunReconcile(const Arguments& args);

int RunSurvey(const Arguments& args);
int RunFit(const Arguments& args);

// What a writer is told about this run's two slots: how a live one was reached, and the
// program's name and version.
RunInfo RunInfoOf(Workspace& ws);
// Standard output for a writer; the progress line makes way first.
OutputFn StandardOutput(Progress& progress);

}  // namespace cli
