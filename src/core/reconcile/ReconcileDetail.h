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

// Where an attribute type's syntax comes from: itself or its nearest super type with one
// (first's chain, then fallback's for a super type only fallback has). Each type's chain is
// walked once and remembered, so a chain of any depth costs its length once over; a loop
// or a missing super type gives none.
class SyntaxChains {
  public:
    SyntaxChains(const Lookup& first, const Lookup& fallback)
        : first_(first), fallback_(fallback) {}
    // Null when nothing up the chain has a syntax.
    const PublishedDefinition* definer(const PublishedDefinition& type) const;
    // The definer's syntax OID, lower-cased, without the {len} bound; empty when none.
    std::string syntax(const PublishedDefinition& type) const;

  private:
    const Lookup& first_;
    const Lookup& fallback_;
    // By definition, once the chain has left first's definitions and once it has not.
    mutable std::unordered_map<const PublishedDefinition*, const PublishedDefinition*> memo_[2];
};

// The qdstring escapes every quoted string of a written definition needs: an apostrophe
// inside one as \27, a backslash that starts no escape as \5C. The text unchanged when it
// needs none; nothing when its apostrophes cannot be told apart so that it reads back the
// same.
std::optional<std::string> WrittenText(DefinitionKind kind, const PublishedDefinition& def);

// Why the dialect's server refuses a definition it would be written as published (a blank
// in a name; 389: several super classes, unless targetTakesSups (an NDS-style tree); slapd: a
// non-numeric OID, NO-USER-MODIFICATION on a user type, an auxiliary class under a structural one),
// or a server's own configuration schema unless asked for; nothing when it takes it.
std::optional<std::string> DialectRefusal(LdifDialect dialect, DefinitionKind kind,
                                          const PublishedDefinition& def, const Lookup& classes1,
                                          const Lookup& classes2, bool includeConfigSchema,
                                          bool targetTakesSups);

// The canonical form without the SYNTAX's {len} bound, for servers that drop bounds.
std::string WithoutBound(const std::string& canonical);

// The name AD gets for a definition: its first LDAP name.
std::string AdName(const PublishedDefinition& def);

// Why AD cannot take this definition as an addition; nothing when it can.
// tree2Other: Tree #2's definitions of the other kind.
// chains: Tree #1's types, then Tree #2's.
std::optional<std::string> AdRefusal(DefinitionKind kind, const PublishedDefinition& def,
                                     const Lookup& tree1Types, const SyntaxChains& chains,
                                     const Lookup& tree2Other);

// The ad dialect's verdict on a definition that differs: what it may change, or why not.
struct AdChange {
    std::optional<std::string> refusal;
    std::vector<std::string> mayAdded;
    bool descriptionChanged = false;
    bool any() const { return !mayAdded.empty() || descriptionChanged; }
};
// chains1, chains2: each tree's types in its own chain alone.
AdChange CompareForAd(DefinitionKind kind, const PublishedDefinition& tree1Def,
                      const PublishedDefinition& tree2Def, const PublishedSchema& tree1,
                      const PublishedSchema& tree2, const Lookup& tree1Types,
                      const Lookup& tree2Types, const SyntaxChains& chains1,
                      const SyntaxChains& chains2);

// The ad dialect's records: attributeSchema objects, schemaUpdateNow, classSchema objects,
// schemaUpdateNow, then the modifies of changed definitions.
std::string AdRecords(const ReconcilePlan& plan, const PublishedSchema& tree1,
                      const PublishedSchema& tree2, const std::string& schemaDn);

}  // namespace reconcile
