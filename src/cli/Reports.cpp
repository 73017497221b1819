// Pieces of output that more than one command writes.
#include "Commands.h"
#include "ConnectionKind.h"
#include "Version.h"

namespace cli {

QuickCheckLists SortedQuickCheck(const NameList& tree1, const NameList& tree2) {
    QuickCheckLists lists = QuickCheckNames(tree1, tree2);
    SortQuickCheckLists(lists);
    return lists;
}

ReportInput ReportBase(Workspace& ws, bool definitionsCompared, bool classes, bool attributes) {
    ReportInput in;
    for (int t = 1; t <= 2; ++t) {
        const TTreeInfo& slot = ws.tree(t);
        in.trees[t - 1] = ReportTreeOf(slot, slot.Online ? LiveTreeHow(slot.TreeName) : "");
    }
    in.madeAt = ReportTimestamp();
    in.program = std::string("kalvix-cli (Kalvix ") + ProgramVersion() + ")";
    in.definitionsCompared = definitionsCompared;
    if (classes) in.classes = ReportPartOf(ws.tree(1).ClassNames, ws.tree(2).ClassNames, {});
    if (attributes) in.attributes = ReportPartOf(ws.tree(1).AttrNames, ws.tree(2).AttrNames, {});
    return in;
}

void WriteTreesJson(JsonWriter& json, Workspace& ws) {
    // Scripts tell the document's versions apart by this number; it grows when a member
    // changes meaning or goes away.
    json.key("format").value(1);
    json.key("trees").beginArray();
    for (int tree = 1; tree <= 2; ++tree) {
        const TTreeInfo& slot = ws.tree(tree);
        json.beginObject();
        json.key("tree").value(tree);
        json.key("name").value(slot.TreeName);
        json.key("source").value(slot.Online ? "live" : "file");
        if (!slot.Online) json.key("file").value(slot.FileName);
        json.endObject();
    }
    json.endArray();
}

void WriteNameListsJson(JsonWriter& json, const QuickCheckLists& lists) {
    json.key("unique1").value(lists.unique1);
    json.key("common").value(lists.common);
    json.key("unique2").value(lists.unique2);
}

}  // namespace cli
