// compare-classes, compare-attributes and compare: the lines the window's two "Start ..."
// buttons write into their results lists, from the very same run functions and findings;
// compare adds the other element types' lines when both trees publish them.
#include <cstdio>
#include <memory>

#include "cli/Commands.h"
#include "core/compare/Compare.h"

namespace cli {

namespace {

// One full comparison, classes or attributes. The writer may put each finding out as the
// run finds it (text does); the findings are kept for the end all the same.
Findings RunFull(Session& session, OutputWriter& writer, const OutputFn& out, bool classes) {
    Workspace& ws = session.ws();
    const std::size_t total = (classes ? ws.tree(1).ClassNames : ws.tree(1).AttrNames).size();
    const std::string what = classes ? "classes" : "attributes";
    std::size_t done = 0;
    Findings found;
    (classes ? CompareAllClasses : CompareAllAttributes)(
        ws, session.ui(),
        [&](const std::string& name) {
            ++done;
            if (!session.progress().enabled()) return;
            session.progress().show("Comparing " + what + " " + std::to_string(done) + "/" +
                                        std::to_string(total) + ": " + name,
                                    done == 1);
        },
        [&](const Finding& finding) {
            writer.finding(finding, out);
            found.push_back(finding);
        });
    return found;
}

int RunComparison(const Arguments& args, bool classes, bool attributes, bool elements) {
    RequireOperands(args, 2);
    const TreeOperand a = ParseTreeOperand(args.operands[0]);
    const TreeOperand b = ParseTreeOperand(args.operands[1]);
    Session session(a.live || b.live, args.quiet);
    session.ws().Fields = args.fields;
    session.load(1, a);
    session.load(2, b);

    Workspace& ws = session.ws();
    const std::unique_ptr<OutputWriter> writer = MakeOutputWriter(args.format);
    const OutputFn out = StandardOutput(session.progress());
    ComparisonFindings found;
    if (classes) found.classes = RunFull(session, *writer, out, true);
    if (attributes) found.attributes = RunFull(session, *writer, out, false);
    if (elements && PublishesOtherElements(ws)) {
        found.elements.emplace();
        CompareOtherElements(ws, [&](const Finding& finding) {
            writer->finding(finding, out);
            found.elements->push_back(finding);
        });
    }
    session.progress().clear();
    const bool different = found.different();

    writer->comparison(RunInfoOf(ws), found, out);
    FlushOutput();
    // After a failed read the verdict is trouble, never "no differences".
    if (!different && !session.ui().troubleShown() && !args.quiet)
        std::fputs("No differences found\n", stderr);
    session.leaveTreesToExit();
    return session.finish(different ? kExitDifferent : kExitSame);
}

}  // namespace

int RunCompareClasses(const Arguments& args) { return RunComparison(args, true, false, false); }
int RunCompareAttributes(const Arguments& args) { return RunComparison(args, false, true, false); }
int RunCompare(const Arguments& args) { return RunComparison(args, true, true, true); }

}  // namespace cli
