// trees: the names the window's tree selectors list.
#include "cli/Commands.h"

namespace cli {

int RunTrees(const Arguments& args) {
    RequireOperands(args, 0);
    Session session(true, args.quiet);
    for (const std::string& tree : session.reachableTrees()) WriteLine(tree);
    FlushOutput();
    return session.finish(kExitSame);
}

}  // namespace cli
