// Everything a tree's subschema entry (or its schema files) publishes, element type by
// element type, with the lookups that compare references by meaning: a rule or syntax by
// OID or name, an attribute type or class by any of its names or its OID.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/model/LdapElement.h"

class PublishedElements {
  public:
    std::vector<LdapElement>& of(ElementType type) { return lists_[Index(type)]; }
    const std::vector<LdapElement>& of(ElementType type) const { return lists_[Index(type)]; }
    // Whether the source publishes the type at all (an empty attribute counts).
    bool publishes(ElementType type) const { return published_[Index(type)]; }
    void setPublished(ElementType type) { published_[Index(type)] = true; }
    bool empty() const;

    // Builds the lookups; call again after the lists change.
    void index();
    // Where a super type no list here defines is looked up next (the standards' system
    // schema), as a server resolves what no file defines; set before index(). It must
    // outlive this.
    void resolveThrough(const PublishedElements* fallback) { fallback_ = fallback; }
    // The attribute type (class) of that name or OID here, else in the fallback.
    const LdapElement* resolve(ElementType type, std::string_view nameOrOid) const;
    // The element of that type with this name or OID (any letter case), else nullptr.
    const LdapElement* find(ElementType type, std::string_view nameOrOid) const;

    // Keys equal for two references to the same thing, each resolved in its own tree: a
    // matching rule or syntax by its OID (the tree's own definitions, else the standard
    // ones).
    std::string ruleKey(std::string_view nameOrOid) const;
    std::string syntaxKey(std::string_view nameOrOid) const;
    // A syntax as an OID, whether written so or by its description; as written when unknown.
    std::string syntaxOid(std::string_view oidOrDescription) const;
    // What a syntax OID is: the tree's own description, else the standard one; empty when
    // neither knows it.
    std::string syntaxDescription(std::string_view oid) const;

    // The attribute type whose definition gives attr its value of field (equality,
    // ordering, substr or syntax): attr itself, or the nearest super type through SUP that
    // spells it out; null when none does. A SUP chain is followed once per tree, cycles and
    // all, so a deep or looping chain costs nothing per question.
    const LdapElement* definer(const LdapElement& attr, std::string LdapElement::*field) const;

  private:
    static std::size_t Index(ElementType type) { return static_cast<std::size_t>(type); }
    std::array<std::vector<LdapElement>, kElementTypes> lists_;
    std::array<bool, kElementTypes> published_{};
    std::array<std::unordered_map<std::string, std::size_t>, kElementTypes> lookup_;
    // For each attribute type, per inherited field, the index of its definer; -1 for none,
    // -3 - k for the fallback's k-th attribute type.
    std::array<std::vector<int>, 4> definers_;
    const PublishedElements* fallback_ = nullptr;
    void indexDefiners();
};

// Whether a reference in tree a and one in tree b name the same attribute type, class,
// name form or rule: the same spelling, or definitions that share a name or the OID.
bool SameReference(ElementType type, std::string_view refA, const PublishedElements& a,
                   std::string_view refB, const PublishedElements& b);
