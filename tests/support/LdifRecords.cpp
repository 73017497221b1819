#include "LdifRecords.h"

#include <lber.h>
#include <ldap.h>
#include <ldif.h>

#include <cstring>

bool ReadLdifChanges(const std::string& text, std::vector<LdifChange>& changes,
                     std::string& error) {
    std::string copy = text;
    LDIFFP* fp = ldif_open_mem(copy.data(), copy.size(), "r");
    if (fp == nullptr) {
        error = "ldif_open_mem failed";
        return false;
    }
    unsigned long line = 0;
    char* buffer = nullptr;
    int size = 0;
    bool ok = true;
    int rc = 0;
    while ((rc = ldif_read_record(fp, &line, &buffer, &size)) > 0) {
        berval record{std::strlen(buffer), buffer};
        LDIFRecord parsed{};
        if (ldap_parse_ldif_record(&record, line, &parsed, "test", 0) != 0) {
            error = "record ending at line " + std::to_string(line) + " does not parse";
            ok = false;
            break;
        }
        LdifChange change;
        change.op = parsed.lr_op == LDAP_REQ_ADD      ? "add"
                    : parsed.lr_op == LDAP_REQ_MODIFY ? "modify"
                                                      : "other";
        change.dn.assign(parsed.lr_dn.bv_val, parsed.lr_dn.bv_len);
        for (LDAPMod** m = parsed.lrop_mods; m != nullptr && *m != nullptr; ++m) {
            LdifModification mod;
            const int op = (*m)->mod_op & ~LDAP_MOD_BVALUES;
            mod.op = op == LDAP_MOD_ADD ? "add" : op == LDAP_MOD_DELETE ? "delete" : "replace";
            mod.type = (*m)->mod_type;
            for (berval** v = (*m)->mod_bvalues; v != nullptr && *v != nullptr; ++v)
                mod.values.emplace_back((*v)->bv_val, (*v)->bv_len);
            change.modifications.push_back(std::move(mod));
        }
        ldap_ldif_record_done(&parsed);
        changes.push_back(std::move(change));
    }
    if (ok && rc < 0) {
        error = "ldif_read_record failed near line " + std::to_string(line);
        ok = false;
    }
    ber_memfree(buffer);
    ldif_close(fp);
    return ok;
}
