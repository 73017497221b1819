#include "Version.h"

const char* ProgramVersion() { return "v" KALVIX_VERSION; }
