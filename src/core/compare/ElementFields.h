// Two published definitions of one element compared field by field, by meaning: names and
// rule names without regard to letter case, a rule or syntax by OID or by name alike,
// lists as sets, a super type by the definition it names.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "LdapElement.h"
#include "PublishedElements.h"

struct FieldDifference {
    std::string label;   // "Equality", an extension's own name, ...
    std::string value1;  // as Tree #1 publishes it; empty when it has none
    std::string value2;
};

// The fields a comparison leaves out. By default X-ORIGIN and X-SCHEMA-FILE, which say
// where a definition came from, not what it is.
class FieldFilter {
  public:
    FieldFilter();
    // A comma-separated list: field labels in any letter case, "description",
    // "extensions" (every X- field), "names", "obsolete", or "none" (compare everything,
    // X-ORIGIN included). The names that were not understood go to unknown.
    static FieldFilter Parse(std::string_view list, std::vector<std::string>& unknown);

    bool ignores(std::string_view label) const;
    // What is left out, for reports: labels as written, "extensions" when all are.
    std::vector<std::string> described() const;

  private:
    std::set<std::string> labels_;  // lower-cased
    bool extensions_ = false;
};

// The labels of the fields every element type may have, in the order findings give them.
const std::vector<std::string>& FieldLabels();

// What the comparison of the window's own records already reports for this pair, so that
// no field is reported twice.
struct RecordCoverage {
    bool records = false;          // compared beside a class's or attribute type's records: then
                                   // a class's super classes, kind, MUST, MAY, an attribute's
                                   // single-value and read-only flags, and the X-NDS_ extensions
                                   // behind the records are theirs
    bool identifiers = false;      // both classes have identifiers: their ASN lines show the OID
    bool syntaxIdsDiffer = false;  // the attribute lines show another syntax
    bool boundsDiffer = false;     // the attribute lines show other bounds
};
// Tree #1's definition a, Tree #2's definition b, each resolved in its own tree.
std::vector<FieldDifference> CompareElementFields(
    const LdapElement& a, const PublishedElements& inA, const LdapElement& b,
    const PublishedElements& inB, const FieldFilter& filter, const RecordCoverage& coverage = {});
