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
class QTabWidget;
class QToolButton;

namespace qcal {

class CalendarSession;
struct DayRange;
class TDataMod;
class TFormPreferences;
class TSearchPage;
class Tlable_listbox;
class TmyFormNewOrEdit;

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

    // ---- month grid (MainWindowMonth.cpp) ----
    void FormResize();
    void LayoutGrid();
    // The year box's handler, also the month list's and the preview's: shows the month
    // picked.
    void RxSpinYearChange();
    void GoToToday();
    // The year and month (1..12) the pickers name; ShowMonth sets both and shows the month.
    int ShownYear() const;
    int ShownMonth() const;
    void ShowMonth(int year, int month);
    // Brings the Date page to the front and shows the month there.
    void ShowDatePage();
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
    // Reads the layers of the settings file into the list (at the start).
    void LoadLayers();

    // ---- event commands (MainWindowEvents.cpp) ----
    void AddEventAt(int cell);
    void EditSelectedEvent();
    void DeleteSelectedEvent();
    // Edits the occurrence of series on day as an event of its own that replaces it.
    void EditOccurrence(const tfield& series, int day);
    void DeleteEventIds(std::span<const std::int64_t> ids, IdListBlanks blanks);
    void ShowEventDay(const tfield& event, TDateTime reference);
    // Runs the event editor on event for the alarm window or the search page; true when it
    // ended with OK (event then holds the edits). owner: the window it stays above.
    bool EditFromAlarmWindow(tfield& event, QWidget* owner);

    // ---- application shell (MainWindowShell.cpp) ----
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
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
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

    // Construction (MainWindow.cpp).
    void CreateEventActions();
    void CreateToolbar();
    void CreateLeftPanel();
    void CreatePages();
    void CreateGrid();
    void FormActivate();
    void ListenToSession();
    // The session changed events on these days: the month shows them again when it shows
    // any of them.
    void EventsChanged(const DayRange& days);
    // The layer list shows the session's layer table again, then the month.
    void LayersChanged();
    void OptionsChanged();
    void NothingPending();
    // The month refresh for a change of the year box or the month list.
    void RefreshKeepingFocus(QWidget* picker);
    // The weekday header over the columns, from the first day of the week on.
    void ShowWeekdayNames();
    void btnactiveClick();

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
    // Fills the layer list from the layer table, in place when the names are the same.
    void FillLayerList();
    bool RunLayerDialog(TmyFormLayer::Mode mode, int index, QWidget* owner);

    // Event commands (MainWindowEvents.cpp).
    // owner: the window the editor stays above (the main window when null).
    std::unique_ptr<TmyFormNewOrEdit> CreateEditor(bool newEvent, QWidget* owner = nullptr);
    tfield NewEventPreset(int cell) const;

    // iCalendar files (MainWindowIcal.cpp).
    void CreateIcalMenuItems();
    void ExportIcalendarClick();
    void ImportIcalendarClick();

    CalendarSession& session_;
    TDataMod& dm_;
    QStringList arguments_;
    tlist_of_event monthList_;
    QButtonGroup* dayButtons_ = nullptr;
    std::array<std::unique_ptr<Tlable_listbox>, 42> cells_;
    bool activated_ = false;
    // The month line that was current when the mouse went down on the month list: a click
    // on the month already shown reads it again.
    int monthAtPress_ = -1;
    bool exiting_ = false;
    bool sessionEnding_ = false;
    bool inTray_ = false;
    int trayMessagesShown_ = 0;
    // Set while the message that nothing is pending is up, so that the hot key held down
    // shows it once.
    bool nothingPendingShowing_ = false;

    std::shared_ptr<QPrinter> printer_;
};

}  // namespace qcal
