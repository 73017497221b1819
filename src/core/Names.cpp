#include "core/Names.h"

#include <QCollator>
#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <numeric>

#include "core/AsciiFold.h"

QString DecodeName(std::string_view bytes) {
    const auto size = static_cast<qsizetype>(bytes.size());
    // ASCII reads the same either way, and Latin-1 is the cheap way.
    if (fold::IsAscii(bytes)) return QString::fromLatin1(bytes.data(), size);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), size));
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes.data(), size);
}

std::string NameKey(std::string_view name) {
    // Pure ASCII is the common case and folds without leaving the bytes.
    if (fold::IsAscii(name)) {
        std::string key(name);
        for (char& c : key)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return key;
    }
    return DecodeName(name).toCaseFolded().toStdString();
}

QCollator NameCollator() {
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator{locale};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

namespace {

// Decodes into text, reusing its buffer: ASCII, the common case, needs no decoder and no
// allocation a name.
void DecodeInto(std::string_view bytes, QString& text) {
    if (!fold::IsAscii(bytes)) {
        text = DecodeName(bytes);
        return;
    }
    text.resize(static_cast<qsizetype>(bytes.size()));
    QChar* out = text.data();
    for (const char c : bytes) *out++ = QChar(static_cast<char16_t>(c));
}

template <typename T, typename GetName>
bool SortedByCollation(const std::vector<T>& items, GetName getName, const QCollator& collator) {
    if (items.size() < 2) return true;
    QString previous;
    QString current;
    DecodeInto(getName(items.front()), previous);
    for (std::size_t i = 1; i < items.size(); ++i) {
        DecodeInto(getName(items[i]), current);
        if (collator.compare(previous, current) > 0) return false;
        std::swap(previous, current);
    }
    return true;
}

template <typename T, typename GetName>
void SortByCollation(std::vector<T>& items, GetName getName) {
    const QCollator collator = NameCollator();
    // A schema file holds its lists sorted already: one comparison a name tells, for far
    // less than a sort key a name. (A sorted list is left as the stable sort would leave it.)
    if (SortedByCollation(items, getName, collator)) return;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(items.size());
    for (const T& item : items) keys.push_back(collator.sortKey(DecodeName(getName(item))));
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (std::size_t i : order) sorted.push_back(std::move(items[i]));
    items = std::move(sorted);
}

}  // namespace

void SortNames(NameList& names) {
    SortByCollation(names, [](const NameEntry& e) -> const std::string& { return e.name; });
}

void SortNames(std::vector<std::string>& names) {
    SortByCollation(names, [](const std::string& s) -> const std::string& { return s; });
}
