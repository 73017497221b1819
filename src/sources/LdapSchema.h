// A schema mapped from LDAP definitions served as the simulated directory's tree, and the
// codes the LDAP server and schema file trees answer with.
#pragma once

#include <string>
#include <vector>

#include "core/directory/SimulatedClient.h"
#include "core/model/LdapMapping.h"

// The codes the LDAP server and schema file trees answer with, in the ranges a NetWare
// client uses. The message table of the client explains each failure in full.
namespace ldapcode {
inline constexpr DirCode kNoSubschema = -601;  // no subschema entry, or one without definitions
inline constexpr DirCode kBadSchema = -613;    // definitions that do not parse
inline constexpr DirCode kUnreachable = -625;  // server down, connection or TLS failure
inline constexpr DirCode kFileError = -632;    // a schema file that cannot be read
inline constexpr DirCode kTimedOut = -635;     // no answer within the network timeout
inline constexpr DirCode kLdapError = -641;    // any other LDAP failure
inline constexpr DirCode kBindRefused = -669;  // bind refused, password file unreadable
inline constexpr DirCode kNoAccess = -672;     // the server refuses the read
}  // namespace ldapcode

struct SchemaMapping {
    SimTree tree;  // classes and attributes in the order published; no default context
    bool ndsStyle = false;
    std::vector<SkippedDefinition> skipped;
};

// The whole mapping, served: names, flags, identifiers, item lists, syntaxes and bounds.
SchemaMapping MapSchema(const SchemaDefinitions& definitions);

// libldap leaves these escapes in place: \27 is an apostrophe, \5C a backslash.
std::string UnescapeSchemaText(const std::string& text);
// An apostrophe with a non-blank on both sides becomes \27, so that "Bob's" inside a
// quoted string no longer ends it for libldap.
std::string EscapeInnerApostrophes(const std::string& text);
