// Loading a tree slot, the one way the window, kalvix-cli and the benchmarks do it: a live
// tree through the directory client (read whole when its client has a source for it), a
// schema file read aside before it replaces what a slot holds.
#pragma once

#include <string>

#include "core/SchemaFile.h"
#include "core/UiHooks.h"
#include "core/Workspace.h"
#include "core/model/TreeSchema.h"

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

// Where a slot's tree comes from: a live tree by the name its client gives it, or a schema
// file by its path.
struct TreeSource {
    std::string treeName;  // a live tree; empty for a schema file
    std::string path;
    static TreeSource Live(std::string name) { return {std::move(name), {}}; }
    static TreeSource File(std::string path) { return {{}, std::move(path)}; }
};

// How a load went. A live tree's failures have been shown through the ui as they happened.
struct TreeLoad {
    bool loaded = false;    // the slot holds the tree, its names sorted
    DirCode code = 0;       // a live tree: the failed change, else the last failed name read
    std::string problem;    // a schema file that cannot be read: why
    bool noSchema = false;  // a schema file without one class or attribute name
};
// The one way every front end loads a slot: a live tree is changed to (read whole when its
// client has a source for it) and its names read; a schema file is read aside and replaces
// what the slot holds only when it holds a schema. Names come sorted; a slot whose load
// fails holds what it held.
TreeLoad LoadTree(Workspace& ws, UiHooks& ui, int tree, const TreeSource& source,
                  const StatusFn& status = {});
