// The LDAP backend: a live server's published schema, read with libldap once per tree
// change and served through the simulated engine; failures become the client's codes and
// the message table explains them (server, step, libldap's text, the server's diagnostic).
#pragma once

#include <QJsonObject>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/directory/SimulatedClient.h"

// What a schema read may take from a server: as much as one schema file may hold, many
// times any published schema. The tree built from it takes over ten times as much memory.
inline constexpr std::size_t kLdapReadLimit = std::size_t{64} << 20;

struct LdapSettings {
    std::string uri;  // ldap://, ldaps:// or ldapi://
    bool startTls = false;
    std::string bindDn;               // empty: anonymous
    std::string passwordFile;         // read at each bind, never kept
    std::string caFile;               // certificates to trust for TLS; empty: the system's
    bool allowCleartextBind = false;  // a password over an unencrypted network connection
    std::string treeName;             // configured; empty: the root DSE's, else the host
    double timeoutSeconds = 10;
    // The most one connection takes from the server, all messages together; no key sets it.
    std::size_t readLimit = kLdapReadLimit;
};

// What the root DSE says about the server.
struct LdapRootDse {
    std::string subschemaSubentry;
    std::vector<std::string> namingContexts;
    std::string defaultNamingContext;
    std::string directoryTreeName;
};

// An LDAP connection's settings from its configuration entry; relative paths are taken
// from baseDir. Reads nothing and contacts no server.
bool ParseLdapSettings(const QJsonObject& entry, const std::string& baseDir, LdapSettings& settings,
                       std::string& error);
// The host the URI names ("localhost" when it names none).
std::string LdapUriHost(const std::string& uri);

class LdapTreeSource : public SimTreeSource {
  public:
    explicit LdapTreeSource(LdapSettings settings);
    // The root DSE's directoryTreeName, else the URI's host; asked once per client.
    std::string treeName() override;
    SchemaLoad load() override;

  private:
    LdapSettings settings_;
};

// A subschema entry's DN that only Active Directory uses.
bool IsActiveDirectorySubschema(const std::string& dn);

// The connection kinds whose trees come from a source: "ldap", "schema-files", "ldif".
bool IsTreeSourceKind(const std::string& kind);
// The source for such a connection entry; nullptr and the reason when its settings are wrong.
std::shared_ptr<SimTreeSource> MakeTreeSource(const std::string& kind, const QJsonObject& entry,
                                              const std::string& baseDir, std::string& error);
