#include "core/fit/DnSyntax.h"

namespace {

bool Alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool Digit(char c) { return c >= '0' && c <= '9'; }
int Hex(char c) {
    if (Digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool AttributeType(std::string_view t) {
    if (t.empty()) return false;
    if (Alpha(t[0])) {
        for (const char c : t)
            if (!Alpha(c) && !Digit(c) && c != '-') return false;
        return true;
    }
    // numericoid: number *( "." number ), no leading zeros
    bool start = true;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '.') {
            if (start) return false;
            start = true;
            continue;
        }
        if (!Digit(c)) return false;
        if (start && c == '0' && i + 1 < t.size() && t[i + 1] != '.') return false;
        start = false;
    }
    return !start;
}

}  // namespace

bool ParseDn(std::string_view dn, std::vector<DnAva>& avas) {
    avas.clear();
    std::size_t i = 0;
    const std::size_t n = dn.size();
    const auto blanks = [&] {
        while (i < n && dn[i] == ' ') ++i;
    };
    blanks();
    if (i == n) return true;  // the empty DN
    std::uint32_t rdn = 0;
    for (;;) {
        blanks();
        const std::size_t typeStart = i;
        while (i < n && dn[i] != '=' && dn[i] != ' ' && dn[i] != ',' && dn[i] != '+') ++i;
        DnAva ava;
        ava.type = dn.substr(typeStart, i - typeStart);
        ava.rdn = rdn;
        if (!AttributeType(ava.type)) return false;
        blanks();
        if (i == n || dn[i] != '=') return false;
        ++i;
        blanks();
        if (i < n && dn[i] == '#') {
            ava.hex = true;
            const std::size_t start = i++;
            while (i + 1 < n && Hex(dn[i]) >= 0 && Hex(dn[i + 1]) >= 0) i += 2;
            ava.value.assign(dn.substr(start, i - start));
            if (ava.value.size() < 3) return false;
        } else {
            std::size_t keep = 0;  // the value's length up to its last escaped or other byte
            while (i < n && dn[i] != ',' && dn[i] != '+') {
                const char c = dn[i];
                if (c == '\\') {
                    if (i + 1 >= n) return false;
                    const int h1 = Hex(dn[i + 1]);
                    const int h2 = i + 2 < n ? Hex(dn[i + 2]) : -1;
                    if (h1 >= 0 && h2 >= 0) {
                        ava.value += static_cast<char>(h1 * 16 + h2);
                        i += 3;
                    } else {
                        const char e = dn[i + 1];
                        if (e != ' ' && e != '"' && e != '#' && e != '+' && e != ',' && e != ';' &&
                            e != '<' && e != '=' && e != '>' && e != '\\')
                            return false;
                        ava.value += e;
                        i += 2;
                    }
                    keep = ava.value.size();
                    continue;
                }
                if (c == '"' || c == ';' || c == '<' || c == '>' || c == '\0') return false;
                ava.value += c;
                if (c != ' ') keep = ava.value.size();
                ++i;
            }
            ava.value.resize(keep);
        }
        blanks();
        avas.push_back(std::move(ava));
        if (i == n) return true;
        if (dn[i] == ',')
            ++rdn;
        else if (dn[i] != '+')
            return false;
        ++i;
        if (i == n) return false;
    }
}
