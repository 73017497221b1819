// What the comparison lists mark for the eye, read from a line's own text: which tree a
// line speaks of, and in a pair of attribute definition lines the words that differ.
#pragma once

#include <QString>
#include <vector>

// 1 or 2 for a line that begins "Tree #1 - " or "Tree #2 - ", else 0.
int TreeOfLine(const QString& line);

struct TextSpan {
    int start = 0;
    int length = 0;
    bool operator==(const TextSpan&) const = default;
};

struct PairMarks {
    bool paired = false;  // the two lines define the same attribute, Tree #1's first
    std::vector<TextSpan> first;
    std::vector<TextSpan> second;
};

// The syntax word and flags of each line that the other line lacks. Only for a Tree #1
// attribute definition line followed by Tree #2's line for the same attribute.
PairMarks DifferingWords(const QString& first, const QString& second);
