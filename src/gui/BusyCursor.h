// The hourglass for the length of a job: the previous cursor comes back however the job
// ends.
#pragma once

#include <QApplication>

class SavedCursor {
  public:
    SavedCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~SavedCursor() { QApplication::restoreOverrideCursor(); }
    SavedCursor(const SavedCursor&) = delete;
    SavedCursor& operator=(const SavedCursor&) = delete;
};
