// quick: the six lists of the window's two "Quick Check" pages.
#include <cstdio>

#include "cli/Commands.h"

namespace cli {

int RunQuick(const Arguments& args) {
    RequireOperands(args, 2);
    const TreeOperand a = ParseTreeOperand(args.operands[0]);
    const TreeOperand b = ParseTreeOperand(args.operands[1]);
    Session session(a.live || b.live, args.quiet);
    session.load(1, a);
    session.load(2, b);
    session.progress().clear();

    Workspace& ws = session.ws();
    const QuickCheckLists classes = SortedQuickCheck(ws.tree(1).ClassNames, ws.tree(2).ClassNames);
    const QuickCheckLists attrs = SortedQuickCheck(ws.tree(1).AttrNames, ws.tree(2).AttrNames);
    const bool different = !classes.unique1.empty() || !classes.unique2.empty() ||
                           !attrs.unique1.empty() || !attrs.unique2.empty();

    MakeOutputWriter(args.format)
        ->quick(RunInfoOf(ws), classes, attrs, StandardOutput(session.progress()));
    FlushOutput();
    if (!different && !session.ui().troubleShown() && !args.quiet)
        std::fputs("No differences found\n", stderr);
    return session.finish(different ? kExitDifferent : kExitSame);
}

}  // namespace cli
