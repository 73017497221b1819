// The INI layer. A file is parsed once into lines that point into the file's bytes; each
// section keeps its own lines and, once looked into, an index of its keys. Writes edit
// those lines (in place when the new text fits, else in an arena) and a flush writes the
// whole file beside the target and renames it into place.
//
// Freshness: while nothing is pending, every call compares the file's identity (device,
// inode, size, modification and change time to the nanosecond) with the one parsed, and
// parses again when it differs. While writes are pending, the file on disk is not
// consulted: the pending writes win and the next flush replaces whatever another
// process put there (last writer wins, and nothing we were asked to store is ever
// dropped silently). After our own flush the new file's identity is recorded, so it is
// not parsed again.
//
// Identity is checked by stat, so a rewrite in place that keeps size and inode within
// one timestamp tick of the file system can go unseen until the next change.
//
// Objects on one path share one parsed copy; they must be used from one thread.
#include "IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <string_view>
#include <unordered_map>

IniWriteError::IniWriteError(const std::string& fileName)
    : std::runtime_error("Unable to write to " + fileName), fileName_(fileName) {}

namespace {

constexpr std::size_t kMaxValueLength = 2047;
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
// Sections with at most this many distinct keys are searched linearly.
constexpr std::size_t kLinearKeys = 8;

inline bool IsBlank(unsigned char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A; }

std::string_view Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && IsBlank(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// Names are hashed and compared eight bytes at a time, folding A to Z in each word.
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

std::uint32_t FoldHash(std::string_view s) {
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
    return static_cast<std::uint32_t>(h >> 32);
}

bool FoldEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    for (; i + 8 <= a.size(); i += 8)
        if (FoldWord(Load8(a.data() + i)) != FoldWord(Load8(b.data() + i))) return false;
    return i == a.size() || FoldWord(LoadTail(a.data() + i, a.size() - i)) ==
                                FoldWord(LoadTail(b.data() + i, b.size() - i));
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

// Lines inside a section body are never headers; the parser took those out.
LineParts Classify(const Line& line) {
    LineParts parts;
    const std::string_view t = Trim(line.view());
    if (t.empty()) return parts;
    if (t.front() == ';') {
        parts.kind = LineKind::Comment;
        return parts;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        parts.kind = LineKind::KeyOnly;
        parts.key = t;
        return parts;
    }
    parts.kind = LineKind::Entry;
    parts.key = Trim(t.substr(0, eq));
    parts.value = Trim(t.substr(eq + 1));
    return parts;
}

std::string ValueAsRead(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    if (v.size() > kMaxValueLength) v = v.substr(0, kMaxValueLength);
    return std::string(v);
}

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
    void Insert(std::uint32_t hash, std::uint32_t id) {
        if ((count_ + 1) * 2 > slots_.size()) Grow();
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
        while (want < n * 2) want *= 2;
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

FileId IdOf(const struct stat& st) {
    FileId id;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtime = st.st_mtim;
    id.ctime = st.st_ctim;
    return id;
}

// --- UTF-16 files: held as UTF-8 while parsed; lone surrogates keep their 3-byte form so
// a file reads back unit for unit.

void PutUtf8(std::vector<char>& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::vector<char> Utf16ToUtf8(const unsigned char* p, std::size_t units, bool bigEndian) {
    std::vector<char> out;
    out.reserve(units + units / 2);
    auto unit = [&](std::size_t i) -> std::uint32_t {
        return bigEndian ? (p[2 * i] << 8 | p[2 * i + 1]) : (p[2 * i + 1] << 8 | p[2 * i]);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const std::uint32_t v = unit(i + 1);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                PutUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        PutUtf8(out, u);
    }
    return out;
}

// Invalid UTF-8 bytes (callers hand us byte strings) go out one byte a character.
std::vector<char> Utf8ToUtf16(const char* text, std::size_t n, bool bigEndian) {
    std::vector<char> out;
    out.reserve(2 * n + 2);
    auto put = [&](std::uint32_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    auto cont = [&](std::size_t i) { return i < n && (s[i] & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        std::uint32_t cp = c;
        std::size_t len = 1;
        if (c >= 0xC2 && c <= 0xDF && cont(i + 1)) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF && cont(i + 1) && cont(i + 2) &&
                   (c != 0xE0 || s[i + 1] >= 0xA0)) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            len = 3;
        } else if (c >= 0xF0 && c <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3) &&
                   (c != 0xF0 || s[i + 1] >= 0x90) && (c != 0xF4 || s[i + 1] < 0x90)) {
            cp = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                 (s[i + 3] & 0x3Fu);
            len = 4;
        }
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
        i += len;
    }
    return out;
}

bool WriteAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

}  // namespace

struct Section {
    Line header;
    std::uint32_t nameOff = 0;  // the name inside the header line
    std::uint32_t nameLen = 0;
    std::uint32_t hash = 0;
    std::uint32_t begin = 0, end = 0;  // body inside the document's lines, until detached
    std::vector<Line> own;             // body once it has been changed
    bool detached = false;
    bool alive = true;
    std::uint32_t nextSame = kNone;  // the next section of the same name
    KeyIndex index;                  // built on first use

    std::string_view name() const { return {header.text + nameOff, nameLen}; }
};

struct IniDocument {
    explicit IniDocument(std::string p) : path(std::move(p)) {}

    int holds = 0;           // live IniFile::Hold objects
    bool heldFresh = false;  // checked once since the first of them began

    std::string path;  // absolute

    Bytes data;  // the bytes the parsed lines point into
    Arena arena;
    std::vector<Line> lines;  // text before the first section, then parsed section bodies
    std::uint32_t preambleCount = 0;
    std::vector<Section> sections;
    std::uint32_t deadSections = 0;
    IdTable sectionTable;  // first live section of each name
    Encoding encoding = Encoding::Bytes;
    std::string oddByte;  // a UTF-16 file of odd length keeps its last byte

    bool known = false;       // we have looked at the file at least once
    bool present = false;     // the file existed when last looked at
    bool unreadable = false;  // it exists but could not be read: never overwrite it
    FileId id;
    bool dirty = false;

    std::string lastQuery;  // the latest section name asked for, as given
    std::uint32_t lastSection = kNone;

    // --- lines

    Line* Body(Section& s) { return s.detached ? s.own.data() : lines.data() + s.begin; }
    std::size_t BodySize(const Section& s) const {
        return s.detached ? s.own.size() : s.end - s.begin;
    }
    void Detach(Section& s) {
        if (s.detached) return;
        s.own.assign(lines.begin() + s.begin, lines.begin() + s.end);
        s.detached = true;
    }

    // The last line of the file, or null for an empty file.
    Line* LastLine() {
        for (std::size_t i = sections.size(); i-- > 0;) {
            Section& s = sections[i];
            if (!s.alive) continue;
            const std::size_t n = BodySize(s);
            return n ? Body(s) + (n - 1) : &s.header;
        }
        return preambleCount ? &lines[preambleCount - 1] : nullptr;
    }

    // --- loading

    void Reset() {
        data = Bytes();
        arena.Clear();
        lines.clear();
        preambleCount = 0;
        sections.clear();
        deadSections = 0;
        sectionTable.Clear();
        encoding = Encoding::Bytes;
        oddByte.clear();
        lastSection = kNone;
    }

    void Parse(char* begin, const char* end) {
        const char* p = begin;
        lines.reserve(static_cast<std::size_t>(end - p) / 24 + 16);
        const char* nl = nullptr;  // the next LF at or after p, found once per LF
        bool inSection = false;
        while (p < end) {
            if (nl == nullptr || nl < p) {
                nl = static_cast<const char*>(
                    std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
                if (nl == nullptr) nl = end;
            }
            const char* cr =
                static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(nl - p)));
            const char* stop;
            const char* next;
            std::uint8_t term;
            if (cr != nullptr) {
                stop = cr;
                if (cr + 1 < end && cr[1] == '\n') {
                    term = kTermCRLF;
                    next = cr + 2;
                } else {
                    term = kTermCR;
                    next = cr + 1;
                }
            } else if (nl < end) {
                stop = nl;
                term = kTermLF;
                next = nl + 1;
            } else {
                stop = end;
                term = kTermNone;
                next = end;
            }
            const Line line{begin + (p - begin), static_cast<std::uint32_t>(stop - p), term};
            const char* q = p;
            while (q < stop && IsBlank(static_cast<unsigned char>(*q))) ++q;
            const void* close = nullptr;
            if (q < stop && *q == '[')
                close = memrchr(q + 1, ']', static_cast<std::size_t>(stop - q - 1));
            if (close != nullptr) {
                if (inSection)
                    sections.back().end = static_cast<std::uint32_t>(lines.size());
                else
                    preambleCount = static_cast<std::uint32_t>(lines.size());
                inSection = true;
                const std::string_view name =
                    Trim(std::string_view(q + 1, static_cast<const char*>(close) - (q + 1)));
                Section& s = sections.emplace_back();
                s.header = line;
                s.nameOff = static_cast<std::uint32_t>(name.data() - p);
                s.nameLen = static_cast<std::uint32_t>(name.size());
                s.hash = FoldHash(name);
                s.begin = s.end = static_cast<std::uint32_t>(lines.size());
            } else {
                lines.push_back(line);
            }
            p = next;
        }
        if (inSection)
            sections.back().end = static_cast<std::uint32_t>(lines.size());
        else
            preambleCount = static_cast<std::uint32_t>(lines.size());
        RebuildSectionTable();
    }

    void RebuildSectionTable() {
        sectionTable.Clear();
        sectionTable.Reserve(sections.size());
        for (std::uint32_t i = 0; i < sections.size(); ++i) {
            Section& s = sections[i];
            s.nextSame = kNone;
            const std::string_view name = s.name();
            const std::uint32_t first = sectionTable.Find(
                s.hash, [&](std::uint32_t id) { return FoldEqual(sections[id].name(), name); });
            if (first == kNone) {
                sectionTable.Insert(s.hash, i);
            } else {
                std::uint32_t tail = first;
                while (sections[tail].nextSame != kNone) tail = sections[tail].nextSame;
                sections[tail].nextSame = i;
            }
        }
        lastSection = kNone;
    }

    void Load(int fd, const struct stat& st) {
        Reset();
        if (!S_ISREG(st.st_mode) ||
            static_cast<std::uint64_t>(st.st_size) >= std::numeric_limits<std::uint32_t>::max()) {
            unreadable = true;
            return;
        }
        Bytes bytes(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t got = 0;
        for (;;) {
            if (got == bytes.size()) {  // grown since it was looked at
                Bytes more(bytes.size() + 4096 + bytes.size() / 2);
                std::memcpy(more.data(), bytes.data(), got);
                bytes = std::move(more);
            }
            const ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                Reset();
                unreadable = true;
                return;
            }
            if (r == 0) break;
            got += static_cast<std::size_t>(r);
        }
        bytes.Shrink(got);
        const auto* u = reinterpret_cast<const unsigned char*>(bytes.data());
        if (got >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF))) {
            const bool big = u[0] == 0xFE;
            encoding = big ? Encoding::Utf16BE : Encoding::Utf16LE;
            const std::size_t units = (got - 2) / 2;
            if ((got - 2) % 2) oddByte.assign(1, bytes.data()[got - 1]);
            const std::vector<char> text = Utf16ToUtf8(u + 2, units, big);
            data = Bytes(text.data(), text.size());
            Parse(data.data(), data.data() + data.size());
            return;
        }
        std::size_t start = 0;
        if (got >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) {
            encoding = Encoding::Utf8Bom;
            start = 3;
        }
        data = std::move(bytes);
        Parse(data.data() + start, data.data() + data.size());
    }

    // Brings the parsed copy up to date with the file, unless writes are pending.
    void Sync() {
        if (dirty) return;
        if (holds > 0) {
            if (heldFresh) return;
            heldFresh = true;
        }
        struct stat st;
        if (path.empty() || ::stat(path.c_str(), &st) != 0) {
            const bool missing = path.empty() || errno == ENOENT || errno == ENOTDIR;
            if (!known || present || unreadable != !missing) {
                Reset();
                known = true;
                present = false;
                unreadable = !missing;
                id = FileId{};
            }
            return;
        }
        const FileId now = IdOf(st);
        if (known && present && now == id) return;
        known = true;
        present = true;
        unreadable = false;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat fst;
        if (fd < 0 || ::fstat(fd, &fst) != 0) {
            if (fd >= 0) ::close(fd);
            Reset();
            unreadable = true;
            id = now;
            return;
        }
        id = IdOf(fst);
        Load(fd, fst);
        ::close(fd);
    }

    // --- finding

    std::uint32_t FindSection(const std::string& query) {
        if (lastSection != kNone && query == lastQuery) return lastSection;
        const std::string_view name = Trim(query);
        const std::uint32_t found = sectionTable.Find(
            FoldHash(name), [&](std::uint32_t id) { return FoldEqual(sections[id].name(), name); });
        if (found != kNone) {
            lastQuery = query;
            lastSection = found;
        }
        return found;
    }

    KeyIndex& IndexOf(Section& s) {
        KeyIndex& index = s.index;
        if (index.built) return index;
        index.built = true;
        const Line* body = Body(s);
        const std::size_t n = BodySize(s);
        index.keys.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            const LineParts parts = Classify(body[i]);
            if (parts.kind != LineKind::Entry && parts.kind != LineKind::KeyOnly) continue;
            index.lastEntry = static_cast<std::uint32_t>(i);
            KeyQuery q{parts.key};
            if (FindKey(s, index, q) != nullptr) continue;
            const char* text = body[i].text;
            AddKey(s, index, q,
                   KeyRef{static_cast<std::uint32_t>(i), 0,
                          static_cast<std::uint32_t>(parts.key.data() - text),
                          static_cast<std::uint32_t>(parts.key.size()),
                          static_cast<std::uint32_t>(parts.value.data() - text),
                          static_cast<std::uint32_t>(parts.value.size()),
                          parts.kind == LineKind::Entry});
        }
        return index;
    }

    // Adds the first line of a key; its line must already be in the section body.
    void AddKey(Section& s, KeyIndex& index, KeyQuery& q, const KeyRef& ref) {
        index.keys.push_back(ref);
        const std::size_t n = index.keys.size();
        if (n <= kLinearKeys) {
            index.keys.back().hash = KeyTag(q.key);
        } else if (n == kLinearKeys + 1) {
            const Line* body = Body(s);
            index.table.Reserve(n * 2);
            for (std::uint32_t k = 0; k < n; ++k) {
                KeyRef& r = index.keys[k];
                r.hash = FoldHash(std::string_view(body[r.line].text + r.keyOff, r.keyLen));
                index.table.Insert(r.hash, k);
            }
        } else if (n > kLinearKeys + 1) {
            index.keys.back().hash = q.Hash();
            index.table.Insert(q.Hash(), static_cast<std::uint32_t>(n - 1));
        }
    }

    KeyRef* FindKey(Section& s, KeyIndex& index, KeyQuery& q) {
        const Line* body = Body(s);
        auto keyOf = [&](const KeyRef& r) {
            return std::string_view(body[r.line].text + r.keyOff, r.keyLen);
        };
        if (index.keys.size() <= kLinearKeys) {
            const std::uint32_t tag = KeyTag(q.key);
            for (KeyRef& r : index.keys)
                if (r.hash == tag && FoldEqual(keyOf(r), q.key)) return &r;
            return nullptr;
        }
        const std::uint32_t hash = q.Hash();
        const std::uint32_t k = index.table.Find(hash, [&](std::uint32_t id) {
            return index.keys[id].hash == hash && FoldEqual(keyOf(index.keys[id]), q.key);
        });
        return k == kNone ? nullptr : &index.keys[k];
    }

    // The value of the first line of key in the first section of that name; false when
    // there is none or that line has no "=".
    bool FindValue(const std::string& section, const std::string& key, std::string_view& value) {
        const std::uint32_t id = FindSection(section);
        if (id == kNone) return false;
        Section& s = sections[id];
        KeyQuery q{Trim(key)};
        const KeyRef* ref = FindKey(s, IndexOf(s), q);
        if (ref == nullptr || !ref->hasValue) return false;
        value = std::string_view(Body(s)[ref->line].text + ref->valueOff, ref->valueLen);
        return true;
    }

    // After the line was rewritten as key=value.
    static void SetValue(KeyRef& ref, std::string_view value) {
        const std::string_view v = Trim(value);
        ref.keyOff = 0;
        ref.valueOff = ref.keyLen + 1 + static_cast<std::uint32_t>(v.data() - value.data());
        ref.valueLen = static_cast<std::uint32_t>(v.size());
        ref.hasValue = true;
    }

    // --- writing

    void AppendSection(std::string_view name, std::string_view key, std::string_view value) {
        if (Line* last = LastLine(); last != nullptr && last->term == kTermNone)
            last->term = kTermCRLF;
        Section& s = sections.emplace_back();
        char* header = arena.Store("[", name, "]");
        s.header = Line{header, static_cast<std::uint32_t>(name.size() + 2), kTermCRLF};
        s.nameOff = 1;
        s.nameLen = static_cast<std::uint32_t>(name.size());
        s.hash = FoldHash(name);
        s.detached = true;
        s.own.reserve(8);
        char* text = arena.Store(key, "=", value);
        s.own.push_back(
            Line{text, static_cast<std::uint32_t>(key.size() + 1 + value.size()), kTermCRLF});
        s.index.built = true;
        s.index.keys.reserve(8);
        KeyRef ref{0, 0, 0, static_cast<std::uint32_t>(key.size()), 0, 0, true};
        SetValue(ref, value);
        KeyQuery q{key};
        AddKey(s, s.index, q, ref);
        s.index.lastEntry = 0;
        const auto id = static_cast<std::uint32_t>(sections.size() - 1);
        sectionTable.Insert(s.hash, id);
        lastQuery.assign(name.data(), name.size());
        lastSection = id;
    }

    void Write(const std::string& section, const std::string& key, const std::string& value) {
        if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE) {
            // Store what the file will hold, so reads before and after a flush agree.
            auto asStored = [](const std::string& s) {
                const std::vector<char> units = Utf8ToUtf16(s.data(), s.size(), false);
                const std::vector<char> text = Utf16ToUtf8(
                    reinterpret_cast<const unsigned char*>(units.data()), units.size() / 2, false);
                return std::string(text.begin(), text.end());
            };
            const std::string sec = asStored(section), k = asStored(key), v = asStored(value);
            if (sec != section || k != key || v != value) {
                WriteStored(sec, k, v);
                return;
            }
        }
        WriteStored(section, key, value);
    }

    void WriteStored(const std::string& section, const std::string& key, const std::string& value) {
        const std::string_view k = Trim(key);
        const std::uint32_t id = FindSection(section);
        if (id == kNone) {
            AppendSection(Trim(section), k, value);
            dirty = true;
            return;
        }
        Section& s = sections[id];
        KeyIndex& index = IndexOf(s);
        KeyQuery q{k};
        if (KeyRef* ref = FindKey(s, index, q)) {
            Line& line = Body(s)[ref->line];
            if (ref->hasValue &&
                std::string_view(line.text + ref->valueOff, ref->valueLen) == value)
                return;
            const std::size_t len = ref->keyLen + 1 + value.size();
            if (len <= line.len) {  // fits where the line is
                std::memmove(line.text, line.text + ref->keyOff, ref->keyLen);
                line.text[ref->keyLen] = '=';
                if (!value.empty())
                    std::memcpy(line.text + ref->keyLen + 1, value.data(), value.size());
            } else {
                line.text =
                    arena.Store(std::string_view(line.text + ref->keyOff, ref->keyLen), "=", value);
            }
            line.len = static_cast<std::uint32_t>(len);
            SetValue(*ref, value);
            dirty = true;
            return;
        }
        Detach(s);
        const std::uint32_t at = index.lastEntry == kNone ? 0 : index.lastEntry + 1;
        Line& before = at == 0 ? s.header : s.own[at - 1];
        if (before.term == kTermNone) before.term = kTermCRLF;
        char* text = arena.Store(k, "=", value);
        s.own.insert(
            s.own.begin() + at,
            Line{text, static_cast<std::uint32_t>(k.size() + 1 + value.size()), kTermCRLF});
        KeyRef ref{at, 0, 0, static_cast<std::uint32_t>(k.size()), 0, 0, true};
        SetValue(ref, value);
        AddKey(s, index, q, ref);
        index.lastEntry = at;
        dirty = true;
    }

    void Erase(const std::string& section) {
        const std::uint32_t id = FindSection(section);
        if (id == kNone) return;
        Section& s = sections[id];
        if (s.nextSame != kNone)
            sectionTable.Replace(s.hash, id, s.nextSame);
        else
            sectionTable.Erase(s.hash, id);
        s.alive = false;
        s.own.clear();
        s.own.shrink_to_fit();
        s.index = KeyIndex();
        ++deadSections;
        lastSection = kNone;
        dirty = true;
    }

    // --- flushing

    template <class F>
    void ForEachLine(F&& f) {
        for (std::uint32_t i = 0; i < preambleCount; ++i) f(lines[i]);
        for (Section& s : sections) {
            if (!s.alive) continue;
            f(s.header);
            Line* body = Body(s);
            for (std::size_t i = 0, n = BodySize(s); i < n; ++i) f(body[i]);
        }
    }

    Bytes Serialize() {
        std::size_t total = 0;
        ForEachLine([&](const Line& l) { total += l.len + TermLength(l.term); });
        Bytes out(total);
        char* o = out.data();
        ForEachLine([&](const Line& l) {
            if (l.len) std::memcpy(o, l.text, l.len);
            o = PutTerm(o + l.len, l.term);
        });
        return out;
    }

    // After a flush the written text becomes the parsed text: lines point into it, the
    // arena and erased sections go.
    void Adopt(Bytes text) {
        char* o = text.data();
        ForEachLine([&](Line& l) {
            l.text = o;
            o += l.len + TermLength(l.term);
        });
        data = std::move(text);
        arena.Clear();
        // Erased sections go once they outnumber the live ones: a save that erases and
        // rewrites every section would otherwise pay for moving them all each time.
        if (deadSections > sections.size() - deadSections) {
            std::vector<Section> live;
            live.reserve(sections.size() - deadSections);
            for (Section& s : sections)
                if (s.alive) live.push_back(std::move(s));
            sections.swap(live);
            deadSections = 0;
            RebuildSectionTable();
        }
    }

    void Flush(const std::string& displayName);
};

void IniDocument::Flush(const std::string& displayName) {
    if (!dirty) return;
    if (unreadable || path.empty()) throw IniWriteError(displayName);

    Bytes text = Serialize();
    std::vector<char> encoded;
    const char* bytes = text.data();
    std::size_t size = text.size();
    std::string_view prefix, suffix;
    if (encoding == Encoding::Utf8Bom) {
        prefix = "\xEF\xBB\xBF";
    } else if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE) {
        const bool big = encoding == Encoding::Utf16BE;
        prefix = big ? std::string_view("\xFE\xFF", 2) : std::string_view("\xFF\xFE", 2);
        encoded = Utf8ToUtf16(text.data(), text.size(), big);
        bytes = encoded.data();
        size = encoded.size();
        suffix = oddByte;
    }

    // A link keeps pointing where it did: the file it names is the one replaced.
    std::string target = path;
    struct stat lst;
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        std::error_code ec;
        const auto resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) target = resolved.string();
    }
    const std::filesystem::path targetPath(target);
    struct stat old;
    const bool existed = ::stat(target.c_str(), &old) == 0;

    static std::atomic<unsigned> counter{0};
    std::string base = targetPath.filename().string().substr(0, 180);
    int fd = -1;
    std::string temp;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = (targetPath.parent_path() / ("." + base + "." + std::to_string(::getpid()) + "." +
                                            std::to_string(counter++) + ".tmp"))
                   .string();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw IniWriteError(displayName);

    auto fail = [&]() {
        ::close(fd);
        ::unlink(temp.c_str());
        throw IniWriteError(displayName);
    };
    if (existed) {
        if (::fchmod(fd, old.st_mode & 07777) != 0) fail();
        if (::geteuid() == 0 && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
            (void)!::fchown(fd, old.st_uid, old.st_gid);
    }
    if (!WriteAll(fd, prefix.data(), prefix.size()) || !WriteAll(fd, bytes, size) ||
        !WriteAll(fd, suffix.data(), suffix.size()) || ::fsync(fd) != 0)
        fail();
    if (::rename(temp.c_str(), target.c_str()) != 0) fail();

    struct stat st;
    const bool haveId = ::fstat(fd, &st) == 0;
    ::close(fd);
    const int dirFd = ::open(targetPath.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }

    dirty = false;
    known = haveId;  // without an identity the next call simply parses again
    present = true;
    unreadable = false;
    if (haveId) id = IdOf(st);
    Adopt(std::move(text));
}

namespace {

std::shared_ptr<IniDocument> AcquireDocument(const std::string& fileName) {
    std::string key;
    if (!fileName.empty()) {
        std::error_code ec;
        const auto abs = std::filesystem::absolute(fileName, ec);
        key = ec ? fileName : abs.lexically_normal().string();
    }
    // The layer's own cache: one parsed copy per path for as long as any object holds it.
    static std::mutex mutex;
    static std::unordered_map<std::string, std::weak_ptr<IniDocument>> registry;
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = registry.find(key); it != registry.end())
        if (auto doc = it->second.lock()) return doc;
    std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
    auto doc = std::make_shared<IniDocument>(key);
    registry[key] = doc;
    return doc;
}

// A write whose text would be read back as something else (a line break, a key that
// reads as a comment, a header or another key) would damage the entries around it.
bool Storable(const std::string& section, const std::string& key, const std::string& value) {
    auto hasBreak = [](const std::string& s) {
        // Eight bytes at a time: every value of a large save passes here.
        constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
        auto hasZero = [&](std::uint64_t v) { return ((v - ones) & ~v & highs) != 0; };
        std::size_t i = 0;
        for (; i + 8 <= s.size(); i += 8) {
            std::uint64_t x;
            std::memcpy(&x, s.data() + i, 8);
            if (hasZero(x ^ (ones * '\r')) || hasZero(x ^ (ones * '\n'))) return true;
        }
        for (; i < s.size(); ++i)
            if (s[i] == '\r' || s[i] == '\n') return true;
        return false;
    };
    if (hasBreak(section) || hasBreak(key) || hasBreak(value)) return false;
    const std::string_view k = Trim(key);
    if (k.find('=') != std::string_view::npos) return false;
    if (!k.empty() && k.front() == ';') return false;
    if (!k.empty() && k.front() == '[' &&
        (k.find(']') != std::string_view::npos || value.find(']') != std::string::npos))
        return false;
    return true;
}

bool ParseInteger(std::string_view s, std::int64_t& out) {
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    } else if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty()) return false;
    std::uint64_t v = 0;
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (v > (limit - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base))
            return false;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    out = negative ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v);
    return true;
}

}  // namespace

IniFile::IniFile(std::string fileName)
    : fileName_(std::move(fileName)), doc_(AcquireDocument(fileName_)) {}

IniFile::~IniFile() {
    try {
        doc_->Flush(fileName_);
    } catch (...) {
        // Closing cannot report; UpdateFile is the call that does.
    }
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) {
    doc_->Sync();
    std::string_view value;
    return doc_->FindValue(section, key, value) ? ValueAsRead(value) : defaultValue;
}

std::int64_t IniFile::ReadInteger(const std::string& section, const std::string& key,
                                  std::int64_t defaultValue) {
    doc_->Sync();
    std::string_view value;
    std::int64_t v;
    return doc_->FindValue(section, key, value) && ParseInteger(ValueAsRead(value), v)
               ? v
               : defaultValue;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    if (!Storable(section, key, value)) throw IniWriteError(fileName_);
    doc_->Sync();
    doc_->Write(section, key, value);
    if (autoFlush_) doc_->Flush(fileName_);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, std::int64_t value) {
    WriteString(section, key, std::to_string(value));
}

std::vector<std::string> IniFile::ReadSections() {
    doc_->Sync();
    std::vector<std::string> names;
    names.reserve(doc_->sections.size() - doc_->deadSections);
    for (const Section& s : doc_->sections)
        if (s.alive) names.emplace_back(s.name());
    return names;
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) {
    doc_->Sync();
    std::vector<std::string> keys;
    const std::uint32_t id = doc_->FindSection(section);
    if (id == kNone) return keys;
    Section& s = doc_->sections[id];
    const Line* body = doc_->Body(s);
    for (std::size_t i = 0, n = doc_->BodySize(s); i < n; ++i) {
        const LineParts parts = Classify(body[i]);
        if (parts.kind == LineKind::Entry) keys.emplace_back(parts.key);
    }
    return keys;
}

namespace {

// A list section as the program writes it (entries keyed by plain decimal numbers that
// rise, 0, 1, 2 or with gaps, nothing else) has no entry another could shadow, so it is
// read without building a key index: most sections of a schema file are such small lists.
// Anything else returns false untouched.
template <class F>
bool ForEachRisingListValue(IniDocument& doc, Section& s, F& f) {
    const Line* body = doc.Body(s);
    const std::size_t n = doc.BodySize(s);
    bool first = true;
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const LineParts parts = Classify(body[i]);
        if (parts.kind == LineKind::Blank || parts.kind == LineKind::Comment) continue;
        const std::string_view key = parts.key;
        // Plain: digits only, no leading zero, short enough to hold.
        if (parts.kind != LineKind::Entry || key.empty() || key.size() > 18 ||
            (key.size() > 1 && key.front() == '0'))
            return false;
        std::uint64_t number = 0;
        const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), number);
        if (ec != std::errc() || end != key.data() + key.size()) return false;
        if (!first && number <= previous) return false;
        first = false;
        previous = number;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const LineParts parts = Classify(body[i]);
        if (parts.kind == LineKind::Entry) f(parts.key, ValueAsRead(parts.value));
    }
    return true;
}

// Calls f(key, value) for each listed entry of the section, the value being the one its
// key reads (the first entry of that key, quotes stripped, cut).
template <class F>
void ForEachListedValue(IniDocument& doc, const std::string& section, F&& f) {
    const std::uint32_t id = doc.FindSection(section);
    if (id == kNone) return;
    Section& s = doc.sections[id];
    if (ForEachRisingListValue(doc, s, f)) return;
    KeyIndex& index = doc.IndexOf(s);
    const Line* body = doc.Body(s);
    for (std::size_t i = 0, n = doc.BodySize(s); i < n; ++i) {
        const LineParts parts = Classify(body[i]);
        if (parts.kind != LineKind::Entry) continue;
        KeyQuery q{parts.key};
        const KeyRef* first = doc.FindKey(s, index, q);
        if (first == nullptr || first->line == i) {
            f(parts.key, ValueAsRead(parts.value));
            continue;
        }
        const std::string_view shadow(body[first->line].text + first->valueOff, first->valueLen);
        f(parts.key, first->hasValue ? ValueAsRead(shadow) : std::string());
    }
}

}  // namespace

std::vector<std::string> IniFile::ReadSectionValues(const std::string& section) {
    doc_->Sync();
    std::vector<std::string> out;
    ForEachListedValue(*doc_, section, [&](std::string_view key, std::string value) {
        std::string line;
        line.reserve(key.size() + 1 + value.size());
        line.append(key).append(1, '=').append(value);
        out.push_back(std::move(line));
    });
    return out;
}

std::vector<std::string> IniFile::ReadSectionValueTexts(const std::string& section) {
    doc_->Sync();
    std::vector<std::string> out;
    ForEachListedValue(*doc_, section, [&](std::string_view, std::string value) {
        out.push_back(std::move(value));
    });
    return out;
}

bool IniFile::SectionExists(const std::string& section) {
    doc_->Sync();
    return doc_->FindSection(section) != kNone;
}

void IniFile::EraseSection(const std::string& section) {
    doc_->Sync();
    doc_->Erase(section);
    if (autoFlush_) doc_->Flush(fileName_);
}

void IniFile::UpdateFile() { doc_->Flush(fileName_); }

void IniFile::DiscardChanges() {
    doc_->dirty = false;
    doc_->known = false;
}

IniFile::Hold::Hold(IniFile& file) : doc_(file.doc_) { ++doc_->holds; }

IniFile::Hold::~Hold() {
    if (--doc_->holds == 0) doc_->heldFresh = false;
}
