#include "core/fit/LdifEntries.h"

#include <array>

namespace {

bool NameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == ';' || c == '.' || c == '_';
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (x != b[i]) return false;
    }
    return true;
}

// One physical line without its end, and where the next begins.
struct PhysicalLine {
    std::string_view text;
    std::size_t next;
};

PhysicalLine LineAt(std::string_view text, std::size_t pos) {
    const std::size_t lf = text.find('\n', pos);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return {line, lf == std::string_view::npos ? text.size() : lf + 1};
}

constexpr std::array<signed char, 256> kBase64 = [] {
    std::array<signed char, 256> t{};
    for (auto& v : t) v = -1;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    return t;
}();

// A value's text with its place in the record's store (values are moved there when folded
// or decoded), made views once the record is whole and the store no longer grows.
struct Pending {
    std::size_t descStart, descLen;
    bool descStored;
    std::size_t valueStart, valueLen;
    bool valueStored;
    std::uint64_t line;
};

}  // namespace

bool DecodeBase64(std::string_view in, std::string& out) {
    while (!in.empty() && in.back() == ' ') in.remove_suffix(1);
    std::size_t padding = 0;
    while (!in.empty() && in.back() == '=' && padding < 2) {
        in.remove_suffix(1);
        ++padding;
    }
    if (in.size() % 4 == 1) return false;
    if (padding > 0 && (in.size() + padding) % 4 != 0) return false;
    std::uint32_t acc = 0;
    int bits = 0;
    for (const char c : in) {
        const int v = kBase64[static_cast<unsigned char>(c)];
        if (v < 0) return false;
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return true;
}

bool LdifRecordReader::next(LdifRecord& record) {
    record.values.clear();
    record.store.clear();
    record.error.clear();
    record.errorLine = 0;
    record.dn = {};
    // Blank lines and comments between records.
    for (;;) {
        if (pos_ >= text_.size()) return false;
        const PhysicalLine l = LineAt(text_, pos_);
        if (l.text.empty()) {
            pos_ = l.next;
            ++line_;
            continue;
        }
        if (l.text.front() != '#') break;
        // A comment and its continuation lines.
        pos_ = l.next;
        ++line_;
        while (pos_ < text_.size() && text_[pos_] == ' ') {
            pos_ = LineAt(text_, pos_).next;
            ++line_;
        }
    }
    std::size_t recordStart = pos_;
    record.line = line_;
    std::vector<Pending> pending;
    std::string logical;
    bool sawDn = false;
    bool firstLine = true;
    const auto fail = [&](std::uint64_t at, std::string why) {
        if (record.error.empty()) {
            record.error = std::move(why);
            record.errorLine = at;
        }
    };
    while (pos_ < text_.size()) {
        PhysicalLine l = LineAt(text_, pos_);
        if (l.text.empty()) break;
        const std::size_t lineStart = pos_;
        const std::uint64_t at = line_;
        pos_ = l.next;
        ++line_;
        // Folded lines continue after one space.
        std::string_view joined = l.text;
        bool stored = false;
        if (pos_ < text_.size() && text_[pos_] == ' ') {
            logical.assign(l.text);
            while (pos_ < text_.size() && text_[pos_] == ' ') {
                const PhysicalLine c = LineAt(text_, pos_);
                logical.append(c.text.substr(1));
                pos_ = c.next;
                ++line_;
            }
            joined = logical;
            stored = true;
        }
        if (joined.front() == '#') continue;
        if (!record.error.empty()) continue;  // the rest of a bad record is passed over
        if (joined.front() == ' ') {
            fail(at, "a continuation line with no line before it");
            continue;
        }
        const std::size_t colon = joined.find(':');
        if (colon == std::string_view::npos) {
            fail(at, "a line without a colon");
            continue;
        }
        const std::string_view desc = joined.substr(0, colon);
        bool goodName = !desc.empty();
        for (const char c : desc) goodName = goodName && NameChar(c);
        if (!goodName) {
            fail(at, "not an attribute description before the colon");
            continue;
        }
        std::string_view rest = joined.substr(colon + 1);
        bool base64 = false;
        if (!rest.empty() && rest.front() == ':') {
            base64 = true;
            rest.remove_prefix(1);
        } else if (!rest.empty() && rest.front() == '<') {
            fail(at, "a value by URL (:<) is not read");
            continue;
        }
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        if (firstLine && first_ && SameWord(desc, "version")) {
            first_ = false;
            continue;
        }
        firstLine = false;
        first_ = false;
        if (!sawDn) {
            if (!SameWord(desc, "dn")) {
                fail(at, "a record without dn: (it starts with " + std::string(desc.substr(0, 64)) +
                             ":)");
                continue;
            }
            sawDn = true;
            record.line = at;
            recordStart = lineStart;
        } else if (SameWord(desc, "dn")) {
            fail(at, "a second dn: in one record (a blank line missing?)");
            continue;
        } else if (SameWord(desc, "changetype")) {
            if (!base64 && SameWord(rest, "add")) continue;
            fail(at, "a change record, not an entry");
            continue;
        } else if (SameWord(desc, "control")) {
            fail(at, "a change record, not an entry");
            continue;
        }
        Pending p{0, desc.size(), stored, 0, 0, stored, at};
        if (stored) {
            p.descStart = record.store.size();
            record.store.append(desc);
        } else {
            p.descStart = static_cast<std::size_t>(desc.data() - text_.data());
        }
        if (base64) {
            p.valueStart = record.store.size();
            p.valueStored = true;
            if (!DecodeBase64(rest, record.store)) {
                fail(at, "a :: value that is not base64");
                continue;
            }
            p.valueLen = record.store.size() - p.valueStart;
        } else if (stored) {
            p.valueStart = record.store.size();
            record.store.append(rest);
            p.valueLen = rest.size();
        } else {
            p.valueStart = static_cast<std::size_t>(rest.data() - text_.data());
            p.valueLen = rest.size();
        }
        pending.push_back(p);
    }
    record.text = text_.substr(recordStart, pos_ - recordStart);
    if (!sawDn && record.error.empty()) {
        // Only version: or comments: nothing to check.
        if (pending.empty()) return next(record);
        fail(record.line, "a record without dn:");
    }
    const std::string_view store = record.store;
    const auto view = [&](bool inStore, std::size_t start, std::size_t len) {
        return inStore ? store.substr(start, len) : text_.substr(start, len);
    };
    // A record that cannot be read is still named by its DN where it has one.
    if (!record.error.empty()) {
        if (sawDn && !pending.empty())
            record.dn = view(pending[0].valueStored, pending[0].valueStart, pending[0].valueLen);
        return true;
    }
    record.values.reserve(pending.size());
    bool dnTaken = false;
    for (const Pending& p : pending) {
        const std::string_view v = view(p.valueStored, p.valueStart, p.valueLen);
        if (!dnTaken) {
            record.dn = v;
            dnTaken = true;
            continue;
        }
        record.values.push_back({view(p.descStored, p.descStart, p.descLen), v, p.line});
    }
    return true;
}
