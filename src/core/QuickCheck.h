// Names only one tree has and names both have, for classes or attributes.
#pragma once

#include "Names.h"

struct QuickCheckLists {
    NameList unique1;  // Tree #1's names that Tree #2 lacks, in Tree #1's order
    NameList common;   // Tree #1's names that Tree #2 also has, as Tree #1 writes them
    NameList unique2;  // Tree #2's names that Tree #1 lacks, in Tree #2's order
};

// Linear in the number of names: matching goes through precomputed keys.
QuickCheckLists QuickCheckNames(const NameList& tree1, const NameList& tree2);
