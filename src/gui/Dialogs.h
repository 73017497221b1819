// Every modal dialog the window shows goes through here, so tests can answer them.
#pragma once

#include <QString>
#include <optional>

#include "core/UiHooks.h"

class QWidget;

struct FileDialogSetup {
    QString directory;
    QString fileName;
    QString filter;         // "Text Files (*.txt);;All Files (*)" style; empty = none
    QString defaultSuffix;  // appended when the user types a name without one
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // detail, when given, is shown beneath the text.
    virtual void message(DlgType type, const QString& text, const QString& detail = {}) = 0;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<QString> saveFile(const FileDialogSetup& setup) = 0;
    virtual std::optional<QString> openFile(const FileDialogSetup& setup) = 0;
    // A yes/no question; true for yes.
    virtual bool confirm(const QString& question) = 0;
    // One line of text, offered with text to edit; nothing when the user cancels.
    virtual std::optional<QString> askText(const QString& question, const QString& text) = 0;
};

// The real dialogs, parented to the window.
class QtDialogs : public Dialogs {
  public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    void message(DlgType type, const QString& text, const QString& detail = {}) override;
    std::optional<QString> saveFile(const FileDialogSetup& setup) override;
    std::optional<QString> openFile(const FileDialogSetup& setup) override;
    bool confirm(const QString& question) override;
    std::optional<QString> askText(const QString& question, const QString& text) override;

  private:
    QWidget* parent_;
};
