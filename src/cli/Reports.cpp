// Pieces of output that more than one command writes.
#include <cstdint>

#include "Commands.h"

namespace cli {

QuickCheckLists SortedQuickCheck(const NameList& tree1, const NameList& tree2) {
    QuickCheckLists lists = QuickCheckNames(tree1, tree2);
    // The window's six list boxes are sorted; the lists come in each tree's order.
    SortNames(lists.unique1);
    SortNames(lists.unique2);
    // The common names keep Tree #2's spelling beside them.
    NameList order;
    order.reserve(lists.common.size());
    for (std::size_t i = 0; i < lists.common.size(); ++i)
        order.push_back({lists.common[i].name, static_cast<std::uint32_t>(i)});
    SortNames(order);
    NameList common;
    NameList common2;
    common.reserve(order.size());
    common2.reserve(order.size());
    for (const NameEntry& entry : order) {
        common.push_back(std::move(lists.common[entry.number]));
        common2.push_back(std::move(lists.common2[entry.number]));
    }
    lists.common = std::move(common);
    lists.common2 = std::move(common2);
    return lists;
}

void WriteTreesJson(JsonWriter& json, Workspace& ws) {
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
