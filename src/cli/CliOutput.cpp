// What every command's writer is given: the run's slots and where its bytes go.
#include <cstdio>

#include "cli/Commands.h"
#include "core/Version.h"
#include "sources/ConnectionKind.h"

namespace cli {

RunInfo RunInfoOf(Workspace& ws) {
    RunInfo run{ws, {}, std::string("kalvix-cli (Kalvix ") + ProgramVersion() + ")"};
    for (int t = 1; t <= 2; ++t)
        if (ws.tree(t).Online) run.liveHow[t - 1] = LiveTreeHow(ws.tree(t).TreeName);
    return run;
}

OutputFn StandardOutput(Progress& progress) {
    return [&progress](std::string_view bytes) {
        progress.beforeOutput();
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    };
}

}  // namespace cli
