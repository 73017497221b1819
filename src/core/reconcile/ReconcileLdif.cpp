// The fix-up document: a header of comments, the refusals as comments, then one record in
// the dialect asked for.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>

#include "core/ControlChars.h"
#include "core/model/LdapElement.h"
#include "core/model/PublishedText.h"
#include "core/reconcile/Reconcile.h"
#include "core/reconcile/ReconcileDetail.h"

namespace {

constexpr std::size_t kLdifWidth = 76;
constexpr std::size_t kSchemaNameLength = 64;

const char* KindText(DefinitionKind kind) {
    return kind == DefinitionKind::AttributeType ? "attribute type" : "object class";
}

std::string Base64(const std::string& bytes) {
    static const char* const digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = bytes.size() - i;
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned b1 = n > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        const unsigned b2 = n > 2 ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        const unsigned v = (b0 << 16) | (b1 << 8) | b2;
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += n > 1 ? digits[(v >> 6) & 63] : '=';
        out += n > 2 ? digits[v & 63] : '=';
    }
    return out;
}

// RFC 2849's SAFE-STRING, and no trailing blank (readers may drop it).
bool SafeString(const std::string& value) {
    if (value.empty()) return true;
    const char first = value.front();
    if (first == ' ' || first == ':' || first == '<' || value.back() == ' ') return false;
    for (char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0 || u == '\n' || u == '\r' || u > 0x7F) return false;
    }
    return true;
}

// Comments are never folded (a folded comment would swallow the next line's blank), and
// line breaks or other control bytes of a hostile name must not end them.
std::string Comment(const std::string& text) { return "# " + EscapeControlChars(text) + "\n"; }

// A number and the noun it counts, in the plural unless it is one.
std::string Counted(std::size_t n, const std::string& noun) {
    const std::string plural = noun.ends_with("s") ? noun + "es" : noun + "s";
    return std::to_string(n) + " " + (n == 1 ? noun : plural);
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// An apostrophe between two characters other than blanks, which the lenient reading takes
// as an ordinary one ("Bob's").
bool Inner(const std::string& text, std::size_t i) {
    return i > 0 && i + 1 < text.size() && !Blank(text[i - 1]) && !Blank(text[i + 1]);
}

bool StartsEscape(const std::string& text, std::size_t slash) {
    return text.compare(slash + 1, 2, "27") == 0 || text.compare(slash + 1, 2, "5C") == 0 ||
           text.compare(slash + 1, 2, "5c") == 0;
}

// The text with each quoted string escaped, read as strictly (a string ends at the next
// apostrophe) or leniently (at the next one that is not inner). Every quote gets a blank
// on its outer side, so that no apostrophe left is inner and any reader reads it strictly.
// Empty when the reading does not end its strings, or takes an apostrophe into a bare word.
std::string EscapedStrings(const std::string& text, bool lenient) {
    std::string out;
    out.reserve(text.size() + 8);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!quoted) {
            if (c == '\'') {
                if (lenient && Inner(text, i)) return {};
                if (!out.empty() && !Blank(out.back())) out += ' ';
                quoted = true;
            }
            out += c;
        } else if (c == '\'' && lenient && Inner(text, i)) {
            out += "\\27";
        } else if (c == '\'') {
            quoted = false;
            out += c;
            if (i + 1 < text.size() && !Blank(text[i + 1])) out += ' ';
        } else if (c == '\\' && !StartsEscape(text, i)) {
            out += "\\5C";
        } else {
            out += c;
        }
    }
    return quoted ? std::string() : out;
}

bool SameReading(const LdapElement& a, const LdapElement& b) {
    if (CanonicalForm(a) != CanonicalForm(b) || a.extensions.size() != b.extensions.size())
        return false;
    for (std::size_t i = 0; i < a.extensions.size(); ++i)
        if (a.extensions[i].name != b.extensions[i].name ||
            a.extensions[i].values != b.extensions[i].values)
            return false;
    return true;
}

// Tree #1's text as the document writes it; the planner refused any it cannot escape.
std::string Text(DefinitionKind kind, const PublishedDefinition& def) {
    return reconcile::WrittenText(kind, def).value_or(def.text);
}

std::string DefinitionName(DefinitionKind kind, const PublishedDefinition& def) {
    return std::string(KindText(kind)) + " '" + def.shown + "'";
}

std::string TreeLine(int number, const std::string& name, const PublishedSchema& schema) {
    std::string line = "Tree #" + std::to_string(number) + ": " + name;
    if (!schema.origin.empty()) line += " (" + schema.origin + ")";
    return line;
}

std::string ScopeText(ReconcileScope scope) {
    switch (scope) {
        case ReconcileScope::AttributeTypes:
            return "the attribute types";
        case ReconcileScope::ObjectClasses:
            return "the object classes (and the attribute types they need)";
        case ReconcileScope::Everything:
            break;
    }
    return "the attribute types and object classes";
}

std::string DialectLine(const ReconcileOptions& options, const std::string& dn) {
    switch (options.dialect) {
        case LdifDialect::Rfc4512:
            return "Dialect rfc4512: a modify of Tree #2's subschema entry " + dn +
                   "; apply with ldapmodify";
        case LdifDialect::OpenLdap:
            return "Dialect openldap: a new schema entry " + dn +
                   "; apply with ldapmodify to the server's cn=config";
        case LdifDialect::Ad:
            break;
    }
    std::string line = "Dialect ad: attributeSchema and classSchema objects under " + dn +
                       "; apply with ldapmodify bound as a schema administrator, or ldifde -i -f";
    return line + (options.forestPlaceholder && options.schemaDn.empty()
                       ? " FILE -c DC=X <the forest's DN>"
                       : " FILE");
}

std::string Header(const ReconcilePlan& plan, const PublishedSchema& tree1,
                   const PublishedSchema& tree2, const ReconcileOptions& options,
                   const LdifHeader& header, const std::string& dn) {
    std::string out;
    out += Comment("Schema fix-up: " + ScopeText(options.scope) +
                   " that Tree #1 has and Tree #2 lacks");
    out += Comment(TreeLine(1, header.tree1Name, tree1));
    out += Comment(TreeLine(2, header.tree2Name, tree2));
    out += Comment("Written by " + header.program + " at " + header.time);
    if (!dn.empty()) out += Comment(DialectLine(options, dn));
    if (options.dialect == LdifDialect::OpenLdap && !dn.empty())
        out += Comment(
            "A server configured by slapd.conf keeps it only until it restarts: for one, write "
            "the definitions as a .schema file to include (kalvix-cli reconcile --format schema)");
    if (options.dialect == LdifDialect::Rfc4512 && PreferredDialect(tree2) == LdifDialect::OpenLdap)
        out += Comment(
            "Tree #2 is an OpenLDAP server: it takes schema changes only through cn=config "
            "(the openldap dialect)");
    if (tree2.activeDirectory && options.dialect != LdifDialect::Ad)
        out += Comment(
            "Tree #2 is an Active Directory server: it refuses schema changes made this way "
            "and takes attributeSchema and classSchema objects instead (the ad dialect)");
    std::size_t attributes = 0;
    for (const PlannedAddition& a : plan.additions)
        if (a.kind == DefinitionKind::AttributeType) ++attributes;
    std::string counts = Counted(attributes, "attribute type") + " and " +
                         Counted(plan.additions.size() - attributes, "object class") + " to add";
    if (options.includeChanged)
        counts += ", " + std::to_string(plan.changes.size()) +
                  (options.dialect == LdifDialect::Ad ? " to modify" : " to replace");
    if (!plan.refused.empty()) counts += ", " + Counted(plan.refused.size(), "refused definition");
    out += Comment(counts);
    if (plan.nothingToDo()) out += Comment("Nothing to add: Tree #2 lacks nothing of Tree #1");
    return out;
}

std::string Refusals(const ReconcilePlan& plan) {
    std::string out;
    for (const RefusedDefinition& r : plan.refused) {
        out += "\n";
        out += Comment(std::string(r.change ? "Not replaced: " : "Not added: ") +
                       DefinitionName(r.kind, *r.definition) + ": " + r.reason);
        out += Comment("  " + r.definition->text);
    }
    return out;
}

const char* Rfc4512Type(DefinitionKind kind) {
    return kind == DefinitionKind::AttributeType ? "attributeTypes" : "objectClasses";
}

std::string Rfc4512Record(const ReconcilePlan& plan, const std::string& dn) {
    std::string out = "\n";
    out += LdifAttributeLine("dn", dn);
    out += "changetype: modify\n";
    // One modification a definition: a modify's changes apply in the order listed.
    for (const PlannedAddition& a : plan.additions) {
        const char* type = Rfc4512Type(a.kind);
        out += std::string("add: ") + type + "\n" +
               LdifAttributeLine(type, Text(a.kind, *a.definition)) + "-\n";
    }
    for (const PlannedChange& c : plan.changes) {
        const char* type = Rfc4512Type(c.kind);
        out +=
            std::string("delete: ") + type + "\n" + LdifAttributeLine(type, c.tree2->text) + "-\n";
        out += std::string("add: ") + type + "\n" +
               LdifAttributeLine(type, Text(c.kind, *c.tree1)) + "-\n";
    }
    return out;
}

std::string OpenLdapRecord(const ReconcilePlan& plan, const std::string& dn,
                           const std::string& name) {
    std::string out;
    for (const PlannedChange& c : plan.changes) {
        out += "\n";
        out += Comment(
            "Differs: " + DefinitionName(c.kind, *c.tree1) +
            ". Replace it in the entry under cn=schema,cn=config that defines it on "
            "Tree #2 (its " +
            (c.kind == DefinitionKind::AttributeType ? "olcAttributeTypes" : "olcObjectClasses") +
            " value), or in the schema file that entry was made from:");
        out += Comment("  Tree #2: " + c.tree2->text);
        out += Comment("  Tree #1: " + Text(c.kind, *c.tree1));
    }
    if (plan.additions.empty()) return out;
    out += '\n';
    out += LdifAttributeLine("dn", dn);
    out += "changetype: add\nobjectClass: olcSchemaConfig\n";
    out += LdifAttributeLine("cn", name);
    for (const PlannedAddition& a : plan.additions)
        out += LdifAttributeLine(
            a.kind == DefinitionKind::AttributeType ? "olcAttributeTypes" : "olcObjectClasses",
            Text(a.kind, *a.definition));
    return out;
}

}  // namespace

namespace reconcile {

std::string LdifComment(const std::string& text) { return Comment(text); }

namespace {

// SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' as Active Directory and some schema files write it:
// 389 Directory Server refuses the quotes, and no server needs them.
std::string UnquotedSyntax(std::string text) {
    constexpr std::string_view kKey = " SYNTAX '";
    for (std::size_t at = text.find(kKey); at != std::string::npos; at = text.find(kKey, at + 1)) {
        const std::size_t open = at + kKey.size() - 1;
        const std::size_t close = text.find('\'', open + 1);
        if (close == std::string::npos || close == open + 1) break;
        const std::string_view oid(text.data() + open + 1, close - open - 1);
        if (oid.find_first_not_of("0123456789.{}") != std::string_view::npos) continue;
        text.erase(close, 1);
        text.erase(open, 1);
    }
    return text;
}

std::optional<std::string> EscapedText(DefinitionKind kind, const PublishedDefinition& def) {
    const std::string& text = def.text;
    bool plain = text.find('\\') == std::string::npos;
    for (std::size_t i = 0; plain && i < text.size(); ++i)
        if (text[i] == '\'' && Inner(text, i)) plain = false;
    // Both readings agree and nothing needs escaping: the text as published.
    if (plain) return text;
    const ElementType type = kind == DefinitionKind::AttributeType ? ElementType::AttributeType
                                                                   : ElementType::ObjectClass;
    const ElementParse published = ParseLdapElement(type, text);
    if (!published.element) return std::nullopt;
    for (bool lenient : {false, true}) {
        std::string escaped = EscapedStrings(text, lenient);
        if (escaped.empty()) continue;
        const ElementParse back = ParseLdapElement(type, escaped);
        if (back.element && SameReading(*back.element, *published.element)) return escaped;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> WrittenText(DefinitionKind kind, const PublishedDefinition& def) {
    std::optional<std::string> text = EscapedText(kind, def);
    if (text && text->find(" SYNTAX '") != std::string::npos) return UnquotedSyntax(*text);
    return text;
}

std::string LdifBinaryLine(const std::string& attribute, const std::string& bytes) {
    return attribute + ":: " + Base64(bytes) + "\n";
}

}  // namespace reconcile

std::string LdifAttributeLine(const std::string& attribute, const std::string& value) {
    const bool safe = SafeString(value);
    if (value.empty()) return attribute + ":\n";
    const std::string line = attribute + (safe ? ": " : ":: ") + (safe ? value : Base64(value));
    // Folded where no line ends in a blank, which editors tend to strip.
    std::string out;
    for (std::size_t at = 0, width = kLdifWidth; at < line.size();) {
        std::size_t take = std::min(width, line.size() - at);
        std::size_t shorter = take;
        while (shorter > 1 && at + shorter < line.size() && line[at + shorter - 1] == ' ')
            --shorter;
        if (line[at + shorter - 1] != ' ') take = shorter;
        if (at != 0) out += ' ';
        out.append(line, at, take);
        out += '\n';
        at += take;
        width = kLdifWidth - 1;
    }
    return out.empty() ? line + "\n" : out;
}

std::string EscapeDnValue(const std::string& value) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const auto u = static_cast<unsigned char>(c);
        const bool edge = (i == 0 && (c == ' ' || c == '#')) || (i + 1 == value.size() && c == ' ');
        if (u < 0x20 || u == 0x7F) {
            out += '\\';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else if (edge || c == '"' || c == '+' || c == ',' || c == ';' || c == '<' || c == '>' ||
                   c == '\\' || c == '=') {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

LdifDialect PreferredDialect(const PublishedSchema& tree2) {
    if (tree2.activeDirectory) return LdifDialect::Ad;
    for (const PublishedDefinition& def : tree2.objectClasses)
        for (const std::string& name : def.names)
            if (name == "olcSchemaConfig") return LdifDialect::OpenLdap;
    return LdifDialect::Rfc4512;
}

std::string DefaultSchemaName(const std::string& treeName) {
    std::string name = "kalvix-";
    for (char c : treeName) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        name += plain ? c : '-';
        if (name.size() == kSchemaNameLength) break;
    }
    return name;
}

std::string WriteReconcileLdif(const ReconcilePlan& plan, const PublishedSchema& tree1,
                               const PublishedSchema& tree2, const ReconcileOptions& options,
                               const LdifHeader& header) {
    const bool openldap = options.dialect == LdifDialect::OpenLdap;
    const bool ad = options.dialect == LdifDialect::Ad;
    const std::string dn = openldap
                               ? "cn=" + EscapeDnValue(header.schemaName) + ",cn=schema,cn=config"
                           : ad                        ? AdSchemaDn(options, tree2)
                           : tree2.subschemaDn.empty() ? std::string("cn=schema")
                                                       : tree2.subschemaDn;
    std::string out = Header(plan, tree1, tree2, options, header, dn);
    if (ad && dn.empty())
        out += Comment(
            "Tree #2 names no schema naming context: give the schema's DN (or use the forest "
            "placeholder) to write the objects");
    out += Refusals(plan);
    if (ad) {
        if (!dn.empty()) out += reconcile::AdRecords(plan, tree1, tree2, dn);
    } else if (openldap)
        out += OpenLdapRecord(plan, dn, header.schemaName);
    else if (!plan.additions.empty() || !plan.changes.empty())
        out += Rfc4512Record(plan, dn);
    return out;
}

std::string WriteReconcileSchemaFile(const ReconcilePlan& plan, const PublishedSchema& tree1,
                                     const PublishedSchema& tree2, const ReconcileOptions& options,
                                     const LdifHeader& header) {
    std::string out = Header(plan, tree1, tree2, options, header, {});
    out += Comment("An OpenLDAP schema file: include it in slapd.conf and restart the server");
    out += Refusals(plan);
    for (const PlannedChange& c : plan.changes) {
        out += "\n";
        out += Comment("Differs: " + DefinitionName(c.kind, *c.tree1) +
                       ". Replace it in the schema file that defines it on Tree #2:");
        out += Comment("  Tree #2: " + c.tree2->text);
        out += Comment("  Tree #1: " + Text(c.kind, *c.tree1));
    }
    if (!plan.additions.empty()) out += "\n";
    // What a left-out definition's dependents name: they are left out too, each saying why.
    const reconcile::Lookup types1(tree1.attributeTypes), types2(tree2.attributeTypes);
    const reconcile::Lookup classes1(tree1.objectClasses), classes2(tree2.objectClasses);
    std::unordered_set<const PublishedDefinition*> leftOut;
    const auto unwritten = [&](const std::string& token, const reconcile::Lookup& own1,
                               const reconcile::Lookup& own2) {
        const PublishedDefinition* d = own2.find(token) ? nullptr : own1.find(token);
        return d != nullptr && leftOut.count(d) != 0;
    };
    // Each addition follows what it needs, so one pass reaches every dependent.
    for (const PlannedAddition& a : plan.additions) {
        const PublishedDefinition& def = *a.definition;
        const bool type = a.kind == DefinitionKind::AttributeType;
        const std::string text = Text(a.kind, def);
        std::string why;
        if (std::any_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
            // slapd would read a line break inside it as the end of the definition.
            why = "its text holds a control character";
        for (const std::string& sup : def.sups)
            if (why.empty() && unwritten(sup, type ? types1 : classes1, type ? types2 : classes2))
                why = std::string(type ? "its super type '" : "its super class '") + sup +
                      "' is not written either";
        for (const auto* list : {&def.must, &def.may})
            for (const std::string& attr : *list)
                if (why.empty() && !type && unwritten(attr, types1, types2))
                    why = "the attribute type '" + attr + "' is not written either";
        if (!why.empty()) {
            leftOut.insert(&def);
            out += Comment("Not written: " + DefinitionName(a.kind, def) + ": " + why);
            continue;
        }
        out += (type ? "attributetype " : "objectclass ") + text + "\n";
    }
    return out;
}