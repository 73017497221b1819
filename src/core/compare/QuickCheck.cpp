#include "core/compare/QuickCheck.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/AsciiFold.h"

namespace {

using fold::FoldEqual;
using fold::IsAscii;

std::uint64_t FoldHash(std::string_view s) { return fold::FoldHash64(s); }

// Membership without regard to case and without a copy per name: ASCII names are folded on
// the fly, the rare others go through their folded key (NameKey folds ASCII the same way).
// Tens of thousands of names make a table far larger than the nearest cache: each probe's
// slot is fetched a few names ahead, so the fetches overlap instead of waiting in turn.
class NameSet {
  public:
    static constexpr std::size_t kAhead = 8;

    explicit NameSet(const NameList& names) {
        std::size_t capacity = 16;
        while (capacity < names.size() * 2) capacity *= 2;
        mask_ = capacity - 1;
        slots_.assign(capacity, Slot{});
        keys_.reserve(names.size());
        folded_.reserve(names.size());
        for (const NameEntry& e : names) {
            if (IsAscii(e.name)) {
                keys_.push_back(e.name);
            } else {
                folded_.push_back(NameKey(e.name));
                keys_.push_back(folded_.back());
            }
        }
        std::uint64_t ahead[kAhead];
        const std::size_t n = keys_.size();
        for (std::size_t i = 0; i < n && i < kAhead; ++i) prefetch(ahead[i] = FoldHash(keys_[i]));
        firstOf_.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t hash = ahead[i % kAhead];
            if (i + kAhead < n) prefetch(ahead[i % kAhead] = FoldHash(keys_[i + kAhead]));
            firstOf_.push_back(insert(static_cast<std::uint32_t>(i + 1), hash));
        }
    }
    // What position needs of a name before its probe; asking for its slot's memory early.
    struct Probe {
        std::uint64_t hash = 0;
        std::string key;  // a non-ASCII name's folded key; empty for ASCII
    };
    void prepare(std::string_view name, Probe& probe) const {
        if (IsAscii(name)) {
            probe.key.clear();
            probe.hash = FoldHash(name);
        } else {
            probe.key = NameKey(name);
            probe.hash = FoldHash(probe.key);
        }
        prefetch(probe.hash);
    }
    // The position of the first name equal to name ignoring case, or kNoMatch.
    std::size_t position(std::string_view name, const Probe& probe) const {
        return find(probe.key.empty() ? name : std::string_view(probe.key), probe.hash);
    }
    // For the name at position i of the list, the position of the first name equal to it.
    std::size_t firstOf(std::size_t i) const { return firstOf_[i]; }

  private:
    // The hash's upper half beside the entry spares most comparisons of unequal names.
    struct Slot {
        std::uint32_t entry = 0;  // entry number + 1; 0 = empty
        std::uint32_t tag = 0;
    };

    std::uint64_t prefetch(std::uint64_t hash) const {
        __builtin_prefetch(&slots_[hash & mask_]);
        return hash;
    }

    std::uint32_t insert(std::uint32_t entry, std::uint64_t hash) {
        const std::string_view key = keys_[entry - 1];
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            if (slots_[i].entry == 0) {
                slots_[i] = {entry, tag};
                return entry - 1;
            }
            if (slots_[i].tag == tag && FoldEqual(keys_[slots_[i].entry - 1], key))
                return slots_[i].entry - 1;
        }
    }
    std::size_t find(std::string_view key, std::uint64_t hash) const {
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            if (slots_[i].entry == 0) return kNoMatch;
            if (slots_[i].tag == tag && FoldEqual(keys_[slots_[i].entry - 1], key))
                return slots_[i].entry - 1;
        }
    }

    std::vector<std::string> folded_;  // reserved up front: the views below point into it
    std::vector<std::string_view> keys_;
    std::vector<std::uint32_t> firstOf_;
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
};

}  // namespace

NameMatches MatchNamesBothWays(const NameList& tree1, const NameList& tree2) {
    // One table, of Tree #2: a name of Tree #2 is common when the first of its spellings
    // was matched by a name of Tree #1.
    const NameSet set2(tree2);
    NameMatches m;
    m.in2.reserve(tree1.size());
    std::vector<std::uint8_t> hit(tree2.size(), 0);
    NameSet::Probe ahead[NameSet::kAhead];
    for (std::size_t i = 0; i < tree1.size() && i < NameSet::kAhead; ++i)
        set2.prepare(tree1[i].name, ahead[i]);
    for (std::size_t i = 0; i < tree1.size(); ++i) {
        NameSet::Probe& probe = ahead[i % NameSet::kAhead];
        const std::size_t at = set2.position(tree1[i].name, probe);
        if (i + NameSet::kAhead < tree1.size())
            set2.prepare(tree1[i + NameSet::kAhead].name, probe);
        m.in2.push_back(at);
        if (at != kNoMatch) hit[at] = 1;
    }
    m.common2.resize(tree2.size());
    for (std::size_t j = 0; j < tree2.size(); ++j) m.common2[j] = hit[set2.firstOf(j)];
    return m;
}

std::string SpellingIn(const NameList& names, const std::string& name) {
    const std::string key = NameKey(name);
    for (const NameEntry& entry : names)
        if (NameKey(entry.name) == key) return entry.name;
    return name;
}

QuickCheckLists QuickCheckNames(const NameList& tree1, const NameList& tree2) {
    const NameMatches m = MatchNamesBothWays(tree1, tree2);
    const std::vector<std::size_t>& in2 = m.in2;
    QuickCheckLists result;
    result.common.reserve(std::min(tree1.size(), tree2.size()));
    result.common2.reserve(std::min(tree1.size(), tree2.size()));
    // Every occurrence counts on its own: a name listed twice shows twice.
    for (std::size_t i = 0; i < tree1.size(); ++i) {
        if (in2[i] != kNoMatch) {
            result.common.push_back(tree1[i]);
            result.common2.push_back(tree2[in2[i]]);
        } else {
            result.unique1.push_back(tree1[i]);
        }
    }
    for (std::size_t i = 0; i < tree2.size(); ++i)
        if (!m.common2[i]) result.unique2.push_back(tree2[i]);
    return result;
}

void SortQuickCheckLists(QuickCheckLists& lists) {
    SortNames(lists.unique1);
    SortNames(lists.unique2);
    // The common names keep Tree #2's spelling beside them.
    NameList order;
    order.reserve(lists.common.size());
    for (std::size_t i = 0; i < lists.common.size(); ++i)
        order.push_back({lists.common[i].name, static_cast<std::uint32_t>(i)});
    SortNames(order);
    NameList common;
    NameList common2;
    common.reserve(order.size());
    common2.reserve(order.size());
    for (const NameEntry& entry : order) {
        common.push_back(std::move(lists.common[entry.number]));
        if (entry.number < lists.common2.size())
            common2.push_back(std::move(lists.common2[entry.number]));
    }
    lists.common = std::move(common);
    lists.common2 = std::move(common2);
}
