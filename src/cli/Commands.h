// The commands of kalvix-cli, one a file, and the table main dispatches through.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CliCommon.h"
#include "HtmlReport.h"
#include "Json.h"
#include "QuickCheck.h"

namespace cli {

struct Command {
    const char* name;
    const char* synopsis;  // what follows the command in the usage
    const char* summary;   // one line for the overview
    const char* details;   // the rest of the command's --help
    unsigned accepts;      // option flags (Accepts)
    int (*run)(const Arguments& args);
};

// In the order the usage lists them.
const std::vector<Command>& Commands();
const Command* FindCommand(const std::string& name);

int RunTrees(const Arguments& args);
int RunSave(const Arguments& args);
int RunQuick(const Arguments& args);
int RunCompareClasses(const Arguments& args);
int RunCompareAttributes(const Arguments& args);
int RunCompare(const Arguments& args);
int RunShow(const Arguments& args);
int RunReconcile(const Arguments& args);

// What one comparison found, part by part; a part not compared is unset.
struct ComparisonFindings {
    std::optional<Findings> classes;
    std::optional<Findings> attributes;
    std::optional<Findings> elements;  // other element types, when both trees publish them
    bool different() const;
};
// The JSON document and the HTML report of a comparison of the workspace's two trees.
std::string ComparisonJson(Workspace& ws, const ComparisonFindings& found);
ReportInput ComparisonReport(Workspace& ws, ComparisonFindings found);

// The quick check with each list sorted as the window's list boxes show it.
QuickCheckLists SortedQuickCheck(const NameList& tree1, const NameList& tree2);
// The HTML report's header and name lists of this run (findings are the caller's).
ReportInput ReportBase(Workspace& ws, bool definitionsCompared, bool classes, bool attributes);
// "format" (the document's version), then "trees": both slots' names and where they came
// from.
void WriteTreesJson(JsonWriter& json, Workspace& ws);
// "unique1", "common" and "unique2" of one kind.
void WriteNameListsJson(JsonWriter& json, const QuickCheckLists& lists);

}  // namespace cli
