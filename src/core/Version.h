// The program's version as it names itself ("v1.02"): stated once, by the build.
#pragma once

const char* ProgramVersion();
