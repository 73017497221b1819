#include "gui/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "gui/ListBox.h"

FindBar::FindBar(ListBox* list, QWidget* parent)
    : QWidget(parent), list_(list), field_(new QLineEdit(this)), count_(new QLabel(this)) {
    setObjectName(list->objectName() + "FindBar");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);
    field_->setObjectName("FindField");
    field_->setPlaceholderText("Find in list");
    field_->setClearButtonEnabled(true);
    field_->installEventFilter(this);
    count_->setObjectName("FindCount");
    // Room for a count without the bar jumping while it changes; the field takes the rest,
    // also under the narrow quick-check columns.
    count_->setMinimumWidth(count_->fontMetrics().horizontalAdvance("999 of 999"));
    field_->setMinimumWidth(60);
    auto button = [this](QStyle::StandardPixmap icon, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    QToolButton* previous = button(QStyle::SP_ArrowUp, "Previous match (Shift+F3)");
    QToolButton* next = button(QStyle::SP_ArrowDown, "Next match (F3)");
    QToolButton* closer = button(QStyle::SP_TitleBarCloseButton, "Close (Esc)");
    layout->addWidget(field_, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(count_);
    layout->addWidget(closer);
    connect(field_, &QLineEdit::textChanged, this, [this] { search(); });
    connect(field_, &QLineEdit::returnPressed, this, [this] { choose(); });
    connect(previous, &QToolButton::clicked, this, [this] { step(true); });
    connect(next, &QToolButton::clicked, this, [this] { step(false); });
    connect(closer, &QToolButton::clicked, this, [this] { close(); });
    connect(list_, &ListBox::findRequested, this, [this] { open(); });
    connect(list_, &ListBox::findStepRequested, this, [this](bool backwards) {
        if (isHidden()) open();
        step(backwards);
    });
    // A list that grows during a run is searched again once the window gets its events.
    connect(list_, &ListBox::linesChanged, this, [this] {
        if (isHidden() || refreshDue_) return;
        refreshDue_ = true;
        QTimer::singleShot(0, this, [this] { refresh(); });
    });
    hide();
}

QString FindBar::countText() const { return count_->text(); }

void FindBar::open() {
    const bool wasHidden = isHidden();
    QWidget::show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
    if (wasHidden) search();
}

void FindBar::close() {
    hide();
    matches_.clear();
    at_ = -1;
    list_->setHighlightRow(-1);
    list_->setFocus(Qt::OtherFocusReason);
}

void FindBar::search() {
    matches_ = list_->rowsContaining(field_->text());
    moveTo(matches_.empty() ? -1 : 0);
}

void FindBar::refresh() {
    refreshDue_ = false;
    if (isHidden()) return;
    const int row = at_ >= 0 ? matches_[static_cast<size_t>(at_)] : -1;
    matches_ = list_->rowsContaining(field_->text());
    const auto kept = std::find(matches_.begin(), matches_.end(), row);
    if (kept != matches_.end())
        moveTo(static_cast<int>(kept - matches_.begin()));
    else
        moveTo(matches_.empty() ? -1 : 0);
}

void FindBar::moveTo(int match) {
    at_ = match;
    list_->setHighlightRow(at_ >= 0 ? matches_[static_cast<size_t>(at_)] : -1);
    if (field_->text().isEmpty())
        count_->clear();
    else if (at_ < 0)
        count_->setText("No match");
    else
        count_->setText(QString("%1 of %2").arg(at_ + 1).arg(matches_.size()));
}

void FindBar::step(bool backwards) {
    if (matches_.empty()) return;
    const int n = static_cast<int>(matches_.size());
    moveTo(((at_ < 0 ? 0 : at_) + (backwards ? n - 1 : 1)) % n);
}

void FindBar::choose() {
    if (at_ >= 0) list_->chooseRow(matches_[static_cast<size_t>(at_)]);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::FindNext) || key->matches(QKeySequence::FindPrevious)) {
            step(key->matches(QKeySequence::FindPrevious));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key->matches(QKeySequence::Find)) {
            field_->selectAll();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QWidget* FramedWithFindBar(ListBox* list, QWidget* parent) {
    auto* frame = new QWidget(parent);
    frame->setObjectName(list->objectName() + "Frame");
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    list->setParent(frame);
    layout->addWidget(list);
    layout->addWidget(new FindBar(list, frame));
    return frame;
}
