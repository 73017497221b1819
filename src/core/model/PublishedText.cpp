#include "core/model/PublishedText.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "core/D_Util.h"
#include "core/model/LdapMapping.h"
#include "core/model/PublishedElements.h"

namespace {

bool WordChar(char c) { return !IsLineBlank(c) && c != '(' && c != ')' && c != '$' && c != '\''; }

std::string ExpandWord(const std::string& word,
                       const std::function<std::string(const std::string&)>& expand) {
    // SYNTAX OLcfgSyn:5{32}: the bound stays as it is.
    const std::size_t brace = word.find('{');
    const std::string oid = word.substr(0, brace);
    if (oid.empty()) return word;
    const std::string expanded = expand(oid);
    return expanded == oid ? word
                           : expanded + (brace == std::string::npos ? "" : word.substr(brace));
}

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AsciiLower(std::string(a)) == AsciiLower(std::string(b));
}

// The parts an attribute type inherits, each from itself or the nearest type up its super
// chain that has it.
struct Inheritable {
    const std::string* syntax = nullptr;
    const std::string* syntaxLength = nullptr;
    const std::string* equality = nullptr;
    const std::string* ordering = nullptr;
    const std::string* substr = nullptr;
};

class Writer {
  public:
    explicit Writer(std::size_t size) { out_.reserve(size + 16); }

    void word(std::string_view keyword) {
        out_ += keyword;
        out_ += ' ';
    }
    // Apostrophes and backslashes escaped: a value reads the same whatever escapes its
    // text used.
    void quoted(std::string_view value) {
        out_ += '\'';
        for (char c : value) {
            if (c == '\'')
                out_ += "\\27";
            else if (c == '\\')
                out_ += "\\5C";
            else
                out_ += c;
        }
        out_ += "' ";
    }
    void strings(std::string_view keyword, const std::vector<std::string>& values) {
        if (values.empty()) return;
        word(keyword);
        word("(");
        for (const std::string& v : values) quoted(v);
        word(")");
    }
    void oid(std::string_view keyword, std::string_view value) {
        if (value.empty()) return;
        word(keyword);
        word(value);
    }
    // In the published order, or lower-cased and sorted.
    void oids(std::string_view keyword, const std::vector<std::string>& values, bool sorted) {
        if (values.empty()) return;
        word(keyword);
        word("(");
        if (!sorted) {
            for (const std::string& v : values) word(v);
        } else {
            std::vector<std::string> lowered;
            lowered.reserve(values.size());
            for (const std::string& v : values) lowered.push_back(AsciiLower(v));
            std::sort(lowered.begin(), lowered.end());
            for (const std::string& v : lowered) word(v);
        }
        word(")");
    }
    void flag(std::string_view keyword, bool set) {
        if (set) word(keyword);
    }
    std::string done() {
        out_ += ')';
        return std::move(out_);
    }

  private:
    std::string out_;
};

// An inherited rule or syntax as its definer gives it; null when none does.
const std::string* InheritedPart(const Inheritable& parts, std::string LdapElement::*field) {
    if (field == &LdapElement::equality) return parts.equality;
    if (field == &LdapElement::ordering) return parts.ordering;
    if (field == &LdapElement::substr) return parts.substr;
    return parts.syntax;
}

std::string Render(const LdapElement& e, const Inheritable& parts) {
    Writer w(e.text.size());
    w.word("(");
    // A class's lists are sets: written sorted.
    const bool sets = e.type == ElementType::ObjectClass;
    for (const FieldSpec& f : FieldTable()) {
        if (!f.of(e.type)) continue;
        const std::string keyword(f.keyword);
        switch (f.form) {
            case FieldForm::Oid:
                w.word(e.*f.text);
                break;
            case FieldForm::String:
                if (!(e.*f.text).empty()) {
                    w.word(keyword);
                    w.quoted(e.*f.text);
                }
                break;
            case FieldForm::Strings:
                w.strings(keyword, e.*f.list);
                break;
            case FieldForm::OidWord:
                if (f.kind == FieldKind::Rule) {
                    if (const std::string* rule = InheritedPart(parts, f.text))
                        w.oid(keyword, *rule);
                } else if (f.list) {
                    const auto& list = e.*f.list;
                    w.oid(keyword, list.empty() ? std::string() : AsciiLower(list.front()));
                } else {
                    w.oid(keyword, e.*f.text);
                }
                break;
            case FieldForm::Oids:
            case FieldForm::RuleIds:
                w.oids(keyword, e.*f.list, sets);
                break;
            case FieldForm::Syntax:
            case FieldForm::RuleSyntax:
                if (parts.syntax && !parts.syntax->empty()) {
                    const std::uint32_t bound =
                        parts.syntaxLength ? SyntaxBound(*parts.syntaxLength) : 0;
                    w.word(keyword);
                    w.word(bound == 0 ? *parts.syntax
                                      : *parts.syntax + "{" + std::to_string(bound) + "}");
                }
                break;
            case FieldForm::Flag:
                w.flag(keyword, e.*f.flag);
                break;
            case FieldForm::Usage:
                if (IsOperational(e)) {
                    w.word(keyword);
                    w.word(AsciiLower(e.usage));
                }
                break;
            case FieldForm::Kind:
                w.word(e.kind.empty() ? "STRUCTURAL" : e.kind);
                break;
        }
    }
    for (const LdapExtension& x : e.extensions) {
        if (SameWord(x.name, "X-ORIGIN")) continue;
        w.strings(x.name, x.values);
        if (x.values.empty()) w.word(x.name);
    }
    return w.done();
}

Inheritable OwnParts(const LdapElement& e) {
    auto given = [](const std::string& s) { return s.empty() ? nullptr : &s; };
    return {given(e.syntax), given(e.syntaxLength), given(e.equality), given(e.ordering),
            given(e.substr)};
}

}  // namespace

std::string PublishedOneLine(const std::string& text,
                             const std::function<std::string(const std::string&)>& expand) {
    std::string out;
    out.reserve(text.size());
    bool quoted = false;
    bool gap = false;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (quoted) {
            out += c;
            if (c == '\'') quoted = false;
            ++i;
            continue;
        }
        if (IsLineBlank(c)) {
            gap = true;
            ++i;
            continue;
        }
        if (gap && !out.empty()) out += ' ';
        gap = false;
        if (c == '\'') {
            quoted = true;
            out += c;
            ++i;
        } else if (!WordChar(c)) {
            out += c;
            ++i;
        } else {
            std::size_t end = i;
            while (end < text.size() && WordChar(text[end])) ++end;
            out += ExpandWord(text.substr(i, end - i), expand);
            i = end;
        }
    }
    return out;
}

bool IsOperational(const LdapElement& type) {
    return !type.usage.empty() && !SameWord(type.usage, "userApplications");
}

std::string CanonicalForm(const LdapElement& element) { return Render(element, OwnParts(element)); }

std::string CanonicalObjectClass(const std::string& text) {
    const ElementParse parsed = ParseLdapElement(ElementType::ObjectClass, text);
    return parsed.element ? CanonicalForm(*parsed.element) : std::string();
}

std::vector<std::string> CanonicalAttributeTypes(const std::vector<const LdapElement*>& types) {
    std::unordered_map<std::string, std::size_t> index;
    index.reserve(types.size() * 2);
    std::vector<Inheritable> parts(types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (types[i] == nullptr) continue;
        for (const std::string& name : types[i]->names) index.try_emplace(AsciiLower(name), i);
        if (!types[i]->oid.empty()) index.try_emplace(AsciiLower(types[i]->oid), i);
        parts[i] = OwnParts(*types[i]);
    }
    // Each type takes what it lacks from its super type once that one is complete: a walk
    // without recursion, chains being as deep as a schema makes them.
    enum : unsigned char { kOpen, kBusy, kDone };
    std::vector<unsigned char> state(types.size(), kOpen);
    auto super = [&](std::size_t i) -> std::optional<std::size_t> {
        if (types[i] == nullptr || types[i]->sup.empty()) return std::nullopt;
        const auto it = index.find(AsciiLower(types[i]->sup.front()));
        if (it == index.end()) return std::nullopt;
        return it->second;
    };
    std::vector<std::size_t> stack;
    for (std::size_t root = 0; root < types.size(); ++root) {
        stack.assign(1, root);
        while (!stack.empty()) {
            const std::size_t i = stack.back();
            if (state[i] == kDone) {
                stack.pop_back();
                continue;
            }
            const std::optional<std::size_t> up = super(i);
            if (state[i] == kOpen && up && state[*up] == kOpen) {
                state[i] = kBusy;
                stack.push_back(*up);
                continue;
            }
            if (up && state[*up] == kDone) {  // not on a loop
                Inheritable& mine = parts[i];
                const Inheritable& theirs = parts[*up];
                if (mine.syntax == nullptr) {
                    mine.syntax = theirs.syntax;
                    mine.syntaxLength = theirs.syntaxLength;
                }
                if (mine.equality == nullptr) mine.equality = theirs.equality;
                if (mine.ordering == nullptr) mine.ordering = theirs.ordering;
                if (mine.substr == nullptr) mine.substr = theirs.substr;
            }
            state[i] = kDone;
            stack.pop_back();
        }
    }
    std::vector<std::string> out(types.size());
    for (std::size_t i = 0; i < types.size(); ++i)
        if (types[i] != nullptr) out[i] = Render(*types[i], parts[i]);
    return out;
}

void CompleteAttributeTypes(std::vector<PublishedDefinition>& types) {
    std::vector<std::optional<LdapElement>> parsed;
    parsed.reserve(types.size());
    std::vector<const LdapElement*> elements;
    elements.reserve(types.size());
    for (const PublishedDefinition& def : types) {
        parsed.push_back(ParseLdapElement(ElementType::AttributeType, def.text).element);
        elements.push_back(parsed.back() ? &*parsed.back() : nullptr);
    }
    std::vector<std::string> canonical = CanonicalAttributeTypes(elements);
    for (std::size_t i = 0; i < types.size(); ++i) {
        types[i].canonical = std::move(canonical[i]);
        if (elements[i] != nullptr) types[i].operational = IsOperational(*elements[i]);
    }
}
