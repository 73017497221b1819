#include "core/model/LdapMapping.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "core/ControlChars.h"
#include "core/D_Util.h"
#include "core/directory/D_NW.h"
#include "core/model/PublishedText.h"

namespace {

constexpr const char* kStandardSyntaxPrefix = "1.3.6.1.4.1.1466.115.121.1.";
constexpr const char* kNdsSyntaxPrefix = "2.16.840.1.113719.1.1.5.1.";
constexpr const char* kAdSyntaxPrefix = "1.2.840.113556.1.4.";
constexpr std::size_t kMaxArcDigits = 80;      // more cannot fit the 32 bytes anyway
constexpr std::size_t kShownDefinition = 160;  // of a skipped definition, in messages
constexpr std::size_t kListedSkipped = 20;     // skipped definitions named in one message

// Class flags and attribute flags as the records carry them.
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

// Syntaxes come first: the mapping of the others reads them.
constexpr ElementType kReadOrder[] = {
    ElementType::LdapSyntax,       ElementType::AttributeType,   ElementType::ObjectClass,
    ElementType::MatchingRule,     ElementType::MatchingRuleUse, ElementType::DitContentRule,
    ElementType::DitStructureRule, ElementType::NameForm,
};

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits separated by single dots: 1.2.840.
bool IsNumericOid(std::string_view oid) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = oid.find('.', start);
        const std::string_view arc =
            oid.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (!AllDigits(arc)) return false;
        if (dot == std::string_view::npos) return true;
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

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
        if (x != y) return false;
    }
    return true;
}

// The first extension of that name (any letter case); a repeated one does not count.
const LdapExtension* Extension(const LdapElement& e, std::string_view name) {
    for (const LdapExtension& x : e.extensions)
        if (SameWord(x.name, name)) return &x;
    return nullptr;
}

bool HasNdsExtension(const LdapElement& e) {
    return std::any_of(e.extensions.begin(), e.extensions.end(), [](const LdapExtension& x) {
        return x.name.size() >= 6 && SameWord(std::string_view(x.name).substr(0, 6), "X-NDS_");
    });
}

// Present, and not '0' or 'FALSE'.
bool FlagSet(const LdapElement& e, std::string_view name) {
    const LdapExtension* x = Extension(e, name);
    if (x == nullptr) return false;
    if (x->values.empty()) return true;
    const std::string first = AsciiLower(TrimBlanks(x->values.front()));
    return first != "0" && first != "false";
}

std::string FirstValue(const LdapElement& e, std::string_view name) {
    const LdapExtension* x = Extension(e, name);
    return x == nullptr || x->values.empty() ? std::string() : x->values.front();
}

// Schema files name OIDs through macros: "OLcfgAt:1" with "objectIdentifier OLcfgAt ...".
class OidMacros {
  public:
    explicit OidMacros(const std::vector<std::pair<std::string, std::string>>& macros) {
        for (const auto& [name, value] : macros)
            macros_[AsciiLower(TrimBlanks(name))] = TrimBlanks(value);
    }
    bool empty() const { return macros_.empty(); }
    std::string expand(const std::string& oid, int depth = 0) const {
        if (oid.empty() || macros_.empty() || IsNumericOid(oid) || depth > 16) return oid;
        const std::size_t colon = oid.find(':');
        const auto it = macros_.find(AsciiLower(oid.substr(0, colon)));
        if (it == macros_.end()) return oid;
        const std::string base = expand(it->second, depth + 1);
        return colon == std::string::npos ? base : base + "." + oid.substr(colon + 1);
    }
    void expandIn(std::string& oid) const { oid = expand(oid); }
    void expandIn(std::vector<std::string>& oids) const {
        for (std::string& oid : oids) oid = expand(oid);
    }
    // Every field that holds an OID, and the one-line text, which the fix-up writers take
    // to servers that do not know the macros.
    void expandIn(LdapElement& e) const {
        if (macros_.empty()) return;
        // A DIT structure rule is numbered, and its SUP names rules by number.
        if (e.type != ElementType::DitStructureRule) {
            expandIn(e.oid);
            expandIn(e.sup);
        }
        expandIn(e.equality);
        expandIn(e.ordering);
        expandIn(e.substr);
        expandIn(e.syntax);
        expandIn(e.must);
        expandIn(e.may);
        expandIn(e.aux);
        expandIn(e.nots);
        expandIn(e.applies);
        expandIn(e.form);
        expandIn(e.structuralClass);
        e.text = PublishedOneLine(e.text, [this](const std::string& oid) { return expand(oid); });
    }

  private:
    std::unordered_map<std::string, std::string> macros_;
};

// An attribute type or class with the names the tree gives it.
struct Named {
    LdapElement element;
    const std::string* text = nullptr;  // as published
    std::string place;                  // where it was written, when known
    std::string shown;                  // the name the tree gives it
    std::string ndsName;                // X-NDS_NAME, or empty
};

std::string ShownName(const std::string& ndsName, const LdapElement& e) {
    if (!ndsName.empty()) return ndsName;
    if (!e.names.empty() && !e.names.front().empty()) return e.names.front();
    return e.oid;
}

// Lower-cased names and OIDs to the definition that carries them; the first one wins.
std::unordered_map<std::string, std::size_t> Index(const std::vector<Named>& defs) {
    std::unordered_map<std::string, std::size_t> index;
    index.reserve(defs.size() * 3);
    for (std::size_t i = 0; i < defs.size(); ++i) {
        for (const std::string& name : defs[i].element.names)
            index.try_emplace(AsciiLower(name), i);
        if (!defs[i].element.oid.empty()) index.try_emplace(AsciiLower(defs[i].element.oid), i);
        index.try_emplace(AsciiLower(defs[i].shown), i);
    }
    return index;
}

// A name as the referring definition writes it, unless the server names the target with
// X-NDS_NAME.
std::vector<std::string> Shown(const std::vector<std::string>& refs,
                               const std::unordered_map<std::string, std::size_t>& index,
                               const std::vector<Named>& defs) {
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

// A name with a control character would reach terminals, lists and reports as a command or
// a line break. (The parser refuses such a NAME; X-NDS_NAME is an extension's value.)
bool NameHoldsControlChar(const Named& def, const LdapElement& e) {
    return HoldsControlChar(def.shown) || HoldsControlChar(def.ndsName) ||
           std::any_of(e.names.begin(), e.names.end(),
                       [](const std::string& name) { return HoldsControlChar(name); });
}
constexpr const char* kControlCharInName = "a name holds a control character";

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
void DropOverlongNames(std::vector<Named>& defs, std::string_view kind, std::size_t limit,
                       bool classes, std::vector<SkippedDefinition>& skipped) {
    constexpr std::size_t kItemLimit = kDirNameBufferSize - 1;
    std::erase_if(defs, [&](const Named& def) {
        if (def.shown.size() > limit) {
            skipped.push_back({std::string(kind), *def.text,
                               "its name \"" + NameExcerpt(def.shown) + "\" has " +
                                   std::to_string(def.shown.size()) + " bytes, more than the " +
                                   std::to_string(limit) + " the reads take",
                               def.place});
            return true;
        }
        if (!classes) return false;
        const LdapElement& e = def.element;
        std::vector<const std::vector<std::string>*> lists = {&e.sup, &e.must, &e.may};
        for (const LdapExtension& x : e.extensions)
            if (AsciiLower(x.name) == "x-nds_containment" || AsciiLower(x.name) == "x-nds_naming")
                lists.push_back(&x.values);
        for (const std::vector<std::string>* names : lists)
            for (const std::string& name : *names)
                if (name.size() > kItemLimit) {
                    skipped.push_back({std::string(kind), *def.text,
                                       "it names \"" + NameExcerpt(name) + "\" (" +
                                           std::to_string(name.size()) + " bytes), more than the " +
                                           std::to_string(kItemLimit) + " an item read takes",
                                       def.place});
                    return true;
                }
        return false;
    });
}

// Keeps the first definition of each name shown; the others are skipped.
void DropRepeatedNames(std::vector<Named>& defs, std::string_view kind,
                       std::vector<SkippedDefinition>& skipped) {
    std::unordered_set<std::string> seen;
    seen.reserve(defs.size());
    std::vector<Named> kept;
    kept.reserve(defs.size());
    for (Named& def : defs) {
        if (seen.insert(AsciiLower(def.shown)).second)
            kept.push_back(std::move(def));
        else
            skipped.push_back({std::string(kind), *def.text,
                               "a second definition named \"" + def.shown + "\"", def.place});
    }
    defs = std::move(kept);
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
std::vector<std::size_t> SyntaxSources(const std::vector<Named>& attrs,
                                       const std::unordered_map<std::string, std::size_t>& index) {
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
            const LdapElement& def = attrs[at].element;
            if (!def.syntax.empty() || def.sup.empty()) {
                found = at;
                break;
            }
            const auto it = index.find(AsciiLower(def.sup.front()));
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
    return source;
}

std::string Shortened(const std::string& text) {
    std::string flat;
    for (char c : text) flat += IsLineBlank(c) ? ' ' : c;
    flat = TrimBlanks(flat);
    return flat.size() > kShownDefinition ? flat.substr(0, kShownDefinition) + "..." : flat;
}

SchemaAttribute MapAttribute(const Named& def, const LdapElement& syntaxSource, bool nds,
                             const std::unordered_map<std::string, std::uint32_t>& ndsSyntaxes) {
    const LdapElement& e = def.element;
    SchemaAttribute attr;
    attr.name = def.shown;
    DirAttrInfo& info = attr.info;
    info.attrSyntaxID = SyntaxId(syntaxSource.syntax, ndsSyntaxes);
    const bool lower = Extension(e, "X-NDS_LOWER_BOUND") != nullptr;
    const bool upper = Extension(e, "X-NDS_UPPER_BOUND") != nullptr;
    const std::uint32_t length =
        syntaxSource.syntax.empty() ? 0 : SyntaxBound(syntaxSource.syntaxLength);
    std::uint32_t flags = 0;
    if (e.singleValue) flags |= kAttrSingleValued;
    if (nds ? (lower || upper) : length != 0) flags |= kAttrSized;
    if (FlagSet(e, "X-NDS_NONREMOVABLE") || FlagSet(e, "X-NDS_NON_REMOVABLE"))
        flags |= kAttrNonRemovable;
    if (e.noUserModification) flags |= kAttrReadOnly;
    if (FlagSet(e, "X-NDS_HIDDEN")) flags |= kAttrHidden;
    if (nds && !FlagSet(e, "X-NDS_NOT_SCHED_SYNC_IMMEDIATE")) flags |= kAttrSyncImmediate;
    if (FlagSet(e, "X-NDS_PUBLIC_READ")) flags |= kAttrPublicRead;
    if (FlagSet(e, "X-NDS_SERVER_READ")) flags |= kAttrServerRead;
    if (FlagSet(e, "X-NDS_NAME_VALUE_ACCESS")) flags |= kAttrWriteManaged;
    if (FlagSet(e, "X-NDS_NEVER_SYNC")) flags |= kAttrPerReplica;
    if (FlagSet(e, "X-NDS_SCHED_SYNC_NEVER")) flags |= kAttrSyncNever;
    info.attrFlags = flags;
    info.attrLower = lower ? Bound(FirstValue(e, "X-NDS_LOWER_BOUND")) : 0;
    info.attrUpper =
        upper ? Bound(FirstValue(e, "X-NDS_UPPER_BOUND")) : static_cast<std::int32_t>(length);
    OidToAsn1Id(e.oid, info.asn1ID);
    return attr;
}

}  // namespace

std::vector<std::string>& SchemaDefinitions::texts(ElementType type) {
    switch (type) {
        case ElementType::AttributeType:
            return attributeTypes;
        case ElementType::ObjectClass:
            return objectClasses;
        case ElementType::LdapSyntax:
            return ldapSyntaxes;
        case ElementType::MatchingRule:
            return matchingRules;
        case ElementType::MatchingRuleUse:
            return matchingRuleUse;
        case ElementType::DitContentRule:
            return dITContentRules;
        case ElementType::DitStructureRule:
            return dITStructureRules;
        case ElementType::NameForm:
            break;
    }
    return nameForms;
}

const std::vector<std::string>& SchemaDefinitions::texts(ElementType type) const {
    return const_cast<SchemaDefinitions*>(this)->texts(type);
}

void SchemaDefinitions::add(ElementType type, std::string text, std::string place) {
    std::vector<std::string>& list = texts(type);
    std::vector<std::string>& at = places[static_cast<std::size_t>(type)];
    at.resize(list.size());  // texts added without a place have none
    list.push_back(std::move(text));
    at.push_back(std::move(place));
}

std::string_view KindOfDefinition(ElementType type) {
    switch (type) {
        case ElementType::AttributeType:
            return "attribute type";
        case ElementType::ObjectClass:
            return "object class";
        case ElementType::LdapSyntax:
            return "syntax";
        case ElementType::MatchingRule:
            return "matching rule";
        case ElementType::MatchingRuleUse:
            return "matching rule use";
        case ElementType::DitContentRule:
            return "DIT content rule";
        case ElementType::DitStructureRule:
            return "DIT structure rule";
        case ElementType::NameForm:
            break;
    }
    return "name form";
}

std::uint32_t SyntaxBound(std::string_view digits) {
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        const auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        value = value > (limit - static_cast<std::uint64_t>(c - '0')) / 10
                    ? limit
                    : value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return static_cast<std::uint32_t>(value);
}

TreeSchema MapLdapSchema(const SchemaDefinitions& definitions) {
    TreeSchema out;
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

    std::vector<Named> attrs;
    std::vector<Named> classes;
    for (const ElementType type : kReadOrder) {
        const std::vector<std::string>& texts = definitions.texts(type);
        const auto t = static_cast<std::size_t>(type);
        if (definitions.given[t] || !texts.empty()) out.published.setPublished(type);
        const std::string kind(KindOfDefinition(type));
        const bool named = type == ElementType::AttributeType || type == ElementType::ObjectClass;
        std::vector<LdapElement>& list = out.published.of(type);
        if (named)
            (type == ElementType::AttributeType ? attrs : classes).reserve(texts.size());
        else
            list.reserve(texts.size());
        const std::vector<std::string>& places = definitions.places[t];
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::string& text = texts[i];
            const std::string place = i < places.size() ? places[i] : std::string();
            ElementParse parsed = ParseLdapElement(type, text);
            if (!parsed.element) {
                out.skipped.push_back({kind, text, std::move(parsed.error), place});
                continue;
            }
            LdapElement& e = *parsed.element;
            macros.expandIn(e);
            if (named) {
                Named def;
                def.text = &text;
                def.place = place;
                def.ndsName = FirstValue(e, "X-NDS_NAME");
                def.shown = ShownName(def.ndsName, e);
                if (def.shown.empty()) {
                    out.skipped.push_back({kind, text, "it has neither a name nor an OID", place});
                    continue;
                }
                if (NameHoldsControlChar(def, e)) {
                    out.skipped.push_back({kind, text, kControlCharInName, place});
                    continue;
                }
                if (HasNdsExtension(e)) out.ndsStyle = true;
                def.element = std::move(e);
                (type == ElementType::AttributeType ? attrs : classes).push_back(std::move(def));
                continue;
            }
            if (e.oid.empty()) {
                out.skipped.push_back({kind, text, "it has no OID", place});
                continue;
            }
            if (HasNdsExtension(e)) out.ndsStyle = true;
            list.push_back(std::move(e));
        }
    }

    DropOverlongNames(attrs, KindOfDefinition(ElementType::AttributeType), kMaxAttrNameBytes, false,
                      out.skipped);
    DropOverlongNames(classes, KindOfDefinition(ElementType::ObjectClass), kMaxClassNameBytes, true,
                      out.skipped);
    DropRepeatedNames(attrs, KindOfDefinition(ElementType::AttributeType), out.skipped);
    DropRepeatedNames(classes, KindOfDefinition(ElementType::ObjectClass), out.skipped);
    const auto attrIndex = Index(attrs);
    const auto classIndex = Index(classes);
    const bool nds = out.ndsStyle;

    std::unordered_map<std::string, std::uint32_t> ndsSyntaxes;
    for (const LdapElement& syntax : out.published.of(ElementType::LdapSyntax)) {
        std::uint32_t id = 0;
        if (ParseWord(FirstValue(syntax, "X-NDS_SYNTAX"), id))
            ndsSyntaxes.try_emplace(AsciiLower(syntax.oid), id);
    }

    const std::vector<std::size_t> syntaxSources = SyntaxSources(attrs, attrIndex);
    out.attributes.reserve(attrs.size());
    for (std::size_t a = 0; a < attrs.size(); ++a) {
        out.attributes.push_back(
            MapAttribute(attrs[a], attrs[syntaxSources[a]].element, nds, ndsSyntaxes));
        out.attributes.back().element = static_cast<int>(a);
    }

    out.classes.reserve(classes.size());
    for (std::size_t c = 0; c < classes.size(); ++c) {
        const LdapElement& e = classes[c].element;
        SchemaClass& cls = out.classes.emplace_back();
        cls.name = classes[c].shown;
        cls.element = static_cast<int>(c);
        const bool auxiliary = e.kind == "AUXILIARY";
        std::uint32_t flags = 0;
        if (nds && !auxiliary && !FlagSet(e, "X-NDS_NOT_CONTAINER")) flags |= kClassContainer;
        if (e.kind.empty() || e.kind == "STRUCTURAL") flags |= kClassEffective;
        if (FlagSet(e, "X-NDS_NONREMOVABLE")) flags |= kClassNonRemovable;
        if (auxiliary) flags |= kClassAuxiliary;
        cls.flags = flags;
        OidToAsn1Id(e.oid, cls.id);
        cls.items[0] = Shown(e.sup, classIndex, classes);
        if (const LdapExtension* containment = Extension(e, "X-NDS_CONTAINMENT"))
            cls.items[1] = Shown(containment->values, classIndex, classes);
        if (const LdapExtension* naming = Extension(e, "X-NDS_NAMING"))
            cls.items[2] = Shown(naming->values, attrIndex, attrs);
        cls.items[3] = Shown(e.must, attrIndex, attrs);
        cls.items[4] = Shown(e.may, attrIndex, attrs);
    }

    std::vector<LdapElement>& types = out.published.of(ElementType::AttributeType);
    for (Named& def : attrs) types.push_back(std::move(def.element));
    std::vector<LdapElement>& objectClasses = out.published.of(ElementType::ObjectClass);
    for (Named& def : classes) objectClasses.push_back(std::move(def.element));
    out.index();
    // OpenLDAP publishes its configuration schema: it takes schema changes through cn=config.
    out.origin.openLdapConfig = out.published.find(ElementType::ObjectClass, "olcSchemaConfig");
    return out;
}

std::string SkippedDefinitionsText(const std::vector<SkippedDefinition>& skipped,
                                   const std::string& source) {
    if (skipped.empty()) return {};
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
    for (std::size_t i = 0; i < shown; ++i) {
        text += "\n- ";
        if (!skipped[i].place.empty()) text += EscapeControlChars(skipped[i].place) + ": ";
        text += EscapeControlChars(Shortened(skipped[i].text)) + ": " +
                EscapeControlChars(skipped[i].reason);
    }
    if (skipped.size() > shown)
        text += "\n- and " + std::to_string(skipped.size() - shown) + " more";
    return text;
}

namespace {

// What every published definition the fix-up writers read carries.
PublishedDefinition Definition(const LdapElement& e, const std::string& shown) {
    PublishedDefinition p;
    p.oid = e.oid;
    p.names = e.names;
    p.shown = shown;
    p.sups = e.sup;
    p.text = e.text;
    p.element = e;
    return p;
}

}  // namespace

PublishedSchema PublishedView(const TreeSchema& schema) {
    PublishedSchema out;
    out.origin = schema.origin.description;
    out.server = schema.origin.server;
    out.subschemaDn = schema.origin.subschemaDn;
    out.activeDirectory = schema.origin.activeDirectory;
    // AD's subschema entry is CN=Aggregate right inside its schemaNamingContext.
    static const std::string kAggregate = "cn=aggregate,";
    if (out.activeDirectory && AsciiLower(out.subschemaDn).starts_with(kAggregate))
        out.schemaNamingContext = out.subschemaDn.substr(kAggregate.size());
    for (ElementType type : {ElementType::LdapSyntax, ElementType::MatchingRule}) {
        if (schema.published.publishes(type)) out.rules.setPublished(type);
        out.rules.of(type) = schema.published.of(type);
    }
    out.rules.index();

    const std::vector<LdapElement>& types = schema.published.of(ElementType::AttributeType);
    std::vector<const LdapElement*> typePointers;
    typePointers.reserve(types.size());
    for (const LdapElement& e : types) typePointers.push_back(&e);
    std::vector<std::string> canonical = CanonicalAttributeTypes(typePointers);
    out.attributeTypes.reserve(schema.attributes.size());
    for (const SchemaAttribute& attr : schema.attributes) {
        const LdapElement* e = schema.elementOf(attr);
        if (e == nullptr) continue;
        PublishedDefinition& p = out.attributeTypes.emplace_back(Definition(*e, attr.name));
        p.canonical = std::move(canonical[static_cast<std::size_t>(attr.element)]);
        p.operational = IsOperational(*e);
    }
    out.objectClasses.reserve(schema.classes.size());
    for (const SchemaClass& cls : schema.classes) {
        const LdapElement* e = schema.elementOf(cls);
        if (e == nullptr) continue;
        PublishedDefinition& p = out.objectClasses.emplace_back(Definition(*e, cls.name));
        p.must = e->must;
        p.may = e->may;
        p.canonical = CanonicalForm(*e);
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
