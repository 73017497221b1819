#include "LineMarks.h"

#include <QSet>

namespace {

const QString kDefinitionHead = QStringLiteral("Attribute Definition for \"");
const QString kDefinitionSeparator = QStringLiteral("\": \"");
constexpr int kTreePrefixLength = 10;  // "Tree #1 - "

struct Definition {
    QString subject;  // what the line is about, up to the definition
    int start = -1;   // where the quoted definition begins in the line
    int end = -1;     // one past its last character
};

// A line "Tree #N - Attribute Definition for "NAME": "DEFINITION"". The name may itself
// hold the separator, so the definition is the part after its last occurrence.
Definition ParseDefinition(const QString& line) {
    Definition d;
    if (TreeOfLine(line) == 0 || !line.endsWith('"')) return d;
    if (QStringView(line).mid(kTreePrefixLength).indexOf(kDefinitionHead) != 0) return d;
    const int separator = static_cast<int>(line.lastIndexOf(kDefinitionSeparator));
    if (separator < kTreePrefixLength + kDefinitionHead.size()) return d;
    d.subject = line.mid(kTreePrefixLength, separator - kTreePrefixLength);
    d.start = separator + static_cast<int>(kDefinitionSeparator.size());
    d.end = static_cast<int>(line.size()) - 1;
    return d;
}

// "SYNTAX [flag\flag]": the syntax word and each flag, as spans of the line.
std::vector<TextSpan> Words(const QString& line, const Definition& d) {
    std::vector<TextSpan> words;
    auto add = [&](int from, int to) {
        while (from < to && line[from].isSpace()) ++from;
        while (to > from && line[to - 1].isSpace()) --to;
        if (to > from) words.push_back({from, to - from});
    };
    const int open = static_cast<int>(line.indexOf('[', d.start));
    if (open < 0 || open >= d.end) {
        add(d.start, d.end);
        return words;
    }
    add(d.start, open);
    int close = static_cast<int>(line.lastIndexOf(']', d.end - 1));
    if (close < open) close = d.end;
    int from = open + 1;
    for (int i = from; i <= close; ++i) {
        if (i == close || line[i] == '\\') {
            add(from, i);
            from = i + 1;
        }
    }
    return words;
}

std::vector<TextSpan> Missing(const QString& line, const std::vector<TextSpan>& words,
                              const QSet<QString>& others) {
    std::vector<TextSpan> out;
    for (const TextSpan& w : words)
        if (!others.contains(line.mid(w.start, w.length))) out.push_back(w);
    return out;
}

QSet<QString> Texts(const QString& line, const std::vector<TextSpan>& words) {
    QSet<QString> out;
    for (const TextSpan& w : words) out.insert(line.mid(w.start, w.length));
    return out;
}

}  // namespace

int TreeOfLine(const QString& line) {
    if (line.startsWith(QLatin1String("Tree #1 - "))) return 1;
    if (line.startsWith(QLatin1String("Tree #2 - "))) return 2;
    return 0;
}

PairMarks DifferingWords(const QString& first, const QString& second) {
    PairMarks marks;
    if (TreeOfLine(first) != 1 || TreeOfLine(second) != 2) return marks;
    const Definition a = ParseDefinition(first);
    const Definition b = ParseDefinition(second);
    if (a.start < 0 || b.start < 0 || a.subject != b.subject) return marks;
    marks.paired = true;
    const std::vector<TextSpan> wordsA = Words(first, a);
    const std::vector<TextSpan> wordsB = Words(second, b);
    marks.first = Missing(first, wordsA, Texts(second, wordsB));
    marks.second = Missing(second, wordsB, Texts(first, wordsA));
    return marks;
}
