#include "core/compare/Findings.h"

#include <algorithm>

#include "core/model/Definitions.h"
#include "core/model/LdapElement.h"

namespace {

void AppendTreePrefix(std::string& line, int tree) {
    line += "Tree #";
    line += std::to_string(tree);
    line += " - ";
}

void AppendQuoted(std::string& line, const std::string& text) {
    line += '"';
    line += text;
    line += '"';
}

std::string ClassLine(int tree, const std::string& className, const std::string& label,
                      const std::string& item) {
    std::string line;
    line.reserve(48 + className.size() + label.size() + item.size());
    AppendTreePrefix(line, tree);
    line += "Class Definition for ";
    AppendQuoted(line, className);
    line += " has ";
    line += label;
    line += ": ";
    AppendQuoted(line, item);
    return line;
}

std::string AttrLine(int tree, const std::string& attrName, const std::string& definition) {
    std::string line;
    line.reserve(48 + attrName.size() + definition.size());
    AppendTreePrefix(line, tree);
    line += "Attribute Definition for ";
    AppendQuoted(line, attrName);
    line += ": ";
    AppendQuoted(line, definition);
    return line;
}

// A name one tree has; builtIn: a server's own, against the files it runs.
std::string UniqueLine(int tree, const char* what, const std::string& name, bool builtIn = false) {
    std::string line;
    AppendTreePrefix(line, tree);
    line += builtIn ? "Built into the server, not in the files: " : "Unique ";
    line += what;
    line += builtIn ? " " : ": ";
    AppendQuoted(line, name);
    return line;
}

// valueAt: where the value's first byte lands, for marks.
std::string FieldLine(int tree, const Finding& f, std::size_t* valueAt = nullptr) {
    std::string line;
    AppendTreePrefix(line, tree);
    line += ElementTypeLabel(f.kind);
    line += " Definition for ";
    AppendQuoted(line, f.name);
    line += " has ";
    line += f.label;
    line += ": ";
    const bool second = tree == 2 && f.type == FindingType::Field;
    if (second ? f.none2 : f.none1) {
        line += "(none)";
        return line;
    }
    if (valueAt) *valueAt = line.size() + 1;
    AppendQuoted(line, second ? f.text2 : f.text1);
    const std::string& from = second ? f.from2 : f.from1;
    if (!from.empty()) {
        line += " (from ";
        line += from;
        line += ')';
    }
    return line;
}

std::string PluralLabel(int kind) {
    std::string label = ElementTypeLabel(kind);
    return label == "Syntax" ? "Syntaxes" : label + "s";
}

std::string UnpublishedLine(const Finding& f) {
    std::string line;
    AppendTreePrefix(line, f.tree);
    line += "Publishes no ";
    line += PluralLabel(f.kind);
    line += "; Tree #";
    line += f.tree == 1 ? '2' : '1';
    line += " publishes ";
    line += f.text1;
    return line;
}

std::string SameOidLine(const Finding& f) {
    std::string line;
    AppendTreePrefix(line, f.tree);
    line += ElementTypeLabel(f.kind);
    line += ' ';
    AppendQuoted(line, f.name);
    line += " has the OID of Tree #";
    line += f.tree == 1 ? '2' : '1';
    line += "'s ";
    AppendQuoted(line, f.text1);
    line += ": ";
    AppendQuoted(line, f.text2);
    return line;
}

}  // namespace

std::string ElementTypeLabel(int elementType) {
    switch (static_cast<ElementType>(elementType)) {
        case ElementType::AttributeType:
            return "Attribute";
        case ElementType::ObjectClass:
            return "Class";
        case ElementType::LdapSyntax:
            return "Syntax";
        case ElementType::MatchingRule:
            return "Matching Rule";
        case ElementType::MatchingRuleUse:
            return "Matching Rule Use";
        case ElementType::DitContentRule:
            return "DIT Content Rule";
        case ElementType::DitStructureRule:
            return "DIT Structure Rule";
        case ElementType::NameForm:
            return "Name Form";
    }
    return "Element";
}

bool IsClassFinding(const Finding& finding) {
    switch (finding.type) {
        case FindingType::UniqueClass:
        case FindingType::ClassFlags:
        case FindingType::ClassItem:
            return true;
        case FindingType::Field:
        case FindingType::FieldItem:
        case FindingType::SameOid:
            return finding.kind == static_cast<int>(ElementType::ObjectClass);
        default:
            return false;
    }
}

bool IsUniqueFinding(const Finding& finding) {
    return finding.type == FindingType::UniqueClass || finding.type == FindingType::UniqueAttribute;
}

void AppendFindingLines(const Finding& f, std::vector<std::string>& out) {
    switch (f.type) {
        case FindingType::UniqueClass:
            out.push_back(UniqueLine(f.tree, "Class", f.name, f.builtIn));
            return;
        case FindingType::UniqueAttribute:
            out.push_back(UniqueLine(f.tree, "Attribute", f.name, f.builtIn));
            return;
        case FindingType::ClassFlags:
            out.push_back(ClassLine(1, f.name, "Flags", f.text1));
            out.push_back(ClassLine(2, f.name, "Flags", f.text2));
            return;
        case FindingType::ClassItem:
            out.push_back(ClassLine(f.tree, f.name, std::string(ClassItemLabel(f.kind)), f.text1));
            return;
        case FindingType::AttrDefinition:
            out.push_back(AttrLine(1, f.name, f.text1));
            out.push_back(AttrLine(2, f.name, f.text2));
            return;
        case FindingType::Field:
            out.push_back(FieldLine(1, f));
            out.push_back(FieldLine(2, f));
            return;
        case FindingType::SameOid:
            out.push_back(SameOidLine(f));
            return;
        case FindingType::UniqueElement:
            out.push_back(UniqueLine(f.tree, ElementTypeLabel(f.kind).c_str(), f.name));
            return;
        case FindingType::FieldItem:
            out.push_back(FieldLine(f.tree, f));
            return;
        case FindingType::Unpublished:
            out.push_back(UnpublishedLine(f));
            return;
    }
}

std::string FieldValueText(const Finding& f, int tree) {
    if (tree == 1 ? f.none1 : f.none2) return "(none)";
    std::string text = tree == 1 ? f.text1 : f.text2;
    const std::string& from = tree == 1 ? f.from1 : f.from2;
    if (!from.empty()) text += " (from " + from + ")";
    return text;
}

bool IsPairFinding(const Finding& finding) {
    return finding.type == FindingType::ClassFlags || finding.type == FindingType::AttrDefinition ||
           finding.type == FindingType::Field;
}

std::vector<MarkedBytes> MarkedFindingBytes(const Finding& f) {
    std::vector<MarkedBytes> out;
    const auto shifted = [](const std::vector<ByteSpan>& marks, std::size_t by) {
        std::vector<ByteSpan> spans = marks;
        for (ByteSpan& s : spans) s.start += by;
        return spans;
    };
    // Pair lines end with their quoted value, unless a field's says where it came from.
    const auto pairLine = [&](int tree, std::string line, std::size_t valueAt) {
        const std::vector<ByteSpan>& marks = tree == 1 ? f.marks1 : f.marks2;
        out.push_back({std::move(line), tree, shifted(marks, valueAt)});
    };
    if (f.type == FindingType::Field) {
        for (int tree = 1; tree <= 2; ++tree) {
            std::size_t at = 0;
            std::string line = FieldLine(tree, f, &at);
            if (at == 0) {
                out.push_back({std::move(line), tree, {}});
                continue;
            }
            pairLine(tree, std::move(line), at);
        }
        return out;
    }
    std::vector<std::string> lines;
    AppendFindingLines(f, lines);
    if (IsPairFinding(f) && lines.size() == 2) {
        const std::size_t at1 = lines[0].size() - 1 - f.text1.size();
        const std::size_t at2 = lines[1].size() - 1 - f.text2.size();
        pairLine(1, std::move(lines[0]), at1);
        pairLine(2, std::move(lines[1]), at2);
        return out;
    }
    for (std::string& line : lines) out.push_back({std::move(line), f.tree, {}});
    return out;
}

namespace {

std::vector<std::string_view> Words(std::string_view text, bool blanksPart) {
    std::vector<std::string_view> words;
    int depth = 0;
    bool inFlags = false;  // between the brackets, where backslashes alone part the flags
    std::size_t start = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (depth == 0 && (c == '[' || c == ']')) inFlags = c == '[';
        // A blank before a parenthesis belongs to the word: "Sized (1-64)".
        const bool blank = blanksPart && !inFlags && (c == ' ' || c == '\t') &&
                           !(i + 1 < text.size() && text[i + 1] == '(');
        const bool parts = depth == 0 && (blank || c == '\\' || c == '[' || c == ']');
        if (parts) {
            if (start != std::string_view::npos) words.push_back(text.substr(start, i - start));
            start = std::string_view::npos;
        } else if (start == std::string_view::npos) {
            start = i;
        }
    }
    if (start != std::string_view::npos) words.push_back(text.substr(start));
    return words;
}

}  // namespace

std::vector<ByteSpan> MissingWords(std::string_view text, std::string_view other, bool blanksPart) {
    std::vector<std::string_view> theirs = Words(other, blanksPart);
    std::vector<ByteSpan> out;
    for (std::string_view word : Words(text, blanksPart)) {
        const auto found = std::find(theirs.begin(), theirs.end(), word);
        if (found != theirs.end()) {
            theirs.erase(found);
            continue;
        }
        out.push_back({static_cast<std::size_t>(word.data() - text.data()), word.size()});
    }
    return out;
}

void AppendFindingText(const Finding& finding, std::string& text) {
    std::vector<std::string> lines;
    AppendFindingLines(finding, lines);
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
}
