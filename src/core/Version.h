// The program's version as it names itself ("v1.02"): stated once, by the build.
#pragma once

#include <string>

const char* ProgramVersion();
// What --version prints, in the GNU form both programs share: "PROGRAM (Kalvix) 1.02",
// then the copyright and licence.
std::string VersionText(const std::string& program);
