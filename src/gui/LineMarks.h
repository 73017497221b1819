// What the comparison lists mark for the eye, taken from the findings themselves and never
// from a line's text: which tree each line speaks of, and in a pair of attribute
// definition lines the words that differ.
#pragma once

#include <string>
#include <vector>

#include "core/compare/Findings.h"

struct TextSpan {
    int start = 0;
    int length = 0;
    bool operator==(const TextSpan&) const = default;
};

struct MarkedLine {
    std::string bytes;               // as the core renders it
    int tree = 0;                    // 1 or 2 for a line about one tree's definition, else 0
    std::vector<TextSpan> emphasis;  // in the line's shown text (DecodeName of bytes)
};

// The finding's lines, each with its tree and the marks the comparison gave its values
// (in a pair of attribute definitions the syntax and flags the other lacks, in a field the
// part that differs), as offsets of the shown text.
std::vector<MarkedLine> MarkedFindingLines(const Finding& finding);
