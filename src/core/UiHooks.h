// What the core needs from whoever shows it: modal messages and a chance to keep the
// window painted during long work. The window, the command-line tool and the tests each
// provide their own.
#pragma once

#include <cstdint>
#include <string>

#include "core/SourceProblem.h"

enum class DlgType { Error, Warning, Information, Plain };

class UiHooks {
  public:
    virtual ~UiHooks() = default;
    // A modal message with one OK button; returns when it is closed.
    virtual void showMsgDlg(DlgType type, const std::string& msg) = 0;
    // Lets pending window events run.
    virtual void processEvents() = 0;
    // False when processEvents never runs anything: work need not guard against a reload
    // of the trees in the middle of it.
    virtual bool runsEvents() const { return true; }
    // An error message with the directory client's own explanation of it (empty when the
    // client has none), shown beneath the message.
    virtual void showErrorDlg(const std::string& msg, const std::string& detail) {
        showMsgDlg(DlgType::Error, detail.empty() ? msg : msg + "\n" + detail);
    }
    // A failed directory operation: "Error %04X: " and the operation, with the client's
    // explanation (may be empty) beneath; a front end with words of its own may say it
    // otherwise.
    virtual void showDirectoryError(std::int64_t code, const std::string& operation,
                                    const std::string& explanation);
    // A source of a tree read whole that failed, or gave its tree with gaps: by default an
    // error message headed with what failed, why and what to do beneath.
    virtual void showSourceProblem(const SourceProblem& problem);
};

// Shows nothing and never yields; for callers with no one to tell.
class SilentUi : public UiHooks {
  public:
    void showMsgDlg(DlgType, const std::string&) override {}
    void processEvents() override {}
    bool runsEvents() const override { return false; }
};
