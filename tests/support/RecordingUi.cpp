#include "RecordingUi.h"

void RecordingUi::showMsgDlg(DlgType type, const std::string& msg) {
    dialogs.push_back({type, msg});
}

void RecordingUi::processEvents() { ++processEventsCalls; }

std::vector<std::string> RecordingUi::texts() const {
    std::vector<std::string> result;
    result.reserve(dialogs.size());
    for (const ShownDialog& d : dialogs) result.push_back(d.text);
    return result;
}

void RecordingUi::clear() {
    dialogs.clear();
    processEventsCalls = 0;
}
