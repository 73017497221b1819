// LDAP schema definitions (RFC 4512 descriptions, as a server's subschema entry or schema
// files publish them) turned into the simulated directory's class and attribute records,
// so a live LDAP server or a set of schema files is served as a tree like any other.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "SimulatedClient.h"

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

// The raw definitions of one schema, each one description as published.
struct SchemaDefinitions {
    std::vector<std::string> objectClasses;
    std::vector<std::string> attributeTypes;
    std::vector<std::string> ldapSyntaxes;
    // Schema files' OID macros ("objectIdentifier NAME OID"), in order of definition.
    std::vector<std::pair<std::string, std::string>> oidMacros;
};

// A definition left out of the tree, and why.
struct SkippedDefinition {
    std::string kind;  // "object class", "attribute type", "syntax"
    std::string text;
    std::string reason;
};

struct SchemaMapping {
    SimTree tree;  // classes and attributes in the order published; no default context
    bool ndsStyle = false;
    std::vector<SkippedDefinition> skipped;
};

// The whole mapping: names, flags, identifiers, item lists, syntaxes and bounds.
SchemaMapping MapSchema(const SchemaDefinitions& definitions);

// The BER encoding of a numeric OID (tag 6, length, content) when it fits in 32 bytes;
// otherwise, and for anything that is not a numeric OID, false and an empty identifier.
bool OidToAsn1Id(const std::string& oid, Asn1Id& id);
// The syntax id of a standard LDAP syntax OID (1.3.6.1.4.1.1466.115.121.1.N), else 0.
std::uint32_t StandardSyntaxId(const std::string& oid);
// The syntax id of one of Active Directory's own syntaxes (1.2.840.113556.1.4.N) where
// one has the same meaning, else 0.
std::uint32_t ActiveDirectorySyntaxId(const std::string& oid);
// libldap leaves these escapes in place: \27 is an apostrophe, \5C a backslash.
std::string UnescapeSchemaText(const std::string& text);
// An apostrophe with a non-blank on both sides becomes \27, so that "Bob's" inside a
// quoted string no longer ends it.
std::string EscapeInnerApostrophes(const std::string& text);

// Makes the skipped definitions visible where the user looks: an entry at the end of the
// attribute list whose take fails with kBadSchema, so a load reports the code once, after
// every good name has arrived. The text for the message table is returned: the counts by
// kind, then each skipped definition and why (the first 20, then how many more).
std::string MarkSkippedDefinitions(SimTree& tree, const std::vector<SkippedDefinition>& skipped,
                                   const std::string& source);
