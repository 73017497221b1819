#include "core/compare/BuiltIn.h"

#include "core/D_Util.h"
#include "core/model/SystemSchema.h"

int ServerAgainstFiles(const Workspace& ws) {
    const SlotKind one = KindOf(ws.Trees[1]);
    const SlotKind two = KindOf(ws.Trees[2]);
    const auto server = [](SlotKind kind) {
        return kind == SlotKind::Live || kind == SlotKind::LdifDump;
    };
    if (two == SlotKind::SchemaFiles && server(one) && ws.Trees[1].Schema) return 1;
    if (one == SlotKind::SchemaFiles && server(two) && ws.Trees[2].Schema) return 2;
    return 0;
}

bool BuiltIntoServer(const LdapElement& element) {
    if (!element.usage.empty() && AsciiLower(element.usage) != "userapplications") return true;
    if (SystemSchema().find(element.type, element.oid) != nullptr) return true;
    // OpenLDAP's own arc: its configuration schema (olc*), root DSE and overlay types.
    constexpr std::string_view kOpenLdapArc = "1.3.6.1.4.1.4203.";
    return element.oid.starts_with(kOpenLdapArc);
}
