#include "gui/ListBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <algorithm>
#include <utility>

#include "gui/ListDelegate.h"

ListBoxModel::ListBoxModel(bool sorted, QObject* parent)
    : QAbstractListModel(parent), sorted_(sorted), collator_(NameCollator()) {}

int ListBoxModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ListBoxModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) return row.text;
    if (role == Qt::ToolTipRole && row.marked) return row.tip;
    return {};
}

void ListBoxModel::setMarked(int row, bool marked, const QString& tip) {
    Row& r = rows_.at(static_cast<size_t>(row));
    if (r.marked == marked && r.tip == tip) return;
    r.marked = marked;
    r.tip = marked ? tip : QString();
    const QModelIndex at = index(row);
    Q_EMIT dataChanged(at, at, {Qt::ToolTipRole});
}

ListBoxModel::Row ListBoxModel::makeRow(const std::string& bytes, std::uint32_t number) const {
    Row row{bytes, number, DecodeName(bytes), std::nullopt, 0, {}, false, {}};
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

void ListBoxModel::addMarkedLines(std::vector<MarkedLine> lines) {
    std::vector<Row> rows;
    rows.reserve(lines.size());
    for (MarkedLine& line : lines) {
        Row& row = rows.emplace_back(makeRow(line.bytes, 0));
        row.tree = static_cast<std::int8_t>(line.tree);
        row.emphasis = std::move(line.emphasis);
    }
    appendRows(std::move(rows));
}

ListBox::ListBox(const QString& objectName, bool sorted, QWidget* parent)
    : QListView(parent), model_(new ListBoxModel(sorted, this)) {
    setObjectName(objectName);
    setModel(model_);
    setItemDelegate(new ListDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // A refilled list starts at its top, with no highlight left from the old lines.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        highlightRow_ = -1;
        scrollToTop();
        Q_EMIT linesChanged();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { Q_EMIT linesChanged(); });
}

void ListBox::allowManySelected() { setSelectionMode(QAbstractItemView::ExtendedSelection); }

void ListBox::addFindings(const Findings& findings) {
    std::vector<MarkedLine> lines;
    for (const Finding& f : findings) {
        std::vector<MarkedLine> more = MarkedFindingLines(f);
        std::move(more.begin(), more.end(), std::back_inserter(lines));
    }
    model_->addMarkedLines(std::move(lines));
}

void ListBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Find)) {
        Q_EMIT findRequested();
    } else if (event->matches(QKeySequence::FindNext)) {
        Q_EMIT findStepRequested(false);
    } else if (event->matches(QKeySequence::FindPrevious)) {
        Q_EMIT findStepRequested(true);
    } else if (event->matches(QKeySequence::Copy)) {
        copySelection();
    } else {
        // Only a move made by this key counts as the user's choice; Qt also makes a line
        // current when focus merely enters the list.
        keyboardMove_ = true;
        QListView::keyPressEvent(event);
        keyboardMove_ = false;
        return;
    }
    event->accept();
}

void ListBox::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QListView::currentChanged(current, previous);
    if (keyboardMove_ && current.isValid() && selectionModel()->isSelected(current))
        Q_EMIT selectionMade();
}

void ListBox::mousePressEvent(QMouseEvent* event) {
    // The right button opens the menu and the middle one does nothing: neither moves the
    // selection away from the line whose details are shown.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
    releaseAfterDoubleClick_ = true;
}

void ListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    if (std::exchange(releaseAfterDoubleClick_, false)) return;
    // A click on the line already selected shows it again, as a keyboard move does.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index == currentIndex() && selectionModel()->isSelected(index))
        Q_EMIT selectionMade();
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
    if (row < 0 || row >= count() || !selectionModel()->isSelected(currentIndex()))
        return std::nullopt;
    return itemBytes(row);
}

QString ListBox::selectedText() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows << index.row();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows) lines << itemText(row);
    return lines.join('\n');
}

void ListBox::copySelection() const {
    if (!selectionModel()->hasSelection()) return;
    QGuiApplication::clipboard()->setText(selectedText());
}

void ListBox::setHighlightRow(int row) {
    highlightRow_ = row >= 0 && row < count() ? row : -1;
    if (highlightRow_ >= 0) scrollTo(model_->index(highlightRow_));
    viewport()->update();
}

std::vector<int> ListBox::rowsContaining(const QString& text) const {
    std::vector<int> rows;
    if (text.isEmpty()) return rows;
    for (int row = 0; row < count(); ++row)
        if (itemText(row).contains(text, Qt::CaseInsensitive)) rows.push_back(row);
    return rows;
}

void ListBox::selectRows(int first, int last) {
    if (first < 0 || last < first || last >= count()) return;
    selectionModel()->select(QItemSelection(model_->index(first), model_->index(last)),
                             QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(model_->index(first), QItemSelectionModel::NoUpdate);
    scrollTo(model_->index(last));
    scrollTo(model_->index(first), QAbstractItemView::PositionAtTop);
}

void ListBox::chooseRow(int row) {
    if (row < 0 || row >= count()) return;
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
    Q_EMIT selectionMade();
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
        rows.push_back(Row{e.name, e.number, DecodeName(e.name), std::nullopt, 0, {}, false, {}});
    if (rows.empty()) return;
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}
