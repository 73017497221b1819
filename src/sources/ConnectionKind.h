// How a live tree is reached, in words for a report header.
#pragma once

#include <string>

// The kind of the configured connection serving treeName ("ldap ldaps://dir/",
// "simulated tree file", ...); empty when no configured connection names that tree.
std::string LiveTreeHow(const std::string& treeName);
