#pragma once

// The desktop program put together: the session with its sound, the main window, the alarm
// window and its desktop notifications, the tray with the hot key and the maintenance controller,
// each built here and connected here, so that none of them builds or calls another.

#include <QObject>
#include <QStringList>

#include <memory>

namespace qcal {

namespace sync {
class SyncService;
}

class CalendarSession;
class DesktopNotifier;
class MaintenanceController;
class SoundPlayer;
class SyncStatus;
class TDataMod;
class TFormAlarm;
class TFormMainCalendar;
class TrayShell;

class ProgramShell : public QObject {
    Q_OBJECT
public:
    // sound: the player of the alarm sound; the program's own when null.
    ProgramShell(TDataMod& dm, QStringList arguments, SoundPlayer* sound = nullptr);
    ~ProgramShell() override;

    CalendarSession& Session() const { return *session_; }
    TFormMainCalendar& Window() const { return *window_; }
    TFormAlarm& AlarmWindow() const { return *alarmWindow_; }
    TrayShell& Tray() const { return *tray_; }
    // Offers the synchronisation with servers in the windows: "Synchronise Now" in the menus,
    // the status line and the preferences page. sync lives as long as the shell; without it
    // the windows offer none.
    void ConnectSync(sync::SyncService& sync);
    // Null without synchronisation.
    SyncStatus* Sync() const { return syncStatus_.get(); }

    // Shows the main window maximised, or minimised when started by the login entry with
    // the option to start minimised.
    void Show();

signals:
    // Exit was chosen, or a restore or compaction ended the program's work.
    void exitRequested();

private:
    std::unique_ptr<SoundPlayer> ownSound_;
    std::unique_ptr<CalendarSession> session_;
    std::unique_ptr<TFormMainCalendar> window_;
    std::unique_ptr<TFormAlarm> alarmWindow_;
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<TrayShell> tray_;
    std::unique_ptr<MaintenanceController> maintenance_;
    std::unique_ptr<SyncStatus> syncStatus_;
};

}  // namespace qcal
