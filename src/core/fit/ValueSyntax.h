// What a syntax lets an attribute's value be: RFC 4517's checks, RFC 4530's UUID and Active
// Directory's own syntaxes. A syntax this file has no check for is None: its values are
// counted as unchecked, never guessed at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

enum class ValueSyntax : std::uint8_t {
    None,  // no check known
    Any,   // every value fits (Octet String, a security descriptor)
    Boolean,
    Integer,
    NumericString,
    PrintableString,
    Ia5String,
    DirectoryString,
    Dn,
    GeneralizedTime,
    UtcTime,
    Oid,
    TelephoneNumber,
    CountryString,
    BitString,
    PostalAddress,
    Uuid,
    AdLargeInteger,
    AdDnBinary,
    AdDnString,
};

// The syntax of that OID; Active Directory's own OIDs only when the tree is AD.
ValueSyntax SyntaxOf(std::string_view oid, bool activeDirectory);
// "Integer", "Directory String", ...; empty for None.
std::string_view SyntaxName(ValueSyntax syntax);
// Whether the value fits; None fits anything.
bool SyntaxAccepts(ValueSyntax syntax, std::string_view value);
// Whether the syntax's values are text, whose {len} bound counts characters, not bytes.
bool SyntaxCountsCharacters(ValueSyntax syntax);

bool ValidUtf8(std::string_view s);
// Code points of valid UTF-8.
std::size_t Utf8Length(std::string_view s);
