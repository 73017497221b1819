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

inline std::uint64_t LoadTail(const char* p, std::size_t n) {  // n < 8, zero padded
    std::uint64_t x = 0;
    for (std::size_t i = 0; i < n; ++i)
        x |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
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
    for (; i + 8 <= a.size(); i += 8)
        if (FoldWord(Load8(a.data() + i)) != FoldWord(Load8(b.data() + i))) return false;
    return i == a.size() || FoldWord(LoadTail(a.data() + i, a.size() - i)) ==
                                FoldWord(LoadTail(b.data() + i, b.size() - i));
}

inline bool IsAscii(std::string_view s) {
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) high |= Load8(s.data() + i);
    if (i < s.size()) high |= LoadTail(s.data() + i, s.size() - i);
    return (high & (0x80 * kOnes)) == 0;
}

}  // namespace fold
