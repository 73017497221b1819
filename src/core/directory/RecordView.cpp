#include "core/directory/RecordView.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>

#include "core/D_Util.h"
#include "core/model/LdapMapping.h"

namespace {

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

constexpr const char* kStandardSyntaxPrefix = "1.3.6.1.4.1.1466.115.121.1.";
constexpr const char* kNdsSyntaxPrefix = "2.16.840.1.113719.1.1.5.1.";
constexpr const char* kAdSyntaxPrefix = "1.2.840.113556.1.4.";
constexpr std::size_t kMaxArcDigits = 80;  // more cannot fit the 32 bytes anyway

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
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

// An NDS-style tree numbers its syntaxes itself (X-NDS_SYNTAX); other trees' syntaxes
// take the id of the standard or Active Directory syntax of that meaning.
std::uint32_t SyntaxId(const TreeSchema& schema, const std::string& oid) {
    if (oid.empty()) return 0;
    std::uint32_t id = 0;
    if (const LdapElement* syntax = schema.published.find(ElementType::LdapSyntax, oid);
        syntax != nullptr && ParseWord(ExtensionValue(*syntax, "X-NDS_SYNTAX"), id))
        return id;
    const std::string prefix = kNdsSyntaxPrefix;
    if (oid.rfind(prefix, 0) == 0 && ParseWord(oid.substr(prefix.size()), id)) return id;
    if (const std::uint32_t standard = StandardSyntaxId(oid)) return standard;
    return ActiveDirectorySyntaxId(oid);
}

// The names a class's record lists: as the class writes them, unless the tree names the
// definition meant with X-NDS_NAME.
std::vector<std::string> Shown(const TreeSchema& schema, ElementType type,
                               const std::vector<std::string>& refs) {
    std::vector<std::string> out;
    out.reserve(refs.size());
    for (const std::string& ref : refs) {
        const LdapElement* target = schema.published.find(type, ref);
        std::string ndsName = target != nullptr ? ExtensionValue(*target, "X-NDS_NAME") : "";
        out.push_back(ndsName.empty() ? ref : std::move(ndsName));
    }
    return out;
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

}  // namespace

std::uint32_t ClassFlags(const TreeSchema& schema, const LdapElement& e) {
    const bool auxiliary = e.kind == "AUXILIARY";
    std::uint32_t flags = 0;
    if (schema.ndsStyle && !auxiliary && !ExtensionFlag(e, "X-NDS_NOT_CONTAINER"))
        flags |= kClassContainer;
    if (e.kind.empty() || e.kind == "STRUCTURAL") flags |= kClassEffective;
    if (ExtensionFlag(e, "X-NDS_NONREMOVABLE")) flags |= kClassNonRemovable;
    if (auxiliary) flags |= kClassAuxiliary;
    return flags;
}

SimClass ClassRecord(const TreeSchema& schema, const SchemaClass& cls) {
    SimClass record;
    record.name = cls.name;
    const LdapElement* e = schema.elementOf(cls);
    if (e == nullptr) return record;
    record.flags = ClassFlags(schema, *e);
    OidToAsn1Id(e->oid, record.id);
    constexpr ElementType kClass = ElementType::ObjectClass;
    constexpr ElementType kAttribute = ElementType::AttributeType;
    record.items[0] = Shown(schema, kClass, e->sup);
    if (const LdapExtension* containment = FindExtension(*e, "X-NDS_CONTAINMENT"))
        record.items[1] = Shown(schema, kClass, containment->values);
    if (const LdapExtension* naming = FindExtension(*e, "X-NDS_NAMING"))
        record.items[2] = Shown(schema, kAttribute, naming->values);
    record.items[3] = Shown(schema, kAttribute, e->must);
    record.items[4] = Shown(schema, kAttribute, e->may);
    return record;
}

SimAttr AttributeRecord(const TreeSchema& schema, const SchemaAttribute& attr) {
    SimAttr record;
    record.name = attr.name;
    const LdapElement* found = schema.elementOf(attr);
    if (found == nullptr) return record;
    const LdapElement& e = *found;
    // A type without SYNTAX takes its supertype's, bound and all.
    const LdapElement* syntaxSource = schema.published.definer(e, &LdapElement::syntax);
    const std::string noSyntax;
    const std::string& syntax = syntaxSource != nullptr ? syntaxSource->syntax : noSyntax;
    const bool nds = schema.ndsStyle;
    DirAttrInfo& info = record.info;
    info.attrSyntaxID = SyntaxId(schema, syntax);
    const bool lower = FindExtension(e, "X-NDS_LOWER_BOUND") != nullptr;
    const bool upper = FindExtension(e, "X-NDS_UPPER_BOUND") != nullptr;
    const std::uint32_t length = syntax.empty() ? 0 : SyntaxBound(syntaxSource->syntaxLength);
    std::uint32_t flags = 0;
    if (e.singleValue) flags |= kAttrSingleValued;
    if (nds ? (lower || upper) : length != 0) flags |= kAttrSized;
    if (ExtensionFlag(e, "X-NDS_NONREMOVABLE") || ExtensionFlag(e, "X-NDS_NON_REMOVABLE"))
        flags |= kAttrNonRemovable;
    if (e.noUserModification) flags |= kAttrReadOnly;
    if (ExtensionFlag(e, "X-NDS_HIDDEN")) flags |= kAttrHidden;
    if (nds && !ExtensionFlag(e, "X-NDS_NOT_SCHED_SYNC_IMMEDIATE")) flags |= kAttrSyncImmediate;
    if (ExtensionFlag(e, "X-NDS_PUBLIC_READ")) flags |= kAttrPublicRead;
    if (ExtensionFlag(e, "X-NDS_SERVER_READ")) flags |= kAttrServerRead;
    if (ExtensionFlag(e, "X-NDS_NAME_VALUE_ACCESS")) flags |= kAttrWriteManaged;
    if (ExtensionFlag(e, "X-NDS_NEVER_SYNC")) flags |= kAttrPerReplica;
    if (ExtensionFlag(e, "X-NDS_SCHED_SYNC_NEVER")) flags |= kAttrSyncNever;
    info.attrFlags = flags;
    info.attrLower = lower ? Bound(ExtensionValue(e, "X-NDS_LOWER_BOUND")) : 0;
    info.attrUpper =
        upper ? Bound(ExtensionValue(e, "X-NDS_UPPER_BOUND")) : static_cast<std::int32_t>(length);
    OidToAsn1Id(e.oid, info.asn1ID);
    return record;
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
