// The month grid: layout, refresh, and the selection across the day cells.

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include "core/Clock.h"
#include "core/Names.h"
#include "core/WeekStart.h"
#include "platform/desktop/WeekStart.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "ui/main/DayCell.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MonthGrid.h"
#include "ui/main/SearchPage.h"
#include "widgets/BusyCursor.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

// Suspends repainting of a window for the life of the object.
class PaintingSuspended {
public:
    explicit PaintingSuspended(QWidget* window)
        : window_(window), wasEnabled_(window->updatesEnabled()) {
        window_->setUpdatesEnabled(false);
    }
    ~PaintingSuspended() { window_->setUpdatesEnabled(wasEnabled_); }
    PaintingSuspended(const PaintingSuspended&) = delete;
    PaintingSuspended& operator=(const PaintingSuspended&) = delete;

private:
    QWidget* window_;
    bool wasEnabled_;
};

}  // namespace

bool TFormMainCalendar::DatePageShowing() const {
    return PageControl1->currentIndex() == 0;
}

void TFormMainCalendar::FormResize() {
    PaintingSuspended suspended(this);
    const int listTop = RxCheckListBoxLayer->y();
    const int listHeight = std::max(0, Panelleft->height() - listTop - snew->height() - 5);
    RxCheckListBoxLayer->resize(RxCheckListBoxLayer->width(), listHeight);
    for (QToolButton* b : {snew, sedit, sdel, sselectall, sunselectall}) {
        b->move(b->x(), listTop + listHeight);
    }
    PageControl1->tabBar()->updateGeometry();
    PageControl1->tabBar()->adjustSize();
    LayoutGrid();
}

void TFormMainCalendar::LayoutGrid() {
    const GridGeometry g = LayoutGridGeometry(PanelDay->width(), PanelDay->height());
    for (std::size_t k = 0; k < V.size(); ++k) {
        const GridRect& r = g.vertical[k];
        V[k]->setGeometry(r.left, r.top, r.width, r.height);
    }
    for (std::size_t k = 0; k < H.size(); ++k) {
        const GridRect& r = g.horizontal[k];
        H[k]->setGeometry(r.left, r.top, r.width, r.height);
    }
    for (std::size_t n = 0; n < cells_.size(); ++n)
        cells_[n]->SetBounds(g.cells[n]);
    for (std::size_t k = 0; k < weekdayLabels.size(); ++k) {
        const GridRect& r = g.weekdayLabels[k];
        weekdayLabels[k]->setGeometry(r.left, r.top, r.width, r.height);
    }
}

void TFormMainCalendar::EventsChanged(const DayRange& days) {
    if (!DatePageShowing() || ListBoxMonth->currentRow() < 0)
        return;
    const MonthCells month =
        MonthModel(RxSpinYear->value(), ListBoxMonth->currentRow() + 1, FirstWeekday());
    if (days.Overlaps(DayOf(month.first), DayOf(month.first) + month.days - 1))
        RxSpinYearChange();
}

void TFormMainCalendar::RxSpinYearChange() {
    // Nothing is read while a backup, restore or compaction has the database.
    if (ListBoxMonth->currentRow() < 0 || !dm_.Connected())
        return;
    desktop::BusyCursor busy;
    {
        PaintingSuspended suspended(this);
        if (DatePageShowing()) {
            if (RxSpinYear->value() < 1000) {
                const QSignalBlocker block(RxSpinYear);
                RxSpinYear->setValue(1000);
            }
            ShowWeekdayNames();
            const MonthCells month =
                MonthModel(RxSpinYear->value(), ListBoxMonth->currentRow() + 1, FirstWeekday());
            std::vector<mytitem_for_display> lines = session_.MonthLines(month.first, month.days);
            for (auto& cell : cells_)
                cell->Clear();
            int todayCell = 0;
            for (int d = 1; d <= month.days; ++d) {
                Tlable_listbox& cell = Cell(month.CellOfDay(d));
                cell.Fill(month.first + d - 1, std::move(lines[std::size_t(d - 1)]));
                if (cell.today)
                    todayCell = cell.Number();
            }
            Cell(todayCell != 0 ? todayCell : month.firstCell).Select();
        } else {
            searchPage->comSearchTypeChange();
        }
    }
}

int TFormMainCalendar::ShownYear() const {
    return RxSpinYear->value();
}

int TFormMainCalendar::ShownMonth() const {
    return ListBoxMonth->currentRow() + 1;
}

void TFormMainCalendar::ShowMonth(int year, int month) {
    {
        const QSignalBlocker blockYear(RxSpinYear);
        const QSignalBlocker blockMonth(ListBoxMonth);
        RxSpinYear->setValue(year);
        ListBoxMonth->setCurrentRow(month - 1);
    }
    RxSpinYearChange();
}

void TFormMainCalendar::ShowDatePage() {
    if (DatePageShowing())
        return;
    PageControl1->setCurrentIndex(0);
    RxSpinYearChange();
}

int TFormMainCalendar::FirstWeekday() const {
    return desktop::FirstWeekday(dm_.Options.FirstDayOfWeek);
}

void TFormMainCalendar::ShowWeekdayNames() {
    for (int column = 1; column <= kColumns; ++column) {
        QLabel* label = weekdayLabels[std::size_t(column - 1)];
        const std::string_view name =
            kWeekdayShortNames[std::size_t(WeekdayOfColumn(column, FirstWeekday()) - 1)];
        label->setText(QString::fromLatin1(name.data(), qsizetype(name.size())));
        // Navy on a light page; in a dark palette a navy that reads on it.
        QPalette pal = label->palette();
        pal.setColor(
            QPalette::WindowText,
            ReadableAccent(QColor(0, 0, 128), Paneltext->palette().color(QPalette::Window)));
        label->setPalette(pal);
    }
}

void TFormMainCalendar::GoToToday() {
    const CivilDate today = DateOfDay(clock::Today());
    {
        const QSignalBlocker blockYear(RxSpinYear);
        const QSignalBlocker blockMonth(ListBoxMonth);
        RxSpinYear->setValue(today.year);
        ListBoxMonth->setCurrentRow(int(today.month) - 1);
    }
    RxSpinYearChange();
}

int TFormMainCalendar::SelectedCell() const {
    for (const auto& cell : cells_) {
        if (cell->button->isChecked())
            return cell->Number();
    }
    return 1;
}

std::int64_t TFormMainCalendar::SelectedEventId() const {
    const titem_for_display* line = Cell(SelectedCell()).SelectedOrFirstLine();
    return line ? line->id : -1;
}

void TFormMainCalendar::SyncSelection(int cell) {
    const Tlable_listbox& chosen = Cell(cell);
    const int row = chosen.list->SelectedRow();
    const bool hasLine = row >= 0 && std::size_t(row) < chosen.lines.size();
    for (const auto& other : cells_) {
        if (other->Number() == cell || !other->HasRows())
            continue;
        int match = -1;
        for (std::size_t i = 0; hasLine && i < other->lines.size(); ++i) {
            if (other->lines[i].id == chosen.lines[std::size_t(row)].id) {
                match = int(i);
                break;
            }
        }
        other->list->SetSelectedRow(match);
    }
}

void TFormMainCalendar::DayButtonClick(int cell) {
    Tlable_listbox& c = Cell(cell);
    if (!c.HasRows()) {
        for (auto& each : cells_)
            each->list->SetSelectedRow(-1);
        return;
    }
    if (c.list->SelectedRow() < 0)
        c.list->SetSelectedRow(0);
    if (isVisible() && DatePageShowing())
        c.list->setFocus();
    SyncSelection(cell);
}

void TFormMainCalendar::CellListClick(int cell) {
    Cell(cell).button->setChecked(true);
    SyncSelection(cell);
}

void TFormMainCalendar::ApplyDisplayFont() {
    for (auto& cell : cells_)
        cell->SetFont(dm_.Options);
}

bool TFormMainCalendar::EditCheck() {
    if (Cell(SelectedCell()).HasRows())
        return true;
    desktop::MessageBox::Information(this, QStringLiteral("There is no event to be edited!"));
    return false;
}

bool TFormMainCalendar::ConfirmDelete() {
    const titem_for_display* line = Cell(SelectedCell()).SelectedOrFirstLine();
    if (!line) {
        desktop::MessageBox::Information(this, QStringLiteral("There is no event to be delete!"));
        return false;
    }
    return desktop::MessageBox::Question(
        this, QStringLiteral("Are you sure to delete the event?\r'") + desktop::Q(line->text) +
                  QStringLiteral("'"));
}

}  // namespace qcal
