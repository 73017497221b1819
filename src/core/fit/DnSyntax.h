// Distinguished names as RFC 4514 writes them, read as servers read them: blanks around
// the separators allowed, escapes undone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct DnAva {
    std::string_view type;  // a descr or numeric OID, as written
    std::string value;      // escapes undone; a #hex value as written
    bool hex = false;
    std::uint32_t rdn = 0;  // 0 for the first (the entry's own) RDN
};

// False when dn is not a DN; avas then holds what was read before the fault.
bool ParseDn(std::string_view dn, std::vector<DnAva>& avas);
