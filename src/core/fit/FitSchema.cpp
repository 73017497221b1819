#include "core/fit/FitSchema.h"

#include <algorithm>

#include "core/D_Util.h"
#include "core/fit/BuiltInSchema.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

constexpr std::string_view kExtensibleObject = "1.3.6.1.4.1.1466.101.120.111";
constexpr std::string_view kObjectClass = "2.5.4.0";

// Where an AD attribute publishes no equality rule, its syntax says how values compare.
ValueEquality EqualityOfSyntax(ValueSyntax syntax, std::string_view oid) {
    switch (syntax) {
        case ValueSyntax::Boolean:
            return ValueEquality::Boolean;
        case ValueSyntax::Integer:
        case ValueSyntax::AdLargeInteger:
            return ValueEquality::Integer;
        case ValueSyntax::Dn:
            return ValueEquality::Dn;
        case ValueSyntax::DirectoryString:
            return oid == "1.2.840.113556.1.4.1362" ? ValueEquality::Exact
                                                    : ValueEquality::CaseIgnore;
        case ValueSyntax::Ia5String:
        case ValueSyntax::PrintableString:
        case ValueSyntax::Oid:
            return ValueEquality::CaseIgnore;
        default:
            return ValueEquality::Exact;
    }
}

}  // namespace

std::size_t FitSchema::CaseHash::operator()(std::string_view s) const {
    std::size_t h = 1469598103934665603ULL;
    for (const char c : s) h = (h ^ static_cast<unsigned char>(Lower(c))) * 1099511628211ULL;
    return h;
}

bool FitSchema::CaseEqual::operator()(std::string_view a, std::string_view b) const {
    return SameText(a, b);
}

FitSchema::Found FitSchema::In(const Lookup& lookup, std::string_view name) {
    const auto it = lookup.find(name);
    return it == lookup.end() ? Found{} : it->second;
}

FitSchema::Found FitSchema::attribute(std::string_view nameOrOid) const {
    return In(attributeLookup_, nameOrOid);
}

FitSchema::Found FitSchema::objectClass(std::string_view nameOrOid) const {
    return In(classLookup_, nameOrOid);
}

FitSchema::FitSchema(const TreeSchema& tree, const TreeSchema* mapFrom)
    : activeDirectory_(tree.origin.activeDirectory), namingContext_(tree.defaultContext) {
    if (LacksBuiltInSchema(tree)) {
        builtIns_ = true;
        build(WithBuiltInSchema(tree), mapFrom);
    } else {
        build(tree, mapFrom);
    }
}

void FitSchema::build(const TreeSchema& tree, const TreeSchema* mapFrom) {
    const PublishedElements& published = tree.published;
    const auto& types = published.of(ElementType::AttributeType);
    const auto& classes = published.of(ElementType::ObjectClass);
    const auto keys = [](const LdapElement& e, int index, Lookup& lookup) {
        // The first definition of a name or OID wins, as the servers' own lookups do.
        if (!e.oid.empty()) lookup.emplace(e.oid, Found{index, -1});
        for (const std::string& name : e.names) lookup.emplace(name, Found{index, -1});
        for (const LdapExtension& x : e.extensions)
            if (SameText(x.name, "X-NDS_NAME") && !x.values.empty())
                lookup.emplace(x.values.front(), Found{index, -1});
    };

    attributes_.reserve(types.size());
    for (const LdapElement& e : types) {
        FitAttribute a;
        a.name = tree.shownName(ElementType::AttributeType, e);
        a.oidKey = AsciiLower(e.oid.empty() ? a.name : e.oid);
        if (const LdapElement* d = published.definer(e, &LdapElement::syntax)) {
            const std::string oid = published.syntaxOid(d->syntax);
            a.syntax = SyntaxOf(oid, activeDirectory_);
            if (a.syntax == ValueSyntax::None) {
                const auto at = std::find(unchecked_.begin(), unchecked_.end(), oid);
                a.syntaxSlot = static_cast<int>(at - unchecked_.begin());
                if (at == unchecked_.end()) unchecked_.push_back(oid);
            }
            if (!d->syntaxLength.empty() && d->syntaxLength.size() < 10)
                a.maxLength = std::stoul(d->syntaxLength);
            if (const LdapElement* q = published.definer(e, &LdapElement::equality))
                a.equality = EqualityOfRule(published.ruleKey(q->equality));
            else if (activeDirectory_)
                a.equality = EqualityOfSyntax(a.syntax, oid);
        } else if (const LdapElement* q = published.definer(e, &LdapElement::equality)) {
            a.equality = EqualityOfRule(published.ruleKey(q->equality));
            a.syntaxSlot = static_cast<int>(unchecked_.size());
            unchecked_.push_back("(none)");
        }
        a.singleValue = e.singleValue;
        a.serverSet = e.noUserModification;
        a.operational = !e.usage.empty() && !SameText(e.usage, "userApplications");
        a.objectClass = e.oid == kObjectClass;
        // A domain controller gives a new object these when the add leaves them out (a
        // security principal its SID and account name).
        a.serverFills =
            a.serverSet || a.operational ||
            (activeDirectory_ &&
             (SameText(a.name, "objectCategory") || SameText(a.name, "nTSecurityDescriptor") ||
              SameText(a.name, "instanceType") || SameText(a.name, "objectSid") ||
              SameText(a.name, "sAMAccountName")));
        keys(e, static_cast<int>(attributes_.size()), attributeLookup_);
        attributes_.push_back(std::move(a));
    }
    // Unchecked slots for attributes without any syntax share one entry.
    for (FitAttribute& a : attributes_)
        if (a.syntax == ValueSyntax::None && a.syntaxSlot < 0) {
            const auto at = std::find(unchecked_.begin(), unchecked_.end(), "(none)");
            a.syntaxSlot = static_cast<int>(at - unchecked_.begin());
            if (at == unchecked_.end()) unchecked_.push_back("(none)");
        }

    for (std::size_t i = 0; i < classes.size(); ++i)
        keys(classes[i], static_cast<int>(i), classLookup_);
    const auto attrs = [&](const std::vector<std::string>& names) {
        std::vector<int> out;
        for (const std::string& n : names)
            if (const Found f = attribute(n); f.index >= 0) out.push_back(f.index);
        return out;
    };
    const auto clss = [&](const std::vector<std::string>& names) {
        std::vector<int> out;
        for (const std::string& n : names)
            if (const Found f = objectClass(n); f.index >= 0) out.push_back(f.index);
        return out;
    };
    classes_.reserve(classes.size());
    for (const LdapElement& e : classes) {
        FitClass c;
        c.name = tree.shownName(ElementType::ObjectClass, e);
        if (SameText(e.kind, "AUXILIARY"))
            c.kind = FitClassKind::Auxiliary;
        else if (SameText(e.kind, "ABSTRACT"))
            c.kind = FitClassKind::Abstract;
        c.sups = clss(e.sup);
        c.must = attrs(e.must);
        c.may = attrs(e.may);
        c.extensible = e.oid == kExtensibleObject;
        classes_.push_back(std::move(c));
    }
    for (const LdapElement& r : published.of(ElementType::DitContentRule)) {
        const Found structural = objectClass(r.oid);
        if (structural.index < 0 ||
            classes_[static_cast<std::size_t>(structural.index)].contentRule >= 0)
            continue;
        classes_[static_cast<std::size_t>(structural.index)].contentRule =
            static_cast<int>(rules_.size());
        rules_.push_back({clss(r.aux), attrs(r.must), attrs(r.may), attrs(r.nots)});
    }
    if (mapFrom) {
        addMapped(*mapFrom, ElementType::AttributeType, attributeLookup_, &attributes_, nullptr);
        addMapped(*mapFrom, ElementType::ObjectClass, classLookup_, nullptr, &classes_);
    }
}

void FitSchema::addMapped(const TreeSchema& other, ElementType type, Lookup& lookup,
                          const std::vector<FitAttribute>* attrs,
                          const std::vector<FitClass>* classes) {
    for (const LdapElement& e : other.published.of(type)) {
        if (e.oid.empty()) continue;
        const Found target = In(lookup, e.oid);
        if (target.index < 0 || target.mapped >= 0) continue;
        const std::string& to = attrs ? (*attrs)[static_cast<std::size_t>(target.index)].name
                                      : (*classes)[static_cast<std::size_t>(target.index)].name;
        for (const std::string& name : e.names) {
            if (lookup.find(name) != lookup.end()) continue;
            lookup.emplace(name, Found{target.index, static_cast<int>(mapped_.size())});
            mapped_.push_back({name, to});
        }
    }
}
