#include "core/compare/Survey.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "core/Names.h"
#include "core/model/Definitions.h"
#include "core/model/LdapElement.h"

namespace {

constexpr int kClassType = static_cast<int>(ElementType::ObjectClass);
constexpr int kAttributeType = static_cast<int>(ElementType::AttributeType);

void ForEachFinding(const ComparisonFindings& found, const FindingFn& fn) {
    for (const std::optional<Findings>* part : {&found.classes, &found.attributes, &found.elements})
        if (*part)
            for (const Finding& f : **part) fn(f);
}

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Classes first, then attribute types, then the rest in their enum's order.
int TypeRank(int type) {
    if (type == kClassType) return 0;
    if (type == kAttributeType) return 1;
    return 2 + type;
}

bool OnlyInOneTree(const Finding& f) {
    return IsUniqueFinding(f) || f.type == FindingType::UniqueElement;
}

}  // namespace

bool ComparisonFindings::different() const {
    return (classes && !classes->empty()) || (attributes && !attributes->empty()) ||
           (elements && !elements->empty());
}

int FindingElementType(const Finding& f) {
    switch (f.type) {
        case FindingType::UniqueClass:
        case FindingType::ClassFlags:
        case FindingType::ClassItem:
            return kClassType;
        case FindingType::UniqueAttribute:
        case FindingType::AttrDefinition:
            return kAttributeType;
        case FindingType::Field:
        case FindingType::FieldItem:
        case FindingType::SameOid:
        case FindingType::UniqueElement:
        case FindingType::Unpublished:
            return f.kind;
    }
    return f.kind;
}

std::string FindingAspect(const Finding& f) {
    switch (f.type) {
        case FindingType::ClassFlags:
            return "Flags";
        case FindingType::ClassItem:
            return std::string(ClassItemLabel(f.kind));
        case FindingType::AttrDefinition:
            return "Definition";
        case FindingType::Field:
        case FindingType::FieldItem:
            return f.label;
        case FindingType::SameOid:
            return "OID";
        case FindingType::UniqueClass:
        case FindingType::UniqueAttribute:
            return f.builtIn ? "Built into the server" : "";
        default:
            return "";
    }
}

SurveyCounts CountDifferences(const ComparisonFindings& found) {
    // A definition counts once whatever and however much of it differs.
    std::set<std::pair<int, std::string>> seen;
    SurveyCounts counts;
    ForEachFinding(found, [&](const Finding& f) {
        if (f.type == FindingType::Field || f.type == FindingType::FieldItem) ++counts.fields;
        const int type = FindingElementType(f);
        if (!seen.emplace(type, NameKey(f.name)).second) return;
        if (type == kClassType)
            ++counts.classes;
        else if (type == kAttributeType)
            ++counts.attributes;
        else
            ++counts.elements;
    });
    return counts;
}

std::string SurveyVerdict(const SurveyTree& tree) {
    if (!tree.read) return "cannot be read: " + tree.problem;
    const SurveyCounts& c = tree.counts;
    std::vector<std::string> parts;
    if (c.classes) parts.push_back(Counted(c.classes, "class", "classes"));
    if (c.attributes) parts.push_back(Counted(c.attributes, "attribute", "attributes"));
    if (c.elements) parts.push_back(Counted(c.elements, "other element", "other elements"));
    if (c.fields) parts.push_back(Counted(c.fields, "field", "fields"));
    if (parts.empty()) return tree.different ? "differs" : "identical";
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    const bool one = parts.size() == 1 && (c.classes + c.attributes + c.elements + c.fields) == 1;
    return text + (one ? " differs" : " differ");
}

std::string SurveyLine(const SurveyTree& tree) { return tree.label + ": " + SurveyVerdict(tree); }

const char* DriftStateLabel(DriftState state) {
    switch (state) {
        case DriftState::Same:
            return "same";
        case DriftState::Differs:
            return "differs";
        case DriftState::Missing:
            return "missing";
        case DriftState::Extra:
            return "extra";
        case DriftState::Unread:
            return "not read";
        case DriftState::Absent:
            return "absent";
    }
    return "";
}

DriftState DriftRow::state(const SurveyRun& run, std::size_t column) const {
    if (!run.trees[column].read) return DriftState::Unread;
    const DriftCell* found = cell(column);
    return found ? found->state : inBaseline ? DriftState::Same : DriftState::Absent;
}

const DriftCell* DriftRow::cell(std::size_t column) const {
    const auto it =
        std::lower_bound(cells.begin(), cells.end(), column,
                         [](const DriftCell& c, std::size_t wanted) { return c.column < wanted; });
    return it != cells.end() && it->column == column ? &*it : nullptr;
}

std::vector<DriftRow> DriftMatrix(const SurveyRun& run) {
    const std::size_t columns = run.trees.size();
    std::map<std::pair<int, std::string>, DriftRow> rows;
    // The trees are walked in column order, so a row's cell for this tree, when it has one
    // yet, is its last.
    auto cellOf = [](DriftRow& row, std::size_t column) -> DriftCell* {
        return !row.cells.empty() && row.cells.back().column == column ? &row.cells.back()
                                                                       : nullptr;
    };
    for (std::size_t column = 0; column < columns; ++column) {
        if (!run.trees[column].read) continue;
        ForEachFinding(run.trees[column].found, [&](const Finding& f) {
            // A renamed definition shows as one missing and one extra row already.
            if (f.type == FindingType::SameOid || f.type == FindingType::Unpublished) return;
            const int type = FindingElementType(f);
            auto [it, added] = rows.try_emplace({type, NameKey(f.name)});
            DriftRow& row = it->second;
            if (added) {
                row.type = type;
                row.name = f.name;
            } else if (OnlyInOneTree(f) && f.tree == 1) {
                // The baseline's spelling wins over a tree's.
                row.name = f.name;
            }
            DriftCell* cell = cellOf(row, column);
            if (cell == nullptr) {
                cell = &row.cells.emplace_back();
                cell->column = column;
            }
            if (OnlyInOneTree(f)) {
                cell->state = f.tree == 1 ? DriftState::Missing : DriftState::Extra;
                if (f.tree == 2) row.inBaseline = false;
                return;
            }
            cell->state = DriftState::Differs;
            std::string aspect = FindingAspect(f);
            if (std::find(cell->fields.begin(), cell->fields.end(), aspect) == cell->fields.end())
                cell->fields.push_back(std::move(aspect));
        });
    }
    // Each cell's findings, every one about its definition (a shared OID too), in the
    // tree's order: a second walk, as a row may begin after such a finding.
    for (std::size_t column = 0; column < columns; ++column) {
        if (!run.trees[column].read) continue;
        ForEachFinding(run.trees[column].found, [&](const Finding& f) {
            const auto it = rows.find({FindingElementType(f), NameKey(f.name)});
            if (it == rows.end()) return;
            std::vector<DriftCell>& cells = it->second.cells;
            const auto cell = std::lower_bound(
                cells.begin(), cells.end(), column,
                [](const DriftCell& c, std::size_t wanted) { return c.column < wanted; });
            if (cell != cells.end() && cell->column == column) cell->findings.push_back(&f);
        });
    }
    std::vector<DriftRow> matrix;
    matrix.reserve(rows.size());
    for (auto& [key, row] : rows) matrix.push_back(std::move(row));
    // The map already holds each type's rows by name.
    std::stable_sort(matrix.begin(), matrix.end(), [](const DriftRow& a, const DriftRow& b) {
        return TypeRank(a.type) < TypeRank(b.type);
    });
    return matrix;
}
