#include "LdapSchema.h"

#include <ldap.h>
#include <ldap_schema.h>
#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "ControlChars.h"
#include "D_NW.h"
#include "D_Util.h"
#include "PublishedText.h"

namespace {

constexpr unsigned kParseFlags = LDAP_SCHEMA_ALLOW_ALL;
constexpr const char* kStandardSyntaxPrefix = "1.3.6.1.4.1.1466.115.121.1.";
constexpr const char* kNdsSyntaxPrefix = "2.16.840.1.113719.1.1.5.1.";
constexpr const char* kAdSyntaxPrefix = "1.2.840.113556.1.4.";
constexpr std::size_t kMaxArcDigits = 80;      // more cannot fit the 32 bytes anyway
constexpr std::size_t kShownDefinition = 160;  // of a skipped definition, in messages
constexpr std::size_t kListedSkipped = 20;     // skipped definitions named in one message
constexpr const char* kSkippedMarker = "\x01skipped definitions";

// Class flags and attribute flags as the client's records carry them.
constexpr std::uint32_t kClassContainer = 0x01;
constexpr std::uint32_t kClassEffective = 0x02;
constexpr std::uint32_t kClassNonRemovable = 0x04;
constexpr std::uint32_t kClassAuxiliary = 0x20;
constexpr std::uint32_t kAttrSingleValued = 0x001;
constexpr std::uint32_t kAttrSized = 0x002;
constexpr std::uint32_t kAttrNonRemovable = 0x004;
constexpr std::uint32_t kAttrReadOnly = 0x008;
constexpr std::uint32_t kAttrHidden = 0x010;
constexpr std::uint32_t kAttrSyncImmediate = 0x040;
constexpr std::uint32_t kAttrPublicRead = 0x080;
constexpr std::uint32_t kAttrServerRead = 0x100;
constexpr std::uint32_t kAttrWriteManaged = 0x200;
constexpr std::uint32_t kAttrPerReplica = 0x400;
constexpr std::uint32_t kAttrSyncNever = 0x800;

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits separated by single dots: 1.2.840.
bool IsNumericOid(const std::string& oid) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = oid.find('.', start);
        const std::string_view arc = std::string_view(oid).substr(
            start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!AllDigits(arc)) return false;
        if (dot == std::string::npos) return true;
        start = dot + 1;
    }
}

bool ParseWord(const std::string& text, std::uint32_t& value) {
    const std::string t = TrimBlanks(text);
    if (!AllDigits(t)) return false;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    return ec == std::errc() && end == t.data() + t.size();
}

// A 64-bit number of which the low 32 bits are kept; 0 when the text is no number.
std::int32_t Bound(const std::string& text) {
    const std::string t = TrimBlanks(text);
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size()) {
        std::uint64_t unsignedValue = 0;
        auto [end2, ec2] = std::from_chars(t.data(), t.data() + t.size(), unsignedValue);
        if (ec2 != std::errc() || end2 != t.data() + t.size()) return 0;
        value = static_cast<std::int64_t>(unsignedValue);
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFF));
}

// Extensions of one definition by upper-cased name; the first of a repeated name counts.
using Extensions = std::map<std::string, std::vector<std::string>>;

Extensions ReadExtensions(LDAPSchemaExtensionItem** items) {
    Extensions out;
    for (; items != nullptr && *items != nullptr; ++items) {
        const LDAPSchemaExtensionItem* item = *items;
        if (item->lsei_name == nullptr) continue;
        auto [it, added] = out.try_emplace(AsciiUpper(item->lsei_name));
        if (!added) continue;
        for (char** v = item->lsei_values; v != nullptr && *v != nullptr; ++v)
            it->second.push_back(UnescapeSchemaText(*v));
    }
    return out;
}

bool HasNdsExtension(const Extensions& ext) {
    return std::any_of(ext.begin(), ext.end(),
                       [](const auto& e) { return e.first.rfind("X-NDS_", 0) == 0; });
}

const std::vector<std::string>* Extension(const Extensions& ext, const char* name) {
    const auto it = ext.find(name);
    return it == ext.end() ? nullptr : &it->second;
}

// Present, and not '0' or 'FALSE'.
bool FlagSet(const Extensions& ext, const char* name) {
    const std::vector<std::string>* values = Extension(ext, name);
    if (values == nullptr) return false;
    if (values->empty()) return true;
    const std::string first = AsciiLower(TrimBlanks(values->front()));
    return first != "0" && first != "false";
}

std::string FirstValue(const Extensions& ext, const char* name) {
    const std::vector<std::string>* values = Extension(ext, name);
    return values == nullptr || values->empty() ? std::string() : values->front();
}

std::vector<std::string> Strings(char** list) {
    std::vector<std::string> out;
    for (; list != nullptr && *list != nullptr; ++list) out.push_back(UnescapeSchemaText(*list));
    return out;
}

std::string Text(const char* s) { return s == nullptr ? std::string() : std::string(s); }

template <typename T>
using Parsed = std::unique_ptr<T, void (*)(T*)>;

// Parses with libldap; a value with an apostrophe inside a quoted string is tried again
// with that apostrophe escaped. The pointer decides, not the code: some failures give 0.
// libldap's parser can look a few bytes past the end of a malformed text: it gets a copy
// with NULs behind the end, so what it finds there ends the text.
std::string Padded(const std::string& text) {
    std::string padded = text;
    padded.append(16, '\0');
    return padded;
}

template <typename T>
Parsed<T> Parse(const std::string& text, T* (*parse)(const char*, int*, const char**, unsigned),
                void (*release)(T*), std::string& reason) {
    if (text.find('\0') != std::string::npos) {
        reason = "it holds a NUL byte";
        return Parsed<T>(nullptr, release);
    }
    int code = 0;
    const char* where = nullptr;
    const std::string padded = Padded(text);
    T* result = parse(padded.c_str(), &code, &where, kParseFlags);
    if (result == nullptr) {
        std::size_t offset = text.size();
        if (where != nullptr && where >= padded.c_str() && where <= padded.c_str() + text.size())
            offset = static_cast<std::size_t>(where - padded.c_str());
        const std::string escaped = EscapeInnerApostrophes(text);
        if (escaped != text) {
            int retryCode = 0;
            const char* retryWhere = nullptr;
            result = parse(Padded(escaped).c_str(), &retryCode, &retryWhere, kParseFlags);
        }
        if (result == nullptr) {
            // libldap stops just after the token it could not take.
            reason = code != 0 ? Text(ldap_scherr2str(code)) : std::string("cannot be parsed");
            const std::size_t from = offset > 40 ? offset - 40 : 0;
            const std::string before = TrimBlanks(text.substr(from, offset - from));
            reason += before.empty()
                          ? std::string(" at the start")
                          : " after \"" + std::string(from > 0 ? "..." : "") + before + "\"";
        }
    }
    return Parsed<T>(result, release);
}

// Schema files name OIDs through macros: "OLcfgAt:1" with "objectIdentifier OLcfgAt ...".
class OidMacros {
  public:
    explicit OidMacros(const std::vector<std::pair<std::string, std::string>>& macros) {
        for (const auto& [name, value] : macros)
            macros_[AsciiLower(TrimBlanks(name))] = TrimBlanks(value);
    }
    std::string expand(const std::string& oid, int depth = 0) const {
        if (oid.empty() || macros_.empty() || IsNumericOid(oid) || depth > 16) return oid;
        const std::size_t colon = oid.find(':');
        const auto it = macros_.find(AsciiLower(oid.substr(0, colon)));
        if (it == macros_.end()) return oid;
        const std::string base = expand(it->second, depth + 1);
        return colon == std::string::npos ? base : base + "." + oid.substr(colon + 1);
    }

  private:
    std::unordered_map<std::string, std::string> macros_;
};

struct ClassDef {
    std::string oid;
    std::vector<std::string> names;
    std::vector<std::string> sups, must, may;
    int kind = LDAP_SCHEMA_STRUCTURAL;
    Extensions ext;
    std::string text;
    std::string shown;    // the name the tree gives it
    std::string ndsName;  // X-NDS_NAME, or empty
};

struct AttrDef {
    std::string oid;
    std::vector<std::string> names;
    std::string sup;
    std::string syntax;
    std::uint32_t syntaxLength = 0;  // {len}; 0 when none
    bool singleValue = false;
    bool noUserModification = false;
    Extensions ext;
    std::string text;
    std::string shown;
    std::string ndsName;
};

std::string ShownName(const std::string& ndsName, const std::vector<std::string>& names,
                      const std::string& oid) {
    if (!ndsName.empty()) return ndsName;
    if (!names.empty() && !names.front().empty()) return names.front();
    return oid;
}

// A name with a control character would reach terminals, lists and reports as a command or
// a line break.
template <typename Def>
bool NameHoldsControlChar(const Def& def) {
    return HoldsControlChar(def.shown) || HoldsControlChar(def.ndsName) ||
           std::any_of(def.names.begin(), def.names.end(),
                       [](const std::string& name) { return HoldsControlChar(name); });
}
constexpr const char* kControlCharInName = "a name holds a control character";

// Lower-cased names and OIDs to the definition that carries them; the first one wins.
template <typename Def>
std::unordered_map<std::string, std::size_t> Index(const std::vector<Def>& defs) {
    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        for (const std::string& name : defs[i].names) index.try_emplace(AsciiLower(name), i);
        if (!defs[i].oid.empty()) index.try_emplace(AsciiLower(defs[i].oid), i);
        index.try_emplace(AsciiLower(defs[i].shown), i);
    }
    return index;
}

// A name as the referring definition writes it, unless the server names the target with
// X-NDS_NAME.
template <typename Def>
std::vector<std::string> Shown(const std::vector<std::string>& refs,
                               const std::unordered_map<std::string, std::size_t>& index,
                               const std::vector<Def>& defs) {
    std::vector<std::string> out;
    out.reserve(refs.size());
    for (const std::string& ref : refs) {
        const auto it = index.find(AsciiLower(ref));
        out.push_back(it != index.end() && !defs[it->second].ndsName.empty()
                          ? defs[it->second].ndsName
                          : ref);
    }
    return out;
}

// Keeps the first definition of each name shown; the others are skipped.
template <typename Def>
void DropRepeatedNames(std::vector<Def>& defs, const char* kind,
                       std::vector<SkippedDefinition>& skipped) {
    std::unordered_set<std::string> seen;
    std::vector<Def> kept;
    kept.reserve(defs.size());
    for (Def& def : defs) {
        if (seen.insert(AsciiLower(def.shown)).second)
            kept.push_back(std::move(def));
        else
            skipped.push_back({kind, def.text, "a second definition named \"" + def.shown + "\""});
    }
    defs = std::move(kept);
}

// The start of a long name for a message, not ending inside a UTF-8 sequence.
std::string NameExcerpt(const std::string& name) {
    constexpr std::size_t kShown = 40;
    if (name.size() <= kShown) return name;
    std::size_t n = kShown;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    return name.substr(0, n) + "...";
}

// A name longer than the reads take would reach the program cut, and two names alike up
// to the cut would pass for one: such a definition is skipped, and so is a class whose
// lists name something longer than an item read takes.
template <typename Def>
void DropOverlongNames(std::vector<Def>& defs, const char* kind, std::size_t limit,
                       std::vector<SkippedDefinition>& skipped) {
    constexpr std::size_t kItemLimit = kDirNameBufferSize - 1;
    std::erase_if(defs, [&](const Def& def) {
        if (def.shown.size() > limit) {
            skipped.push_back({kind, def.text,
                               "its name \"" + NameExcerpt(def.shown) + "\" has " +
                                   std::to_string(def.shown.size()) + " bytes, more than the " +
                                   std::to_string(limit) + " the reads take"});
            return true;
        }
        if constexpr (std::is_same_v<Def, ClassDef>) {
            std::vector<const std::vector<std::string>*> lists = {&def.sups, &def.must, &def.may};
            for (const char* key : {"X-NDS_CONTAINMENT", "X-NDS_NAMING"})
                if (const std::vector<std::string>* values = Extension(def.ext, key))
                    lists.push_back(values);
            for (const std::vector<std::string>* names : lists)
                for (const std::string& name : *names)
                    if (name.size() > kItemLimit) {
                        skipped.push_back({kind, def.text,
                                           "it names \"" + NameExcerpt(name) + "\" (" +
                                               std::to_string(name.size()) +
                                               " bytes), more than the " +
                                               std::to_string(kItemLimit) + " an item read takes"});
                        return true;
                    }
        }
        return false;
    });
}

// Decimal digits divided down into base-128 groups, most significant first.
std::vector<std::uint8_t> Base128(const std::string& decimal) {
    std::vector<int> digits;
    for (char c : decimal)
        if (!digits.empty() || c != '0') digits.push_back(c - '0');
    std::vector<std::uint8_t> groups;
    while (!digits.empty()) {
        std::vector<int> quotient;
        int remainder = 0;
        for (int d : digits) {
            const int current = remainder * 10 + d;
            if (!quotient.empty() || current / 128 != 0) quotient.push_back(current / 128);
            remainder = current % 128;
        }
        groups.push_back(static_cast<std::uint8_t>(remainder));
        digits = std::move(quotient);
    }
    if (groups.empty()) groups.push_back(0);
    std::reverse(groups.begin(), groups.end());
    return groups;
}

std::string AddToDecimal(const std::string& decimal, int add) {
    std::string out = decimal;
    int carry = add;
    for (std::size_t i = out.size(); i-- > 0 && carry != 0;) {
        const int sum = (out[i] - '0') + carry;
        out[i] = static_cast<char>('0' + sum % 10);
        carry = sum / 10;
    }
    while (carry != 0) {
        out.insert(out.begin(), static_cast<char>('0' + carry % 10));
        carry /= 10;
    }
    return out;
}

std::uint32_t SyntaxId(const std::string& oid,
                       const std::unordered_map<std::string, std::uint32_t>& ndsSyntaxes) {
    if (oid.empty()) return 0;
    const auto tagged = ndsSyntaxes.find(AsciiLower(oid));
    if (tagged != ndsSyntaxes.end()) return tagged->second;
    const std::string prefix = kNdsSyntaxPrefix;
    std::uint32_t id = 0;
    if (oid.rfind(prefix, 0) == 0 && ParseWord(oid.substr(prefix.size()), id)) return id;
    if (const std::uint32_t standard = StandardSyntaxId(oid)) return standard;
    return ActiveDirectorySyntaxId(oid);
}

// A type without SYNTAX takes its supertype's, bound and all: for each type, the nearest
// definition up its SUP chain that has a syntax, else itself. Each type is walked once, so
// long chains cost linear time; a loop or a missing supertype ends a chain.
std::vector<const AttrDef*> SyntaxSources(
    const std::vector<AttrDef>& attrs, const std::unordered_map<std::string, std::size_t>& index) {
    constexpr std::size_t kUnknown = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> source(attrs.size(), kUnknown);
    std::vector<bool> onPath(attrs.size(), false);
    std::vector<std::size_t> path;
    for (std::size_t start = 0; start < attrs.size(); ++start) {
        if (source[start] != kUnknown) continue;
        std::size_t at = start;
        std::size_t found = kUnknown;
        for (;;) {
            if (source[at] != kUnknown) {
                found = source[at];
                break;
            }
            path.push_back(at);
            onPath[at] = true;
            const AttrDef& def = attrs[at];
            if (!def.syntax.empty() || def.sup.empty()) {
                found = at;
                break;
            }
            const auto it = index.find(AsciiLower(def.sup));
            if (it == index.end() || onPath[it->second]) {
                found = at;  // no syntax anywhere on this chain
                break;
            }
            at = it->second;
        }
        for (std::size_t p : path) {
            source[p] = found;
            onPath[p] = false;
        }
        path.clear();
    }
    std::vector<const AttrDef*> out;
    out.reserve(attrs.size());
    for (std::size_t s : source) out.push_back(&attrs[s]);
    return out;
}

std::string Shortened(const std::string& text) {
    std::string flat;
    for (char c : text) flat += IsLineBlank(c) ? ' ' : c;
    flat = TrimBlanks(flat);
    return flat.size() > kShownDefinition ? flat.substr(0, kShownDefinition) + "..." : flat;
}

}  // namespace

std::string UnescapeSchemaText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size()) {
            const std::string hex = AsciiUpper(text.substr(i + 1, 2));
            if (hex == "27" || hex == "5C") {
                out += hex == "27" ? '\'' : '\\';
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string EscapeInnerApostrophes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'' && i > 0 && i + 1 < text.size() && !IsLineBlank(text[i - 1]) &&
            !IsLineBlank(text[i + 1]))
            out += "\\27";
        else
            out += text[i];
    }
    return out;
}

bool OidToAsn1Id(const std::string& oid, Asn1Id& id) {
    id = Asn1Id{};
    if (!IsNumericOid(oid)) return false;
    std::vector<std::string> arcs;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = oid.find('.', start);
        arcs.push_back(
            oid.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    if (arcs.size() < 2) return false;
    for (const std::string& arc : arcs)
        if (arc.size() > kMaxArcDigits) return false;
    const std::string& first = arcs[0];
    const std::string second = arcs[1].substr(
        std::min(arcs[1].find_first_not_of('0'), arcs[1].size() - 1));  // leading zeros off
    if (first.size() != 1 || first[0] > '2') return false;
    if (first[0] < '2' && (second.size() > 2 || std::stoi(second) >= 40)) return false;
    std::vector<std::uint8_t> content;
    auto put = [&content](const std::string& decimal) {
        const std::vector<std::uint8_t> groups = Base128(decimal);
        for (std::size_t i = 0; i < groups.size(); ++i)
            content.push_back(
                static_cast<std::uint8_t>(groups[i] | (i + 1 < groups.size() ? 0x80 : 0)));
    };
    put(AddToDecimal(second, 40 * (first[0] - '0')));
    for (std::size_t i = 2; i < arcs.size(); ++i) put(arcs[i]);
    if (content.size() + 2 > sizeof id.data) return false;
    id.data[0] = 6;
    id.data[1] = static_cast<std::uint8_t>(content.size());
    std::copy(content.begin(), content.end(), id.data + 2);
    id.length = static_cast<std::uint32_t>(content.size() + 2);
    return true;
}

std::uint32_t StandardSyntaxId(const std::string& oid) {
    static const std::unordered_map<std::uint32_t, std::uint32_t> table = [] {
        std::unordered_map<std::uint32_t, std::uint32_t> t;
        auto set = [&t](std::uint32_t id, std::initializer_list<std::uint32_t> syntaxes) {
            for (std::uint32_t n : syntaxes) t[n] = id;
        };
        set(1, {12});
        set(2, {26});
        set(3, {15, 11, 32, 33, 34, 35, 39, 3, 16, 17, 30, 31, 37, 54, 57});
        set(4, {44});
        set(5, {36});
        set(7, {7});
        set(8, {27});
        set(9, {40, 1,  2,  4,  6,  8,  9,  10, 13, 14, 18, 19, 20, 21, 23, 25,
                28, 29, 42, 43, 45, 46, 47, 48, 49, 51, 52, 53, 55, 56, 58});
        set(10, {50});
        set(11, {22});
        set(18, {41});
        set(20, {38});
        set(21, {5});
        set(24, {24});
        return t;
    }();
    const std::string prefix = kStandardSyntaxPrefix;
    std::uint32_t n = 0;
    if (oid.rfind(prefix, 0) != 0 || !ParseWord(oid.substr(prefix.size()), n)) return 0;
    const auto it = table.find(n);
    return it == table.end() ? 0 : it->second;
}

std::uint32_t ActiveDirectorySyntaxId(const std::string& oid) {
    // DN-Binary (903), DN-String (904) and OR-Name (1221) pair a name with data that no
    // syntax id here holds: they stay UNKNOWN.
    static const std::unordered_map<std::uint32_t, std::uint32_t> table = {
        {905, 3},   // String(Teletex): a case-insensitive string
        {906, 8},   // Large Integer: an integer, 64 bits wide like LDAP's unbounded Integer
        {907, 9},   // String(NT-Sec-Desc): a binary security descriptor
        {1362, 2},  // String(Case): a case-sensitive string
    };
    const std::string prefix = kAdSyntaxPrefix;
    std::uint32_t n = 0;
    if (oid.rfind(prefix, 0) != 0 || !ParseWord(oid.substr(prefix.size()), n)) return 0;
    const auto it = table.find(n);
    return it == table.end() ? 0 : it->second;
}

SchemaMapping MapSchema(const SchemaDefinitions& definitions) {
    SchemaMapping out;
    // A NUL would end a name early wherever the macro is used.
    std::vector<std::pair<std::string, std::string>> usableMacros;
    for (const auto& macro : definitions.oidMacros) {
        if (macro.first.find('\0') == std::string::npos &&
            macro.second.find('\0') == std::string::npos)
            usableMacros.push_back(macro);
        else
            out.skipped.push_back(
                {"object identifier", macro.first + " " + macro.second, "it holds a NUL byte"});
    }
    const OidMacros macros(usableMacros);
    std::string reason;

    std::unordered_map<std::string, std::uint32_t> ndsSyntaxes;
    for (const std::string& text : definitions.ldapSyntaxes) {
        const Parsed<LDAPSyntax> syntax =
            Parse<LDAPSyntax>(text, ldap_str2syntax, ldap_syntax_free, reason);
        if (!syntax) {
            out.skipped.push_back({"syntax", text, reason});
            continue;
        }
        const Extensions ext = ReadExtensions(syntax->syn_extensions);
        if (HasNdsExtension(ext)) out.ndsStyle = true;
        std::uint32_t id = 0;
        if (ParseWord(FirstValue(ext, "X-NDS_SYNTAX"), id))
            ndsSyntaxes.try_emplace(AsciiLower(macros.expand(Text(syntax->syn_oid))), id);
    }

    std::vector<AttrDef> attrs;
    for (const std::string& text : definitions.attributeTypes) {
        const Parsed<LDAPAttributeType> at =
            Parse<LDAPAttributeType>(text, ldap_str2attributetype, ldap_attributetype_free, reason);
        if (!at) {
            out.skipped.push_back({"attribute type", text, reason});
            continue;
        }
        AttrDef def;
        def.oid = macros.expand(Text(at->at_oid));
        def.names = Strings(at->at_names);
        def.sup = Text(at->at_sup_oid);
        def.syntax = macros.expand(Text(at->at_syntax_oid));
        def.syntaxLength = static_cast<std::uint32_t>(at->at_syntax_len);
        def.singleValue = at->at_single_value != 0;
        def.noUserModification = at->at_no_user_mod != 0;
        def.ext = ReadExtensions(at->at_extensions);
        def.text = text;
        def.ndsName = FirstValue(def.ext, "X-NDS_NAME");
        def.shown = ShownName(def.ndsName, def.names, def.oid);
        if (def.shown.empty()) {
            out.skipped.push_back({"attribute type", text, "it has neither a name nor an OID"});
            continue;
        }
        if (NameHoldsControlChar(def)) {
            out.skipped.push_back({"attribute type", text, kControlCharInName});
            continue;
        }
        if (HasNdsExtension(def.ext)) out.ndsStyle = true;
        attrs.push_back(std::move(def));
    }

    std::vector<ClassDef> classes;
    for (const std::string& text : definitions.objectClasses) {
        const Parsed<LDAPObjectClass> oc =
            Parse<LDAPObjectClass>(text, ldap_str2objectclass, ldap_objectclass_free, reason);
        if (!oc) {
            out.skipped.push_back({"object class", text, reason});
            continue;
        }
        ClassDef def;
        def.oid = macros.expand(Text(oc->oc_oid));
        def.names = Strings(oc->oc_names);
        def.sups = Strings(oc->oc_sup_oids);
        def.must = Strings(oc->oc_at_oids_must);
        def.may = Strings(oc->oc_at_oids_may);
        def.kind = oc->oc_kind;
        def.ext = ReadExtensions(oc->oc_extensions);
        def.text = text;
        def.ndsName = FirstValue(def.ext, "X-NDS_NAME");
        def.shown = ShownName(def.ndsName, def.names, def.oid);
        if (def.shown.empty()) {
            out.skipped.push_back({"object class", text, "it has neither a name nor an OID"});
            continue;
        }
        if (NameHoldsControlChar(def)) {
            out.skipped.push_back({"object class", text, kControlCharInName});
            continue;
        }
        if (HasNdsExtension(def.ext)) out.ndsStyle = true;
        classes.push_back(std::move(def));
    }

    DropOverlongNames(attrs, "attribute type", kMaxAttrNameBytes, out.skipped);
    DropOverlongNames(classes, "object class", kMaxClassNameBytes, out.skipped);
    DropRepeatedNames(attrs, "attribute type", out.skipped);
    DropRepeatedNames(classes, "object class", out.skipped);
    const auto attrIndex = Index(attrs);
    const auto classIndex = Index(classes);
    const bool nds = out.ndsStyle;

    const std::vector<const AttrDef*> syntaxSources = SyntaxSources(attrs, attrIndex);
    out.tree.attributes.reserve(attrs.size());
    for (std::size_t a = 0; a < attrs.size(); ++a) {
        const AttrDef& def = attrs[a];
        const AttrDef* source = syntaxSources[a];
        SimAttr attr;
        attr.name = def.shown;
        DirAttrInfo& info = attr.info;
        info.attrSyntaxID = SyntaxId(source->syntax, ndsSyntaxes);
        const bool lower = Extension(def.ext, "X-NDS_LOWER_BOUND") != nullptr;
        const bool upper = Extension(def.ext, "X-NDS_UPPER_BOUND") != nullptr;
        const std::uint32_t length = source->syntax.empty() ? 0 : source->syntaxLength;
        std::uint32_t flags = 0;
        if (def.singleValue) flags |= kAttrSingleValued;
        if (nds ? (lower || upper) : length != 0) flags |= kAttrSized;
        if (FlagSet(def.ext, "X-NDS_NONREMOVABLE") || FlagSet(def.ext, "X-NDS_NON_REMOVABLE"))
            flags |= kAttrNonRemovable;
        if (def.noUserModification) flags |= kAttrReadOnly;
        if (FlagSet(def.ext, "X-NDS_HIDDEN")) flags |= kAttrHidden;
        if (nds && !FlagSet(def.ext, "X-NDS_NOT_SCHED_SYNC_IMMEDIATE")) flags |= kAttrSyncImmediate;
        if (FlagSet(def.ext, "X-NDS_PUBLIC_READ")) flags |= kAttrPublicRead;
        if (FlagSet(def.ext, "X-NDS_SERVER_READ")) flags |= kAttrServerRead;
        if (FlagSet(def.ext, "X-NDS_NAME_VALUE_ACCESS")) flags |= kAttrWriteManaged;
        if (FlagSet(def.ext, "X-NDS_NEVER_SYNC")) flags |= kAttrPerReplica;
        if (FlagSet(def.ext, "X-NDS_SCHED_SYNC_NEVER")) flags |= kAttrSyncNever;
        info.attrFlags = flags;
        info.attrLower = lower ? Bound(FirstValue(def.ext, "X-NDS_LOWER_BOUND")) : 0;
        info.attrUpper = upper ? Bound(FirstValue(def.ext, "X-NDS_UPPER_BOUND"))
                               : static_cast<std::int32_t>(length);
        OidToAsn1Id(def.oid, info.asn1ID);
        out.tree.attributes.push_back(std::move(attr));
    }

    out.tree.classes.reserve(classes.size());
    for (const ClassDef& def : classes) {
        SimClass cls;
        cls.name = def.shown;
        std::uint32_t flags = 0;
        const bool auxiliary = def.kind == LDAP_SCHEMA_AUXILIARY;
        if (nds && !auxiliary && !FlagSet(def.ext, "X-NDS_NOT_CONTAINER")) flags |= kClassContainer;
        if (def.kind == LDAP_SCHEMA_STRUCTURAL) flags |= kClassEffective;
        if (FlagSet(def.ext, "X-NDS_NONREMOVABLE")) flags |= kClassNonRemovable;
        if (auxiliary) flags |= kClassAuxiliary;
        cls.flags = flags;
        OidToAsn1Id(def.oid, cls.id);
        const std::vector<std::string>* containment = Extension(def.ext, "X-NDS_CONTAINMENT");
        const std::vector<std::string>* naming = Extension(def.ext, "X-NDS_NAMING");
        cls.items[0] = Shown(def.sups, classIndex, classes);
        if (containment != nullptr) cls.items[1] = Shown(*containment, classIndex, classes);
        if (naming != nullptr) cls.items[2] = Shown(*naming, attrIndex, attrs);
        cls.items[3] = Shown(def.must, attrIndex, attrs);
        cls.items[4] = Shown(def.may, attrIndex, attrs);
        out.tree.classes.push_back(std::move(cls));
    }

    // The definitions in the source's own words, for writing them to another server.
    auto published = std::make_shared<PublishedSchema>();
    const auto expand = [&macros](const std::string& oid) { return macros.expand(oid); };
    for (const AttrDef& def : attrs) {
        PublishedDefinition& p = published->attributeTypes.emplace_back();
        p.oid = def.oid;
        p.names = def.names;
        p.shown = def.shown;
        if (!def.sup.empty()) p.sups.push_back(macros.expand(def.sup));
        p.text = PublishedOneLine(def.text, expand);
    }
    CompleteAttributeTypes(published->attributeTypes);
    for (const ClassDef& def : classes) {
        PublishedDefinition& p = published->objectClasses.emplace_back();
        p.oid = def.oid;
        p.names = def.names;
        p.shown = def.shown;
        for (const std::string& sup : def.sups) p.sups.push_back(macros.expand(sup));
        for (const std::string& a : def.must) p.must.push_back(macros.expand(a));
        for (const std::string& a : def.may) p.may.push_back(macros.expand(a));
        p.text = PublishedOneLine(def.text, expand);
        p.canonical = CanonicalObjectClass(p.text);
    }
    out.tree.published = std::move(published);
    return out;
}

std::string MarkSkippedDefinitions(SimTree& tree, const std::vector<SkippedDefinition>& skipped,
                                   const std::string& source) {
    if (skipped.empty()) return {};
    // One marker, at the end of the attribute names (read after the classes), so a load
    // reports the skipped definitions once, after every good name has arrived.
    SimAttr marker;
    marker.name = kSkippedMarker;
    tree.attributes.push_back(marker);
    tree.failures.push_back({"dcTakeAttr", marker.name, ldapcode::kBadSchema, 0});

    std::map<std::string, std::size_t> counts;
    std::vector<std::string> kinds;  // in the order met
    for (const SkippedDefinition& s : skipped)
        if (counts[s.kind]++ == 0) kinds.push_back(s.kind);
    std::string counted;
    for (const std::string& kind : kinds) {
        const std::size_t n = counts[kind];
        if (!counted.empty()) counted += ", ";
        counted += std::to_string(n) + " " + kind + " definition" + (n == 1 ? "" : "s");
    }
    // One line per definition: what the source wrote is shown escaped.
    std::string text = EscapeControlChars(source) + ": " + counted + " left out:";
    const std::size_t shown = std::min(skipped.size(), kListedSkipped);
    for (std::size_t i = 0; i < shown; ++i)
        text += "\n- " + EscapeControlChars(Shortened(skipped[i].text)) + ": " +
                EscapeControlChars(skipped[i].reason);
    if (skipped.size() > shown)
        text += "\n- and " + std::to_string(skipped.size() - shown) + " more";
    return text;
}
