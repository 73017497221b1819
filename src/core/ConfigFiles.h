// Where the configuration files live: the user's own in $XDG_CONFIG_HOME/kalvix/ (else
// ~/.config/kalvix/), a copy left at the place older versions used (the configuration
// folder itself), and the administrator's in each $XDG_CONFIG_DIRS folder's kalvix/.
#pragma once

#include <string>

struct ConfigLocation {
    enum class Origin { User, OldPlace, System, None };
    std::string path;      // the file to read; the user's path when none exists
    std::string userPath;  // where the user's own copy belongs
    Origin origin = Origin::None;
};

// $XDG_CONFIG_HOME when absolute, else ~/.config.
std::string UserConfigHome();
// UserConfigHome()/kalvix
std::string UserConfigFolder();
// The file called name: the user's copy, else the one at the old place, else (systemWide)
// the first in the system folders ($XDG_CONFIG_DIRS, else /etc/xdg).
ConfigLocation FindConfigFile(const std::string& name, bool systemWide);
// Moves a copy at the old place into the user's folder and points location at it; when the
// move fails the copy stays in use where it is. Creates the user's folder.
void MoveToUserFolder(ConfigLocation& location);
