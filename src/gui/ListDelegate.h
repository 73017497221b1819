// Paints a list box's lines: the find highlight, and for a finding's lines the colour of
// its tree and the emphasis of differing definition words, as the list's rows record them.
// Only the painting changes; the text of a line is never touched.
#pragma once

#include <QColor>
#include <QStyledItemDelegate>
#include <vector>

#include "gui/LineMarks.h"

class ListBox;
class QPalette;

// Blue for Tree #1 and orange for Tree #2: a pair that stays apart under every common
// colour-vision deficiency, in a lighter shade on dark palettes.
QColor TreeLineColour(int tree, const QPalette& palette);
// The mark beside a line of the quick check's common lists that a full run found differing.
QColor MarkColour(const QPalette& palette);

class ListDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    explicit ListDelegate(ListBox* list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The spans of the row's text to emphasise.
    const std::vector<TextSpan>& emphasis(const QModelIndex& index) const;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    ListBox* list_;
};
