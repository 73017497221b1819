// Names compared without regard to the case of A to Z, eight bytes at a time: the INI
// layer's lookups and the matching of two trees' name lists both run on it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace fold {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

inline std::uint64_t Load8(const char* p) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    return x;
}

// The last n < 8 bytes, zero padded, in at most three loads: names end in a tail as often
// as not, and a byte at a time made the tail cost more than the words before it.
inline std::uint64_t LoadTail(const char* p, std::size_t n) {
    std::uint64_t x = 0;
    unsigned shift = 0;
    if (n & 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        x = v;
        p += 4;
        shift = 32;
    }
    if (n & 2) {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        x |= static_cast<std::uint64_t>(v) << shift;
        p += 2;
        shift += 16;
    }
    if (n & 1) x |= static_cast<std::uint64_t>(static_cast<unsigned char>(*p)) << shift;
    return x;
}

inline std::uint64_t FoldWord(std::uint64_t x) {
    const std::uint64_t low = x & (0x7F * kOnes);
    const std::uint64_t atLeastA = low + (0x80 - 'A') * kOnes;
    const std::uint64_t pastZ = low + (0x80 - 'Z' - 1) * kOnes;
    const std::uint64_t upper = atLeastA & ~pastZ & ~x & (0x80 * kOnes);
    return x | (upper >> 2);
}

// Well mixed in all 64 bits: callers take the low bits for a slot and the high ones as a tag.
inline std::uint64_t FoldHash64(std::string_view s) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        h = (h ^ FoldWord(Load8(s.data() + i))) * 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 31;
    }
    if (i < s.size()) {
        h = (h ^ FoldWord(LoadTail(s.data() + i, s.size() - i))) * 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 31;
    }
    h *= 0x94D049BB133111EBULL;
    return h ^ (h >> 29);
}

inline bool FoldEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    // Mostly the same bytes, letter case and all: folded only where they differ.
    for (; i + 8 <= a.size(); i += 8) {
        const std::uint64_t x = Load8(a.data() + i);
        const std::uint64_t y = Load8(b.data() + i);
        if (x != y && FoldWord(x) != FoldWord(y)) return false;
    }
    if (i == a.size()) return true;
    const std::uint64_t x = LoadTail(a.data() + i, a.size() - i);
    const std::uint64_t y = LoadTail(b.data() + i, b.size() - i);
    return x == y || FoldWord(x) == FoldWord(y);
}

inline bool IsAscii(std::string_view s) {
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) high |= Load8(s.data() + i);
    if (i < s.size()) high |= LoadTail(s.data() + i, s.size() - i);
    return (high & (0x80 * kOnes)) == 0;
}

}  // namespace fold
