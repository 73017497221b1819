// The INI layer's building blocks: name folding and hashing, lines and their ends, the
// id table, byte buffers, key indexes and file identities. Internal to the layer.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/AsciiFold.h"

namespace ini {

constexpr std::size_t kMaxValueLength = 2047;
// Lines address the file's bytes with 32 bits.
constexpr std::uint64_t kMaxFileSize = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
// Sections with at most this many distinct keys are searched linearly.
constexpr std::size_t kLinearKeys = 8;

// Tab to CR, SUB and space, as one bit test: every line and name is trimmed.
inline bool IsBlank(unsigned char c) {
    constexpr std::uint64_t kBlanks =
        (std::uint64_t{0x1F} << 0x09) | (std::uint64_t{1} << 0x1A) | (std::uint64_t{1} << 0x20);
    return c < 64 && ((kBlanks >> c) & 1) != 0;
}

inline std::string_view Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && IsBlank(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// Names are hashed and compared eight bytes at a time, folding A to Z in each word.
using fold::FoldEqual;
using fold::FoldWord;
using fold::Load8;
using fold::LoadTail;

inline std::uint32_t FoldHash(std::string_view s) {
    return static_cast<std::uint32_t>(fold::FoldHash64(s) >> 32);
}

enum Term : std::uint8_t { kTermNone, kTermCR, kTermLF, kTermCRLF };

inline std::size_t TermLength(std::uint8_t t) {
    return t == kTermCRLF ? 2 : (t == kTermNone ? 0 : 1);
}

inline char* PutTerm(char* out, std::uint8_t t) {
    if (t == kTermCR || t == kTermCRLF) *out++ = '\r';
    if (t == kTermLF || t == kTermCRLF) *out++ = '\n';
    return out;
}

// One line as it stands in the file, without its line break.
struct Line {
    char* text;  // ours (file buffer or arena): rewritten in place when the new text fits
    std::uint32_t len;
    std::uint8_t term;
    std::string_view view() const { return {text, len}; }
};

enum class LineKind { Blank, Comment, KeyOnly, Entry };

struct LineParts {
    LineKind kind = LineKind::Blank;
    std::string_view key;
    std::string_view value;
};

// The first "=" of a short text, eight bytes at a time: keys are names and numbers, near
// enough that a library search would spend more starting than searching.
inline std::size_t FindEquals(std::string_view t) {
    static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
    constexpr std::uint64_t kEquals = '=' * fold::kOnes;
    std::size_t i = 0;
    for (; i + 8 <= t.size(); i += 8) {
        const std::uint64_t x = Load8(t.data() + i) ^ kEquals;
        // Exactly the zero bytes get their high bit: no false hits from carries.
        const std::uint64_t zero =
            ~(((x & (0x7F * fold::kOnes)) + 0x7F * fold::kOnes) | x | (0x7F * fold::kOnes));
        if (zero != 0) return i + static_cast<std::size_t>(__builtin_ctzll(zero)) / 8;
    }
    for (; i < t.size(); ++i)
        if (t[i] == '=') return i;
    return std::string_view::npos;
}

// Lines inside a section body are never headers; the parser took those out.
inline LineParts Classify(const Line& line) {
    LineParts parts;
    const std::string_view t = Trim(line.view());
    if (t.empty()) return parts;
    if (t.front() == ';') {
        parts.kind = LineKind::Comment;
        return parts;
    }
    const std::size_t eq = FindEquals(t);
    if (eq == std::string_view::npos) {
        parts.kind = LineKind::KeyOnly;
        parts.key = t;
        return parts;
    }
    parts.kind = LineKind::Entry;
    // t is trimmed already: the key can only have blanks before the "=", the value after it.
    std::size_t keyEnd = eq;
    while (keyEnd > 0 && IsBlank(static_cast<unsigned char>(t[keyEnd - 1]))) --keyEnd;
    std::size_t valueBegin = eq + 1;
    while (valueBegin < t.size() && IsBlank(static_cast<unsigned char>(t[valueBegin])))
        ++valueBegin;
    parts.key = t.substr(0, keyEnd);
    parts.value = t.substr(valueBegin);
    return parts;
}

inline std::string_view ValueViewAsRead(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    if (v.size() > kMaxValueLength) v = v.substr(0, kMaxValueLength);
    return v;
}
inline std::string ValueAsRead(std::string_view v) { return std::string(ValueViewAsRead(v)); }

// Open addressing over ids with linear probing; each slot keeps the key's hash beside
// the id, so growing needs no keys.
class IdTable {
  public:
    template <class Eq>
    std::uint32_t Find(std::uint32_t hash, Eq&& eq) const {
        if (slots_.empty()) return kNone;
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const std::uint64_t s = slots_[i];
            if (s == 0) return kNone;
            if (static_cast<std::uint32_t>(s >> 32) == hash) {
                const auto id = static_cast<std::uint32_t>(s) - 1;
                if (eq(id)) return id;
            }
        }
    }
    // Asks for the memory of hash's first slot ahead of its probe.
    void Prefetch(std::uint32_t hash) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[hash & mask_]);
    }
    // One probe for both: the id of an equal key already there, or kNone after id went in.
    template <class Eq>
    std::uint32_t FindOrInsert(std::uint32_t hash, std::uint32_t id, Eq&& eq) {
        if (Full(count_ + 1)) Grow();
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const std::uint64_t s = slots_[i];
            if (s == 0) {
                slots_[i] = Slot(hash, id);
                ++count_;
                return kNone;
            }
            if (static_cast<std::uint32_t>(s >> 32) == hash) {
                const auto found = static_cast<std::uint32_t>(s) - 1;
                if (eq(found)) return found;
            }
        }
    }
    void Insert(std::uint32_t hash, std::uint32_t id) {
        if (Full(count_ + 1)) Grow();
        Place(Slot(hash, id));
        ++count_;
    }
    void Replace(std::uint32_t hash, std::uint32_t oldId, std::uint32_t newId) {
        const std::size_t i = Locate(hash, oldId);
        if (i != npos) slots_[i] = Slot(hash, newId);
    }
    void Erase(std::uint32_t hash, std::uint32_t id) {
        std::size_t i = Locate(hash, id);
        if (i == npos) return;
        // Backward shift: later members of the probe run move up into the hole.
        for (std::size_t j = (i + 1) & mask_; slots_[j] != 0; j = (j + 1) & mask_) {
            const std::size_t home = static_cast<std::uint32_t>(slots_[j] >> 32) & mask_;
            const bool movable = (j > i) ? (home <= i || home > j) : (home <= i && home > j);
            if (movable) {
                slots_[i] = slots_[j];
                i = j;
            }
        }
        slots_[i] = 0;
        --count_;
    }
    void Clear() {
        slots_.clear();
        count_ = 0;
        mask_ = 0;
    }
    void Reserve(std::size_t n) {
        std::size_t want = 16;
        while (Full(n, want)) want *= 2;
        if (want > slots_.size()) Rehash(want);
    }

  private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    static std::uint64_t Slot(std::uint32_t hash, std::uint32_t id) {
        return (static_cast<std::uint64_t>(hash) << 32) | (static_cast<std::uint64_t>(id) + 1);
    }
    std::size_t Locate(std::uint32_t hash, std::uint32_t id) const {
        if (slots_.empty()) return npos;
        const std::uint64_t want = Slot(hash, id);
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            if (slots_[i] == 0) return npos;
            if (slots_[i] == want) return i;
        }
    }
    void Place(std::uint64_t slot) {
        std::size_t i = static_cast<std::uint32_t>(slot >> 32) & mask_;
        while (slots_[i] != 0) i = (i + 1) & mask_;
        slots_[i] = slot;
    }
    // At most three slots in four taken: a large file's tables hold tens of thousands of
    // ids, and probes past a neighbour or two cost less than twice the memory.
    bool Full(std::size_t count) const { return Full(count, slots_.size()); }
    static bool Full(std::size_t count, std::size_t size) { return count * 4 > size * 3; }
    void Grow() { Rehash(slots_.empty() ? 16 : slots_.size() * 2); }
    void Rehash(std::size_t size) {
        std::vector<std::uint64_t> old;
        old.swap(slots_);
        slots_.assign(size, 0);
        mask_ = size - 1;
        for (std::uint64_t s : old)
            if (s != 0) Place(s);
    }

    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;
    std::size_t mask_ = 0;
};

// A byte buffer that is not cleared first: files are large and always filled at once.
class Bytes {
  public:
    Bytes() = default;
    explicit Bytes(std::size_t n) : p_(std::make_unique_for_overwrite<char[]>(n ? n : 1)), n_(n) {}
    Bytes(const char* text, std::size_t n) : Bytes(n) {
        if (n) std::memcpy(p_.get(), text, n);
    }
    char* data() { return p_.get(); }
    const char* data() const { return p_.get(); }
    std::size_t size() const { return n_; }
    void Shrink(std::size_t n) { n_ = n < n_ ? n : n_; }

  private:
    std::unique_ptr<char[]> p_;
    std::size_t n_ = 0;
};

// Bytes for new and rewritten lines; chunks never move, so lines may point into them.
class Arena {
  public:
    char* Store(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
        const std::size_t n = a.size() + b.size() + c.size();
        if (n > room_) {
            // Small files stay small; a large save soon gets large chunks.
            const std::size_t grown = std::min(kChunk, std::size_t{4096} << chunks_.size());
            const std::size_t size = n > grown ? n : grown;
            chunks_.push_back(std::make_unique_for_overwrite<char[]>(size));
            next_ = chunks_.back().get();
            room_ = size;
        }
        char* out = next_;
        if (!a.empty()) std::memcpy(out, a.data(), a.size());
        if (!b.empty()) std::memcpy(out + a.size(), b.data(), b.size());
        if (!c.empty()) std::memcpy(out + a.size() + b.size(), c.data(), c.size());
        next_ += n;
        room_ -= n;
        return out;
    }
    void Clear() {
        chunks_.clear();
        next_ = nullptr;
        room_ = 0;
    }

  private:
    static constexpr std::size_t kChunk = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> chunks_;
    char* next_ = nullptr;
    std::size_t room_ = 0;
};

// The keys of one section: the first line of each distinct key, plus where the last
// entry stands (new keys go after it).
struct KeyRef {
    std::uint32_t line;    // position in the section body
    std::uint32_t hash;    // the key's tag, or its hash once the section has a table
    std::uint32_t keyOff;  // the key's spelling inside that line
    std::uint32_t keyLen;
    std::uint32_t valueOff;  // the trimmed value inside that line
    std::uint32_t valueLen;
    bool hasValue;  // false for a line without "="
};

// Small sections are searched linearly, comparing a cheap tag (length, first and last
// letter folded) before the keys; the full hash is only computed once a table is needed.
inline std::uint32_t KeyTag(std::string_view k) {
    if (k.empty()) return 0;
    auto fold = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return static_cast<std::uint32_t>(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u);
    };
    return static_cast<std::uint32_t>(k.size() << 16) ^ (fold(k.front()) << 8) ^ fold(k.back());
}

// A key being looked up, with its tag and hash computed when first needed.
struct KeyQuery {
    std::string_view key;
    std::uint32_t hash = 0;
    bool hashed = false;
    std::uint32_t Hash() {
        if (!hashed) {
            hash = FoldHash(key);
            hashed = true;
        }
        return hash;
    }
};

struct KeyIndex {
    bool built = false;
    std::vector<KeyRef> keys;
    IdTable table;  // over positions in keys, once there are more than kLinearKeys
    std::uint32_t lastEntry = kNone;
    std::uint32_t lastFound = kNone;  // the latest key found, to try the next one first
};

enum class Encoding { Bytes, Utf8Bom, Utf16LE, Utf16BE };

struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const FileId& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

inline FileId IdOf(const struct stat& st) {
    FileId id;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtime = st.st_mtim;
    id.ctime = st.st_ctim;
    return id;
}

// UTF-16 files are held as UTF-8 while parsed; lone surrogates keep their 3-byte form so
// a file reads back unit for unit.
std::vector<char> Utf16ToUtf8(const unsigned char* p, std::size_t units, bool bigEndian);
// Invalid UTF-8 bytes (callers hand us byte strings) go out one byte a character.
std::vector<char> Utf8ToUtf16(const char* text, std::size_t n, bool bigEndian);

}  // namespace ini
