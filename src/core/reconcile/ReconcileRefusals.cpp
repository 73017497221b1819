// What a target server refuses that the writers would otherwise write as published: each
// refusal seen from the server itself, refused before writing with the server's reason.
#include <algorithm>

#include "core/D_Util.h"
#include "core/model/LdapMapping.h"
#include "core/reconcile/ReconcileDetail.h"

namespace reconcile {

namespace {

bool StartsWithFolded(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() && AsciiLower(text.substr(0, prefix.size())) == prefix;
}

// The server family whose own configuration schema a definition is, else null.
const char* ConfigurationFamily(const PublishedDefinition& def) {
    // OpenLDAP: cn=config's schema (olc...) and its root DSE's class.
    if (def.oid.starts_with("1.3.6.1.4.1.4203.1.12.2.") || def.oid == "1.3.6.1.4.1.4203.1.4.1")
        return "OpenLDAP";
    for (const std::string& name : def.names) {
        if (StartsWithFolded(name, "olc") || AsciiLower(name) == "openldaprootdse")
            return "OpenLDAP";
        // 389 Directory Server's cn=config and replication agreements.
        for (std::string_view prefix :
             {"nsslapd-", "nsds5", "nsds7", "nsslapdplugin", "nsmapping", "nsds-", "nsslapdconfig"})
            if (StartsWithFolded(name, prefix)) return "389 Directory Server";
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> DialectRefusal(LdifDialect dialect, DefinitionKind kind,
                                          const PublishedDefinition& def, const Lookup& classes1,
                                          const Lookup& classes2, bool includeConfigSchema,
                                          bool targetTakesSups) {
    if (!includeConfigSchema)
        if (const char* family = ConfigurationFamily(def))
            return std::string("configuration schema of ") + family +
                   " (--include-config-schema writes it)";
    if (dialect == LdifDialect::Ad) return std::nullopt;
    const LdapElement& e = def.element;
    for (const std::string& name : def.names)
        if (name.find_first_of(" \t") != std::string::npos)
            return "its name '" + name + "' holds a blank, which servers refuse";
    if (dialect == LdifDialect::Rfc4512) {
        // 389 keeps the first and drops the rest without a word; NetWare-descended
        // directories take them all.
        if (kind == DefinitionKind::ObjectClass && def.sups.size() > 1 && !targetTakesSups)
            return "it has " + std::to_string(def.sups.size()) +
                   " super classes; 389 Directory Server keeps only the first";
        return std::nullopt;
    }
    // openldap: one refusal rejects the whole schema entry.
    if (!IsNumericOid(def.oid))
        return "its OID '" + def.oid + "' is not numeric, which slapd refuses";
    if (kind == DefinitionKind::AttributeType && e.noUserModification && !def.operational)
        return std::string(
            "it is NO-USER-MODIFICATION but not operational (USAGE "
            "userApplications), which slapd refuses");
    if (kind == DefinitionKind::ObjectClass && AsciiLower(e.kind) == "auxiliary") {
        for (const std::string& sup : def.sups) {
            const PublishedDefinition* s = classes2.find(sup);
            if (s == nullptr) s = classes1.find(sup);
            const std::string supKind = s != nullptr ? AsciiLower(s->element.kind) : "";
            if (s != nullptr && (supKind.empty() || supKind == "structural"))
                return "an AUXILIARY class under the STRUCTURAL class '" + s->shown +
                       "', which slapd refuses";
        }
    }
    return std::nullopt;
}

}  // namespace reconcile
