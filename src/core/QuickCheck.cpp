#include "QuickCheck.h"

#include <string>
#include <unordered_set>

namespace {

std::unordered_set<std::string> KeySet(const NameList& names) {
    std::unordered_set<std::string> keys;
    keys.reserve(names.size());
    for (const NameEntry& entry : names) keys.insert(NameKey(entry.name));
    return keys;
}

}  // namespace

QuickCheckLists QuickCheckNames(const NameList& tree1, const NameList& tree2) {
    // Keys are computed once per name, so a lookup costs no collation and no search.
    std::vector<std::string> keys1;
    keys1.reserve(tree1.size());
    for (const NameEntry& entry : tree1) keys1.push_back(NameKey(entry.name));
    const std::unordered_set<std::string> set1(keys1.begin(), keys1.end());
    const std::unordered_set<std::string> set2 = KeySet(tree2);

    QuickCheckLists result;
    // Every occurrence counts on its own: a name listed twice shows twice.
    for (std::size_t i = 0; i < tree1.size(); ++i) {
        if (set2.contains(keys1[i]))
            result.common.push_back(tree1[i]);
        else
            result.unique1.push_back(tree1[i]);
    }
    for (const NameEntry& entry : tree2)
        if (!set1.contains(NameKey(entry.name))) result.unique2.push_back(entry);
    return result;
}
