// The desktop's "open": executables are started, anything else goes to its association.
#pragma once

#include "core/D_Win.h"

class DesktopShell : public Shell {
  public:
    bool fileExists(const std::string& path) override;
    int open(const std::string& file, const std::string& parameters, const std::string& directory,
             int showMode) override;
};
