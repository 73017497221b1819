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
// writer wins on the same key, nothing of the other's is lost) and writes. After our own
// flush the new file's identity is recorded, so it is not parsed again.
//
// Identity is checked by stat, so a rewrite in place that keeps size and inode within
// one timestamp tick of the file system can go unseen until the next change.
//
// Objects on one path share one parsed copy; they must be used from one thread.
#include "IniFile.h"

#include <cstring>
#include <limits>

#include "IniDocument.h"

using namespace ini;

IniWriteError::IniWriteError(const std::string& fileName, std::string detail)
    : std::runtime_error("Unable to write to " + fileName),
      fileName_(fileName),
      detail_(std::move(detail)) {}

namespace {

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

IniFile::IniFile(std::string fileName, Mode mode)
    : fileName_(std::move(fileName)), doc_(AcquireDocument(fileName_, mode)) {}

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
    if (!Storable(section, key, value))
        throw IniWriteError(fileName_, "the text would read back as other lines");
    doc_->Sync();
    doc_->Write(section, key, value);
    if (autoFlush_) doc_->Flush(fileName_);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, std::int64_t value) {
    WriteString(section, key, std::to_string(value));
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
    doc_->pending.clear();
}

std::string IniFile::ReadProblem() {
    doc_->Sync();
    return doc_->unreadable ? doc_->problem : std::string();
}
