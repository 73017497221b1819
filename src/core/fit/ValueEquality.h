// When two values of one attribute are the same value, by its equality rule: what finds a
// value given twice and whether the RDN's value is among the entry's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit/DnSyntax.h"

enum class ValueEquality : std::uint8_t {
    None,        // no equality rule: values cannot be compared
    Exact,       // byte for byte (caseExactMatch, octetStringMatch, a rule not known here)
    CaseIgnore,  // letter case folded, blanks squeezed
    Telephone,   // case folded, blanks and hyphens dropped
    Numeric,     // blanks dropped
    Integer,     // by value
    Boolean,     // by value
    Dn,          // by RDNs, each value case folded and squeezed
};

// The equality of a matching rule by OID (lower case); Exact for a rule not known here.
ValueEquality EqualityOfRule(std::string_view ruleOid);
// The value in the form equal values share. A DN that does not parse stays as it is.
std::string NormalizedValue(ValueEquality equality, std::string_view value);
// Case folded (Unicode), blanks trimmed and squeezed.
std::string FoldedText(std::string_view value);
// A parsed DN in the form equal DNs share: RDNs joined by ",", the values of one RDN
// sorted, types as typeKey gives them. parentStart, when given, is where the parent's part
// begins (npos for a DN of one RDN).
std::string NormalizedDn(const std::vector<DnAva>& avas,
                         std::string (*typeKey)(const void* context, std::string_view type),
                         const void* context, std::size_t* parentStart = nullptr);
