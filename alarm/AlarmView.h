#pragma once

// What the scheduler needs of the alarm window, and how it plays a sound. The scheduler
// only talks to these, so tests can put a recording double in the window's place.

#include <string>

namespace qcal {

class AlarmView {
public:
    virtual ~AlarmView() = default;
    // Rebuilds the rows from the due list (one row per entry); when there is a row, row 0
    // becomes current and selected and its content and note are shown.
    virtual void FillAlarmList() = 0;
    // Opens the window modally and returns when the user has closed it. Only called while
    // the data module's IsAlarmShowing is false.
    virtual void ExecAlarm() = 0;
};

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts playing the WAV file and returns at once. A missing or unplayable file, or no
    // audio device, is not reported.
    virtual void Play(const std::string& path) = 0;
};

}  // namespace qcal
