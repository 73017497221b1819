// A tree's schema as the core holds it: the classes and attributes as the window's views
// and the comparisons read them, and, for trees whose source publishes LDAP definitions,
// every published element with every field.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/SourceProblem.h"
#include "core/directory/DirClient.h"
#include "core/model/PublishedElements.h"

struct SchemaClass {
    std::string name;
    std::uint32_t flags = 0;
    Asn1Id id;
    // Super classes, containment classes, naming, mandatory and optional attributes.
    std::array<std::vector<std::string>, 5> items;
    int element = -1;  // its object class in the published elements; -1 for none
};

struct SchemaAttribute {
    std::string name;
    DirAttrInfo info;
    int element = -1;  // its attribute type in the published elements; -1 for none
};

// A definition left out of the tree, and why.
struct SkippedDefinition {
    std::string kind;  // "object class", "attribute type", "syntax", ...
    std::string text;
    std::string reason;
    std::string place = {};  // "core.schema:212": the file and line it begins on; empty: unknown
};

// Where a tree read whole comes from, for people and for the fix-up writers.
struct SchemaOrigin {
    std::string description;  // the server's address or the files
    bool server = false;      // a live server's subschema entry, not files
    std::string subschemaDn;  // where the server publishes it; empty for files
    bool activeDirectory = false;
    bool openLdapConfig = false;  // publishes olcSchemaConfig: takes cn=config changes
};

struct TreeSchema {
    SchemaOrigin origin;
    std::string defaultContext;
    bool ndsStyle = false;             // the source publishes X-NDS_ extensions
    std::vector<SchemaClass> classes;  // in the order published
    std::vector<SchemaAttribute> attributes;
    PublishedElements published;
    std::vector<SkippedDefinition> skipped;

    // Builds the name lookups (and the published elements' own); call once filled.
    void index();
    // The first class (attribute) of that name, any letter case as the lists compare; null
    // for none.
    const SchemaClass* findClass(const std::string& name) const;
    const SchemaAttribute* findAttribute(const std::string& name) const;
    // The published definition behind a class or attribute; null for none.
    const LdapElement* elementOf(const SchemaClass& cls) const;
    const LdapElement* elementOf(const SchemaAttribute& attr) const;
    // The name the tree's lists give a class's or attribute type's element; its first
    // NAME, else its OID, when no list holds it.
    std::string shownName(ElementType type, const LdapElement& element) const;

  private:
    std::unordered_map<std::string, std::size_t> classIndex_;
    std::unordered_map<std::string, std::size_t> attrIndex_;
};

// The outcome of reading a tree whole: the schema, else the failure (its code not 0); and
// what the user should hear about a schema read with gaps (the definitions left out).
struct SchemaLoad {
    std::shared_ptr<const TreeSchema> schema;
    SourceProblem failure;
    std::vector<SourceProblem> notices;
};

// A tree that is read whole from somewhere (an LDAP server, schema files, LDIF dumps),
// each time a slot changes to it.
class SchemaSource {
  public:
    virtual ~SchemaSource() = default;
    // The tree name of a connection whose configuration gives none; empty when unknown.
    virtual std::string treeName() { return {}; }
    virtual SchemaLoad load() = 0;
};
