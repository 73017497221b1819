// The names and texts the program shows of itself.
#pragma once

#include "core/Version.h"

inline constexpr const char* kCaption = "Kalvix - Detect Schema Differences Between Trees";
inline constexpr const char* kApplicationTitle = "Dellmar";
// The maker's web address: a bare host name, handed to the shell whole.
inline constexpr const char* kMakerAddress = "www.dellmar.example";
