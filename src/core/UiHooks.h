// What the core needs from whoever shows it: modal messages and a chance to keep the
// window painted during long work. The window, the command-line tool and the tests each
// provide their own.
#pragma once

#include <string>

enum class DlgType { Error, Warning, Information, Plain };

class UiHooks {
  public:
    virtual ~UiHooks() = default;
    // A modal message with one OK button; returns when it is closed.
    virtual void showMsgDlg(DlgType type, const std::string& msg) = 0;
    // Lets pending window events run.
    virtual void processEvents() = 0;
    // An error message with the directory client's own explanation of it (empty when the
    // client has none), shown beneath the message.
    virtual void showErrorDlg(const std::string& msg, const std::string& detail) {
        showMsgDlg(DlgType::Error, detail.empty() ? msg : msg + "\n" + detail);
    }
};

// Shows nothing and never yields; for callers with no one to tell.
class SilentUi : public UiHooks {
  public:
    void showMsgDlg(DlgType, const std::string&) override {}
    void processEvents() override {}
};
