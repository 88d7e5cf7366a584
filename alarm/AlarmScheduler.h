#pragma once

// The alarm scheduler: the due list, the three timers that drive it, and the requests that
// show the alarm window.

#include <QObject>
#include <QTimer>
#include <functional>

#include "store/DueList.h"

namespace qcal {

class AlarmView;
class DesktopNotifier;
class SoundPlayer;
class TDataMod;

class AlarmScheduler : public QObject {
    Q_OBJECT
public:
    AlarmScheduler(TDataMod& dm, SoundPlayer& sound, QObject* parent = nullptr);
    ~AlarmScheduler() override;

    // The window the scheduler fills and opens; may be null (nothing is shown then).
    void SetView(AlarmView* view) { view_ = view; }
    // Raises desktop notifications beside or instead of the window, as ShowRemindersAs says;
    // may be null (the window only).
    void SetNotifier(DesktopNotifier* notifier) { notifier_ = notifier; }

    void ShowAlarms();
    void FillAlarmList();
    void ShowPending(bool sayIfEmpty);
    void RefreshAlarms();
    // Opens the alarm window on the due list as it is, without sound or notifications (the
    // notification's "Open").
    void OpenAlarmWindow();

    // The first activation of the main window: TimerEvery1 follows IsAlarmEnabled,
    // TimerEvery15 stops, then ShowPending(false).
    void FirstActivation();
    // The alarm switch changed (IsAlarmEnabled already holds the new state).
    void AlarmsEnabledChanged();
    // The alarm window's close: arms TimerEvery15 for AgainHowLong minutes (at least 1) when
    // IsAgainDisplay and IsAlarmEnabled are set.
    void ArmRemindAgain();
    // The interval ArmRemindAgain gives TimerEvery15 for AgainHowLong minutes: 1 minute for 0
    // or less, and no more than a timer can hold.
    static int RemindAgainInterval(std::int32_t minutes);
    void StopRemindAgain() { TimerEvery15.stop(); }

    tlist_of_event_for_timer& Due() { return due_; }

    // Run when the day changes, after the due list was refreshed (the main window refreshes
    // the month when its month page shows).
    std::function<void()> onDayChanged;

    QTimer TimerEvery1;
    QTimer TimerEvery15;
    QTimer TimerFortdoay;
    // One more look shortly before midnight, armed by the last TimerEvery1 tick of the day:
    // an occurrence late in the day is then raised on its own day, not as a missed one the
    // next day, where archiving it would also dismiss that day's occurrence.
    QTimer TimerDayEnd;
    std::int32_t LastDay = 0;

    void TimerEvery1Timer();
    void TimerEvery15Timer();
    void TimerFortdoayTimer();
    void TimerDayEndTimer();

private:
    void ArmDayEnd();
    void OpenView();

    TDataMod& dm_;
    SoundPlayer& sound_;
    AlarmView* view_ = nullptr;
    DesktopNotifier* notifier_ = nullptr;
    // Set while the user asked for the pending events: the window comes up whatever
    // ShowRemindersAs says.
    bool windowAsked_ = false;
    tlist_of_event_for_timer due_;
    // True while a tick looks for newly due events: a tick delivered from inside that look
    // (CheckNewDue lets pending messages through) does not start a second one.
    bool checking_ = false;
};

}  // namespace qcal
