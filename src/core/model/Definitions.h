// One class definition and one attribute definition, wherever they were read from.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

enum TClassItemKind {
    ikSuperClass = 0,
    ikContainmentClass = 1,
    ikNamingAttribute = 2,
    ikMandatoryAttribute = 3,
    ikOptionalAttribute = 4,
    ikAttribute = 5,
    ikASN = 6,
};
inline constexpr int kClassItemKinds = 7;

// "Super Class" ... "ASN" for kinds 0 to 6, "unknown" for any other number.
std::string_view ClassItemLabel(int kind);

struct TClassInfo {
    std::string Flags;
    std::array<std::vector<std::string>, kClassItemKinds> Items;
};

// The record owns its lists; these keep their old meaning of "fresh, empty record" and
// "release it".
void ClassInfoInit(TClassInfo& info);
void ClassInfoFree(TClassInfo& info);

struct TAttrInfo {
    std::string Definition;
};
