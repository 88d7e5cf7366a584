#include "session/AlarmScheduler.h"

#include <climits>
#include <cmath>

#include "core/Clock.h"
#include "session/ReminderNotifier.h"
#include "session/SoundPlayer.h"
#include "store/DataModule.h"

namespace qcal {

namespace {

constexpr int kEvery1Interval = 90'000;
constexpr int kFortdoayInterval = 300'000;
constexpr int kMinute = 60'000;
constexpr double kMillisecondsPerDay = 86'400'000.0;
// The last look of a day, this long before midnight: with the lead time of the due test it
// sees every occurrence of the day.
constexpr double kDayEndMargin = 30.0 / 86400.0;
// How far ahead the next due moment is looked for: a little beyond the next 90-second look,
// which looks again.
constexpr double kNextDueHorizon = (kEvery1Interval + 30'000) / kMillisecondsPerDay;
// Added to the wait for the next due moment, so that the look comes after it, not on it.
constexpr int kNextDueMargin = 2;

// Sets a flag for a scope and puts back what it held before, however the scope ends.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = before_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool before_;
};

}  // namespace

AlarmScheduler::AlarmScheduler(TDataMod& dm, SoundPlayer& sound, QObject* parent)
    : QObject(parent), dm_(dm), sound_(sound), due_(dm) {
    LastDay = clock::Today();

    TimerEvery1.setInterval(kEvery1Interval);
    TimerEvery15.setInterval(RemindAgainInterval(dm_.Options.AgainHowLong));
    TimerFortdoay.setInterval(kFortdoayInterval);
    connect(&TimerEvery1, &QTimer::timeout, this, &AlarmScheduler::TimerEvery1Timer);
    connect(&TimerEvery15, &QTimer::timeout, this, &AlarmScheduler::TimerEvery15Timer);
    connect(&TimerFortdoay, &QTimer::timeout, this, &AlarmScheduler::TimerFortdoayTimer);
    TimerDayEnd.setSingleShot(true);
    TimerDayEnd.setTimerType(Qt::PreciseTimer);
    connect(&TimerDayEnd, &QTimer::timeout, this, &AlarmScheduler::TimerDayEndTimer);
    TimerNextDue.setSingleShot(true);
    TimerNextDue.setTimerType(Qt::PreciseTimer);
    connect(&TimerNextDue, &QTimer::timeout, this, &AlarmScheduler::TimerNextDueTimer);
    TimerFortdoay.start();
}

AlarmScheduler::~AlarmScheduler() = default;

void AlarmScheduler::ShowAlarms() {
    // While a backup, restore or compaction holds the files, nothing reads or writes them:
    // not the due list, and not the alarm window that would save its options on closing.
    if (!dm_.Connected()) {
        return;
    }
    if (dm_.Options.Isplaysound) {
        sound_.Play(dm_.SoundFolder() + "/" + dm_.Options.FilenameOfSound);
    }
    ListChanged();
    const std::int32_t as = dm_.Options.ShowRemindersAs;
    bool window = true;
    if (notifier_ != nullptr && as != kRemindersInWindow) {
        // Without a notification server the window comes up instead.
        const bool notified = notifier_->Notify(due_.dueEvents);
        window = !notified || as != kRemindersAsNotifications || windowAsked_;
    }
    if (window) {
        OpenView();
    } else {
        // No window to close: the reminders come back as if it had been closed now.
        ArmRemindAgain();
    }
}

void AlarmScheduler::OpenView() {
    if (!dm_.IsAlarmShowing) {
        emit alarmsRaised();
    }
}

void AlarmScheduler::OpenAlarmWindow() {
    if (!dm_.Connected()) {
        return;
    }
    ListChanged();
    OpenView();
}

void AlarmScheduler::ListChanged() {
    emit dueListChanged();
    if (notifier_ != nullptr) {
        notifier_->Withdraw(due_.dueEvents);
    }
}

void AlarmScheduler::ShowPending(bool sayIfEmpty) {
    if (!dm_.Connected()) {
        return;
    }
    // Asked for by the user (button, tray, hot key; they are the ones that say so when
    // nothing is pending): the window comes up, not only notifications.
    FlagScope asked(windowAsked_);
    windowAsked_ = sayIfEmpty;
    due_.RebuildDue();
    if (!due_.dueEvents.empty()) {
        ShowAlarms();
    } else {
        ListChanged();
        if (sayIfEmpty && !dm_.IsAlarmShowing) {
            emit nothingPending();
        }
    }
    due_.hasNew = false;
    ArmNextDue();
}

void AlarmScheduler::RefreshAlarms() {
    if (!dm_.Options.IsAlarmEnabled || !dm_.Connected()) {
        return;
    }
    due_.RebuildDue();
    if (due_.hasNew) {
        ShowAlarms();
        due_.hasNew = false;
    } else {
        ListChanged();
    }
    ArmNextDue();
}

void AlarmScheduler::FirstActivation() {
    TimerEvery1.setInterval(kEvery1Interval);
    if (dm_.Options.IsAlarmEnabled) {
        TimerEvery1.start();
    } else {
        TimerEvery1.stop();
    }
    TimerEvery15.stop();
    ShowPending(false);
}

void AlarmScheduler::AlarmsEnabledChanged() {
    if (dm_.Options.IsAlarmEnabled) {
        if (!TimerEvery1.isActive()) {
            TimerEvery1.start(kEvery1Interval);
        }
    } else {
        TimerEvery1.stop();
        TimerEvery15.stop();
        TimerDayEnd.stop();
    }
    ArmNextDue();
}

void AlarmScheduler::WindowShown() {
    dm_.IsAlarmShowing = true;
    TimerEvery15.stop();
}

void AlarmScheduler::WindowClosed() {
    dm_.IsAlarmShowing = false;
    ArmRemindAgain();
}

int AlarmScheduler::RemindAgainInterval(std::int32_t minutes) {
    if (minutes < 1) {
        return kMinute;
    }
    if (minutes > INT_MAX / kMinute) {
        return INT_MAX / kMinute * kMinute;
    }
    return minutes * kMinute;
}

void AlarmScheduler::ArmRemindAgain() {
    if (dm_.Options.IsAgainDisplay && dm_.Options.IsAlarmEnabled) {
        TimerEvery15.start(RemindAgainInterval(dm_.Options.AgainHowLong));
    }
}

bool AlarmScheduler::Pause() {
    const bool remindAgainWasActive = TimerEvery15.isActive();
    for (QTimer* timer : {&TimerEvery1, &TimerEvery15, &TimerFortdoay, &TimerDayEnd, &TimerNextDue})
        timer->stop();
    return remindAgainWasActive;
}

void AlarmScheduler::Resume(bool remindAgainWasActive) {
    if (dm_.Options.IsAlarmEnabled) {
        TimerEvery1.start(kEvery1Interval);
    }
    if (remindAgainWasActive) {
        TimerEvery15.start();
    }
    TimerFortdoay.start();
    ArmNextDue();
}

void AlarmScheduler::ArmDayEnd() {
    const TDateTime now = clock::Now();
    const double left = (DayOf(now) + 1 - kDayEndMargin - now) * kMillisecondsPerDay;
    if (left >= 1 && left <= kEvery1Interval) {
        TimerDayEnd.start(static_cast<int>(std::lround(left)));
    }
}

void AlarmScheduler::ArmNextDue() {
    if (!dm_.Options.IsAlarmEnabled || !dm_.Connected()) {
        TimerNextDue.stop();
        return;
    }
    const TDateTime now = clock::Now();
    const std::optional<TDateTime> next = due_.NextDueMoment(now, kNextDueHorizon);
    // A look at the moment the timer was armed for always lists what falls due then; should
    // the statement and the rule ever disagree, the 90-second look is left to it rather than
    // a timer that fires again at once.
    if (!next || (nextDueFiredFor_ && *next <= *nextDueFiredFor_)) {
        TimerNextDue.stop();
        return;
    }
    const double wait = std::ceil((*next - now) * kMillisecondsPerDay);
    TimerNextDue.start(static_cast<int>(std::max(0.0, wait)) + kNextDueMargin);
    nextDueArmedFor_ = next;
}

void AlarmScheduler::Look() {
    if (!due_.hasNew) {
        due_.CheckNewDue();
        if (!due_.hasNew) {
            return;
        }
    }
    ShowAlarms();
    due_.hasNew = false;
}

void AlarmScheduler::TimerEvery1Timer() {
    if (!dm_.Connected()) {
        return;
    }
    ArmDayEnd();
    Look();
    ArmNextDue();
}

void AlarmScheduler::TimerNextDueTimer() {
    if (!dm_.Options.IsAlarmEnabled || !dm_.Connected()) {
        return;
    }
    Look();
    nextDueFiredFor_ = nextDueArmedFor_;
    ArmNextDue();
    nextDueFiredFor_.reset();
}

void AlarmScheduler::TimerEvery15Timer() {
    if (notifier_ != nullptr) {
        notifier_->Renew();
    }
    if (!due_.dueEvents.empty()) {
        ShowAlarms();
    }
}

void AlarmScheduler::TimerDayEndTimer() {
    if (dm_.Options.IsAlarmEnabled) {
        TimerEvery1Timer();
    }
}

void AlarmScheduler::TimerFortdoayTimer() {
    const int today = clock::Today();
    // The change of day waits for the database to come back.
    if (today <= LastDay || !dm_.Connected()) {
        return;
    }
    LastDay = today;
    due_.dueEvents.clear();
    if (dm_.Options.IsAlarmEnabled) {
        RefreshAlarms();
    } else {
        ListChanged();
    }
    emit dayChanged();
}

}  // namespace qcal
