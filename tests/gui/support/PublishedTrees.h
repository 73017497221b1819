// Trees whose sources publish their definitions, built as the core holds them: each
// class and attribute with its record and, where given, its published element.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/model/TreeSchema.h"

// A published element with its OID, one name and its text; other fields are set by the
// caller.
inline LdapElement Published(ElementType type, std::string oid, std::string name,
                             std::string text) {
    LdapElement e;
    e.type = type;
    e.oid = std::move(oid);
    if (!name.empty()) e.names.push_back(std::move(name));
    e.text = std::move(text);
    return e;
}

class PublishedTree {
  public:
    PublishedTree() {
        schema_->published.setPublished(ElementType::AttributeType);
        schema_->published.setPublished(ElementType::ObjectClass);
    }
    // An attribute of that syntax id; with an element, its published definition.
    PublishedTree& attribute(const std::string& name, std::uint32_t syntax,
                             std::optional<LdapElement> element = std::nullopt) {
        SchemaAttribute& a = schema_->attributes.emplace_back();
        a.name = name;
        a.info.attrSyntaxID = syntax;
        a.element = add(ElementType::AttributeType, std::move(element));
        return *this;
    }
    PublishedTree& objectClass(const std::string& name, std::uint32_t flags,
                               std::optional<LdapElement> element = std::nullopt) {
        SchemaClass& c = schema_->classes.emplace_back();
        c.name = name;
        c.flags = flags;
        c.element = add(ElementType::ObjectClass, std::move(element));
        return *this;
    }
    // One of the other element types, which the tree then publishes.
    PublishedTree& other(LdapElement element) {
        schema_->published.setPublished(element.type);
        add(element.type, std::move(element));
        return *this;
    }
    std::shared_ptr<const TreeSchema> done() {
        schema_->index();
        return schema_;
    }

  private:
    int add(ElementType type, std::optional<LdapElement> element) {
        if (!element) return -1;
        auto& list = schema_->published.of(type);
        list.push_back(std::move(*element));
        return static_cast<int>(list.size()) - 1;
    }
    std::shared_ptr<TreeSchema> schema_ = std::make_shared<TreeSchema>();
};
