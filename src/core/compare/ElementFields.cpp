#include "ElementFields.h"

#include "D_Util.h"

#include <algorithm>
#include <functional>

namespace {

const std::string kOid = "OID";
const std::string kNames = "Names";
const std::string kDescription = "Description";
const std::string kObsolete = "Obsolete";
const std::string kSuperType = "Super Type";
const std::string kEquality = "Equality";
const std::string kOrdering = "Ordering";
const std::string kSubstring = "Substring";
const std::string kSyntax = "Syntax";
const std::string kSingleValue = "Single Value";
const std::string kCollective = "Collective";
const std::string kNoUserModification = "No User Modification";
const std::string kUsage = "Usage";
const std::string kKind = "Kind";
const std::string kMandatory = "Mandatory";
const std::string kOptional = "Optional";
const std::string kAuxiliary = "Auxiliary";
const std::string kPrecluded = "Precluded";
const std::string kAppliesTo = "Applies To";
const std::string kNameForm = "Name Form";
const std::string kStructuralClass = "Structural Class";

const char* const kNoiseExtensions[] = {"x-origin", "x-schema-file"};

std::string Joined(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& item : list) {
        if (!out.empty()) out += ", ";
        out += item;
    }
    return out;
}

std::string Flag(bool set) { return set ? "TRUE" : ""; }

std::string SyntaxText(const LdapElement& e) {
    return e.syntaxLength.empty() ? e.syntax : e.syntax + "{" + e.syntaxLength + "}";
}

std::string StripZeros(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? (digits.empty() ? digits : "0") : digits.substr(first);
}

using SameFn = std::function<bool(const std::string&, const std::string&)>;

// Every item of one list has its match in the other, both ways.
bool SameSet(const std::vector<std::string>& a, const std::vector<std::string>& b,
             const SameFn& same) {
    const auto covered = [&](const std::vector<std::string>& from,
                             const std::vector<std::string>& in, bool flip) {
        return std::all_of(from.begin(), from.end(), [&](const std::string& x) {
            return std::any_of(in.begin(), in.end(), [&](const std::string& y) {
                return flip ? same(y, x) : same(x, y);
            });
        });
    };
    return covered(a, b, false) && covered(b, a, true);
}

class Comparer {
  public:
    Comparer(const LdapElement& a, const PublishedElements& inA, const LdapElement& b,
             const PublishedElements& inB, const FieldFilter& filter, bool records)
        : a_(a), inA_(inA), b_(b), inB_(inB), filter_(filter), records_(records) {}

    void text(const std::string& label, const std::string& x, const std::string& y, bool equal) {
        if (equal || filter_.ignores(label)) return;
        // What NetWare-descended servers publish as X-NDS_ is what the records are made of.
        if (records_ && AsciiLower(std::string(label)).rfind("x-nds_", 0) == 0) return;
        out_.push_back({label, x, y});
    }
    void flag(const std::string& label, bool x, bool y) { text(label, Flag(x), Flag(y), x == y); }
    void rule(const std::string& label, const std::string& x, const std::string& y) {
        const bool equal =
            x.empty() == y.empty() && (x.empty() || inA_.ruleKey(x) == inB_.ruleKey(y));
        text(label, x, y, equal);
    }
    void refs(const std::string& label, ElementType type, const std::vector<std::string>& x,
              const std::vector<std::string>& y) {
        const SameFn same = [&](const std::string& p, const std::string& q) {
            return SameReference(type, p, inA_, q, inB_);
        };
        text(label, Joined(x), Joined(y), SameSet(x, y, same));
    }
    void names(const std::vector<std::string>& x, const std::vector<std::string>& y) {
        const SameFn same = [](const std::string& p, const std::string& q) {
            return AsciiLower(p) == AsciiLower(q);
        };
        text(kNames, Joined(x), Joined(y), SameSet(x, y, same));
    }
    // covered: the attribute lines already show the syntax (or, the OID being the same,
    // the length) differ.
    void syntax(const RecordCoverage& coverage = {}) {
        const bool sameOid =
            a_.syntax.empty() == b_.syntax.empty() &&
            (a_.syntax.empty() || inA_.syntaxKey(a_.syntax) == inB_.syntaxKey(b_.syntax));
        const bool sameLength = StripZeros(a_.syntaxLength) == StripZeros(b_.syntaxLength);
        const bool covered = coverage.syntaxIdsDiffer || (sameOid && coverage.boundsDiffer);
        text(kSyntax, SyntaxText(a_), SyntaxText(b_), (sameOid && sameLength) || covered);
    }
    void extensions() {
        std::vector<std::string> seen;
        const auto visit = [&](const std::string& name) {
            const std::string key = AsciiLower(name);
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) return;
            seen.push_back(key);
            const LdapExtension* x = Find(a_, key);
            const LdapExtension* y = Find(b_, key);
            const std::vector<std::string> none;
            const auto& vx = x ? x->values : none;
            const auto& vy = y ? y->values : none;
            // Present with no value and absent say different things.
            const bool equal =
                (x == nullptr) == (y == nullptr) && SameSet(vx, vy, std::equal_to<std::string>());
            text(x ? x->name : y->name, Joined(vx), Joined(vy), equal);
        };
        for (const LdapExtension& e : a_.extensions) visit(e.name);
        for (const LdapExtension& e : b_.extensions) visit(e.name);
    }

    std::vector<FieldDifference> take() { return std::move(out_); }

    const LdapElement& a_;
    const PublishedElements& inA_;
    const LdapElement& b_;
    const PublishedElements& inB_;

  private:
    static const LdapExtension* Find(const LdapElement& e, const std::string& key) {
        for (const LdapExtension& x : e.extensions)
            if (AsciiLower(x.name) == key) return &x;
        return nullptr;
    }
    const FieldFilter& filter_;
    bool records_;
    std::vector<FieldDifference> out_;
};

std::string UsageKey(const std::string& usage) {
    return usage.empty() ? std::string("userapplications") : AsciiLower(usage);
}

std::string KindKey(const std::string& kind) {
    return kind.empty() ? std::string("structural") : AsciiLower(kind);
}

}  // namespace

FieldFilter::FieldFilter() {
    for (const char* noise : kNoiseExtensions) labels_.insert(noise);
}

FieldFilter FieldFilter::Parse(std::string_view list, std::vector<std::string>& unknown) {
    FieldFilter filter;
    filter.labels_.clear();
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string_view::npos) comma = list.size();
        std::string word(list.substr(start, comma - start));
        const std::size_t first = word.find_first_not_of(' ');
        const std::size_t last = word.find_last_not_of(' ');
        word = first == std::string::npos ? std::string() : word.substr(first, last - first + 1);
        const std::string key = AsciiLower(word);
        start = comma + 1;
        if (key.empty() || key == "none") continue;
        if (key == "extensions") {
            filter.extensions_ = true;
            continue;
        }
        const auto& labels = FieldLabels();
        const bool known = key.rfind("x-", 0) == 0 ||
                           std::any_of(labels.begin(), labels.end(),
                                       [&](const std::string& l) { return AsciiLower(l) == key; });
        if (known)
            filter.labels_.insert(key);
        else
            unknown.push_back(word);
    }
    return filter;
}

bool FieldFilter::ignores(std::string_view label) const {
    const std::string key = AsciiLower(std::string(label));
    if (extensions_ && key.rfind("x-", 0) == 0) return true;
    return labels_.count(key) != 0;
}

std::vector<std::string> FieldFilter::described() const {
    std::vector<std::string> out;
    for (const std::string& label : FieldLabels())
        if (labels_.count(AsciiLower(std::string(label))) != 0) out.push_back(label);
    if (extensions_) out.push_back("extensions");
    for (const std::string& key : labels_)
        if (key.rfind("x-", 0) == 0 && !extensions_) {
            std::string upper = key;
            for (char& c : upper)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            out.push_back(upper);
        }
    return out;
}

const std::vector<std::string>& FieldLabels() {
    static const std::vector<std::string> labels = {
        kOid,       kNames,     kDescription,    kObsolete,    kSuperType,  kEquality,
        kOrdering,  kSubstring, kSyntax,         kSingleValue, kCollective, kNoUserModification,
        kUsage,     kKind,      kMandatory,      kOptional,    kAuxiliary,  kPrecluded,
        kAppliesTo, kNameForm,  kStructuralClass};
    return labels;
}

std::vector<FieldDifference> CompareElementFields(
    const LdapElement& a, const PublishedElements& inA, const LdapElement& b,
    const PublishedElements& inB, const FieldFilter& filter, const RecordCoverage& coverage) {
    Comparer c(a, inA, b, inB, filter, coverage.records);
    const ElementType type = a.type;
    const bool classRecords = coverage.records && type == ElementType::ObjectClass;
    const bool attrRecords = coverage.records && type == ElementType::AttributeType;
    const bool oidShown = classRecords && coverage.identifiers;
    c.text(kOid, a.oid, b.oid, oidShown || AsciiLower(a.oid) == AsciiLower(b.oid));
    if (type != ElementType::LdapSyntax || !a.names.empty() || !b.names.empty())
        c.names(a.names, b.names);
    c.text(kDescription, a.description, b.description, a.description == b.description);
    c.flag(kObsolete, a.obsolete, b.obsolete);
    switch (type) {
        case ElementType::AttributeType:
            c.refs(kSuperType, type, a.sup, b.sup);
            c.rule(kEquality, a.equality, b.equality);
            c.rule(kOrdering, a.ordering, b.ordering);
            c.rule(kSubstring, a.substr, b.substr);
            c.syntax(attrRecords ? coverage : RecordCoverage{});
            if (!attrRecords) c.flag(kSingleValue, a.singleValue, b.singleValue);
            c.flag(kCollective, a.collective, b.collective);
            if (!attrRecords)
                c.flag(kNoUserModification, a.noUserModification, b.noUserModification);
            c.text(kUsage, a.usage, b.usage, UsageKey(a.usage) == UsageKey(b.usage));
            break;
        case ElementType::ObjectClass:
            if (!classRecords) {
                c.refs(kSuperType, type, a.sup, b.sup);
                c.text(kKind, a.kind, b.kind, KindKey(a.kind) == KindKey(b.kind));
                c.refs(kMandatory, ElementType::AttributeType, a.must, b.must);
                c.refs(kOptional, ElementType::AttributeType, a.may, b.may);
            }
            break;
        case ElementType::MatchingRule:
            c.syntax();
            break;
        case ElementType::MatchingRuleUse:
            c.refs(kAppliesTo, ElementType::AttributeType, a.applies, b.applies);
            break;
        case ElementType::DitContentRule:
            c.refs(kAuxiliary, ElementType::ObjectClass, a.aux, b.aux);
            c.refs(kMandatory, ElementType::AttributeType, a.must, b.must);
            c.refs(kOptional, ElementType::AttributeType, a.may, b.may);
            c.refs(kPrecluded, ElementType::AttributeType, a.nots, b.nots);
            break;
        case ElementType::DitStructureRule:
            c.refs(kNameForm, ElementType::NameForm, {a.form}, {b.form});
            c.refs(kSuperType, type, a.sup, b.sup);
            break;
        case ElementType::NameForm:
            c.refs(kStructuralClass, ElementType::ObjectClass, {a.structuralClass},
                   {b.structuralClass});
            c.refs(kMandatory, ElementType::AttributeType, a.must, b.must);
            c.refs(kOptional, ElementType::AttributeType, a.may, b.may);
            break;
        case ElementType::LdapSyntax:
            break;
    }
    c.extensions();
    return c.take();
}
