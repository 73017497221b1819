// Whole sections: the section names, the keys and the key=value lines of one section.
#include <cstdint>

#include "core/ini/IniDocument.h"

using namespace ini;

std::vector<std::string> IniFile::ReadSections() {
    doc_->Sync();
    std::vector<std::string> names;
    names.reserve(doc_->sections.size() - doc_->deadSections);
    for (const Section& s : doc_->sections)
        if (s.alive) names.emplace_back(s.name());
    return names;
}

void IniFile::StartOver() {
    doc_->Sync();
    for (const std::string& section : ReadSections()) doc_->Erase(section);
    // Pending, even when there was nothing to erase: no later read takes the file again.
    doc_->dirty = true;
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
// Each entry goes to f as it is read; at a line of any other shape, undo takes back what
// f was given and the answer is false.
template <class F, class U>
bool ForEachRisingListValue(IniDocument& doc, Section& s, F& f, U& undo) {
    const Line* body = doc.Body(s);
    const std::size_t n = doc.BodySize(s);
    bool first = true;
    std::uint64_t previous = 0;
    auto otherShape = [&] {
        if (!first) undo();
        return false;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const LineParts parts = Classify(body[i]);
        if (parts.kind == LineKind::Blank || parts.kind == LineKind::Comment) continue;
        const std::string_view key = parts.key;
        // Plain: digits only, no leading zero, short enough to hold.
        if (parts.kind != LineKind::Entry || key.empty() || key.size() > 18 ||
            (key.size() > 1 && key.front() == '0'))
            return otherShape();
        std::uint64_t number = 0;  // at most 18 digits: never overflows
        for (const char c : key) {
            if (c < '0' || c > '9') return otherShape();
            number = number * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (!first && number <= previous) return otherShape();
        first = false;
        previous = number;
        f(key, ValueViewAsRead(parts.value));
    }
    return true;
}

// Calls f(key, value) for each listed entry of the section, the value being the one its
// key reads (the first entry of that key, quotes stripped, cut); undo drops whatever f
// was given, for a section read a second way.
template <class F, class U>
void ForEachListedValue(IniDocument& doc, Section& s, F&& f, U&& undo) {
    if (ForEachRisingListValue(doc, s, f, undo)) return;
    KeyIndex& index = doc.IndexOf(s);
    const Line* body = doc.Body(s);
    for (std::size_t i = 0, n = doc.BodySize(s); i < n; ++i) {
        const LineParts parts = Classify(body[i]);
        if (parts.kind != LineKind::Entry) continue;
        KeyQuery q{parts.key};
        const KeyRef* first = doc.FindKey(s, index, q);
        if (first == nullptr || first->line == i) {
            f(parts.key, ValueViewAsRead(parts.value));
            continue;
        }
        const std::string_view shadow(body[first->line].text + first->valueOff, first->valueLen);
        f(parts.key, first->hasValue ? ValueViewAsRead(shadow) : std::string_view());
    }
}

template <class F, class U>
void ForEachListedValue(IniDocument& doc, const std::string& section, F&& f, U&& undo) {
    const std::uint32_t id = doc.FindSection(section);
    if (id != kNone) ForEachListedValue(doc, doc.sections[id], f, undo);
}

}  // namespace

std::vector<std::string> IniFile::ReadSectionValues(const std::string& section) {
    doc_->Sync();
    std::vector<std::string> out;
    ForEachListedValue(
        *doc_, section,
        [&](std::string_view key, std::string_view value) {
            std::string line;
            line.reserve(key.size() + 1 + value.size());
            line.append(key).append(1, '=').append(value);
            out.push_back(std::move(line));
        },
        [&] { out.clear(); });
    return out;
}

std::vector<std::string> IniFile::ReadSectionValueTexts(const std::string& section) {
    struct Into final : ValueTaker {
        std::vector<std::string> out;
        void reserve(std::size_t most) override { out.reserve(most); }
        void take(std::string_view text) override { out.emplace_back(text); }
        void restart() override { out.clear(); }
    } into;
    ReadSectionValueTexts(section, into);
    return std::move(into.out);
}

void IniFile::ReadSectionValueTexts(const std::string& section, ValueTaker& taker) {
    doc_->Sync();
    const std::uint32_t id = doc_->FindSection(section);
    if (id == kNone) return;
    Section& s = doc_->sections[id];
    taker.reserve(doc_->BodySize(s));
    ForEachListedValue(
        *doc_, s, [&](std::string_view, std::string_view value) { taker.take(value); },
        [&] { taker.restart(); });
}

void IniFile::ReadSectionValueTexts(const std::string& section, std::vector<std::string>& texts) {
    doc_->Sync();
    std::size_t n = 0;
    ForEachListedValue(
        *doc_, section,
        [&](std::string_view, std::string_view value) {
            if (n < texts.size())
                texts[n].assign(value);
            else
                texts.emplace_back(value);
            ++n;
        },
        [&] { n = 0; });
    texts.resize(n);
}

bool IniFile::SectionExists(const std::string& section) {
    doc_->Sync();
    return doc_->FindSection(section) != kNone;
}
