// compare-classes, compare-attributes and compare: the lines the window's two "Start ..."
// buttons write into their results lists, from the very same run functions and findings.
#include <cstdio>

#include "Commands.h"
#include "Compare.h"

namespace cli {

namespace {

void WriteText(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// One full comparison, classes or attributes. Text goes out finding by finding as the run
// finds it; the other formats keep the findings for the document.
Findings RunFull(Session& session, bool text, bool classes) {
    Workspace& ws = session.ws();
    const std::size_t total = (classes ? ws.tree(1).ClassNames : ws.tree(1).AttrNames).size();
    const std::string what = classes ? "classes" : "attributes";
    std::size_t done = 0;
    Findings found;
    std::vector<std::string> lines;
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
            if (text) {
                session.progress().beforeOutput();
                lines.clear();
                AppendFindingLines(finding, lines);
                for (const std::string& line : lines) WriteLine(line);
            }
            found.push_back(finding);
        });
    return found;
}

void WriteClassDifferences(JsonWriter& out, const Findings& found) {
    out.key("differences").beginArray();
    for (const Finding& f : found) {
        if (f.type == FindingType::ClassFlags) {
            // One object per tree, as the two lines say.
            for (int tree = 1; tree <= 2; ++tree) {
                out.beginObject();
                out.key("class").value(f.name);
                out.key("kind").value("Flags");
                out.key("tree").value(tree);
                out.key("item").value(tree == 1 ? f.text1 : f.text2);
                out.endObject();
            }
        } else if (f.type == FindingType::ClassItem) {
            out.beginObject();
            out.key("class").value(f.name);
            out.key("kind").value(ClassItemLabel(f.kind));
            out.key("tree").value(f.tree);
            out.key("item").value(f.text1);
            out.endObject();
        }
    }
    out.endArray();
}

void WriteAttrDifferences(JsonWriter& out, const Findings& found) {
    out.key("differences").beginArray();
    for (const Finding& f : found) {
        if (f.type != FindingType::AttrDefinition) continue;
        out.beginObject();
        out.key("attribute").value(f.name);
        out.key("definition1").value(f.text1);
        out.key("definition2").value(f.text2);
        out.endObject();
    }
    out.endArray();
}

int RunComparison(const Arguments& args, bool classes, bool attributes) {
    RequireOperands(args, 2);
    const TreeOperand a = ParseTreeOperand(args.operands[0]);
    const TreeOperand b = ParseTreeOperand(args.operands[1]);
    Session session(a.live || b.live, args.quiet);
    session.load(1, a);
    session.load(2, b);

    const bool text = args.format == Format::Text;
    Findings classFindings;
    Findings attrFindings;
    if (classes) classFindings = RunFull(session, text, true);
    if (attributes) attrFindings = RunFull(session, text, false);
    session.progress().clear();
    const bool different = !classFindings.empty() || !attrFindings.empty();

    if (args.format == Format::Json) {
        Workspace& ws = session.ws();
        JsonWriter out;
        out.beginObject();
        WriteTreesJson(out, ws);
        if (classes) {
            out.key("classes").beginObject();
            WriteNameListsJson(out, SortedQuickCheck(ws.tree(1).ClassNames, ws.tree(2).ClassNames));
            WriteClassDifferences(out, classFindings);
            out.endObject();
        }
        if (attributes) {
            out.key("attributes").beginObject();
            WriteNameListsJson(out, SortedQuickCheck(ws.tree(1).AttrNames, ws.tree(2).AttrNames));
            WriteAttrDifferences(out, attrFindings);
            out.endObject();
        }
        out.key("different").value(different);
        out.endObject();
        WriteText(out.text());
    } else if (args.format == Format::Html) {
        ReportInput report = ReportBase(session.ws(), true, classes, attributes);
        if (classes) report.classes->findings = std::move(classFindings);
        if (attributes) report.attributes->findings = std::move(attrFindings);
        WriteText(HtmlReport(report));
    }
    FlushOutput();
    if (!different && !args.quiet) std::fputs("No differences found\n", stderr);
    return session.finish(different ? kExitDifferent : kExitSame);
}

}  // namespace

int RunCompareClasses(const Arguments& args) { return RunComparison(args, true, false); }
int RunCompareAttributes(const Arguments& args) { return RunComparison(args, false, true); }
int RunCompare(const Arguments& args) { return RunComparison(args, true, true); }

}  // namespace cli
