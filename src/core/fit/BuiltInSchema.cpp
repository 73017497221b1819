#include "core/fit/BuiltInSchema.h"

#include <array>
#include <string_view>

namespace {

constexpr std::string_view kOperational =
    " SINGLE-VALUE NO-USER-MODIFICATION USAGE directoryOperation )";

// RFC 4512, 4519, 4530 and 5020 as slapd defines them, and its own entryCSN.
const std::array<std::string_view, 20> kTypes = {
    "( 2.5.4.0 NAME 'objectClass' EQUALITY objectIdentifierMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.38 )",
    "( 2.5.4.1 NAME ( 'aliasedObjectName' 'aliasedEntryName' ) EQUALITY distinguishedNameMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )",
    "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.15{32768} )",
    "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )",
    "( 2.5.4.6 NAME ( 'c' 'countryName' ) SUP name SYNTAX 1.3.6.1.4.1.1466.115.121.1.11 "
    "SINGLE-VALUE )",
    "( 2.5.4.13 NAME 'description' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{1024} )",
    "( 2.5.4.49 NAME 'distinguishedName' EQUALITY distinguishedNameMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.12 )",
    "( 2.5.4.34 NAME 'seeAlso' SUP distinguishedName )",
    "( 2.5.4.35 NAME 'userPassword' EQUALITY octetStringMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.40{128} )",
    "( 1.3.6.1.4.1.250.1.57 NAME 'labeledURI' EQUALITY caseExactMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.15 )",
    "( 0.9.2342.19200300.100.1.1 NAME ( 'uid' 'userid' ) EQUALITY caseIgnoreMatch SUBSTR "
    "caseIgnoreSubstringsMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{256} )",
    "( 1.3.6.1.1.1.1.0 NAME 'uidNumber' EQUALITY integerMatch ORDERING integerOrderingMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE )",
    "( 1.3.6.1.1.1.1.1 NAME 'gidNumber' EQUALITY integerMatch ORDERING integerOrderingMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE )",
    "( 2.16.840.1.113730.3.1.34 NAME 'ref' EQUALITY caseExactMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.15 USAGE distributedOperation )",
    "( 2.5.18.1 NAME 'createTimestamp' EQUALITY generalizedTimeMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.24",
    "( 2.5.18.2 NAME 'modifyTimestamp' EQUALITY generalizedTimeMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.24",
    "( 2.5.18.3 NAME 'creatorsName' EQUALITY distinguishedNameMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.12",
    "( 2.5.18.4 NAME 'modifiersName' EQUALITY distinguishedNameMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.12",
    "( 2.5.21.9 NAME 'structuralObjectClass' EQUALITY objectIdentifierMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.38",
    "( 1.3.6.1.1.16.4 NAME 'entryUUID' EQUALITY UUIDMatch SYNTAX 1.3.6.1.1.16.1",
};
// entryCSN and entryDN, likewise set by the server.
const std::array<std::string_view, 2> kMoreOperational = {
    "( 1.3.6.1.4.1.4203.666.1.7 NAME 'entryCSN' EQUALITY CSNMatch SYNTAX "
    "1.3.6.1.4.1.4203.666.11.2.1{64}",
    "( 1.3.6.1.1.20 NAME 'entryDN' EQUALITY distinguishedNameMatch SYNTAX "
    "1.3.6.1.4.1.1466.115.121.1.12",
};

const std::array<std::string_view, 4> kClasses = {
    "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
    "( 2.5.6.1 NAME 'alias' SUP top STRUCTURAL MUST aliasedObjectName )",
    "( 1.3.6.1.4.1.1466.101.120.111 NAME 'extensibleObject' SUP top AUXILIARY )",
    "( 2.16.840.1.113730.3.2.6 NAME 'referral' SUP top STRUCTURAL MUST ref )",
};

bool Known(const TreeSchema& tree, ElementType type, const LdapElement& e) {
    if (tree.published.find(type, e.oid)) return true;
    for (const std::string& name : e.names)
        if (tree.published.find(type, name)) return true;
    return false;
}

void Add(TreeSchema& out, const TreeSchema& tree, ElementType type, std::string_view text) {
    const ElementParse parse = ParseLdapElement(type, text);
    if (!parse.element || Known(tree, type, *parse.element)) return;
    std::vector<LdapElement>& list = out.published.of(type);
    list.push_back(*parse.element);
    const std::string name =
        parse.element->names.empty() ? parse.element->oid : parse.element->names.front();
    const int index = static_cast<int>(list.size() - 1);
    if (type == ElementType::ObjectClass)
        out.classes.push_back({name, index});
    else
        out.attributes.push_back({name, index});
}

}  // namespace

bool LacksBuiltInSchema(const TreeSchema& tree) {
    return tree.published.find(ElementType::AttributeType, "2.5.4.0") == nullptr &&
           tree.published.find(ElementType::AttributeType, "objectClass") == nullptr;
}

TreeSchema WithBuiltInSchema(const TreeSchema& tree) {
    TreeSchema out = tree;
    for (const std::string_view text : kTypes) {
        const std::string full =
            text.back() == ')' ? std::string(text) : std::string(text) + std::string(kOperational);
        Add(out, tree, ElementType::AttributeType, full);
    }
    for (const std::string_view text : kMoreOperational)
        Add(out, tree, ElementType::AttributeType, std::string(text) + std::string(kOperational));
    for (const std::string_view text : kClasses) Add(out, tree, ElementType::ObjectClass, text);
    out.published.setPublished(ElementType::AttributeType);
    out.published.setPublished(ElementType::ObjectClass);
    out.index();
    return out;
}
