// Arbitrary bytes as an OpenLDAP .schema file and as an LDIF dump, each read into
// definitions and mapped into a tree: every definition is either kept or counted as
// skipped, names are never empty and never taken twice, identifiers are well formed, every
// record has its published element and every published definition its canonical form.
// The bytes, and every definition read, as each type of schema element: read, or refused
// with a reason.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "core/model/LdapElement.h"
#include "sources/LdapSchema.h"
#include "sources/SchemaFileTree.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_schema_readers: broken invariant: %s\n", what);
        std::abort();
    }
}

std::string Folded(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void CheckIdentifier(const Asn1Id& id) {
    Check(id.length <= 32, "an identifier fits 32 bytes");
    if (id.length == 0) return;
    Check(id.length >= 3 && id.data[0] == 6, "an identifier is an OID's BER encoding");
    Check(id.data[1] + 2u == id.length, "the BER length matches");
    Check((id.data[id.length - 1] & 0x80) == 0, "the last arc ends");
}

std::size_t SkippedOf(const std::vector<SkippedDefinition>& skipped, const std::string& kind) {
    std::size_t n = 0;
    for (const SkippedDefinition& s : skipped) {
        Check(!s.reason.empty(), "a skipped definition says why");
        if (s.kind == kind) ++n;
    }
    return n;
}

void ReadAsElement(ElementType type, const std::string& text) {
    const ElementParse p = ParseLdapElement(type, text);
    Check(p.element.has_value() != !p.error.empty(), "an element is read or refused with a reason");
    if (!p.element) return;
    Check(p.element->type == type, "an element has the type asked for");
    for (const std::string& name : p.element->names)
        for (char c : name)
            Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "names hold no control");
}

void MapAndCheck(const SchemaDefinitions& definitions,
                 const std::vector<SkippedDefinition>& readSkipped) {
    const TreeSchema schema = MapLdapSchema(definitions);
    for (int t = 0; t < kElementTypes; ++t) {
        const auto type = static_cast<ElementType>(t);
        Check(schema.published.of(type).size() +
                      SkippedOf(schema.skipped, std::string(KindOfDefinition(type))) ==
                  definitions.texts(type).size(),
              "every definition kept or skipped");
        if (!definitions.texts(type).empty())
            Check(schema.published.publishes(type), "a type with definitions is published");
    }
    Check(schema.classes.size() == schema.published.of(ElementType::ObjectClass).size() &&
              schema.attributes.size() == schema.published.of(ElementType::AttributeType).size(),
          "every class and attribute type kept is a record");
    SkippedOf(readSkipped, "");

    std::set<std::string> classNames;
    for (const SchemaClass& c : schema.classes) {
        Check(!c.name.empty(), "a class has a name");
        Check(classNames.insert(Folded(c.name)).second, "class names are unique");
        Check(schema.elementOf(c) != nullptr, "a class has its element");
        const SimClass record = ClassRecord(schema, c);
        CheckIdentifier(record.id);
        for (const std::vector<std::string>& items : record.items)
            for (const std::string& item : items) Check(!item.empty(), "list items have names");
    }
    std::set<std::string> attrNames;
    for (const SchemaAttribute& a : schema.attributes) {
        Check(!a.name.empty(), "an attribute has a name");
        Check(attrNames.insert(Folded(a.name)).second, "attribute names are unique");
        Check(schema.elementOf(a) != nullptr, "an attribute has its element");
        CheckIdentifier(AttributeRecord(schema, a).info.asn1ID);
    }

    // What the fix-up writers read: every definition with a canonical form.
    const PublishedSchema view = PublishedView(schema);
    Check(view.attributeTypes.size() == schema.attributes.size() &&
              view.objectClasses.size() == schema.classes.size(),
          "the published view holds every record");
    for (const auto* list : {&view.attributeTypes, &view.objectClasses})
        for (const PublishedDefinition& p : *list)
            Check(!p.canonical.empty() && !p.text.empty(), "a definition has its forms");

    // The skipped ones are told.
    const std::string text = SkippedDefinitionsText(schema.skipped, "fuzz");
    Check(schema.skipped.empty() == text.empty(), "skipped definitions are reported");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (int type = 0; type < kElementTypes; ++type)
        ReadAsElement(static_cast<ElementType>(type), text);
    for (const bool ldif : {false, true}) {
        SchemaDefinitions definitions;
        std::vector<SkippedDefinition> skipped;
        if (ldif)
            ParseLdifText(text, definitions, skipped);
        else
            ParseSchemaFileText(text, definitions, skipped);
        MapAndCheck(definitions, skipped);
        for (int type = 0; type < kElementTypes; ++type)
            for (const std::string& t : definitions.texts(static_cast<ElementType>(type)))
                ReadAsElement(static_cast<ElementType>(type), t);
    }
    return 0;
}
