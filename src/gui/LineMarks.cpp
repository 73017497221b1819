#include "LineMarks.h"

#include <algorithm>
#include <string_view>

#include "Names.h"

namespace {

struct ByteSpan {
    std::size_t start = 0;
    std::size_t length = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "SYNTAX [flag\flag]": the syntax word and each flag, as spans of the definition.
std::vector<ByteSpan> Words(std::string_view definition) {
    std::vector<ByteSpan> words;
    auto add = [&](std::size_t from, std::size_t to) {
        while (from < to && IsBlank(definition[from])) ++from;
        while (to > from && IsBlank(definition[to - 1])) --to;
        if (to > from) words.push_back({from, to - from});
    };
    const std::size_t end = definition.size();
    const std::size_t open = definition.find('[');
    if (open == std::string_view::npos) {
        add(0, end);
        return words;
    }
    add(0, open);
    std::size_t close = definition.rfind(']');
    if (close == std::string_view::npos || close < open) close = end;
    std::size_t from = open + 1;
    for (std::size_t i = from; i <= close; ++i) {
        if (i == close || definition[i] == '\\') {
            add(from, i);
            from = i + 1;
        }
    }
    return words;
}

// The words of one definition that the other does not hold.
std::vector<ByteSpan> Missing(std::string_view definition, std::string_view other) {
    const std::vector<ByteSpan> theirs = Words(other);
    std::vector<ByteSpan> out;
    for (const ByteSpan& w : Words(definition)) {
        const std::string_view word = definition.substr(w.start, w.length);
        const bool shared = std::any_of(theirs.begin(), theirs.end(), [&](const ByteSpan& t) {
            return other.substr(t.start, t.length) == word;
        });
        if (!shared) out.push_back(w);
    }
    return out;
}

// Byte offsets of a line as offsets of its shown text: the same decoding the lists use,
// UTF-8 where the whole line is, else one character a byte.
class ShownOffsets {
  public:
    explicit ShownOffsets(const std::string& line)
        : line_(line), bytewise_(DecodeName(line).size() == static_cast<qsizetype>(line.size())) {}
    int at(std::size_t byte) const {
        if (bytewise_) return static_cast<int>(byte);
        return static_cast<int>(
            QString::fromUtf8(line_.data(), static_cast<qsizetype>(byte)).size());
    }

  private:
    const std::string& line_;
    bool bytewise_;
};

// An attribute definition line ends with its quoted definition.
void MarkDefinition(MarkedLine& line, const std::string& definition, const std::string& other) {
    if (line.bytes.size() < definition.size() + 1) return;
    const std::size_t offset = line.bytes.size() - 1 - definition.size();
    const ShownOffsets shown(line.bytes);
    for (const ByteSpan& w : Missing(definition, other)) {
        const int start = shown.at(offset + w.start);
        line.emphasis.push_back({start, shown.at(offset + w.start + w.length) - start});
    }
}

bool IsPair(FindingType type) {
    return type == FindingType::ClassFlags || type == FindingType::AttrDefinition ||
           type == FindingType::Field;
}

}  // namespace

std::vector<MarkedLine> MarkedFindingLines(const Finding& finding) {
    std::vector<std::string> rendered;
    AppendFindingLines(finding, rendered);
    std::vector<MarkedLine> lines;
    lines.reserve(rendered.size());
    for (std::size_t i = 0; i < rendered.size(); ++i) {
        MarkedLine& line = lines.emplace_back();
        line.bytes = std::move(rendered[i]);
        // A pair's lines are Tree #1's, then Tree #2's; the others speak of one tree.
        line.tree = IsPair(finding.type) ? static_cast<int>(i) + 1 : finding.tree;
    }
    if (finding.type == FindingType::AttrDefinition && lines.size() == 2) {
        MarkDefinition(lines[0], finding.text1, finding.text2);
        MarkDefinition(lines[1], finding.text2, finding.text1);
    }
    return lines;
}
