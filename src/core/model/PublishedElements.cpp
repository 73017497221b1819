#include "PublishedElements.h"

#include "D_Util.h"

#include "StandardSchema.h"

bool PublishedElements::empty() const {
    for (const auto& list : lists_)
        if (!list.empty()) return false;
    return true;
}

void PublishedElements::index() {
    for (std::size_t t = 0; t < lists_.size(); ++t) {
        auto& lookup = lookup_[t];
        lookup.clear();
        lookup.reserve(lists_[t].size() * 2);
        // The first definition of a name or OID wins, as the servers' own lookups do.
        for (std::size_t i = 0; i < lists_[t].size(); ++i) {
            const LdapElement& e = lists_[t][i];
            if (!e.oid.empty()) lookup.emplace(AsciiLower(e.oid), i);
            for (const std::string& name : e.names) lookup.emplace(AsciiLower(name), i);
            // NetWare-descended servers show a definition under its native name.
            for (const LdapExtension& x : e.extensions)
                if (AsciiLower(x.name) == "x-nds_name" && !x.values.empty())
                    lookup.emplace(AsciiLower(x.values.front()), i);
        }
    }
}

const LdapElement* PublishedElements::find(ElementType type, std::string_view nameOrOid) const {
    const auto& lookup = lookup_[Index(type)];
    const auto it = lookup.find(AsciiLower(std::string(nameOrOid)));
    return it == lookup.end() ? nullptr : &lists_[Index(type)][it->second];
}

std::string PublishedElements::ruleKey(std::string_view nameOrOid) const {
    if (const LdapElement* e = find(ElementType::MatchingRule, nameOrOid); e && !e->oid.empty())
        return AsciiLower(e->oid);
    if (const std::string_view oid = StandardMatchingRuleOid(nameOrOid); !oid.empty())
        return std::string(oid);
    return AsciiLower(std::string(nameOrOid));
}

std::string PublishedElements::syntaxKey(std::string_view nameOrOid) const {
    if (const std::string_view oid = StandardSyntaxOid(nameOrOid); !oid.empty())
        return std::string(oid);
    // Syntaxes have no names; a server that names one by its description means that one.
    for (const LdapElement& e : of(ElementType::LdapSyntax))
        if (!e.description.empty() &&
            AsciiLower(e.description) == AsciiLower(std::string(nameOrOid)))
            return AsciiLower(e.oid);
    return AsciiLower(std::string(nameOrOid));
}

namespace {

bool Names(const LdapElement& e, std::string_view lowered) {
    if (AsciiLower(e.oid) == lowered) return true;
    for (const std::string& name : e.names)
        if (AsciiLower(name) == lowered) return true;
    return false;
}

}  // namespace

bool SameReference(ElementType type, std::string_view refA, const PublishedElements& a,
                   std::string_view refB, const PublishedElements& b) {
    const std::string lowA = AsciiLower(std::string(refA));
    const std::string lowB = AsciiLower(std::string(refB));
    if (lowA == lowB) return true;
    const LdapElement* ea = a.find(type, refA);
    const LdapElement* eb = b.find(type, refB);
    if (ea != nullptr && Names(*ea, lowB)) return true;
    if (eb != nullptr && Names(*eb, lowA)) return true;
    if (ea == nullptr || eb == nullptr) return false;
    if (!ea->oid.empty() && AsciiLower(ea->oid) == AsciiLower(eb->oid)) return true;
    for (const std::string& name : ea->names)
        if (Names(*eb, AsciiLower(name))) return true;
    return false;
}
