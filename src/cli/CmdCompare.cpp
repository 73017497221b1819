// compare-classes, compare-attributes and compare: the lines the window's two "Start ..."
// buttons write into their results lists, from the very same run functions and findings;
// compare adds the other element types' lines when both trees publish them.
#include <cstdio>

#include "Commands.h"
#include "Compare.h"

namespace cli {

namespace {

void WriteText(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// A finding's lines, out as soon as it is found.
// Each line through WriteLine, which shows control characters escaped.
void WriteFindingLines(Session& session, const Finding& finding) {
    session.progress().beforeOutput();
    std::vector<std::string> lines;
    AppendFindingLines(finding, lines);
    for (const std::string& line : lines) WriteLine(line);
}

// One full comparison, classes or attributes. Text goes out finding by finding as the run
// finds it; the other formats keep the findings for the document.
Findings RunFull(Session& session, bool text, bool classes) {
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
            if (text) WriteFindingLines(session, finding);
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
    const bool text = args.format == Format::Text;
    ComparisonFindings found;
    if (classes) found.classes = RunFull(session, text, true);
    if (attributes) found.attributes = RunFull(session, text, false);
    if (elements && PublishesOtherElements(ws)) {
        found.elements.emplace();
        CompareOtherElements(ws, [&](const Finding& finding) {
            if (text) WriteFindingLines(session, finding);
            found.elements->push_back(finding);
        });
    }
    session.progress().clear();
    const bool different = found.different();

    if (args.format == Format::Json)
        WriteText(ComparisonJson(ws, found));
    else if (args.format == Format::Html)
        WriteText(HtmlReport(ComparisonReport(ws, std::move(found))));
    FlushOutput();
    if (!different && !args.quiet) std::fputs("No differences found\n", stderr);
    return session.finish(different ? kExitDifferent : kExitSame);
}

}  // namespace

int RunCompareClasses(const Arguments& args) { return RunComparison(args, true, false, false); }
int RunCompareAttributes(const Arguments& args) { return RunComparison(args, false, true, false); }
int RunCompare(const Arguments& args) { return RunComparison(args, true, true, true); }

}  // namespace cli
