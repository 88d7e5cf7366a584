#pragma once

// Backup, restore and compaction: asks for the archive, lets the session carry the work out,
// and tells the user how it went. A restore or compaction that went ahead ends the program.

#include <QObject>

class QWidget;

namespace qcal {

class CalendarSession;

class MaintenanceController : public QObject {
    Q_OBJECT
public:
    // window: the parent of the dialogs and messages.
    MaintenanceController(CalendarSession& session, QWidget* window, QObject* parent = nullptr);

    void btnbackupClick();
    void btnrestoreClick();
    void CompactDatabase1Click();

signals:
    // The program ends: the restored or compacted files are read at the next start.
    void endRequested();

private:
    CalendarSession& session_;
    QWidget* window_;
};

}  // namespace qcal
