#include "alarm/AlarmScheduler.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>

#include "alarm/AlarmView.h"
#include "core/Clock.h"
#include "platform/desktop/MessageBox.h"
#include "store/DataModule.h"

namespace qcal {

AlarmScheduler::AlarmScheduler(TDataMod& dm, SoundPlayer& sound, QObject* parent)
    : QObject(parent), dm_(dm), sound_(sound), due_(dm) {
    TimerEvery1.setInterval(90'000);
    TimerFortdoay.setInterval(300'000);
    connect(&TimerEvery1, &QTimer::timeout, this, &AlarmScheduler::TimerEvery1Timer);
    connect(&TimerEvery15, &QTimer::timeout, this, &AlarmScheduler::TimerEvery15Timer);
    connect(&TimerFortdoay, &QTimer::timeout, this, &AlarmScheduler::TimerFortdoayTimer);
    due_.processEvents = [] { QCoreApplication::processEvents(); };
    LastDay = clock::Today();
    TimerFortdoay.start();
}

AlarmScheduler::~AlarmScheduler() = default;

void AlarmScheduler::ShowAlarms() {
    if (dm_.Options.Isplaysound)
        sound_.Play(dm_.ProgramFolder() + "/music/" + dm_.Options.FilenameOfSound);
    FillAlarmList();
    if (view_ && !dm_.IsAlarmShowing)
        view_->ExecAlarm();
}

void AlarmScheduler::FillAlarmList() {
    if (view_)
        view_->FillAlarmList();
}

void AlarmScheduler::ShowPending(bool sayIfEmpty) {
    due_.RebuildDue();
    if (!due_.dueEvents.empty()) {
        ShowAlarms();
    } else if (sayIfEmpty && !dm_.IsAlarmShowing) {
        desktop::MessageBox::Information(
            nullptr, QStringLiteral("There are no pending events to be displayed!"));
    }
    due_.hasNew = false;
}

void AlarmScheduler::RefreshAlarms() {
    if (!dm_.Options.IsAlarmEnabled)
        return;
    due_.RebuildDue();
    if (due_.hasNew) {
        ShowAlarms();
        due_.hasNew = false;
    }
}

void AlarmScheduler::FirstActivation() {
    AlarmsEnabledChanged();
    TimerEvery15.stop();
    ShowPending(false);
}

void AlarmScheduler::AlarmsEnabledChanged() {
    if (dm_.Options.IsAlarmEnabled) {
        TimerEvery1.start();
    } else {
        TimerEvery1.stop();
    }
}

void AlarmScheduler::ArmRemindAgain() {
    if (!dm_.Options.IsAgainDisplay || !dm_.Options.IsAlarmEnabled)
        return;
    // A hand-edited setup.ini may hold 0 or less: remind after a minute rather than at once.
    const int minutes = std::max(1, int(dm_.Options.AgainHowLong));
    TimerEvery15.setInterval(std::chrono::minutes(minutes));
    TimerEvery15.start();
}

void AlarmScheduler::TimerEvery1Timer() {
    if (!dm_.Connected() || due_.busy)
        return;
    if (!due_.hasNew) {
        due_.CheckNewDue();
        if (!due_.hasNew)
            return;
    }
    ShowAlarms();
    due_.hasNew = false;
}

void AlarmScheduler::TimerEvery15Timer() {
    if (!due_.dueEvents.empty())
        ShowAlarms();
}

void AlarmScheduler::TimerFortdoayTimer() {
    const std::int32_t today = std::int32_t(clock::Today());
    if (today <= LastDay)
        return;
    LastDay = today;
    due_.dueEvents.clear();
    RefreshAlarms();
    if (onDayChanged)
        onDayChanged();
}

}  // namespace qcal
