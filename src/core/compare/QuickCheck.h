// Names only one tree has and names both have, for classes or attributes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Names.h"

struct QuickCheckLists {
    NameList unique1;  // Tree #1's names that Tree #2 lacks, in Tree #1's order
    NameList common;   // Tree #1's names that Tree #2 also has, as Tree #1 writes them
    NameList unique2;  // Tree #2's names that Tree #1 lacks, in Tree #2's order
    // Beside common: each common name as Tree #2 writes it (its first such entry), the
    // spelling that tree's definition is fetched under.
    NameList common2;
};

inline constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

struct NameMatches {
    std::vector<std::size_t> in2;       // per name of Tree #1: its match in Tree #2, or kNoMatch
    std::vector<std::uint8_t> common2;  // per name of Tree #2: whether Tree #1 has it
};
// Both directions at once, from one table of Tree #2's names.
NameMatches MatchNamesBothWays(const NameList& tree1, const NameList& tree2);
// Sorts each list as the window's list boxes show it; common2 stays beside common.
void SortQuickCheckLists(QuickCheckLists& lists);
// How names writes name (its first entry equal to it ignoring case); name itself when
// names lacks it. One linear pass: for a single name, as on a click.
std::string SpellingIn(const NameList& names, const std::string& name);

// Linear in the number of names: matching goes through precomputed keys.
QuickCheckLists QuickCheckNames(const NameList& tree1, const NameList& tree2);
