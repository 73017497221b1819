// Two published definitions of one element compared field by field, by meaning and in
// LDAP's own words: references resolved each in its own tree, inherited rules and syntaxes
// as their effective values, lists item by item. One table of fields drives the
// comparison, the filters and every label the writers and the window show.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/compare/Findings.h"
#include "core/model/LdapElement.h"
#include "core/model/PublishedElements.h"

// The labels of FieldTable, each once, in its order.
const std::vector<std::string>& FieldLabels();
// What a filter list takes: the labels, the RFC 4512 keywords, "extensions" and "none".
std::vector<std::string> FilterWords();

// The fields a comparison leaves out. By default X-ORIGIN and X-SCHEMA-FILE, which say
// where a definition came from, not what it is.
class FieldFilter {
  public:
    FieldFilter();
    // A comma-separated list added to the defaults: field labels or RFC 4512 keywords in
    // any letter case, an X- extension's name, "extensions" (every X- field); "none" drops
    // the defaults (compare everything, X-ORIGIN included). The words not understood go to
    // unknown.
    static FieldFilter Parse(std::string_view list, std::vector<std::string>& unknown);

    bool ignores(const FieldSpec& field) const;
    bool ignoresExtension(std::string_view name) const;
    // Whether the field a label, keyword or extension name stands for is left out.
    bool ignores(std::string_view word) const;
    // What is left out, for reports: labels as written, "extensions" when all are.
    std::vector<std::string> described() const;
    // The list Parse reads back as this filter: described(), after "none" when a default
    // is compared.
    std::string text() const;
    bool operator==(const FieldFilter&) const = default;

  private:
    void markFields();
    std::set<std::string> labels_;  // lower-cased labels and extension names
    bool extensions_ = false;
    std::vector<bool> fields_;  // by FieldTable position: left out
};

// Tree #1's definition a and Tree #2's b of one element, each resolved in its own tree,
// appended to out under name: a Field finding for each value that differs, a FieldItem
// for each list item one side names and the other does not.
void CompareElements(const std::string& name, const LdapElement& a, const PublishedElements& inA,
                     const LdapElement& b, const PublishedElements& inB, const FieldFilter& filter,
                     Findings& out);

// A definition's fields as its detail shows them, in the order of the table: label and
// value, a list one pair an item, an inherited value with "(from super type)".
std::vector<std::pair<std::string, std::string>> ElementFieldValues(const LdapElement& element,
                                                                    const PublishedElements& in);
