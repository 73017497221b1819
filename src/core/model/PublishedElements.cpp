#include "core/model/PublishedElements.h"

#include "core/D_Util.h"

#include "core/model/StandardSchema.h"

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
    indexDefiners();
}

namespace {

std::string LdapElement::*const kInherited[] = {&LdapElement::equality, &LdapElement::ordering,
                                                &LdapElement::substr, &LdapElement::syntax};

int InheritedSlot(std::string LdapElement::*field) {
    for (int i = 0; i < 4; ++i)
        if (kInherited[i] == field) return i;
    return -1;
}

}  // namespace

void PublishedElements::indexDefiners() {
    const auto& types = of(ElementType::AttributeType);
    const int n = static_cast<int>(types.size());
    // Each type's super type, looked up once for the four fields; one no list here defines
    // may come from the fallback.
    std::vector<int> sup(types.size(), -1);
    std::vector<const LdapElement*> supElsewhere(types.size(), nullptr);
    for (int i = 0; i < n; ++i) {
        const LdapElement& e = types[static_cast<std::size_t>(i)];
        if (e.sup.empty()) continue;
        if (const LdapElement* s = find(ElementType::AttributeType, e.sup.front()))
            sup[static_cast<std::size_t>(i)] = static_cast<int>(s - types.data());
        else if (fallback_ != nullptr)
            supElsewhere[static_cast<std::size_t>(i)] =
                fallback_->find(ElementType::AttributeType, e.sup.front());
    }
    const auto* fallbackTypes =
        fallback_ != nullptr ? fallback_->of(ElementType::AttributeType).data() : nullptr;
    std::vector<char> onPath(types.size(), 0);
    std::vector<int> path;
    for (int slot = 0; slot < 4; ++slot) {
        std::string LdapElement::*field = kInherited[slot];
        std::vector<int>& found = definers_[static_cast<std::size_t>(slot)];
        constexpr int kUnknown = -2;
        found.assign(types.size(), kUnknown);
        for (int i = 0; i < n; ++i) {
            if (found[static_cast<std::size_t>(i)] != kUnknown) continue;
            path.clear();
            int j = i;
            int result = -1;
            while (j >= 0) {
                const auto at = static_cast<std::size_t>(j);
                if (found[at] != kUnknown) {
                    result = found[at];
                    break;
                }
                if (onPath[at] != 0) break;  // a SUP cycle gives nothing
                onPath[at] = 1;
                path.push_back(j);
                if (!(types[at].*field).empty()) {
                    result = j;
                    break;
                }
                if (const LdapElement* elsewhere = supElsewhere[at]) {
                    if (const LdapElement* d = fallback_->definer(*elsewhere, field))
                        result = -3 - static_cast<int>(d - fallbackTypes);
                    break;
                }
                j = sup[at];
            }
            for (const int p : path) {
                found[static_cast<std::size_t>(p)] = result;
                onPath[static_cast<std::size_t>(p)] = 0;
            }
        }
    }
}

const LdapElement* PublishedElements::definer(const LdapElement& attr,
                                              std::string LdapElement::*field) const {
    if (!(attr.*field).empty()) return &attr;
    const int slot = InheritedSlot(field);
    const auto& types = of(ElementType::AttributeType);
    const auto& found = definers_[static_cast<std::size_t>(slot < 0 ? 0 : slot)];
    const auto known = [&](const LdapElement* e) -> const LdapElement* {
        const auto at = static_cast<std::size_t>(e - types.data());
        const int index = found[at];
        if (index <= -3)
            return &fallback_->of(ElementType::AttributeType)[static_cast<std::size_t>(-3 - index)];
        return index < 0 ? nullptr : &types[static_cast<std::size_t>(index)];
    };
    const auto listed = [&](const LdapElement* e) {
        return slot >= 0 && found.size() == types.size() && e >= types.data() &&
               e < types.data() + types.size();
    };
    if (listed(&attr)) return known(&attr);
    // A definition from elsewhere (another copy of it): one step into this tree.
    if (attr.sup.empty()) return nullptr;
    const LdapElement* sup = find(ElementType::AttributeType, attr.sup.front());
    if (sup == nullptr)
        return fallback_ != nullptr && (sup = fallback_->find(ElementType::AttributeType,
                                                              attr.sup.front())) != nullptr
                   ? fallback_->definer(*sup, field)
                   : nullptr;
    if (listed(sup)) return known(sup);
    return (sup->*field).empty() ? nullptr : sup;
}

const LdapElement* PublishedElements::resolve(ElementType type, std::string_view nameOrOid) const {
    if (const LdapElement* e = find(type, nameOrOid)) return e;
    return fallback_ != nullptr ? fallback_->find(type, nameOrOid) : nullptr;
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

std::string PublishedElements::syntaxOid(std::string_view oidOrDescription) const {
    if (const std::string_view oid = StandardSyntaxOid(oidOrDescription); !oid.empty())
        return std::string(oid);
    for (const LdapElement& e : of(ElementType::LdapSyntax))
        if (!e.description.empty() &&
            AsciiLower(e.description) == AsciiLower(std::string(oidOrDescription)))
            return e.oid;
    return std::string(oidOrDescription);
}

std::string PublishedElements::syntaxDescription(std::string_view oid) const {
    if (const LdapElement* e = find(ElementType::LdapSyntax, oid); e && !e->description.empty())
        return e->description;
    return std::string(StandardSyntaxDescription(oid));
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
