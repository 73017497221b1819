// A tree's schema made ready for checking entries: every class and attribute type by any
// of its names or its OID (with what slapd builds in, for a tree of its .schema files), an
// attribute's syntax, equality and bound as it has them through SUP, a class's super
// classes resolved once. Read only once built, so any number of threads check against one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/fit/ValueEquality.h"
#include "core/fit/ValueSyntax.h"
#include "core/model/TreeSchema.h"

struct FitAttribute {
    std::string name;    // as the tree's lists give it
    std::string oidKey;  // its OID in lower case, else its name: what a DN's type becomes
    ValueSyntax syntax = ValueSyntax::None;
    int syntaxSlot = -1;  // for None: which unchecked syntax, in FitSchema::uncheckedSyntaxes
    ValueEquality equality = ValueEquality::None;
    std::size_t maxLength = 0;  // 0: no bound
    bool singleValue = false;
    bool serverSet = false;    // NO-USER-MODIFICATION
    bool serverFills = false;  // missing, the server gives it a value (AD's objectCategory)
    bool operational = false;  // a USAGE other than userApplications
    bool objectClass = false;  // the objectClass attribute itself
};

enum class FitClassKind : std::uint8_t { Structural, Auxiliary, Abstract };

struct FitClass {
    std::string name;
    FitClassKind kind = FitClassKind::Structural;
    std::vector<int> sups;  // the super classes the tree knows
    std::vector<int> must;  // its own, not inherited
    std::vector<int> may;
    bool extensible = false;  // extensibleObject: any attribute
    int contentRule = -1;
};

struct FitContentRule {
    std::vector<int> aux;
    std::vector<int> must;
    std::vector<int> may;
    std::vector<int> nots;
};

// A name the tree does not know, taken through the other tree's OID.
struct FitMappedName {
    std::string from;  // as the other tree names it
    std::string to;    // as this tree does
};

class FitSchema {
  public:
    // mapFrom, when given: names this tree lacks are matched through that tree's OIDs.
    explicit FitSchema(const TreeSchema& tree, const TreeSchema* mapFrom = nullptr);

    struct Found {
        int index = -1;   // -1: not known
        int mapped = -1;  // the index in mappedNames() when found through the other tree
    };
    Found attribute(std::string_view nameOrOid) const;
    Found objectClass(std::string_view nameOrOid) const;

    const std::vector<FitAttribute>& attributes() const { return attributes_; }
    const std::vector<FitClass>& classes() const { return classes_; }
    const std::vector<FitContentRule>& contentRules() const { return rules_; }
    const std::vector<std::string>& uncheckedSyntaxes() const { return unchecked_; }
    const std::vector<FitMappedName>& mappedNames() const { return mapped_; }
    bool activeDirectory() const { return activeDirectory_; }
    const std::string& namingContext() const { return namingContext_; }
    // The tree lacked what servers build in (a tree of .schema files): slapd's were added.
    bool builtInsAdded() const { return builtIns_; }

  private:
    struct CaseHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const;
    };
    struct CaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    using Lookup = std::unordered_map<std::string, Found, CaseHash, CaseEqual>;
    void build(const TreeSchema& tree, const TreeSchema* mapFrom);
    static Found In(const Lookup& lookup, std::string_view name);
    void addMapped(const TreeSchema& other, ElementType type, Lookup& lookup,
                   const std::vector<FitAttribute>* attrs, const std::vector<FitClass>* classes);

    std::vector<FitAttribute> attributes_;
    std::vector<FitClass> classes_;
    std::vector<FitContentRule> rules_;
    std::vector<std::string> unchecked_;
    std::vector<FitMappedName> mapped_;
    Lookup attributeLookup_;
    Lookup classLookup_;
    bool activeDirectory_ = false;
    bool builtIns_ = false;
    std::string namingContext_;
};
