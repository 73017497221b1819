#include "core/ConfigFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

const char* const kFolder = "kalvix";

// A broken link or a path that cannot be looked at is no file.
bool Present(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

}  // namespace

std::string UserConfigHome() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config";
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return std::string(pw->pw_dir) + "/.config";
    return ".config";
}

std::string UserConfigFolder() { return UserConfigHome() + "/" + kFolder; }

ConfigLocation FindConfigFile(const std::string& name, bool systemWide) {
    ConfigLocation found;
    found.userPath = UserConfigFolder() + "/" + name;
    found.path = found.userPath;
    if (Present(found.userPath)) {
        found.origin = ConfigLocation::Origin::User;
        return found;
    }
    const std::string old = UserConfigHome() + "/" + name;
    if (Present(old)) {
        found.path = old;
        found.origin = ConfigLocation::Origin::OldPlace;
        return found;
    }
    if (!systemWide) return found;
    const char* env = std::getenv("XDG_CONFIG_DIRS");
    const std::string dirs = env != nullptr && env[0] != '\0' ? env : "/etc/xdg";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        // Relative entries are ignored, as for XDG_CONFIG_HOME.
        if (!dir.empty() && dir[0] == '/') {
            const std::string candidate = dir + "/" + kFolder + "/" + name;
            if (Present(candidate)) {
                found.path = candidate;
                found.origin = ConfigLocation::Origin::System;
                return found;
            }
        }
        start = end + 1;
    }
    return found;
}

void MoveToUserFolder(ConfigLocation& location) {
    std::error_code ec;
    fs::create_directories(UserConfigFolder(), ec);  // a failure shows when writing
    if (location.origin != ConfigLocation::Origin::OldPlace) return;
    // A copy that appeared meanwhile in the user's folder wins and is not overwritten.
    if (::renameat2(AT_FDCWD, location.path.c_str(), AT_FDCWD, location.userPath.c_str(),
                    RENAME_NOREPLACE) != 0 &&
        errno != EEXIST)
        return;
    location.path = location.userPath;
    location.origin = ConfigLocation::Origin::User;
}
