// The comparisons that fetch their definitions: one name, or a whole run over both trees.
#include <memory>
#include <string>
#include <unordered_set>

#include "Compare.h"
#include "DefinitionAccess.h"

namespace {

Lines FetchAndCompareClass(Workspace& ws, UiHooks& ui, const std::string& className,
                           bool reportIdentical) {
    TClassInfo a;
    TClassInfo b;
    GetClassDef(ws, ui, 1, className, a);
    GetClassDef(ws, ui, 2, className, b);
    Lines lines;
    CompareClassInfos(className, a, b, reportIdentical, lines);
    ClassInfoFree(a);
    ClassInfoFree(b);
    return lines;
}

Lines FetchAndCompareAttr(Workspace& ws, UiHooks& ui, const std::string& attrName,
                          bool reportIdentical) {
    TAttrInfo a;
    TAttrInfo b;
    GetAttrDef(ws, ui, 1, attrName, a.Definition);
    GetAttrDef(ws, ui, 2, attrName, b.Definition);
    Lines lines;
    CompareAttrDefs(attrName, a.Definition, b.Definition, reportIdentical, lines);
    return lines;
}

using Fetcher = Lines (*)(Workspace&, UiHooks&, const std::string&, bool);

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

    std::vector<std::string> keys1;
    keys1.reserve(names1.size());
    for (const NameEntry& entry : names1) keys1.push_back(NameKey(entry.name));
    const std::unordered_set<std::string> set1(keys1.begin(), keys1.end());
    std::unordered_set<std::string> set2;
    set2.reserve(names2.size());
    for (const NameEntry& entry : names2) set2.insert(NameKey(entry.name));

    auto emitLine = [&](const std::string& line) {
        if (sink) sink(line);
    };
    auto uniqueLine = [&](int tree, const std::string& name) {
        return "Tree #" + std::to_string(tree) + " - Unique " + what + ": \"" + name + "\"";
    };

    for (std::size_t i = 0; i < names1.size(); ++i)
        if (!set2.contains(keys1[i])) emitLine(uniqueLine(1, names1[i].name));
    for (const NameEntry& entry : names2)
        if (!set1.contains(NameKey(entry.name))) emitLine(uniqueLine(2, entry.name));

    for (std::size_t i = 0; i < names1.size(); ++i) {
        if (progress) progress(names1[i].name);
        if (!set2.contains(keys1[i])) continue;
        for (const std::string& line : fetch(ws, ui, names1[i].name, false)) emitLine(line);
        // After the lines are out, so the growing list is painted during a long run.
        ui.processEvents();
    }
}

}  // namespace

Lines CompareOneClass(Workspace& ws, UiHooks& ui, const std::string& className,
                      bool reportIdentical) {
    Lines lines = FetchAndCompareClass(ws, ui, className, reportIdentical);
    ui.processEvents();
    return lines;
}

Lines CompareOneAttr(Workspace& ws, UiHooks& ui, const std::string& attrName,
                     bool reportIdentical) {
    Lines lines = FetchAndCompareAttr(ws, ui, attrName, reportIdentical);
    ui.processEvents();
    return lines;
}

void CompareAllClasses(Workspace& ws, UiHooks& ui, const LineFn& progress, const LineFn& sink) {
    CompareAll(ws, ui, &TTreeInfo::ClassNames, "Class", FetchAndCompareClass, progress, sink);
}

void CompareAllAttributes(Workspace& ws, UiHooks& ui, const LineFn& progress, const LineFn& sink) {
    CompareAll(ws, ui, &TTreeInfo::AttrNames, "Attribute", FetchAndCompareAttr, progress, sink);
}
