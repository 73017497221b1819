#include "core/model/StandardSchema.h"

#include <array>
#include <utility>

namespace {

using Pair = std::pair<std::string_view, std::string_view>;

constexpr std::array kMatchingRules = {
    Pair{"objectIdentifierMatch", "2.5.13.0"},
    Pair{"distinguishedNameMatch", "2.5.13.1"},
    Pair{"caseIgnoreMatch", "2.5.13.2"},
    Pair{"caseIgnoreOrderingMatch", "2.5.13.3"},
    Pair{"caseIgnoreSubstringsMatch", "2.5.13.4"},
    Pair{"caseExactMatch", "2.5.13.5"},
    Pair{"caseExactOrderingMatch", "2.5.13.6"},
    Pair{"caseExactSubstringsMatch", "2.5.13.7"},
    Pair{"numericStringMatch", "2.5.13.8"},
    Pair{"numericStringOrderingMatch", "2.5.13.9"},
    Pair{"numericStringSubstringsMatch", "2.5.13.10"},
    Pair{"caseIgnoreListMatch", "2.5.13.11"},
    Pair{"caseIgnoreListSubstringsMatch", "2.5.13.12"},
    Pair{"booleanMatch", "2.5.13.13"},
    Pair{"integerMatch", "2.5.13.14"},
    Pair{"integerOrderingMatch", "2.5.13.15"},
    Pair{"bitStringMatch", "2.5.13.16"},
    Pair{"octetStringMatch", "2.5.13.17"},
    Pair{"octetStringOrderingMatch", "2.5.13.18"},
    Pair{"octetStringSubstringsMatch", "2.5.13.19"},
    Pair{"telephoneNumberMatch", "2.5.13.20"},
    Pair{"telephoneNumberSubstringsMatch", "2.5.13.21"},
    Pair{"presentationAddressMatch", "2.5.13.22"},
    Pair{"uniqueMemberMatch", "2.5.13.23"},
    Pair{"protocolInformationMatch", "2.5.13.24"},
    Pair{"uTCTimeMatch", "2.5.13.25"},
    Pair{"uTCTimeOrderingMatch", "2.5.13.26"},
    Pair{"generalizedTimeMatch", "2.5.13.27"},
    Pair{"generalizedTimeOrderingMatch", "2.5.13.28"},
    Pair{"integerFirstComponentMatch", "2.5.13.29"},
    Pair{"objectIdentifierFirstComponentMatch", "2.5.13.30"},
    Pair{"directoryStringFirstComponentMatch", "2.5.13.31"},
    Pair{"wordMatch", "2.5.13.32"},
    Pair{"keywordMatch", "2.5.13.33"},
    Pair{"certificateExactMatch", "2.5.13.34"},
    Pair{"certificateMatch", "2.5.13.35"},
    Pair{"certificatePairExactMatch", "2.5.13.36"},
    Pair{"certificatePairMatch", "2.5.13.37"},
    Pair{"certificateListExactMatch", "2.5.13.38"},
    Pair{"certificateListMatch", "2.5.13.39"},
    Pair{"algorithmIdentifierMatch", "2.5.13.40"},
    Pair{"caseExactIA5Match", "1.3.6.1.4.1.1466.109.114.1"},
    Pair{"caseIgnoreIA5Match", "1.3.6.1.4.1.1466.109.114.2"},
    Pair{"caseIgnoreIA5SubstringsMatch", "1.3.6.1.4.1.1466.109.114.3"},
    Pair{"caseExactIA5SubstringsMatch", "1.3.6.1.4.1.4203.1.2.1"},
    Pair{"UUIDMatch", "1.3.6.1.1.16.2"},
    Pair{"UUIDOrderingMatch", "1.3.6.1.1.16.3"},
    Pair{"authPasswordExactMatch", "1.3.6.1.4.1.4203.1.2.2"},
    Pair{"authPasswordMatch", "1.3.6.1.4.1.4203.1.2.3"},
    Pair{"integerBitAndMatch", "1.2.840.113556.1.4.803"},
    Pair{"integerBitOrMatch", "1.2.840.113556.1.4.804"},
};

constexpr std::array kSyntaxes = {
    Pair{"Attribute Type Description", "1.3.6.1.4.1.1466.115.121.1.3"},
    Pair{"Binary", "1.3.6.1.4.1.1466.115.121.1.5"},
    Pair{"Bit String", "1.3.6.1.4.1.1466.115.121.1.6"},
    Pair{"Boolean", "1.3.6.1.4.1.1466.115.121.1.7"},
    Pair{"Certificate", "1.3.6.1.4.1.1466.115.121.1.8"},
    Pair{"Certificate List", "1.3.6.1.4.1.1466.115.121.1.9"},
    Pair{"Certificate Pair", "1.3.6.1.4.1.1466.115.121.1.10"},
    Pair{"Country String", "1.3.6.1.4.1.1466.115.121.1.11"},
    Pair{"DN", "1.3.6.1.4.1.1466.115.121.1.12"},
    Pair{"Delivery Method", "1.3.6.1.4.1.1466.115.121.1.14"},
    Pair{"Directory String", "1.3.6.1.4.1.1466.115.121.1.15"},
    Pair{"DIT Content Rule Description", "1.3.6.1.4.1.1466.115.121.1.16"},
    Pair{"DIT Structure Rule Description", "1.3.6.1.4.1.1466.115.121.1.17"},
    Pair{"Enhanced Guide", "1.3.6.1.4.1.1466.115.121.1.21"},
    Pair{"Facsimile Telephone Number", "1.3.6.1.4.1.1466.115.121.1.22"},
    Pair{"Fax", "1.3.6.1.4.1.1466.115.121.1.23"},
    Pair{"Generalized Time", "1.3.6.1.4.1.1466.115.121.1.24"},
    Pair{"Guide", "1.3.6.1.4.1.1466.115.121.1.25"},
    Pair{"IA5 String", "1.3.6.1.4.1.1466.115.121.1.26"},
    Pair{"INTEGER", "1.3.6.1.4.1.1466.115.121.1.27"},
    Pair{"JPEG", "1.3.6.1.4.1.1466.115.121.1.28"},
    Pair{"Matching Rule Description", "1.3.6.1.4.1.1466.115.121.1.30"},
    Pair{"Matching Rule Use Description", "1.3.6.1.4.1.1466.115.121.1.31"},
    Pair{"Name And Optional UID", "1.3.6.1.4.1.1466.115.121.1.34"},
    Pair{"Name Form Description", "1.3.6.1.4.1.1466.115.121.1.35"},
    Pair{"Numeric String", "1.3.6.1.4.1.1466.115.121.1.36"},
    Pair{"Object Class Description", "1.3.6.1.4.1.1466.115.121.1.37"},
    Pair{"OID", "1.3.6.1.4.1.1466.115.121.1.38"},
    Pair{"Other Mailbox", "1.3.6.1.4.1.1466.115.121.1.39"},
    Pair{"Octet String", "1.3.6.1.4.1.1466.115.121.1.40"},
    Pair{"Postal Address", "1.3.6.1.4.1.1466.115.121.1.41"},
    Pair{"Printable String", "1.3.6.1.4.1.1466.115.121.1.44"},
    Pair{"Subtree Specification", "1.3.6.1.4.1.1466.115.121.1.45"},
    Pair{"Telephone Number", "1.3.6.1.4.1.1466.115.121.1.50"},
    Pair{"Teletex Terminal Identifier", "1.3.6.1.4.1.1466.115.121.1.51"},
    Pair{"Telex Number", "1.3.6.1.4.1.1466.115.121.1.52"},
    Pair{"UTC Time", "1.3.6.1.4.1.1466.115.121.1.53"},
    Pair{"LDAP Syntax Description", "1.3.6.1.4.1.1466.115.121.1.54"},
    Pair{"Substring Assertion", "1.3.6.1.4.1.1466.115.121.1.58"},
    Pair{"UUID", "1.3.6.1.1.16.1"},
    // Retired by RFC 4517, still published by servers.
    Pair{"ACI Item", "1.3.6.1.4.1.1466.115.121.1.1"},
    Pair{"Access Point", "1.3.6.1.4.1.1466.115.121.1.2"},
    Pair{"Audio", "1.3.6.1.4.1.1466.115.121.1.4"},
    Pair{"Data Quality Syntax", "1.3.6.1.4.1.1466.115.121.1.13"},
    Pair{"DL Submit Permission", "1.3.6.1.4.1.1466.115.121.1.18"},
    Pair{"DSA Quality Syntax", "1.3.6.1.4.1.1466.115.121.1.19"},
    Pair{"DSE Type", "1.3.6.1.4.1.1466.115.121.1.20"},
    Pair{"Master And Shadow Access Points", "1.3.6.1.4.1.1466.115.121.1.29"},
    Pair{"Mail Preference", "1.3.6.1.4.1.1466.115.121.1.32"},
    Pair{"MHS OR Address", "1.3.6.1.4.1.1466.115.121.1.33"},
    Pair{"Protocol Information", "1.3.6.1.4.1.1466.115.121.1.42"},
    Pair{"Presentation Address", "1.3.6.1.4.1.1466.115.121.1.43"},
    Pair{"Supplier Information", "1.3.6.1.4.1.1466.115.121.1.46"},
    Pair{"Supplier Or Consumer", "1.3.6.1.4.1.1466.115.121.1.47"},
    Pair{"Supplier And Consumer", "1.3.6.1.4.1.1466.115.121.1.48"},
    Pair{"Supported Algorithm", "1.3.6.1.4.1.1466.115.121.1.49"},
    Pair{"Modify Rights", "1.3.6.1.4.1.1466.115.121.1.55"},
    Pair{"LDAP Schema Definition", "1.3.6.1.4.1.1466.115.121.1.56"},
    Pair{"LDAP Schema Description", "1.3.6.1.4.1.1466.115.121.1.57"},
};

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

template <std::size_t N>
std::string_view Find(const std::array<Pair, N>& table, std::string_view name) {
    for (const Pair& p : table)
        if (EqualIgnoringAsciiCase(p.first, name)) return p.second;
    return {};
}

}  // namespace

std::string_view StandardMatchingRuleOid(std::string_view name) {
    return Find(kMatchingRules, name);
}

std::string_view StandardSyntaxOid(std::string_view description) {
    return Find(kSyntaxes, description);
}

std::string_view StandardSyntaxDescription(std::string_view oid) {
    for (const Pair& p : kSyntaxes)
        if (p.second == oid) return p.first;
    return {};
}
