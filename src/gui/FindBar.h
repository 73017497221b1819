// The find bar under a list: typing moves a highlight to the first line holding the text
// (ignoring case), F3 and Shift+F3 step through the matches, Enter chooses the highlighted
// line as a click would, Esc closes the bar. Typing never chooses a line and the bar never
// changes the list's lines.
#pragma once

#include <QWidget>
#include <vector>

class ListBox;
class QLabel;
class QLineEdit;

class FindBar : public QWidget {
    Q_OBJECT
  public:
    FindBar(ListBox* list, QWidget* parent);

    ListBox* list() const { return list_; }
    QLineEdit* field() const { return field_; }
    // "3 of 41", "No match", or empty while nothing is sought.
    QString countText() const;

    void open();
    void close();
    void step(bool backwards);
    void choose();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void search();
    void refresh();
    void moveTo(int match);

    ListBox* list_;
    QLineEdit* field_;
    QLabel* count_;
    std::vector<int> matches_;
    int at_ = -1;  // index into matches_
    bool refreshDue_ = false;
};

// The list inside a frame that holds its (hidden) find bar beneath it.
QWidget* FramedWithFindBar(ListBox* list, QWidget* parent);
