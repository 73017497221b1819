// The comparisons that fetch their definitions: one name, or a whole run over both trees.
#include <memory>
#include <string>

#include "Compare.h"
#include "DefinitionAccess.h"
#include "QuickCheck.h"

namespace {

// Each tree's definition is fetched under that tree's own spelling of the name; the
// findings name it as Tree #1 writes it.
void FetchClasses(Workspace& ws, UiHooks& ui, const std::string& className,
                  const std::string& name2, TClassInfo& a, TClassInfo& b) {
    GetClassDef(ws, ui, 1, className, a);
    GetClassDef(ws, ui, 2, name2, b);
}

void FetchAttrs(Workspace& ws, UiHooks& ui, const std::string& attrName, const std::string& name2,
                std::string& def1, std::string& def2) {
    GetAttrDef(ws, ui, 1, attrName, def1);
    GetAttrDef(ws, ui, 2, name2, def2);
}

void CompareClass(Workspace& ws, UiHooks& ui, const std::string& className,
                  const std::string& name2, Findings& out) {
    TClassInfo a;
    TClassInfo b;
    FetchClasses(ws, ui, className, name2, a, b);
    CompareClassInfos(className, a, b, out);
}

void CompareAttr(Workspace& ws, UiHooks& ui, const std::string& attrName, const std::string& name2,
                 Findings& out) {
    std::string def1;
    std::string def2;
    FetchAttrs(ws, ui, attrName, name2, def1, def2);
    CompareAttrDefs(attrName, def1, def2, out);
}

using Comparer = void (*)(Workspace&, UiHooks&, const std::string&, const std::string&, Findings&);

// The run shared by classes and attributes. The name lists are copied first: the window
// lets events run in between, and a reload must not pull the lists away from under the
// loop. (The finding sink is not called emit: QtCore defines that word away.)
void CompareAll(Workspace& ws, UiHooks& ui, NameList TTreeInfo::*names, FindingType uniqueType,
                Comparer compare, const LineFn& progress, const FindingFn& sink) {
    const NameList names1 = ws.tree(1).*names;
    const NameList names2 = ws.tree(2).*names;
    // Each offline slot's file is checked against the disk once for the whole run.
    std::vector<std::unique_ptr<IniFile::Hold>> holds;
    for (int t : {1, 2})
        if (ws.tree(t).Online == 0 && ws.tree(t).SchemaFile)
            holds.push_back(std::make_unique<IniFile::Hold>(*ws.tree(t).SchemaFile));

    const NameMatches matches = MatchNamesBothWays(names1, names2);
    const std::vector<std::size_t>& in2 = matches.in2;

    auto unique = [&](int tree, const std::string& name) {
        if (!sink) return;
        Finding f;
        f.type = uniqueType;
        f.tree = tree;
        f.name = name;
        sink(f);
    };
    for (std::size_t i = 0; i < names1.size(); ++i)
        if (in2[i] == kNoMatch) unique(1, names1[i].name);
    for (std::size_t i = 0; i < names2.size(); ++i)
        if (!matches.common2[i]) unique(2, names2[i].name);

    Findings found;
    for (std::size_t i = 0; i < names1.size(); ++i) {
        if (progress) progress(names1[i].name);
        if (in2[i] == kNoMatch) continue;
        found.clear();
        compare(ws, ui, names1[i].name, names2[in2[i]].name, found);
        if (sink)
            for (const Finding& f : found) sink(f);
        // After the findings are out, so the growing list is painted during a long run.
        ui.processEvents();
    }
}

}  // namespace

Lines CompareOneClass(Workspace& ws, UiHooks& ui, const std::string& className,
                      bool reportIdentical) {
    TClassInfo a;
    TClassInfo b;
    FetchClasses(ws, ui, className, SpellingIn(ws.tree(2).ClassNames, className), a, b);
    Lines lines;
    if (reportIdentical) {
        lines = ClassDetailLines(className, a, b);
    } else {
        Findings found;
        CompareClassInfos(className, a, b, found);
        for (const Finding& f : found) AppendFindingLines(f, lines);
    }
    ui.processEvents();
    return lines;
}

Lines CompareOneAttr(Workspace& ws, UiHooks& ui, const std::string& attrName,
                     bool reportIdentical) {
    std::string def1;
    std::string def2;
    FetchAttrs(ws, ui, attrName, SpellingIn(ws.tree(2).AttrNames, attrName), def1, def2);
    Lines lines;
    if (reportIdentical) {
        lines = AttrDetailLines(attrName, def1, def2);
    } else {
        Findings found;
        CompareAttrDefs(attrName, def1, def2, found);
        for (const Finding& f : found) AppendFindingLines(f, lines);
    }
    ui.processEvents();
    return lines;
}

void CompareAllClasses(Workspace& ws, UiHooks& ui, const LineFn& progress, const FindingFn& sink) {
    CompareAll(ws, ui, &TTreeInfo::ClassNames, FindingType::UniqueClass, CompareClass, progress,
               sink);
}

void CompareAllAttributes(Workspace& ws, UiHooks& ui, const LineFn& progress,
                          const FindingFn& sink) {
    CompareAll(ws, ui, &TTreeInfo::AttrNames, FindingType::UniqueAttribute, CompareAttr, progress,
               sink);
}
