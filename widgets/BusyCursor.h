#pragma once

// The hourglass while a scope runs: set on construction, taken back on destruction or on
// Release, whichever comes first, so an early return or an exception never leaves it on.

#include <QApplication>

namespace qcal::desktop {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { Release(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // Takes the hourglass back before the scope ends (before a message box, for example).
    void Release() {
        if (held_) {
            held_ = false;
            QApplication::restoreOverrideCursor();
        }
    }

private:
    bool held_ = true;
};

}  // namespace qcal::desktop
