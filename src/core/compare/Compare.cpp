// The comparisons of definitions already in hand; fetching them is CompareRuns.cpp's.
#include "core/compare/Compare.h"

#include <unordered_map>

#include "core/compare/Render.h"

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

}  // namespace

bool CompareClassInfos(const std::string& className, TClassInfo& a, TClassInfo& b, Findings& out) {
    const std::size_t before = out.size();
    if (a.Flags != b.Flags) {
        Finding& f = out.emplace_back();
        f.type = FindingType::ClassFlags;
        f.name = className;
        f.text1 = a.Flags;
        f.text2 = b.Flags;
        f.marks1 = MissingWords(f.text1, f.text2, false);
        f.marks2 = MissingWords(f.text2, f.text1, false);
    }
    for (int kind = 0; kind < kClassItemKinds; ++kind) {
        std::vector<std::string>& listA = a.Items[static_cast<std::size_t>(kind)];
        std::vector<std::string>& listB = b.Items[static_cast<std::size_t>(kind)];
        if (listA == listB) continue;
        // Lists that differ only in order or letter case cancel out completely: nothing
        // differs, and the class stays identical.
        CancelCommonItems(listA, listB);
        for (int tree = 1; tree <= 2; ++tree)
            for (std::string& item : tree == 1 ? listA : listB) {
                Finding& f = out.emplace_back();
                f.type = FindingType::ClassItem;
                f.tree = tree;
                f.kind = kind;
                f.name = className;
                f.text1 = std::move(item);
            }
    }
    return out.size() == before;
}

bool CompareAttrDefs(const std::string& attrName, const std::string& def1, const std::string& def2,
                     Findings& out) {
    if (def1 == def2) return true;
    Finding& f = out.emplace_back();
    f.type = FindingType::AttrDefinition;
    f.name = attrName;
    f.text1 = def1;
    f.text2 = def2;
    f.marks1 = MissingWords(def1, def2, true);
    f.marks2 = MissingWords(def2, def1, true);
    return false;
}

namespace {

Lines LinesOf(const Findings& findings) {
    Lines lines;
    for (const Finding& f : findings) AppendFindingLines(f, lines);
    return lines;
}

}  // namespace

Lines ClassDetailLines(const std::string& className, TClassInfo& a, TClassInfo& b) {
    // The comparison consumes the lists; an identical class is shown as Tree #1 had it.
    TClassInfo shown = a;
    Findings findings;
    if (!CompareClassInfos(className, a, b, findings)) return LinesOf(findings);
    Lines lines{"Class identical: ", ""};
    Lines rendered = DisplayClass(className, shown);
    lines.insert(lines.end(), rendered.begin(), rendered.end());
    return lines;
}

Lines AttrDetailLines(const std::string& attrName, const std::string& def1,
                      const std::string& def2) {
    Findings findings;
    if (!CompareAttrDefs(attrName, def1, def2, findings)) return LinesOf(findings);
    Lines lines{"Attribute identical: ", ""};
    Lines rendered = DisplayAttribute(attrName, TAttrInfo{def1});
    lines.insert(lines.end(), rendered.begin(), rendered.end());
    return lines;
}

FindingFn FindingLinesTo(LineFn sink) {
    return [sink = std::move(sink)](const Finding& finding) {
        Lines lines;
        AppendFindingLines(finding, lines);
        for (const std::string& line : lines) sink(line);
    };
}
