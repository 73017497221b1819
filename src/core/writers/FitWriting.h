// What every format writes for a check of entries against a tree (kalvix-cli fit): the
// text lines and summary, a JSON entry and the document's end, CSV rows, the HTML page.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit/FitSummary.h"

// What a writer is told about the check besides its verdicts.
// One CSV field, quoted (RFC 4180), as JSON writes names, an apostrophe before what a
// spreadsheet would take for a formula.
std::string CsvField(std::string_view bytes);

struct FitRunInfo {
    std::string entries;  // the LDIF file as given ("-" for standard input)
    std::string tree;     // where the tree's schema comes from
    std::string mapFrom;  // the tree names were mapped through; empty for none
    std::string program;  // name and version
};

// "ENTRIES:LINE: DN: reason", a line per reason.
std::vector<std::string> FitLines(const FitRunInfo& run, const FitVerdict& verdict);
// The summary's lines, after a blank one.
std::vector<std::string> FitSummaryLines(const FitRunInfo& run, const FitSummary& summary);
// One refused entry as a JSON object on a line of its own (no comma, no trailing line feed).
std::string FitJsonEntry(const FitVerdict& verdict);
// The JSON document's opening, up to its "refused" array's first element.
std::string FitJsonStart(const FitRunInfo& run);
// The rest: the array's end, the summary, the document's end.
std::string FitJsonEnd(const FitSummary& summary, bool anyRefused);
std::string FitCsvHeader();
std::string FitCsvRows(const FitRunInfo& run, const FitVerdict& verdict);

// The refused entries the HTML page shows, grouped by reason; past a bound per reason
// only counted, so the page's memory does not grow with the file.
class FitReportCollector {
  public:
    void add(const FitVerdict& verdict);
    std::string page(const FitRunInfo& run, const FitSummary& summary) const;

  private:
    struct Shown {
        std::uint64_t line;
        std::string dn;
        std::string text;
    };
    std::array<std::vector<Shown>, kFitKinds> shown_;
};
