// Dialogs answered by the test: every message is recorded, every file dialog and text
// prompt takes the next scripted answer (a cancel when none is left). Nothing ever blocks.
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "core/D_Win.h"
#include "gui/Dialogs.h"

struct ShownMessage {
    DlgType type;
    QString text;
    QString detail;
};

class ScriptedDialogs : public Dialogs {
  public:
    struct Log {
        std::vector<ShownMessage> messages;
        std::vector<FileDialogSetup> saveSetups;
        std::vector<FileDialogSetup> openSetups;
        std::deque<std::optional<QString>> answers;
        std::vector<QString> questions;
        std::vector<QString> offeredTexts;  // what each text prompt offered to edit
        std::deque<bool> confirmations;     // a "no" when none is left
        std::function<void()> onMessage;    // runs while the message is "on screen"
    };

    explicit ScriptedDialogs(Log& log) : log_(log) {}
    void message(DlgType type, const QString& text, const QString& detail = {}) override {
        log_.messages.push_back({type, text, detail});
        if (log_.onMessage) log_.onMessage();
    }
    std::optional<QString> saveFile(const FileDialogSetup& setup) override {
        log_.saveSetups.push_back(setup);
        return next();
    }
    std::optional<QString> openFile(const FileDialogSetup& setup) override {
        log_.openSetups.push_back(setup);
        return next();
    }

    bool confirm(const QString& question) override {
        log_.questions.push_back(question);
        if (log_.confirmations.empty()) return false;
        const bool yes = log_.confirmations.front();
        log_.confirmations.pop_front();
        return yes;
    }

    // Takes the next scripted answer, as the file dialogs do.
    std::optional<QString> askText(const QString&, const QString& text) override {
        log_.offeredTexts.push_back(text);
        return next();
    }

  private:
    std::optional<QString> next() {
        if (log_.answers.empty()) return std::nullopt;
        // Taken apart rather than copied whole: gcc's optimiser misreads an optional
        // QString copy as uninitialised.
        const bool cancelled = !log_.answers.front().has_value();
        const QString path = cancelled ? QString() : *log_.answers.front();
        log_.answers.pop_front();
        if (cancelled) return std::nullopt;
        return path;
    }
    Log& log_;
};

// Records what the desktop would have been asked to open.
class RecordingShell : public Shell {
  public:
    struct Opened {
        std::string file, parameters, directory;
    };
    explicit RecordingShell(std::vector<Opened>& log) : log_(log) {}
    bool fileExists(const std::string&) override { return false; }
    int open(const std::string& file, const std::string& parameters, const std::string& directory,
             int) override {
        log_.push_back({file, parameters, directory});
        return 42;
    }

  private:
    std::vector<Opened>& log_;
};
