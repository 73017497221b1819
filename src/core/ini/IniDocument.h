// The parsed copy of one INI file that every IniFile on its path shares, with the
// section and key lookups every call uses. Internal to the layer.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/ini/IniFile.h"
#include "core/ini/IniText.h"

namespace ini {

// What only a section that is looked into by key, or changed, needs.
struct SectionMore {
    std::vector<Line> own;  // body once it has been changed
    KeyIndex index;         // built on first use
};

// Kept small: a large file has tens of thousands, most only ever read in passing.
struct Section {
    Line header;
    std::uint32_t nameOff = 0;  // the name inside the header line
    std::uint32_t nameLen = 0;
    std::uint32_t hash = 0;
    std::uint32_t begin = 0, end = 0;  // body inside the document's lines, until detached
    std::uint32_t nextSame = kNone;    // the next section of the same name
    bool detached = false;
    bool alive = true;
    bool firstOfName = false;  // the one the section table holds for its name
    std::unique_ptr<SectionMore> more;

    std::string_view name() const { return {header.text + nameOff, nameLen}; }
    SectionMore& extra() {
        if (!more) more = std::make_unique<SectionMore>();
        return *more;
    }
    std::vector<Line>& own() { return extra().own; }
    KeyIndex& index() { return extra().index; }
};

struct Document {
    explicit Document(std::string p) : path(std::move(p)) {}

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
    std::string problem;      // why it could not be read
    FileId id;
    bool dirty = false;
    bool frozen = false;  // a snapshot: read once, never checked against the disk again
    // Every change since the last flush, so a flush can apply them onto a version another
    // process wrote meanwhile: the section and the key's place in its index (the line
    // holds the text until the flush), or kNone for an erased section. Cheap to keep, as
    // a large save makes hundreds of thousands of them.
    struct Change {
        std::uint32_t section;
        std::uint32_t key;
    };
    std::vector<Change> pending;
    bool replaying = false;
    void Record(std::uint32_t section, std::uint32_t key) {
        if (!replaying) pending.push_back({section, key});
    }
    struct PendingText {
        std::string section, key, value;
        bool erase;
    };

    // A bit per section name's hash, set for every section the file has had: a name it
    // lacks (a class without some kind of item) is mostly answered without the table.
    // Empty: no filter, any name may be there.
    std::vector<std::uint64_t> sectionBits;
    unsigned sectionBitShift = 0;
    std::uint32_t SectionBit(std::uint32_t hash) const {
        return (hash * 0x9E3779B1u) >> sectionBitShift;
    }
    void MarkSection(std::uint32_t hash) {
        if (sectionBits.empty()) return;
        const std::uint32_t bit = SectionBit(hash);
        sectionBits[bit >> 6] |= std::uint64_t{1} << (bit & 63);
    }
    bool MayHoldSection(std::uint32_t hash) const {
        if (sectionBits.empty()) return true;
        const std::uint32_t bit = SectionBit(hash);
        return (sectionBits[bit >> 6] >> (bit & 63)) & 1;
    }

    // Two sections found lately and the names they were asked by, as given: the latest
    // one the table found, and the latest one found by walking forward. Readers often take
    // turns between a section they come back to (a class's flags) and a walk through
    // others (its item lists), and the walk must not push the first one out.
    enum Slot : unsigned { kByTable = 0, kByWalk = 1 };
    std::string queries[2];
    std::uint32_t found[2] = {kNone, kNone};
    void Remember(std::string_view query, std::uint32_t id, Slot slot) {
        queries[slot].assign(query.data(), query.size());
        found[slot] = id;
    }
    void ForgetSections() { found[kByTable] = found[kByWalk] = kNone; }
    std::uint32_t lastFound = kNone;   // the latest section found, whatever the spelling
    std::uint32_t lastWalked = kNone;  // the latest found by walking forward: a reader back
                                       // from a look elsewhere goes on from there

    // --- lines

    Line* Body(Section& s) { return s.detached ? s.more->own.data() : lines.data() + s.begin; }
    std::size_t BodySize(const Section& s) const {
        return s.detached ? s.more->own.size() : s.end - s.begin;
    }
    void Detach(Section& s) {
        if (s.detached) return;
        s.own().assign(lines.begin() + s.begin, lines.begin() + s.end);
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

    void Reset();

    void Parse(char* begin, const char* end);

    void RebuildSectionTable();

    void Load(int fd, const struct stat& st);

    // Brings the parsed copy up to date with the file, unless writes are pending.
    void Sync();

    // --- finding

    std::uint32_t FindSection(const std::string& query) {
        for (const Slot slot : {kByWalk, kByTable})
            if (found[slot] != kNone && query == queries[slot]) return found[slot];
        const std::string_view name = Trim(query);
        // Readers mostly ask for sections in file order: the few after the last found, or
        // after the last walked to, are tried before the table, which keeps a large file's
        // reads walking forward in memory.
        std::uint32_t id = WalkFrom(lastFound, name);
        if (id == kNone && lastWalked != lastFound) id = WalkFrom(lastWalked, name);
        Slot slot = kByWalk;
        if (id != kNone) {
            lastWalked = id;
        } else {
            slot = kByTable;
            const std::uint32_t hash = FoldHash(name);
            if (MayHoldSection(hash))
                id = sectionTable.Find(
                    hash, [&](std::uint32_t k) { return FoldEqual(sections[k].name(), name); });
        }
        if (id != kNone) {
            lastFound = id;
            Remember(query, id, slot);
        }
        return id;
    }

    // The first section of name among the few after from, or kNone.
    std::uint32_t WalkFrom(std::uint32_t from, std::string_view name) const {
        if (from == kNone) return kNone;
        const std::size_t stop = std::min<std::size_t>(sections.size(), std::size_t{from} + 5);
        for (std::size_t next = std::size_t{from} + 1; next < stop; ++next) {
            const Section& s = sections[next];
            if (s.nameLen == name.size() && s.firstOfName && s.alive && FoldEqual(s.name(), name))
                return static_cast<std::uint32_t>(next);
        }
        return kNone;
    }

    KeyIndex& IndexOf(Section& s) {
        KeyIndex& index = s.index();
        if (index.built) return index;
        index.built = true;
        const Line* body = Body(s);
        const std::size_t n = BodySize(s);
        index.keys.reserve(n);
        if (n > 2 * kLinearKeys && IndexLarge(index, body, n)) return index;
        // One line at a time, each key kept at its first line.
        index.keys.clear();
        index.table.Clear();
        index.lastEntry = kNone;
        for (std::size_t i = 0; i < n; ++i) {
            const LineParts parts = Classify(body[i]);
            if (parts.kind != LineKind::Entry && parts.kind != LineKind::KeyOnly) continue;
            index.lastEntry = static_cast<std::uint32_t>(i);
            KeyQuery q{parts.key};
            if (FindKey(s, index, q) == nullptr) AddKey(s, index, q, RefOf(body, i, parts, 0));
        }
        return index;
    }

    // A section of many lines goes straight into a table (a schema file's definition
    // sections hold tens of thousands of keys). Every key line first, then the table: each
    // slot is fetched a few keys ahead, so the fetches overlap instead of waiting in turn.
    // False, with nothing kept, for a key on more than one line (rare).
    static bool IndexLarge(KeyIndex& index, const Line* body, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const LineParts parts = Classify(body[i]);
            if (parts.kind != LineKind::Entry && parts.kind != LineKind::KeyOnly) continue;
            index.lastEntry = static_cast<std::uint32_t>(i);
            index.keys.push_back(RefOf(body, i, parts, FoldHash(parts.key)));
        }
        index.table.Reserve(index.keys.size());
        constexpr std::size_t kAhead = 8;
        const auto count = static_cast<std::uint32_t>(index.keys.size());
        for (std::uint32_t k = 0; k < count; ++k) {
            if (k + kAhead < count) index.table.Prefetch(index.keys[k + kAhead].hash);
            if (index.table.FindOrInsert(index.keys[k].hash, k, [&](std::uint32_t earlier) {
                    return FoldEqual(KeyOf(body, index.keys[earlier]), KeyOf(body, index.keys[k]));
                }) != kNone)
                return false;
        }
        // Few distinct keys after all: searched linearly by tag, as a small section is.
        if (index.keys.size() <= kLinearKeys) {
            index.table.Clear();
            for (KeyRef& r : index.keys) r.hash = KeyTag(KeyOf(body, r));
        }
        return true;
    }

    static std::string_view KeyOf(const Line* body, const KeyRef& r) {
        return {body[r.line].text + r.keyOff, r.keyLen};
    }
    static KeyRef RefOf(const Line* body, std::size_t i, const LineParts& parts,
                        std::uint32_t hash) {
        const char* text = body[i].text;
        return KeyRef{static_cast<std::uint32_t>(i),
                      hash,
                      static_cast<std::uint32_t>(parts.key.data() - text),
                      static_cast<std::uint32_t>(parts.key.size()),
                      static_cast<std::uint32_t>(parts.value.data() - text),
                      static_cast<std::uint32_t>(parts.value.size()),
                      parts.kind == LineKind::Entry};
    }

    // Adds the first line of a key; its line must already be in the section body.
    void AddKey(Section& s, KeyIndex& index, KeyQuery& q, const KeyRef& ref) {
        index.keys.push_back(ref);
        const std::size_t n = index.keys.size();
        if (n <= kLinearKeys) {
            index.keys.back().hash = KeyTag(q.key);
        } else if (n == kLinearKeys + 1) {
            const Line* body = Body(s);
            // Room for every key the section already holds: IndexOf reserved them.
            index.table.Reserve(std::max(n * 2, index.keys.capacity()));
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
        // As with sections: keys asked for in file order skip the table, also past a few
        // keys the reader passed over. The index holds each key once, so a match there is
        // the one the table would give.
        if (index.lastFound != kNone) {
            const std::size_t stop = std::min<std::size_t>(index.keys.size(), index.lastFound + 5);
            for (std::size_t next = index.lastFound + 1; next < stop; ++next) {
                if (index.keys[next].keyLen != q.key.size() ||
                    !FoldEqual(keyOf(index.keys[next]), q.key))
                    continue;
                index.lastFound = static_cast<std::uint32_t>(next);
                return &index.keys[next];
            }
        }
        const std::uint32_t hash = q.Hash();
        const std::uint32_t k = index.table.Find(hash, [&](std::uint32_t id) {
            return index.keys[id].hash == hash && FoldEqual(keyOf(index.keys[id]), q.key);
        });
        if (k != kNone) index.lastFound = k;
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

    void AppendSection(std::string_view name, std::string_view key, std::string_view value);

    void Write(const std::string& section, const std::string& key, const std::string& value);

    // false when the entry already held the value
    bool WriteStored(const std::string& section, const std::string& key, const std::string& value);

    void Erase(const std::string& section);

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

    Bytes Serialize();

    // After a flush the written text becomes the parsed text: lines point into it, the
    // arena and erased sections go.
    void Adopt(Bytes text);

    std::vector<PendingText> PendingTexts();
    void Replay(const std::vector<PendingText>& changes);
    bool ChangedOnDisk(const std::string& target) const;
    // Reads target again as it stands, dropping every change.
    void Reload(const std::string& target);
    // merge: apply the pending changes onto a version another process wrote meanwhile,
    // rather than replace it.
    void Flush(const std::string& displayName, bool merge);
};

// A new file gets a temporary name from the start, as where the file system has no
// O_TMPFILE: lets tests take that path anywhere.
void UseNamedTempFilesOnly(bool on);

}  // namespace ini

struct IniDocument : ini::Document {
    using ini::Document::Document;
};

// The one parsed copy of fileName, shared while any object holds it; or, for a snapshot, a
// copy of its own.
std::shared_ptr<IniDocument> AcquireDocument(const std::string& fileName, IniFile::Mode mode);
