#include "sources/ConnectionKind.h"

#include "core/Names.h"
#include "sources/ClientConfig.h"
#include "sources/ClientFactory.h"

namespace {

// The client reports a padded name without its trailing underscores, in any letter case.
std::string TreeKey(std::string name) {
    while (!name.empty() && name.back() == '_') name.pop_back();
    return NameKey(name);
}

}  // namespace

std::string LiveTreeHow(const std::string& treeName) {
    ClientConfig config;
    std::string error;
    if (!ReadClientConfig(ClientConfigPath(), config, error)) return {};
    const std::string key = TreeKey(treeName);
    for (const ConnectionConfig& c : config.connections) {
        if (c.treeName.empty() || TreeKey(c.treeName) != key) continue;
        if (c.kind == "ldap") {
            const std::string uri = c.entry.value("uri").toString().toStdString();
            return uri.empty() ? "LDAP" : "LDAP " + uri;
        }
        if (c.kind == "tree-file") return "simulated tree file";
        if (c.kind == "schema-files") return "schema files";
        if (c.kind == "ldif") return "LDIF subschema dump";
        return c.kind;
    }
    return {};
}
