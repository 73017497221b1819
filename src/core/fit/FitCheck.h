// One entry against a tree's schema: every reason the tree would refuse it, as the
// servers' own checks find them. A checker belongs to one thread; many may share a schema.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit/FitReasons.h"
#include "core/fit/FitSchema.h"
#include "core/fit/LdifEntries.h"

struct FitOptions {
    bool offlineLoad = false;  // a load that keeps server-set attributes (slapadd, ldif2db)
    bool parents = false;      // an entry's parent must be in the file or be the naming context
    bool lengths = true;       // {len} bounds hold (servers mostly let them pass)
    bool syntaxes = true;      // values must fit their syntax
    bool rdnValues = true;     // the RDN's values must be in the entry (slapd adds them)
    bool oneChain = true;      // structural classes must be one chain (389 lets several be)
};

// What checking a record leaves for the steps that run in file order: the reasons, and the
// DN in a form equal DNs share (hashed), so a DN given twice is found there.
struct FitEntry {
    std::string_view text;  // the record as the file holds it
    bool dnValid = false;
    std::uint64_t dnHash = 0;
    std::uint64_t parentHash = 0;
    bool hasParent = false;
    FitVerdict verdict;  // no reasons: the entry fits as far as one entry alone can tell
};

class FitChecker {
  public:
    FitChecker(const FitSchema& schema, const FitOptions& options);
    void check(const LdifRecord& record, FitEntry& out);

    // Values of each unchecked syntax seen (FitSchema::uncheckedSyntaxes' order), and uses
    // of each name taken through the other tree (FitSchema::mappedNames' order).
    const std::vector<std::uint64_t>& uncheckedValues() const { return unchecked_; }
    const std::vector<std::uint64_t>& mappedUses() const { return mappedUses_; }

  private:
    // What a set of object classes allows, worked out once per set.
    struct ClassSet {
        std::vector<std::uint64_t> allowed;  // a bit per attribute
        std::vector<int> must;
        bool extensible = false;
        std::vector<FitReason> reasons;  // about the classes themselves
    };
    const ClassSet& classSet(const std::vector<int>& classes);
    void resolve(const std::vector<int>& classes, ClassSet& set);
    void addAncestors(int cls, std::vector<int>& out);
    FitSchema::Found attribute(std::string_view name);

    const FitSchema& schema_;
    FitOptions options_;
    std::map<std::vector<int>, ClassSet> sets_;
    std::vector<std::uint32_t> seen_;  // per class: the walk that last reached it
    std::uint32_t walk_ = 0;
    std::vector<std::uint64_t> unchecked_;
    std::vector<std::uint64_t> mappedUses_;
};

// FNV-1a: the DN hashes the file-order steps compare.
std::uint64_t FitHash(std::string_view bytes);
// A DN's hash as check gives it, types by the tree's OIDs; nullopt for one that does not parse.
std::optional<std::uint64_t> FitDnHash(const FitSchema& schema, std::string_view dn);
