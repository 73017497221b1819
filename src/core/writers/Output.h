// Every output format of kalvix-cli is one OutputWriter, and the writers are chosen from
// one table: lines (text), JSON, an HTML page and CSV for spreadsheets. A run hands its
// writer what it found; the writer turns it into bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Workspace.h"
#include "core/compare/Findings.h"
#include "core/compare/QuickCheck.h"
#include "core/compare/Survey.h"
#include "core/writers/FitWriting.h"
#include "core/writers/HtmlReport.h"

enum class OutputFormat : std::uint8_t { Text, Json, Html, Csv };

// What a run tells its writer beside the workspace's two slots.
struct RunInfo {
    Workspace& ws;
    std::array<std::string, 2> liveHow;  // how each live slot was reached
    std::string program;                 // name and version, for a page's header
};

// Bytes out, piece by piece; where they go is the caller's business.
using OutputFn = std::function<void(std::string_view bytes)>;

class OutputWriter {
  public:
    virtual ~OutputWriter() = default;
    // A finding as soon as a run finds it; only a format of lines writes it then.
    virtual void finding(const Finding& f, const OutputFn& out);
    // A comparison of the workspace's two trees, when it is over.
    virtual void comparison(const RunInfo& run, const ComparisonFindings& found,
                            const OutputFn& out) = 0;
    // The quick check: each list sorted as the window shows it.
    virtual void quick(const RunInfo& run, const QuickCheckLists& classes,
                       const QuickCheckLists& attrs, const OutputFn& out) = 0;
    // A survey's tree `index` is settled; trees come in the order given.
    virtual void surveyTree(const SurveyRun& run, std::size_t index, const OutputFn& out);
    // The survey is over.
    virtual void surveyEnd(const SurveyRun& run, const OutputFn& out) = 0;
    // An entry the tree would refuse (kalvix-cli fit), in file order.
    virtual void fitEntry(const FitRunInfo& run, const FitVerdict& verdict,
                          const OutputFn& out) = 0;
    // The check is over.
    virtual void fitEnd(const FitRunInfo& run, const FitSummary& summary, const OutputFn& out) = 0;
    // Whether surveyEnd still needs a tree's findings once surveyTree has written it; if
    // not, they are let go then.
    virtual bool keepsSurveyFindings(const SurveyRun& run) const;
};

struct OutputFormatEntry {
    OutputFormat format;
    const char* name;  // as --format takes it
    std::unique_ptr<OutputWriter> (*make)();
};
// In the order a usage lists them; text first, the default.
const std::vector<OutputFormatEntry>& OutputFormats();
const OutputFormatEntry* FindOutputFormat(std::string_view name);
std::unique_ptr<OutputWriter> MakeOutputWriter(OutputFormat format);
// "text, json, html or csv".
std::string OutputFormatNames(const char* last = "or");

// The pieces the formats share.
std::unique_ptr<OutputWriter> MakeTextWriter();
std::unique_ptr<OutputWriter> MakeJsonWriter();
std::unique_ptr<OutputWriter> MakeHtmlWriter();
std::unique_ptr<OutputWriter> MakeCsvWriter();

// The JSON document and the HTML report of a comparison of the workspace's two trees.
std::string ComparisonJson(Workspace& ws, const ComparisonFindings& found);
ReportInput ComparisonReport(const RunInfo& run, ComparisonFindings found);
// The HTML report's header and name lists of this run (findings are the caller's).
ReportInput ReportBase(const RunInfo& run, bool definitionsCompared, bool classes, bool attributes);
// The quick check with each list sorted as the window's list boxes show it.
QuickCheckLists SortedQuickCheck(const NameList& tree1, const NameList& tree2);
