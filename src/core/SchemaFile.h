// The schema file: a snapshot of one tree's names and definitions in INI layout.
#pragma once

#include <functional>
#include <string>

#include "Definitions.h"
#include "IniFile.h"
#include "UiHooks.h"
#include "Workspace.h"

using StatusFn = std::function<void(const std::string& message)>;

// Writes the schema of slot `tree` (names and every definition) into path; the whole file
// is replaced at the end, so a failure (IniWriteError) leaves the previous file as it was.
void SaveSchemaFile(Workspace& ws, UiHooks& ui, int tree, const std::string& path,
                    const StatusFn& status);

// Makes the file the slot's source: SchemaFile, TreeName ("Unknown tree name" without
// one), Online 0 and FileName.
void OpenSchemaFileIntoSlot(TTreeInfo& slot, const std::string& path);
// Appends the file's attribute names, then its class names, to the slot's lists.
void ReadSchemaNames(TTreeInfo& slot, const StatusFn& status);

// The offline reads of one definition; a missing entry leaves the output as passed.
void ReadClassDefFromFile(IniFile& file, const std::string& className, TClassInfo& info);
void ReadAttrDefFromFile(IniFile& file, const std::string& attrName, std::string& definition);
