#pragma once

// The alarm window: lists the due events, archives, edits and deletes them, and sets
// whether it comes back after some minutes.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <span>

#include "alarm/AlarmView.h"
#include "core/Event.h"

namespace qcal {

class AlarmScheduler;
class TDataMod;

// What the window asks of the main window.
struct AlarmWindowHooks {
    // Refreshes the month view (RxSpinYearChange).
    std::function<void()> refreshMonth;
    // Deletes the events and refreshes (the main window's DeleteEventIds).
    std::function<void(std::span<const std::int64_t> ids)> deleteEventIds;
    // Runs the event editor modally on the record as "Edit Event"; true when it ended with
    // OK (the record then holds the edits). The main window reloads its layers afterwards.
    std::function<bool(tfield& event)> editEvent;
    // Opens help topic 25.
    std::function<void(int topic)> showHelp;
};

class TFormAlarm : public QDialog, public AlarmView {
    Q_OBJECT
public:
    TFormAlarm(TDataMod& dm, AlarmScheduler& scheduler, AlarmWindowHooks hooks,
               QWidget* parent = nullptr);
    ~TFormAlarm() override;

    void FillAlarmList() override;
    void ExecAlarm() override;
};

}  // namespace qcal
