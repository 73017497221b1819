#include "core/model/LdapElement.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <span>

#include "core/AsciiFold.h"
#include "core/D_Util.h"

namespace {

constexpr std::array<std::string_view, kElementTypes> kAttributes = {
    "attributeTypes",  "objectClasses",   "ldapSyntaxes",      "matchingRules",
    "matchingRuleUse", "dITContentRules", "dITStructureRules", "nameForms",
};

constexpr std::size_t kShownBefore = 40;  // bytes of text before where a parse stopped

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Upper(x) == Upper(y); });
}

bool ExtensionWord(std::string_view word) {
    return word.size() >= 2 && Upper(word[0]) == 'X' && word[1] == '-';
}

bool AllDigits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), Digit); }

// How much of a word libldap takes as a numeric OID: digits separated by dots, up to the
// first other character; npos when a dot is followed by no digit.
std::size_t NumericPrefix(std::string_view word) {
    std::size_t i = 0;
    for (;;) {
        if (i >= word.size() || !Digit(word[i])) return i == 0 ? 0 : std::string_view::npos;
        while (i < word.size() && Digit(word[i])) ++i;
        if (i >= word.size() || word[i] != '.') return i;
        ++i;
    }
}

// \27 and \5C (RFC 4512 qdstring escapes) as the characters they stand for.
std::string Unescaped(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0;;) {
        const std::size_t slash = s.find('\\', i);
        out.append(s.substr(i, slash == std::string_view::npos ? slash : slash - i));
        if (slash == std::string_view::npos) return out;
        i = slash + 1;
        if (i + 1 < s.size() && s[i] == '2' && s[i + 1] == '7') {
            out += '\'';
            i += 2;
        } else if (i + 1 < s.size() && s[i] == '5' && Upper(s[i + 1]) == 'C') {
            out += '\\';
            i += 2;
        } else {
            out += '\\';
        }
    }
}

// Blanks outside quoted strings folded to one space, none at either end.
std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool gap = false;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (Blank(c)) {
            gap = true;
            ++i;
            continue;
        }
        if (gap && !out.empty()) out += ' ';
        gap = false;
        if (c != '\'') {
            out += c;
            ++i;
            continue;
        }
        const std::size_t close = text.find('\'', i + 1);
        const std::size_t end = close == std::string_view::npos ? text.size() : close + 1;
        out.append(text.substr(i, end - i));
        i = end;
    }
    return out;
}

// The C0 controls, DEL, and C1 controls in their UTF-8 form; the code point, or -1.
int ControlCharacter(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) return c;
        if (c == 0xC2 && i + 1 < s.size()) {
            const auto next = static_cast<unsigned char>(s[i + 1]);
            if (next >= 0x80 && next <= 0x9F) return next;
        }
    }
    return -1;
}

std::string CodePoint(int c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "U+00";
    out += kHex[(c >> 4) & 0xF];
    out += kHex[c & 0xF];
    return out;
}

enum class Tok : std::uint8_t { End, Open, Close, Dollar, Brace, Quoted, Unterminated, Word };

struct Token {
    Tok kind = Tok::End;
    std::string_view text;  // a word, or a quoted string's content without its quotes
};

// Tokens as libldap reads them: a word runs up to a blank, a parenthesis, a dollar, an
// apostrophe or a brace; a quoted string runs to the next apostrophe. With inner
// apostrophes on, an apostrophe between two characters other than blanks is an ordinary
// one ("Bob's"), as in the LDAP client's second reading, which escapes them.
class Lexer {
  public:
    Lexer(std::string_view text, bool innerApostrophes)
        : text_(text), innerApostrophes_(innerApostrophes) {}

    std::size_t pos() const { return pos_; }
    bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
    void skip() { ++pos_; }
    void back(std::size_t n) { pos_ -= n; }

    Token next() {
        while (pos_ < text_.size() && Blank(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) return {};
        switch (text_[pos_]) {
            case '(':
                ++pos_;
                return {Tok::Open, {}};
            case ')':
                ++pos_;
                return {Tok::Close, {}};
            case '$':
                ++pos_;
                return {Tok::Dollar, {}};
            case '{':
                ++pos_;
                return {Tok::Brace, {}};
            case '\'':
                if (!inner(pos_)) return quoted();
                break;
            default:
                break;
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && wordChar(pos_)) ++pos_;
        return {Tok::Word, text_.substr(start, pos_ - start)};
    }

    Token peek() {
        const std::size_t saved = pos_;
        const Token t = next();
        pos_ = saved;
        return t;
    }

    // The digits from here on, taken.
    std::string_view digits() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && Digit(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }

  private:
    bool wordChar(std::size_t i) const {
        const char c = text_[i];
        if (c == '\'') return inner(i);
        return !Blank(c) && c != '(' && c != ')' && c != '$' && c != '{';
    }

    bool inner(std::size_t i) const {
        return innerApostrophes_ && i > 0 && i + 1 < text_.size() && !Blank(text_[i - 1]) &&
               !Blank(text_[i + 1]);
    }

    Token quoted() {
        const std::size_t open = pos_;
        std::size_t at = open;
        do {
            at = text_.find('\'', at + 1);
            if (at == std::string_view::npos) {
                pos_ = text_.size();
                return {Tok::Unterminated, {}};
            }
        } while (inner(at));
        pos_ = at + 1;
        return {Tok::Quoted, text_.substr(open + 1, at - open - 1)};
    }

    std::string_view text_;
    bool innerApostrophes_;
    std::size_t pos_ = 0;
};

constexpr unsigned Bit(ElementType type) { return 1U << static_cast<unsigned>(type); }

// A keyword of one element type, and the row of the field it gives.
struct Keyword {
    std::string_view word;
    std::size_t row;
};

// The keywords each element type takes, from the table: built once.
const std::vector<Keyword>& KeywordsOf(ElementType type) {
    static const std::array<std::vector<Keyword>, kElementTypes> all = [] {
        std::array<std::vector<Keyword>, kElementTypes> out;
        const auto& table = FieldTable();
        for (int t = 0; t < kElementTypes; ++t)
            for (std::size_t row = 0; row < table.size(); ++row) {
                if (!table[row].of(static_cast<ElementType>(t))) continue;
                for (const std::string_view word : table[row].keywords())
                    out[static_cast<std::size_t>(t)].push_back({word, row});
            }
        return out;
    }();
    return all[static_cast<std::size_t>(type)];
}

struct Failure {
    std::string what;
    std::size_t at = 0;  // where the parse stopped: just past the token it could not take
};

// One attempt at a definition. Written as a loop over tokens with no recursion, so neither
// deep parentheses nor long texts can exhaust the stack; every step consumes input.
class Parser {
  public:
    Parser(ElementType type, std::string_view text, bool innerApostrophes)
        : type_(type), keywords_(KeywordsOf(type)), lex_(text, innerApostrophes) {
        element_.type = type;
    }

    std::optional<Failure> run() {
        if (lex_.next().kind != Tok::Open) {
            failure_ = Failure{"missing opening parenthesis", 0};
            return failure_;
        }
        if (!readOid()) return failure_;
        for (;;) {
            const Token t = lex_.next();
            switch (t.kind) {
                case Tok::Close: {
                    const auto& table = FieldTable();
                    for (std::size_t row = 0; row < table.size(); ++row)
                        if (table[row].requiredBy(type_) && !seen_[row])
                            return fail("missing required field " +
                                        std::string(table[row].keyword));
                    return std::nullopt;
                }
                case Tok::End:
                    return fail("missing closing parenthesis");
                case Tok::Unterminated:
                    return fail("unterminated quoted string");
                case Tok::Word:
                    if (!readKeyword(t.text)) return failure_;
                    break;
                default:
                    return fail("unexpected token");
            }
        }
    }

    LdapElement& element() { return element_; }

  private:
    bool Reserved(std::string_view word) const {
        if (ExtensionWord(word)) return true;
        return std::any_of(keywords_.begin(), keywords_.end(),
                           [&](const Keyword& k) { return SameWord(k.word, word); });
    }

    std::optional<Failure> fail(std::string what) {
        failure_ = Failure{std::move(what), lex_.pos()};
        return failure_;
    }
    bool error(std::string what) {
        fail(std::move(what));
        return false;
    }
    bool tokenError(const Token& t, const char* expecting) {
        if (t.kind == Tok::Unterminated) return error("unterminated quoted string");
        if (t.kind == Tok::End) return error("missing closing parenthesis");
        return error(expecting);
    }

    // Servers leave the OID out, or give a descriptor or an OID macro in its place; the
    // first word is then a keyword and stays for the loop. As in libldap, a number runs up
    // to the first character that cannot be part of it: "( 1.2.3NAME 'x' )".
    bool readOid() {
        const Token t = lex_.peek();
        if (t.kind == Tok::Word && Reserved(t.text) && type_ != ElementType::DitStructureRule)
            return true;
        lex_.next();
        if (t.kind == Tok::Quoted && type_ != ElementType::DitStructureRule) {
            element_.oid = Unescaped(t.text);
            return true;
        }
        if (t.kind != Tok::Word) return tokenError(t, "expecting an OID");
        if (type_ != ElementType::DitStructureRule) {
            element_.oid = number(t.text);
            return true;
        }
        const std::size_t digits =
            std::find_if_not(t.text.begin(), t.text.end(), Digit) - t.text.begin();
        if (digits == 0) return error("expecting a rule number");
        lex_.back(t.text.size() - digits);
        element_.oid = t.text.substr(0, digits);
        return true;
    }

    // A word that starts with a numeric OID and goes on with something else ("1.2.3NAME")
    // is the OID, the rest read next; other words whole, as written.
    std::string_view number(std::string_view word) {
        const std::size_t n = NumericPrefix(word);
        if (n == 0 || n == std::string_view::npos) return word;
        lex_.back(word.size() - n);
        return word.substr(0, n);
    }

    bool readKeyword(std::string_view word) {
        const auto k = std::find_if(keywords_.begin(), keywords_.end(),
                                    [&](const Keyword& kw) { return SameWord(kw.word, word); });
        if (k == keywords_.end()) {
            if (!ExtensionWord(word)) return error("unexpected token");
            LdapExtension ext;
            ext.name = word;
            if (!readStrings(ext.values, "expecting a value")) return false;
            element_.extensions.push_back(std::move(ext));
            return true;
        }
        // A repeated keyword is read, but the first one counts, as the mapping does with a
        // repeated extension; libldap refuses most repeats, which would lose the definition.
        // Extensions are all kept, in order.
        const FieldSpec& f = FieldTable()[k->row];
        const bool first = !seen_[k->row];
        seen_[k->row] = true;
        std::optional<LdapElement> scratch;
        LdapElement& e = first ? element_ : scratch.emplace();
        switch (f.form) {
            case FieldForm::String:
                return readString(e.*f.text);
            case FieldForm::Strings:
                return readStrings(e.*f.list, "expecting a name");
            case FieldForm::OidWord:
                return readOidWord(f.list ? (e.*f.list).emplace_back() : e.*f.text);
            case FieldForm::Oids:
                return readOids(e.*f.list);
            case FieldForm::RuleIds:
                return readRuleIds(e.*f.list);
            case FieldForm::Syntax:
            case FieldForm::RuleSyntax:
                return readSyntax(e.syntax, e.syntaxLength, f.form == FieldForm::Syntax);
            case FieldForm::Flag:
                e.*f.flag = true;
                return true;
            case FieldForm::Usage:
                return readUsage(e.*f.text);
            case FieldForm::Kind:
                e.*f.text = std::string(k->word);
                return true;
            case FieldForm::Oid:
                break;
        }
        return error("unexpected token");
    }

    // One quoted string, or a parenthesised list of them. A bare word stands for a quoted
    // one, alone unless it is one of this type's keywords.
    bool readStrings(std::vector<std::string>& out, const char* expecting) {
        const Token t = lex_.next();
        if (t.kind == Tok::Quoted) {
            out.push_back(Unescaped(t.text));
            return true;
        }
        if (t.kind == Tok::Word && !Reserved(t.text)) {
            out.emplace_back(t.text);
            return true;
        }
        if (t.kind != Tok::Open) return tokenError(t, expecting);
        for (;;) {
            const Token item = lex_.next();
            if (item.kind == Tok::Close) return true;
            if (item.kind == Tok::Quoted)
                out.push_back(Unescaped(item.text));
            else if (item.kind == Tok::Word)
                out.emplace_back(item.text);
            else
                return tokenError(item, expecting);
        }
    }

    bool readString(std::string& out) {
        const Token t = lex_.next();
        if (t.kind == Tok::Quoted) {
            out = Unescaped(t.text);
            return true;
        }
        if (t.kind == Tok::Word && !Reserved(t.text)) {
            out = t.text;
            return true;
        }
        return tokenError(t, "expecting a quoted string");
    }

    // Any word, as libldap takes it; a quoted one too.
    bool readOidWord(std::string& out) {
        const Token t = lex_.next();
        if (t.kind == Tok::Word) {
            out = t.text;
            return true;
        }
        if (t.kind == Tok::Quoted) {
            out = Unescaped(t.text);
            return true;
        }
        return tokenError(t, "expecting an OID");
    }

    // One OID, or a parenthesised list of them separated by dollars; "( )" is empty.
    bool readOids(std::vector<std::string>& out) {
        const Token t = lex_.peek();
        if (t.kind != Tok::Open) return readOidWord(out.emplace_back());
        lex_.next();
        if (lex_.peek().kind == Tok::Close) {
            lex_.next();
            return true;
        }
        for (;;) {
            if (!readOidWord(out.emplace_back())) return false;
            const Token after = lex_.next();
            if (after.kind == Tok::Close) return true;
            if (after.kind != Tok::Dollar) return tokenError(after, "expecting a dollar");
        }
    }

    // RFC 4512 separates rule ids with blanks; dollars are taken too.
    bool readRuleIds(std::vector<std::string>& out) {
        Token t = lex_.next();
        const bool list = t.kind == Tok::Open;
        if (list) t = lex_.next();
        for (;;) {
            if (list && t.kind == Tok::Close) return true;
            if (t.kind != Tok::Word || !AllDigits(t.text))
                return tokenError(t, "expecting a rule number");
            out.emplace_back(t.text);
            if (!list) return true;
            t = lex_.next();
            if (t.kind == Tok::Dollar) t = lex_.next();
        }
    }

    // OID{len}, the brace right after the OID; 'OID{len}' as some servers quote it. A matching
    // rule's syntax has no bound.
    bool readSyntax(std::string& oid, std::string& length, bool bounded) {
        const Token t = lex_.next();
        std::string_view len;
        bool braced = false;
        if (t.kind == Tok::Quoted && !bounded) {
            oid = Unescaped(t.text);
        } else if (t.kind == Tok::Quoted) {
            const std::size_t brace = t.text.find('{');
            oid = Unescaped(t.text.substr(0, brace));
            if (brace != std::string_view::npos) {
                const std::string_view rest = t.text.substr(brace + 1);
                if (rest.empty() || rest.back() != '}') return error("expecting a length");
                len = rest.substr(0, rest.size() - 1);
                braced = true;
            }
        } else if (t.kind == Tok::Word) {
            oid = number(t.text);
            if (bounded && oid.size() == t.text.size() && lex_.at('{')) {
                lex_.skip();
                len = lex_.digits();
                if (!lex_.at('}')) return error("expecting a length");
                lex_.skip();
                braced = true;
            }
        } else {
            return tokenError(t, "expecting an OID");
        }
        if (oid.empty()) return error("expecting an OID");
        if (braced && !std::all_of(len.begin(), len.end(), Digit))
            return error("expecting a length");
        // "{}" gives none; leading zeros go.
        while (len.size() > 1 && len.front() == '0') len.remove_prefix(1);
        length = len;
        return true;
    }

    bool readUsage(std::string& out) {
        const Token t = lex_.next();
        if (t.kind != Tok::Word && t.kind != Tok::Quoted) return tokenError(t, "expecting a usage");
        for (std::string_view usage :
             {"userApplications", "directoryOperation", "distributedOperation", "dSAOperation"})
            if (SameWord(usage, t.text)) {
                out = t.text;
                return true;
            }
        return error("unexpected token");
    }

    ElementType type_;
    const std::vector<Keyword>& keywords_;
    Lexer lex_;
    LdapElement element_;
    std::vector<bool> seen_ = std::vector<bool>(FieldTable().size(), false);
    Failure failure_;
};

// "after \"( 1.2 NAME 'x' BOGUS\"": up to 40 bytes before where the parse stopped, blanks
// folded, other control characters shown as '?', not starting inside a UTF-8 character.
std::string Where(std::string_view text, std::size_t at) {
    at = std::min(at, text.size());
    while (at > 0 && Blank(text[at - 1])) --at;
    std::size_t from = at > kShownBefore ? at - kShownBefore : 0;
    while (from > 0 && from < at && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
    std::string shown;
    bool gap = false;
    for (char c : text.substr(from, at - from)) {
        if (Blank(c)) {
            gap = true;
            continue;
        }
        if (gap && !shown.empty()) shown += ' ';
        gap = false;
        const auto u = static_cast<unsigned char>(c);
        shown += u < 0x20 || u == 0x7F ? '?' : c;
    }
    if (shown.empty()) return " at the start";
    return " after \"" + std::string(from > 0 ? "..." : "") + shown + "\"";
}

}  // namespace

std::string_view ElementAttribute(ElementType type) {
    return kAttributes[static_cast<std::size_t>(type)];
}

std::optional<ElementType> ElementTypeOf(std::string_view attribute) {
    for (std::size_t i = 0; i < kAttributes.size(); ++i)
        if (SameWord(kAttributes[i], attribute)) return static_cast<ElementType>(i);
    return std::nullopt;
}

ElementParse ParseLdapElement(ElementType type, std::string_view text) {
    ElementParse out;
    if (text.find('\0') != std::string_view::npos) {
        out.error = "it holds a NUL byte";
        return out;
    }
    Parser strict(type, text, false);
    std::optional<Failure> failed = strict.run();
    LdapElement* element = &strict.element();
    // As the mapping does with libldap: a text that fails is read again with each apostrophe
    // between two characters other than blanks taken as an ordinary character ("Bob's").
    // The first reading's error is the one reported.
    Parser lenient(type, text, true);
    if (failed && text.find('\'') != std::string_view::npos && !lenient.run().has_value()) {
        failed.reset();
        element = &lenient.element();
    }
    if (failed) {
        out.error = failed->what + Where(text, failed->at);
        return out;
    }
    for (const std::string& name : element->names)
        if (const int c = ControlCharacter(name); c >= 0) {
            out.error = "a name holds the control character " + CodePoint(c);
            return out;
        }
    element->text = OneLine(text);
    out.element = std::move(*element);
    return out;
}

const std::vector<FieldSpec>& FieldTable() {
    using E = LdapElement;
    using K = FieldKind;
    using F = FieldForm;
    constexpr unsigned kAll = (1U << kElementTypes) - 1;
    constexpr unsigned kAt = Bit(ElementType::AttributeType);
    constexpr unsigned kOc = Bit(ElementType::ObjectClass);
    constexpr unsigned kSyn = Bit(ElementType::LdapSyntax);
    constexpr unsigned kMr = Bit(ElementType::MatchingRule);
    constexpr unsigned kMru = Bit(ElementType::MatchingRuleUse);
    constexpr unsigned kDcr = Bit(ElementType::DitContentRule);
    constexpr unsigned kDsr = Bit(ElementType::DitStructureRule);
    constexpr unsigned kNf = Bit(ElementType::NameForm);
    constexpr ElementType AT = ElementType::AttributeType;
    constexpr ElementType OC = ElementType::ObjectClass;
    static const std::vector<FieldSpec> table = {
        {"OID", "", "", K::Oid, F::Oid, kAll, 0, AT, &E::oid, nullptr, nullptr},
        {"Names", "NAME", "", K::Names, F::Strings, kAll, 0, AT, nullptr, &E::names, nullptr},
        {"Description", "DESC", "", K::Text, F::String, kAll, 0, AT, &E::description, nullptr,
         nullptr},
        {"Obsolete", "OBSOLETE", "", K::Flag, F::Flag, kAll & ~kSyn, 0, AT, nullptr, nullptr,
         &E::obsolete},
        {"Super Type", "SUP", "", K::Ref, F::OidWord, kAt, 0, AT, nullptr, &E::sup, nullptr},
        {"Super Class", "SUP", "Super Type", K::Refs, F::Oids, kOc, 0, OC, nullptr, &E::sup,
         nullptr},
        {"Super Rule", "SUP", "Super Type", K::Refs, F::RuleIds, kDsr, 0,
         ElementType::DitStructureRule, nullptr, &E::sup, nullptr},
        {"Kind", "ABSTRACT STRUCTURAL AUXILIARY", "", K::Kind, F::Kind, kOc, 0, AT, &E::kind,
         nullptr, nullptr},
        {"Equality", "EQUALITY", "", K::Rule, F::OidWord, kAt, 0, AT, &E::equality, nullptr,
         nullptr},
        {"Ordering", "ORDERING", "", K::Rule, F::OidWord, kAt, 0, AT, &E::ordering, nullptr,
         nullptr},
        {"Substring", "SUBSTR", "", K::Rule, F::OidWord, kAt, 0, AT, &E::substr, nullptr, nullptr},
        {"Syntax", "SYNTAX", "", K::Syntax, F::Syntax, kAt, 0, AT, &E::syntax, nullptr, nullptr},
        {"Syntax", "SYNTAX", "", K::Syntax, F::RuleSyntax, kMr, kMr, AT, &E::syntax, nullptr,
         nullptr},
        {"Single Value", "SINGLE-VALUE", "", K::Flag, F::Flag, kAt, 0, AT, nullptr, nullptr,
         &E::singleValue},
        {"Collective", "COLLECTIVE", "", K::Flag, F::Flag, kAt, 0, AT, nullptr, nullptr,
         &E::collective},
        {"No User Modification", "NO-USER-MODIFICATION", "", K::Flag, F::Flag, kAt, 0, AT, nullptr,
         nullptr, &E::noUserModification},
        {"Usage", "USAGE", "", K::Usage, F::Usage, kAt, 0, AT, &E::usage, nullptr, nullptr},
        {"Name Form", "FORM", "", K::Ref, F::OidWord, kDsr, kDsr, ElementType::NameForm, &E::form,
         nullptr, nullptr},
        {"Structural Class", "OC", "", K::Ref, F::OidWord, kNf, kNf, OC, &E::structuralClass,
         nullptr, nullptr},
        {"Auxiliary Class", "AUX", "Auxiliary", K::Refs, F::Oids, kDcr, 0, OC, nullptr, &E::aux,
         nullptr},
        {"Mandatory Attribute", "MUST", "Mandatory", K::Refs, F::Oids, kOc | kDcr | kNf, kNf, AT,
         nullptr, &E::must, nullptr},
        {"Optional Attribute", "MAY", "Optional", K::Refs, F::Oids, kOc | kDcr | kNf, 0, AT,
         nullptr, &E::may, nullptr},
        {"Precluded Attribute", "NOT", "Precluded", K::Refs, F::Oids, kDcr, 0, AT, nullptr,
         &E::nots, nullptr},
        {"Applies To", "APPLIES", "", K::Refs, F::Oids, kMru, kMru, AT, nullptr, &E::applies,
         nullptr},
    };
    return table;
}

std::vector<std::string_view> FieldSpec::keywords() const {
    std::vector<std::string_view> out;
    std::string_view words = keyword;
    while (!words.empty()) {
        const std::size_t blank = words.find(' ');
        out.push_back(words.substr(0, blank));
        words = blank == std::string_view::npos ? std::string_view() : words.substr(blank + 1);
    }
    return out;
}

const LdapExtension* FindExtension(const LdapElement& element, std::string_view name) {
    for (const LdapExtension& x : element.extensions)
        if (fold::FoldEqual(x.name, name)) return &x;
    return nullptr;
}

std::string ExtensionValue(const LdapElement& element, std::string_view name) {
    const LdapExtension* x = FindExtension(element, name);
    return x == nullptr || x->values.empty() ? std::string() : x->values.front();
}

bool ExtensionFlag(const LdapElement& element, std::string_view name) {
    const LdapExtension* x = FindExtension(element, name);
    if (x == nullptr) return false;
    if (x->values.empty()) return true;
    const std::string first = AsciiLower(TrimBlanks(x->values.front()));
    return first != "0" && first != "false";
}
