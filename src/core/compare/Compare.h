// The full comparisons as functions from definitions (or name lists) to findings.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Names.h"
#include "core/UiHooks.h"
#include "core/Workspace.h"
#include "core/compare/Findings.h"
#include "core/model/Definitions.h"
#include "core/model/LdapElement.h"

using Lines = std::vector<std::string>;
using LineFn = std::function<void(const std::string& line)>;

// Compares two definitions of one class: the flags text, then the item lists kind by kind
// (the records' lists are consumed). Appends the findings; returns whether the class is
// identical.
bool CompareClassInfos(const std::string& className, TClassInfo& a, TClassInfo& b, Findings& out);
bool CompareAttrDefs(const std::string& attrName, const std::string& def1, const std::string& def2,
                     Findings& out);
// What a click on a common name shows: the findings' lines, or for an identical one
// "Class identical: " ("Attribute identical: "), an empty line and Tree #1's definition.
Lines ClassDetailLines(const std::string& className, TClassInfo& a, TClassInfo& b);
Lines AttrDetailLines(const std::string& attrName, const std::string& def1,
                      const std::string& def2);

// Fetch both trees' definitions of one name (each under that tree's spelling) and compare
// them: the detail lines with reportIdentical, else only the findings' lines.
Lines CompareOneClass(Workspace& ws, UiHooks& ui, const std::string& className,
                      bool reportIdentical);
Lines CompareOneAttr(Workspace& ws, UiHooks& ui, const std::string& attrName, bool reportIdentical);

// The same comparison as records: the findings, and when there are none the lines the
// detail pane shows for an identical definition (with Tree #1's published text, if any).
struct OneComparison {
    Findings findings;
    Lines identical;
};
OneComparison CompareOneClassFindings(Workspace& ws, UiHooks& ui, const std::string& className);
OneComparison CompareOneAttrFindings(Workspace& ws, UiHooks& ui, const std::string& attrName);

// The published definition behind a slot's class (type ObjectClass) or attribute (type
// AttributeType) of that name; null when the slot's source publishes none.
const LdapElement* PublishedElementOf(const TTreeInfo& slot, ElementType type,
                                      const std::string& name);
// What a detail pane and show give for a slot's class (type ObjectClass) or attribute: a
// published definition's fields in LDAP's terms and its text, else the records' rendering.
Lines DefinitionLines(Workspace& ws, UiHooks& ui, int tree, ElementType type,
                      const std::string& name, bool wrap);

// A whole run: unique names of Tree #1, of Tree #2, then the common names' findings in
// Tree #1's order. progress is called with each name of Tree #1 before it is handled.
// False when the run stopped because a tree gave none of its definitions (its first two
// reads failed); one message says so, and the findings are not the whole comparison.
bool CompareAllClasses(Workspace& ws, UiHooks& ui, const LineFn& progress, const FindingFn& sink);
bool CompareAllAttributes(Workspace& ws, UiHooks& ui, const LineFn& progress,
                          const FindingFn& sink);

// The element types beside classes and attribute types, in the order they are compared.
inline constexpr ElementType kOtherElementTypes[] = {
    ElementType::LdapSyntax,     ElementType::MatchingRule,     ElementType::MatchingRuleUse,
    ElementType::DitContentRule, ElementType::DitStructureRule, ElementType::NameForm};
// Whether both trees publish definitions and either publishes one of them.
bool PublishesOtherElements(Workspace& ws);
// Those elements compared by OID, type by type: unique ones, then differing fields.
void CompareOtherElements(Workspace& ws, const FindingFn& sink);

// A sink that hands each finding's lines on, one by one.
FindingFn FindingLinesTo(LineFn lines);
