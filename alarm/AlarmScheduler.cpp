#include "alarm/AlarmScheduler.h"

#include <QCoreApplication>
#include <QWidget>

#include <climits>
#include <cmath>

#include "alarm/AlarmView.h"
#include "alarm/DesktopNotifier.h"
#include "core/Clock.h"
#include "platform/desktop/MessageBox.h"
#include "store/DataModule.h"

namespace qcal {

namespace {

constexpr int kEvery1Interval = 90'000;
constexpr int kFortdoayInterval = 300'000;
constexpr int kMinute = 60'000;
// The last look of a day, this long before midnight: with the lead time of the due test it
// sees every occurrence of the day.
constexpr double kDayEndMargin = 30.0 / 86400.0;

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
    due_.processEvents = [] { QCoreApplication::processEvents(); };
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
    FillAlarmList();
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
    if (!dm_.IsAlarmShowing && view_ != nullptr) {
        // The window keeps the flag from its show to its close as well; holding it here
        // too means a view that returns early can never let a second window open.
        FlagScope showing(dm_.IsAlarmShowing);
        TimerEvery15.stop();
        view_->ExecAlarm();
    }
}

void AlarmScheduler::OpenAlarmWindow() {
    FillAlarmList();
    OpenView();
}

void AlarmScheduler::FillAlarmList() {
    if (view_ != nullptr) {
        view_->FillAlarmList();
    }
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
    } else if (sayIfEmpty && !dm_.IsAlarmShowing) {
        desktop::MessageBox::Information(
            qobject_cast<QWidget*>(parent()),
            QStringLiteral("There are no pending events to be displayed!"));
    }
    due_.hasNew = false;
}

void AlarmScheduler::RefreshAlarms() {
    if (!dm_.Options.IsAlarmEnabled || !dm_.Connected()) {
        return;
    }
    due_.RebuildDue();
    if (due_.hasNew) {
        ShowAlarms();
        due_.hasNew = false;
    }
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

void AlarmScheduler::ArmDayEnd() {
    const TDateTime now = clock::Now();
    const double left = (DayOf(now) + 1 - kDayEndMargin - now) * 86'400'000.0;
    if (left >= 1 && left <= kEvery1Interval) {
        TimerDayEnd.start(static_cast<int>(std::lround(left)));
    }
}

void AlarmScheduler::TimerEvery1Timer() {
    if (!dm_.Connected() || due_.busy || checking_) {
        return;
    }
    ArmDayEnd();
    if (!due_.hasNew) {
        {
            FlagScope checking(checking_);
            due_.CheckNewDue();
        }
        // A message handled during the check may have closed the connection or shown the
        // new events already.
        if (!due_.hasNew || !dm_.Connected()) {
            return;
        }
    }
    ShowAlarms();
    due_.hasNew = false;
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
    RefreshAlarms();
    if (onDayChanged) {
        onDayChanged();
    }
}

}  // namespace qcal
