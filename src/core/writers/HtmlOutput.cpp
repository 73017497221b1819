// The HTML pages: the comparison report (HtmlReport) for a comparison and a quick check,
// and a survey's page: a summary table, the drift matrix and each definition's findings,
// which the matrix's rows link to. One self-contained page: inline style; the matrix is
// filtered by state without a script, and a small inline one adds the filter by name.
#include <array>
#include <iterator>

#include "core/compare/Compare.h"
#include "core/writers/Output.h"

namespace {

const char* const kSurveyStyle = R"(
body { font: 14px/1.45 system-ui, "DejaVu Sans", Arial, sans-serif; color: #1d2430;
       margin: 24px 32px; }
h1 { font-size: 22px; margin: 0 0 12px; }
h2 { font-size: 18px; border-bottom: 2px solid #3a6ea5; padding-bottom: 3px; margin-top: 28px; }
h3 { font-size: 15px; margin: 18px 0 6px; }
table { border-collapse: collapse; }
th, td { text-align: left; vertical-align: top; padding: 4px 10px; border: 1px solid #c9d1dc; }
th { background: #eef2f7; font-weight: 600; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
td.source { color: #4a5566; }
tr.identical td.verdict { color: #1d6b2a; }
tr.differs td.verdict { color: #8a4b00; font-weight: 600; }
tr.unreadable td.verdict { color: #a01818; font-weight: 600; }
table.matrix td { white-space: nowrap; }
table.matrix th { position: sticky; top: 0; }
td.same, td.absent { color: #6b7686; }
td.differs { background: #fff4d6; }
td.missing { background: #fdf3f2; }
td.extra { background: #f1f8f1; }
td.unread { background: #eeeeee; color: #6b7686; }
td.differs span { display: block; font-size: 12px; color: #4a5566; white-space: normal; }
ul.lines { font-family: "DejaVu Sans Mono", monospace; font-size: 13px; margin: 4px 0;
           padding-left: 20px; }
.none { color: #6b7686; font-style: italic; }
a { color: #245a94; }
input.show { margin-left: 10px; }
#filter-name { margin: 8px 0; padding: 3px 6px; width: 240px; }
tr.by-name { display: none; }
@STATE_RULES@footer { margin-top: 32px; color: #6b7686; font-size: 12px; }
@media print {
  body { margin: 0; font-size: 11pt; }
  a { color: inherit; text-decoration: none; }
  tr { break-inside: avoid; }
  table.matrix th { position: static; }
}
)";

std::string Text(const std::string& bytes) { return HtmlText(bytes); }

std::string Cell(const std::string& text, const char* cls = nullptr) {
    std::string out = cls ? std::string("<td class=\"") + cls + "\">" : std::string("<td>");
    return out + text + "</td>";
}

std::string Number(std::size_t n) { return Cell(std::to_string(n), "num"); }

std::string SourceText(const SurveySource& source) {
    return source.kind == "file" ? source.file : source.source;
}

void Summary(std::string& out, const SurveyRun& run) {
    out +=
        "<h2 id=\"summary\">Summary</h2>\n<table class=\"summary\">\n<tr><th>Tree</th>"
        "<th>Source</th><th>Verdict</th><th>Classes</th><th>Attributes</th>"
        "<th>Other elements</th><th>Fields</th></tr>\n";
    for (const SurveyTree& tree : run.trees) {
        const char* cls = !tree.read ? "unreadable" : tree.different ? "differs" : "identical";
        out += std::string("<tr class=\"") + cls + "\">";
        out += Cell(Text(tree.label));
        out += Cell(Text(tree.read ? SourceText(tree.source) : tree.operand), "source");
        out += Cell(Text(SurveyVerdict(tree)), "verdict");
        if (tree.read) {
            out += Number(tree.counts.classes) + Number(tree.counts.attributes) +
                   Number(tree.counts.elements) + Number(tree.counts.fields);
        } else {
            out += "<td></td><td></td><td></td><td></td>";
        }
        out += "</tr>\n";
    }
    out += "</table>\n";
}

std::string RowAnchor(std::size_t row) { return "def-" + std::to_string(row + 1); }

const char* StateClass(DriftState state) {
    return state == DriftState::Unread ? "unread" : DriftStateLabel(state);
}

// The page goes out a piece at a time: with many trees the matrix alone is as large as
// trees times rows, and need not be held whole.
class PageOut {
  public:
    explicit PageOut(const OutputFn& out) : out_(out) { text.reserve(kPiece + kPiece / 4); }
    ~PageOut() { flush(); }
    PageOut(const PageOut&) = delete;
    PageOut& operator=(const PageOut&) = delete;
    void piece() {
        if (text.size() >= kPiece) flush();
    }
    void flush() {
        if (!text.empty()) out_(text);
        text.clear();
    }
    std::string text;

  private:
    static constexpr std::size_t kPiece = 64 * 1024;
    const OutputFn& out_;
};

constexpr DriftState kStates[] = {DriftState::Differs, DriftState::Missing, DriftState::Extra,
                                  DriftState::Absent,  DriftState::Same,    DriftState::Unread};

// The radio buttons that show only the rows with a cell in a state (they precede the
// matrix, which the style's rules hide rows of).
std::string StateFilter() {
    std::string out = "<p>Show the rows with a cell that is:</p>\n";
    out +=
        "<input type=\"radio\" name=\"state\" class=\"show\" id=\"show-all\" checked=\"checked\" />"
        "<label for=\"show-all\">any</label>\n";
    for (DriftState state : kStates) {
        const std::string id = std::string("show-") + StateClass(state);
        out += "<input type=\"radio\" name=\"state\" class=\"show\" id=\"" + id +
               "\" /><label for=\"" + id + "\">" + DriftStateLabel(state) + "</label>\n";
    }
    return out;
}

std::string StateRules() {
    std::string out;
    for (DriftState state : kStates) {
        const std::string name = StateClass(state);
        out += "#show-" + name + ":checked ~ table.matrix tr.row:not(.s-" + name +
               ") { display: none; }\n";
    }
    return out;
}

// Adds the name filter where scripts run; without them the page is whole as it is. (No
// ampersand or angle bracket in it, so that strict readers of the page take it as text.)
const char* const kNameFilter = R"(<script>
(function () {
  var table = document.querySelector('table.matrix');
  if (!table) return;
  var box = document.createElement('input');
  box.type = 'search';
  box.id = 'filter-name';
  box.placeholder = 'Filter by name';
  table.parentNode.insertBefore(box, table);
  box.addEventListener('input', function () {
    var q = box.value.toLowerCase();
    table.querySelectorAll('tr.row').forEach(function (row) {
      var shown = q === '' ? true : row.dataset.name.toLowerCase().indexOf(q) !== -1;
      row.classList.toggle('by-name', !shown);
    });
  });
})();
</script>
)";

void Matrix(PageOut& page, const SurveyRun& run, const std::vector<DriftRow>& rows) {
    std::string& out = page.text;
    out += "<h2 id=\"matrix\">Drift matrix against the baseline " + Text(run.baseline.name) +
           "</h2>\n";
    if (rows.empty()) {
        out += "<p class=\"none\">Every tree that could be read equals the baseline.</p>\n";
        return;
    }
    out +=
        "<p>Each cell says how a tree holds the definition against the baseline: same, "
        "differs (and in what), missing (only the baseline has it), extra (the baseline "
        "lacks it), absent (neither has it; another tree does), not read. Only definitions "
        "that are not the same everywhere have a row.</p>\n";
    out += StateFilter();
    out += "<table class=\"matrix\">\n<tr><th>Type</th><th>Definition</th>";
    for (const SurveyTree& tree : run.trees) out += "<th>" + Text(tree.label) + "</th>";
    out += "</tr>\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const DriftRow& row = rows[r];
        std::array<bool, std::size(kStates)> has{};
        for (std::size_t column = 0; column < run.trees.size(); ++column)
            for (std::size_t s = 0; s < has.size(); ++s)
                has[s] = has[s] || row.state(run, column) == kStates[s];
        out += "<tr class=\"row";
        for (std::size_t s = 0; s < has.size(); ++s)
            if (has[s]) out += std::string(" s-") + StateClass(kStates[s]);
        out += "\" data-name=\"" + Text(row.name) + "\">" + Cell(Text(ElementTypeLabel(row.type)));
        out += Cell("<a href=\"#" + RowAnchor(r) + "\">" + Text(row.name) + "</a>");
        // Most cells of a wide matrix are the same: written without a string of their own.
        auto next = row.cells.begin();
        for (std::size_t column = 0; column < run.trees.size(); ++column) {
            const DriftCell* cell = nullptr;
            if (next != row.cells.end() && next->column == column) cell = &*next++;
            const DriftState state = row.state(run, column);
            out += "<td class=\"";
            out += StateClass(state);
            out += "\">";
            out += DriftStateLabel(state);
            if (cell != nullptr && state != DriftState::Unread && !cell->fields.empty()) {
                out += "<span>";
                for (std::size_t i = 0; i < cell->fields.size(); ++i) {
                    if (i != 0) out += ", ";
                    out += Text(cell->fields[i]);
                }
                out += "</span>";
            }
            out += "</td>";
        }
        out += "</tr>\n";
        page.piece();
    }
    out += "</table>\n";
    out += kNameFilter;
}

// A finding's line with the trees named: Tree #1 is the baseline, Tree #2 the tree.
std::string Named(const std::string& line, const std::string& baseline, const std::string& tree) {
    if (line.starts_with("Tree #1 - ")) return "Baseline " + baseline + " - " + line.substr(10);
    if (line.starts_with("Tree #2 - ")) return tree + " - " + line.substr(10);
    return line;
}

// Each row's findings, tree by tree, as the lines compare prints.
void Details(PageOut& page, const SurveyRun& run, const std::vector<DriftRow>& rows) {
    if (rows.empty()) return;
    std::string& out = page.text;
    out += "<h2 id=\"details\">Details</h2>\n";
    std::vector<std::string> lines;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const DriftRow& row = rows[r];
        out += "<h3 id=\"" + RowAnchor(r) + "\">" + Text(ElementTypeLabel(row.type)) + " " +
               Text(row.name) + "</h3>\n";
        for (const DriftCell& cell : row.cells) {
            const DriftState state = row.state(run, cell.column);
            if (state == DriftState::Same || state == DriftState::Absent ||
                state == DriftState::Unread)
                continue;
            lines.clear();
            for (const Finding* f : cell.findings) AppendFindingLines(*f, lines);
            const std::string& label = run.trees[cell.column].label;
            out += "<p>" + Text(label) + " against the baseline " + Text(run.baseline.name) + ": " +
                   DriftStateLabel(state) + "</p>\n<ul class=\"lines\">\n";
            for (const std::string& line : lines)
                out += "<li>" + Text(Named(line, run.baseline.name, label)) + "</li>\n";
            out += "</ul>\n";
        }
        out += "<p><a href=\"#matrix\">Back to the matrix</a></p>\n";
        page.piece();
    }
}

void SurveyPage(const SurveyRun& run, const OutputFn& write) {
    PageOut page(write);
    std::string& out = page.text;
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n";
    out += "<meta name=\"viewport\" content=\"width=device-width\" />\n<title>";
    out += "Schema survey against " + Text(run.baseline.name) + "</title>\n<style>";
    std::string style = kSurveyStyle;
    style.replace(style.find("@STATE_RULES@"), 13, StateRules());
    out += style;
    out += "</style>\n</head>\n<body>\n<h1>Schema survey</h1>\n";
    out += "<table class=\"meta\">\n<tr><th>Baseline</th><td>" + Text(run.baseline.name) +
           "</td><td class=\"source\">" + Text(SourceText(run.baseline)) + "</td></tr>\n";
    out += "<tr><th>Made</th><td colspan=\"2\">" + Text(run.madeAt) + "</td></tr>\n";
    if (run.fieldsLeftOut) {
        std::string fields;
        for (const std::string& label : *run.fieldsLeftOut)
            fields += (fields.empty() ? "" : ", ") + Text(label);
        out += "<tr><th>Left out</th><td colspan=\"2\">" +
               (fields.empty() ? std::string("nothing") : fields) + "</td></tr>\n";
    }
    out += "</table>\n";
    Summary(out, run);
    page.piece();
    const std::vector<DriftRow> rows = DriftMatrix(run);
    Matrix(page, run, rows);
    Details(page, run, rows);
    out += "<footer>" + Text(run.program) + "</footer>\n</body>\n</html>\n";
}

class HtmlOutput : public OutputWriter {
  public:
    void comparison(const RunInfo& run, const ComparisonFindings& found,
                    const OutputFn& out) override {
        out(HtmlReport(ComparisonReport(run, found)));
    }

    void quick(const RunInfo& run, const QuickCheckLists&, const QuickCheckLists&,
               const OutputFn& out) override {
        out(HtmlReport(ReportBase(run, false, true, true)));
    }

    void surveyEnd(const SurveyRun& run, const OutputFn& out) override { SurveyPage(run, out); }

    void fitEntry(const FitRunInfo&, const FitVerdict& verdict, const OutputFn&) override {
        fit_.add(verdict);
    }

    void fitEnd(const FitRunInfo& run, const FitSummary& summary, const OutputFn& out) override {
        out(fit_.page(run, summary));
    }

  private:
    FitReportCollector fit_;
};

}  // namespace

std::unique_ptr<OutputWriter> MakeHtmlWriter() { return std::make_unique<HtmlOutput>(); }

QuickCheckLists SortedQuickCheck(const NameList& tree1, const NameList& tree2) {
    QuickCheckLists lists = QuickCheckNames(tree1, tree2);
    SortQuickCheckLists(lists);
    return lists;
}

ReportInput ReportBase(const RunInfo& run, bool definitionsCompared, bool classes,
                       bool attributes) {
    Workspace& ws = run.ws;
    ReportInput in;
    for (int t = 1; t <= 2; ++t) {
        const TTreeInfo& slot = ws.tree(t);
        in.trees[t - 1] = ReportTreeOf(slot, slot.Online ? run.liveHow[t - 1] : "");
    }
    in.madeAt = ReportTimestamp();
    in.program = run.program;
    in.definitionsCompared = definitionsCompared;
    if (classes) in.classes = ReportPartOf(ws.tree(1).ClassNames, ws.tree(2).ClassNames, {});
    if (attributes) in.attributes = ReportPartOf(ws.tree(1).AttrNames, ws.tree(2).AttrNames, {});
    return in;
}

ReportInput ComparisonReport(const RunInfo& run, ComparisonFindings found) {
    Workspace& ws = run.ws;
    ReportInput report =
        ReportBase(run, true, found.classes.has_value(), found.attributes.has_value());
    if (found.classes) report.classes->findings = std::move(*found.classes);
    if (found.attributes) report.attributes->findings = std::move(*found.attributes);
    if (HasPublishedDefinitions(ws)) report.fieldsLeftOut = ws.Fields.described();
    if (found.elements) report.elements = ReportElementsOf(ws, std::move(*found.elements));
    return report;
}
