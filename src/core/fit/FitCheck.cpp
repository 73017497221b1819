#include "core/fit/FitCheck.h"

#include <algorithm>

namespace {

constexpr std::size_t kShownValue = 60;  // bytes of a value a reason quotes

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int CompareFolded(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = Lower(a[i]);
        const char y = Lower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string Quoted(std::string_view v) {
    std::string out = "'";
    if (v.size() <= kShownValue) {
        out.append(v);
    } else {
        std::size_t cut = kShownValue;
        while (cut > 0 && (static_cast<unsigned char>(v[cut]) & 0xC0) == 0x80) --cut;
        out.append(v.substr(0, cut));
        out += "...";
    }
    out += '\'';
    return out;
}

struct Item {
    int attr;
    std::string_view options;
    std::string_view value;
};

// Types by the tree's OIDs, so cn=x and 2.5.4.3=x are one DN.
std::string SchemaDn(const FitSchema& schema, const std::vector<DnAva>& avas,
                     std::size_t* parentStart) {
    return NormalizedDn(
        avas,
        [](const void* context, std::string_view type) {
            const auto* tree = static_cast<const FitSchema*>(context);
            const FitSchema::Found f = tree->attribute(type);
            return f.index >= 0 ? tree->attributes()[static_cast<std::size_t>(f.index)].oidKey
                                : FoldedText(type);
        },
        &schema, parentStart);
}

}  // namespace

std::optional<std::uint64_t> FitDnHash(const FitSchema& schema, std::string_view dn) {
    std::vector<DnAva> avas;
    if (!ParseDn(dn, avas)) return std::nullopt;
    return FitHash(SchemaDn(schema, avas, nullptr));
}

std::uint64_t FitHash(std::string_view bytes) {
    std::uint64_t h = 1469598103934665603ULL;
    for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h;
}

FitChecker::FitChecker(const FitSchema& schema, const FitOptions& options)
    : schema_(schema),
      options_(options),
      seen_(schema.classes().size(), 0),
      unchecked_(schema.uncheckedSyntaxes().size(), 0),
      mappedUses_(schema.mappedNames().size(), 0) {}

FitSchema::Found FitChecker::attribute(std::string_view name) {
    const FitSchema::Found f = schema_.attribute(name);
    if (f.mapped >= 0) ++mappedUses_[static_cast<std::size_t>(f.mapped)];
    return f;
}

void FitChecker::addAncestors(int cls, std::vector<int>& out) {
    // A loop, not recursion: a chain of any depth, cycles included, costs its length once.
    std::vector<int> stack{cls};
    const auto& classes = schema_.classes();
    while (!stack.empty()) {
        const int c = stack.back();
        stack.pop_back();
        auto& mark = seen_[static_cast<std::size_t>(c)];
        if (mark == walk_) continue;
        mark = walk_;
        out.push_back(c);
        for (const int s : classes[static_cast<std::size_t>(c)].sups) stack.push_back(s);
    }
}

const FitChecker::ClassSet& FitChecker::classSet(const std::vector<int>& classes) {
    if (const auto it = sets_.find(classes); it != sets_.end()) return it->second;
    // Files hold few combinations; a hostile one with many only costs the cache.
    if (sets_.size() >= 1024) sets_.clear();
    ClassSet& set = sets_[classes];
    resolve(classes, set);
    return set;
}

void FitChecker::resolve(const std::vector<int>& listed, ClassSet& set) {
    const auto& classes = schema_.classes();
    const auto nextWalk = [&] {
        if (++walk_ == 0) {
            std::fill(seen_.begin(), seen_.end(), 0);
            walk_ = 1;
        }
    };
    const auto cls = [&](int c) -> const FitClass& { return classes[static_cast<std::size_t>(c)]; };
    nextWalk();
    std::vector<int> all;
    for (const int c : listed) addAncestors(c, all);

    set.allowed.assign((schema_.attributes().size() + 63) / 64, 0);
    std::vector<std::uint64_t> mustBits(set.allowed.size(), 0);
    const auto allow = [&](const std::vector<int>& attrs, bool must) {
        for (const int a : attrs) {
            const auto word = static_cast<std::size_t>(a) / 64;
            const std::uint64_t bit = std::uint64_t{1} << (static_cast<unsigned>(a) % 64);
            set.allowed[word] |= bit;
            if (must && (mustBits[word] & bit) == 0) {
                mustBits[word] |= bit;
                set.must.push_back(a);
            }
        }
    };
    for (const int c : all) {
        allow(cls(c).must, true);
        allow(cls(c).may, false);
        set.extensible = set.extensible || cls(c).extensible;
    }

    std::vector<int> structural;
    for (const int c : all)
        if (cls(c).kind == FitClassKind::Structural) structural.push_back(c);
    if (structural.empty()) {
        if (!listed.empty())
            set.reasons.push_back({FitKind::Structural, {}, "no structural object class"});
        return;
    }
    // The chain's most derived class is the one with the most ancestors; every other
    // structural class must be one of them.
    int best = structural.front();
    std::size_t bestDepth = 0;
    std::vector<int> ancestors;
    for (const int s : structural) {
        nextWalk();
        ancestors.clear();
        addAncestors(s, ancestors);
        if (ancestors.size() > bestDepth) {
            bestDepth = ancestors.size();
            best = s;
        }
    }
    nextWalk();
    ancestors.clear();
    addAncestors(best, ancestors);
    for (const int s : structural)
        if (options_.oneChain && seen_[static_cast<std::size_t>(s)] != walk_)
            set.reasons.push_back({FitKind::Structural, cls(s).name,
                                   "structural object classes '" + cls(best).name + "' and '" +
                                       cls(s).name + "' are not one chain"});
    // The content rule of the most derived structural class; a domain controller applies
    // those of its super classes as well.
    std::vector<const FitContentRule*> rules;
    for (const int c : schema_.activeDirectory() ? ancestors : std::vector<int>{best})
        if (cls(c).contentRule >= 0)
            rules.push_back(&schema_.contentRules()[static_cast<std::size_t>(cls(c).contentRule)]);
    if (rules.empty()) return;
    const auto inRules = [&](int c) {
        return std::any_of(rules.begin(), rules.end(), [c](const FitContentRule* r) {
            return std::find(r->aux.begin(), r->aux.end(), c) != r->aux.end();
        });
    };
    for (const int c : listed)
        if (cls(c).kind == FitClassKind::Auxiliary && !inRules(c))
            set.reasons.push_back({FitKind::Structural, cls(c).name,
                                   "auxiliary class '" + cls(c).name +
                                       "' is not allowed by the DIT content rule of '" +
                                       cls(best).name + "'"});
    for (const FitContentRule* rule : rules) {
        // A domain controller lets an object have the attributes of every auxiliary class
        // its class may take, listed in the entry or not; other servers only of those listed.
        for (const int aux : rule->aux) {
            const bool isListed = std::find(listed.begin(), listed.end(), aux) != listed.end();
            if (!isListed && !schema_.activeDirectory()) continue;
            nextWalk();
            std::vector<int> auxAncestors;
            addAncestors(aux, auxAncestors);
            for (const int c : auxAncestors) {
                if (isListed) allow(cls(c).must, true);
                allow(cls(c).may, false);
            }
        }
        allow(rule->must, true);
        allow(rule->may, false);
    }
    for (const FitContentRule* rule : rules)
        for (const int a : rule->nots)
            set.allowed[static_cast<std::size_t>(a) / 64] &=
                ~(std::uint64_t{1} << (static_cast<unsigned>(a) % 64));
}

void FitChecker::check(const LdifRecord& record, FitEntry& out) {
    out.text = record.text;
    out.dnValid = false;
    out.hasParent = false;
    out.dnHash = out.parentHash = 0;
    FitVerdict& v = out.verdict;
    v.line = record.line;
    v.dn.assign(record.dn);
    v.reasons.clear();
    if (!record.error.empty()) {
        v.line = record.errorLine;
        v.reasons.push_back({FitKind::Malformed, {}, "cannot be read: " + record.error});
        return;
    }
    const auto& attrs = schema_.attributes();
    const auto attr = [&](int a) -> const FitAttribute& {
        return attrs[static_cast<std::size_t>(a)];
    };

    std::vector<Item> items;
    items.reserve(record.values.size());
    std::vector<std::string_view> unknown;
    std::vector<int> classes;
    bool sawObjectClass = false;
    for (const LdifValue& value : record.values) {
        const std::size_t semi = value.description.find(';');
        const std::string_view base = value.description.substr(0, semi);
        const std::string_view options = semi == std::string_view::npos
                                             ? std::string_view{}
                                             : value.description.substr(semi + 1);
        const FitSchema::Found f = attribute(base);
        if (f.index < 0) {
            if (std::none_of(unknown.begin(), unknown.end(),
                             [&](std::string_view u) { return CompareFolded(u, base) == 0; })) {
                unknown.push_back(base);
                v.reasons.push_back({FitKind::UnknownAttribute, std::string(base),
                                     "attribute type '" + std::string(base) + "' is not defined"});
            }
            continue;
        }
        if (attr(f.index).objectClass) {
            sawObjectClass = true;
            const FitSchema::Found c = schema_.objectClass(value.value);
            if (c.mapped >= 0) ++mappedUses_[static_cast<std::size_t>(c.mapped)];
            if (c.index >= 0) {
                classes.push_back(c.index);
            } else {
                v.reasons.push_back({FitKind::UnknownClass, std::string(value.value),
                                     "object class " + Quoted(value.value) + " is not defined"});
            }
        }
        items.push_back({f.index, options, value.value});
    }
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    const ClassSet& set = classSet(classes);
    if (!sawObjectClass)
        v.reasons.push_back({FitKind::Structural, {}, "no objectClass attribute"});
    else
        v.reasons.insert(v.reasons.end(), set.reasons.begin(), set.reasons.end());

    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        if (a.attr != b.attr) return a.attr < b.attr;
        return CompareFolded(a.options, b.options) < 0;
    });
    std::vector<std::string> normalized;
    for (std::size_t i = 0; i < items.size();) {
        std::size_t end = i + 1;
        while (end < items.size() && items[end].attr == items[i].attr &&
               CompareFolded(items[end].options, items[i].options) == 0)
            ++end;
        const FitAttribute& a = attr(items[i].attr);
        const std::size_t count = end - i;
        const std::size_t first = i;
        i = end;
        if (a.objectClass) continue;
        if (a.serverSet && !options_.offlineLoad) {
            v.reasons.push_back({FitKind::ServerSet, a.name,
                                 "attribute '" + a.name + "' is set by the server itself"});
            continue;
        }
        const auto at = static_cast<std::size_t>(items[first].attr);
        if (!a.operational && !set.extensible && !classes.empty() &&
            (set.allowed[at / 64] >> (at % 64) & 1U) == 0)
            v.reasons.push_back(
                {FitKind::NotAllowed, a.name,
                 "attribute '" + a.name + "' is not allowed by the entry's object classes"});
        if (a.singleValue && count > 1)
            v.reasons.push_back({FitKind::SingleValue, a.name,
                                 "attribute '" + a.name + "' is single-valued but has " +
                                     std::to_string(count) + " values"});
        if (a.syntax == ValueSyntax::None) {
            unchecked_[static_cast<std::size_t>(a.syntaxSlot)] += count;
        } else if (options_.syntaxes) {
            std::size_t bad = 0;
            std::string_view firstBad;
            for (std::size_t k = first; k < end; ++k)
                if (!SyntaxAccepts(a.syntax, items[k].value) && bad++ == 0)
                    firstBad = items[k].value;
            if (bad > 0)
                v.reasons.push_back(
                    {FitKind::Syntax, a.name,
                     "value " + Quoted(firstBad) + " of '" + a.name + "' is not a valid " +
                         std::string(SyntaxName(a.syntax)) +
                         (bad > 1 ? " (and " + std::to_string(bad - 1) + " more)" : "")});
        }
        if (a.maxLength > 0 && options_.lengths) {
            for (std::size_t k = first; k < end; ++k) {
                const std::string_view value = items[k].value;
                const bool characters = SyntaxCountsCharacters(a.syntax) && ValidUtf8(value);
                const std::size_t length = characters ? Utf8Length(value) : value.size();
                if (length <= a.maxLength) continue;
                v.reasons.push_back({FitKind::TooLong, a.name,
                                     "value of '" + a.name + "' is " + std::to_string(length) +
                                         (characters ? " characters" : " bytes") +
                                         " long, more than its bound of " +
                                         std::to_string(a.maxLength)});
                break;
            }
        }
        if (count > 1 && a.equality != ValueEquality::None) {
            normalized.clear();
            for (std::size_t k = first; k < end; ++k)
                normalized.push_back(NormalizedValue(a.equality, items[k].value));
            for (std::size_t k = 0; k < normalized.size(); ++k) {
                const auto same = std::find(normalized.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                                            normalized.end(), normalized[k]);
                if (same == normalized.end()) continue;
                v.reasons.push_back({FitKind::DuplicateValue, a.name,
                                     "value " + Quoted(items[first + k].value) + " of '" + a.name +
                                         "' is given twice"});
                break;
            }
        }
    }
    const auto present = [&](int a) {
        return std::any_of(items.begin(), items.end(),
                           [a](const Item& it) { return it.attr == a; });
    };
    for (const int m : set.must)
        if (!present(m) && !attr(m).serverFills)
            v.reasons.push_back({FitKind::MissingMust, attr(m).name,
                                 "mandatory attribute '" + attr(m).name + "' is missing"});

    std::vector<DnAva> avas;
    if (!ParseDn(record.dn, avas)) {
        v.reasons.push_back({FitKind::Syntax, {}, "the DN is not a valid DN"});
    } else if (avas.empty()) {
        v.reasons.push_back({FitKind::RdnAbsent, {}, "the empty DN names no entry"});
    } else {
        out.dnValid = true;
        for (const DnAva& ava : avas) {
            if (ava.rdn != 0) break;
            const FitSchema::Found f = attribute(ava.type);
            if (f.index < 0) {
                v.reasons.push_back(
                    {FitKind::RdnAbsent, std::string(ava.type),
                     "the RDN's attribute type '" + std::string(ava.type) + "' is not defined"});
                continue;
            }
            if (ava.hex || !options_.rdnValues) continue;
            const FitAttribute& a = attr(f.index);
            const ValueEquality eq =
                a.equality == ValueEquality::None ? ValueEquality::Exact : a.equality;
            const std::string wanted = NormalizedValue(eq, ava.value);
            const bool found = std::any_of(items.begin(), items.end(), [&](const Item& it) {
                return it.attr == f.index && NormalizedValue(eq, it.value) == wanted;
            });
            if (!found)
                v.reasons.push_back({FitKind::RdnAbsent, a.name,
                                     "the RDN's value " + Quoted(ava.value) +
                                         " is not a value of '" + a.name + "' in the entry"});
        }
        std::size_t parentStart = std::string::npos;
        const std::string normal = SchemaDn(schema_, avas, &parentStart);
        out.dnHash = FitHash(normal);
        out.hasParent = parentStart != std::string::npos;
        if (out.hasParent) out.parentHash = FitHash(std::string_view(normal).substr(parentStart));
    }
    std::stable_sort(v.reasons.begin(), v.reasons.end(),
                     [](const FitReason& a, const FitReason& b) { return a.kind < b.kind; });
}
