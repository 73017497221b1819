// Decides once, at start-up, which directory client serves the program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/directory/DirClient.h"
#include "core/directory/UnavailableClient.h"

// The configuration named by KALVIX_CLIENT, else kalvix-client.json found as
// FindConfigFile does: the user's, else the one at the old place, else the system-wide one.
// Without one, a client whose start fails with 0xFFFF.
std::string ClientConfigPath();
std::unique_ptr<DirClient> CreateConfiguredClient();
// The client a configuration file describes; when the file or a tree description it names
// is missing or malformed, a client that cannot start and says why.
std::unique_ptr<DirClient> CreateClientFromConfig(const std::string& path);

// The window's client: the configured one; with no configuration at all, the installed
// demo's, and notice then says so and where the user's own configuration goes.
std::unique_ptr<DirClient> CreateWindowClient(std::string& notice);

// No configuration to read: KALVIX_CLIENT is not set and no kalvix-client.json is found.
bool NoClientConfig();
// Where the user's own configuration belongs, the home folder shown as ~.
std::string UserClientConfigShown();
// The demo configuration installed with the program (share/kalvix/demo/ beside its bin/
// folder, else in a $XDG_DATA_DIRS folder); empty when there is none.
std::string DemoClientConfigPath();
// A tree name that no connection of the configuration serves: 'no tree named "LABB" in
// PATH; did you mean "LAB"? (known: LAB, FILES)', the closest known name suggested only
// when it is close.
std::string NoTreeNamedText(const std::string& name, const std::vector<std::string>& known);

// The reader of an LDIF dump, a .schema file or a folder of them given as a file, as an
// "ldif" or "schema-files" connection reads them (format known by the content).
std::shared_ptr<SchemaSource> SchemaFilesAt(const std::string& path);
