#include "core/fit/ValueEquality.h"

#include <QString>
#include <algorithm>
#include <array>

namespace {

struct Rule {
    std::string_view oid;
    ValueEquality equality;
};

constexpr std::array<Rule, 14> kRules = {{
    {"2.5.13.0", ValueEquality::CaseIgnore},                    // objectIdentifierMatch
    {"2.5.13.1", ValueEquality::Dn},                            // distinguishedNameMatch
    {"2.5.13.2", ValueEquality::CaseIgnore},                    // caseIgnoreMatch
    {"2.5.13.5", ValueEquality::Exact},                         // caseExactMatch
    {"2.5.13.8", ValueEquality::Numeric},                       // numericStringMatch
    {"2.5.13.11", ValueEquality::CaseIgnore},                   // caseIgnoreListMatch
    {"2.5.13.13", ValueEquality::Boolean},                      // booleanMatch
    {"2.5.13.14", ValueEquality::Integer},                      // integerMatch
    {"2.5.13.17", ValueEquality::Exact},                        // octetStringMatch
    {"2.5.13.20", ValueEquality::Telephone},                    // telephoneNumberMatch
    {"2.5.13.27", ValueEquality::CaseIgnore},                   // generalizedTimeMatch
    {"1.3.6.1.4.1.1466.109.114.1", ValueEquality::Exact},       // caseExactIA5Match
    {"1.3.6.1.4.1.1466.109.114.2", ValueEquality::CaseIgnore},  // caseIgnoreIA5Match
    {"1.3.6.1.1.16.2", ValueEquality::CaseIgnore},              // uuidMatch
}};

bool Ascii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Squeezed(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    bool gap = false;
    for (const char c : s) {
        if (c == ' ') {
            gap = true;
            continue;
        }
        if (gap && !out.empty()) out += ' ';
        gap = false;
        out += c;
    }
    return out;
}

std::string Without(std::string_view s, std::string_view drop) {
    std::string out;
    for (const char c : s)
        if (drop.find(c) == std::string_view::npos) out += c;
    return out;
}

}  // namespace

ValueEquality EqualityOfRule(std::string_view ruleOid) {
    for (const Rule& r : kRules)
        if (r.oid == ruleOid) return r.equality;
    return ValueEquality::Exact;
}

std::string FoldedText(std::string_view value) {
    std::string folded;
    if (Ascii(value)) {
        folded.assign(value);
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    } else {
        folded = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()))
                     .toCaseFolded()
                     .toStdString();
    }
    return Squeezed(folded);
}

std::string NormalizedValue(ValueEquality equality, std::string_view value) {
    switch (equality) {
        case ValueEquality::None:
        case ValueEquality::Exact:
            return std::string(value);
        case ValueEquality::CaseIgnore:
            return FoldedText(value);
        case ValueEquality::Telephone:
            return Without(FoldedText(value), " -");
        case ValueEquality::Numeric:
            return Without(value, " ");
        case ValueEquality::Integer: {
            std::string_view v = value;
            const bool negative = !v.empty() && v[0] == '-';
            if (negative || (!v.empty() && v[0] == '+')) v.remove_prefix(1);
            while (v.size() > 1 && v[0] == '0') v.remove_prefix(1);
            return (negative && v != "0" ? "-" : "") + std::string(v);
        }
        case ValueEquality::Boolean:
            return FoldedText(value);
        case ValueEquality::Dn: {
            std::vector<DnAva> avas;
            if (!ParseDn(value, avas)) return std::string(value);
            return NormalizedDn(
                avas, [](const void*, std::string_view type) { return FoldedText(type); }, nullptr);
        }
    }
    return std::string(value);
}

std::string NormalizedDn(const std::vector<DnAva>& avas,
                         std::string (*typeKey)(const void* context, std::string_view type),
                         const void* context, std::size_t* parentStart) {
    std::string out;
    if (parentStart) *parentStart = std::string::npos;
    std::vector<std::string> rdn;
    const auto flush = [&] {
        std::sort(rdn.begin(), rdn.end());
        for (std::size_t i = 0; i < rdn.size(); ++i) {
            if (i > 0) out += '+';
            out += rdn[i];
        }
        rdn.clear();
    };
    for (std::size_t i = 0; i < avas.size(); ++i) {
        if (i > 0 && avas[i].rdn != avas[i - 1].rdn) {
            flush();
            out += ',';
            if (parentStart && *parentStart == std::string::npos) *parentStart = out.size();
        }
        std::string part = typeKey(context, avas[i].type);
        part += '=';
        // A comma or plus in a value must not look like a separator.
        for (const char c : avas[i].hex ? avas[i].value : FoldedText(avas[i].value)) {
            if (c == ',' || c == '+' || c == '\\') part += '\\';
            part += c;
        }
        rdn.push_back(std::move(part));
    }
    flush();
    return out;
}
