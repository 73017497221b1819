// Reading an INI file: the bytes, their encoding, the lines and the sections, and the
// check against the disk that decides when to read again.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/RegularFile.h"
#include "core/ini/IniDocument.h"
#include "core/ini/LineBreaks.h"

namespace ini {

namespace {

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

}  // namespace

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

void Document::Reset() {
    data = Bytes();
    arena.Clear();
    lines.clear();
    preambleCount = 0;
    sections.clear();
    deadSections = 0;
    sectionTable.Clear();
    sectionBits.clear();
    encoding = Encoding::Bytes;
    oddByte.clear();
    ForgetSections();
    lastFound = lastWalked = kNone;
}

void Document::Parse(char* begin, const char* end) {
    const char* p = begin;
    lines.reserve(static_cast<std::size_t>(end - p) / 24 + 16);
    // Growing the sections one by one would move every one of a large file's many times.
    sections.reserve(CountBracketLines(p, end));
    BreakScanner breaks(p, end);
    bool inSection = false;
    while (p < end) {
        const char* stop = breaks.Next(p);
        const char* next;
        std::uint8_t term;
        if (stop == end) {
            term = kTermNone;
            next = end;
        } else if (*stop == '\n') {
            term = kTermLF;
            next = stop + 1;
        } else if (stop + 1 < end && stop[1] == '\n') {
            term = kTermCRLF;
            next = stop + 2;
        } else {
            term = kTermCR;
            next = stop + 1;
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

void Document::RebuildSectionTable() {
    sectionTable.Clear();
    sectionTable.Reserve(sections.size());
    // About 16 bits a section: few absent names pass.
    unsigned bits = 6;
    while (bits < 31 && (std::size_t{1} << bits) < sections.size() * 16) ++bits;
    sectionBits.assign((std::size_t{1} << bits) / 64, 0);
    sectionBitShift = 32 - bits;
    // The last section of each name so far, kept by the first one's place: a file of many
    // sections of one name must not walk their chain for each of them.
    std::vector<std::uint32_t> lastOfName(sections.size(), kNone);
    constexpr std::uint32_t kAhead = 8;  // each slot fetched ahead, as for a key index
    const auto count = static_cast<std::uint32_t>(sections.size());
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i + kAhead < count) sectionTable.Prefetch(sections[i + kAhead].hash);
        Section& s = sections[i];
        s.nextSame = kNone;
        s.firstOfName = false;
        MarkSection(s.hash);
        const std::string_view name = s.name();
        const std::uint32_t first = sectionTable.FindOrInsert(
            s.hash, i, [&](std::uint32_t id) { return FoldEqual(sections[id].name(), name); });
        if (first == kNone) {
            s.firstOfName = true;
            lastOfName[i] = i;
        } else {
            sections[lastOfName[first]].nextSame = i;
            lastOfName[first] = i;
        }
    }
    ForgetSections();
    lastFound = lastWalked = kNone;
}

void Document::Load(int fd, const struct stat& st) {
    Reset();
    if (!S_ISREG(st.st_mode)) {
        unreadable = true;
        problem = "not a regular file";
        return;
    }
    if (static_cast<std::uint64_t>(st.st_size) >= kMaxFileSize) {
        unreadable = true;
        problem = "too large (4 GiB or more)";
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
            problem = std::strerror(errno);
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
void Document::Sync() {
    if (dirty || (frozen && known)) return;
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
            problem = missing ? std::string() : std::strerror(errno);
            id = FileId{};
        }
        return;
    }
    const FileId now = IdOf(st);
    if (known && present && now == id) return;
    known = true;
    present = true;
    unreadable = false;
    problem.clear();
    // Never a plain open: a FIFO planted where the file should be would block it for ever.
    const RegularFile file(path);
    struct stat fst;
    if (!file.ok() || ::fstat(file.fd(), &fst) != 0) {
        problem = file.ok() ? std::strerror(errno) : file.reason();
        Reset();
        unreadable = true;
        id = now;
        return;
    }
    id = IdOf(fst);
    Load(file.fd(), fst);
}

}  // namespace ini
