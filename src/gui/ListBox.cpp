#include "ListBox.h"

#include <QGuiApplication>
#include <QLocale>
#include <algorithm>

ListBoxModel::ListBoxModel(bool sorted, QObject* parent)
    : QAbstractListModel(parent), sorted_(sorted), collator_(NameCollator()) {}

int ListBoxModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ListBoxModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) return rows_[static_cast<size_t>(index.row())].text;
    return {};
}

ListBoxModel::Row ListBoxModel::makeRow(const std::string& bytes, std::uint32_t number) const {
    Row row{bytes, number, DecodeName(bytes), std::nullopt};
    if (sorted_) row.key = collator_.sortKey(row.text);
    return row;
}

void ListBoxModel::clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void ListBoxModel::appendRows(std::vector<Row> rows) {
    if (rows.empty()) return;
    if (!sorted_) {
        const int first = rowCount();
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
        std::move(rows.begin(), rows.end(), std::back_inserter(rows_));
        endInsertRows();
        return;
    }
    // One stable sort per fill keeps a fill of many names linearithmic.
    ensureKeys();
    beginResetModel();
    const auto oldSize = static_cast<std::ptrdiff_t>(rows_.size());
    std::move(rows.begin(), rows.end(), std::back_inserter(rows_));
    auto less = [](const Row& a, const Row& b) { return a.key->compare(*b.key) < 0; };
    std::stable_sort(rows_.begin() + oldSize, rows_.end(), less);
    std::inplace_merge(rows_.begin(), rows_.begin() + oldSize, rows_.end(), less);
    endResetModel();
}

void ListBoxModel::addItem(const std::string& bytes, std::uint32_t number) {
    Row row = makeRow(bytes, number);
    if (!sorted_) {
        std::vector<Row> one;
        one.push_back(std::move(row));
        appendRows(std::move(one));
        return;
    }
    ensureKeys();
    auto pos = std::upper_bound(rows_.begin(), rows_.end(), row, [](const Row& a, const Row& b) {
        return a.key->compare(*b.key) < 0;
    });
    const int at = static_cast<int>(pos - rows_.begin());
    beginInsertRows(QModelIndex(), at, at);
    rows_.insert(pos, std::move(row));
    endInsertRows();
}

void ListBoxModel::addItems(const NameList& items) {
    std::vector<Row> rows;
    rows.reserve(items.size());
    for (const NameEntry& e : items) rows.push_back(makeRow(e.name, e.number));
    appendRows(std::move(rows));
}

void ListBoxModel::addLines(const std::vector<std::string>& lines) {
    std::vector<Row> rows;
    rows.reserve(lines.size());
    for (const std::string& line : lines) rows.push_back(makeRow(line, 0));
    appendRows(std::move(rows));
}

ListBox::ListBox(const QString& objectName, bool sorted, QWidget* parent)
    : QListView(parent), model_(new ListBoxModel(sorted, this)) {
    setObjectName(objectName);
    setModel(model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // A click on the line already selected shows it again, as a keyboard move does.
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex&) { Q_EMIT selectionMade(); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid() && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
                    Q_EMIT selectionMade();
            });
}

QString ListBox::itemText(int row) const {
    return model_->data(model_->index(row), Qt::DisplayRole).toString();
}

std::vector<std::string> ListBox::lines() const {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count()));
    for (int i = 0; i < count(); ++i) out.push_back(itemBytes(i));
    return out;
}

int ListBox::currentRow() const {
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.row() : -1;
}

void ListBox::setCurrentRow(int row) { setCurrentIndex(model_->index(row)); }

std::optional<std::string> ListBox::selectedBytes() const {
    const int row = currentRow();
    if (row < 0 || row >= count()) return std::nullopt;
    return itemBytes(row);
}

void ListBoxModel::ensureKeys() {
    for (Row& row : rows_)
        if (!row.key) row.key = collator_.sortKey(row.text);
}

void ListBoxModel::addSortedItems(const NameList& items) {
    if (!sorted_ || !rows_.empty()) {
        addItems(items);
        return;
    }
    std::vector<Row> rows;
    rows.reserve(items.size());
    for (const NameEntry& e : items)
        rows.push_back(Row{e.name, e.number, DecodeName(e.name), std::nullopt});
    if (rows.empty()) return;
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}
