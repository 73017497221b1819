// Finding the line breaks of a file's bytes: a large file has hundreds of thousands of
// short lines, so sixteen bytes are looked at at once rather than one search a line.
// Internal to the layer.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ini {

inline bool IsBreak(char c) { return c == '\n' || c == '\r'; }

#if defined(__SSE2__)

// The breaks (CR or LF) of [begin, end), handed out in order, from a mask of 64 bytes at a
// time: most lines end inside the block the line before ended in.
class BreakScanner {
  public:
    BreakScanner(const char* begin, const char* end) : block_(begin), end_(end) { Load(); }

    // The first CR or LF at or after p, or end; p never goes back.
    const char* Next(const char* p) {
        for (;;) {
            if (p < block_ || static_cast<std::size_t>(p - block_) < kBlock) {
                // p may stand before the block: the rest of its line had no break.
                const std::uint64_t ahead =
                    p > block_ ? mask_ & (~std::uint64_t{0} << (p - block_)) : mask_;
                if (ahead != 0) return block_ + __builtin_ctzll(ahead);
                if (Left() <= kBlock) return end_;
            }
            block_ += kBlock;
            Load();
        }
    }

  private:
    static constexpr std::size_t kBlock = 64;

    // Sizes, not pointers past the end, decide how far to look.
    std::size_t Left() const { return static_cast<std::size_t>(end_ - block_); }

    static std::uint64_t Breaks16(const char* q) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const __m128i lf = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'));
        const __m128i cr = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(lf, cr)));
    }

    void Load() {
        if (Left() >= kBlock) {
            mask_ = Breaks16(block_) | Breaks16(block_ + 16) << 16 | Breaks16(block_ + 32) << 32 |
                    Breaks16(block_ + 48) << 48;
            return;
        }
        mask_ = 0;  // the short tail, byte by byte
        for (const char* q = block_; q < end_; ++q)
            if (IsBreak(*q)) mask_ |= std::uint64_t{1} << (q - block_);
    }

    const char* block_;
    const char* end_;
    std::uint64_t mask_ = 0;
};

// Lines that start with "[": each may be a section header. Brackets are rare enough that
// only they are looked for, and the byte before each checked.
inline std::size_t CountBracketLines(const char* begin, const char* end) {
    std::size_t count = 0;
    auto at = [&](const char* q) { count += q == begin || IsBreak(q[-1]); };
    const char* p = begin;
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        for (unsigned m = static_cast<unsigned>(
                 _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('['))));
             m != 0; m &= m - 1)
            at(p + __builtin_ctz(m));
    }
    for (; p < end; ++p)
        if (*p == '[') at(p);
    return count;
}

#else

class BreakScanner {
  public:
    BreakScanner(const char*, const char* end) : end_(end) {}
    const char* Next(const char* p) {
        while (p < end_ && !IsBreak(*p)) ++p;
        return p;
    }

  private:
    const char* end_;
};

inline std::size_t CountBracketLines(const char* begin, const char* end) {
    std::size_t count = 0;
    for (const char* p = begin; p < end; ++p) count += *p == '[' && (p == begin || IsBreak(p[-1]));
    return count;
}

#endif

}  // namespace ini
