// A server compared with the .schema files it runs: what the server defines itself (its
// operational types, the standards' system schema, OpenLDAP's own and configuration
// schema) is no difference the files could mend, so it is shown apart.
#pragma once

#include "core/Workspace.h"
#include "core/model/LdapElement.h"

// The tree (1 or 2) that is a server or its dump, when the other is .schema files; else 0.
int ServerAgainstFiles(const Workspace& ws);
// Whether a server's definition is one it builds in rather than loads from a file.
bool BuiltIntoServer(const LdapElement& element);
