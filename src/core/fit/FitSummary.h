// The counts at the end of a check: entries read, fitting and refused, reasons by kind and
// by the class or attribute they are about, values no check was known for, names taken
// through the other tree.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/fit/FitReasons.h"

struct FitSummary {
    std::uint64_t records = 0;  // malformed ones included
    std::uint64_t fitting = 0;
    std::uint64_t refused = 0;  // entries with a reason, malformed records not included
    std::uint64_t malformed = 0;
    std::uint64_t bytes = 0;
    FitCounts byKind{};
    // Most first, then by name.
    std::vector<std::pair<std::string, std::uint64_t>> byClass;
    std::vector<std::pair<std::string, std::uint64_t>> byAttribute;
    std::vector<std::pair<std::string, std::uint64_t>> unchecked;  // syntax OID: values
    std::vector<std::pair<std::string, std::string>> mapped;       // name in the file: in the tree
    std::string readError;  // the input could not be read to its end: why
};

// Adds up verdicts as they come; a hostile file's many names are lumped together past a
// bound, so the counts never grow with the file.
class FitTally {
  public:
    void add(const FitVerdict& verdict);
    void fitting() { ++summary_.records, ++summary_.fitting; }
    // Fills the lists; the tally is spent.
    FitSummary finish();
    FitSummary& summary() { return summary_; }

  private:
    void count(std::map<std::string, std::uint64_t>& to, const std::string& name);
    FitSummary summary_;
    std::map<std::string, std::uint64_t> classes_;
    std::map<std::string, std::uint64_t> attributes_;
};

// Whether a kind's subject is an object class (else an attribute type, or nothing).
bool FitKindAboutClass(FitKind kind);
