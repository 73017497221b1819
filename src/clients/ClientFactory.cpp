#include "ClientFactory.h"

#include <cstdlib>
#include <map>

#include "ClientConfig.h"
#include "ConfigFiles.h"
#include "SimulatedClient.h"

namespace {

const char* const kClientConfigName = "kalvix-client.json";

std::string ConfigFromEnvironment() {
    const char* env = std::getenv("KALVIX_CLIENT");
    return env != nullptr ? std::string(env) : std::string();
}

}  // namespace

std::string ClientConfigPath() {
    std::string path = ConfigFromEnvironment();
    if (!path.empty()) return path;
    return FindConfigFile(kClientConfigName, true).path;
}

std::unique_ptr<DirClient> CreateClientFromConfig(const std::string& path) {
    ClientConfig config;
    std::string error;
    if (!ReadClientConfig(path, config, error)) return CreateUnavailableClient(error);

    SimDirectory directory;
    // Connections that serve the same description share one tree.
    std::map<std::string, std::shared_ptr<SimTree>> trees;
    for (const ConnectionConfig& c : config.connections) {
        if (c.source) {  // read when a context changes to the tree
            directory.connections.push_back({c.treeName, nullptr, c.source});
            continue;
        }
        std::shared_ptr<SimTree>& tree = trees[c.treeFile];
        if (!tree) {
            auto loaded = std::make_shared<SimTree>();
            if (!ReadTreeDescription(c.treeFile, *loaded, error))
                return CreateUnavailableClient(error);
            tree = std::move(loaded);
        }
        directory.connections.push_back({c.treeName, tree});
    }
    directory.primary = config.primary;
    directory.messages = std::move(config.messages);
    directory.failures = std::move(config.failures);
    return std::make_unique<SimulatedClient>(std::move(directory));
}

std::unique_ptr<DirClient> CreateConfiguredClient() {
    if (ConfigFromEnvironment().empty()) {
        const ConfigLocation location = FindConfigFile(kClientConfigName, true);
        if (location.origin == ConfigLocation::Origin::None)
            return CreateUnavailableClient(
                "no directory client configuration: set KALVIX_CLIENT or create " +
                location.userPath);
    }
    return CreateClientFromConfig(ClientConfigPath());
}
