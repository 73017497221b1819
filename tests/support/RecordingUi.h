// A UiHooks for tests: records every dialog it is asked to show and counts the calls that
// let window events run. Never blocks.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "core/UiHooks.h"

struct ShownDialog {
    DlgType type;
    std::string text;
    bool operator==(const ShownDialog&) const = default;
};

// Readable failure output in tests.
inline void PrintTo(const ShownDialog& d, std::ostream* os) {
    *os << "{type " << static_cast<int>(d.type) << ", \"" << d.text << "\"}";
}

class RecordingUi : public UiHooks {
  public:
    void showMsgDlg(DlgType type, const std::string& msg) override;
    void processEvents() override;

    std::vector<ShownDialog> dialogs;
    int processEventsCalls = 0;

    // Just the texts, in the order shown.
    std::vector<std::string> texts() const;
    void clear();
};
