// What Tree #2 lacks of Tree #1's published schema, as an LDIF document that gives it:
// which definitions to add and in what order, which of them cannot be added safely and
// why, and the document itself in one of three dialects (or as an OpenLDAP .schema file).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/Workspace.h"
#include "core/model/PublishedSchema.h"

enum class LdifDialect {
    Rfc4512,   // a modify of the subschema entry (389 DS, NetWare-descended directories)
    OpenLdap,  // a new schema entry under cn=schema,cn=config
    Ad,        // attributeSchema and classSchema objects in Active Directory's schema
};

enum class ReconcileScope {
    Everything,
    AttributeTypes,  // attribute types only
    ObjectClasses,   // classes, and the attribute types they need
};

struct ReconcileOptions {
    LdifDialect dialect = LdifDialect::Rfc4512;
    bool includeChanged = false;  // replace common definitions that differ
    ReconcileScope scope = ReconcileScope::Everything;
    // The ad dialect: where the schema objects go. Empty: Tree #2's schema naming context.
    std::string schemaDn;
    // The ad dialect: DC=X in place of the forest's DN, for ldifde -c DC=X <forest DN>.
    bool forestPlaceholder = false;
    // Write a server's own configuration schema too (olc..., nsslapd-...).
    bool includeConfigSchema = false;
};

enum class DefinitionKind { AttributeType, ObjectClass };

struct PlannedAddition {
    DefinitionKind kind;
    const PublishedDefinition* definition;  // Tree #1's
};

struct PlannedChange {
    DefinitionKind kind;
    const PublishedDefinition* tree1;
    const PublishedDefinition* tree2;  // the value to replace
    // The ad dialect: the optional attributes a class gains (AD changes nothing else of a
    // class), or an attribute type's new description.
    std::vector<std::string> mayAdded;
    bool descriptionChanged = false;
};

struct RefusedDefinition {
    DefinitionKind kind;
    const PublishedDefinition* definition;  // Tree #1's
    std::string reason;
    bool change = false;  // a replacement, not an addition
};

// Points into the two schemas it was planned from; they must outlive it.
struct ReconcilePlan {
    // Attribute types, then classes; each after everything it needs.
    std::vector<PlannedAddition> additions;
    std::vector<PlannedChange> changes;
    std::vector<RefusedDefinition> refused;

    bool nothingToDo() const { return additions.empty() && changes.empty() && refused.empty(); }
};

// The published definitions of the tree a slot holds, as reconcile reads them: a tree read
// whole from a source that publishes them, or a schema file that keeps them (a snapshot,
// named as such with its file in the origin). Null exactly when the slot holds no Schema: a
// tree description, or a schema file without them.
std::shared_ptr<const PublishedSchema> SlotPublishedSchema(const TTreeInfo& slot);

ReconcilePlan PlanReconcile(const PublishedSchema& tree1, const PublishedSchema& tree2,
                            const ReconcileOptions& options);

struct LdifHeader {
    std::string tree1Name;
    std::string tree2Name;
    std::string program;     // "kalvix-cli (Kalvix v1.02)", the program and its version
    std::string time;        // when it was written, as people read it
    std::string schemaName;  // the cn=config schema entry's name (openldap dialect)
};

// The same definitions as an OpenLDAP .schema file to include in slapd.conf: the header and
// refusals as comments, then one attributetype or objectclass line each.
std::string WriteReconcileSchemaFile(const ReconcilePlan& plan, const PublishedSchema& tree1,
                                     const PublishedSchema& tree2, const ReconcileOptions& options,
                                     const LdifHeader& header);

std::string WriteReconcileLdif(const ReconcilePlan& plan, const PublishedSchema& tree1,
                               const PublishedSchema& tree2, const ReconcileOptions& options,
                               const LdifHeader& header);

// The dialect a tree's server takes: ad for Active Directory, openldap for an OpenLDAP
// server (it publishes its configuration schema, olcSchemaConfig), which refuses schema
// changes to its subschema entry; rfc4512 for any other.
LdifDialect PreferredDialect(const PublishedSchema& tree2);
// "kalvix-" and the tree name, with anything but letters, digits, '-' and '_' as '-'.
std::string DefaultSchemaName(const std::string& treeName);
// One attribute line of LDIF, folded at 76 columns; base64 unless the value is a safe string.
std::string LdifAttributeLine(const std::string& attribute, const std::string& value);
// Where the ad dialect puts the schema objects: --schema-dn, else the forest placeholder's
// CN=Schema,CN=Configuration,DC=X, else Tree #2's schema naming context (empty: none known).
std::string AdSchemaDn(const ReconcileOptions& options, const PublishedSchema& tree2);

// How an LDAP syntax is written in Active Directory: attributeSyntax, oMSyntax and, for
// the object syntaxes, oMObjectClass (a dotted OID).
struct AdSyntax {
    const char* attributeSyntax;
    int oMSyntax;
    const char* oMObjectClass;  // null when AD needs none
};
// The AD syntax of the same meaning as an LDAP syntax OID; null when AD has none.
const AdSyntax* AdSyntaxFor(const std::string& ldapSyntaxOid);
// Why AD cannot take a name as an lDAPDisplayName; empty when it can.
std::string AdNameProblem(const std::string& name);

// An RDN value with RFC 4514's escapes.
std::string EscapeDnValue(const std::string& value);
