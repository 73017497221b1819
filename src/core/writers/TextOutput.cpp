// Lines, as the window's lists show them: one line stays one line (control characters
// escaped) and nothing in a name drives the terminal.
#include "core/ControlChars.h"
#include "core/writers/Output.h"

namespace {

void Line(const OutputFn& out, std::string_view line) {
    std::string shown = EscapeControlChars(line);
    shown += '\n';
    out(shown);
}

class TextOutput : public OutputWriter {
  public:
    void finding(const Finding& f, const OutputFn& out) override {
        std::vector<std::string> lines;
        AppendFindingLines(f, lines);
        for (const std::string& line : lines) Line(out, line);
    }

    // Every line went out as it was found.
    void comparison(const RunInfo&, const ComparisonFindings&, const OutputFn&) override {}

    void quick(const RunInfo&, const QuickCheckLists& classes, const QuickCheckLists& attrs,
               const OutputFn& out) override {
        const struct {
            const char* heading;
            const NameList* names;
        } blocks[] = {
            {"Classes - Unique on Tree #1", &classes.unique1},
            {"Classes - Common Classes", &classes.common},
            {"Classes - Unique on Tree #2", &classes.unique2},
            {"Attributes - Unique on Tree #1", &attrs.unique1},
            {"Attributes - Common Attributes", &attrs.common},
            {"Attributes - Unique on Tree #2", &attrs.unique2},
        };
        bool first = true;
        for (const auto& block : blocks) {
            if (!first) Line(out, "");
            first = false;
            Line(out, block.heading);
            for (const NameEntry& entry : *block.names) Line(out, entry.name);
        }
    }

    void surveyTree(const SurveyRun& run, std::size_t index, const OutputFn& out) override {
        Line(out, SurveyLine(run.trees[index]));
    }

    void fitEntry(const FitRunInfo& run, const FitVerdict& verdict, const OutputFn& out) override {
        for (const std::string& line : FitLines(run, verdict)) Line(out, line);
    }

    void fitEnd(const FitRunInfo& run, const FitSummary& summary, const OutputFn& out) override {
        for (const std::string& line : FitSummaryLines(run, summary)) Line(out, line);
    }

    // Each differing tree's lines, as compare prints them, under a line naming the tree.
    void surveyEnd(const SurveyRun& run, const OutputFn& out) override {
        if (!run.details) return;
        for (const SurveyTree& tree : run.trees) {
            if (!tree.different) continue;
            Line(out, "");
            Line(out, "--- " + tree.label);
            for (const std::optional<Findings>* part :
                 {&tree.found.classes, &tree.found.attributes, &tree.found.elements})
                if (*part)
                    for (const Finding& f : **part) finding(f, out);
        }
    }

    bool keepsSurveyFindings(const SurveyRun& run) const override { return run.details; }
};

}  // namespace

std::unique_ptr<OutputWriter> MakeTextWriter() { return std::make_unique<TextOutput>(); }
