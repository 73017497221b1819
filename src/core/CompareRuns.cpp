// The comparisons that fetch their definitions: one name, or a whole run over both trees.
#include <memory>
#include <string>

#include "Compare.h"
#include "DefinitionAccess.h"
#include "QuickCheck.h"

namespace {

// Each tree's definition is fetched under that tree's own spelling of the name; the
// findings name it as Tree #1 writes it.
Lines FetchAndCompareClass(Workspace& ws, UiHooks& ui, const std::string& className,
                           const std::string& name2, bool reportIdentical) {
    TClassInfo a;
    TClassInfo b;
    GetClassDef(ws, ui, 1, className, a);
    GetClassDef(ws, ui, 2, name2, b);
    Lines lines;
    CompareClassInfos(className, a, b, reportIdentical, lines);
    ClassInfoFree(a);
    ClassInfoFree(b);
    return lines;
}

Lines FetchAndCompareAttr(Workspace& ws, UiHooks& ui, const std::string& attrName,
                          const std::string& name2, bool reportIdentical) {
    TAttrInfo a;
    TAttrInfo b;
    GetAttrDef(ws, ui, 1, attrName, a.Definition);
    GetAttrDef(ws, ui, 2, name2, b.Definition);
    Lines lines;
    CompareAttrDefs(attrName, a.Definition, b.Definition, reportIdentical, lines);
    return lines;
}

using Fetcher = Lines (*)(Workspace&, UiHooks&, const std::string&, const std::string&, bool);

// The run shared by classes and attributes. The name lists are copied first: the window
// lets events run in between, and a reload must not pull the lists away from under the
// loop. (The line sink is not called emit: QtCore defines that word away.)
void CompareAll(Workspace& ws, UiHooks& ui, NameList TTreeInfo::*names, const char* what,
                Fetcher fetch, const LineFn& progress, const LineFn& sink) {
    const NameList names1 = ws.tree(1).*names;
    const NameList names2 = ws.tree(2).*names;
    // Each offline slot's file is checked against the disk once for the whole run.
    std::vector<std::unique_ptr<IniFile::Hold>> holds;
    for (int t : {1, 2})
        if (ws.tree(t).Online == 0 && ws.tree(t).SchemaFile)
            holds.push_back(std::make_unique<IniFile::Hold>(*ws.tree(t).SchemaFile));

    const std::vector<std::size_t> in2 = MatchNames(names1, names2);
    const std::vector<std::size_t> in1 = MatchNames(names2, names1);

    auto emitLine = [&](const std::string& line) {
        if (sink) sink(line);
    };
    auto uniqueLine = [&](int tree, const std::string& name) {
        return "Tree #" + std::to_string(tree) + " - Unique " + what + ": \"" + name + "\"";
    };

    for (std::size_t i = 0; i < names1.size(); ++i)
        if (in2[i] == kNoMatch) emitLine(uniqueLine(1, names1[i].name));
    for (std::size_t i = 0; i < names2.size(); ++i)
        if (in1[i] == kNoMatch) emitLine(uniqueLine(2, names2[i].name));

    for (std::size_t i = 0; i < names1.size(); ++i) {
        if (progress) progress(names1[i].name);
        if (in2[i] == kNoMatch) continue;
        for (const std::string& line : fetch(ws, ui, names1[i].name, names2[in2[i]].name, false))
            emitLine(line);
        // After the lines are out, so the growing list is painted during a long run.
        ui.processEvents();
    }
}

}  // namespace

Lines CompareOneClass(Workspace& ws, UiHooks& ui, const std::string& className,
                      bool reportIdentical) {
    const std::string name2 = SpellingIn(ws.tree(2).ClassNames, className);
    Lines lines = FetchAndCompareClass(ws, ui, className, name2, reportIdentical);
    ui.processEvents();
    return lines;
}

Lines CompareOneAttr(Workspace& ws, UiHooks& ui, const std::string& attrName,
                     bool reportIdentical) {
    const std::string name2 = SpellingIn(ws.tree(2).AttrNames, attrName);
    Lines lines = FetchAndCompareAttr(ws, ui, attrName, name2, reportIdentical);
    ui.processEvents();
    return lines;
}

void CompareAllClasses(Workspace& ws, UiHooks& ui, const LineFn& progress, const LineFn& sink) {
    CompareAll(ws, ui, &TTreeInfo::ClassNames, "Class", FetchAndCompareClass, progress, sink);
}

void CompareAllAttributes(Workspace& ws, UiHooks& ui, const LineFn& progress, const LineFn& sink) {
    CompareAll(ws, ui, &TTreeInfo::AttrNames, "Attribute", FetchAndCompareAttr, progress, sink);
}
