// A comparison as one self-contained HTML page: inline style, no script, nothing fetched.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Workspace.h"
#include "core/compare/Findings.h"
#include "core/compare/QuickCheck.h"

struct ReportTree {
    std::string name;    // the tree's name
    std::string source;  // the schema file's path, or "live" and how it was reached
    // The definitions its source gave that take no part ("core.schema:212: text: why").
    std::vector<std::string> leftOut = {};
};

// One kind of name (classes or attributes).
struct ReportPart {
    QuickCheckLists names;  // each list sorted as the window's lists show it
    Findings findings;      // the run's findings in their order; empty after a quick check
};

// The element types beside classes and attribute types (matching rules, syntaxes, ...).
struct ReportElement {
    int kind = 0;  // its ElementType
    std::string name;
};
struct ReportElements {
    Findings findings;                  // unique ones and differing fields, type by type
    std::vector<ReportElement> common;  // published by both trees under one OID
};

struct ReportInput {
    ReportTree trees[2];
    std::string madeAt;               // when the report was made, as it should read
    std::string program;              // name and version
    bool definitionsCompared = true;  // false for the quick check: names only
    std::optional<ReportPart> classes;
    std::optional<ReportPart> attributes;
    // Only when a tree has published definitions; without them the report is as it always
    // was. The fields the comparison left out (FieldFilter::described()).
    std::optional<std::vector<std::string>> fieldsLeftOut;
    // Only when both trees publish other element types.
    std::optional<ReportElements> elements;
};

std::string HtmlReport(const ReportInput& input);

// Whether a tree of the workspace has published definitions (a report then says which
// fields were left out).
bool HasPublishedDefinitions(Workspace& ws);
// The other element types' part: the findings CompareOtherElements gave, with the
// elements both trees publish.
ReportElements ReportElementsOf(Workspace& ws, Findings findings);

// A slot as the report names it (SlotSourceText), with the definitions its schema left out.
ReportTree ReportTreeOf(const TTreeInfo& slot, const std::string& liveHow);
// The quick check of two name lists, sorted as the window shows them, and the findings.
ReportPart ReportPartOf(const NameList& names1, const NameList& names2, Findings findings);
// Now, as the report's header says it (UTC).
std::string ReportTimestamp();

// Bytes as HTML text: decoded as the window decodes them (UTF-8 where valid, else one
// byte a character), markup characters escaped, control characters shown as U+XXXX.
std::string HtmlText(const std::string& bytes);
