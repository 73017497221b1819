// compare-classes, compare-attributes and compare: the lines the window's two "Start ..."
// buttons write into their results lists, from the very same run functions.
#include <stdexcept>

#include "Commands.h"
#include "Compare.h"

namespace cli {

namespace {

struct ClassFinding {
    std::string className;
    std::string kind;
    int tree = 0;
    std::string item;
};

struct AttrFinding {
    std::string attribute;
    std::string definition1;
    std::string definition2;
};

// Turns a run's lines back into findings for the JSON document. The run announces each
// name of Tree #1 through its progress call before that name's lines, so the name in a
// line is known, not guessed: a name holding quotes or " has " cannot mislead the reading.
class FindingReader {
  public:
    void progress(const std::string& name) {
        current_ = name;
        inCommon_ = true;
    }

    void classLine(const std::string& line) {
        if (!inCommon_) return;  // the unique lines come first; the quick lists hold them
        for (int tree = 1; tree <= 2; ++tree) {
            const std::string prefix = "Tree #" + std::to_string(tree) +
                                       " - Class Definition for \"" + current_ + "\" has ";
            if (!line.starts_with(prefix)) continue;
            const std::string rest = line.substr(prefix.size());
            for (int kind = -1; kind < kClassItemKinds; ++kind) {
                const std::string label = kind < 0 ? "Flags" : ClassItemLabel(kind);
                std::string item;
                if (Quoted(rest, label + ": \"", item)) {
                    classes.push_back({current_, label, tree, item});
                    return;
                }
            }
        }
        throw std::logic_error("unexpected class comparison line: " + line);
    }

    void attrLine(const std::string& line) {
        if (!inCommon_) return;
        std::string definition;
        const std::string middle = " - Attribute Definition for \"" + current_ + "\": \"";
        if (Quoted(line, "Tree #1" + middle, definition)) {
            attrs.push_back({current_, definition, {}});
            return;
        }
        if (Quoted(line, "Tree #2" + middle, definition) && !attrs.empty() &&
            attrs.back().attribute == current_) {
            attrs.back().definition2 = definition;
            return;
        }
        throw std::logic_error("unexpected attribute comparison line: " + line);
    }

    std::vector<ClassFinding> classes;
    std::vector<AttrFinding> attrs;

  private:
    // text is prefix, then the value, then a closing quote.
    static bool Quoted(const std::string& text, const std::string& prefix, std::string& value) {
        if (text.size() < prefix.size() + 1 || !text.starts_with(prefix) || !text.ends_with('"'))
            return false;
        value = text.substr(prefix.size(), text.size() - prefix.size() - 1);
        return true;
    }

    std::string current_;
    bool inCommon_ = false;
};

struct Run {
    std::size_t lines = 0;
    FindingReader reader;
};

// One full comparison, classes or attributes, with the window's lines on standard output.
void RunFull(Session& session, bool json, Run& run, bool classes) {
    Workspace& ws = session.ws();
    const std::size_t total = (classes ? ws.tree(1).ClassNames : ws.tree(1).AttrNames).size();
    const std::string what = classes ? "classes" : "attributes";
    std::size_t done = 0;
    (classes ? CompareAllClasses : CompareAllAttributes)(
        ws, session.ui(),
        [&](const std::string& name) {
            ++done;
            session.progress().show("Comparing " + what + " " + std::to_string(done) + "/" +
                                        std::to_string(total) + ": " + name,
                                    done == 1);
            if (json) run.reader.progress(name);
        },
        [&](const std::string& line) {
            ++run.lines;
            if (json) {
                if (classes)
                    run.reader.classLine(line);
                else
                    run.reader.attrLine(line);
            } else {
                session.progress().beforeOutput();
                WriteLine(line);
            }
        });
}

int RunComparison(const Arguments& args, bool classes, bool attributes) {
    RequireOperands(args, 2);
    const TreeOperand a = ParseTreeOperand(args.operands[0]);
    const TreeOperand b = ParseTreeOperand(args.operands[1]);
    Session session(a.live || b.live, args.quiet);
    session.load(1, a);
    session.load(2, b);

    const bool json = args.format == Format::Json;
    Run classRun;
    Run attrRun;
    if (classes) RunFull(session, json, classRun, true);
    if (attributes) RunFull(session, json, attrRun, false);
    session.progress().clear();
    const bool different = classRun.lines + attrRun.lines > 0;

    if (json) {
        Workspace& ws = session.ws();
        JsonWriter out;
        out.beginObject();
        WriteTreesJson(out, ws);
        if (classes) {
            out.key("classes").beginObject();
            WriteNameListsJson(out, SortedQuickCheck(ws.tree(1).ClassNames, ws.tree(2).ClassNames));
            out.key("differences").beginArray();
            for (const ClassFinding& f : classRun.reader.classes) {
                out.beginObject();
                out.key("class").value(f.className);
                out.key("kind").value(f.kind);
                out.key("tree").value(f.tree);
                out.key("item").value(f.item);
                out.endObject();
            }
            out.endArray().endObject();
        }
        if (attributes) {
            out.key("attributes").beginObject();
            WriteNameListsJson(out, SortedQuickCheck(ws.tree(1).AttrNames, ws.tree(2).AttrNames));
            out.key("differences").beginArray();
            for (const AttrFinding& f : attrRun.reader.attrs) {
                out.beginObject();
                out.key("attribute").value(f.attribute);
                out.key("definition1").value(f.definition1);
                out.key("definition2").value(f.definition2);
                out.endObject();
            }
            out.endArray().endObject();
        }
        out.key("different").value(different);
        out.endObject();
        const std::string text = out.text();
        std::fwrite(text.data(), 1, text.size(), stdout);
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
