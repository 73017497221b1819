// Why a tree's schema would refuse an entry of an LDIF file: the kinds of reasons, each
// counted and grouped on its own, and what one refused entry carries to the writers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class FitKind : std::uint8_t {
    UnknownClass,      // an object class the tree does not define
    UnknownAttribute,  // an attribute type the tree does not define
    NotAllowed,        // no class of the entry allows the attribute
    MissingMust,       // a MUST attribute missing
    SingleValue,       // several values for a SINGLE-VALUE attribute
    Syntax,            // a value its syntax refuses
    Structural,        // no structural class, or several not on one chain
    RdnAbsent,         // the RDN's value is not among the entry's values
    ServerSet,         // an attribute the server sets itself
    TooLong,           // a value over the attribute's {len}
    DuplicateValue,    // the same value twice by the attribute's equality rule
    DuplicateDn,       // a DN given before; with --parents, a parent that is nowhere
    Malformed,         // an LDIF record that cannot be read
};
inline constexpr std::size_t kFitKinds = 13;

// "unknown-class", "unknown-attribute", ...: as JSON and CSV name a kind.
std::string_view FitKindKey(FitKind kind);
// "unknown object class", ...: as the summary and the report's headings name it.
std::string_view FitKindTitle(FitKind kind);

struct FitReason {
    FitKind kind = FitKind::Malformed;
    std::string subject;  // the class or attribute it is about, as the tree names it; may be empty
    std::string text;     // the reason in words
};

// One entry the tree would refuse (or a record that cannot be read), in file order.
struct FitVerdict {
    std::uint64_t line = 0;  // where the record's dn: line (or the record) starts
    std::string dn;          // as the file gives it, decoded; empty when it has none
    std::vector<FitReason> reasons;
};

using FitCounts = std::array<std::uint64_t, kFitKinds>;
