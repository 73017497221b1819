#include "core/writers/FitWriting.h"

#include "core/Names.h"
#include "core/writers/HtmlReport.h"
#include "core/writers/Json.h"

namespace {

constexpr std::size_t kShownPerKind = 1000;
constexpr int kDocumentFormat = 1;

std::string Shown(const std::string& dn) { return dn.empty() ? "(no DN)" : dn; }

std::string Count(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string CsvRow(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        out += CsvField(fields[i]);
    }
    return out + "\r\n";
}

std::string Num(std::uint64_t n) { return std::to_string(n); }

}  // namespace

std::vector<std::string> FitLines(const FitRunInfo& run, const FitVerdict& verdict) {
    std::vector<std::string> lines;
    const std::string head =
        run.entries + ":" + Num(verdict.line) + ": " + Shown(verdict.dn) + ": ";
    for (const FitReason& r : verdict.reasons) lines.push_back(head + r.text);
    return lines;
}

std::vector<std::string> FitSummaryLines(const FitRunInfo& run, const FitSummary& s) {
    std::vector<std::string> lines;
    lines.emplace_back();
    std::string head = "Checked " + Count(s.records, "record", "records") + " against " + run.tree +
                       ": " + Num(s.fitting) + " fit, " + Num(s.refused) + " refused";
    if (s.malformed > 0)
        head += ", " + Count(s.malformed, "record cannot", "records cannot") + " be read";
    lines.push_back(head);
    if (!s.readError.empty())
        lines.push_back("The input could not be read to its end: " + s.readError);
    bool any = false;
    for (std::size_t k = 0; k < kFitKinds; ++k)
        if (s.byKind[k] > 0) {
            if (!any) lines.emplace_back("Reasons:");
            any = true;
            const auto kind = static_cast<FitKind>(k);
            lines.push_back("  " + Num(s.byKind[k]) + "  " + std::string(FitKindTitle(kind)) +
                            " (" + std::string(FitKindKey(kind)) + ")");
        }
    const auto list = [&](const char* title, const auto& counts) {
        if (counts.empty()) return;
        lines.emplace_back(title);
        for (const auto& [name, n] : counts) lines.push_back("  " + Num(n) + "  " + name);
    };
    list("By class:", s.byClass);
    list("By attribute:", s.byAttribute);
    list("Values of syntaxes with no check, by syntax:", s.unchecked);
    if (!s.mapped.empty()) {
        lines.push_back("Names taken through " + run.mapFrom + ":");
        for (const auto& [from, to] : s.mapped) lines.push_back("  " + from + " -> " + to);
    }
    return lines;
}

std::string FitJsonEntry(const FitVerdict& verdict) {
    std::string out = "\n    {\"line\": " + Num(verdict.line) +
                      ", \"dn\": " + JsonString(verdict.dn) + ", \"reasons\": [";
    for (std::size_t i = 0; i < verdict.reasons.size(); ++i) {
        const FitReason& r = verdict.reasons[i];
        out += std::string(i ? ", " : "") + "{\"kind\": " + JsonString(FitKindKey(r.kind));
        if (!r.subject.empty()) out += ", \"subject\": " + JsonString(r.subject);
        out += ", \"text\": " + JsonString(r.text) + "}";
    }
    return out + "]}";
}

std::string FitJsonStart(const FitRunInfo& run) {
    std::string out = "{\n  \"format\": " + Num(kDocumentFormat) +
                      ",\n  \"entries\": " + JsonString(run.entries) +
                      ",\n  \"tree\": " + JsonString(run.tree) + ",\n";
    if (!run.mapFrom.empty()) out += "  \"mapFrom\": " + JsonString(run.mapFrom) + ",\n";
    return out + "  \"refused\": [";
}

std::string FitJsonEnd(const FitSummary& s, bool anyRefused) {
    std::string out = anyRefused ? "\n  ],\n  \"summary\": {\n" : "],\n  \"summary\": {\n";
    out += "    \"records\": " + Num(s.records) + ",\n    \"fit\": " + Num(s.fitting) +
           ",\n    \"refused\": " + Num(s.refused) + ",\n    \"malformed\": " + Num(s.malformed) +
           ",\n    \"bytes\": " + Num(s.bytes) + ",\n    \"reasons\": {";
    for (std::size_t k = 0; k < kFitKinds; ++k)
        out += std::string(k ? ", " : "") + JsonString(FitKindKey(static_cast<FitKind>(k))) + ": " +
               Num(s.byKind[k]);
    out += "},\n";
    const auto counts = [&](const char* key, const auto& list) {
        out += std::string("    \"") + key + "\": {";
        for (std::size_t i = 0; i < list.size(); ++i)
            out += (i ? ", " : "") + JsonString(list[i].first) + ": " + Num(list[i].second);
        out += "},\n";
    };
    counts("byClass", s.byClass);
    counts("byAttribute", s.byAttribute);
    counts("uncheckedSyntaxes", s.unchecked);
    out += "    \"mapped\": {";
    for (std::size_t i = 0; i < s.mapped.size(); ++i)
        out +=
            (i ? ", " : "") + JsonString(s.mapped[i].first) + ": " + JsonString(s.mapped[i].second);
    out += "}";
    if (!s.readError.empty()) out += ",\n    \"readError\": " + JsonString(s.readError);
    return out + "\n  }\n}\n";
}

std::string FitCsvHeader() {
    return CsvRow({"Entries", "Line", "DN", "Kind", "Subject", "Reason"});
}

std::string FitCsvRows(const FitRunInfo& run, const FitVerdict& verdict) {
    std::string out;
    for (const FitReason& r : verdict.reasons)
        out += CsvRow({run.entries, Num(verdict.line), verdict.dn, std::string(FitKindKey(r.kind)),
                       r.subject, r.text});
    return out;
}

void FitReportCollector::add(const FitVerdict& verdict) {
    for (const FitReason& r : verdict.reasons) {
        auto& list = shown_[static_cast<std::size_t>(r.kind)];
        if (list.size() < kShownPerKind) list.push_back({verdict.line, verdict.dn, r.text});
    }
}

std::string FitReportCollector::page(const FitRunInfo& run, const FitSummary& s) const {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Kalvix: entries checked against a tree</title>\n<style>\n"
        "body { font: 14px/1.45 system-ui, \"DejaVu Sans\", Arial, sans-serif; color: #1d2430; "
        "margin: 24px 32px; }\n"
        "h1 { font-size: 22px; } h2 { font-size: 18px; border-bottom: 2px solid #3a6ea5; }\n"
        "table { border-collapse: collapse; } th, td { text-align: left; padding: 4px 10px; "
        "border: 1px solid #c9d1dc; vertical-align: top; }\n"
        "th { background: #eef2f7; } td.num { text-align: right; }\n"
        "td.refused { color: #a01818; font-weight: 600; } td.fit { color: #1d6b2a; }\n"
        ".more { color: #6b7686; font-style: italic; }\n"
        "footer { margin-top: 32px; color: #6b7686; font-size: 12px; }\n"
        "</style>\n</head>\n<body>\n";
    out += "<h1>" + HtmlText(run.entries) + " against " + HtmlText(run.tree) + "</h1>\n";
    out += "<h2 id=\"summary\">At a glance</h2>\n<table>\n";
    out += "<tr><th>Records</th><td class=\"num\">" + Num(s.records) + "</td></tr>\n";
    out += "<tr><th>Fit</th><td class=\"num fit\">" + Num(s.fitting) + "</td></tr>\n";
    out += "<tr><th>Refused</th><td class=\"num refused\">" + Num(s.refused) + "</td></tr>\n";
    out += "<tr><th>Cannot be read</th><td class=\"num\">" + Num(s.malformed) + "</td></tr>\n";
    for (std::size_t k = 0; k < kFitKinds; ++k) {
        if (s.byKind[k] == 0) continue;
        const auto kind = static_cast<FitKind>(k);
        out += "<tr><th><a href=\"#" + std::string(FitKindKey(kind)) + "\">" +
               HtmlText(std::string(FitKindTitle(kind))) + "</a></th><td class=\"num\">" +
               Num(s.byKind[k]) + "</td></tr>\n";
    }
    out += "</table>\n";
    const auto counts = [&](const char* title, const auto& list) {
        if (list.empty()) return;
        out += std::string("<h2>") + title + "</h2>\n<table>\n";
        for (const auto& [name, n] : list)
            out +=
                "<tr><td>" + HtmlText(name) + "</td><td class=\"num\">" + Num(n) + "</td></tr>\n";
        out += "</table>\n";
    };
    counts("By class", s.byClass);
    counts("By attribute", s.byAttribute);
    counts("Values of syntaxes with no check", s.unchecked);
    if (!s.mapped.empty()) {
        out += "<h2>Names taken through " + HtmlText(run.mapFrom) + "</h2>\n<table>\n";
        for (const auto& [from, to] : s.mapped)
            out += "<tr><td>" + HtmlText(from) + "</td><td>" + HtmlText(to) + "</td></tr>\n";
        out += "</table>\n";
    }
    for (std::size_t k = 0; k < kFitKinds; ++k) {
        if (shown_[k].empty()) continue;
        const auto kind = static_cast<FitKind>(k);
        out += "<h2 id=\"" + std::string(FitKindKey(kind)) + "\">" +
               HtmlText(std::string(FitKindTitle(kind))) + " (" + Num(s.byKind[k]) + ")</h2>\n";
        out += "<table>\n<tr><th>Line</th><th>DN</th><th>Reason</th></tr>\n";
        for (const Shown& e : shown_[k])
            out += "<tr><td class=\"num\">" + Num(e.line) + "</td><td>" + HtmlText(e.dn) +
                   "</td><td>" + HtmlText(e.text) + "</td></tr>\n";
        out += "</table>\n";
        if (s.byKind[k] > shown_[k].size())
            out += "<p class=\"more\">and " + Num(s.byKind[k] - shown_[k].size()) + " more</p>\n";
    }
    out += "<footer>" + HtmlText(run.program) + "</footer>\n</body>\n</html>\n";
    return out;
}
