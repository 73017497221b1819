#include "PublishedText.h"

#include <ldap.h>
#include <ldap_schema.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "D_Util.h"
#include "LdapSchema.h"

namespace {

bool WordChar(char c) { return !IsLineBlank(c) && c != '(' && c != ')' && c != '$' && c != '\''; }

std::string ExpandWord(const std::string& word,
                       const std::function<std::string(const std::string&)>& expand) {
    // SYNTAX OLcfgSyn:5{32}: the bound stays as it is.
    const std::size_t brace = word.find('{');
    const std::string oid = word.substr(0, brace);
    if (oid.empty()) return word;
    const std::string expanded = expand(oid);
    return expanded == oid ? word
                           : expanded + (brace == std::string::npos ? "" : word.substr(brace));
}

// Takes extensions that servers rewrite out of a NULL-ended list, and puts them back
// before the list is freed.
class HiddenExtensions {
  public:
    explicit HiddenExtensions(LDAPSchemaExtensionItem** list) : list_(list) {
        if (list_ == nullptr) return;
        std::size_t kept = 0;
        for (std::size_t i = 0; list_[i] != nullptr; ++i, ++size_) {
            const char* name = list_[i]->lsei_name;
            if (name != nullptr && AsciiUpper(name) == "X-ORIGIN")
                hidden_.push_back(list_[i]);
            else
                list_[kept++] = list_[i];
        }
        for (std::size_t i = kept; i < size_; ++i) list_[i] = nullptr;
    }
    ~HiddenExtensions() {
        if (list_ == nullptr) return;
        std::size_t end = 0;
        while (list_[end] != nullptr) ++end;
        for (LDAPSchemaExtensionItem* item : hidden_) list_[end++] = item;
    }
    HiddenExtensions(const HiddenExtensions&) = delete;
    HiddenExtensions& operator=(const HiddenExtensions&) = delete;

  private:
    LDAPSchemaExtensionItem** list_;
    std::size_t size_ = 0;
    std::vector<LDAPSchemaExtensionItem*> hidden_;
};

void LowerAndSort(char** list) {
    if (list == nullptr) return;
    std::size_t n = 0;
    for (; list[n] != nullptr; ++n)
        for (char* c = list[n]; *c != '\0'; ++c)
            if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
    std::sort(list, list + n, [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
}

std::string Rendered(char* text) {
    if (text == nullptr) return {};
    std::string out = text;
    ldap_memfree(text);
    return out;
}

// libldap reads a few bytes past the end of a malformed text: NULs behind it end it there.
std::string Padded(const std::string& text) { return text + std::string(16, '\0'); }

template <typename T>
std::unique_ptr<T, void (*)(T*)> Parse(const std::string& text,
                                       T* (*parse)(const char*, int*, const char**, unsigned),
                                       void (*release)(T*)) {
    int code = 0;
    const char* where = nullptr;
    T* result = nullptr;
    if (text.find('\0') == std::string::npos) {
        result = parse(Padded(text).c_str(), &code, &where, LDAP_SCHEMA_ALLOW_ALL);
        if (result == nullptr)
            result = parse(Padded(EscapeInnerApostrophes(text)).c_str(), &code, &where,
                           LDAP_SCHEMA_ALLOW_ALL);
    }
    return {result, release};
}

}  // namespace

std::string PublishedOneLine(const std::string& text,
                             const std::function<std::string(const std::string&)>& expand) {
    std::string out;
    out.reserve(text.size());
    bool quoted = false;
    bool gap = false;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (quoted) {
            out += c;
            if (c == '\'') quoted = false;
            ++i;
            continue;
        }
        if (IsLineBlank(c)) {
            gap = true;
            ++i;
            continue;
        }
        if (gap && !out.empty()) out += ' ';
        gap = false;
        if (c == '\'') {
            quoted = true;
            out += c;
            ++i;
        } else if (!WordChar(c)) {
            out += c;
            ++i;
        } else {
            std::size_t end = i;
            while (end < text.size() && WordChar(text[end])) ++end;
            out += ExpandWord(text.substr(i, end - i), expand);
            i = end;
        }
    }
    return out;
}

void CompleteAttributeTypes(std::vector<PublishedDefinition>& types) {
    using ParsedType = std::unique_ptr<LDAPAttributeType, void (*)(LDAPAttributeType*)>;
    std::vector<ParsedType> parsed;
    parsed.reserve(types.size());
    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < types.size(); ++i) {
        parsed.push_back(Parse<LDAPAttributeType>(types[i].text, ldap_str2attributetype,
                                                  ldap_attributetype_free));
        for (const std::string& name : types[i].names) index.try_emplace(AsciiLower(name), i);
        if (!types[i].oid.empty()) index.try_emplace(AsciiLower(types[i].oid), i);
    }
    // Each type takes what it lacks from its super type once that one is complete: a walk
    // without recursion, chains being as deep as a schema makes them.
    enum : unsigned char { kOpen, kBusy, kDone };
    std::vector<unsigned char> state(types.size(), kOpen);
    auto super = [&](std::size_t i) -> std::optional<std::size_t> {
        if (!parsed[i] || types[i].sups.empty()) return std::nullopt;
        const auto it = index.find(AsciiLower(types[i].sups.front()));
        if (it == index.end() || !parsed[it->second]) return std::nullopt;
        return it->second;
    };
    auto inherit = [](char*& mine, const char* theirs) {
        if (mine == nullptr && theirs != nullptr) mine = ber_strdup(theirs);
    };
    for (std::size_t root = 0; root < types.size(); ++root) {
        std::vector<std::size_t> stack{root};
        while (!stack.empty()) {
            const std::size_t i = stack.back();
            if (state[i] == kDone) {
                stack.pop_back();
                continue;
            }
            const std::optional<std::size_t> up = super(i);
            if (state[i] == kOpen && up && state[*up] == kOpen) {
                state[i] = kBusy;
                stack.push_back(*up);
                continue;
            }
            if (up && state[*up] == kDone) {  // not on a loop
                LDAPAttributeType& mine = *parsed[i];
                const LDAPAttributeType& theirs = *parsed[*up];
                if (mine.at_syntax_oid == nullptr) mine.at_syntax_len = theirs.at_syntax_len;
                inherit(mine.at_syntax_oid, theirs.at_syntax_oid);
                inherit(mine.at_equality_oid, theirs.at_equality_oid);
                inherit(mine.at_ordering_oid, theirs.at_ordering_oid);
                inherit(mine.at_substr_oid, theirs.at_substr_oid);
            }
            state[i] = kDone;
            stack.pop_back();
        }
    }
    for (std::size_t i = 0; i < types.size(); ++i) {
        LDAPAttributeType* at = parsed[i].get();
        if (at == nullptr) {
            types[i].canonical.clear();
            continue;
        }
        types[i].operational = at->at_usage != LDAP_SCHEMA_USER_APPLICATIONS;
        if (at->at_sup_oid != nullptr)
            for (char* c = at->at_sup_oid; *c != '\0'; ++c)
                if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
        const HiddenExtensions hidden(at->at_extensions);
        types[i].canonical = Rendered(ldap_attributetype2str(at));
    }
}

std::string CanonicalObjectClass(const std::string& text) {
    auto oc = Parse<LDAPObjectClass>(text, ldap_str2objectclass, ldap_objectclass_free);
    if (!oc) return {};
    LowerAndSort(oc->oc_sup_oids);
    LowerAndSort(oc->oc_at_oids_must);
    LowerAndSort(oc->oc_at_oids_may);
    const HiddenExtensions hidden(oc->oc_extensions);
    return Rendered(ldap_objectclass2str(oc.get()));
}
