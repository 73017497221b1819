// Loading a tree slot, the one way the window, kalvix-cli and the benchmarks do it: a live
// tree through the directory client (read whole when its client has a source for it), a
// schema file read aside before it replaces what a slot holds.
#pragma once

#include <string>

#include "SchemaFile.h"
#include "TreeSchema.h"
#include "UiHooks.h"
#include "Workspace.h"

// Shows a directory message as every directory error is shown.
void ShowDirectoryMessage(UiHooks& ui, const DirectoryMessage& message);

// Changes slot `tree` to a live tree: marks it online under that name and changes its
// context to the tree, or, for a tree its client reads whole, reads its schema. A failure
// is reported ("Error %04X: DSChangeCurrentTree") and its code returned; the slot then
// holds what it held before: its name, state, schema and a tree read through its context.
DirCode ChangeSlotTree(Workspace& ws, UiHooks& ui, int tree, const std::string& treeName);
// The slot's class names, then its attribute names (both lists cleared first): from the
// schema it holds, else read through the client. A failed read is reported and the other
// still runs; the last code is returned. A failure is noted in the slot, so no save takes
// part of a tree for the whole.
DirCode ReadSlotNames(Workspace& ws, UiHooks& ui, int tree);

// A schema file read into a slot of its own, so a slot changes only when the file turns
// out to hold a schema.
struct SchemaFileRead {
    TTreeInfo slot;
    std::string problem;    // why the file cannot be read; "" when it could
    bool noSchema = false;  // read, but not one class or attribute name in it
};
// Reads the names of the schema file at path (it must exist and be a regular file), and the
// published definitions it keeps beside its records into the slot's Schema (none: null).
SchemaFileRead ReadSchemaFileAside(const std::string& path, const StatusFn& status);
