// The schema file: a snapshot of one tree's names and definitions in INI layout.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/UiHooks.h"
#include "core/Workspace.h"
#include "core/ini/IniFile.h"
#include "core/model/Definitions.h"
#include "core/model/TreeSchema.h"

using StatusFn = std::function<void(const std::string& message)>;

// A save that stopped because a read of the tree failed: a snapshot of part of a tree
// would pass for the whole one, so the file is kept as it was. The message says which
// read failed and that the file was kept.
class SchemaReadError : public std::runtime_error {
  public:
    SchemaReadError(const std::string& treeName, const std::string& failedRead,
                    const std::string& fileName);
    const std::string& fileName() const { return fileName_; }

  private:
    std::string fileName_;
};

// Writes the schema of slot `tree` (names and every definition) into path; the whole file
// is replaced at the end, so a failure (IniWriteError) leaves the previous file as it was.
// A slot whose schema holds published definitions also gets their texts, where they come
// from and which element types its source publishes, in sections no record's reading
// sees; a text the file cannot keep as it is (a line break) is such a failure, named.
// A live tree whose names or any definition could not be read raises SchemaReadError
// before the file is touched. The file gets this tree alone, whatever another save wrote
// to it meanwhile.
void SaveSchemaFile(Workspace& ws, UiHooks& ui, int tree, const std::string& path,
                    const StatusFn& status);

// Makes the file the slot's source: SchemaFile, TreeName ("Unknown tree name" without
// one), Online 0 and FileName.
void OpenSchemaFileIntoSlot(TTreeInfo& slot, const std::string& path);

// Whether path holds LDAP definitions rather than a schema file of Kalvix's own: a folder,
// or a file whose first line that is not blank or a comment is an LDIF line ("dn:",
// "version:", "objectClasses: ...") or a schema file directive ("attributetype ...").
// Known by the content, not the name; a file that cannot be opened is not.
bool HoldsLdapDefinitions(const std::string& path);
// Appends the file's attribute names, then its class names, to the slot's lists.
void ReadSchemaNames(TTreeInfo& slot, const StatusFn& status);

// The published definitions a schema file keeps beside its records, mapped as the live tree
// was; null for a file that keeps none (saved from a tree description, or earlier). A file
// is one tree: published definitions that do not read, that hold more than a server's answer
// may, or whose classes and attribute types are not the ones the file lists (slot's names),
// give null and why in problem.
std::shared_ptr<const TreeSchema> ReadPublishedSchema(IniFile& file, const TTreeInfo& slot,
                                                      std::string& problem);

// The offline reads of one definition; a missing entry leaves the output as passed.
void ReadClassDefFromFile(IniFile& file, const std::string& className, TClassInfo& info);
void ReadAttrDefFromFile(IniFile& file, const std::string& attrName, std::string& definition);
