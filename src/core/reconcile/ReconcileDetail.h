// What the planner and the writers of the fix-up document share: lookups of one tree's
// definitions, what an attribute type inherits, and the Active Directory document.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/reconcile/Reconcile.h"

namespace reconcile {

// A comment line, control bytes escaped so that no name can end it.
std::string LdifComment(const std::string& text);
// An attribute line of binary bytes, always base64.
std::string LdifBinaryLine(const std::string& attribute, const std::string& bytes);

// One kind of a tree's definitions by any name or OID (any letter case); the first wins.
class Lookup {
  public:
    explicit Lookup(const std::vector<PublishedDefinition>& list);
    const PublishedDefinition* find(const std::string& nameOrOid) const;

  private:
    const std::vector<PublishedDefinition>* defs_;
    std::unordered_map<std::string, std::size_t> index_;
};

// The syntax OID an attribute type has, its own or its nearest super type's (Tree #1's
// chain, then Tree #2's for a super type only Tree #2 has), without the {len} bound.
std::string EffectiveSyntax(const PublishedDefinition& type, const Lookup& tree1,
                            const Lookup& tree2);

// The canonical form without the SYNTAX's {len} bound, for servers that drop bounds.
std::string WithoutBound(const std::string& canonical);

// The name AD gets for a definition: its first LDAP name.
std::string AdName(const PublishedDefinition& def);

// Why AD cannot take this definition as an addition; nothing when it can.
// tree2Other: Tree #2's definitions of the other kind.
std::optional<std::string> AdRefusal(DefinitionKind kind, const PublishedDefinition& def,
                                     const Lookup& tree1Types, const Lookup& tree2Types,
                                     const Lookup& tree2Other);

// The ad dialect's verdict on a definition that differs: what it may change, or why not.
struct AdChange {
    std::optional<std::string> refusal;
    std::vector<std::string> mayAdded;
    bool descriptionChanged = false;
    bool any() const { return !mayAdded.empty() || descriptionChanged; }
};
AdChange CompareForAd(DefinitionKind kind, const PublishedDefinition& tree1Def,
                      const PublishedDefinition& tree2Def, const PublishedSchema& tree1,
                      const PublishedSchema& tree2, const Lookup& tree1Types,
                      const Lookup& tree2Types);

// The ad dialect's records: attributeSchema objects, schemaUpdateNow, classSchema objects,
// schemaUpdateNow, then the modifies of changed definitions.
std::string AdRecords(const ReconcilePlan& plan, const PublishedSchema& tree1,
                      const PublishedSchema& tree2, const std::string& schemaDn);

}  // namespace reconcile
