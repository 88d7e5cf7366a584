#pragma once

// Export and import of iCalendar files, two items of the options menu.

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace qcal {

class CalendarSession;

class IcalCommands : public QObject {
    Q_OBJECT
public:
    // Puts the two items into menu before its first separator. owner: the window the file
    // choosers and messages stay above.
    IcalCommands(CalendarSession& session, QMenu& menu, QWidget* owner);

    void ExportIcalendarClick();
    void ImportIcalendarClick();

private:
    CalendarSession& session_;
    QWidget* owner_;
    QAction* actExportIcal = nullptr;
    QAction* actImportIcal = nullptr;
};

}  // namespace qcal
