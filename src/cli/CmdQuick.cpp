// quick: the six lists of the window's two "Quick Check" pages.
#include "Commands.h"

namespace cli {

namespace {

struct Block {
    const char* heading;
    const NameList* names;
};

}  // namespace

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

    if (args.format == Format::Json) {
        JsonWriter json;
        json.beginObject();
        WriteTreesJson(json, ws);
        json.key("classes").beginObject();
        WriteNameListsJson(json, classes);
        json.endObject();
        json.key("attributes").beginObject();
        WriteNameListsJson(json, attrs);
        json.endObject();
        json.key("different").value(different);
        json.endObject();
        const std::string text = json.text();
        std::fwrite(text.data(), 1, text.size(), stdout);
    } else if (args.format == Format::Html) {
        const std::string html = HtmlReport(ReportBase(ws, false, true, true));
        std::fwrite(html.data(), 1, html.size(), stdout);
    } else {
        const Block blocks[] = {
            {"Classes - Unique on Tree #1", &classes.unique1},
            {"Classes - Common Classes", &classes.common},
            {"Classes - Unique on Tree #2", &classes.unique2},
            {"Attributes - Unique on Tree #1", &attrs.unique1},
            {"Attributes - Common Attributes", &attrs.common},
            {"Attributes - Unique on Tree #2", &attrs.unique2},
        };
        bool first = true;
        for (const Block& block : blocks) {
            if (!first) WriteLine("");
            first = false;
            WriteLine(block.heading);
            for (const NameEntry& entry : *block.names) WriteLine(entry.name);
        }
    }
    FlushOutput();
    if (!different && !args.quiet) std::fputs("No differences found\n", stderr);
    return session.finish(different ? kExitDifferent : kExitSame);
}

}  // namespace cli
