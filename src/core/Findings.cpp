#include "Findings.h"

#include "Definitions.h"

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

std::string UniqueLine(int tree, const char* what, const std::string& name) {
    std::string line;
    AppendTreePrefix(line, tree);
    line += "Unique ";
    line += what;
    line += ": ";
    AppendQuoted(line, name);
    return line;
}

}  // namespace

bool IsClassFinding(const Finding& finding) {
    return finding.type == FindingType::UniqueClass || finding.type == FindingType::ClassFlags ||
           finding.type == FindingType::ClassItem;
}

bool IsUniqueFinding(const Finding& finding) {
    return finding.type == FindingType::UniqueClass || finding.type == FindingType::UniqueAttribute;
}

void AppendFindingLines(const Finding& f, std::vector<std::string>& out) {
    switch (f.type) {
        case FindingType::UniqueClass:
            out.push_back(UniqueLine(f.tree, "Class", f.name));
            return;
        case FindingType::UniqueAttribute:
            out.push_back(UniqueLine(f.tree, "Attribute", f.name));
            return;
        case FindingType::ClassFlags:
            out.push_back(ClassLine(1, f.name, "Flags", f.text1));
            out.push_back(ClassLine(2, f.name, "Flags", f.text2));
            return;
        case FindingType::ClassItem:
            out.push_back(ClassLine(f.tree, f.name, ClassItemLabel(f.kind), f.text1));
            return;
        case FindingType::AttrDefinition:
            out.push_back(AttrLine(1, f.name, f.text1));
            out.push_back(AttrLine(2, f.name, f.text2));
            return;
    }
}

void AppendFindingText(const Finding& finding, std::string& text) {
    std::vector<std::string> lines;
    AppendFindingLines(finding, lines);
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
}
