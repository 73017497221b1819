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

// The breaks (CR or LF) of [begin, end), handed out in order.
class BreakScanner {
  public:
    BreakScanner(const char* begin, const char* end) : block_(begin), end_(end) { Load(); }

    // The first CR or LF at or after p, or end; p never goes back.
    const char* Next(const char* p) {
        for (;;) {
            if (p < block_ + 16) {
                const unsigned ahead = mask_ & (~0U << (p > block_ ? p - block_ : 0));
                if (ahead != 0) return block_ + __builtin_ctz(ahead);
                if (block_ + 16 >= end_) return end_;
            }
            block_ += 16;
            Load();
        }
    }

  private:
    void Load() {
        if (block_ + 16 <= end_) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block_));
            const __m128i lf = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'));
            const __m128i cr = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'));
            mask_ = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(lf, cr)));
            return;
        }
        mask_ = 0;  // the short tail, byte by byte
        for (const char* q = block_; q < end_; ++q)
            if (IsBreak(*q)) mask_ |= 1U << (q - block_);
    }

    const char* block_;
    const char* end_;
    unsigned mask_ = 0;
};

// Lines that start with "[": each may be a section header. Brackets are rare enough that
// only they are looked for, and the byte before each checked.
inline std::size_t CountBracketLines(const char* begin, const char* end) {
    std::size_t count = 0;
    auto at = [&](const char* q) { count += q == begin || IsBreak(q[-1]); };
    const char* p = begin;
    for (; p + 16 <= end; p += 16) {
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
