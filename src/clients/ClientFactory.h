// Decides once, at start-up, which directory client serves the program.
#pragma once

#include <memory>
#include <string>

#include "DirClient.h"

// The configuration named by KALVIX_CLIENT, else kalvix-client.json found as
// FindConfigFile does: the user's, else the one at the old place, else the system-wide one.
// Without one, a client whose start fails with 0xFFFF.
std::string ClientConfigPath();
std::unique_ptr<DirClient> CreateConfiguredClient();
// The client a configuration file describes; when the file or a tree description it names
// is missing or malformed, a client that cannot start and says why.
std::unique_ptr<DirClient> CreateClientFromConfig(const std::string& path);
// A client that cannot start: dcStartup gives 0xFFFF, and its message library (when
// reason is not empty) explains why.
std::unique_ptr<DirClient> CreateUnavailableClient(const std::string& reason);
