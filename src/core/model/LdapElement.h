// One element of an LDAP subschema entry (RFC 4512 section 4.1) with every field it
// publishes, as read from its text: what the field comparisons and the fix-up writers read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ElementType : std::uint8_t {
    AttributeType,
    ObjectClass,
    LdapSyntax,
    MatchingRule,
    MatchingRuleUse,
    DitContentRule,
    DitStructureRule,
    NameForm,
};
inline constexpr int kElementTypes = 8;

// "attributeTypes", "objectClasses", "ldapSyntaxes", "matchingRules", "matchingRuleUse",
// "dITContentRules", "dITStructureRules", "nameForms": the subschema attribute that
// publishes the type.
std::string_view ElementAttribute(ElementType type);
// The type a subschema attribute publishes, its name in any letter case; nullopt for others.
std::optional<ElementType> ElementTypeOf(std::string_view attribute);

struct LdapExtension {
    std::string name;  // "X-ORIGIN", as written
    std::vector<std::string> values;
};

// Fields a type does not have stay empty. Lists keep the published order and spelling;
// OIDs are kept as written (a schema file's OID macros are expanded by the reader).
struct LdapElement {
    ElementType type = ElementType::AttributeType;
    std::string oid;  // numeric OID, or a DIT structure rule's rule number
    std::vector<std::string> names;
    std::string description;
    bool obsolete = false;
    std::vector<std::string> sup;  // SUP: an attribute's one super type, classes, rule ids
    std::string equality;
    std::string ordering;
    std::string substr;
    std::string syntax;        // attribute types and matching rules
    std::string syntaxLength;  // the {len} of an attribute's SYNTAX, digits; empty: none
    bool singleValue = false;
    bool collective = false;
    bool noUserModification = false;
    std::string usage;  // as written; empty when not given (userApplications)
    std::string kind;   // "STRUCTURAL", "ABSTRACT", "AUXILIARY"; empty when not given
    std::vector<std::string> must;
    std::vector<std::string> may;
    std::vector<std::string> aux;           // DIT content rule AUX
    std::vector<std::string> nots;          // DIT content rule NOT
    std::vector<std::string> applies;       // matching rule use APPLIES
    std::string form;                       // DIT structure rule FORM
    std::string structuralClass;            // name form OC
    std::vector<LdapExtension> extensions;  // in published order
    std::string text;                       // the definition as published, on one line
};

struct ElementParse {
    std::optional<LdapElement> element;
    std::string error;  // why the text is not a definition, naming where it stopped
};

// Reads one definition of the given type. Lenient as servers' own readers are: keywords in
// any letter case, a bare word where a quoted string belongs, a bare OID list without
// parentheses, an unknown keyword that does not start with X- is an error. A text holding a
// NUL, or a name holding a control character, is refused.
ElementParse ParseLdapElement(ElementType type, std::string_view text);
