// Reading the client configuration and tree descriptions (JSON).
//
// Client configuration (named by KALVIX_CLIENT, else kalvix-client.json in the user's or
// the system-wide configuration folder, ClientConfigPath):
//   {
//     "connections": [                       // in scan order
//       {"treeName": "ACME-TREE", "kind": "tree-file", "treeFile": "acme.json"},
//       ...
//     ],
//     "primary": 0,                          // index or tree name of a connection; null: none
//     "messages": {"-601": "No such entry", "0x8801": "Invalid connection"},   // optional
//     "failures": [ ... ]                    // optional, as in a tree description
//   }
// "kind" defaults to "tree-file"; a relative "treeFile" is taken from the configuration's
// folder. Without "messages" the client has no message library.
// Kinds whose tree is read when a context changes to it (docs/ldap.md):
//   {"kind": "ldap", "uri": "ldaps://dir.example.com/", "treeName": "ACME",     // optional
//    "bindDn": "cn=reader,o=acme", "passwordFile": "reader.pw", "caFile": "ca.pem",
//    "startTls": false, "timeout": 10}
//   {"kind": "schema-files", "treeName": "FILES", "files": ["core.schema", "dump.ldif"]}
//   {"kind": "ldif", "file": "subschema.ldif"}
//
// Tree description:
//   {
//     "defaultContext": "OU=Sales.O=Acme",
//     "batchSize": 25,                       // optional: entries per reply at most
//     "classes": [{"name": "Person", "flags": "0x02", "oid": "2.5.6.6",
//                  "superClasses": [...], "containmentClasses": [...],
//                  "namingAttributes": [...], "mandatoryAttributes": [...],
//                  "optionalAttributes": [...]}, ...],
//     "attributes": [{"name": "CN", "flags": 131, "syntax": 3, "lower": 1, "upper": 64,
//                     "oid": "2.5.4.3"}, ...],
//     "failures": [{"operation": "dcTakeClass", "name": "Person", "code": -601, "call": 2}]
//   }
// Numbers are JSON numbers or texts ("0xFFFFFFFF", "-1"); any 32-bit value goes, bounds are
// signed. An identifier is "oid" (dotted, encoded with tag 6) or "oidBytes" ("06 03 55 06 06",
// taken as they are, up to 32 bytes); "oidLength" overrides the record's length. Keys that
// begin with "_" are comments.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/directory/SimulatedClient.h"

struct ConnectionConfig {
    std::string treeName;  // as the client reports it; may be empty for a source's tree
    std::string kind;      // "tree-file", "ldap", "schema-files", "ldif"
    std::string treeFile;  // tree-file: the description's path, resolved
    QJsonObject entry;     // the connection as written, for kinds with settings of their own
    std::shared_ptr<SimTreeSource> source;  // ldap, schema-files, ldif: reads the tree
    std::size_t index = 0;                  // its place in "connections", from 0
};

// "connection 3 (\"LAB\")" for the entry at index (from 0) of "connections".
std::string ConnectionPlace(std::size_t index, const QJsonObject& entry);
// Where leftOut keeps what is wrong with "primary": after every connection.
inline constexpr std::size_t kPrimaryLeftOut = SIZE_MAX;
// Ends the line that says why a connection is left out.
inline constexpr const char* kConnectionLeftOut = " (the connection is left out)";

struct ClientConfig {
    std::vector<ConnectionConfig> connections;
    std::optional<std::size_t> primary;  // into connections
    std::optional<std::map<std::int32_t, std::string>> messages;
    std::vector<SimFailure> failures;
    // What could not be used and is left out, by entry in "connections" (from 0), each
    // "connection 3 (\"LAB\"): \"uri\": why (the connection is left out)", and "primary"
    // after them at kPrimaryLeftOut; the rest of the file serves.
    std::map<std::size_t, std::string> leftOut;
};

// The parsers give false and say what is wrong in error; the readers prefix the file name.
bool ParseClientConfig(const QByteArray& data, const std::string& baseDir, ClientConfig& config,
                       std::string& error);
bool ReadClientConfig(const std::string& path, ClientConfig& config, std::string& error);
bool ParseTreeDescription(const QByteArray& data, SimTree& tree, std::string& error);
bool ReadTreeDescription(const std::string& path, SimTree& tree, std::string& error);

// A whole file of at most 64 MiB; false with what is wrong, naming the file.
bool ReadClientFile(const std::string& path, QByteArray& data, std::string& error,
                    int* systemError = nullptr);

// "2.5.6.6" as a BER object identifier: tag 6, length, content.
bool EncodeOid(const std::string& dotted, Asn1Id& id, std::string& error);
// "06 03 55 06 06": the bytes as given, length = their count.
bool ParseOidBytes(const std::string& hex, Asn1Id& id, std::string& error);
