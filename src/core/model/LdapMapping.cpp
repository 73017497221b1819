#include "core/model/LdapMapping.h"

#include <algorithm>
#include <limits>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "core/AsciiFold.h"
#include "core/ControlChars.h"
#include "core/D_Util.h"
#include "core/directory/D_NW.h"
#include "core/model/PublishedText.h"
#include "core/model/SystemSchema.h"

bool IsNumericOid(std::string_view oid) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = oid.find('.', start);
        const std::string_view arc =
            oid.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (arc.empty() || arc.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
        if (dot == std::string_view::npos) return true;
        start = dot + 1;
    }
}

namespace {

constexpr std::size_t kShownDefinition = 160;  // of a skipped definition, in messages
constexpr std::size_t kListedSkipped = 20;     // skipped definitions named in one message

// Syntaxes come first: the mapping of the others reads them.
constexpr ElementType kReadOrder[] = {
    ElementType::LdapSyntax,       ElementType::AttributeType,   ElementType::ObjectClass,
    ElementType::MatchingRule,     ElementType::MatchingRuleUse, ElementType::DitContentRule,
    ElementType::DitStructureRule, ElementType::NameForm,
};

bool HasNdsExtension(const LdapElement& e) {
    return std::any_of(e.extensions.begin(), e.extensions.end(), [](const LdapExtension& x) {
        return x.name.size() >= 6 &&
               fold::FoldEqual(std::string_view(x.name).substr(0, 6), "X-NDS_");
    });
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
    SchemaDefinitions::Place place;     // where it was written, when known
    std::string shown;                  // the name the tree gives it
    std::string ndsName;                // X-NDS_NAME, or empty
};

std::string ShownName(const std::string& ndsName, const LdapElement& e) {
    if (!ndsName.empty()) return ndsName;
    if (!e.names.empty() && !e.names.front().empty()) return e.names.front();
    return e.oid;
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
                       bool classes, const SchemaDefinitions& definitions,
                       std::vector<SkippedDefinition>& skipped) {
    constexpr std::size_t kItemLimit = kDirNameBufferSize - 1;
    std::erase_if(defs, [&](const Named& def) {
        if (def.shown.size() > limit) {
            skipped.push_back({std::string(kind), *def.text,
                               "its name \"" + NameExcerpt(def.shown) + "\" has " +
                                   std::to_string(def.shown.size()) + " bytes, more than the " +
                                   std::to_string(limit) + " the reads take",
                               definitions.placeText(def.place)});
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
                                       definitions.placeText(def.place)});
                    return true;
                }
        return false;
    });
}

// Keeps the first definition of each name shown; the others are skipped.
void DropRepeatedNames(std::vector<Named>& defs, std::string_view kind,
                       const SchemaDefinitions& definitions,
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
                               "a second definition named \"" + def.shown + "\"",
                               definitions.placeText(def.place)});
    }
    defs = std::move(kept);
}

std::string Shortened(const std::string& text) {
    std::string flat;
    for (char c : text) flat += IsLineBlank(c) ? ' ' : c;
    flat = TrimBlanks(flat);
    return flat.size() > kShownDefinition ? flat.substr(0, kShownDefinition) + "..." : flat;
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

void SchemaDefinitions::add(ElementType type, std::string text, Place place) {
    std::vector<std::string>& list = texts(type);
    std::vector<Place>& at = places[static_cast<std::size_t>(type)];
    at.resize(list.size());  // texts added without a place have none
    list.push_back(std::move(text));
    at.push_back(place);
}

std::uint32_t SchemaDefinitions::fileNumber(const std::string& file) {
    if (file.empty()) return 0;
    // Files are few, and a reader asks once for each.
    for (std::size_t i = 0; i < files.size(); ++i)
        if (files[i] == file) return static_cast<std::uint32_t>(i + 1);
    files.push_back(file);
    return static_cast<std::uint32_t>(files.size());
}

std::string SchemaDefinitions::placeText(Place place) const {
    if (place.file == 0 || place.file > files.size()) return {};
    return files[place.file - 1] + ":" + std::to_string(place.line);
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

namespace {

// References from files to what neither they nor the system schema define. The named
// definitions have been moved into the tree's lists, in the same order.
void NoteUnresolved(TreeSchema& out, ElementType type, const std::vector<Named>& named,
                    const SchemaDefinitions& definitions) {
    const std::vector<LdapElement>& list = out.published.of(type);
    const std::string kind(KindOfDefinition(type));
    for (std::size_t i = 0; i < list.size() && i < named.size(); ++i) {
        const LdapElement& e = list[i];
        const auto check = [&](const char* keyword, ElementType refers,
                               const std::vector<std::string>& refs) {
            for (const std::string& ref : refs)
                if (out.published.resolve(refers, ref) == nullptr)
                    out.unresolved.push_back({kind, named[i].shown, keyword + (" " + ref),
                                              definitions.placeText(named[i].place)});
        };
        check("SUP", type, e.sup);
        if (type == ElementType::ObjectClass) {
            check("MUST", ElementType::AttributeType, e.must);
            check("MAY", ElementType::AttributeType, e.may);
        }
    }
}

}  // namespace

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
        const std::vector<SchemaDefinitions::Place>& places = definitions.places[t];
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::string& text = texts[i];
            const SchemaDefinitions::Place at =
                i < places.size() ? places[i] : SchemaDefinitions::Place{};
            const auto place = [&] { return definitions.placeText(at); };
            ElementParse parsed = ParseLdapElement(type, text);
            if (!parsed.element) {
                out.skipped.push_back({kind, text, std::move(parsed.error), place()});
                continue;
            }
            LdapElement& e = *parsed.element;
            macros.expandIn(e);
            if (named) {
                Named def;
                def.text = &text;
                def.place = at;
                def.ndsName = ExtensionValue(e, "X-NDS_NAME");
                def.shown = ShownName(def.ndsName, e);
                if (def.shown.empty()) {
                    out.skipped.push_back(
                        {kind, text, "it has neither a name nor an OID", place()});
                    continue;
                }
                if (NameHoldsControlChar(def, e)) {
                    out.skipped.push_back({kind, text, kControlCharInName, place()});
                    continue;
                }
                if (HasNdsExtension(e)) out.ndsStyle = true;
                def.element = std::move(e);
                (type == ElementType::AttributeType ? attrs : classes).push_back(std::move(def));
                continue;
            }
            if (e.oid.empty()) {
                out.skipped.push_back({kind, text, "it has no OID", place()});
                continue;
            }
            if (HasNdsExtension(e)) out.ndsStyle = true;
            list.push_back(std::move(e));
        }
    }

    DropOverlongNames(attrs, KindOfDefinition(ElementType::AttributeType), kMaxAttrNameBytes, false,
                      definitions, out.skipped);
    DropOverlongNames(classes, KindOfDefinition(ElementType::ObjectClass), kMaxClassNameBytes, true,
                      definitions, out.skipped);
    DropRepeatedNames(attrs, KindOfDefinition(ElementType::AttributeType), definitions,
                      out.skipped);
    DropRepeatedNames(classes, KindOfDefinition(ElementType::ObjectClass), definitions,
                      out.skipped);
    out.attributes.reserve(attrs.size());
    for (std::size_t a = 0; a < attrs.size(); ++a)
        out.attributes.push_back({attrs[a].shown, static_cast<int>(a)});
    out.classes.reserve(classes.size());
    for (std::size_t c = 0; c < classes.size(); ++c)
        out.classes.push_back({classes[c].shown, static_cast<int>(c)});

    std::vector<LdapElement>& types = out.published.of(ElementType::AttributeType);
    for (Named& def : attrs) types.push_back(std::move(def.element));
    std::vector<LdapElement>& objectClasses = out.published.of(ElementType::ObjectClass);
    for (Named& def : classes) objectClasses.push_back(std::move(def.element));
    // A server builds the standards' system schema in; files build on it without defining it.
    out.published.resolveThrough(&SystemSchema());
    out.index();
    if (!definitions.files.empty()) {
        NoteUnresolved(out, ElementType::AttributeType, attrs, definitions);
        NoteUnresolved(out, ElementType::ObjectClass, classes, definitions);
    }
    // OpenLDAP publishes its configuration schema: it takes schema changes through cn=config.
    out.origin.openLdapConfig = out.published.find(ElementType::ObjectClass, "olcSchemaConfig");
    return out;
}

std::string UnresolvedReferencesText(const std::vector<SkippedDefinition>& unresolved,
                                     const std::string& source) {
    if (unresolved.empty()) return {};
    std::string text = EscapeControlChars(source) + ": " + std::to_string(unresolved.size()) +
                       (unresolved.size() == 1 ? " reference names" : " references name") +
                       " what no file defines, nor the standard schema:";
    const std::size_t shown = std::min(unresolved.size(), kListedSkipped);
    for (std::size_t i = 0; i < shown; ++i) {
        const SkippedDefinition& u = unresolved[i];
        text += "\n- ";
        if (!u.place.empty()) text += EscapeControlChars(u.place) + ": ";
        text += u.kind + " " + EscapeControlChars(u.text) + ": " + EscapeControlChars(u.reason);
    }
    if (unresolved.size() > shown)
        text += "\n- and " + std::to_string(unresolved.size() - shown) + " more";
    return text;
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
    out.ndsStyle = schema.ndsStyle;
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
