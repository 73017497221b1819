#include "core/model/SystemSchema.h"

#include <string_view>

namespace {

constexpr std::string_view kAttributeTypes[] = {
    // RFC 4512
    "( 2.5.4.0 NAME 'objectClass' EQUALITY objectIdentifierMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 )",
    "( 2.5.4.1 NAME ( 'aliasedObjectName' 'aliasedEntryName' ) EQUALITY distinguishedNameMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )",
    "( 2.5.18.3 NAME 'creatorsName' EQUALITY distinguishedNameMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE NO-USER-MODIFICATION "
    "USAGE directoryOperation )",
    "( 2.5.18.1 NAME 'createTimestamp' EQUALITY generalizedTimeMatch "
    "ORDERING generalizedTimeOrderingMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.24 SINGLE-VALUE "
    "NO-USER-MODIFICATION USAGE directoryOperation )",
    "( 2.5.18.4 NAME 'modifiersName' EQUALITY distinguishedNameMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE NO-USER-MODIFICATION "
    "USAGE directoryOperation )",
    "( 2.5.18.2 NAME 'modifyTimestamp' EQUALITY generalizedTimeMatch "
    "ORDERING generalizedTimeOrderingMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.24 SINGLE-VALUE "
    "NO-USER-MODIFICATION USAGE directoryOperation )",
    "( 2.5.21.9 NAME 'structuralObjectClass' EQUALITY objectIdentifierMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 SINGLE-VALUE NO-USER-MODIFICATION "
    "USAGE directoryOperation )",
    "( 2.5.21.10 NAME 'governingStructureRule' EQUALITY integerMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE NO-USER-MODIFICATION "
    "USAGE directoryOperation )",
    "( 2.5.18.10 NAME 'subschemaSubentry' EQUALITY distinguishedNameMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE NO-USER-MODIFICATION "
    "USAGE directoryOperation )",
    "( 2.5.21.5 NAME 'attributeTypes' EQUALITY objectIdentifierFirstComponentMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.3 USAGE directoryOperation )",
    "( 2.5.21.6 NAME 'objectClasses' EQUALITY objectIdentifierFirstComponentMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.37 USAGE directoryOperation )",
    "( 2.5.21.4 NAME 'matchingRules' EQUALITY objectIdentifierFirstComponentMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.30 USAGE directoryOperation )",
    "( 2.5.21.8 NAME 'matchingRuleUse' EQUALITY objectIdentifierFirstComponentMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.31 USAGE directoryOperation )",
    "( 1.3.6.1.4.1.1466.101.120.16 NAME 'ldapSyntaxes' "
    "EQUALITY objectIdentifierFirstComponentMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.54 "
    "USAGE directoryOperation )",
    "( 2.5.21.2 NAME 'dITContentRules' EQUALITY objectIdentifierFirstComponentMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.16 USAGE directoryOperation )",
    "( 2.5.21.1 NAME 'dITStructureRules' EQUALITY integerFirstComponentMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.17 USAGE directoryOperation )",
    "( 2.5.21.7 NAME 'nameForms' EQUALITY objectIdentifierFirstComponentMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.35 USAGE directoryOperation )",
    "( 1.3.6.1.4.1.1466.101.120.6 NAME 'altServer' SYNTAX 1.3.6.1.4.1.1466.115.121.1.26 "
    "USAGE dSAOperation )",
    "( 1.3.6.1.4.1.1466.101.120.5 NAME 'namingContexts' "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 USAGE dSAOperation )",
    "( 1.3.6.1.4.1.1466.101.120.13 NAME 'supportedControl' "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 USAGE dSAOperation )",
    "( 1.3.6.1.4.1.1466.101.120.7 NAME 'supportedExtension' "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 USAGE dSAOperation )",
    "( 1.3.6.1.4.1.4203.1.3.5 NAME 'supportedFeatures' EQUALITY objectIdentifierMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 USAGE dSAOperation )",
    "( 1.3.6.1.4.1.1466.101.120.15 NAME 'supportedLDAPVersion' "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 USAGE dSAOperation )",
    "( 1.3.6.1.4.1.1466.101.120.14 NAME 'supportedSASLMechanisms' "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 USAGE dSAOperation )",
    // RFC 4519, with the bounds of RFC 2256 that servers still give them
    "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )",
    "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )",
    "( 2.5.4.13 NAME 'description' EQUALITY caseIgnoreMatch "
    "SUBSTR caseIgnoreSubstringsMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{1024} )",
    "( 2.5.4.49 NAME 'distinguishedName' EQUALITY distinguishedNameMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 )",
    "( 2.5.4.34 NAME 'seeAlso' SUP distinguishedName )",
    "( 2.5.4.35 NAME 'userPassword' EQUALITY octetStringMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.40{128} )",
    "( 0.9.2342.19200300.100.1.1 NAME ( 'uid' 'userid' ) EQUALITY caseIgnoreMatch "
    "SUBSTR caseIgnoreSubstringsMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{256} )",
    // RFC 2307: servers that map POSIX identities build these in
    "( 1.3.6.1.1.1.1.0 NAME 'uidNumber' EQUALITY integerMatch ORDERING integerOrderingMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE )",
    "( 1.3.6.1.1.1.1.1 NAME 'gidNumber' EQUALITY integerMatch ORDERING integerOrderingMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 SINGLE-VALUE )",
    // RFC 2079
    "( 1.3.6.1.4.1.250.1.57 NAME 'labeledURI' EQUALITY caseExactMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
    // RFC 2589
    "( 1.3.6.1.4.1.1466.101.119.3 NAME 'entryTtl' SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 "
    "SINGLE-VALUE NO-USER-MODIFICATION USAGE dSAOperation )",
    "( 1.3.6.1.4.1.1466.101.119.4 NAME 'dynamicSubtrees' "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 NO-USER-MODIFICATION USAGE dSAOperation )",
    // RFC 3296
    "( 2.16.840.1.113730.3.1.34 NAME 'ref' EQUALITY caseExactMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 USAGE distributedOperation )",
    // RFC 4530, RFC 5020
    "( 1.3.6.1.1.16.4 NAME 'entryUUID' EQUALITY UUIDMatch ORDERING UUIDOrderingMatch "
    "SYNTAX 1.3.6.1.1.16.1 SINGLE-VALUE NO-USER-MODIFICATION USAGE directoryOperation )",
    "( 1.3.6.1.1.20 NAME 'entryDN' EQUALITY distinguishedNameMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE NO-USER-MODIFICATION "
    "USAGE directoryOperation )",
    // RFC 3672
    "( 2.5.18.6 NAME 'subtreeSpecification' SYNTAX 1.3.6.1.4.1.1466.115.121.1.45 "
    "SINGLE-VALUE USAGE directoryOperation )",
    "( 2.5.18.5 NAME 'administrativeRole' EQUALITY objectIdentifierMatch "
    "SYNTAX 1.3.6.1.4.1.1466.115.121.1.38 USAGE directoryOperation )",
};

constexpr std::string_view kObjectClasses[] = {
    "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
    "( 2.5.6.1 NAME 'alias' SUP top STRUCTURAL MUST aliasedObjectName )",
    "( 2.5.20.1 NAME 'subschema' AUXILIARY MAY ( dITStructureRules $ nameForms $ "
    "dITContentRules $ objectClasses $ attributeTypes $ matchingRules $ matchingRuleUse ) )",
    "( 1.3.6.1.4.1.1466.101.120.111 NAME 'extensibleObject' SUP top AUXILIARY )",
    "( 1.3.6.1.4.1.1466.101.119.2 NAME 'dynamicObject' SUP top AUXILIARY )",
    "( 2.16.840.1.113730.3.2.6 NAME 'referral' SUP top STRUCTURAL MUST ref )",
    "( 2.5.17.0 NAME 'subentry' SUP top STRUCTURAL MUST ( cn $ subtreeSpecification ) )",
};

PublishedElements Parse() {
    PublishedElements out;
    const auto add = [&](ElementType type, std::string_view text) {
        if (ElementParse parsed = ParseLdapElement(type, text); parsed.element)
            out.of(type).push_back(std::move(*parsed.element));
    };
    for (std::string_view text : kAttributeTypes) add(ElementType::AttributeType, text);
    for (std::string_view text : kObjectClasses) add(ElementType::ObjectClass, text);
    out.setPublished(ElementType::AttributeType);
    out.setPublished(ElementType::ObjectClass);
    out.index();
    return out;
}

}  // namespace

const PublishedElements& SystemSchema() {
    // Parsed once from the constant texts above; never changed after.
    static const PublishedElements schema = Parse();
    return schema;
}
