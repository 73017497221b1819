// A definition's published text as a fix-up document writes it back: on one line, with
// the OID macros of schema files expanded, and a canonical form that tells whether two
// definitions say the same thing.
#pragma once

#include <functional>
#include <string>

// Blanks outside quoted strings become single spaces; every bare word that is an OID macro
// ("OLcfgAt:1", with or without a {len} bound) is replaced by its expansion.
std::string PublishedOneLine(const std::string& text,
                             const std::function<std::string(const std::string&)>& expand);

// libldap's own rendering of the parsed definition, with what servers rewrite on their own
// (X-ORIGIN) left out and the SUP, MUST and MAY lists lower-cased and sorted; empty when
// the text does not parse.
std::string CanonicalAttributeType(const std::string& text);
std::string CanonicalObjectClass(const std::string& text);
