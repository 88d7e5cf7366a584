#pragma once

// The Date page: the weekday header and the grid of 42 day cells showing the month the
// pickers name. It shows the month again whenever the session announces a change to it.

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

#include "core/Event.h"
#include "print/MonthPage.h"
#include "store/EventLists.h"
#include "ui/main/EventActions.h"

class QAction;
class QButtonGroup;
class QFrame;
class QLabel;
class QMenu;

namespace qcal {

class CalendarSession;
struct DayRange;
class MonthPicker;
class TDataMod;
class Tlable_listbox;

class MonthView : public QWidget {
    Q_OBJECT
public:
    MonthView(CalendarSession& session, MonthPicker& picker, const EventActions& actions,
              QWidget* parent = nullptr);
    ~MonthView() override;

    // The pickers' handler: shows the month they name when this page is the one shown;
    // otherwise announces pickedWhileHidden.
    void RxSpinYearChange();
    void GoToToday();
    // The year and month (1..12) the pickers name; ShowMonth sets both and shows the month.
    int ShownYear() const;
    int ShownMonth() const;
    void ShowMonth(int year, int month);
    // Selects the day of target, showing its month first when it is another.
    void ShowDay(TDateTime target);
    // Shows the month months before (negative) or after the one shown.
    void StepMonth(int months);
    // Selects the day days before or after the selected one, in its month.
    void MoveSelectedDay(int days);

    // True while this page is the current one of its page control.
    bool Showing() const;
    // Lays the grid out for the page's present size from now on.
    void Activate();
    void LayoutGrid();
    void ApplyDisplayFont();

    int SelectedCell() const;
    std::int64_t SelectedEventId() const;
    Tlable_listbox& Cell(int number) const { return *cells_[std::size_t(number - 1)]; }
    // The weekday (1 Sunday .. 7 Saturday) of the grid's first column, as the options say.
    int FirstWeekday() const;

    // What the day cells show, for the month page, and its title.
    print::MonthSheet Sheet() const;
    QString MonthTitle() const;

signals:
    // The pickers changed while another page is shown.
    void pickedWhileHidden();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateGrid(const EventActions& actions);
    void CreateDayKeys(const EventActions& actions);
    void EventsChanged(const DayRange& days);
    void RefreshWhenShowing();
    // The weekday header over the columns, from the first day of the week on.
    void ShowWeekdayNames();
    void SyncSelection(int cell);
    void DayButtonClick(int cell);
    void CellListClick(int cell);

    CalendarSession& session_;
    TDataMod& dm_;
    MonthPicker& picker_;

    QWidget* Paneltext = nullptr;
    QWidget* PanelDay = nullptr;
    std::array<QLabel*, 7> weekdayLabels{};
    std::array<QFrame*, 8> V{};
    std::array<QFrame*, 7> H{};
    QMenu* pmForBtn = nullptr;
    QMenu* pmForlistbox = nullptr;
    QButtonGroup* dayButtons_ = nullptr;
    std::array<std::unique_ptr<Tlable_listbox>, 42> cells_;
    bool active_ = false;
};

}  // namespace qcal
