// The matching rules and syntaxes the LDAP standards define (RFC 4517, 4523, 4530 and the
// older RFC 2252 and 2256 ones servers still publish), so a rule or syntax written by OID
// in one tree and by name in another is known to be the same.
#pragma once

#include <string_view>

// The OID of a standard matching rule named so (any letter case); empty when unknown.
std::string_view StandardMatchingRuleOid(std::string_view name);
// The OID of a standard syntax by its description ("Directory String"); empty when unknown.
std::string_view StandardSyntaxOid(std::string_view description);
// The description of a standard syntax OID; empty when unknown.
std::string_view StandardSyntaxDescription(std::string_view oid);
