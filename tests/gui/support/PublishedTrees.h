// Trees whose sources publish their definitions, built as the core holds them: each
// class and attribute type by its name and its published element.
#pragma once

#include <memory>
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
    // An attribute type or class by the name the lists give it, and its definition.
    PublishedTree& attribute(const std::string& name, LdapElement element) {
        schema_->attributes.push_back({name, add(ElementType::AttributeType, std::move(element))});
        return *this;
    }
    PublishedTree& objectClass(const std::string& name, LdapElement element) {
        schema_->classes.push_back({name, add(ElementType::ObjectClass, std::move(element))});
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
    int add(ElementType type, LdapElement element) {
        auto& list = schema_->published.of(type);
        list.push_back(std::move(element));
        return static_cast<int>(list.size()) - 1;
    }
    std::shared_ptr<TreeSchema> schema_ = std::make_shared<TreeSchema>();
};
