// A tree whose source publishes LDAP definitions, as the core holds it: every published
// element with every field, the names its lists give the classes and attribute types, where
// it comes from and what was left out. The directory's records are a view of it
// (core/directory/RecordView.h).
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/SourceProblem.h"
#include "core/model/PublishedElements.h"

// A class or attribute type by the name the tree's lists give it (its X-NDS_NAME, else its
// first NAME, else its OID), and its element among the published ones.
struct SchemaClass {
    std::string name;
    int element = -1;
};

struct SchemaAttribute {
    std::string name;
    int element = -1;
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
    std::string taken = {};  // when it was read, UTC ("2026-12-08T06:20:00Z"); empty: not known
    bool ldif = false;       // files: LDIF dumps, not .schema files
};

struct TreeSchema {
    SchemaOrigin origin;
    std::string defaultContext;
    bool ndsStyle = false;             // the source publishes X-NDS_ extensions
    std::vector<SchemaClass> classes;  // in the order published
    std::vector<SchemaAttribute> attributes;
    PublishedElements published;
    std::vector<SkippedDefinition> skipped;
    // Files only: the references to an attribute type or class that no file defines nor
    // the standards' system schema (reason: "SUP name", "MUST cn"); text is the definer.
    std::vector<SkippedDefinition> unresolved;

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
