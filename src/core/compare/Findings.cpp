#include "Findings.h"

#include "Definitions.h"
#include "LdapElement.h"

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

std::string FieldLine(int tree, const Finding& f) {
    std::string line;
    AppendTreePrefix(line, tree);
    line += ElementTypeLabel(f.kind);
    line += " Definition for ";
    AppendQuoted(line, f.name);
    line += " has ";
    line += f.label;
    line += ": ";
    AppendQuoted(line, tree == 1 ? f.text1 : f.text2);
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
