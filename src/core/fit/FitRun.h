// A whole LDIF file checked against a tree: read in pieces that end at record boundaries,
// the pieces checked on several threads, the verdicts handed on in file order, each entry
// forgotten once handed on. What needs the whole file so far (a DN given twice, a parent
// given before its child) is decided in file order, from hashes of the DNs.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "core/fit/FitCheck.h"
#include "core/fit/FitSummary.h"

struct FitHooks {
    // Each refused entry and unreadable record, in file order.
    std::function<void(const FitVerdict&)> refused;
    // Each record's bytes as the file holds them, and whether it was refused; in file order.
    std::function<void(std::string_view text, bool refused)> record;
    // Now and then: records and bytes read so far.
    std::function<void(std::uint64_t records, std::uint64_t bytes)> progress;
};

// Reads fd to its end (it stays the caller's). threads 0: as many as the machine has.
FitSummary RunFit(int fd, const FitSchema& schema, const FitOptions& options, const FitHooks& hooks,
                  unsigned threads = 0);
