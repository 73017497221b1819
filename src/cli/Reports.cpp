// Pieces of output that more than one command writes.
#include "Commands.h"

namespace cli {

QuickCheckLists SortedQuickCheck(const NameList& tree1, const NameList& tree2) {
    QuickCheckLists lists = QuickCheckNames(tree1, tree2);
    // The window's six list boxes are sorted; the lists come in each tree's order.
    SortNames(lists.unique1);
    SortNames(lists.common);
    SortNames(lists.unique2);
    return lists;
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
