#pragma once

// The alarm scheduler: the due list and the timers that drive it. It announces what the
// alarm window shows; it never waits for a window.

#include <QObject>
#include <QTimer>

#include <optional>

#include "store/DueList.h"

namespace qcal {

class ReminderNotifier;
class SoundPlayer;
class TDataMod;

class AlarmScheduler : public QObject {
    Q_OBJECT
public:
    AlarmScheduler(TDataMod& dm, SoundPlayer& sound, QObject* parent = nullptr);
    ~AlarmScheduler() override;

    // Raises desktop notifications beside or instead of the window, as ShowRemindersAs says;
    // may be null (the window only).
    void SetNotifier(ReminderNotifier* notifier) { notifier_ = notifier; }

    // Plays the sound when it is on, announces the refilled list, and asks for the window
    // when it is not showing.
    void ShowAlarms();
    void ShowPending(bool sayIfEmpty);
    void RefreshAlarms();
    // Asks for the alarm window on the due list as it is, without sound or notifications (the
    // notification's "Open").
    void OpenAlarmWindow();

    // The first activation of the main window: TimerEvery1 follows IsAlarmEnabled,
    // TimerEvery15 stops, then ShowPending(false).
    void FirstActivation();
    // The alarm switch changed (IsAlarmEnabled already holds the new state).
    void AlarmsEnabledChanged();
    // The alarm window came up: it stays the one window, and reminding again waits for its
    // close.
    void WindowShown();
    // The alarm window closed: arms TimerEvery15 for AgainHowLong minutes (at least 1) when
    // IsAgainDisplay and IsAlarmEnabled are set.
    void WindowClosed();
    void ArmRemindAgain();
    // The interval ArmRemindAgain gives TimerEvery15 for AgainHowLong minutes: 1 minute for 0
    // or less, and no more than a timer can hold.
    static int RemindAgainInterval(std::int32_t minutes);
    void StopRemindAgain() { TimerEvery15.stop(); }

    // The timers while the database files are handed to a backup, restore or compaction:
    // Pause stops all of them and answers whether reminding again was armed; Resume starts
    // them as the alarm switch says.
    bool Pause();
    void Resume(bool remindAgainWasActive);

    tlist_of_event_for_timer& Due() { return due_; }
    const tlist_of_event_for_timer& Due() const { return due_; }

    // Arms TimerNextDue for the next moment an event falls due within the next look, or
    // stops it when there is none (or alarms are off).
    void ArmNextDue();

    QTimer TimerEvery1;
    QTimer TimerEvery15;
    QTimer TimerFortdoay;
    // One more look shortly before midnight, armed by the last TimerEvery1 tick of the day:
    // an occurrence late in the day is then raised on its own day, not as a missed one the
    // next day, where archiving it would also dismiss that day's occurrence.
    QTimer TimerDayEnd;
    // One look at the next moment an event falls due, so that its alarm comes up on time
    // rather than at the next of the 90-second looks, which stay as the safety net after a
    // sleep or a change of the clock.
    QTimer TimerNextDue;
    std::int32_t LastDay = 0;

    void TimerEvery1Timer();
    void TimerEvery15Timer();
    void TimerFortdoayTimer();
    void TimerDayEndTimer();
    void TimerNextDueTimer();

signals:
    // The due list changed: a window that shows it shows it again.
    void dueListChanged();
    // Newly due events while no alarm window shows: the window comes up.
    void alarmsRaised();
    // Show Pending found nothing to show while no alarm window shows.
    void nothingPending();
    // The day changed; the due list has been refreshed already.
    void dayChanged();

private:
    void ArmDayEnd();
    void Look();
    // Announces the refilled due list and takes down the notifications of events no longer in it.
    void ListChanged();
    // Asks for the window when none shows.
    void OpenView();

    TDataMod& dm_;
    SoundPlayer& sound_;
    ReminderNotifier* notifier_ = nullptr;
    // Set while the user asked for the pending events: the window comes up whatever
    // ShowRemindersAs says.
    bool windowAsked_ = false;
    tlist_of_event_for_timer due_;
    // The moment TimerNextDue was last armed for: a look at it that found nothing new does
    // not arm the timer for that moment again.
    std::optional<TDateTime> nextDueArmedFor_;
    std::optional<TDateTime> nextDueFiredFor_;
};

}  // namespace qcal
