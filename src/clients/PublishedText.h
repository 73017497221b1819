// A definition's published text as a fix-up document writes it back: on one line, with
// the OID macros of schema files expanded, and a canonical form that tells whether two
// definitions say the same thing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "PublishedSchema.h"

// Blanks outside quoted strings become single spaces; every bare word that is an OID macro
// ("OLcfgAt:1", with or without a {len} bound) is replaced by its expansion.
std::string PublishedOneLine(const std::string& text,
                             const std::function<std::string(const std::string&)>& expand);

// libldap's own rendering of the parsed definition, with what servers rewrite on their own
// left out or written out: no X-ORIGIN, the SUP, MUST and MAY lists lower-cased and sorted,
// and for attribute types what they inherit through their super chain (SYNTAX, EQUALITY,
// ORDERING, SUBSTR), which 389 Directory Server stores spelled out. Empty when the text
// does not parse.
std::string CanonicalObjectClass(const std::string& text);
// Sets the canonical form and the usage of every attribute type of a schema from its text.
void CompleteAttributeTypes(std::vector<PublishedDefinition>& types);
