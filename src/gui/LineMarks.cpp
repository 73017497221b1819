#include "gui/LineMarks.h"

#include "core/Names.h"

namespace {

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

}  // namespace

std::vector<MarkedLine> MarkedFindingLines(const Finding& finding) {
    std::vector<MarkedLine> lines;
    for (MarkedBytes& marked : MarkedFindingBytes(finding)) {
        MarkedLine& line = lines.emplace_back();
        line.bytes = std::move(marked.line);
        line.tree = marked.tree;
        if (marked.marks.empty()) continue;
        const ShownOffsets shown(line.bytes);
        for (const ByteSpan& span : marked.marks) {
            if (span.start + span.length > line.bytes.size()) continue;
            const int start = shown.at(span.start);
            line.emphasis.push_back({start, shown.at(span.start + span.length) - start});
        }
    }
    return lines;
}
