#pragma once

// The main window: the toolbar, the month pickers and the layer list on the left, and two
// pages, the month grid and the event search.

#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <span>

#include "core/Event.h"
#include "print/MonthPage.h"
#include "store/EventLists.h"
#include "ui/main/EventActions.h"

class QPrinter;
class QTabWidget;

namespace qcal {

class CalendarSession;
class EventCommands;
class IcalCommands;
class LayerBar;
class MainToolbar;
class MonthPicker;
class MonthView;
class PrintCommands;
class TDataMod;
class TFormPreferences;
class TSearchPage;
class Tlable_listbox;

// A view of the session: it asks the session for every change and shows what the session
// announces. The services around it (tray, hot key, alarm window, maintenance) are built by
// the program shell; the window reaches them only through its signals.
class TFormMainCalendar : public QWidget {
    Q_OBJECT
public:
    // arguments are the command-line arguments after the program name.
    TFormMainCalendar(CalendarSession& session, QStringList arguments, QWidget* parent = nullptr);
    ~TFormMainCalendar() override;

    // True when the autorun entry started the program and the options ask to start
    // minimised.
    bool StartsMinimised() const;

    // The month page.
    int ShownMonth() const;
    void ShowMonth(int year, int month);
    bool DatePageShowing() const;
    int SelectedCell() const;
    std::int64_t SelectedEventId() const;  // -1 when the cell has no line
    Tlable_listbox& Cell(int number) const;
    void DeleteEventIds(std::span<const std::int64_t> ids, IdListBlanks blanks);
    // Runs the event editor on event for the alarm window or the search page; true when it
    // ended with OK (event then holds the edits). owner: the window it stays above.
    bool EditFromAlarmWindow(tfield& event, QWidget* owner);

    // Printing: the printer kept from one print to the next, and the month page's content.
    QPrinter& Printer();
    print::MonthSheet Sheet() const;
    QString MonthTitle() const;

    // Shows the pending alarms, or says that nothing is pending.
    void btnpendingClick();
    // Brings the window back from the tray (or the task bar) to the front.
    void PmTrayRestoreClick();
    // A later start of the program asked for this one: the window comes forward, then its
    // open modal dialog.
    void BringToFront();
    // Ends the program: exitRequested() is emitted.
    void btnExitClick();
    // The desktop session ends: the program lets it, and lets itself be closed.
    void SessionEnding();
    // True while the window waits in the tray (hidden, the tray icon showing).
    bool InTray() const;
    int TrayMessagesShown() const { return trayMessagesShown_; }

    // The tray's word, the first time the close box sends the window there.
    static const QString kKeepsRunningMessage;
    static constexpr int kHelpTopic = 1;

signals:
    // Exit was chosen.
    void exitRequested();
    // The maintenance commands, carried out by the program shell's controller.
    void backupRequested();
    void restoreRequested();
    void compactRequested();
    // The tray is to show this message.
    void trayMessageRequested(const QString& text);
    // The preferences dialog is about to be shown: the program shell adds its pages.
    void preferencesOpened(qcal::TFormPreferences* dialog);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateEventActions();
    void CreatePages();
    void CreateSearchPage();
    void CreateShortcuts();
    void ConnectToolbar();
    void FormActivate();
    void FormResize();
    void PageControl1Change();
    // Brings the Date page to the front and shows the month there.
    void ShowDatePage();
    void NothingPending();
    void btnactiveClick(bool checked);
    void Preferences1Click();
    void btnHelpClick();
    void About1Click();
    // Minimising or closing: the Date page comes to the front, and the window goes to the tray
    // when there is one, else it stays minimised on the task bar.
    void SendToTray();

    CalendarSession& session_;
    TDataMod& dm_;
    QStringList arguments_;

    EventActions actions_;
    MainToolbar* toolbar_ = nullptr;
    QWidget* Panelleft = nullptr;
    MonthPicker* picker_ = nullptr;
    LayerBar* layers_ = nullptr;
    QTabWidget* PageControl1 = nullptr;
    MonthView* month_ = nullptr;
    QWidget* TabSheet2 = nullptr;
    TSearchPage* searchPage = nullptr;
    EventCommands* events_ = nullptr;
    IcalCommands* ical_ = nullptr;
    PrintCommands* print_ = nullptr;

    bool activated_ = false;
    bool exiting_ = false;
    bool sessionEnding_ = false;
    bool inTray_ = false;
    int trayMessagesShown_ = 0;
    // Set while the message that nothing is pending is up, so that the hot key held down
    // shows it once.
    bool nothingPendingShowing_ = false;
};

}  // namespace qcal
