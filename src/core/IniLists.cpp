// Whole sections: the section names, the keys and the key=value lines of one section.
#include "IniDocument.h"

using namespace ini;

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

// Calls f(key, value) for each listed entry of the section, the value being the one its
// key reads (the first entry of that key, quotes stripped, cut).
template <class F>
void ForEachListedValue(IniDocument& doc, const std::string& section, F&& f) {
    const std::uint32_t id = doc.FindSection(section);
    if (id == kNone) return;
    Section& s = doc.sections[id];
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
