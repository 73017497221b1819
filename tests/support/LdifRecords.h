// LDIF documents read back with libldap's own reader (ldif_read_record, then
// ldap_parse_ldif_record), as ldapmodify reads them: what the records say, or why not.
#pragma once

#include <string>
#include <vector>

struct LdifModification {
    std::string op;  // "add", "delete", "replace"
    std::string type;
    std::vector<std::string> values;
};

struct LdifChange {
    std::string op;  // "add", "modify", "other"
    std::string dn;
    // For "add", one modification per attribute with op "add".
    std::vector<LdifModification> modifications;
};

// False with a reason when libldap refuses any record.
bool ReadLdifChanges(const std::string& text, std::vector<LdifChange>& changes, std::string& error);
