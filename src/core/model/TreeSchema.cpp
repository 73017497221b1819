#include "core/model/TreeSchema.h"

#include "core/Names.h"

void TreeSchema::index() {
    published.index();
    classIndex_.clear();
    attrIndex_.clear();
    classIndex_.reserve(classes.size());
    attrIndex_.reserve(attributes.size());
    for (std::size_t i = 0; i < classes.size(); ++i)
        classIndex_.emplace(NameKey(classes[i].name), i);
    for (std::size_t i = 0; i < attributes.size(); ++i)
        attrIndex_.emplace(NameKey(attributes[i].name), i);
}

const SchemaClass* TreeSchema::findClass(const std::string& name) const {
    const auto it = classIndex_.find(NameKey(name));
    return it == classIndex_.end() ? nullptr : &classes[it->second];
}

const SchemaAttribute* TreeSchema::findAttribute(const std::string& name) const {
    const auto it = attrIndex_.find(NameKey(name));
    return it == attrIndex_.end() ? nullptr : &attributes[it->second];
}

const LdapElement* TreeSchema::elementOf(const SchemaClass& cls) const {
    const auto& list = published.of(ElementType::ObjectClass);
    return cls.element >= 0 && static_cast<std::size_t>(cls.element) < list.size()
               ? &list[static_cast<std::size_t>(cls.element)]
               : nullptr;
}

const LdapElement* TreeSchema::elementOf(const SchemaAttribute& attr) const {
    const auto& list = published.of(ElementType::AttributeType);
    return attr.element >= 0 && static_cast<std::size_t>(attr.element) < list.size()
               ? &list[static_cast<std::size_t>(attr.element)]
               : nullptr;
}

std::string TreeSchema::shownName(ElementType type, const LdapElement& element) const {
    const auto& list = published.of(type);
    if (&element >= list.data() && &element < list.data() + list.size()) {
        const int index = static_cast<int>(&element - list.data());
        if (type == ElementType::ObjectClass) {
            for (const SchemaClass& cls : classes)
                if (cls.element == index) return cls.name;
        } else if (type == ElementType::AttributeType) {
            for (const SchemaAttribute& attr : attributes)
                if (attr.element == index) return attr.name;
        }
    }
    return element.names.empty() ? element.oid : element.names.front();
}
