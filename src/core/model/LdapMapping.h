// LDAP schema definitions (RFC 4512 descriptions, as a server's subschema entry or schema
// files publish them) read into a tree's schema: every published element, and the names
// the tree's lists give its classes and attribute types, so a live LDAP server or a set of
// schema files is a tree like any other.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/model/PublishedSchema.h"
#include "core/model/TreeSchema.h"

// Where a definition was written: its file (a number from SchemaDefinitions::fileNumber; 0
// for none) and line. A dump may hold millions of definitions, so a place holds no text of
// its own.
struct SchemaPlace {
    std::uint32_t file = 0;
    std::uint64_t line = 0;
};

// The raw definitions of one schema, each one description as published, by the subschema
// attribute that holds it.
struct SchemaDefinitions {
    std::vector<std::string> objectClasses;
    std::vector<std::string> attributeTypes;
    std::vector<std::string> ldapSyntaxes;
    std::vector<std::string> matchingRules;
    std::vector<std::string> matchingRuleUse;
    std::vector<std::string> dITContentRules;
    std::vector<std::string> dITStructureRules;
    std::vector<std::string> nameForms;
    // Schema files' OID macros ("objectIdentifier NAME OID"), in order of definition.
    std::vector<std::pair<std::string, std::string>> oidMacros;
    // A type the source publishes although no text of it is left (an LDIF value that does
    // not decode). A type with texts is published whatever this says.
    std::array<bool, kElementTypes> given{};
    using Place = SchemaPlace;
    // The files the places name; a place numbers its file from 1.
    std::vector<std::string> files;
    // Where each text was written, beside texts(type) in its order; shorter (empty for a
    // server) where unknown.
    std::array<std::vector<Place>, kElementTypes> places;

    // Appends a text of the type with where it was written.
    void add(ElementType type, std::string text, Place place = {});
    // The number places give file, taken when new; 0 for no file.
    std::uint32_t fileNumber(const std::string& file);
    // "core.schema:212"; empty where unknown.
    std::string placeText(Place place) const;

    std::vector<std::string>& texts(ElementType type);
    const std::vector<std::string>& texts(ElementType type) const;
};

// How messages name a definition of the type: "attribute type", "object class",
// "syntax", "matching rule", "matching rule use", "DIT content rule", ...
std::string_view KindOfDefinition(ElementType type);

// Every text parsed, OID macros expanded in every OID-valued field, the published elements
// kept by type, and the classes and attribute types named as the lists name them. What
// does not parse, an element without an OID (a class or attribute type without a name
// either), and a second class or attribute type of a name already taken, is skipped with
// the reason and kept nowhere else. Indexed.
TreeSchema MapLdapSchema(const SchemaDefinitions& definitions);

// The message that names skipped definitions: the counts by kind, then each one (after
// its file and line when known) and why (the first 20, then how many more). Empty for none.
std::string SkippedDefinitionsText(const std::vector<SkippedDefinition>& skipped,
                                   const std::string& source);

// The message that names references no file defines: each with its file and line, the
// definition and the reference (the first 20, then how many more). Empty for none.
std::string UnresolvedReferencesText(const std::vector<SkippedDefinition>& unresolved,
                                     const std::string& source);

// The definitions of a mapped tree as the fix-up writers read them: its attribute types
// and classes in the order of its records, each with its one-line text, canonical form
// and usage.
PublishedSchema PublishedView(const TreeSchema& schema);

// The number a SYNTAX's {len} (digits) stands for, as servers read it: a C int, so a bound
// past 32 bits keeps its low 32 bits and one past 63 bits reads as 0xFFFFFFFF.
std::uint32_t SyntaxBound(std::string_view digits);
// Digits separated by single dots: 1.2.840.
bool IsNumericOid(std::string_view oid);
