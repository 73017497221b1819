// The definitions the LDAP benchmarks generate, as slapd hands them out: every type with
// its rules and syntax, names in lists, X-ORIGIN; one type in ten inherits from the one
// before, each class from the one before but every twentieth.
#pragma once

#include <string>
#include <string_view>

namespace bench {

inline constexpr const char* kLdifRules[6][2] = {
    {"caseIgnoreMatch", "1.3.6.1.4.1.1466.115.121.1.15{256}"},
    {"integerMatch", "1.3.6.1.4.1.1466.115.121.1.27"},
    {"distinguishedNameMatch", "1.3.6.1.4.1.1466.115.121.1.12"},
    {"booleanMatch", "1.3.6.1.4.1.1466.115.121.1.7"},
    {"octetStringMatch", "1.3.6.1.4.1.1466.115.121.1.40"},
    {"generalizedTimeMatch", "1.3.6.1.4.1.1466.115.121.1.24"}};

// Attribute type i, described as "<word> attribute i", matching by equality in syntax.
inline std::string LdifAttributeLine(int i, std::string_view word, std::string_view equality,
                                     std::string_view syntax) {
    const std::string n = std::to_string(i);
    std::string line = "attributeTypes: ( 1.3.6.1.4.1.99999.1." + n + " NAME ( 'benchAttr" + n +
                       "' 'bAttr" + n + "' ) DESC '";
    line.append(word).append(" attribute ").append(n).append("' ");
    if (i % 10 == 5)
        line += "SUP benchAttr" + std::to_string(i - 1);
    else
        line.append("EQUALITY ").append(equality).append(" SYNTAX ").append(syntax);
    line += i % 3 == 0 ? " SINGLE-VALUE" : "";
    return line + " X-ORIGIN 'bench' )\n";
}

// Class i, described as "<word> class i", with two mandatory and eight optional types.
inline std::string LdifClassLine(int i, std::string_view word) {
    static const char* const kinds[] = {"STRUCTURAL", "AUXILIARY", "ABSTRACT"};
    const std::string n = std::to_string(i);
    std::string line =
        "objectClasses: ( 1.3.6.1.4.1.99999.2." + n + " NAME 'benchClass" + n + "' DESC '";
    line.append(word).append(" class ").append(n).append("' SUP ");
    line += (i % 20 == 0 ? std::string("top") : "benchClass" + std::to_string(i - 1)) + " " +
            kinds[i % 3] + " MUST ( benchAttr" + std::to_string(i * 5 % 9999) + " $ benchAttr" +
            std::to_string((i * 5 + 1) % 9999) + " ) MAY ( ";
    for (int k = 0; k < 8; ++k)
        line += (k ? " $ benchAttr" : "benchAttr") + std::to_string((i * 7 + k * 13) % 9999);
    return line + " ) X-ORIGIN 'bench' )\n";
}

}  // namespace bench
