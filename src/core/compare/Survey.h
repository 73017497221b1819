// A survey: many trees, each compared with one baseline. The verdict each tree gets, the
// counts behind it and the drift matrix (one row per definition that differs anywhere,
// one column per tree) are worked out here, so every output format says the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/compare/Findings.h"

struct SurveySource {
    std::string name;    // the tree's name
    std::string source;  // the schema file's path, or "live" and how it was reached
    bool live = false;
    std::string file;           // the file's path as loaded, for a file
    std::string kind = "file";  // as JSON names it: "live", "file", "ldif", "schema-files"
};

// How many definitions differ: each class or attribute counts once however many of its
// items differ; fields are the published fields that differ, over every element type.
struct SurveyCounts {
    std::size_t classes = 0;
    std::size_t attributes = 0;
    std::size_t elements = 0;  // other element types (matching rules, syntaxes, ...)
    std::size_t fields = 0;
};

struct SurveyTree {
    std::string operand;  // as given
    std::string label;    // what its line begins with: the live tree's name, else the operand
    bool read = false;
    std::string problem;  // why it cannot be read, when it cannot
    SurveySource source;  // once read
    SurveyCounts counts;
    bool different = false;
    ComparisonFindings found;  // let go once written, unless a format needs them at the end
    // What the client said while the tree was read or compared (a schema read with gaps).
    std::vector<std::string> notices;
};

struct SurveyRun {
    std::string baselineOperand;
    SurveySource baseline;
    std::vector<SurveyTree> trees;
    bool details = false;  // text: each differing tree's lines after the verdicts
    std::string madeAt;
    std::string program;
    // Only when the baseline has published definitions: the fields left out.
    std::optional<std::vector<std::string>> fieldsLeftOut;
};

SurveyCounts CountDifferences(const ComparisonFindings& found);
// "identical", "2 classes, 5 attributes, 3 fields differ", "cannot be read: why".
std::string SurveyVerdict(const SurveyTree& tree);
// "LAB-03: 2 classes, 5 attributes, 3 fields differ".
std::string SurveyLine(const SurveyTree& tree);

enum class DriftState : std::uint8_t {
    Same,     // the tree has it as the baseline has it
    Differs,  // both have it; fields lists what differs
    Missing,  // the baseline has it, the tree does not
    Extra,    // the tree has it, the baseline does not
    Unread,   // the tree could not be read
    Absent,   // neither the tree nor the baseline has it (another tree does)
};
// Only the trees where a definition is not the same get a cell: a survey of many trees that
// each drift in their own way has about as many rows as trees, and a full row per tree
// would grow with their square.
struct DriftCell {
    std::size_t column = 0;  // the tree, in the survey's order
    DriftState state = DriftState::Same;
    std::vector<std::string> fields;       // in the order found, each once
    std::vector<const Finding*> findings;  // the tree's findings about it, in its order
};
struct DriftRow {
    int type = 0;                  // an ElementType
    std::string name;              // as the baseline writes it, else as the first tree that has it
    std::vector<DriftCell> cells;  // by column; a tree without one has it as the baseline has
    bool inBaseline = true;        // false when only trees have it
    // The tree's state: without a cell Same, or Absent where the baseline lacks it too;
    // Unread for a tree that could not be read.
    DriftState state(const SurveyRun& run, std::size_t column) const;
    const DriftCell* cell(std::size_t column) const;
};
// Classes first, then attribute types, then the other types; by name within each. The cells
// point into the trees' findings, which must outlive the matrix.
std::vector<DriftRow> DriftMatrix(const SurveyRun& run);
// "same", "differs", "missing", "extra", "not read", "absent".
const char* DriftStateLabel(DriftState state);
// The element type a finding is about.
int FindingElementType(const Finding& finding);
// What a finding says differs: "Flags", an item kind ("Mandatory Attribute"),
// "Definition", a field's label, "OID"; empty for a unique definition.
std::string FindingAspect(const Finding& finding);
