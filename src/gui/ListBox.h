// The window's list box: a QListView over a model of byte-string lines. A sorted list box
// keeps its lines in the locale's case-insensitive order (sorted once per fill, stable for
// equal names); every line hands back the exact bytes it was given. A line is "chosen"
// only by a left click or a keyboard move; the find highlight is apart from the selection.
#pragma once

#include <QAbstractListModel>
#include <QCollator>
#include <QCollatorSortKey>
#include <QListView>
#include <optional>
#include <string>
#include <vector>

#include "core/Names.h"
#include "core/compare/Findings.h"
#include "gui/LineMarks.h"

class ListBoxModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit ListBoxModel(bool sorted, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    bool sorted() const { return sorted_; }
    void clear();
    void addItem(const std::string& bytes, std::uint32_t number = 0);
    void addItems(const NameList& items);
    // Items already in the list's order (sorted by SortNames): no collation keys are made
    // until an item has to be placed among them.
    void addSortedItems(const NameList& items);
    void addLines(const std::vector<std::string>& lines);
    void addMarkedLines(std::vector<MarkedLine> lines);
    const std::string& itemBytes(int row) const { return rows_.at(static_cast<size_t>(row)).bytes; }
    std::uint32_t itemNumber(int row) const { return rows_.at(static_cast<size_t>(row)).number; }
    int itemTree(int row) const { return rows_.at(static_cast<size_t>(row)).tree; }
    const std::vector<TextSpan>& itemEmphasis(int row) const {
        return rows_.at(static_cast<size_t>(row)).emphasis;
    }
    bool itemMarked(int row) const { return rows_.at(static_cast<size_t>(row)).marked; }
    void setMarked(int row, bool marked, const QString& tip);

  private:
    struct Row {
        std::string bytes;
        std::uint32_t number = 0;
        QString text;
        std::optional<QCollatorSortKey> key;
        std::int8_t tree = 0;  // the tree a finding's line speaks of
        std::vector<TextSpan> emphasis;
        bool marked = false;
        QString tip;  // a marked line's tooltip
    };
    Row makeRow(const std::string& bytes, std::uint32_t number) const;
    void appendRows(std::vector<Row> rows);
    void ensureKeys();

    bool sorted_;
    QCollator collator_;
    std::vector<Row> rows_;
};

class ListBox : public QListView {
    Q_OBJECT
  public:
    explicit ListBox(const QString& objectName, bool sorted, QWidget* parent = nullptr);

    // For lists without a handler: Shift/Ctrl-click and Ctrl+A select many lines.
    void allowManySelected();
    void clear() { model_->clear(); }
    void addItem(const std::string& bytes, std::uint32_t number = 0) {
        model_->addItem(bytes, number);
    }
    void addItems(const NameList& items) { model_->addItems(items); }
    void addSortedItems(const NameList& items) { model_->addSortedItems(items); }
    void addLines(const std::vector<std::string>& lines) { model_->addLines(lines); }
    // A finding's lines, each marked with its tree (shown in that tree's colour) and the
    // definition words to emphasise.
    void addFinding(const Finding& finding) { model_->addMarkedLines(MarkedFindingLines(finding)); }
    void addFindings(const Findings& findings);
    int count() const { return model_->rowCount(); }
    const std::string& itemBytes(int row) const { return model_->itemBytes(row); }
    std::uint32_t itemNumber(int row) const { return model_->itemNumber(row); }
    // 1 or 2 for a finding's line about that tree, else 0.
    int itemTree(int row) const { return model_->itemTree(row); }
    const std::vector<TextSpan>& itemEmphasis(int row) const { return model_->itemEmphasis(row); }
    // A mark beside a line (painted as a tint and a bar), with a tooltip; its text stays.
    bool itemMarked(int row) const { return model_->itemMarked(row); }
    void setMarked(int row, bool marked, const QString& tip = {}) {
        model_->setMarked(row, marked, tip);
    }
    // Selects the lines first to last and shows them from the top of the list.
    void selectRows(int first, int last);
    QString itemText(int row) const;
    // Every line's bytes, in the order shown.
    std::vector<std::string> lines() const;
    int currentRow() const;
    void setCurrentRow(int row);
    // The selected line's bytes; empty when nothing is selected.
    std::optional<std::string> selectedBytes() const;
    // The selected lines as shown, in the list's order, one a line.
    QString selectedText() const;
    void copySelection() const;

    // The find highlight: -1 for none.
    int highlightRow() const { return highlightRow_; }
    void setHighlightRow(int row);
    // Rows whose text holds text, ignoring case.
    std::vector<int> rowsContaining(const QString& text) const;
    // Selects the row and runs the handler, as a click on it would.
    void chooseRow(int row);

  signals:
    // A line was chosen with the mouse or the keyboard.
    void selectionMade();
    void findRequested();
    void findStepRequested(bool backwards);
    // The lines were replaced or added to.
    void linesChanged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    ListBoxModel* model_;
    bool keyboardMove_ = false;
    bool releaseAfterDoubleClick_ = false;
    int highlightRow_ = -1;
};
