#include "core/compare/ElementFields.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/AsciiFold.h"
#include "core/D_Util.h"
#include "core/model/StandardSchema.h"

namespace {

using E = LdapElement;
using K = FieldKind;
constexpr ElementType kAt = ElementType::AttributeType;

const char* const kNoiseExtensions[] = {"x-origin", "x-schema-file"};

std::string Lower(std::string_view s) { return AsciiLower(std::string(s)); }

bool SameWord(std::string_view a, std::string_view b) { return fold::FoldEqual(a, b); }

std::string StripZeros(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? (digits.empty() ? digits : "0") : digits.substr(first);
}

std::string FirstName(const LdapElement& e) { return e.names.empty() ? e.oid : e.names.front(); }

// The value under key, added as value when there is none; and whether it was added.
template <typename Map, typename Key, typename Value>
std::pair<Value&, bool> Slot(Map& map, Key&& key, Value value) {
    const auto [it, added] = map.try_emplace(std::forward<Key>(key), std::move(value));
    return {it->second, added};
}

// Lower-cased names and OID of a definition: a reference by any of them means it.
std::vector<std::string> KeysOf(const LdapElement& e) {
    std::vector<std::string> keys;
    keys.reserve(e.names.size() + 1);
    if (!e.oid.empty()) keys.push_back(Lower(e.oid));
    for (const std::string& name : e.names) keys.push_back(Lower(name));
    return keys;
}

// The items of x and y that the other does not name, each item matching at most one:
// first the same spelling (letter case aside); then, for references, the same definition.
// Items are grouped by the definition they name (else by their spelling), so each
// definition's names are looked at once and long lists cost linear time.
void CancelItems(std::vector<std::string>& x, std::vector<std::string>& y, const FieldSpec& f,
                 const PublishedElements& inA, const PublishedElements& inB) {
    std::unordered_multimap<std::string, std::size_t> byKey;
    byKey.reserve(y.size());
    for (std::size_t j = 0; j < y.size(); ++j) byKey.emplace(Lower(y[j]), j);
    std::vector<char> takenX(x.size(), 0);
    std::vector<char> takenY(y.size(), 0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        auto [from, to] = byKey.equal_range(Lower(x[i]));
        for (; from != to; ++from)
            if (takenY[from->second] == 0) {
                takenY[from->second] = 1;
                takenX[i] = 1;
                break;
            }
    }
    if (f.kind == FieldKind::Refs) {
        // Tree #2's items left, grouped; the groups each key reaches.
        struct Group {
            std::vector<std::size_t> items;
            std::size_t next = 0;
        };
        std::vector<Group> groups;
        std::unordered_map<const LdapElement*, std::size_t> groupOfElement;
        std::unordered_map<std::string, std::size_t> groupOfSpelling;
        std::unordered_map<std::string, std::vector<std::size_t>> groupsOfKey;
        groups.reserve(y.size());
        groupOfElement.reserve(y.size());
        groupsOfKey.reserve(y.size() * 2);
        for (std::size_t j = 0; j < y.size(); ++j) {
            if (takenY[j] != 0) continue;
            const LdapElement* e = inB.find(f.refers, y[j]);
            const auto [group, added] = e != nullptr
                                            ? Slot(groupOfElement, e, groups.size())
                                            : Slot(groupOfSpelling, Lower(y[j]), groups.size());
            if (added) {
                for (const std::string& key : e != nullptr ? KeysOf(*e) : std::vector{Lower(y[j])})
                    groupsOfKey[key].push_back(groups.size());
                groups.emplace_back();
            }
            groups[group].items.push_back(j);
        }
        // The groups Tree #1's items reach, found once per definition or spelling; the
        // groups used up at the front are passed for good.
        struct Reach {
            std::vector<std::size_t> groups;
            std::size_t first = 0;
        };
        std::unordered_map<const LdapElement*, Reach> reachOfElement;
        std::unordered_map<std::string, Reach> reachOfSpelling;
        reachOfElement.reserve(x.size());
        std::vector<std::size_t> stamp(groups.size(), 0);
        std::size_t round = 0;
        const auto reachOf = [&](const std::string& item) -> Reach& {
            const LdapElement* e = inA.find(f.refers, item);
            const auto [it, added] = e != nullptr ? Slot(reachOfElement, e, Reach{})
                                                  : Slot(reachOfSpelling, Lower(item), Reach{});
            if (added) {
                ++round;
                for (const std::string& key : e != nullptr ? KeysOf(*e) : std::vector{Lower(item)})
                    if (const auto g = groupsOfKey.find(key); g != groupsOfKey.end())
                        for (std::size_t group : g->second)
                            if (stamp[group] != round) {
                                stamp[group] = round;
                                it.groups.push_back(group);
                            }
            }
            return it;
        };
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (takenX[i] != 0) continue;
            Reach& reach = reachOf(x[i]);
            for (std::size_t k = reach.first; k < reach.groups.size(); ++k) {
                Group& group = groups[reach.groups[k]];
                if (group.next == group.items.size()) {
                    if (k == reach.first) ++reach.first;
                    continue;
                }
                takenY[group.items[group.next++]] = 1;
                takenX[i] = 1;
                break;
            }
        }
    }
    const auto keep = [](std::vector<std::string>& list, const std::vector<char>& taken) {
        std::size_t out = 0;
        for (std::size_t i = 0; i < list.size(); ++i)
            if (taken[i] == 0) {
                if (out != i) list[out] = std::move(list[i]);
                ++out;
            }
        list.resize(out);
    };
    keep(x, takenX);
    keep(y, takenY);
}

const std::string& FrontOf(const std::vector<std::string>& list) {
    static const std::string empty;
    return list.empty() ? empty : list.front();
}

// One side of a single-valued field as a line shows it.
struct Value {
    std::string text;
    bool none = false;
    std::string from;  // the super type it is inherited from
    std::vector<ByteSpan> marks;
};

Value Whole(std::string text) {
    Value v;
    v.none = text.empty();
    v.text = std::move(text);
    if (!v.none) v.marks.push_back({0, v.text.size()});
    return v;
}

std::string RuleOid(const PublishedElements& in, const std::string& rule) {
    if (const LdapElement* e = in.find(ElementType::MatchingRule, rule); e && !e->oid.empty())
        return e->oid;
    return std::string(StandardMatchingRuleOid(rule));
}

class Comparer {
  public:
    Comparer(const std::string& name, const LdapElement& a, const PublishedElements& inA,
             const LdapElement& b, const PublishedElements& inB, Findings& out)
        : name_(name), a_(a), inA_(inA), b_(b), inB_(inB), out_(out) {}

    void field(const FieldSpec& f) {
        switch (f.kind) {
            case K::Oid:
                single(f, Whole(a_.*f.text), Whole(b_.*f.text), SameWord(a_.*f.text, b_.*f.text));
                return;
            case K::Text:
                single(f, Whole(a_.*f.text), Whole(b_.*f.text), a_.*f.text == b_.*f.text);
                return;
            case K::Flag:
                single(f, Whole(a_.*f.flag ? "TRUE" : "FALSE"),
                       Whole(b_.*f.flag ? "TRUE" : "FALSE"), a_.*f.flag == b_.*f.flag);
                return;
            case K::Usage: {
                const std::string x = a_.usage.empty() ? "userApplications" : a_.usage;
                const std::string y = b_.usage.empty() ? "userApplications" : b_.usage;
                single(f, Whole(x), Whole(y), SameWord(x, y));
                return;
            }
            case K::Kind: {
                const std::string x = AsciiUpper(a_.kind.empty() ? "STRUCTURAL" : a_.kind);
                const std::string y = AsciiUpper(b_.kind.empty() ? "STRUCTURAL" : b_.kind);
                single(f, Whole(x), Whole(y), x == y);
                return;
            }
            case K::Rule:
                rule(f);
                return;
            case K::Syntax:
                syntax(f);
                return;
            case K::Ref: {
                const std::string& x = f.text ? a_.*f.text : FrontOf(a_.*f.list);
                const std::string& y = f.text ? b_.*f.text : FrontOf(b_.*f.list);
                const bool same = x.empty() == y.empty() &&
                                  (x.empty() || SameReference(f.refers, x, inA_, y, inB_));
                single(f, Whole(x), Whole(y), same);
                return;
            }
            case K::Names:
            case K::Refs:
                items(f);
                return;
        }
    }

    void extensions(const FieldFilter& filter) {
        // The first extension of each name, on each side.
        std::unordered_map<std::string, std::pair<const LdapExtension*, const LdapExtension*>>
            byName;
        std::vector<std::string> order;  // names in the order met, Tree #1's first
        const auto add = [&](const LdapElement& e, bool first) {
            for (const LdapExtension& x : e.extensions) {
                const auto [it, added] = byName.try_emplace(Lower(x.name));
                if (added) order.push_back(it->first);
                const LdapExtension*& side = first ? it->second.first : it->second.second;
                if (side == nullptr) side = &x;
            }
        };
        add(a_, true);
        add(b_, false);
        const std::vector<std::string> none;
        for (const std::string& key : order) {
            const auto [x, y] = byName.at(key);
            if (filter.ignoresExtension(x ? x->name : y->name)) continue;
            const auto& vx = x ? x->values : none;
            const auto& vy = y ? y->values : none;
            // Present with no value and absent say different things.
            if ((x == nullptr) == (y == nullptr) && SameValues(vx, vy)) continue;
            Finding& f = pair(x ? x->name : y->name);
            Joined(vx, vy, f.text1, f.marks1);
            Joined(vy, vx, f.text2, f.marks2);
            f.none1 = x == nullptr;
            f.none2 = y == nullptr;
        }
    }

  private:
    static bool SameValues(std::vector<std::string> x, std::vector<std::string> y) {
        std::sort(x.begin(), x.end());
        std::sort(y.begin(), y.end());
        x.erase(std::unique(x.begin(), x.end()), x.end());
        y.erase(std::unique(y.begin(), y.end()), y.end());
        return x == y;
    }

    // The values joined by ", ", those the other side lacks marked.
    static void Joined(const std::vector<std::string>& values,
                       const std::vector<std::string>& other, std::string& text,
                       std::vector<ByteSpan>& marks) {
        const std::unordered_set<std::string_view> others(other.begin(), other.end());
        for (const std::string& v : values) {
            if (!text.empty()) text += ", ";
            if (others.count(v) == 0) marks.push_back({text.size(), v.size()});
            text += v;
        }
    }

    Finding& pair(std::string_view label) {
        Finding& f = out_.emplace_back();
        f.type = FindingType::Field;
        f.kind = static_cast<int>(a_.type);
        f.name = name_;
        f.label = std::string(label);
        return f;
    }

    void single(const FieldSpec& spec, Value x, Value y, bool same) {
        if (same) return;
        Finding& f = pair(spec.label);
        f.text1 = std::move(x.text);
        f.text2 = std::move(y.text);
        f.none1 = x.none;
        f.none2 = y.none;
        f.from1 = std::move(x.from);
        f.from2 = std::move(y.from);
        f.marks1 = std::move(x.marks);
        f.marks2 = std::move(y.marks);
    }

    // The definition that gives e its value of the field: itself, or for an attribute type
    // a super type.
    static const LdapElement* Definer(const LdapElement& e, const PublishedElements& in,
                                      std::string E::*field) {
        return e.type == kAt ? in.definer(e, field) : &e;
    }

    static Value Inherited(const LdapElement& e, const LdapElement* definer, std::string text) {
        Value v = Whole(std::move(text));
        if (definer != nullptr && definer != &e) v.from = FirstName(*definer);
        return v;
    }

    void rule(const FieldSpec& f) {
        const LdapElement* da = Definer(a_, inA_, f.text);
        const LdapElement* db = Definer(b_, inB_, f.text);
        const std::string x = da ? da->*f.text : std::string();
        const std::string y = db ? db->*f.text : std::string();
        const bool same =
            x.empty() == y.empty() && (x.empty() || inA_.ruleKey(x) == inB_.ruleKey(y));
        if (same) return;
        Value vx = Inherited(a_, da, x);
        Value vy = Inherited(b_, db, y);
        // One name for two rules (a tree's own rule under a standard name): show the OIDs.
        if (!x.empty() && SameWord(x, y)) {
            vx = Inherited(a_, da, x + " (" + RuleOid(inA_, x) + ")");
            vy = Inherited(b_, db, y + " (" + RuleOid(inB_, y) + ")");
        }
        single(f, std::move(vx), std::move(vy), false);
    }

    // "OID{len} (Description)", its OID and description marked when they differ, its
    // bound when that does.
    static Value SyntaxValue(const LdapElement& e, const LdapElement* definer,
                             const PublishedElements& in, bool markOid, bool markLength) {
        Value v;
        if (definer == nullptr || definer->syntax.empty()) {
            v.none = true;
            return v;
        }
        if (definer != &e) v.from = FirstName(*definer);
        const std::string oid = in.syntaxOid(definer->syntax);
        v.text = oid;
        if (markOid) v.marks.push_back({0, oid.size()});
        if (!definer->syntaxLength.empty()) {
            if (markLength) v.marks.push_back({v.text.size(), definer->syntaxLength.size() + 2});
            v.text += "{" + definer->syntaxLength + "}";
        }
        if (const std::string description = in.syntaxDescription(oid); !description.empty()) {
            if (markOid) v.marks.push_back({v.text.size() + 1, description.size() + 2});
            v.text += " (" + description + ")";
        }
        return v;
    }

    void syntax(const FieldSpec& f) {
        const LdapElement* da = Definer(a_, inA_, &E::syntax);
        const LdapElement* db = Definer(b_, inB_, &E::syntax);
        const std::string x = da ? da->syntax : std::string();
        const std::string y = db ? db->syntax : std::string();
        const std::string lx = da ? StripZeros(da->syntaxLength) : std::string();
        const std::string ly = db ? StripZeros(db->syntaxLength) : std::string();
        const bool sameOid =
            x.empty() == y.empty() && (x.empty() || inA_.syntaxKey(x) == inB_.syntaxKey(y));
        if (sameOid && lx == ly) return;
        single(f, SyntaxValue(a_, da, inA_, !sameOid, lx != ly),
               SyntaxValue(b_, db, inB_, !sameOid, lx != ly), false);
    }

    void items(const FieldSpec& f) {
        const std::vector<std::string>& listA = a_.*f.list;
        const std::vector<std::string>& listB = b_.*f.list;
        // Most lists are spelled alike, item for item.
        if (listA.size() == listB.size() &&
            std::equal(listA.begin(), listA.end(), listB.begin(), SameWord))
            return;
        std::vector<std::string> x = listA;
        std::vector<std::string> y = listB;
        CancelItems(x, y, f, inA_, inB_);
        for (int tree = 1; tree <= 2; ++tree)
            for (std::string& item : tree == 1 ? x : y) {
                Finding& one = out_.emplace_back();
                one.type = FindingType::FieldItem;
                one.tree = tree;
                one.kind = static_cast<int>(a_.type);
                one.name = name_;
                one.label = std::string(f.label);
                one.text1 = std::move(item);
            }
    }

    const std::string& name_;
    const LdapElement& a_;
    const PublishedElements& inA_;
    const LdapElement& b_;
    const PublishedElements& inB_;
    Findings& out_;
};

bool Understood(const FieldSpec& f, const std::string& key) {
    if (key == Lower(f.label) || (!f.alias.empty() && key == Lower(f.alias))) return true;
    for (std::string_view word : f.keywords())
        if (key == Lower(word)) return true;
    return false;
}

}  // namespace

const std::vector<std::string>& FieldLabels() {
    static const std::vector<std::string> labels = [] {
        std::vector<std::string> out;
        for (const FieldSpec& f : FieldTable())
            if (std::find(out.begin(), out.end(), f.label) == out.end()) out.emplace_back(f.label);
        return out;
    }();
    return labels;
}

std::vector<std::string> FilterWords() {
    std::vector<std::string> out = FieldLabels();
    for (const FieldSpec& f : FieldTable()) {
        std::vector<std::string_view> words = f.keywords();
        words.push_back(f.alias);
        for (std::string_view word : words)
            if (!word.empty() && std::find(out.begin(), out.end(), word) == out.end())
                out.emplace_back(word);
    }
    out.emplace_back("extensions");
    out.emplace_back("none");
    return out;
}

FieldFilter::FieldFilter() {
    for (const char* noise : kNoiseExtensions) labels_.insert(noise);
    markFields();
}

// Every comparison asks for every field; the answer is looked up, not worked out.
void FieldFilter::markFields() {
    const auto& table = FieldTable();
    fields_.assign(table.size(), false);
    for (std::size_t i = 0; i < table.size(); ++i)
        fields_[i] = labels_.count(Lower(table[i].label)) != 0;
}

FieldFilter FieldFilter::Parse(std::string_view list, std::vector<std::string>& unknown) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string_view::npos) comma = list.size();
        words.push_back(TrimBlanks(std::string(list.substr(start, comma - start))));
        start = comma + 1;
    }
    FieldFilter filter;
    if (std::any_of(words.begin(), words.end(),
                    [](const std::string& w) { return Lower(w) == "none"; }))
        filter.labels_.clear();
    for (const std::string& word : words) {
        const std::string key = Lower(word);
        if (key.empty() || key == "none") continue;
        if (key == "extensions") {
            filter.extensions_ = true;
            continue;
        }
        if (key.rfind("x-", 0) == 0) {
            filter.labels_.insert(key);
            continue;
        }
        bool known = false;
        for (const FieldSpec& f : FieldTable())
            if (Understood(f, key)) {
                filter.labels_.insert(Lower(f.label));
                known = true;
            }
        if (!known) unknown.push_back(word);
    }
    filter.markFields();
    return filter;
}

bool FieldFilter::ignores(const FieldSpec& field) const {
    const auto& table = FieldTable();
    if (&field >= table.data() && &field < table.data() + table.size())
        return fields_[static_cast<std::size_t>(&field - table.data())];
    return labels_.count(Lower(field.label)) != 0;
}

bool FieldFilter::ignoresExtension(std::string_view name) const {
    return extensions_ || labels_.count(Lower(name)) != 0;
}

bool FieldFilter::ignores(std::string_view word) const {
    const std::string key = Lower(word);
    if (key.rfind("x-", 0) == 0) return ignoresExtension(word);
    for (const FieldSpec& f : FieldTable())
        if (Understood(f, key)) return ignores(f);
    return false;
}

std::vector<std::string> FieldFilter::described() const {
    std::vector<std::string> out;
    for (const std::string& label : FieldLabels())
        if (labels_.count(Lower(label)) != 0) out.push_back(label);
    if (extensions_) out.push_back("extensions");
    for (const std::string& key : labels_)
        if (key.rfind("x-", 0) == 0 && !extensions_) out.push_back(AsciiUpper(key));
    return out;
}

std::string FieldFilter::text() const {
    bool defaults = true;
    for (const char* noise : kNoiseExtensions) defaults = defaults && ignoresExtension(noise);
    std::string out = defaults ? "" : "none";
    for (const std::string& label : described()) out += (out.empty() ? "" : ", ") + label;
    return out;
}

void CompareElements(const std::string& name, const LdapElement& a, const PublishedElements& inA,
                     const LdapElement& b, const PublishedElements& inB, const FieldFilter& filter,
                     Findings& out) {
    Comparer c(name, a, inA, b, inB, out);
    for (const FieldSpec& f : FieldTable())
        if (f.of(a.type) && !filter.ignores(f)) c.field(f);
    c.extensions(filter);
}

std::vector<std::pair<std::string, std::string>> ElementFieldValues(const LdapElement& e,
                                                                    const PublishedElements& in) {
    std::vector<std::pair<std::string, std::string>> lines;
    const auto line = [&](std::string_view label, const std::string& value,
                          const LdapElement* definer = nullptr) {
        std::string text = value;
        if (definer != nullptr && definer != &e) text += " (from " + FirstName(*definer) + ")";
        lines.emplace_back(std::string(label), std::move(text));
    };
    for (const FieldSpec& f : FieldTable()) {
        if (!f.of(e.type)) continue;
        switch (f.kind) {
            case K::Oid:
            case K::Text:
            case K::Ref:
                if (const std::string& v = f.text ? e.*f.text : FrontOf(e.*f.list); !v.empty())
                    line(f.label, v);
                break;
            case K::Flag:
                if (e.*f.flag) line(f.label, "TRUE");
                break;
            case K::Usage:
                if (!e.usage.empty()) line(f.label, e.usage);
                break;
            case K::Kind:
                line(f.label, AsciiUpper(e.kind.empty() ? "STRUCTURAL" : e.kind));
                break;
            case K::Rule:
            case K::Syntax: {
                const LdapElement* d = e.type == kAt ? in.definer(e, f.text) : &e;
                if (d == nullptr || (d->*f.text).empty()) break;
                if (f.kind == K::Rule) {
                    line(f.label, d->*f.text, d);
                    break;
                }
                const std::string oid = in.syntaxOid(d->syntax);
                std::string v = oid;
                if (!d->syntaxLength.empty()) v += "{" + d->syntaxLength + "}";
                if (const std::string desc = in.syntaxDescription(oid); !desc.empty())
                    v += " (" + desc + ")";
                line(f.label, v, d);
                break;
            }
            case K::Names:
            case K::Refs:
                for (const std::string& item : e.*f.list) line(f.label, item);
                break;
        }
    }
    for (const LdapExtension& x : e.extensions) {
        std::string values;
        for (const std::string& v : x.values) values += (values.empty() ? "" : ", ") + v;
        line(x.name, x.values.empty() ? "(no value)" : values);
    }
    return lines;
}
