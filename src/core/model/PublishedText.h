// A definition's published text as a fix-up document writes it back: on one line, with
// the OID macros of schema files expanded, and a canonical form that tells whether two
// definitions say the same thing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/model/LdapElement.h"
#include "core/model/PublishedSchema.h"

// Blanks outside quoted strings become single spaces; every bare word that is an OID macro
// ("OLcfgAt:1", with or without a {len} bound) is replaced by its expansion.
std::string PublishedOneLine(const std::string& text,
                             const std::function<std::string(const std::string&)>& expand);

// The element's fields in a fixed order, with what servers rewrite on their own left out
// or evened out: no X-ORIGIN, the SUP, MUST and MAY lists lower-cased and sorted (an
// attribute type's one SUP lower-cased), the default class kind and usage written out,
// quoted strings with their apostrophes and backslashes escaped.
std::string CanonicalForm(const LdapElement& element);
// The canonical form of a class's text; empty when the text does not parse.
std::string CanonicalObjectClass(const std::string& text);
// The canonical forms of a schema's attribute types (null: one that did not parse, which
// gets an empty form), each with what it inherits through its super chain (SYNTAX with its
// bound, EQUALITY, ORDERING, SUBSTR) written out, as 389 Directory Server stores them.
std::vector<std::string> CanonicalAttributeTypes(const std::vector<const LdapElement*>& types);
// Sets the canonical form and the usage of every attribute type of a schema from its text.
void CompleteAttributeTypes(std::vector<PublishedDefinition>& types);
// An attribute type the server itself maintains: USAGE other than userApplications.
bool IsOperational(const LdapElement& type);
