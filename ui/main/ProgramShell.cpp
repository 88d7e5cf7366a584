#include "ui/main/ProgramShell.h"

#include <QAction>
#include <QBoxLayout>
#include <QMenu>
#include <QStatusBar>
#include "alarm/AlarmWindow.h"
#include "alarm/DesktopNotifier.h"
#include "alarm/QtSoundPlayer.h"

#include "session/CalendarSession.h"
#include "sync/SyncService.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MaintenanceController.h"
#include "ui/main/PreferencesDialog.h"
#include "ui/main/ServerCalendarsPage.h"
#include "ui/main/SyncStatus.h"
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

void ProgramShell::ConnectSync(sync::SyncService& sync) {
    if (syncStatus_)
        return;
    syncStatus_ = std::make_unique<SyncStatus>(sync, session_->Data(), window_.get());
    QAction* syncNow = syncStatus_->SyncNowAction();
    // In the options menu after Preferences, and in the tray's menu.
    if (auto* menu = window_->findChild<QMenu*>(QStringLiteral("PmFormenu"))) {
        const QList<QAction*> actions = menu->actions();
        menu->insertAction(actions.size() > 1 ? actions[1] : nullptr, syncNow);
    }
    tray_->AddCommand(syncNow);
    if (auto* layout = qobject_cast<QBoxLayout*>(window_->layout())) {
        layout->addWidget(syncStatus_->Line());
        window_->setMinimumHeight(window_->minimumHeight() +
                                  syncStatus_->Line()->sizeHint().height());
    }
    connect(window_.get(), &TFormMainCalendar::preferencesOpened, this,
            [this, &sync](TFormPreferences* dialog) {
                dialog->AddPage(new ServerCalendarsPage(sync, session_->Data()),
                                QStringLiteral("Calendars on a server"),
                                ServerCalendarsPage::DialogSize());
            });
}

ProgramShell::~ProgramShell() {
    // The views go before the session they listen to.
    syncStatus_.reset();
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
