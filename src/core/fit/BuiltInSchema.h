// The definitions slapd builds into itself rather than reads from its .schema files (the
// standards' system schema, SystemSchema, and its own entryCSN): a tree read from those
// files lacks them, yet the server that loads the files has them.
#pragma once

#include "core/model/TreeSchema.h"

// Whether the tree lacks what every server defines (the objectClass attribute type), as a
// tree of OpenLDAP .schema files does.
bool LacksBuiltInSchema(const TreeSchema& tree);
// The tree with each built-in definition it lacks (by OID and by name) added, indexed.
TreeSchema WithBuiltInSchema(const TreeSchema& tree);
