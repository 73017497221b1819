#include "core/writers/HtmlReport.h"

#include "core/D_Util.h"

#include <QDateTime>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string_view>

#include "core/Names.h"
#include "core/compare/Compare.h"
#include "core/compare/ElementSets.h"
#include "core/model/Definitions.h"

namespace {

const char* const kStyle = R"(
body { font: 14px/1.45 system-ui, "DejaVu Sans", Arial, sans-serif; color: #1d2430;
       margin: 24px 32px; max-width: 1200px; }
h1 { font-size: 22px; margin: 0 0 12px; }
h2 { font-size: 18px; border-bottom: 2px solid #3a6ea5; padding-bottom: 3px; margin-top: 28px; }
h3 { font-size: 15px; margin: 18px 0 6px; }
table { border-collapse: collapse; }
th, td { text-align: left; vertical-align: top; padding: 4px 10px; border: 1px solid #c9d1dc; }
th { background: #eef2f7; font-weight: 600; }
table.meta th { width: 7em; }
table.meta td.source { color: #4a5566; }
table.summary td { text-align: right; min-width: 6em; font-variant-numeric: tabular-nums; }
table.summary td.nonzero a { font-weight: 700; }
table.diff { width: 100%; margin: 6px 0 16px; table-layout: fixed; }
table.diff caption { text-align: left; font-weight: 700; padding: 4px 0; }
table.diff th.kind { width: 13em; }
table.diff td { word-wrap: break-word; }
td.t1 { background: #fdf3f2; }
td.t2 { background: #f1f8f1; }
td.def { white-space: pre-wrap; font-family: "DejaVu Sans Mono", monospace; font-size: 13px; }
mark { background: #ffd54a; font-weight: 700; padding: 0 1px; }
ul.names { columns: 3 18em; margin: 4px 0; padding-left: 20px; }
ul.names li { break-inside: avoid; }
.none { color: #6b7686; font-style: italic; }
.empty { color: #6b7686; font-style: italic; }
.alt { color: #6b7686; }
.ctl { font-family: monospace; font-size: 11px; border: 1px solid #c9a0a0; color: #8a2020;
       padding: 0 2px; margin: 0 1px; }
a { color: #245a94; }
footer { margin-top: 32px; color: #6b7686; font-size: 12px; }
@media print {
  body { margin: 0; font-size: 11pt; max-width: none; }
  a { color: inherit; text-decoration: none; }
  table.diff, tr { break-inside: avoid; }
  h2, h3 { break-after: avoid; }
  details > ul { display: block; }
}
)";

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendEscapedCodePoint(std::string& out, char32_t cp) {
    switch (cp) {
        case '&':
            out += "&amp;";
            return;
        case '<':
            out += "&lt;";
            return;
        case '>':
            out += "&gt;";
            return;
        case '"':
            out += "&quot;";
            return;
        case '\'':
            out += "&#39;";
            return;
        default:
            break;
    }
    // Control characters would be invisible or, as character references, be read as other
    // characters (HTML maps &#x80; to the euro sign): they are shown by their number.
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) {
        char text[40];
        std::snprintf(text, sizeof text, "<span class=\"ctl\">U+%04X</span>",
                      static_cast<unsigned>(cp));
        out += text;
        return;
    }
    AppendUtf8(out, cp);
}

void AppendText(std::string& out, std::string_view bytes) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        for (const char c : bytes) AppendEscapedCodePoint(out, static_cast<unsigned char>(c));
        return;
    }
    for (const char32_t cp : DecodeName(bytes).toUcs4()) AppendEscapedCodePoint(out, cp);
}

std::string Text(std::string_view bytes) {
    std::string out;
    AppendText(out, bytes);
    return out;
}

// The text with the parts its finding marked as differing; the blanks stay as they are.
std::string Marked(std::string_view text, const std::vector<ByteSpan>& marks) {
    std::string out;
    std::size_t pos = 0;
    for (const ByteSpan& m : marks) {
        if (m.start < pos || m.start + m.length > text.size()) continue;
        AppendText(out, text.substr(pos, m.start - pos));
        out += "<mark>";
        AppendText(out, text.substr(m.start, m.length));
        out += "</mark>";
        pos = m.start + m.length;
    }
    AppendText(out, text.substr(pos));
    return out;
}

std::string MarkedDefinition(std::string_view text, const std::vector<ByteSpan>& marks) {
    if (text.empty()) return "<span class=\"empty\">(no definition)</span>";
    return Marked(text, marks);
}

struct PartNames {
    const char* id;     // "classes"
    const char* title;  // "Classes"
    const char* one;    // "class"
};

void WriteNameList(std::string& out, const NameList& names, const NameList* spelling2) {
    if (names.empty()) {
        out += "<p class=\"none\">None</p>\n";
        return;
    }
    out += "<ul class=\"names\">\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        out += "<li>";
        AppendText(out, names[i].name);
        if (spelling2 && i < spelling2->size() && (*spelling2)[i].name != names[i].name) {
            out += " <span class=\"alt\">(Tree #2: ";
            AppendText(out, (*spelling2)[i].name);
            out += ")</span>";
        }
        out += "</li>\n";
    }
    out += "</ul>\n";
}

// One common name's findings, in their order.
struct Group {
    std::string name;
    int element = 0;  // the ElementType of what the findings are about
    std::vector<const Finding*> findings;
};

int ElementOfFinding(const Finding& f) {
    switch (f.type) {
        case FindingType::ClassFlags:
        case FindingType::ClassItem:
            return static_cast<int>(ElementType::ObjectClass);
        case FindingType::AttrDefinition:
            return static_cast<int>(ElementType::AttributeType);
        default:
            return f.kind;
    }
}

// Whether the finding is about a definition both trees have (not a name one tree lacks).
bool IsDefinitionFinding(const Finding& f) {
    return !IsUniqueFinding(f) && f.type != FindingType::SameOid &&
           f.type != FindingType::UniqueElement && f.type != FindingType::Unpublished;
}

std::vector<Group> DefinitionGroups(const Findings& findings) {
    std::vector<Group> groups;
    for (const Finding& f : findings) {
        if (!IsDefinitionFinding(f)) continue;
        // A flags finding or a definition pair opens a class's or attribute's findings;
        // item and field findings of one definition come together.
        const int element = ElementOfFinding(f);
        const bool opens = f.type == FindingType::ClassFlags ||
                           f.type == FindingType::AttrDefinition || groups.empty() ||
                           groups.back().name != f.name || groups.back().element != element;
        if (opens) groups.push_back({f.name, element, {}});
        groups.back().findings.push_back(&f);
    }
    return groups;
}

void WriteFieldHeading(std::string& out) {
    out += "<tr><th class=\"kind\">Differs in</th><th>Tree #1</th><th>Tree #2</th></tr>\n";
}

void WriteFieldValue(std::string& out, const char* cls, const Finding& f, int tree) {
    out += "<td class=\"";
    out += cls;
    out += "\">";
    const std::string& value = tree == 1 ? f.text1 : f.text2;
    const std::string& from = tree == 1 ? f.from1 : f.from2;
    if (tree == 1 ? f.none1 : f.none2)
        out += "<span class=\"empty\">(none)</span>";
    else if (value.empty())
        out += f.type == FindingType::Field ? "<span class=\"empty\">(empty)</span>"
                                            : "<span class=\"empty\">-</span>";
    else
        out += Marked(value, tree == 1 ? f.marks1 : f.marks2);
    if (!from.empty()) {
        out += " <span class=\"alt\">(from ";
        AppendText(out, from);
        out += ")</span>";
    }
    out += "</td>";
}

// A published field that differs: its label, Tree #1's value beside Tree #2's.
void WriteFieldRow(std::string& out, const Finding& f) {
    out += "<tr class=\"field-row\"><th class=\"kind\">";
    AppendText(out, f.label);
    out += "</th>";
    WriteFieldValue(out, "t1", f, 1);
    WriteFieldValue(out, "t2", f, 2);
    out += "</tr>\n";
}

// flags: the flags finding, whose marks show the flag words the other lacks.
void WriteItemCell(std::string& out, const char* cls, const std::vector<std::string_view>& items,
                   const Finding* flags = nullptr, int tree = 0) {
    out += "<td class=\"";
    out += cls;
    out += "\">";
    if (items.empty()) out += "<span class=\"empty\">-</span>";
    for (std::string_view item : items) {
        out += "<div class=\"item\">";
        if (item.empty())
            out += "<span class=\"empty\">(empty)</span>";
        else if (flags)
            out += Marked(item, tree == 1 ? flags->marks1 : flags->marks2);
        else
            AppendText(out, item);
        out += "</div>";
    }
    out += "</td>";
}

// The published fields of one definition in their order: a value pair a row, the list
// items one tree names and the other does not a row a label.
void WriteFieldRows(std::string& out, const std::vector<const Finding*>& findings) {
    std::vector<std::string> done;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = *findings[i];
        if (f.type == FindingType::Field) {
            WriteFieldRow(out, f);
            continue;
        }
        if (f.type != FindingType::FieldItem) continue;
        if (std::find(done.begin(), done.end(), f.label) != done.end()) continue;
        done.push_back(f.label);
        std::vector<std::string_view> items1;
        std::vector<std::string_view> items2;
        for (std::size_t j = i; j < findings.size(); ++j)
            if (findings[j]->type == FindingType::FieldItem && findings[j]->label == f.label)
                (findings[j]->tree == 1 ? items1 : items2).push_back(findings[j]->text1);
        out += "<tr class=\"kind-row\"><th class=\"kind\">";
        AppendText(out, f.label);
        out += "</th>";
        WriteItemCell(out, "t1", items1);
        WriteItemCell(out, "t2", items2);
        out += "</tr>\n";
    }
}

void WriteClassGroup(std::string& out, const Group& group, std::size_t number) {
    out += "<table class=\"diff class-diff\" id=\"class-" + std::to_string(number) + "\">\n";
    out += "<caption>";
    AppendText(out, group.name);
    out +=
        "</caption>\n<tr><th class=\"kind\">Differs in</th><th>Tree #1</th><th>Tree #2</th></tr>\n";
    // Row -1 is the flags; rows 0 to 6 the item kinds, in that order.
    std::map<int, std::pair<std::vector<std::string_view>, std::vector<std::string_view>>> rows;
    std::vector<const Finding*> fields;
    const Finding* flags = nullptr;
    for (const Finding* f : group.findings) {
        if (f->type == FindingType::Field || f->type == FindingType::FieldItem) {
            fields.push_back(f);
        } else if (f->type == FindingType::ClassFlags) {
            flags = f;
            rows[-1].first.push_back(f->text1);
            rows[-1].second.push_back(f->text2);
        } else {
            auto& row = rows[f->kind];
            (f->tree == 1 ? row.first : row.second).push_back(f->text1);
        }
    }
    for (const auto& [kind, items] : rows) {
        out += "<tr class=\"kind-row\"><th class=\"kind\">";
        out += kind < 0 ? std::string_view("Flags") : ClassItemLabel(kind);
        out += "</th>";
        WriteItemCell(out, "t1", items.first, kind < 0 ? flags : nullptr, 1);
        WriteItemCell(out, "t2", items.second, kind < 0 ? flags : nullptr, 2);
        out += "</tr>\n";
    }
    WriteFieldRows(out, fields);
    out += "</table>\n";
}

void WriteAttrGroup(std::string& out, const Group& group, std::size_t number) {
    out += "<table class=\"diff attr-diff\" id=\"attribute-" + std::to_string(number) + "\">\n";
    out += "<caption>";
    AppendText(out, group.name);
    out += "</caption>\n";
    std::vector<const Finding*> fields;
    for (const Finding* f : group.findings)
        if (f->type == FindingType::Field || f->type == FindingType::FieldItem) fields.push_back(f);
    // Beside field rows, a definition spans both value columns.
    const char* span = fields.empty() ? "" : " colspan=\"2\"";
    for (const Finding* f : group.findings) {
        if (f->type != FindingType::AttrDefinition) continue;
        out += "<tr><th class=\"kind\">Tree #1</th><td class=\"def t1\"";
        out += span;
        out += ">";
        out += MarkedDefinition(f->text1, f->marks1);
        out += "</td></tr>\n<tr><th class=\"kind\">Tree #2</th><td class=\"def t2\"";
        out += span;
        out += ">";
        out += MarkedDefinition(f->text2, f->marks2);
        out += "</td></tr>\n";
    }
    if (!fields.empty()) WriteFieldHeading(out);
    WriteFieldRows(out, fields);
    out += "</table>\n";
}

void WriteCount(std::string& out, const char* cls, std::size_t count, const std::string& target) {
    out += "<td class=\"";
    out += cls;
    if (count > 0) out += " nonzero";
    out += "\"><a href=\"#" + target + "\">" + std::to_string(count) + "</a></td>";
}

struct Counts {
    std::size_t unique1 = 0;
    std::size_t common = 0;
    std::size_t unique2 = 0;
};

void WriteSummaryRow(std::string& out, const PartNames& names, const Counts& counts, bool compared,
                     std::size_t groups) {
    const std::string id = names.id;
    out += "<tr id=\"summary-" + id + "\"><th>" + names.title + "</th>";
    WriteCount(out, "unique1", counts.unique1, id + "-unique1");
    WriteCount(out, "common", counts.common, id + "-common");
    WriteCount(out, "unique2", counts.unique2, id + "-unique2");
    if (compared)
        WriteCount(out, "different", groups, id + "-different");
    else
        out += "<td class=\"different none\">not compared</td>";
    out += "</tr>\n";
}

Counts CountsOf(const ReportPart& part) {
    return {part.names.unique1.size(), part.names.common.size(), part.names.unique2.size()};
}

// Names one tree has whose OID the other tree publishes under another name, as the
// comparison's lines say it.
void WriteSameOids(std::string& out, const std::string& id, const Findings& findings) {
    std::vector<std::string> lines;
    for (const Finding& f : findings)
        if (f.type == FindingType::SameOid) AppendFindingLines(f, lines);
    out += "<section id=\"" + id + "-same-oid\">\n<h3>Unique names with the other tree's OID (" +
           std::to_string(lines.size()) + ")</h3>\n";
    if (lines.empty()) {
        out += "<p class=\"none\">None</p>\n";
    } else {
        out += "<ul class=\"same-oid\">\n";
        for (const std::string& line : lines) out += "<li>" + Text(line) + "</li>\n";
        out += "</ul>\n";
    }
    out += "</section>\n";
}

void WritePart(std::string& out, const PartNames& names, const ReportPart& part, bool compared,
               bool published, const std::vector<Group>& groups) {
    const std::string id = names.id;
    out += "<section id=\"" + id + "\">\n<h2>" + names.title + "</h2>\n";
    auto heading = [&](const std::string& suffix, const std::string& title, std::size_t count) {
        out += "<section id=\"" + id + "-" + suffix + "\">\n<h3>" + title + " (" +
               std::to_string(count) + ")</h3>\n";
    };
    heading("unique1", "Unique to Tree #1", part.names.unique1.size());
    WriteNameList(out, part.names.unique1, nullptr);
    out += "</section>\n";
    heading("unique2", "Unique to Tree #2", part.names.unique2.size());
    WriteNameList(out, part.names.unique2, nullptr);
    out += "</section>\n";
    if (compared && published) WriteSameOids(out, id, part.findings);
    if (compared) {
        heading("different", "Common but defined otherwise", groups.size());
        if (groups.empty()) out += "<p class=\"none\">None</p>\n";
        for (std::size_t i = 0; i < groups.size(); ++i) {
            if (id == "classes")
                WriteClassGroup(out, groups[i], i + 1);
            else
                WriteAttrGroup(out, groups[i], i + 1);
        }
        out += "</section>\n";
    }
    heading("common", "Common", part.names.common.size());
    if (part.names.common.empty()) {
        out += "<p class=\"none\">None</p>\n";
    } else {
        out += "<details><summary>The " + std::to_string(part.names.common.size()) + " common " +
               (part.names.common.size() == 1 ? std::string(names.one) : id) +
               ", as Tree #1 writes them</summary>\n";
        WriteNameList(out, part.names.common, &part.names.common2);
        out += "</details>\n";
    }
    out += "</section>\n</section>\n";
}

void WriteElementList(std::string& out, const std::vector<ReportElement>& elements) {
    if (elements.empty()) {
        out += "<p class=\"none\">None</p>\n";
        return;
    }
    out += "<ul class=\"names\">\n";
    for (const ReportElement& e : elements) {
        out += "<li><span class=\"alt\">" + ElementTypeLabel(e.kind) + "</span> ";
        AppendText(out, e.name);
        out += "</li>\n";
    }
    out += "</ul>\n";
}

std::vector<ReportElement> UniqueElements(const ReportElements& elements, int tree) {
    std::vector<ReportElement> out;
    for (const Finding& f : elements.findings)
        if (f.type == FindingType::UniqueElement && f.tree == tree) out.push_back({f.kind, f.name});
    return out;
}

Counts CountsOf(const ReportElements& elements) {
    return {UniqueElements(elements, 1).size(), elements.common.size(),
            UniqueElements(elements, 2).size()};
}

void WriteElements(std::string& out, const ReportElements& elements,
                   const std::vector<Group>& groups) {
    out += "<section id=\"elements\">\n<h2>Other schema elements</h2>\n";
    std::vector<std::string> unpublished;
    for (const Finding& f : elements.findings)
        if (f.type == FindingType::Unpublished) AppendFindingLines(f, unpublished);
    if (!unpublished.empty()) {
        out += "<ul class=\"unpublished\">\n";
        for (const std::string& line : unpublished) out += "<li>" + Text(line) + "</li>\n";
        out += "</ul>\n";
    }
    auto heading = [&](const std::string& suffix, const std::string& title, std::size_t count) {
        out += "<section id=\"elements-" + suffix + "\">\n<h3>" + title + " (" +
               std::to_string(count) + ")</h3>\n";
    };
    for (int tree = 1; tree <= 2; ++tree) {
        const std::vector<ReportElement> unique = UniqueElements(elements, tree);
        heading("unique" + std::to_string(tree), "Unique to Tree #" + std::to_string(tree),
                unique.size());
        WriteElementList(out, unique);
        out += "</section>\n";
    }
    heading("different", "Common but defined otherwise", groups.size());
    if (groups.empty()) out += "<p class=\"none\">None</p>\n";
    for (std::size_t i = 0; i < groups.size(); ++i) {
        out += "<table class=\"diff element-diff\" id=\"element-" + std::to_string(i + 1) +
               "\">\n<caption><span class=\"alt\">" + ElementTypeLabel(groups[i].element) +
               "</span> ";
        AppendText(out, groups[i].name);
        out += "</caption>\n";
        WriteFieldHeading(out);
        WriteFieldRows(out, groups[i].findings);
        out += "</table>\n";
    }
    out += "</section>\n";
    heading("common", "Common", elements.common.size());
    if (elements.common.empty()) {
        out += "<p class=\"none\">None</p>\n";
    } else {
        out += "<details><summary>The " + std::to_string(elements.common.size()) +
               " elements both trees publish under one OID</summary>\n";
        WriteElementList(out, elements.common);
        out += "</details>\n";
    }
    out += "</section>\n</section>\n";
}

void WriteFieldsLeftOut(std::string& out, const std::vector<std::string>& labels) {
    out += "<p class=\"left-out\" id=\"left-out\">";
    if (labels.empty()) {
        out += "Every field of the published definitions was compared.";
    } else {
        out += "Fields of the published definitions left out of the comparison: ";
        for (std::size_t i = 0; i < labels.size(); ++i) {
            if (i > 0) out += ", ";
            AppendText(out, labels[i]);
        }
        out += ".";
    }
    out += "</p>\n";
}

// What a tree's source gave that takes no part, tree by tree; nothing when all took part.
void WriteDefinitionsLeftOut(std::string& out, const ReportTree (&trees)[2]) {
    constexpr std::size_t kListed = 1000;
    if (trees[0].leftOut.empty() && trees[1].leftOut.empty()) return;
    out +=
        "<h2 id=\"left-out\">Definitions left out</h2>\n<p>These definitions do not parse, or "
        "repeat a name, and take no part in the comparison.</p>\n";
    for (int t = 0; t < 2; ++t) {
        const std::vector<std::string>& lines = trees[t].leftOut;
        if (lines.empty()) continue;
        out += "<h3>Tree #" + std::to_string(t + 1) + ": " + Text(trees[t].name) + " (" +
               std::to_string(lines.size()) + ")</h3>\n<ul class=\"left-out\">\n";
        for (std::size_t i = 0; i < lines.size() && i < kListed; ++i)
            out += "<li><code>" + Text(lines[i]) + "</code></li>\n";
        if (lines.size() > kListed)
            out += "<li>and " + std::to_string(lines.size() - kListed) + " more</li>\n";
        out += "</ul>\n";
    }
}

}  // namespace

bool HasPublishedDefinitions(Workspace& ws) {
    for (int t = 1; t <= 2; ++t)
        if (ws.tree(t).Schema && !ws.tree(t).Schema->published.empty()) return true;
    return false;
}

ReportElements ReportElementsOf(Workspace& ws, Findings findings) {
    ReportElements elements;
    elements.findings = std::move(findings);
    const std::shared_ptr<const TreeSchema>& one = ws.tree(1).Schema;
    const std::shared_ptr<const TreeSchema>& two = ws.tree(2).Schema;
    if (!one || !two) return elements;
    for (ElementType type : kOtherElementTypes) {
        if (!one->published.publishes(type) || !two->published.publishes(type)) continue;
        std::set<std::string> seen;
        for (const LdapElement& e : one->published.of(type)) {
            const std::string key = AsciiLower(e.oid);
            const LdapElement* other = two->published.find(type, e.oid);
            if (other == nullptr || AsciiLower(other->oid) != key || !seen.insert(key).second)
                continue;
            elements.common.push_back({static_cast<int>(type), ElementShownName(e)});
        }
    }
    return elements;
}

std::string HtmlText(const std::string& bytes) { return Text(bytes); }

std::string HtmlReport(const ReportInput& in) {
    const PartNames classNames{"classes", "Classes", "class"};
    const PartNames attrNames{"attributes", "Attributes", "attribute"};
    const std::vector<Group> classGroups =
        in.classes ? DefinitionGroups(in.classes->findings) : std::vector<Group>{};
    const std::vector<Group> attrGroups =
        in.attributes ? DefinitionGroups(in.attributes->findings) : std::vector<Group>{};
    const PartNames elementNames{"elements", "Other elements", "element"};
    const std::vector<Group> elementGroups =
        in.elements ? DefinitionGroups(in.elements->findings) : std::vector<Group>{};
    const bool published = in.fieldsLeftOut.has_value();

    std::string out;
    out.reserve(1 << 16);
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n";
    out += "<meta name=\"viewport\" content=\"width=device-width\" />\n<title>";
    out += "Schema comparison: " + Text(in.trees[0].name) + " and " + Text(in.trees[1].name);
    out += "</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<header>\n<h1>Schema comparison";
    if (!in.definitionsCompared) out += " (names only)";
    out += "</h1>\n<table class=\"meta\">\n";
    for (int t = 0; t < 2; ++t) {
        out += "<tr id=\"tree" + std::to_string(t + 1) + "\"><th>Tree #" + std::to_string(t + 1) +
               "</th><td class=\"tree\">" + Text(in.trees[t].name) + "</td><td class=\"source\">" +
               Text(in.trees[t].source) + "</td></tr>\n";
    }
    out += "<tr><th>Made</th><td colspan=\"2\" class=\"made\">" + Text(in.madeAt) + "</td></tr>\n";
    out += "<tr><th>By</th><td colspan=\"2\" class=\"program\">" + Text(in.program) +
           "</td></tr>\n</table>\n</header>\n";

    out +=
        "<h2>Summary</h2>\n<table class=\"summary\" id=\"summary\">\n<tr><th></th>"
        "<th>Unique to Tree #1</th><th>Common</th><th>Unique to Tree #2</th>"
        "<th>Common but defined otherwise</th></tr>\n";
    if (in.classes)
        WriteSummaryRow(out, classNames, CountsOf(*in.classes), in.definitionsCompared,
                        classGroups.size());
    if (in.attributes)
        WriteSummaryRow(out, attrNames, CountsOf(*in.attributes), in.definitionsCompared,
                        attrGroups.size());
    if (in.elements)
        WriteSummaryRow(out, elementNames, CountsOf(*in.elements), true, elementGroups.size());
    out += "</table>\n";
    if (published && in.definitionsCompared) WriteFieldsLeftOut(out, *in.fieldsLeftOut);
    WriteDefinitionsLeftOut(out, in.trees);

    if (in.classes)
        WritePart(out, classNames, *in.classes, in.definitionsCompared, published, classGroups);
    if (in.attributes)
        WritePart(out, attrNames, *in.attributes, in.definitionsCompared, published, attrGroups);
    if (in.elements) WriteElements(out, *in.elements, elementGroups);
    out += "<footer>" + Text(in.program) + "</footer>\n</body>\n</html>\n";
    return out;
}

ReportTree ReportTreeOf(const TTreeInfo& slot, const std::string& liveHow) {
    ReportTree tree;
    tree.name = slot.TreeName;
    tree.source = SlotSourceText(slot, liveHow);
    if (slot.Schema)
        for (const SkippedDefinition& s : slot.Schema->skipped)
            tree.leftOut.push_back((s.place.empty() ? std::string() : s.place + ": ") + s.text +
                                   ": " + s.reason);
    return tree;
}

ReportPart ReportPartOf(const NameList& names1, const NameList& names2, Findings findings) {
    ReportPart part;
    part.names = QuickCheckNames(names1, names2);
    SortQuickCheckLists(part.names);
    part.findings = std::move(findings);
    return part;
}

std::string ReportTimestamp() {
    return QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd HH:mm:ss 'UTC'").toStdString();
}
