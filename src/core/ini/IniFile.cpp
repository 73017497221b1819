// The INI layer. A file is parsed once into lines that point into the file's bytes
// (IniParse.cpp); each section keeps its own lines and, once looked into, an index of its
// keys (IniDocument.h). Writes edit those lines and a flush writes the whole file beside
// the target and renames it into place (IniWrite.cpp). One parsed copy per path
// (IniCache.cpp); whole sections (IniLists.cpp). This file: the calls themselves.
//
// Freshness: while nothing is pending, every call compares the file's identity (device,
// inode, size, modification and change time to the nanosecond) with the one parsed, and
// parses again when it differs. While writes are pending, the file on disk is not
// consulted until the flush: under a lock on the folder it reads the file again if
// another process changed it, applies this process's own changes on top (the later
// writer wins on the same key, nothing of the other's is lost) and writes; a file written
// whole (a schema file) is put in place as this process has it, so it never mixes two
// writers' content. After our own flush the new file's identity is recorded, so it is not
// parsed again.
//
// Identity is checked by stat, so a rewrite in place that keeps size and inode within
// one timestamp tick of the file system can go unseen until the next change.
//
// Objects on one path share one parsed copy; they must be used from one thread.
#include "core/ini/IniFile.h"

#include <cstring>
#include <limits>

#include "core/ini/IniDocument.h"

using namespace ini;

IniWriteError::IniWriteError(const std::string& fileName, std::string detail)
    : std::runtime_error("Unable to write to " + fileName),
      fileName_(fileName),
      detail_(std::move(detail)) {}

namespace {

bool HasBreak(const std::string& s) {
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
}

// A name in a message: line breaks and other control bytes spelt out, a long one shortened.
std::string Shown(std::string_view text) {
    constexpr std::size_t kShown = 80;
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == kShown) {
            out += "...";
            break;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A write whose text would be read back as something else (a line break, a key that reads
// as a comment, a header or another key) would damage the entries around it: what is
// wrong with it, naming the text, or empty when it can be written.
std::string Unstorable(const std::string& section, const std::string& key,
                       const std::string& value) {
    if (HasBreak(section)) return "the section name " + Shown(section);
    if (HasBreak(key)) return "the key " + Shown(key);
    if (HasBreak(value)) return "the value " + Shown(value) + " of the key " + Shown(key);
    const std::string_view k = Trim(key);
    if (k.find('=') != std::string_view::npos || (!k.empty() && k.front() == ';') ||
        (!k.empty() && k.front() == '[' &&
         (k.find(']') != std::string_view::npos || value.find(']') != std::string::npos)))
        return "the key " + Shown(key);
    return {};
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

IniFile::IniFile(std::string fileName, Mode mode)
    : fileName_(std::move(fileName)), doc_(AcquireDocument(fileName_, mode)) {}

IniFile::~IniFile() {
    try {
        doc_->Flush(fileName_, !writtenWhole_);
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

bool IniFile::ReadStringInto(const std::string& section, const std::string& key,
                             std::string& value) {
    doc_->Sync();
    std::string_view found;
    if (!doc_->FindValue(section, key, found)) return false;
    value.assign(ValueViewAsRead(found));
    return true;
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
    if (const std::string what = Unstorable(section, key, value); !what.empty())
        throw IniWriteError(fileName_, what + " would read back as other lines");
    doc_->Sync();
    doc_->Write(section, key, value);
    if (autoFlush_) doc_->Flush(fileName_, !writtenWhole_);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, std::int64_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::EraseSection(const std::string& section) {
    doc_->Sync();
    doc_->Erase(section);
    if (autoFlush_) doc_->Flush(fileName_, !writtenWhole_);
}

void IniFile::UpdateFile() { doc_->Flush(fileName_, !writtenWhole_); }

void IniFile::DiscardChanges() {
    doc_->dirty = false;
    doc_->known = false;
    doc_->pending.clear();
}

std::string IniFile::ReadProblem() {
    doc_->Sync();
    return doc_->unreadable ? doc_->problem : std::string();
}
