#include "core/Version.h"

const char* ProgramVersion() { return "v" KALVIX_VERSION; }

std::string VersionText(const std::string& program) {
    return program + " (Kalvix) " KALVIX_VERSION
                     "\n"
                     "Copyright (C) 2026 The Kalvix developers.\n"
                     "License MIT: <https://opensource.org/license/mit>.\n"
                     "This is free software: you are free to change and redistribute it.\n"
                     "There is NO WARRANTY, to the extent permitted by law.\n";
}
