// Active Directory takes no RFC 4512 descriptions: its schema is made of attributeSchema
// and classSchema objects in the schema naming context, each field an attribute of its own,
// and a syntax is a pair (attributeSyntax, oMSyntax) rather than an LDAP syntax OID.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/D_Util.h"
#include "core/directory/RecordView.h"
#include "core/model/LdapMapping.h"
#include "core/reconcile/ReconcileDetail.h"

namespace {

const char* const kStd = "1.3.6.1.4.1.1466.115.121.1.";
const char* const kAdOwn = "1.2.840.113556.1.4.";
// AD's cn is at most 64 characters; the schema objects are named after their names.
constexpr std::size_t kMaxCn = 64;
constexpr std::uint32_t kMaxRange = 0x7FFFFFFF;

// By meaning; each pair is the one AD publishes back as the same LDAP syntax.
const std::unordered_map<std::string, AdSyntax>& SyntaxTable() {
    static const std::unordered_map<std::string, AdSyntax> table = [] {
        const std::string std = kStd;
        const std::string ad = kAdOwn;
        return std::unordered_map<std::string, AdSyntax>{
            {std + "7", {"2.5.5.8", 1, nullptr}},                        // Boolean
            {std + "12", {"2.5.5.1", 127, "1.3.12.2.1011.28.0.714"}},    // DN
            {std + "15", {"2.5.5.12", 64, nullptr}},                     // Directory String
            {std + "24", {"2.5.5.11", 24, nullptr}},                     // Generalized Time
            {std + "53", {"2.5.5.11", 23, nullptr}},                     // UTC Time
            {std + "26", {"2.5.5.5", 22, nullptr}},                      // IA5 String
            {std + "44", {"2.5.5.5", 19, nullptr}},                      // Printable String
            {std + "27", {"2.5.5.9", 2, nullptr}},                       // Integer
            {std + "36", {"2.5.5.6", 18, nullptr}},                      // Numeric String
            {std + "38", {"2.5.5.2", 6, nullptr}},                       // OID
            {std + "40", {"2.5.5.10", 4, nullptr}},                      // Octet String
            {std + "43", {"2.5.5.13", 127, "1.3.12.2.1011.28.0.732"}},   // Presentation Address
            {std + "2", {"2.5.5.14", 127, "1.3.12.2.1011.28.0.702"}},    // Access Point
            {ad + "903", {"2.5.5.7", 127, "1.2.840.113556.1.1.1.11"}},   // DN-Binary
            {ad + "904", {"2.5.5.14", 127, "1.2.840.113556.1.1.1.12"}},  // DN-String
            {ad + "905", {"2.5.5.4", 20, nullptr}},                      // String(Teletex)
            {ad + "906", {"2.5.5.16", 65, nullptr}},                     // Large Integer
            {ad + "907", {"2.5.5.15", 66, nullptr}},                     // NT security descriptor
            {ad + "1221", {"2.5.5.7", 127, "2.6.6.1.2.5.11.29"}},        // OR-Name
            {ad + "1362", {"2.5.5.3", 27, nullptr}},                     // String(Case)
        };
    }();
    return table;
}

bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

const std::string& FirstValue(const PublishedDefinition& def, const char* extension) {
    static const std::string none;
    for (const LdapExtension& x : def.element.extensions)
        if (AsciiLower(x.name) == AsciiLower(extension) && !x.values.empty())
            return x.values.front();
    return none;
}

const std::vector<std::string>* Values(const PublishedDefinition& def, const char* extension) {
    for (const LdapExtension& x : def.element.extensions)
        if (AsciiLower(x.name) == AsciiLower(extension)) return &x.values;
    return nullptr;
}

// The strings AD bounds by length; numbers it bounds by value, which a {len} never meant.
bool LengthBounded(const AdSyntax& s) {
    return s.oMSyntax == 4 || s.oMSyntax == 18 || s.oMSyntax == 19 || s.oMSyntax == 20 ||
           s.oMSyntax == 22 || s.oMSyntax == 27 || s.oMSyntax == 64;
}

// A reference's key for comparing across trees: the OID of what it names in its own tree.
std::string RefKey(const std::string& token, const reconcile::Lookup& own) {
    const PublishedDefinition* d = own.find(token);
    return AsciiLower(d != nullptr && !d->oid.empty() ? d->oid : token);
}

std::vector<std::string> Keys(const std::vector<std::string>& list, const reconcile::Lookup& own) {
    std::vector<std::string> out;
    for (const std::string& s : list) out.push_back(RefKey(s, own));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::string Kind(const PublishedDefinition& def) {
    return def.element.kind.empty() ? std::string("STRUCTURAL") : def.element.kind;
}

}  // namespace

const AdSyntax* AdSyntaxFor(const std::string& ldapSyntaxOid) {
    const auto& table = SyntaxTable();
    const auto it = table.find(AsciiLower(ldapSyntaxOid));
    return it == table.end() ? nullptr : &it->second;
}

std::string AdNameProblem(const std::string& name) {
    if (name.empty()) return "it has no name, and AD needs an lDAPDisplayName";
    if (!Letter(name.front()))
        return "its name '" + name + "' does not start with a letter, as an lDAPDisplayName must";
    for (char c : name)
        if (!Letter(c) && !(c >= '0' && c <= '9') && c != '-')
            return "its name '" + name +
                   "' holds characters other than letters, digits and hyphens, which an "
                   "lDAPDisplayName cannot";
    if (name.size() > kMaxCn)
        return "its name '" + name +
               "' is longer than the 64 characters of an AD schema object's cn";
    return {};
}

std::string AdSchemaDn(const ReconcileOptions& options, const PublishedSchema& tree2) {
    if (!options.schemaDn.empty()) return options.schemaDn;
    if (options.forestPlaceholder) return "CN=Schema,CN=Configuration,DC=X";
    return tree2.schemaNamingContext;
}

namespace reconcile {

Lookup::Lookup(const std::vector<PublishedDefinition>& list) : defs_(&list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].oid.empty()) index_.try_emplace(AsciiLower(list[i].oid), i);
        for (const std::string& n : list[i].names) index_.try_emplace(AsciiLower(n), i);
        index_.try_emplace(AsciiLower(list[i].shown), i);
    }
}

const PublishedDefinition* Lookup::find(const std::string& nameOrOid) const {
    const auto it = index_.find(AsciiLower(nameOrOid));
    return it == index_.end() ? nullptr : &(*defs_)[it->second];
}

const PublishedDefinition* SyntaxChains::definer(const PublishedDefinition& type) const {
    // Marks the types of the chain being walked: meeting one again is a loop.
    static const PublishedDefinition walking{};
    std::vector<std::pair<const PublishedDefinition*, bool>> path;
    const PublishedDefinition* at = &type;
    const PublishedDefinition* found = nullptr;
    bool onFallback = false;
    while (at != nullptr) {
        const auto [known, fresh] = memo_[onFallback].try_emplace(at, &walking);
        if (!fresh) {
            found = known->second == &walking ? nullptr : known->second;
            break;
        }
        path.emplace_back(at, onFallback);
        if (!at->element.syntax.empty()) {
            found = at;
            break;
        }
        if (at->sups.empty()) break;
        const std::string& sup = at->sups.front();
        const PublishedDefinition* next = onFallback ? nullptr : first_.find(sup);
        if (next == nullptr) {
            next = fallback_.find(sup);
            onFallback = true;
        }
        at = next;
    }
    for (const auto& [def, fallback] : path) memo_[fallback][def] = found;
    return found;
}

std::string SyntaxChains::syntax(const PublishedDefinition& type) const {
    const PublishedDefinition* from = definer(type);
    return from == nullptr ? std::string() : AsciiLower(from->element.syntax);
}

std::string WithoutBound(const std::string& canonical) {
    bool quoted = false;
    for (std::size_t i = 0; i < canonical.size(); ++i) {
        const char c = canonical[i];
        if (c == '\'') quoted = !quoted;
        if (quoted || canonical.compare(i, 8, " SYNTAX ") != 0) continue;
        const std::size_t open = canonical.find_first_of("{ ", i + 8);
        if (open == std::string::npos || canonical[open] != '{') return canonical;
        const std::size_t close = canonical.find('}', open);
        if (close == std::string::npos) return canonical;
        return canonical.substr(0, open) + canonical.substr(close + 1);
    }
    return canonical;
}

std::string AdName(const PublishedDefinition& def) {
    return def.names.empty() ? def.shown : def.names.front();
}

std::optional<std::string> AdRefusal(DefinitionKind kind, const PublishedDefinition& def,
                                     const Lookup& tree1Types, const SyntaxChains& chains,
                                     const Lookup& tree2Other) {
    if (const std::string why = AdNameProblem(AdName(def)); !why.empty()) return why;
    if (def.oid.empty() || def.oid.find_first_not_of("0123456789.") != std::string::npos)
        return "its OID '" + def.oid + "' is not numeric, and AD takes only numeric OIDs";
    // AD's names are unique across attribute types and classes.
    if (const PublishedDefinition* used = tree2Other.find(AdName(def)))
        return "the name '" + AdName(def) + "' is already used on Tree #2 by the " +
               (kind == DefinitionKind::AttributeType ? "object class '" : "attribute type '") +
               used->shown + "', and AD's names are unique across both";
    if (kind == DefinitionKind::ObjectClass) {
        if (tree1Types.find(AdName(def)) != nullptr)
            return "the name '" + AdName(def) +
                   "' is also an attribute type's on Tree #1, and AD's names are unique across "
                   "both";
        if (def.sups.size() > 1)
            return "it has " + std::to_string(def.sups.size()) +
                   " super classes, and an AD class has one (subClassOf)";
        return std::nullopt;
    }
    if (def.element.collective) return "it is a collective attribute type, which AD does not have";
    if (def.element.noUserModification)
        return "users cannot modify it (NO-USER-MODIFICATION), which AD gives only to its own "
               "attributes";
    const std::string syntax = chains.syntax(def);
    if (syntax.empty()) return "it has no syntax, not even through its super types";
    if (AdSyntaxFor(syntax) == nullptr)
        return "its syntax " + syntax + " has no counterpart among AD's syntaxes";
    return std::nullopt;
}

AdChange CompareForAd(DefinitionKind kind, const PublishedDefinition& a,
                      const PublishedDefinition& b, const PublishedSchema& tree1,
                      const PublishedSchema& tree2, const Lookup& tree1Types,
                      const Lookup& tree2Types, const SyntaxChains& chains1,
                      const SyntaxChains& chains2) {
    AdChange out;
    const std::string what = kind == DefinitionKind::AttributeType ? "an attribute" : "a class";
    auto refuse = [&](const std::string& field, bool plural = false) {
        out.refusal = "its " + field + (plural ? " differ" : " differs") +
                      ", and AD does not change the " + field + " of " + what + " it has";
    };
    if (AsciiLower(a.oid) != AsciiLower(b.oid)) {
        refuse("OID");
        return out;
    }
    if (kind == DefinitionKind::AttributeType) {
        const std::string s1 = chains1.syntax(a);
        const std::string s2 = chains2.syntax(b);
        if (!s1.empty() && !s2.empty() && s1 != s2) {
            refuse("syntax");
            return out;
        }
        if (a.element.singleValue != b.element.singleValue) {
            refuse("single-value flag (isSingleValued)");
            return out;
        }
        // AD's subschema entry publishes a description only where the object has one.
        out.descriptionChanged =
            !b.element.description.empty() && a.element.description != b.element.description;
        return out;
    }
    const Lookup classes1(tree1.objectClasses), classes2(tree2.objectClasses);
    std::vector<std::string> sup1 = Keys(a.sups, classes1), sup2 = Keys(b.sups, classes2);
    // A class without SUP derives from top, as AD's subClassOf says outright.
    if (sup1.empty()) sup1 = Keys({"top"}, classes1);
    if (sup2.empty()) sup2 = Keys({"top"}, classes2);
    if (sup1 != sup2) {
        refuse("super class (subClassOf)");
        return out;
    }
    if (Kind(a) != Kind(b)) {
        refuse("kind (objectClassCategory)");
        return out;
    }
    if (Keys(a.must, tree1Types) != Keys(b.must, tree2Types)) {
        refuse("mandatory attributes (mustContain)", true);
        return out;
    }
    const std::vector<std::string> may2 = Keys(b.may, tree2Types);
    std::vector<std::string> may1;
    for (const std::string& m : a.may) {
        const std::string key = RefKey(m, tree1Types);
        may1.push_back(key);
        if (!std::binary_search(may2.begin(), may2.end(), key)) out.mayAdded.push_back(m);
    }
    for (const std::string& key : may2)
        if (std::find(may1.begin(), may1.end(), key) == may1.end()) {
            out.mayAdded.clear();
            out.refusal =
                "it lacks optional attributes Tree #2's class has, and AD takes none away from "
                "a class (mayContain only grows)";
            return out;
        }
    return out;
}

namespace {

std::string DnFor(const std::string& name, const std::string& schemaDn) {
    return "CN=" + EscapeDnValue(name) + "," + schemaDn;
}

const char* const kUpdateNow =
    "\ndn:\nchangetype: modify\nadd: schemaUpdateNow\nschemaUpdateNow: 1\n-\n";

// The name AD knows a reference by: Tree #2's definition's, else the one being added.
std::string AdReference(const std::string& token, const Lookup& tree2, const Lookup& tree1) {
    if (const PublishedDefinition* d = tree2.find(token)) return AdName(*d);
    if (const PublishedDefinition* d = tree1.find(token)) return AdName(*d);
    return token;
}

std::string BerContent(const std::string& oid) {
    Asn1Id id;
    if (!OidToAsn1Id(oid, id)) return {};
    return std::string(reinterpret_cast<const char*>(id.data) + 2, id.length - 2);
}

// chains: Tree #1's types, then Tree #2's; chains1: Tree #1's alone.
std::string AttributeRecord(const PublishedDefinition& def, const Lookup& types1,
                            const SyntaxChains& chains, const SyntaxChains& chains1,
                            const std::string& schemaDn) {
    const std::string name = AdName(def);
    const AdSyntax* syntax = AdSyntaxFor(chains.syntax(def));
    std::string out = "\n";
    out += LdifAttributeLine("dn", DnFor(name, schemaDn));
    out += "changetype: add\nobjectClass: top\nobjectClass: attributeSchema\n";
    out += LdifAttributeLine("cn", name);
    out += LdifAttributeLine("lDAPDisplayName", name);
    out += LdifAttributeLine("adminDisplayName", name);
    out += LdifAttributeLine("attributeID", def.oid);
    if (syntax != nullptr) {  // the planner refused a type without one
        out += std::string("attributeSyntax: ") + syntax->attributeSyntax + "\n";
        out += "oMSyntax: " + std::to_string(syntax->oMSyntax) + "\n";
        if (syntax->oMObjectClass != nullptr)
            out += LdifBinaryLine("oMObjectClass", BerContent(syntax->oMObjectClass));
    }
    out += std::string("isSingleValued: ") + (def.element.singleValue ? "TRUE" : "FALSE") + "\n";
    if (syntax != nullptr && LengthBounded(*syntax)) {
        const std::string& lower = FirstValue(def, "X-NDS_LOWER_BOUND");
        std::string upper = FirstValue(def, "X-NDS_UPPER_BOUND");
        if (upper.empty()) upper = def.element.syntaxLength;
        // A type without a bound of its own inherits its super type's in LDAP.
        if (upper.empty() && !def.sups.empty())
            if (const PublishedDefinition* sup = types1.find(def.sups.front()))
                if (const PublishedDefinition* from = chains1.definer(*sup))
                    upper = from->element.syntaxLength;
        for (const auto& [field, digits] :
             {std::pair{"rangeLower", lower}, {"rangeUpper", upper}}) {
            if (digits.empty()) continue;
            const std::uint32_t n = SyntaxBound(digits);
            if (n > 0 && n <= kMaxRange)
                out += std::string(field) + ": " + std::to_string(n) + "\n";
        }
    }
    if (!def.element.description.empty())
        out += LdifAttributeLine("description", def.element.description);
    return out;
}

// added: the classes the document adds, which a containment may name too.
std::string ClassRecord(const PublishedDefinition& def, const Lookup& classes1,
                        const Lookup& classes2, const Lookup& types1, const Lookup& types2,
                        const std::set<const PublishedDefinition*>& added,
                        const std::string& schemaDn) {
    const std::string name = AdName(def);
    const std::string kind = Kind(def);
    std::string out = "\n";
    out += LdifAttributeLine("dn", DnFor(name, schemaDn));
    out += "changetype: add\nobjectClass: top\nobjectClass: classSchema\n";
    out += LdifAttributeLine("cn", name);
    out += LdifAttributeLine("lDAPDisplayName", name);
    out += LdifAttributeLine("adminDisplayName", name);
    out += LdifAttributeLine("governsID", def.oid);
    out += LdifAttributeLine("subClassOf", def.sups.empty()
                                               ? std::string("top")
                                               : AdReference(def.sups.front(), classes2, classes1));
    out += std::string("objectClassCategory: ") +
           (kind == "ABSTRACT"    ? "2"
            : kind == "AUXILIARY" ? "3"
                                  : "1") +
           "\n";
    if (const std::string& naming = FirstValue(def, "X-NDS_NAMING"); !naming.empty())
        out += LdifAttributeLine("rDNAttID", AdReference(naming, types2, types1));
    for (const std::string& m : def.must)
        out += LdifAttributeLine("mustContain", AdReference(m, types2, types1));
    for (const std::string& m : def.may)
        out += LdifAttributeLine("mayContain", AdReference(m, types2, types1));
    if (kind == "STRUCTURAL") {
        std::vector<std::string> superiors;
        if (const std::vector<std::string>* containment = Values(def, "X-NDS_CONTAINMENT"))
            for (const std::string& c : *containment)
                if (classes2.find(c) != nullptr || added.count(classes1.find(c)) != 0)
                    superiors.push_back(AdReference(c, classes2, classes1));
        // Without a containment of its own: where AD keeps things of its own making.
        if (superiors.empty()) superiors = {"container", "organizationalUnit"};
        for (const std::string& s : superiors) out += LdifAttributeLine("possSuperiors", s);
    }
    if (!def.element.description.empty())
        out += LdifAttributeLine("description", def.element.description);
    return out;
}

}  // namespace

std::string AdRecords(const ReconcilePlan& plan, const PublishedSchema& tree1,
                      const PublishedSchema& tree2, const std::string& schemaDn) {
    const Lookup types1(tree1.attributeTypes), types2(tree2.attributeTypes);
    const Lookup classes1(tree1.objectClasses), classes2(tree2.objectClasses);
    const SyntaxChains chains(types1, types2), chains1(types1, types1);
    std::string out;
    std::set<const PublishedDefinition*> added;
    for (const PlannedAddition& a : plan.additions)
        if (a.kind == DefinitionKind::ObjectClass) added.insert(a.definition);
    bool types = false, classes = false;
    for (const PlannedAddition& a : plan.additions) {
        if (a.kind != DefinitionKind::AttributeType) continue;
        out += AttributeRecord(*a.definition, types1, chains, chains1, schemaDn);
        types = true;
    }
    // The classes that follow name these attribute types: AD must know them first.
    if (types) out += kUpdateNow;
    for (const PlannedAddition& a : plan.additions) {
        if (a.kind != DefinitionKind::ObjectClass) continue;
        out += ClassRecord(*a.definition, classes1, classes2, types1, types2, added, schemaDn);
        classes = true;
    }
    if (classes) out += kUpdateNow;
    if (plan.changes.empty()) return out;
    for (const PlannedChange& c : plan.changes) {
        const std::string name = AdName(*c.tree2);
        out += "\n";
        out += LdifComment("Differs: " +
                           std::string(c.kind == DefinitionKind::AttributeType ? "attribute type '"
                                                                               : "object class '") +
                           c.tree1->shown +
                           "'. The DN names its schema object by its lDAPDisplayName, as the "
                           "objects this program adds are named; AD's own are named otherwise");
        out += LdifAttributeLine("dn", DnFor(name, schemaDn));
        out += "changetype: modify\n";
        if (c.descriptionChanged) {
            out += "replace: description\n";
            if (!c.tree1->element.description.empty())
                out += LdifAttributeLine("description", c.tree1->element.description);
            out += "-\n";
        }
        if (!c.mayAdded.empty()) {
            out += "add: mayContain\n";
            for (const std::string& m : c.mayAdded)
                out += LdifAttributeLine("mayContain", AdReference(m, types2, types1));
            out += "-\n";
        }
    }
    out += kUpdateNow;
    return out;
}

}  // namespace reconcile
