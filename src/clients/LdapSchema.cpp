#include "LdapSchema.h"

#include <memory>

namespace {

constexpr const char* kSkippedMarker = "\x01skipped definitions";

}  // namespace

SimTree ServedTree(const TreeSchema& schema) {
    SimTree tree;
    tree.defaultContext = schema.defaultContext;
    tree.classes = schema.classes;
    tree.attributes = schema.attributes;
    tree.published = std::make_shared<PublishedSchema>(PublishedView(schema));
    return tree;
}

SchemaMapping MapSchema(const SchemaDefinitions& definitions) {
    TreeSchema schema = MapLdapSchema(definitions);
    return {ServedTree(schema), schema.ndsStyle, std::move(schema.skipped)};
}

std::string MarkSkippedDefinitions(SimTree& tree, const std::vector<SkippedDefinition>& skipped,
                                   const std::string& source) {
    if (skipped.empty()) return {};
    // One marker, at the end of the attribute names (read after the classes), so a load
    // reports the skipped definitions once, after every good name has arrived.
    SimAttr marker;
    marker.name = kSkippedMarker;
    tree.attributes.push_back(marker);
    tree.failures.push_back({"dcTakeAttr", marker.name, ldapcode::kBadSchema, 0});
    return SkippedDefinitionsText(skipped, source);
}
