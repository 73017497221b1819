// What a comparison finds, as records: the window's result lists, kalvix-cli's text and
// JSON output and the HTML report all take these, and FindingLines is the one place that
// turns a finding into the lines the window shows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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
    FieldItem,      // name, tree, kind, label; text1: the list item the other tree lacks
    Unpublished,    // tree: the one that publishes none of kind; text1: how many the other has
};

// Bytes of a value: what a window or report marks as the part that differs.
struct ByteSpan {
    std::size_t start = 0;
    std::size_t length = 0;
    bool operator==(const ByteSpan&) const = default;
};

struct Finding {
    FindingType type = FindingType::UniqueClass;
    int tree = 0;      // 1 or 2 where the finding is one tree's; 0 for the pairs
    int kind = 0;      // the item kind of a ClassItem; the element type of the others
    std::string name;  // the class or attribute; a common one as Tree #1 writes it
    std::string text1;
    std::string text2;
    std::string label;     // a Field's label
    bool builtIn = false;  // a unique one: a server's own, against the files it runs
    // A Field side with no value at all (shown "(none)"), or one an attribute type inherits:
    // the super type it comes from.
    bool none1 = false;
    bool none2 = false;
    std::string from1;
    std::string from2;
    // The parts of text1 and text2 that the other side lacks.
    std::vector<ByteSpan> marks1;
    std::vector<ByteSpan> marks2;
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

// A Field's value for a tree as its line shows it, without quotes: "(none)", or the value
// and where it is inherited from.
std::string FieldValueText(const Finding& finding, int tree);

// One of those lines with the tree it speaks of (0 for neither) and its marks, as offsets
// of the line's bytes.
struct MarkedBytes {
    std::string line;
    int tree = 0;
    std::vector<ByteSpan> marks;
};
std::vector<MarkedBytes> MarkedFindingBytes(const Finding& finding);
// Whether a finding's two lines are Tree #1's and Tree #2's value of one thing.
bool IsPairFinding(const Finding& finding);
// The words of a definition or flags text that the other lacks, each at most as often as
// the other holds it: the syntax and each flag ("Sized (1-64)" is one), for a flags text
// the words between backslashes.
std::vector<ByteSpan> MissingWords(std::string_view text, std::string_view other, bool blanksPart);
// The same lines, each followed by a line feed, appended to text.
void AppendFindingText(const Finding& finding, std::string& text);
