#include "core/fit/ValueSyntax.h"

#include <array>
#include <vector>

#include "core/fit/DnSyntax.h"

namespace {

constexpr std::string_view kLdap = "1.3.6.1.4.1.1466.115.121.1.";

struct Known {
    std::string_view oid;
    ValueSyntax syntax;
    bool adOnly;
};

constexpr std::array<Known, 22> kKnown = {{
    {"1.3.6.1.4.1.1466.115.121.1.6", ValueSyntax::BitString, false},
    {"1.3.6.1.4.1.1466.115.121.1.7", ValueSyntax::Boolean, false},
    {"1.3.6.1.4.1.1466.115.121.1.11", ValueSyntax::CountryString, false},
    {"1.3.6.1.4.1.1466.115.121.1.12", ValueSyntax::Dn, false},
    {"1.3.6.1.4.1.1466.115.121.1.15", ValueSyntax::DirectoryString, false},
    {"1.3.6.1.4.1.1466.115.121.1.24", ValueSyntax::GeneralizedTime, false},
    {"1.3.6.1.4.1.1466.115.121.1.26", ValueSyntax::Ia5String, false},
    {"1.3.6.1.4.1.1466.115.121.1.27", ValueSyntax::Integer, false},
    {"1.3.6.1.4.1.1466.115.121.1.36", ValueSyntax::NumericString, false},
    {"1.3.6.1.4.1.1466.115.121.1.38", ValueSyntax::Oid, false},
    {"1.3.6.1.4.1.1466.115.121.1.40", ValueSyntax::Any, false},
    {"1.3.6.1.4.1.1466.115.121.1.41", ValueSyntax::PostalAddress, false},
    {"1.3.6.1.4.1.1466.115.121.1.44", ValueSyntax::PrintableString, false},
    {"1.3.6.1.4.1.1466.115.121.1.50", ValueSyntax::TelephoneNumber, false},
    {"1.3.6.1.4.1.1466.115.121.1.53", ValueSyntax::UtcTime, false},
    {"1.3.6.1.1.16.1", ValueSyntax::Uuid, false},
    {"1.2.840.113556.1.4.903", ValueSyntax::AdDnBinary, true},
    {"1.2.840.113556.1.4.904", ValueSyntax::AdDnString, true},
    {"1.2.840.113556.1.4.905", ValueSyntax::Ia5String, true},  // Teletex, as AD takes it
    {"1.2.840.113556.1.4.906", ValueSyntax::AdLargeInteger, true},
    {"1.2.840.113556.1.4.907", ValueSyntax::Any, true},
    {"1.2.840.113556.1.4.1362", ValueSyntax::DirectoryString, true},
}};

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool HexDigit(char c) { return Digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool Printable(char c) {
    return Alpha(c) || Digit(c) || c == '\'' || c == '(' || c == ')' || c == '+' || c == ',' ||
           c == '-' || c == '.' || c == '=' || c == '/' || c == ':' || c == '?' || c == ' ';
}

bool AllOf(std::string_view s, bool (*ok)(char)) {
    for (const char c : s)
        if (!ok(c)) return false;
    return true;
}

bool IntegerText(std::string_view s) {
    if (!s.empty() && s[0] == '-') {
        s.remove_prefix(1);
        if (s == "0") return false;
    }
    if (s.empty() || !AllOf(s, Digit)) return false;
    return s.size() == 1 || s[0] != '0';
}

// Two digits from..to at s[i], taken.
bool Two(std::string_view s, std::size_t& i, int from, int to) {
    if (i + 2 > s.size() || !Digit(s[i]) || !Digit(s[i + 1])) return false;
    const int v = (s[i] - '0') * 10 + (s[i + 1] - '0');
    i += 2;
    return v >= from && v <= to;
}

// Z, or +hh[mm] / -hh[mm] (mm required when requireMinutes), to the end.
bool TimeZone(std::string_view s, std::size_t i, bool requireMinutes) {
    if (i >= s.size()) return false;
    if (s[i] == 'Z') return i + 1 == s.size();
    if (s[i] != '+' && s[i] != '-') return false;
    ++i;
    if (!Two(s, i, 0, 23)) return false;
    if (i == s.size()) return !requireMinutes;
    return Two(s, i, 0, 59) && i == s.size();
}

bool GeneralizedTime(std::string_view s) {
    std::size_t i = 0;
    if (!Two(s, i, 0, 99) || !Two(s, i, 0, 99) || !Two(s, i, 1, 12) || !Two(s, i, 1, 31) ||
        !Two(s, i, 0, 23))
        return false;
    if (i < s.size() && Digit(s[i])) {
        if (!Two(s, i, 0, 59)) return false;
        if (i < s.size() && Digit(s[i]) && !Two(s, i, 0, 60)) return false;
    }
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        ++i;
        const std::size_t start = i;
        while (i < s.size() && Digit(s[i])) ++i;
        if (i == start) return false;
    }
    return TimeZone(s, i, false);
}

bool UtcTime(std::string_view s) {
    std::size_t i = 0;
    if (!Two(s, i, 0, 99) || !Two(s, i, 1, 12) || !Two(s, i, 1, 31) || !Two(s, i, 0, 23) ||
        !Two(s, i, 0, 59))
        return false;
    if (i < s.size() && Digit(s[i]) && !Two(s, i, 0, 59)) return false;
    return TimeZone(s, i, true);
}

bool NumericOid(std::string_view s) {
    bool start = true;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '.') {
            if (start) return false;
            start = true;
            continue;
        }
        if (!Digit(s[i])) return false;
        if (start && s[i] == '0' && i + 1 < s.size() && s[i + 1] != '.') return false;
        start = false;
    }
    return !start;
}

bool Descr(std::string_view s) {
    if (s.empty() || !Alpha(s[0])) return false;
    for (const char c : s)
        if (!Alpha(c) && !Digit(c) && c != '-') return false;
    return true;
}

bool PostalAddress(std::string_view s) {
    if (!ValidUtf8(s)) return false;
    std::size_t lineLength = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '$') {
            if (lineLength == 0) return false;
            lineLength = 0;
            continue;
        }
        if (s[i] == '\\') {
            if (i + 2 >= s.size()) return false;
            const std::string_view e = s.substr(i + 1, 2);
            if (e != "24" && e != "5C" && e != "5c") return false;
            i += 2;
        }
        ++lineLength;
    }
    return lineLength > 0;
}

bool Uuid(std::string_view s) {
    if (s.size() != 36) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != '-' : !HexDigit(s[i])) return false;
    }
    return true;
}

bool LargeInteger(std::string_view s) {
    if (!IntegerText(s)) return false;
    const bool negative = s[0] == '-';
    const std::string_view digits = negative ? s.substr(1) : s;
    const std::string_view limit = negative ? "9223372036854775808" : "9223372036854775807";
    return digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
}

// B:count:hex:DN and S:count:string:DN: count the characters of the middle part.
bool DnWithData(std::string_view s, char tag) {
    if (s.size() < 2 || (s[0] != tag && s[0] != tag + ('a' - 'A')) || s[1] != ':') return false;
    s.remove_prefix(2);
    const std::size_t colon = s.find(':');
    if (colon == 0 || colon == std::string_view::npos || !AllOf(s.substr(0, colon), Digit) ||
        colon > 9)
        return false;
    std::size_t count = 0;
    for (const char c : s.substr(0, colon)) count = count * 10 + static_cast<std::size_t>(c - '0');
    s.remove_prefix(colon + 1);
    if (s.size() < count + 1 || s[count] != ':') return false;
    if (tag == 'B' && (count % 2 != 0 || !AllOf(s.substr(0, count), HexDigit))) return false;
    std::vector<DnAva> avas;
    return ParseDn(s.substr(count + 1), avas);
}

}  // namespace

bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::size_t Utf8Length(std::string_view s) {
    std::size_t n = 0;
    for (const char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

ValueSyntax SyntaxOf(std::string_view oid, bool activeDirectory) {
    if (oid.starts_with(kLdap) || oid.starts_with("1.3.6.1.1.") || oid.starts_with("1.2.840.")) {
        for (const Known& k : kKnown)
            if (k.oid == oid) return k.adOnly && !activeDirectory ? ValueSyntax::None : k.syntax;
    }
    return ValueSyntax::None;
}

std::string_view SyntaxName(ValueSyntax syntax) {
    switch (syntax) {
        case ValueSyntax::None:
            return {};
        case ValueSyntax::Any:
            return "Octet String";
        case ValueSyntax::Boolean:
            return "Boolean";
        case ValueSyntax::Integer:
            return "Integer";
        case ValueSyntax::NumericString:
            return "Numeric String";
        case ValueSyntax::PrintableString:
            return "Printable String";
        case ValueSyntax::Ia5String:
            return "IA5 String";
        case ValueSyntax::DirectoryString:
            return "Directory String";
        case ValueSyntax::Dn:
            return "DN";
        case ValueSyntax::GeneralizedTime:
            return "Generalized Time";
        case ValueSyntax::UtcTime:
            return "UTC Time";
        case ValueSyntax::Oid:
            return "OID";
        case ValueSyntax::TelephoneNumber:
            return "Telephone Number";
        case ValueSyntax::CountryString:
            return "Country String";
        case ValueSyntax::BitString:
            return "Bit String";
        case ValueSyntax::PostalAddress:
            return "Postal Address";
        case ValueSyntax::Uuid:
            return "UUID";
        case ValueSyntax::AdLargeInteger:
            return "Large Integer";
        case ValueSyntax::AdDnBinary:
            return "Object(DN-Binary)";
        case ValueSyntax::AdDnString:
            return "Object(DN-String)";
    }
    return {};
}

bool SyntaxAccepts(ValueSyntax syntax, std::string_view v) {
    switch (syntax) {
        case ValueSyntax::None:
        case ValueSyntax::Any:
            return true;
        case ValueSyntax::Boolean:
            return v == "TRUE" || v == "FALSE";
        case ValueSyntax::Integer:
            return IntegerText(v);
        case ValueSyntax::NumericString:
            return !v.empty() && AllOf(v, [](char c) { return Digit(c) || c == ' '; });
        case ValueSyntax::PrintableString:
        case ValueSyntax::TelephoneNumber:
            return !v.empty() && AllOf(v, Printable);
        case ValueSyntax::Ia5String:
            return AllOf(v, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        case ValueSyntax::DirectoryString:
            return !v.empty() && ValidUtf8(v);
        case ValueSyntax::Dn: {
            std::vector<DnAva> avas;
            return ParseDn(v, avas);
        }
        case ValueSyntax::GeneralizedTime:
            return GeneralizedTime(v);
        case ValueSyntax::UtcTime:
            return UtcTime(v);
        case ValueSyntax::Oid:
            return NumericOid(v) || Descr(v);
        case ValueSyntax::CountryString:
            return v.size() == 2 && AllOf(v, Printable);
        case ValueSyntax::BitString:
            return v.size() >= 3 && v.front() == '\'' && v.substr(v.size() - 2) == "'B" &&
                   AllOf(v.substr(1, v.size() - 3), [](char c) { return c == '0' || c == '1'; });
        case ValueSyntax::PostalAddress:
            return PostalAddress(v);
        case ValueSyntax::Uuid:
            return Uuid(v);
        case ValueSyntax::AdLargeInteger:
            return LargeInteger(v);
        case ValueSyntax::AdDnBinary:
            return DnWithData(v, 'B');
        case ValueSyntax::AdDnString:
            return DnWithData(v, 'S');
    }
    return true;
}

bool SyntaxCountsCharacters(ValueSyntax syntax) {
    return syntax == ValueSyntax::DirectoryString || syntax == ValueSyntax::PostalAddress;
}
