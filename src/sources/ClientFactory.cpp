#include "sources/ClientFactory.h"

#include "sources/ClosestWord.h"

#include "sources/SchemaFileTree.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "core/ConfigFiles.h"
#include "core/D_Util.h"
#include "core/RegularFile.h"
#include "core/directory/SimulatedClient.h"
#include "sources/ClientConfig.h"

namespace {

const char* const kClientConfigName = "kalvix-client.json";

const char* const kDemoConfig = "kalvix/demo/kalvix-client.json";

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
    std::map<std::size_t, std::string> leftOut = std::move(config.leftOut);
    // Connections that serve the same description share one tree; one that cannot be read
    // leaves out only the connections that name it.
    std::map<std::string, std::shared_ptr<SimTree>> trees;
    std::map<std::string, std::string> unreadable;
    std::optional<std::size_t> primary;
    for (std::size_t i = 0; i < config.connections.size(); ++i) {
        const ConnectionConfig& c = config.connections[i];
        std::shared_ptr<SimTree> tree;
        if (!c.source) {  // a source is read when a context changes to the tree
            tree = trees[c.treeFile];
            if (!tree && !unreadable.count(c.treeFile)) {
                auto loaded = std::make_shared<SimTree>();
                if (ReadTreeDescription(c.treeFile, *loaded, error))
                    tree = trees[c.treeFile] = std::move(loaded);
                else
                    unreadable[c.treeFile] = error;
            }
            if (!tree) {
                leftOut[c.index] = ConnectionPlace(c.index, c.entry) + ": " +
                                   unreadable[c.treeFile] + kConnectionLeftOut;
                continue;
            }
        }
        if (config.primary == i) primary = directory.connections.size();
        directory.connections.push_back({c.treeName, std::move(tree), c.source});
    }
    if (config.primary && !primary)
        leftOut[kPrimaryLeftOut] = ("\"primary\": " +
                                    ConnectionPlace(config.connections[*config.primary].index,
                                                    config.connections[*config.primary].entry) +
                                    " is left out (none is primary)");
    std::string notice;
    for (const auto& [entry, line] : leftOut)
        notice += (notice.empty() ? "" : "\n") + path + ": " + line;
    // Nothing usable left: the client cannot start, and says why.
    if (directory.connections.empty() && !notice.empty())
        return CreateUnavailableClient(notice + "\nno connection in " + path + " can be used");
    directory.primary = primary;
    directory.messages = std::move(config.messages);
    directory.failures = std::move(config.failures);
    directory.leftOut = std::move(notice);
    return std::make_unique<SimulatedClient>(std::move(directory));
}

std::unique_ptr<DirClient> CreateConfiguredClient() {
    if (NoClientConfig()) {
        const std::string demo = DemoClientConfigPath();
        return CreateUnavailableClient(
            "no directory client configuration: set KALVIX_CLIENT or create " +
            FindConfigFile(kClientConfigName, true).userPath + ". For a start, see " +
            (demo.empty() ? std::string() : "the demo configuration " + demo + " and ") +
            "the manual kalvix-client.json(5)");
    }
    return CreateClientFromConfig(ClientConfigPath());
}

std::unique_ptr<DirClient> CreateWindowClient(std::string& notice) {
    notice.clear();
    const std::string demo = NoClientConfig() ? DemoClientConfigPath() : std::string();
    if (demo.empty()) return CreateConfiguredClient();
    // A new user from the desktop menu sees trees to compare, and what to do for their own.
    notice =
        "No directory client configuration of your own: the window shows the demo "
        "directory of " +
        demo + ". For your own trees, create " + UserClientConfigShown() +
        " or set KALVIX_CLIENT (see the manual kalvix-client.json(5)).";
    return CreateClientFromConfig(demo);
}

bool NoClientConfig() {
    return ConfigFromEnvironment().empty() &&
           FindConfigFile(kClientConfigName, true).origin == ConfigLocation::Origin::None;
}

std::string UserClientConfigShown() {
    const std::string path = FindConfigFile(kClientConfigName, true).userPath;
    const char* home = std::getenv("HOME");
    const std::string folder = home != nullptr ? std::string(home) : std::string();
    if (folder.size() > 1 && path.starts_with(folder + "/"))
        return "~" + path.substr(folder.size());
    return path;
}

std::string DemoClientConfigPath() {
    std::vector<std::string> candidates;
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        candidates.push_back((program.parent_path().parent_path() / "share" / kDemoConfig)
                                 .lexically_normal()
                                 .string());
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    const std::string list =
        dirs != nullptr && *dirs != '\0' ? dirs : "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        const std::string folder = list.substr(start, end - start);
        if (folder.starts_with("/")) candidates.push_back(folder + "/" + kDemoConfig);
        start = end + 1;
    }
    for (const std::string& path : candidates)
        if (RegularFile(path).ok()) return path;
    return {};
}

std::string NoTreeNamedText(const std::string& name, const std::vector<std::string>& known) {
    std::string text = "no tree named " + DoubleQuote(name) + " in " + ClientConfigPath();
    const std::string closest = ClosestWord(name, known);
    if (!closest.empty()) text += "; did you mean " + DoubleQuote(closest) + "?";
    std::string names;
    for (const std::string& tree : known) names = JoinNonEmpty(names, tree, ", ");
    return text + " (known: " + (names.empty() ? std::string("none") : names) + ")";
}

std::shared_ptr<SchemaSource> SchemaFilesAt(const std::string& path) {
    SchemaFilesSettings settings;
    settings.files = {path};
    settings.given = true;
    return std::make_shared<SchemaFilesSource>(std::move(settings));
}
