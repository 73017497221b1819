// What a comparison finds, as records: the window's result lists, kalvix-cli's text and
// JSON output and the HTML report all take these, and FindingLines is the one place that
// turns a finding into the lines the window shows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class FindingType : std::uint8_t {
    UniqueClass,      // tree, name (as that tree writes it)
    UniqueAttribute,  // tree, name
    ClassFlags,       // name; text1 and text2: each tree's flags text
    ClassItem,        // name, tree, kind; text1: the item the other tree lacks
    AttrDefinition,   // name; text1 and text2: each tree's definition
    // From published definitions, when both trees have them:
    Field,          // name, kind (an ElementType); label; text1 and text2: each tree's value
    SameOid,        // tree, kind, name; text1: the other tree's name for it; text2: the OID
    UniqueElement,  // tree, kind (a type other than classes and attribute types), name
};

struct Finding {
    FindingType type = FindingType::UniqueClass;
    int tree = 0;      // 1 or 2 where the finding is one tree's; 0 for the pairs
    int kind = 0;      // the item kind of a ClassItem; the element type of the others
    std::string name;  // the class or attribute; a common one as Tree #1 writes it
    std::string text1;
    std::string text2;
    std::string label;  // a Field's label
};
using Findings = std::vector<Finding>;
using FindingFn = std::function<void(const Finding&)>;

// What one comparison of two trees found, part by part; a part not compared is unset.
struct ComparisonFindings {
    std::optional<Findings> classes;
    std::optional<Findings> attributes;
    std::optional<Findings> elements;  // other element types, when both trees publish them
    bool different() const;
};

// Whether the finding is about a class (else about an attribute).
bool IsClassFinding(const Finding& finding);
// Unique names are found by name alone; the rest by comparing definitions.
bool IsUniqueFinding(const Finding& finding);
// "Attribute", "Class", "Matching Rule", ...: an element type as the lines name it.
std::string ElementTypeLabel(int elementType);

// The finding's lines (two for a flags finding and a definition pair, else one), byte
// for byte what the window's results list shows.
void AppendFindingLines(const Finding& finding, std::vector<std::string>& out);
// The same lines, each followed by a line feed, appended to text.
void AppendFindingText(const Finding& finding, std::string& text);
