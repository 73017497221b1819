// Arbitrary bytes as an OpenLDAP .schema file and as an LDIF dump, each read into
// definitions and mapped into a tree: every definition is either mapped or counted as
// skipped, names are never empty and never taken twice, identifiers are well formed. The
// bytes, and every definition read, as each type of schema element: read, or refused
// with a reason.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "LdapElement.h"
#include "LdapSchema.h"
#include "SchemaFileTree.h"

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
    const SchemaMapping mapping = MapSchema(definitions);
    const SimTree& tree = mapping.tree;
    Check(tree.classes.size() + SkippedOf(mapping.skipped, "object class") ==
              definitions.objectClasses.size(),
          "every object class mapped or skipped");
    Check(tree.attributes.size() + SkippedOf(mapping.skipped, "attribute type") ==
              definitions.attributeTypes.size(),
          "every attribute type mapped or skipped");
    SkippedOf(readSkipped, "");

    std::set<std::string> classNames;
    for (const SimClass& c : tree.classes) {
        Check(!c.name.empty(), "a class has a name");
        Check(classNames.insert(Folded(c.name)).second, "class names are unique");
        CheckIdentifier(c.id);
        for (const std::vector<std::string>& items : c.items)
            for (const std::string& item : items) Check(!item.empty(), "list items have names");
    }
    std::set<std::string> attrNames;
    for (const SimAttr& a : tree.attributes) {
        Check(!a.name.empty(), "an attribute has a name");
        Check(attrNames.insert(Folded(a.name)).second, "attribute names are unique");
        CheckIdentifier(a.info.asn1ID);
    }

    // The skipped ones become visible at the end of the lists, and nothing else changes.
    SimTree marked = tree;
    const std::string text = MarkSkippedDefinitions(marked, mapping.skipped, "fuzz");
    Check(mapping.skipped.empty() == text.empty(), "skipped definitions are reported");
    Check(marked.classes.size() >= tree.classes.size() &&
              marked.attributes.size() >= tree.attributes.size(),
          "marking only adds");
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
        for (const std::string& t : definitions.attributeTypes)
            ReadAsElement(ElementType::AttributeType, t);
        for (const std::string& t : definitions.objectClasses)
            ReadAsElement(ElementType::ObjectClass, t);
        for (const std::string& t : definitions.ldapSyntaxes)
            ReadAsElement(ElementType::LdapSyntax, t);
    }
    return 0;
}
