#include "core/compare/Render.h"

#include "core/Names.h"
#include "core/compare/ElementFields.h"

namespace {

const std::string kIndent = "      ";
constexpr std::size_t kWrapAt = 96;

// A long published text in lines of at most kWrapAt bytes where blanks allow, the later
// ones indented; a word longer than that stands alone.
void AppendWrapped(const std::string& text, std::vector<std::string>& lines) {
    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        const std::size_t room = first ? kWrapAt : kWrapAt - kIndent.size();
        std::size_t end = text.size();
        if (end - start > room) {
            const std::size_t blank = text.rfind(' ', start + room);
            end =
                blank != std::string::npos && blank > start ? blank : text.find(' ', start + room);
            if (end == std::string::npos) end = text.size();
        }
        lines.push_back((first ? std::string() : kIndent) + text.substr(start, end - start));
        first = false;
        start = end;
        while (start < text.size() && text[start] == ' ') ++start;
    }
}

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

std::vector<std::string> DisplayElement(const std::string& name, const LdapElement& element,
                                        const PublishedElements& in, bool wrap) {
    // Headed as the definition names itself, which a list may show otherwise (X-NDS_NAME).
    std::vector<std::string> lines{element.names.empty() ? name : element.names.front()};
    std::string label;
    for (auto& [fieldLabel, value] : ElementFieldValues(element, in)) {
        if (fieldLabel != label) {
            lines.emplace_back();
            lines.push_back(fieldLabel);
            label = fieldLabel;
        }
        lines.push_back(kIndent + value);
    }
    if (!element.text.empty()) {
        lines.emplace_back();
        lines.emplace_back("Published definition:");
        if (wrap)
            AppendWrapped(element.text, lines);
        else
            lines.push_back(element.text);
    }
    return lines;
}
