// The directory's records (class flags, ASN.1 ids, item lists, attribute info) as the
// simulated directory holds them, and as they are computed from a published definition for
// whatever still reads records: a pair where one tree has no published definitions, a
// schema file saved from a tree, a tree served through the simulated client.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/directory/DirClient.h"
#include "core/model/TreeSchema.h"

struct SimClass {
    std::string name;
    std::uint32_t flags = 0;
    Asn1Id id;
    // Super classes, containment classes, naming, mandatory and optional attributes.
    std::array<std::vector<std::string>, 5> items;
};

struct SimAttr {
    std::string name;
    DirAttrInfo info;
};

// The flags of a class's record.
std::uint32_t ClassFlags(const TreeSchema& schema, const LdapElement& element);
// The record of a class or attribute type of the tree; a name without an element gives
// an empty record of that name.
SimClass ClassRecord(const TreeSchema& schema, const SchemaClass& cls);
SimAttr AttributeRecord(const TreeSchema& schema, const SchemaAttribute& attr);

// The BER encoding of a numeric OID (tag 6, length, content) when it fits in 32 bytes;
// otherwise, and for anything that is not a numeric OID, false and an empty identifier.
bool OidToAsn1Id(const std::string& oid, Asn1Id& id);
// The syntax id of a standard LDAP syntax OID (1.3.6.1.4.1.1466.115.121.1.N), else 0.
std::uint32_t StandardSyntaxId(const std::string& oid);
// The syntax id of one of Active Directory's own syntaxes (1.2.840.113556.1.4.N) where
// one has the same meaning, else 0.
std::uint32_t ActiveDirectorySyntaxId(const std::string& oid);
