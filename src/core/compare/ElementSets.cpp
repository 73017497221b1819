#include "core/compare/ElementSets.h"

#include "core/D_Util.h"

#include <set>
#include <unordered_map>
#include <utility>

std::string ElementShownName(const LdapElement& element) {
    return element.names.empty() ? element.oid : element.names.front();
}

namespace {

std::unordered_map<std::string, const LdapElement*> ByOid(const std::vector<LdapElement>& list) {
    std::unordered_map<std::string, const LdapElement*> out;
    out.reserve(list.size());
    for (const LdapElement& e : list) out.emplace(AsciiLower(e.oid), &e);
    return out;
}

void Unique(ElementType type, int tree, const std::vector<LdapElement>& list,
            const std::unordered_map<std::string, const LdapElement*>& other, Findings& out) {
    for (const LdapElement& e : list) {
        if (other.count(AsciiLower(e.oid)) != 0) continue;
        Finding f;
        f.type = FindingType::UniqueElement;
        f.tree = tree;
        f.kind = static_cast<int>(type);
        f.name = ElementShownName(e);
        out.push_back(std::move(f));
    }
}

}  // namespace

void CompareElementSets(ElementType type, const PublishedElements& tree1,
                        const PublishedElements& tree2, const FieldFilter& filter, Findings& out) {
    if (tree1.publishes(type) != tree2.publishes(type)) {
        const bool second = tree1.publishes(type);
        const std::size_t count = (second ? tree1 : tree2).of(type).size();
        if (count == 0) return;
        Finding f;
        f.type = FindingType::Unpublished;
        f.tree = second ? 2 : 1;
        f.kind = static_cast<int>(type);
        f.text1 = std::to_string(count);
        out.push_back(std::move(f));
        return;
    }
    if (!tree1.publishes(type)) return;
    const auto& list1 = tree1.of(type);
    const auto& list2 = tree2.of(type);
    const auto oids1 = ByOid(list1);
    const auto oids2 = ByOid(list2);
    Unique(type, 1, list1, oids2, out);
    Unique(type, 2, list2, oids1, out);
    std::set<std::string> done;  // a repeated OID is compared once, as its first definition
    for (const LdapElement& a : list1) {
        const std::string key = AsciiLower(a.oid);
        const auto it = oids2.find(key);
        if (it == oids2.end() || !done.insert(key).second) continue;
        CompareElements(ElementShownName(a), *oids1.at(key), tree1, *it->second, tree2, filter,
                        out);
    }
}

void FindSameOids(ElementType type, const std::vector<std::string>& unique1,
                  const std::vector<std::string>& unique2, const TreeSchema& tree1,
                  const TreeSchema& tree2, Findings& out) {
    std::set<std::pair<const LdapElement*, const LdapElement*>> reported;
    const auto visit = [&](int tree, const std::string& name, const TreeSchema& mine,
                           const TreeSchema& theirs) {
        const LdapElement* own = mine.published.find(type, name);
        if (own == nullptr || own->oid.empty()) return;
        const LdapElement* other = theirs.published.find(type, own->oid);
        if (other == nullptr || AsciiLower(other->oid) != AsciiLower(own->oid)) return;
        const auto pair = tree == 1 ? std::make_pair(own, other) : std::make_pair(other, own);
        if (!reported.insert(pair).second) return;
        Finding f;
        f.type = FindingType::SameOid;
        f.tree = tree;
        f.kind = static_cast<int>(type);
        f.name = name;
        f.text1 = theirs.shownName(type, *other);
        f.text2 = own->oid;
        out.push_back(std::move(f));
    };
    for (const std::string& name : unique1) visit(1, name, tree1, tree2);
    for (const std::string& name : unique2) visit(2, name, tree2, tree1);
}
