// The comparisons of definitions already in hand; fetching them is CompareRuns.cpp's.
#include "Compare.h"

#include <optional>
#include <unordered_map>

#include "Render.h"

namespace {

// Removes the items both lists hold, as walking a from its end and, for each item, taking
// the first item of b equal to it ignoring case would: each item of a cancels at most one
// of b, so repeated items are counted. Matching goes through keys, not a search per item.
void CancelCommonItems(std::vector<std::string>& a, std::vector<std::string>& b) {
    struct Matches {
        std::vector<std::size_t> positions;  // of b, ascending
        std::size_t next = 0;                // the first one not yet taken
    };
    std::unordered_map<std::string, Matches> byKey;
    byKey.reserve(b.size());
    for (std::size_t i = 0; i < b.size(); ++i) byKey[NameKey(b[i])].positions.push_back(i);

    std::vector<bool> dropA(a.size(), false);
    std::vector<bool> dropB(b.size(), false);
    for (std::size_t i = a.size(); i-- > 0;) {
        auto found = byKey.find(NameKey(a[i]));
        if (found == byKey.end()) continue;
        Matches& m = found->second;
        if (m.next == m.positions.size()) continue;
        dropB[m.positions[m.next++]] = true;
        dropA[i] = true;
    }

    auto keep = [](std::vector<std::string>& list, const std::vector<bool>& drop) {
        std::size_t out = 0;
        for (std::size_t i = 0; i < list.size(); ++i)
            if (!drop[i]) {
                if (out != i) list[out] = std::move(list[i]);
                ++out;
            }
        list.resize(out);
    };
    keep(a, dropA);
    keep(b, dropB);
}

std::string ClassItemLine(int tree, const std::string& className, const std::string& label,
                          const std::string& item) {
    return "Tree #" + std::to_string(tree) + " - Class Definition for \"" + className + "\" has " +
           label + ": \"" + item + "\"";
}

std::string AttrDefLine(int tree, const std::string& attrName, const std::string& definition) {
    return "Tree #" + std::to_string(tree) + " - Attribute Definition for \"" + attrName +
           "\": \"" + definition + "\"";
}

}  // namespace

bool CompareClassInfos(const std::string& className, TClassInfo& a, TClassInfo& b,
                       bool reportIdentical, Lines& out) {
    // The comparison consumes the lists; an identical class is shown as Tree #1 had it.
    std::optional<TClassInfo> shown;
    if (reportIdentical) shown = a;
    bool identical = true;
    if (a.Flags != b.Flags) {
        identical = false;
        out.push_back(ClassItemLine(1, className, "Flags", a.Flags));
        out.push_back(ClassItemLine(2, className, "Flags", b.Flags));
    }
    for (int kind = 0; kind < kClassItemKinds; ++kind) {
        std::vector<std::string>& listA = a.Items[static_cast<std::size_t>(kind)];
        std::vector<std::string>& listB = b.Items[static_cast<std::size_t>(kind)];
        if (listA == listB) continue;
        // Lists that differ only in order or letter case cancel out completely: nothing
        // differs, and the class stays identical.
        CancelCommonItems(listA, listB);
        if (!listA.empty() || !listB.empty()) identical = false;
        for (const std::string& item : listA)
            out.push_back(ClassItemLine(1, className, ClassItemLabel(kind), item));
        for (const std::string& item : listB)
            out.push_back(ClassItemLine(2, className, ClassItemLabel(kind), item));
    }
    if (identical && reportIdentical) {
        out.push_back("Class identical: ");
        out.emplace_back();
        Lines rendered = DisplayClass(className, *shown);
        out.insert(out.end(), rendered.begin(), rendered.end());
    }
    return identical;
}

bool CompareAttrDefs(const std::string& attrName, const std::string& def1, const std::string& def2,
                     bool reportIdentical, Lines& out) {
    if (def1 != def2) {
        out.push_back(AttrDefLine(1, attrName, def1));
        out.push_back(AttrDefLine(2, attrName, def2));
        return false;
    }
    if (reportIdentical) {
        out.push_back("Attribute identical: ");
        out.emplace_back();
        Lines rendered = DisplayAttribute(attrName, TAttrInfo{def1});
        out.insert(out.end(), rendered.begin(), rendered.end());
    }
    return true;
}
