#include "gui/ListDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

#include "gui/ListBox.h"

namespace {

bool IsDark(const QPalette& palette) { return palette.color(QPalette::Base).lightness() < 128; }

}  // namespace

QColor TreeLineColour(int tree, const QPalette& palette) {
    const bool dark = IsDark(palette);
    if (tree == 1) return dark ? QColor(0x6c, 0xb8, 0xf0) : QColor(0x00, 0x5a, 0x9c);
    if (tree == 2) return dark ? QColor(0xf0, 0xa0, 0x40) : QColor(0xa8, 0x40, 0x00);
    return palette.color(QPalette::Text);
}

ListDelegate::ListDelegate(ListBox* list) : QStyledItemDelegate(list), list_(list) {}

void ListDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const int tree = list_->itemTree(index.row());
    if (tree != 0) option->palette.setColor(QPalette::Text, TreeLineColour(tree, option->palette));
}

const std::vector<TextSpan>& ListDelegate::emphasis(const QModelIndex& index) const {
    return list_->itemEmphasis(index.row());
}

QColor MarkColour(const QPalette& palette) {
    return IsDark(palette) ? QColor(0xe8, 0xc0, 0x40) : QColor(0xc0, 0x80, 0x00);
}

void ListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    if (list_->itemMarked(index.row())) {
        // A marked line: an amber wash and a bar at its left edge, the text as it is.
        QColor wash = MarkColour(option.palette);
        wash.setAlpha(45);
        painter->fillRect(option.rect, wash);
        painter->fillRect(QRect(option.rect.left(), option.rect.top(), 3, option.rect.height()),
                          MarkColour(option.palette));
    }
    if (index.row() == list_->highlightRow()) {
        // The find highlight: a frame and a light wash, so a selected line still shows.
        QColor wash = option.palette.color(QPalette::Highlight);
        wash.setAlpha(60);
        painter->fillRect(option.rect, wash);
    }
    const std::vector<TextSpan>& spans = emphasis(index);
    if (spans.empty()) {
        QStyledItemDelegate::paint(painter, option, index);
    } else {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                                   .adjusted(margin, 0, -margin, 0);
        const bool selected = opt.state & QStyle::State_Selected;
        QTextCharFormat strong;
        strong.setFontWeight(QFont::Bold);
        if (!selected) {
            QColor back = opt.palette.color(QPalette::Text);
            back.setAlpha(40);
            strong.setBackground(back);
        }
        QList<QTextLayout::FormatRange> formats;
        for (const TextSpan& span : spans) formats.append({span.start, span.length, strong});
        QTextLayout layout(text, opt.font);
        layout.setFormats(formats);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(1e6);
        layout.endLayout();
        painter->save();
        painter->setClipRect(textRect);
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const qreal top = textRect.top() + (textRect.height() - line.height()) / 2;
        layout.draw(painter, QPointF(textRect.left(), top));
        painter->restore();
    }
    if (index.row() == list_->highlightRow()) {
        painter->save();
        painter->setPen(option.palette.color(QPalette::Highlight));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}
