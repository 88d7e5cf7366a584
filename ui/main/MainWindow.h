#pragma once

// The main window: one month of events as a grid of 42 day cells, the year and month
// pickers, the layer list and the toolbar that starts every other function.

#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "alarm/AlarmScheduler.h"
#include "alarm/QtSoundPlayer.h"
#include "core/Event.h"
#include "print/MonthPage.h"
#include "store/EventLists.h"
#include "store/IcalImport.h"
#include "ui/main/LayerDialog.h"
#include "ui/main/Shortcuts.h"

class QAction;
class QButtonGroup;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPrinter;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;
class QToolButton;

namespace qcal {

namespace desktop {
class GlobalHotKey;
}

class AlarmScheduler;
class SoundPlayer;
class TDataMod;
class TFormAlarm;
class TSearchPage;
class Tlable_listbox;
class TmyFormNewOrEdit;

class TFormMainCalendar : public QWidget {
    Q_OBJECT
public:
    // arguments are the command-line arguments after the program name.
    TFormMainCalendar(TDataMod& dm, QStringList arguments, QWidget* parent = nullptr);
    ~TFormMainCalendar() override;

    // True when the autorun entry started the program and the options ask to start
    // minimised.
    bool StartsMinimised() const;

    // ---- month grid (MainWindowMonth.cpp) ----
    void FormResize();
    void LayoutGrid();
    // The month refresh. fromLayerList: a layer check mark was toggled; the layers are
    // saved afterwards.
    void RxSpinYearChange(bool fromLayerList = false);
    void GoToToday();
    int SelectedCell() const;
    std::int64_t SelectedEventId() const;  // -1 when the cell has no line
    void SyncSelection(int cell);
    void ApplyDisplayFont();
    bool DatePageShowing() const;
    // The weekday (1 Sunday .. 7 Saturday) of the grid's first column, as the options say.
    int FirstWeekday() const;
    Tlable_listbox& Cell(int number) const { return *cells_[std::size_t(number - 1)]; }

    // ---- keyboard (MainWindowKeys.cpp) ----
    // Shows the month months before (negative) or after the one shown.
    void StepMonth(int months);
    // Selects the day days before or after the selected one, in its month.
    void MoveSelectedDay(int days);

    // ---- preferences, help and the about box (MainWindowOptions.cpp) ----
    static constexpr int kHelpTopic = 1;
    void Preferences1Click();
    void btnHelpClick();
    void About1Click();

    // ---- layers (MainWindowLayers.cpp) ----
    void LoadLayers();
    void SaveLayers();

    // ---- event commands (MainWindowEvents.cpp) ----
    void AddEventAt(int cell);
    void EditSelectedEvent();
    void DeleteSelectedEvent();
    // Edits the occurrence of series on day as an event of its own that replaces it.
    void EditOccurrence(const tfield& series, int day);
    void DeleteEventIds(std::span<const std::int64_t> ids, IdListBlanks blanks);
    void ShowEventDay(const tfield& event, TDateTime reference);

    // ---- the search page (MainWindowSearch.cpp) ----
    // Searches again with the period unchanged when the search page is shown (after the
    // preferences changed the formats, for one); does nothing on the Date page.
    void RerunSearch();

    // ---- iCalendar files (MainWindowIcal.cpp) ----
    // An import handed over by the command line: the events are added, and the layers, the
    // month and the alarms show them once the caller has answered.
    ical::ImportResult ImportFromCommandLine(std::string_view text);

    // ---- backup, restore and compaction (MainWindowBackup.cpp) ----
    void btnbackupClick();
    void btnrestoreClick();
    void CompactDatabase1Click();

    // ---- alarms: the due list, its timers and the requests that raise the alarm window ----
    AlarmScheduler& Scheduler() const { return *scheduler_; }
    TFormAlarm& AlarmWindow() const { return *alarmWindow_; }

    // ---- application shell (MainWindowShell.cpp) ----
    // Registers the hot key of the options (true), releasing the one registered before, or
    // releases it (false). Call it with true after every save of the options, so that a new
    // key works at once.
    void ApplyHotKey(bool registering);
    // Shows the pending alarms, or says that nothing is pending.
    void btnpendingClick();
    // Brings the window back from the tray (or the task bar) to the front.
    void PmTrayRestoreClick();
    // A later start of the program asked for this one: the window comes forward, then its
    // open modal dialog.
    void BringToFront();
    // Ends the program: the hot key is released and exitRequested() is emitted.
    void btnExitClick();
    // The desktop session ends: the program lets it, and lets itself be closed.
    void SessionEnding();
    // True while the window waits in the tray (hidden, the tray icon showing).
    bool InTray() const;
    desktop::GlobalHotKey& HotKey() const { return *hotKey_; }
    // The tray's word, the first time the close box sends the window there.
    static const QString kKeepsRunningMessage;
    int TrayMessagesShown() const { return trayMessagesShown_; }

    // ---- printing (MainWindowPrint.cpp) ----
    void btnpreviewClick();
    void btnprintClick();
    // The printer of the month page, kept from one print to the next.
    QPrinter& Printer();
    // What the day cells show, for the month page, and its title.
    print::MonthSheet Sheet() const;
    QString MonthTitle() const;

    // Controls, named as in the design.
    QWidget* Panelmain = nullptr;
    QWidget* Panelleft = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    TSearchPage* searchPage = nullptr;
    QWidget* Paneltext = nullptr;
    QWidget* PanelDay = nullptr;
    std::array<QLabel*, 7> weekdayLabels{};
    std::array<QFrame*, 8> V{};
    std::array<QFrame*, 7> H{};

    QSpinBox* RxSpinYear = nullptr;
    QListWidget* ListBoxMonth = nullptr;
    QListWidget* RxCheckListBoxLayer = nullptr;
    QToolButton* snew = nullptr;
    QToolButton* sedit = nullptr;
    QToolButton* sdel = nullptr;
    QToolButton* sselectall = nullptr;
    QToolButton* sunselectall = nullptr;
    QMenu* PMForLayer = nullptr;

    QToolButton* btnAdd = nullptr;
    QToolButton* btnEdit = nullptr;
    QToolButton* btnDel = nullptr;
    QToolButton* btnpending = nullptr;
    QToolButton* btntoday = nullptr;
    QToolButton* btnbackup = nullptr;
    QToolButton* btnrestore = nullptr;
    QToolButton* btnactive = nullptr;
    QToolButton* btnOption = nullptr;
    QToolButton* btnHelp = nullptr;
    QToolButton* btnpreview = nullptr;
    QToolButton* btnprint = nullptr;
    QToolButton* btnExit = nullptr;
    QMenu* PmFormenu = nullptr;
    QAction* CompactDatabase1 = nullptr;
    QMenu* pmForBtn = nullptr;
    QMenu* pmForlistbox = nullptr;
    QAction* Preferences1 = nullptr;
    QAction* Help1 = nullptr;
    QAction* About1 = nullptr;
    QAction* VisitsWebsite1 = nullptr;
    QSystemTrayIcon* RxTrayIcon1 = nullptr;
    QMenu* PmTray = nullptr;
    QAction* ShowPendingEvents1 = nullptr;
    QAction* PmTrayRestore = nullptr;
    QAction* Exit1 = nullptr;

    // The event commands of the grid, each one action shared by the toolbar button, the
    // cell menus and the cell's mouse and keys.
    QAction* actNewEvent = nullptr;     // a new event on the selected cell's day
    QAction* actEditEvent = nullptr;    // edit the selected event
    QAction* actDeleteEvent = nullptr;  // delete the selected event
    // The layer commands, shared by the buttons under the layer list and its menu.
    QAction* actNewLayer = nullptr;
    QAction* actEditLayer = nullptr;
    QAction* actDeleteLayer = nullptr;
    QAction* actSelectAllLayers = nullptr;
    QAction* actUnselectAllLayers = nullptr;
    // iCalendar files (MainWindowIcal.cpp), items of the options menu.
    QAction* actExportIcal = nullptr;
    QAction* actImportIcal = nullptr;

signals:
    // Exit was chosen.
    void exitRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Construction (MainWindow.cpp).
    void CreateEventActions();
    void CreateToolbar();
    void CreateLeftPanel();
    void CreatePages();
    void CreateGrid();
    void FormActivate();
    void CreateAlarms();
    // The month refresh for a change of the year box or the month list.
    void RefreshKeepingFocus(QWidget* picker);
    // The weekday header over the columns, from the first day of the week on.
    void ShowWeekdayNames();
    void btnactiveClick();
    // The shown page again, after the options changed.
    void RefreshShownPage();

    // Keyboard (MainWindowKeys.cpp).
    void CreateShortcuts();
    // Gives action the command's keys and makes them work in this window.
    QAction* CommandAction(Command command, QAction* action,
                           Qt::ShortcutContext context = Qt::WindowShortcut);

    // Application shell (MainWindowShell.cpp).
    void CreateShell();
    // Minimising or closing: the Date page comes to the front, and the window goes to the tray
    // when there is one, else it stays minimised on the task bar.
    void SendToTray();

    void ConnectPrinting();

    // Day cells (MainWindowMonth.cpp).
    void DayButtonClick(int cell);
    void CellListClick(int cell);
    bool EditCheck();
    bool ConfirmDelete();

    // Search page (MainWindowSearch.cpp).
    void CreateSearchPage();
    void PageControl1Change();

    // Layers (MainWindowLayers.cpp).
    void CreateLayerControls();
    void RxCheckListBoxLayerItemChanged(QListWidgetItem* item);
    void snewClick();
    void seditClick();
    void sdelClick();
    void sselectallClick();
    void sunselectallClick();
    void SetAllLayerChecks(bool checked);
    bool RunLayerDialog(TmyFormLayer::Mode mode, int index, QWidget* owner);

    // Backup, restore and compaction (MainWindowBackup.cpp).
    void CreateMaintenanceCommands();
    // Stops the timers and closes the database; answers whether TimerEvery15 was running.
    bool ReleaseDatabase();
    // Reconnects and restarts the timers after a backup or an abandoned restore.
    void ResumeAfterRelease(bool remindAgainWasActive);

    // Event commands (MainWindowEvents.cpp).
    // owner: the window the editor stays above (the main window when null).
    std::unique_ptr<TmyFormNewOrEdit> CreateEditor(bool newEvent, QWidget* owner = nullptr);
    // Runs the editor on event from the alarm window; true when it ended with OK (event then
    // holds the edits).
    bool EditFromAlarmWindow(tfield& event, QWidget* owner);
    tfield NewEventPreset(int cell) const;
    // The alarms are checked again after every change of events.
    void RefreshAlarms();

    // iCalendar files (MainWindowIcal.cpp).
    void CreateIcalMenuItems();
    void ExportIcalendarClick();
    void ImportIcalendarClick();

    TDataMod& dm_;
    QStringList arguments_;
    QtSoundPlayer sound_;
    std::unique_ptr<AlarmScheduler> scheduler_;
    tlist_of_event monthList_;
    QButtonGroup* dayButtons_ = nullptr;
    std::array<std::unique_ptr<Tlable_listbox>, 42> cells_;
    bool activated_ = false;
    // The month line that was current when the mouse went down on the month list: a click
    // on the month already shown reads it again.
    int monthAtPress_ = -1;
    std::unique_ptr<TFormAlarm> alarmWindow_;
    desktop::GlobalHotKey* hotKey_ = nullptr;
    bool exiting_ = false;
    bool sessionEnding_ = false;
    bool inTray_ = false;
    int trayMessagesShown_ = 0;
    // Set while the pending alarms or the message about them are up, so that the hot key held
    // down opens them once.
    bool pendingShowing_ = false;

    std::shared_ptr<QPrinter> printer_;
};

}  // namespace qcal
