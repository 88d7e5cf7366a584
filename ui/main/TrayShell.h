#pragma once

// The program's tray icon with its menu, and the global hot key. Both follow the options the
// session announces; their commands leave as signals.

#include <QObject>

class QAction;
class QString;
class QWidget;
class QMenu;
class QSystemTrayIcon;

namespace qcal {

namespace desktop {
class GlobalHotKey;
}

class CalendarSession;

class TrayShell : public QObject {
    Q_OBJECT
public:
    // window: the parent of the tray's menu.
    TrayShell(CalendarSession& session, QWidget* window, QObject* parent = nullptr);
    ~TrayShell() override;

    // Registers the hot key of the options (true), releasing the one registered before, or
    // releases it (false); the tray's hint and menu name the key.
    void ApplyHotKey(bool registering);
    desktop::GlobalHotKey& HotKey() const { return *hotKey_; }
    // Adds a command to the menu, after "Show Pending Events".
    void AddCommand(QAction* action);
    // Shows a message from the icon.
    void ShowMessage(const QString& text);
    // The program ends: the hot key is released and the icon leaves the tray.
    void Close();

signals:
    // "Show Pending Events" from the menu or the hot key.
    void pendingRequested();
    // A double click on the icon or the menu's restore item.
    void restoreRequested();
    void exitRequested();

private:
    CalendarSession& session_;
    QSystemTrayIcon* RxTrayIcon1 = nullptr;
    QMenu* PmTray = nullptr;
    QAction* ShowPendingEvents1 = nullptr;
    QAction* PmTrayRestore = nullptr;
    QAction* Exit1 = nullptr;
    desktop::GlobalHotKey* hotKey_ = nullptr;
};

}  // namespace qcal
