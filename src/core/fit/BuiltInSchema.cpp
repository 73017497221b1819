#include "core/fit/BuiltInSchema.h"

#include <string_view>

#include "core/model/SystemSchema.h"

namespace {

// slapd's own, set by the server like the standards' operational types.
constexpr std::string_view kEntryCsn =
    "( 1.3.6.1.4.1.4203.666.1.7 NAME 'entryCSN' EQUALITY CSNMatch SYNTAX "
    "1.3.6.1.4.1.4203.666.11.2.1{64} SINGLE-VALUE NO-USER-MODIFICATION USAGE directoryOperation )";

bool Known(const TreeSchema& tree, ElementType type, const LdapElement& e) {
    if (tree.published.find(type, e.oid)) return true;
    for (const std::string& name : e.names)
        if (tree.published.find(type, name)) return true;
    return false;
}

void Add(TreeSchema& out, const TreeSchema& tree, ElementType type, const LdapElement& e) {
    if (Known(tree, type, e)) return;
    std::vector<LdapElement>& list = out.published.of(type);
    list.push_back(e);
    const std::string name = e.names.empty() ? e.oid : e.names.front();
    const int index = static_cast<int>(list.size() - 1);
    if (type == ElementType::ObjectClass)
        out.classes.push_back({name, index});
    else
        out.attributes.push_back({name, index});
}

}  // namespace

bool LacksBuiltInSchema(const TreeSchema& tree) {
    return tree.published.find(ElementType::AttributeType, "2.5.4.0") == nullptr &&
           tree.published.find(ElementType::AttributeType, "objectClass") == nullptr;
}

TreeSchema WithBuiltInSchema(const TreeSchema& tree) {
    TreeSchema out = tree;
    for (ElementType type : {ElementType::AttributeType, ElementType::ObjectClass})
        for (const LdapElement& e : SystemSchema().of(type)) Add(out, tree, type, e);
    if (const ElementParse csn = ParseLdapElement(ElementType::AttributeType, kEntryCsn);
        csn.element)
        Add(out, tree, ElementType::AttributeType, *csn.element);
    out.published.setPublished(ElementType::AttributeType);
    out.published.setPublished(ElementType::ObjectClass);
    out.index();
    return out;
}
