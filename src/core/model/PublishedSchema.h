// The definitions of a tree as its source publishes them (an LDAP server's subschema entry,
// schema files, LDIF dumps), kept beside the records the comparisons read, so that what
// one tree lacks can be written back in the other's own words.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/model/LdapElement.h"
#include "core/model/PublishedElements.h"

struct PublishedDefinition {
    std::string oid;  // OID macros expanded; may be a name-form OID
    std::vector<std::string> names;
    std::string shown;  // the name the tree's lists give it
    // The super type (one at most) of an attribute type, the super classes of a class.
    std::vector<std::string> sups;
    // A class's mandatory, then optional attributes.
    std::vector<std::string> must;
    std::vector<std::string> may;
    // The published description on one line, OID macros expanded.
    std::string text;
    // Equal for two definitions that say the same thing, however each is spelled.
    std::string canonical;
    // An attribute type the server itself maintains (USAGE other than userApplications).
    bool operational = false;
    // Every field as published, for the writers that spell a definition in other words.
    LdapElement element;
};

struct PublishedSchema {
    std::string origin;       // the server's address or the files, for people to read
    bool server = false;      // a live server's subschema entry, not files
    std::string subschemaDn;  // where the server publishes it; empty for files
    bool activeDirectory = false;
    bool ndsStyle = false;  // publishes X-NDS_ extensions: a NetWare-descended directory
    // Active Directory's schema naming context (its root DSE's schemaNamingContext): the
    // parent of its subschema entry, CN=Aggregate. Empty for other trees.
    std::string schemaNamingContext;
    // The tree's syntaxes and matching rules (only those two types), for what a definition
    // needs; publishes() says whether the tree lists them at all.
    PublishedElements rules;
    std::vector<PublishedDefinition> attributeTypes;  // in the order published
    std::vector<PublishedDefinition> objectClasses;
};
