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

// The element's first extension of that name, in any letter case (a repeated one does not
// count); null for none.
const LdapExtension* FindExtension(const LdapElement& element, std::string_view name);
// Its first value; empty for none.
std::string ExtensionValue(const LdapElement& element, std::string_view name);
// Given, and its value not '0' or 'FALSE'.
bool ExtensionFlag(const LdapElement& element, std::string_view name);

// How a field is compared and shown.
enum class FieldKind : std::uint8_t {
    Oid,     // compared without regard to letter case
    Text,    // exactly
    Flag,    // TRUE or FALSE
    Rule,    // a matching rule, by OID or name alike; an attribute type's may be inherited
    Syntax,  // an OID or description with its {len} bound; an attribute type's may be inherited
    Usage,   // none given is userApplications
    Kind,    // none given is STRUCTURAL
    Ref,     // one reference to another definition, by meaning
    Names,   // a list of names, item by item, letter case aside
    Refs,    // a list of references, item by item, by meaning
};

// How a field is written in a definition's text, and so read.
enum class FieldForm : std::uint8_t {
    Oid,         // the leading OID, with no keyword
    String,      // 'text'
    Strings,     // 'a' or ( 'a' 'b' )
    OidWord,     // one OID or name
    Oids,        // a or ( a $ b )
    RuleIds,     // rule numbers: 1 or ( 1 2 )
    Syntax,      // an OID with an optional {len}
    RuleSyntax,  // an OID without one
    Flag,        // the keyword alone
    Usage,       // one of the four usages
    Kind,        // the keyword is the value: ABSTRACT, STRUCTURAL, AUXILIARY
};

// One field of a definition: its keyword, label and member, how it is written and how it
// is compared. The reader, the comparison, the canonical form and every writer's label
// take their fields from this one table; a keyword several element types take under other
// labels (SUP, MUST, MAY, SYNTAX) has a row for each.
struct FieldSpec {
    std::string_view label;    // as lines and reports name it
    std::string_view keyword;  // RFC 4512's, several parted by blanks; empty for the OID
    std::string_view alias;    // an older label the filters still take; empty for none
    FieldKind kind;
    FieldForm form;
    unsigned types;      // a bit per ElementType that has the field
    unsigned required;   // a bit per ElementType that must give it
    ElementType refers;  // what a Ref or Refs field names
    std::string LdapElement::*text;
    std::vector<std::string> LdapElement::*list;
    bool LdapElement::*flag;

    bool of(ElementType type) const { return (types >> static_cast<unsigned>(type) & 1U) != 0; }
    bool requiredBy(ElementType type) const {
        return (required >> static_cast<unsigned>(type) & 1U) != 0;
    }
    // The keywords one by one.
    std::vector<std::string_view> keywords() const;
};

// Every field in the order findings give them; the X- extensions follow, by name.
const std::vector<FieldSpec>& FieldTable();

struct ElementParse {
    std::optional<LdapElement> element;
    std::string error;  // why the text is not a definition, naming where it stopped
};

// Reads one definition of the given type. Lenient as servers' own readers are: keywords in
// any letter case, a bare word where a quoted string belongs, a bare OID list without
// parentheses, an unknown keyword that does not start with X- is an error. A text holding a
// NUL, or a name holding a control character, is refused.
ElementParse ParseLdapElement(ElementType type, std::string_view text);
