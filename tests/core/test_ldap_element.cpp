// One schema element read from its text: real definitions of every server style with
// every field, agreement with libldap on every fixture definition (and the few places the
// reader chooses otherwise), and malformed or hostile texts refused saying where.
#include <gtest/gtest.h>
#include <ldap.h>
#include <ldap_schema.h>

#include <QByteArray>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "core/model/LdapElement.h"
#include "core/model/PublishedText.h"
#include "sources/LdapSchema.h"
#include "sources/SchemaFileTree.h"

// libldap keeps a few bytes of some definitions it fails to parse; its leak, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:ber_memalloc_x\n"; }

namespace {

using T = ElementType;

std::string Joined(const std::vector<std::string>& items, bool quoted = false) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + std::string(quoted ? "'" : "") + items[i] + (quoted ? "'" : "");
    return out + "]";
}

// Every field but the type and the text, in one line.
std::string Fields(const LdapElement& e) {
    std::string out;
    const auto add = [&out](const std::string& field) { out += (out.empty() ? "" : " ") + field; };
    const auto value = [&add](const char* key, const std::string& v) {
        if (!v.empty()) add(key + ("=" + v));
    };
    const auto list = [&add](const char* key, const std::vector<std::string>& v) {
        if (!v.empty()) add(key + ("=" + Joined(v)));
    };
    value("oid", e.oid);
    list("names", e.names);
    if (!e.description.empty()) add("desc='" + e.description + "'");
    if (e.obsolete) add("obsolete");
    list("sup", e.sup);
    value("equality", e.equality);
    value("ordering", e.ordering);
    value("substr", e.substr);
    if (!e.syntax.empty() || !e.syntaxLength.empty())
        add("syntax=" + e.syntax + (e.syntaxLength.empty() ? "" : "{" + e.syntaxLength + "}"));
    if (e.singleValue) add("single-value");
    if (e.collective) add("collective");
    if (e.noUserModification) add("no-user-modification");
    value("usage", e.usage);
    value("kind", e.kind);
    list("must", e.must);
    list("may", e.may);
    list("aux", e.aux);
    list("not", e.nots);
    list("applies", e.applies);
    value("form", e.form);
    value("oc", e.structuralClass);
    for (const LdapExtension& x : e.extensions) add(x.name + "=" + Joined(x.values, true));
    return out;
}

std::string Outcome(const ElementParse& p) {
    return p.element ? Fields(*p.element) : "error: " + p.error;
}

// What both readers mean the same by, written alike: libldap fills in STRUCTURAL and
// userApplications, and has no bound 0.
LdapElement Comparable(LdapElement e) {
    e.text.clear();
    if (e.type == T::ObjectClass && e.kind.empty()) e.kind = "STRUCTURAL";
    std::transform(e.usage.begin(), e.usage.end(), e.usage.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (e.usage == "userapplications") e.usage.clear();
    if (e.syntaxLength == "0") e.syntaxLength.clear();
    return e;
}

// ---- libldap, read as the LDAP client reads it ----

std::string Str(const char* s) { return s ? UnescapeSchemaText(s) : std::string(); }
std::string Oid(const char* s) { return s ? std::string(s) : std::string(); }

std::vector<std::string> Strs(char** list) {
    std::vector<std::string> out;
    for (; list && *list; ++list) out.push_back(UnescapeSchemaText(*list));
    return out;
}
std::vector<std::string> Oids(char** list) {
    std::vector<std::string> out;
    for (; list && *list; ++list) out.emplace_back(*list);
    return out;
}

std::vector<LdapExtension> Extensions(LDAPSchemaExtensionItem** items) {
    std::vector<LdapExtension> out;
    for (; items && *items; ++items)
        out.push_back({(*items)->lsei_name, Strs((*items)->lsei_values)});
    return out;
}

LdapElement From(const LDAPAttributeType& a) {
    LdapElement e;
    e.type = T::AttributeType;
    e.oid = Oid(a.at_oid);
    e.names = Strs(a.at_names);
    e.description = Str(a.at_desc);
    e.obsolete = a.at_obsolete != 0;
    if (a.at_sup_oid) e.sup.emplace_back(a.at_sup_oid);
    e.equality = Oid(a.at_equality_oid);
    e.ordering = Oid(a.at_ordering_oid);
    e.substr = Oid(a.at_substr_oid);
    e.syntax = Oid(a.at_syntax_oid);
    if (a.at_syntax_len != 0) e.syntaxLength = std::to_string(a.at_syntax_len);
    e.singleValue = a.at_single_value != 0;
    e.collective = a.at_collective != 0;
    e.noUserModification = a.at_no_user_mod != 0;
    static const char* const kUsages[] = {"", "directoryoperation", "distributedoperation",
                                          "dsaoperation"};
    e.usage = kUsages[a.at_usage & 3];
    e.extensions = Extensions(a.at_extensions);
    return e;
}

LdapElement From(const LDAPObjectClass& c) {
    LdapElement e;
    e.type = T::ObjectClass;
    e.oid = Oid(c.oc_oid);
    e.names = Strs(c.oc_names);
    e.description = Str(c.oc_desc);
    e.obsolete = c.oc_obsolete != 0;
    e.sup = Oids(c.oc_sup_oids);
    static const char* const kKinds[] = {"ABSTRACT", "STRUCTURAL", "AUXILIARY", "?"};
    e.kind = kKinds[c.oc_kind & 3];
    e.must = Oids(c.oc_at_oids_must);
    e.may = Oids(c.oc_at_oids_may);
    e.extensions = Extensions(c.oc_extensions);
    return e;
}

LdapElement From(const LDAPSyntax& s) {
    LdapElement e;
    e.type = T::LdapSyntax;
    e.oid = Oid(s.syn_oid);
    e.names = Strs(s.syn_names);
    e.description = Str(s.syn_desc);
    e.extensions = Extensions(s.syn_extensions);
    return e;
}

LdapElement From(const LDAPMatchingRule& m) {
    LdapElement e;
    e.type = T::MatchingRule;
    e.oid = Oid(m.mr_oid);
    e.names = Strs(m.mr_names);
    e.description = Str(m.mr_desc);
    e.obsolete = m.mr_obsolete != 0;
    e.syntax = Oid(m.mr_syntax_oid);
    e.extensions = Extensions(m.mr_extensions);
    return e;
}

LdapElement From(const LDAPMatchingRuleUse& m) {
    LdapElement e;
    e.type = T::MatchingRuleUse;
    e.oid = Oid(m.mru_oid);
    e.names = Strs(m.mru_names);
    e.description = Str(m.mru_desc);
    e.obsolete = m.mru_obsolete != 0;
    e.applies = Oids(m.mru_applies_oids);
    e.extensions = Extensions(m.mru_extensions);
    return e;
}

LdapElement From(const LDAPContentRule& r) {
    LdapElement e;
    e.type = T::DitContentRule;
    e.oid = Oid(r.cr_oid);
    e.names = Strs(r.cr_names);
    e.description = Str(r.cr_desc);
    e.obsolete = r.cr_obsolete != 0;
    e.aux = Oids(r.cr_oc_oids_aux);
    e.must = Oids(r.cr_at_oids_must);
    e.may = Oids(r.cr_at_oids_may);
    e.nots = Oids(r.cr_at_oids_not);
    e.extensions = Extensions(r.cr_extensions);
    return e;
}

LdapElement From(const LDAPStructureRule& r) {
    LdapElement e;
    e.type = T::DitStructureRule;
    e.oid = std::to_string(r.sr_ruleid);
    e.names = Strs(r.sr_names);
    e.description = Str(r.sr_desc);
    e.obsolete = r.sr_obsolete != 0;
    e.form = Oid(r.sr_nameform);
    for (int i = 0; i < r.sr_nsup_ruleids; ++i)
        e.sup.push_back(std::to_string(r.sr_sup_ruleids[i]));
    e.extensions = Extensions(r.sr_extensions);
    return e;
}

LdapElement From(const LDAPNameForm& f) {
    LdapElement e;
    e.type = T::NameForm;
    e.oid = Oid(f.nf_oid);
    e.names = Strs(f.nf_names);
    e.description = Str(f.nf_desc);
    e.obsolete = f.nf_obsolete != 0;
    e.structuralClass = Oid(f.nf_objectclass);
    e.must = Oids(f.nf_at_oids_must);
    e.may = Oids(f.nf_at_oids_may);
    e.extensions = Extensions(f.nf_extensions);
    return e;
}

struct LibldapRead {
    std::optional<LdapElement> element;
    bool retried = false;  // read only with the inner apostrophes escaped
};

// With LDAP_SCHEMA_ALLOW_ALL, NULs behind the end, and a second try with inner
// apostrophes escaped, as the LDAP client reads definitions.
template <typename R>
LibldapRead ReadWith(const std::string& text,
                     R* (*parse)(const char*, int*, const char**, unsigned), void (*release)(R*)) {
    const auto attempt = [&](const std::string& t) -> std::optional<LdapElement> {
        const std::string padded = t + std::string(16, '\0');
        int code = 0;
        const char* where = nullptr;
        const std::unique_ptr<R, void (*)(R*)> r(
            parse(padded.c_str(), &code, &where, LDAP_SCHEMA_ALLOW_ALL), release);
        if (!r) return std::nullopt;
        return From(*r);
    };
    LibldapRead out;
    if (text.find('\0') != std::string::npos) return out;
    out.element = attempt(text);
    if (!out.element) {
        out.element = attempt(EscapeInnerApostrophes(text));
        out.retried = out.element.has_value();
    }
    return out;
}

LibldapRead Libldap(T type, const std::string& text) {
    switch (type) {
        case T::AttributeType:
            return ReadWith(text, ldap_str2attributetype, ldap_attributetype_free);
        case T::ObjectClass:
            return ReadWith(text, ldap_str2objectclass, ldap_objectclass_free);
        case T::LdapSyntax:
            return ReadWith(text, ldap_str2syntax, ldap_syntax_free);
        case T::MatchingRule:
            return ReadWith(text, ldap_str2matchingrule, ldap_matchingrule_free);
        case T::MatchingRuleUse:
            return ReadWith(text, ldap_str2matchingruleuse, ldap_matchingruleuse_free);
        case T::DitContentRule:
            return ReadWith(text, ldap_str2contentrule, ldap_contentrule_free);
        case T::DitStructureRule:
            return ReadWith(text, ldap_str2structurerule, ldap_structurerule_free);
        case T::NameForm:
            return ReadWith(text, ldap_str2nameform, ldap_nameform_free);
    }
    return {};
}

std::string LibldapOutcome(T type, const std::string& text) {
    const LibldapRead r = Libldap(type, text);
    return r.element ? Fields(Comparable(*r.element)) : "refuses";
}

// ---- the definitions in the fixture files ----

struct Definition {
    T type;
    std::string text;
    std::string source;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Values of the subschema attributes (and their cn=config "olc" forms) in an LDIF text:
// folded lines joined, base64 decoded, cn=config's "{n}" order prefixes dropped.
void ReadLdif(const std::string& text, const std::string& source, std::vector<Definition>& out) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == ' ' && !lines.empty())
            lines.back() += line.substr(1);
        else if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    }
    for (const std::string& line : lines) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string attribute = line.substr(0, colon);
        attribute = attribute.substr(0, attribute.find(';'));
        if (attribute.size() > 3 && (attribute.rfind("olc", 0) == 0)) attribute.erase(0, 3);
        const std::optional<T> type = ElementTypeOf(attribute);
        if (!type) continue;
        const bool base64 = line.compare(colon, 2, "::") == 0;
        std::string value = line.substr(colon + (base64 ? 2 : 1));
        value.erase(0, value.find_first_not_of(' '));
        if (base64) value = QByteArray::fromBase64(QByteArray::fromStdString(value)).toStdString();
        if (value.size() > 1 && value[0] == '{') value.erase(0, value.find('}') + 1);
        out.push_back({*type, value, source});
    }
}

void ReadSchemaFile(const std::string& text, const std::string& source,
                    std::vector<Definition>& out) {
    SchemaDefinitions d;
    std::vector<SkippedDefinition> skipped;
    ParseSchemaFileText(text, d, skipped);
    for (const std::string& t : d.attributeTypes) out.push_back({T::AttributeType, t, source});
    for (const std::string& t : d.objectClasses) out.push_back({T::ObjectClass, t, source});
    for (const std::string& t : d.ldapSyntaxes) out.push_back({T::LdapSyntax, t, source});
}

void ReadFolder(const std::string& folder, std::vector<Definition>& out) {
    if (!std::filesystem::is_directory(folder)) return;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        if (file.extension() == ".ldif")
            ReadLdif(ReadFile(file), file.string(), out);
        else if (file.extension() == ".schema")
            ReadSchemaFile(ReadFile(file), file.string(), out);
    }
}

// ---- the same definition written otherwise ----

bool Delimiter(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '(' || c == ')' || c == '$' || c == '\'';
}

// Every word outside quoted strings in lower case, but the X- ones (libldap wants X-).
std::string Lowered(const std::string& text) {
    std::string out = text;
    bool quoted = false;
    bool keep = false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\'') quoted = !quoted;
        if (quoted || Delimiter(out[i])) continue;
        if (i == 0 || Delimiter(out[i - 1])) keep = out.compare(i, 2, "X-") == 0;
        if (!keep) out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[i])));
    }
    return out;
}

// Blanks beside a parenthesis, a dollar or a quote dropped: "NAME'cn'DESC'x'MUST(a$b)".
std::string Squeezed(const std::string& text) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!quoted && c == ' ') {
            std::size_t end = i;
            while (end < text.size() && text[end] == ' ') ++end;
            const auto sticky = [](char x) {
                return x == '(' || x == ')' || x == '$' || x == '\'';
            };
            if ((!out.empty() && sticky(out.back())) || (end < text.size() && sticky(text[end]))) {
                i = end - 1;
                continue;
            }
        }
        if (c == '\'') quoted = !quoted;
        out += c;
    }
    return out;
}

// Every blank outside quoted strings as a line break and a tab, as schema files wrap.
std::string Spread(const std::string& text) {
    std::string out;
    bool quoted = false;
    for (char c : text) {
        if (c == '\'') quoted = !quoted;
        out += !quoted && c == ' ' ? std::string("\n\t") : std::string(1, c);
    }
    return out;
}

std::string WithoutLastParenthesis(const std::string& text) {
    std::string out = text.substr(0, text.find_last_not_of(" \t\n") + 1);
    if (!out.empty() && out.back() == ')') out.pop_back();
    return out;
}

std::string WithBogusKeyword(const std::string& text) {
    std::string out = text;
    return out.insert(out.rfind(')'), " BOGUS");
}

// ---- real definitions, as servers and schema files publish them ----

struct Case {
    T type;
    const char* text;
    const char* fields;
};

const Case kPublished[] = {
    // OpenLDAP .schema files (tests/data/ldap/custom.schema, nds.schema).
    {T::AttributeType,
     "( 1.3.6.1.1.1.1.3 NAME 'homeDirectory'\n\tDESC 'The home directory, as a site once defined "
     "it'\n\tEQUALITY caseIgnoreMatch\n\tSYNTAX 1.3.6.1.4.1.1466.115.121.1.15{256} )",
     "oid=1.3.6.1.1.1.1.3 names=[homeDirectory] desc='The home directory, as a site once defined "
     "it' equality=caseIgnoreMatch syntax=1.3.6.1.4.1.1466.115.121.1.15{256}"},
    {T::ObjectClass,
     "( 2.16.840.1.113719.1.1.6.1.52 NAME 'ndsUser' SUP ( inetOrgPerson $ ndsLoginProperties ) "
     "STRUCTURAL MUST cn MAY ( ndsPasswordManagement $ ndsTypedName $ ndsLoginTime ) X-NDS_NAME "
     "'User' X-NDS_NOT_CONTAINER '1' X-NDS_NONREMOVABLE '1' X-NDS_CONTAINMENT ( 'organization' "
     "'organizationalUnit' 'ndsContainer' ) X-NDS_NAMING ( 'cn' 'uid' ) )",
     "oid=2.16.840.1.113719.1.1.6.1.52 names=[ndsUser] sup=[inetOrgPerson,ndsLoginProperties] "
     "kind=STRUCTURAL must=[cn] may=[ndsPasswordManagement,ndsTypedName,ndsLoginTime] "
     "X-NDS_NAME=['User'] X-NDS_NOT_CONTAINER=['1'] X-NDS_NONREMOVABLE=['1'] "
     "X-NDS_CONTAINMENT=['organization','organizationalUnit','ndsContainer'] "
     "X-NDS_NAMING=['cn','uid']"},
    {T::LdapSyntax,
     "( 1.3.6.1.4.1.99999.3.1 DESC 'Object ACL' X-NDS_SYNTAX '17' X-SUBST "
     "'1.3.6.1.4.1.1466.115.121.1.15' )",
     "oid=1.3.6.1.4.1.99999.3.1 desc='Object ACL' X-NDS_SYNTAX=['17'] "
     "X-SUBST=['1.3.6.1.4.1.1466.115.121.1.15']"},
    // cn=config with an OID macro, which the caller expands.
    {T::AttributeType,
     "( Acme:1 NAME 'acmeId' EQUALITY integerMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 "
     "SINGLE-VALUE )",
     "oid=Acme:1 names=[acmeId] equality=integerMatch syntax=1.3.6.1.4.1.1466.115.121.1.27 "
     "single-value"},
    {T::AttributeType,
     "( OLcfgGlAt:13 NAME 'olcDatabase' DESC 'The backend type for a database instance' SUP "
     "olcBackend SINGLE-VALUE X-ORDERED 'SIBLINGS' )",
     "oid=OLcfgGlAt:13 names=[olcDatabase] desc='The backend type for a database instance' "
     "sup=[olcBackend] single-value X-ORDERED=['SIBLINGS']"},
    {T::AttributeType, "( 1.1 SYNTAX OMsDirectoryString{64} )",
     "oid=1.1 syntax=OMsDirectoryString{64}"},
    // slapd's cn=Subschema (tests/data/ldap/openldap-subschema.ldif).
    {T::AttributeType,
     "( 2.5.18.1 NAME 'createTimestamp' DESC 'RFC4512: time which object was created' EQUALITY "
     "generalizedTimeMatch ORDERING generalizedTimeOrderingMatch SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.24 SINGLE-VALUE NO-USER-MODIFICATION USAGE directoryOperation )",
     "oid=2.5.18.1 names=[createTimestamp] desc='RFC4512: time which object was created' "
     "equality=generalizedTimeMatch ordering=generalizedTimeOrderingMatch "
     "syntax=1.3.6.1.4.1.1466.115.121.1.24 single-value no-user-modification "
     "usage=directoryOperation"},
    {T::AttributeType, "( 2.5.4.7.1 NAME 'c-l' SUP l COLLECTIVE )",
     "oid=2.5.4.7.1 names=[c-l] sup=[l] collective"},
    {T::LdapSyntax, "( 1.3.6.1.4.1.1466.115.121.1.5 DESC 'Binary' X-NOT-HUMAN-READABLE 'TRUE' )",
     "oid=1.3.6.1.4.1.1466.115.121.1.5 desc='Binary' X-NOT-HUMAN-READABLE=['TRUE']"},
    {T::MatchingRule, "( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
     "oid=2.5.13.2 names=[caseIgnoreMatch] syntax=1.3.6.1.4.1.1466.115.121.1.15"},
    {T::MatchingRuleUse,
     "( 2.5.13.11 NAME 'caseIgnoreListMatch' APPLIES ( postalAddress $ registeredAddress $ "
     "homePostalAddress ) )",
     "oid=2.5.13.11 names=[caseIgnoreListMatch] "
     "applies=[postalAddress,registeredAddress,homePostalAddress]"},
    {T::ObjectClass,
     "( 2.5.6.7 NAME 'organizationalPerson' DESC 'RFC2256: an organizational person' SUP person "
     "STRUCTURAL MAY ( title $ x121Address ) )",
     "oid=2.5.6.7 names=[organizationalPerson] desc='RFC2256: an organizational person' "
     "sup=[person] kind=STRUCTURAL may=[title,x121Address]"},
    {T::ObjectClass, "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
     "oid=2.5.6.0 names=[top] kind=ABSTRACT must=[objectClass]"},
    {T::ObjectClass,
     "( 1.3.6.1.4.1.4203.1.4.1 NAME ( 'OpenLDAProotDSE' 'LDAProotDSE' ) "
     "DESC 'OpenLDAP Root DSE object' SUP top STRUCTURAL MAY cn )",
     "oid=1.3.6.1.4.1.4203.1.4.1 names=[OpenLDAProotDSE,LDAProotDSE] desc='OpenLDAP Root DSE "
     "object' sup=[top] kind=STRUCTURAL may=[cn]"},
    // 389 Directory Server: schema files, and what it publishes for a changed definition.
    {T::AttributeType,
     "( 2.16.840.1.113730.3.1.55 NAME 'aci'  DESC 'Netscape defined access control information "
     "attribute type'  SYNTAX 1.3.6.1.4.1.1466.115.121.1.15  USAGE directoryOperation  X-ORIGIN "
     "'Netscape Directory Server' )",
     "oid=2.16.840.1.113730.3.1.55 names=[aci] desc='Netscape defined access control information "
     "attribute type' syntax=1.3.6.1.4.1.1466.115.121.1.15 usage=directoryOperation "
     "X-ORIGIN=['Netscape Directory Server']"},
    {T::ObjectClass,
     "( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST ( sn $ cn ) MAY ( userPassword $ "
     "telephoneNumber $ seeAlso $ description ) X-ORIGIN ( 'RFC 4519' 'user defined' ) )",
     "oid=2.5.6.6 names=[person] sup=[top] kind=STRUCTURAL must=[sn,cn] "
     "may=[userPassword,telephoneNumber,seeAlso,description] X-ORIGIN=['RFC 4519','user "
     "defined']"},
    {T::AttributeType,
     "( 1.3.6.1.4.1.99999.17.1.2 NAME 'kxB' DESC 'Zwischenstufe \xC3\xBC' SUP kxA )",
     "oid=1.3.6.1.4.1.99999.17.1.2 names=[kxB] desc='Zwischenstufe \xC3\xBC' sup=[kxA]"},
    // Active Directory: quoted syntaxes, lists without inner blanks, content rules.
    {T::AttributeType,
     "( 1.2.840.113556.1.4.221 NAME 'sAMAccountName' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' "
     "SINGLE-VALUE )",
     "oid=1.2.840.113556.1.4.221 names=[sAMAccountName] syntax=1.3.6.1.4.1.1466.115.121.1.15 "
     "single-value"},
    {T::ObjectClass,
     "( 1.2.840.113556.1.5.9 NAME 'user' SUP organizationalPerson STRUCTURAL MUST (objectClass ) "
     "MAY (o $businessCategory$ userCertificate ) )",
     "oid=1.2.840.113556.1.5.9 names=[user] sup=[organizationalPerson] kind=STRUCTURAL "
     "must=[objectClass] may=[o,businessCategory,userCertificate]"},
    {T::DitContentRule,
     "( 1.2.840.113556.1.5.9 NAME 'user' AUX ( mailRecipient $ posixAccount ) MUST (objectSid ) "
     "MAY (uid $ uidNumber ) NOT ( x121Address ) )",
     "oid=1.2.840.113556.1.5.9 names=[user] must=[objectSid] may=[uid,uidNumber] "
     "aux=[mailRecipient,posixAccount] not=[x121Address]"},
    // NetIQ eDirectory.
    {T::AttributeType,
     "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} X-NDS_NAME "
     "'CN' X-NDS_LOWER_BOUND '1' X-NDS_UPPER_BOUND '64' )",
     "oid=2.5.4.3 names=[cn,commonName] syntax=1.3.6.1.4.1.1466.115.121.1.15{64} "
     "X-NDS_NAME=['CN'] X-NDS_LOWER_BOUND=['1'] X-NDS_UPPER_BOUND=['64']"},
    {T::ObjectClass, "( 1.4 NAME 'printer' X-NDS_NAME 'Bob's Printer' )",
     "oid=1.4 names=[printer] X-NDS_NAME=['Bob's Printer']"},
    // RFC 4512's other element types.
    {T::NameForm,
     "( 1.3.6.1.4.1.99999.5.1 NAME 'personNameForm' OC person MUST cn MAY ( uid $ mail ) )",
     "oid=1.3.6.1.4.1.99999.5.1 names=[personNameForm] must=[cn] may=[uid,mail] oc=person"},
    {T::DitStructureRule,
     "( 2 NAME 'personRule' DESC 'people below units' FORM personNameForm "
     "SUP ( 1 4 ) OBSOLETE )",
     "oid=2 names=[personRule] desc='people below units' obsolete sup=[1,4] form=personNameForm"},
    {T::MatchingRule,
     "( 1.3.6.1.4.1.99999.6.1 NAME 'oldMatch' DESC 'gone' OBSOLETE SYNTAX "
     "1.3.6.1.4.1.1466.115.121.1.15 X-ORIGIN 'site' )",
     "oid=1.3.6.1.4.1.99999.6.1 names=[oldMatch] desc='gone' obsolete "
     "syntax=1.3.6.1.4.1.1466.115.121.1.15 X-ORIGIN=['site']"},
    // What careless writers publish: no blanks, keywords in any case, escapes, no OID.
    {T::AttributeType, "(1.1 name 'a'DESC'it\\27s \\5C here'Syntax 1.2{0032}single-value)",
     "oid=1.1 names=[a] desc='it's \\ here' syntax=1.2{32} single-value"},
    {T::ObjectClass, "( 2.5.6.6NAME 'person'SUP'top'MUST(cn$sn) )",
     "oid=2.5.6.6 names=[person] sup=[top] must=[cn,sn]"},
    {T::ObjectClass, "( NAME 'noOid' AUXILIARY MAY ( a$b ) )",
     "names=[noOid] kind=AUXILIARY may=[a,b]"},
    {T::ObjectClass, "( 1.2 NAME ( ) SUP ( ) MUST ( ) X-EMPTY ( ) )", "oid=1.2 X-EMPTY=[]"},
};

TEST(LdapElement, PublishedDefinitionsReadWithEveryField) {
    for (const Case& c : kPublished) {
        SCOPED_TRACE(c.text);
        const ElementParse p = ParseLdapElement(c.type, c.text);
        ASSERT_TRUE(p.element) << p.error;
        EXPECT_EQ(Fields(*p.element), c.fields);
        EXPECT_EQ(p.element->type, c.type);
        EXPECT_EQ(p.element->text,
                  PublishedOneLine(c.text, [](const std::string& s) { return s; }));
    }
    for (int i = 0; i < kElementTypes; ++i) {
        const auto type = static_cast<T>(i);
        std::string upper(ElementAttribute(type));
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        EXPECT_EQ(ElementTypeOf(upper), type) << upper;
    }
    EXPECT_EQ(ElementAttribute(T::DitStructureRule), "dITStructureRules");
    EXPECT_EQ(ElementTypeOf("attributeType"), std::nullopt);
    EXPECT_EQ(ElementTypeOf("objectClass"), std::nullopt);
}

// Every definition in the repository's LDIF and .schema fixtures (and in the server
// packages' own schema files where installed), as written and written otherwise: what
// libldap takes we take with the same fields, what it refuses we refuse.
TEST(LdapElement, AgreesWithLibldapOnEveryFixtureDefinition) {
    std::vector<Definition> corpus;
    ReadFolder(std::string(KALVIX_TEST_DATA) + "/ldap", corpus);
    ReadFolder(std::string(KALVIX_SOURCE_DIR) + "/tests/fuzz/corpus/schema_readers", corpus);
    std::map<T, int> fromRepository;
    for (const Definition& d : corpus) ++fromRepository[d.type];
    EXPECT_GE(fromRepository[T::AttributeType], 330);
    EXPECT_GE(fromRepository[T::ObjectClass], 100);
    EXPECT_GE(fromRepository[T::LdapSyntax], 35);
    EXPECT_GE(fromRepository[T::MatchingRule], 35);
    EXPECT_GE(fromRepository[T::MatchingRuleUse], 30);
    ReadFolder("/etc/ldap/schema", corpus);
    ReadFolder("/usr/share/dirsrv/schema", corpus);
    // libldap reads no structure rule that names its superiors, as RFC 4512 lets it.
    for (const Case& c : kPublished)
        if (c.type != T::DitStructureRule) corpus.push_back({c.type, c.text, "published"});

    std::vector<std::string> faults;
    const auto fault = [&faults](const Definition& d, const std::string& what) {
        faults.push_back(d.source + ": " + d.text + "\n    " + what);
    };
    // Both read it alike, or both refuse it.
    const auto agree = [&](const Definition& d) -> std::optional<LdapElement> {
        const ElementParse ours = ParseLdapElement(d.type, d.text);
        const LibldapRead theirs = Libldap(d.type, d.text);
        if (ours.element.has_value() != theirs.element.has_value()) {
            fault(d, "libldap " + std::string(theirs.element ? "reads" : "refuses") +
                         " it, ours: " + Outcome(ours));
            return std::nullopt;
        }
        if (!ours.element) {
            if (ours.error.empty()) fault(d, "refused without a reason");
            return std::nullopt;
        }
        const std::string mine = Fields(Comparable(*ours.element));
        const std::string libldap = Fields(Comparable(*theirs.element));
        if (mine != libldap) fault(d, "ours:    " + mine + "\n    libldap: " + libldap);
        if (ours.element->text != PublishedOneLine(d.text, [](const std::string& s) { return s; }))
            fault(d, "text " + ours.element->text);
        if (theirs.retried) return std::nullopt;  // respelled, its apostrophes would mislead
        return ours.element;
    };
    const auto refused = [&](const Definition& d, const std::string& start,
                             const std::string& end) {
        const ElementParse ours = ParseLdapElement(d.type, d.text);
        if (Libldap(d.type, d.text).element) fault(d, "libldap reads it");
        if (ours.element || ours.error.rfind(start, 0) != 0 || ours.error.size() < end.size() ||
            ours.error.compare(ours.error.size() - end.size(), end.size(), end) != 0)
            fault(d, "expected \"" + start + "...\", ours: " + Outcome(ours));
    };

    std::size_t read = 0;
    for (const Definition& d : corpus) {
        const std::optional<LdapElement> original = agree(d);
        if (!original) continue;
        ++read;
        agree({d.type, Lowered(d.text), d.source + " in lower case"});
        // Without blanks or on many lines it means the same; on many lines, its one line is
        // the same too.
        const Definition squeezed{d.type, Squeezed(d.text), d.source + " without blanks"};
        if (const std::optional<LdapElement> e = agree(squeezed);
            e && Fields(*e) != Fields(*original))
            fault(squeezed, "reads otherwise than as first written: " + Fields(*e));
        const Definition spread{d.type, Spread(d.text), d.source + " on many lines"};
        if (const std::optional<LdapElement> e = agree(spread);
            e && (Fields(*e) != Fields(*original) || e->text != original->text))
            fault(spread, "reads otherwise than as first written: " + e->text);
        refused({d.type, WithoutLastParenthesis(d.text), d.source + " cut"},
                "missing closing parenthesis after \"", "\"");
        refused({d.type, WithBogusKeyword(d.text), d.source + " with BOGUS"},
                "unexpected token after \"", " BOGUS\"");
        if (const std::size_t quote = d.text.find('\''); quote != std::string::npos)
            refused({d.type, d.text.substr(0, quote + 1) + "x", d.source + " quote open"},
                    "unterminated quoted string after \"", "'x\"");
    }
    EXPECT_GE(read, 500u);
    for (std::size_t i = 0; i < faults.size() && i < 20; ++i) ADD_FAILURE() << faults[i];
    EXPECT_EQ(faults.size(), 0u) << "of " << corpus.size() << " definitions";
}

// Where the reader and libldap part, each by choice. The libldap column keeps the list
// honest: should libldap change, the row says so.
TEST(LdapElement, DiffersFromLibldapOnlyWhereChosen) {
    struct Choice {
        T type;
        std::string text;
        std::string ours;
        std::string libldap;
    };
    const Choice kChoices[] = {
        // A bare word where a quoted string belongs, unless it is a keyword.
        {T::AttributeType, "( 1.1 NAME cn DESC plain )", "oid=1.1 names=[cn] desc='plain'",
         "refuses"},
        {T::AttributeType, "( 1.1 NAME ( cn commonName ) )", "oid=1.1 names=[cn,commonName]",
         "refuses"},
        {T::ObjectClass, "( 1.3 NAME 'unquoted' X-NDS_NOT_CONTAINER 1 )",
         "oid=1.3 names=[unquoted] X-NDS_NOT_CONTAINER=['1']", "refuses"},
        // A quoted OID wherever an OID belongs, not only in a class's SUP.
        {T::AttributeType, "( 1.1 SUP 'name' EQUALITY 'caseIgnoreMatch' )",
         "oid=1.1 sup=[name] equality=caseIgnoreMatch", "refuses"},
        {T::ObjectClass, "( 1.1 MUST 'cn' MAY ( 'sn' $ 'ou' ) )", "oid=1.1 must=[cn] may=[sn,ou]",
         "refuses"},
        {T::AttributeType, "( '1.1' NAME 'a' )", "oid=1.1 names=[a]", "names=[a]"},
        // Extensions and keywords in any case; blanks before the parenthesis; CR LF.
        {T::AttributeType, "( 1.1 x-origin 'site' )", "oid=1.1 x-origin=['site']", "refuses"},
        {T::AttributeType, " \t( 1.1 NAME 'a' )", "oid=1.1 names=[a]", "refuses"},
        {T::AttributeType, "( 1.1 NAME 'a'\r\n SINGLE-VALUE )", "oid=1.1 names=[a] single-value",
         "refuses"},
        // A repeated keyword: the first counts, where libldap would lose the definition.
        {T::AttributeType, "( 1.1 NAME 'a' SINGLE-VALUE NAME 'b' SINGLE-VALUE )",
         "oid=1.1 names=[a] single-value", "refuses"},
        {T::ObjectClass, "( 1.1 ABSTRACT STRUCTURAL MAY a MAY b )", "oid=1.1 kind=ABSTRACT may=[a]",
         "refuses"},
        // A descriptor or OID macro wherever an OID belongs, kept as written.
        {T::LdapSyntax, "( OMsDirectoryString DESC 'macro' )",
         "oid=OMsDirectoryString desc='macro'", "refuses"},
        {T::NameForm, "( NF:1 OC person MUST cn )", "oid=NF:1 must=[cn] oc=person", "refuses"},
        {T::MatchingRule, "( 2.5.13.0 SYNTAX OMsOID )", "oid=2.5.13.0 syntax=OMsOID", "refuses"},
        {T::MatchingRule, "( MR:1 NAME 'm' SYNTAX 1.2 )", "oid=MR:1 names=[m] syntax=1.2",
         "names=[m] syntax=1.2"},
        {T::AttributeType, "( 1.2. NAME 'a' )", "oid=1.2. names=[a]", "refuses"},
        {T::MatchingRuleUse, "( 2.5.13.. APPLIES cn )", "oid=2.5.13.. applies=[cn]",
         "applies=[cn]"},
        {T::AttributeType, "( 1.1 SYNTAX 1.2.x )", "oid=1.1 syntax=1.2.x", "oid=1.1 syntax=x"},
        // RFC 4512 lets a structure rule name its superior rules; an empty list is a list.
        {T::DitStructureRule, "( 2 FORM f SUP ( 1 3 ) )", "oid=2 sup=[1,3] form=f", "refuses"},
        {T::DitContentRule, "( 1.1 AUX ( ) )", "oid=1.1", "refuses"},
        // What libldap makes of nonsense: no OID, a syntax from what follows a bad bound.
        {T::ObjectClass, "( $ NAME 'x' )", "error: expecting an OID after \"( $\"",
         "names=[x] kind=STRUCTURAL"},
        {T::AttributeType, "( 1.1 SYNTAX 1.2{2,000} )",
         "error: expecting a length after \"( 1.1 SYNTAX 1.2{2\"", "oid=1.1 syntax=,000}{2}"},
        // Names with control characters: no name of a directory holds one.
        {T::AttributeType, "( 1.1 NAME 'a\tb' )",
         "error: a name holds the control character U+0009", "oid=1.1 names=[a\tb]"},
        {T::ObjectClass, "( 1.1 NAME ( 'ok' 'x\xC2\x85' ) )",
         "error: a name holds the control character U+0085",
         "oid=1.1 names=[ok,x\xC2\x85] kind=STRUCTURAL"},
    };
    for (const Choice& c : kChoices) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Outcome(ParseLdapElement(c.type, c.text)), c.ours);
        EXPECT_EQ(LibldapOutcome(c.type, c.text), c.libldap);
    }
}

TEST(LdapElement, MalformedTextsRefusedSayingWhere) {
    const std::string x60(60, 'x');
    std::string umlauts;
    for (int i = 0; i < 20; ++i) umlauts += "\xC3\xBC";
    const Case kMalformed[] = {
        {T::AttributeType, "", "missing opening parenthesis at the start"},
        {T::AttributeType, "1.1 NAME 'a' )", "missing opening parenthesis at the start"},
        {T::AttributeType, "( 1.1 NAME 'cn' BOGUS )",
         "unexpected token after \"( 1.1 NAME 'cn' BOGUS\""},
        {T::AttributeType, "( 1.1 NAME 'cn'\n\n  ",
         "missing closing parenthesis after \"( 1.1 NAME 'cn'\""},
        {T::AttributeType, "( 1.1 DESC 'open )",
         "unterminated quoted string after \"( 1.1 DESC 'open )\""},
        {T::AttributeType, "( 1.1 NAME )", "expecting a name after \"( 1.1 NAME )\""},
        {T::AttributeType, "( 1.1 NAME SUP x )", "expecting a name after \"( 1.1 NAME SUP\""},
        {T::AttributeType, "( 1.1 NAME ( 'a' $ 'b' ) )",
         "expecting a name after \"( 1.1 NAME ( 'a' $\""},
        {T::AttributeType, "( 1.1 DESC ( 'a' ) )",
         "expecting a quoted string after \"( 1.1 DESC (\""},
        {T::AttributeType, "( 1.1 X-FOO )", "expecting a value after \"( 1.1 X-FOO )\""},
        {T::AttributeType, "( 1.1 SYNTAX 1.2{12 )",
         "expecting a length after \"( 1.1 SYNTAX 1.2{12\""},
        {T::AttributeType, "( 1.1 SYNTAX '1.2{x}' )",
         "expecting a length after \"( 1.1 SYNTAX '1.2{x}'\""},
        {T::AttributeType, "( 1.1 SYNTAX 1.2 {12} )",
         "unexpected token after \"( 1.1 SYNTAX 1.2 {\""},
        {T::AttributeType, "( 1.1 SYNTAX )", "expecting an OID after \"( 1.1 SYNTAX )\""},
        {T::AttributeType, "( 1.1 USAGE everybody )",
         "unexpected token after \"( 1.1 USAGE everybody\""},
        {T::AttributeType, "( 1.2.3x NAME 'a' )", "unexpected token after \"( 1.2.3x\""},
        {T::AttributeType, "( )", "expecting an OID after \"( )\""},
        {T::ObjectClass, "( 1.1 MUST ( a b ) )", "expecting a dollar after \"( 1.1 MUST ( a b\""},
        {T::ObjectClass, "( 1.1 MUST ( a $ ) )", "expecting an OID after \"( 1.1 MUST ( a $ )\""},
        {T::ObjectClass, "( 1.1 MAY ( a $ b",
         "missing closing parenthesis after \"( 1.1 MAY ( a $ b\""},
        {T::ObjectClass, "( 1.1 STRUCTURAL SINGLE-VALUE )",
         "unexpected token after \"( 1.1 STRUCTURAL SINGLE-VALUE\""},
        {T::MatchingRule, "( 2.5.13.0 NAME 'm' )",
         "missing required field SYNTAX after \"( 2.5.13.0 NAME 'm' )\""},
        {T::MatchingRuleUse, "( 2.5.13.0 )",
         "missing required field APPLIES after \"( 2.5.13.0 )\""},
        {T::NameForm, "( 1.1 OC person )",
         "missing required field MUST after \"( 1.1 OC person )\""},
        {T::DitStructureRule, "( r1 FORM f )", "expecting a rule number after \"( r1\""},
        {T::DitStructureRule, "( 1 FORM f SUP ( 2 x ) )",
         "expecting a rule number after \"( 1 FORM f SUP ( 2 x\""},
        {T::LdapSyntax, "( 1.1 OBSOLETE )", "unexpected token after \"( 1.1 OBSOLETE\""},
        {T::AttributeType, "( 1.1 DESC 'a\x01' BOGUS\x7F )",
         "unexpected token after \"( 1.1 DESC 'a?' BOGUS?\""},
        {T::AttributeType, "( 1.1 NAME 'a\x1F' )", "a name holds the control character U+001F"},
        {T::AttributeType, "( 1.1 NAME a\x7F )", "a name holds the control character U+007F"},
    };
    for (const Case& c : kMalformed) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Outcome(ParseLdapElement(c.type, c.text)), std::string("error: ") + c.fields);
    }
    EXPECT_EQ(
        ParseLdapElement(T::ObjectClass, std::string("( 1.1 NAME 'cut' )\0 MUST x )", 27)).error,
        "it holds a NUL byte");
    // The last 40 bytes before the stop, not starting inside a UTF-8 character.
    EXPECT_EQ(ParseLdapElement(T::AttributeType, "( 1.1 DESC '" + x60 + "' BOGUS )").error,
              "unexpected token after \"..." + std::string(33, 'x') + "' BOGUS\"");
    EXPECT_EQ(ParseLdapElement(T::AttributeType, "( 1.1 DESC '" + umlauts + "' X )").error,
              "unexpected token after \"..." + umlauts.substr(4) + "' X\"");
}

TEST(LdapElement, HostileTextsReadInOnePassWithoutRecursion) {
    const std::string deep(10000, '(');
    EXPECT_EQ(ParseLdapElement(T::ObjectClass, deep).error, "expecting an OID after \"((\"");
    EXPECT_EQ(ParseLdapElement(T::ObjectClass, "( 1.1 NAME " + deep).error,
              "expecting a name after \"( 1.1 NAME ((\"");
    EXPECT_EQ(ParseLdapElement(T::ObjectClass, "( 1.1 MUST " + deep + "a" + std::string(10000, ')'))
                  .error,
              "expecting an OID after \"( 1.1 MUST ((\"");

    // 100 MB in one value: unterminated (read twice, the second time for inner
    // apostrophes), then terminated.
    std::string big = "( 1.1 NAME 'a' X-BIG '";
    big.append(100u << 20, 'x');
    EXPECT_EQ(ParseLdapElement(T::AttributeType, big).error,
              "unterminated quoted string after \"..." + std::string(40, 'x') + "\"");
    big += "' )";
    ElementParse p = ParseLdapElement(T::AttributeType, big);
    ASSERT_TRUE(p.element) << p.error;
    ASSERT_EQ(p.element->extensions.size(), 1u);
    EXPECT_EQ(p.element->extensions[0].values.at(0).size(), 100u << 20);
    big.clear();
    big.shrink_to_fit();

    // A million list items; a million apostrophes inside a string that never ends; 100 MB of
    // blanks after the opening parenthesis.
    std::string many = "( 1.1 MAY ( a";
    for (int i = 0; i < 1000000; ++i) many += " $ a";
    p = ParseLdapElement(T::ObjectClass, many + " ) )");
    ASSERT_TRUE(p.element) << p.error;
    EXPECT_EQ(p.element->may.size(), 1000001u);
    std::string quotes = "( 1.1 DESC 'a";
    for (int i = 0; i < 1000000; ++i) quotes += "'b";
    EXPECT_EQ(ParseLdapElement(T::ObjectClass, quotes).error,
              "unexpected token after \"( 1.1 DESC 'a'b\"");
    EXPECT_EQ(ParseLdapElement(T::ObjectClass, "(" + std::string(100u << 20, ' ')).error,
              "missing closing parenthesis after \"(\"");
}

}  // namespace
