#include "ui/main/ProgramShell.h"

#include "alarm/AlarmWindow.h"
#include "alarm/DesktopNotifier.h"
#include "alarm/QtSoundPlayer.h"
#include "session/CalendarSession.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MaintenanceController.h"
#include "ui/main/TrayShell.h"
#include "widgets/Help.h"

namespace qcal {

ProgramShell::ProgramShell(TDataMod& dm, QStringList arguments, SoundPlayer* sound) {
    if (sound == nullptr) {
        ownSound_ = std::make_unique<QtSoundPlayer>();
        sound = ownSound_.get();
    }
    session_ = std::make_unique<CalendarSession>(dm, *sound);
    window_ = std::make_unique<TFormMainCalendar>(*session_, std::move(arguments));

    AlarmWindowHooks hooks;
    hooks.editEvent = [this](tfield& event) {
        return window_->EditFromAlarmWindow(event, alarmWindow_.get());
    };
    hooks.showHelp = [this](int topic) { desktop::ShowHelp(topic, alarmWindow_.get()); };
    alarmWindow_ = std::make_unique<TFormAlarm>(*session_, std::move(hooks), window_.get());
    notifier_ = std::make_unique<DesktopNotifier>(dm);
    session_->Scheduler().SetNotifier(notifier_.get());
    alarmWindow_->FollowNotifications(*notifier_);

    tray_ = std::make_unique<TrayShell>(*session_, window_.get());
    connect(tray_.get(), &TrayShell::pendingRequested, window_.get(),
            &TFormMainCalendar::btnpendingClick);
    connect(tray_.get(), &TrayShell::restoreRequested, window_.get(),
            &TFormMainCalendar::PmTrayRestoreClick);
    connect(tray_.get(), &TrayShell::exitRequested, window_.get(),
            &TFormMainCalendar::btnExitClick);
    connect(window_.get(), &TFormMainCalendar::trayMessageRequested, tray_.get(),
            &TrayShell::ShowMessage);

    maintenance_ = std::make_unique<MaintenanceController>(*session_, window_.get());
    connect(window_.get(), &TFormMainCalendar::backupRequested, maintenance_.get(),
            &MaintenanceController::btnbackupClick);
    connect(window_.get(), &TFormMainCalendar::restoreRequested, maintenance_.get(),
            &MaintenanceController::btnrestoreClick);
    connect(window_.get(), &TFormMainCalendar::compactRequested, maintenance_.get(),
            &MaintenanceController::CompactDatabase1Click);
    connect(maintenance_.get(), &MaintenanceController::endRequested, window_.get(),
            &TFormMainCalendar::btnExitClick);

    connect(window_.get(), &TFormMainCalendar::exitRequested, this, [this] {
        tray_->Close();
        emit exitRequested();
    });
}

ProgramShell::~ProgramShell() {
    // The views go before the session they listen to.
    maintenance_.reset();
    tray_.reset();
    session_->Scheduler().SetNotifier(nullptr);
    notifier_.reset();
    alarmWindow_.reset();
    window_.reset();
    session_.reset();
}

void ProgramShell::Show() {
    if (window_->StartsMinimised()) {
        window_->showMinimized();
    } else {
        window_->showMaximized();
    }
}

}  // namespace qcal
