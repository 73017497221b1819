// Class and attribute names: byte strings compared without regard to letter case by the
// user's locale. Lists of names carry one number per entry (a class's flags word when read
// online, 0 elsewhere).
#pragma once

#include <QCollator>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct NameEntry {
    std::string name;
    std::uint32_t number = 0;
};
using NameList = std::vector<NameEntry>;

// Bytes to text for display and collation: UTF-8 where valid, else one byte a character.
QString DecodeName(std::string_view bytes);
// The key under which two names that the locale's case-insensitive comparison holds
// equal are the same; used in hash sets so matching never searches per name.
std::string NameKey(std::string_view name);
// The user's locale's case-insensitive collation. The C locale has none (its sort keys are
// the raw bytes), so there the neutral English order stands in.
QCollator NameCollator();
// Ascending by the locale's case-insensitive collation; equal names keep their order.
void SortNames(NameList& names);
void SortNames(std::vector<std::string>& names);
