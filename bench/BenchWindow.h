// The window's side of the benchmarks: dialogs that answer at once, and the status text
// and event processing the window does while a long operation runs.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <deque>
#include <optional>

#include "core/Names.h"
#include "core/UiHooks.h"
#include "gui/Dialogs.h"
#include "gui/ListBox.h"

namespace bench {

// File dialogs take the next queued path; messages go to the error output (never block).
class QueuedDialogs : public Dialogs {
  public:
    explicit QueuedDialogs(std::deque<QString>& answers) : answers_(answers) {}
    void message(DlgType, const QString& text, const QString& detail = {}) override {
        std::fprintf(stderr, "dialog: %s %s\n", text.toLocal8Bit().constData(),
                     detail.toLocal8Bit().constData());
    }
    std::optional<QString> saveFile(const FileDialogSetup&) override { return next(); }
    std::optional<QString> openFile(const FileDialogSetup&) override { return next(); }
    // A run replaces the files of the run before.
    bool confirm(const QString&) override { return true; }
    std::optional<QString> askText(const QString&, const QString&) override { return next(); }

  private:
    std::optional<QString> next() {
        if (answers_.empty()) return std::nullopt;
        QString answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    std::deque<QString>& answers_;
};

// Lets window events run, as the window's own hooks do.
class EventUi : public UiHooks {
  public:
    void showMsgDlg(DlgType, const std::string& msg) override {
        std::fprintf(stderr, "dialog: %s\n", msg.c_str());
    }
    void processEvents() override { QCoreApplication::processEvents(); }
};

// A shown window with a status label and list boxes, standing in for the main window where
// a benchmark measures one piece on its own.
class StatusWindow {
  public:
    StatusWindow() : layout_(new QVBoxLayout(&window_)), label_(new QLabel(&window_)) {
        window_.resize(900, 700);
        layout_->addWidget(label_);
    }
    ListBox* addListBox(const QString& name, bool sorted) {
        auto* list = new ListBox(name, sorted, &window_);
        layout_->addWidget(list);
        return list;
    }
    void show() {
        window_.show();
        QCoreApplication::processEvents();
    }
    // What the window's progress message does: new text, then pending events.
    void status(const std::string& message) {
        setStatusText(message);
        QCoreApplication::processEvents();
    }
    void setStatusText(const std::string& message) { label_->setText(DecodeName(message)); }

  private:
    QWidget window_;
    QVBoxLayout* layout_;
    QLabel* label_;
};

}  // namespace bench
