#include "Render.h"

#include "Names.h"

namespace {

const std::string kIndent = "      ";

}  // namespace

std::vector<std::string> DisplayClass(const std::string& className, TClassInfo& info) {
    std::vector<std::string> lines{className, "", "Flags", kIndent + info.Flags};
    for (int kind = 0; kind < kClassItemKinds; ++kind) {
        std::vector<std::string>& items = info.Items[static_cast<std::size_t>(kind)];
        if (items.empty()) continue;
        SortNames(items);
        lines.emplace_back();
        lines.emplace_back(ClassItemLabel(kind));
        for (const std::string& item : items) lines.push_back(kIndent + item);
    }
    return lines;
}

std::vector<std::string> DisplayAttribute(const std::string& attrName, const TAttrInfo& info) {
    return {attrName, kIndent + info.Definition};
}
