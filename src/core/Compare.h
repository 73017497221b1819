// The full comparisons as functions from definitions (or name lists) to result lines.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Definitions.h"
#include "Names.h"
#include "UiHooks.h"
#include "Workspace.h"

using Lines = std::vector<std::string>;
using LineFn = std::function<void(const std::string& line)>;

// Compares two definitions of one class kind by kind (the records' lists are consumed);
// returns whether the class is identical and appends the finding lines.
bool CompareClassInfos(const std::string& className, TClassInfo& a, TClassInfo& b,
                       bool reportIdentical, Lines& out);
bool CompareAttrDefs(const std::string& attrName, const std::string& def1, const std::string& def2,
                     bool reportIdentical, Lines& out);

// Fetch both trees' definitions of one name and compare them.
Lines CompareOneClass(Workspace& ws, UiHooks& ui, const std::string& className,
                      bool reportIdentical);
Lines CompareOneAttr(Workspace& ws, UiHooks& ui, const std::string& attrName, bool reportIdentical);

// A whole run: unique lines of Tree #1, of Tree #2, then the common names' findings in
// Tree #1's order. progress is called with each name of Tree #1 before it is handled.
void CompareAllClasses(Workspace& ws, UiHooks& ui, const LineFn& progress, const LineFn& output);
void CompareAllAttributes(Workspace& ws, UiHooks& ui, const LineFn& progress, const LineFn& output);
