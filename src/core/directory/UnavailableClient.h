// The client of a workstation without a usable directory client configuration.
#pragma once

#include <memory>
#include <string>

#include "core/directory/DirClient.h"

// A client that cannot start: dcStartup gives 0xFFFF, and its message library (when
// reason is not empty) explains why.
std::unique_ptr<DirClient> CreateUnavailableClient(const std::string& reason);
