#include "ui/main/MonthView.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <string_view>
#include <utility>

#include "core/Clock.h"
#include "core/Names.h"
#include "core/WeekStart.h"
#include "platform/desktop/WeekStart.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "ui/main/DayCell.h"
#include "ui/main/MonthGrid.h"
#include "ui/main/MonthPicker.h"
#include "ui/main/Shortcuts.h"
#include "widgets/BusyCursor.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"

namespace qcal {
namespace {

QString Name(std::string_view name) {
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

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

// A grid line: drawn along its left edge (vertical) or its top edge (horizontal).
class GridLine : public QFrame {
public:
    GridLine(Qt::Orientation orientation, QWidget* parent)
        : QFrame(parent), orientation_(orientation) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::Dark));
        if (orientation_ == Qt::Vertical) {
            p.drawLine(0, 0, 0, height());
        } else {
            p.drawLine(0, 0, width(), 0);
        }
    }

private:
    Qt::Orientation orientation_;
};

// Hands the arrow keys that reach a day's list or the day panel to the page.
class ArrowKeys : public QObject {
public:
    ArrowKeys(QObject* parent, std::function<bool(QObject*, int)> pressed)
        : QObject(parent), pressed_(std::move(pressed)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
                if (DaysMovedByKey(key->key()) != 0 && pressed_(watched, key->key()))
                    return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(QObject*, int)> pressed_;
};

}  // namespace

MonthView::MonthView(CalendarSession& session, MonthPicker& picker, const EventActions& actions,
                     QWidget* parent)
    : QWidget(parent), session_(session), dm_(session.Data()), picker_(picker) {
    setObjectName(QStringLiteral("TabSheet1"));
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    Paneltext = new QWidget(this);
    Paneltext->setObjectName(QStringLiteral("Paneltext"));
    Paneltext->setFixedHeight(22);
    page->addWidget(Paneltext);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    for (int k = 0; k < 7; ++k) {
        auto* label = new QLabel(Name(kWeekdayShortNames[std::size_t(k)]), Paneltext);
        label->setObjectName(QStringLiteral("l%1").arg(k + 1));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(font);
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
        label->setPalette(pal);
        weekdayLabels[std::size_t(k)] = label;
    }
    PanelDay = new QWidget(this);
    PanelDay->setObjectName(QStringLiteral("PanelDay"));
    PanelDay->installEventFilter(this);
    page->addWidget(PanelDay, 1);
    CreateGrid(actions);
    CreateDayKeys(actions);

    connect(&picker_, &MonthPicker::picked, this, &MonthView::RxSpinYearChange);
    connect(&session_, &CalendarSession::eventsChanged, this, &MonthView::EventsChanged);
    connect(&session_, &CalendarSession::layersChanged, this, &MonthView::RefreshWhenShowing);
    connect(&session_, &CalendarSession::dayChanged, this, &MonthView::RefreshWhenShowing);
    connect(&session_, &CalendarSession::optionsChanged, this, [this] {
        ApplyDisplayFont();
        RefreshWhenShowing();
    });
}

MonthView::~MonthView() = default;

void MonthView::CreateGrid(const EventActions& actions) {
    for (std::size_t k = 0; k < V.size(); ++k) {
        V[k] = new GridLine(Qt::Vertical, PanelDay);
        V[k]->setObjectName(QStringLiteral("V%1").arg(k));
    }
    for (std::size_t k = 0; k < H.size(); ++k) {
        H[k] = new GridLine(Qt::Horizontal, PanelDay);
        H[k]->setObjectName(QStringLiteral("H%1").arg(k));
    }

    pmForBtn = new QMenu(this);
    pmForBtn->setObjectName(QStringLiteral("pmForBtn"));
    pmForBtn->addAction(actions.add);
    pmForlistbox = new QMenu(this);
    pmForlistbox->setObjectName(QStringLiteral("pmForlistbox"));
    pmForlistbox->addActions({actions.add, actions.edit, actions.remove});

    dayButtons_ = new QButtonGroup(this);
    dayButtons_->setExclusive(true);
    for (int n = 1; n <= kCellCount; ++n) {
        auto cell =
            std::make_unique<Tlable_listbox>(PanelDay, n, *dayButtons_, pmForBtn, pmForlistbox);
        connect(cell.get(), &Tlable_listbox::buttonClicked, this, &MonthView::DayButtonClick);
        connect(cell.get(), &Tlable_listbox::buttonDoubleClicked, actions.add, &QAction::trigger);
        connect(cell.get(), &Tlable_listbox::listClicked, this, &MonthView::CellListClick);
        connect(cell.get(), &Tlable_listbox::listDoubleClicked, actions.edit, &QAction::trigger);
        connect(cell.get(), &Tlable_listbox::deleteRequested, actions.remove, &QAction::trigger);
        cells_[std::size_t(n - 1)] = std::move(cell);
    }
}

void MonthView::CreateDayKeys(const EventActions& actions) {
    // Enter and Delete act on the day that has the focus; elsewhere (the keyword box, the
    // year) they stay with their controls.
    PanelDay->addAction(actions.edit);
    PanelDay->addAction(actions.remove);

    // The month keys belong to this page: the year box and the month list keep their own
    // Page Up and Page Down.
    for (auto [command, months] :
         {std::pair{Command::PreviousMonth, -1}, std::pair{Command::NextMonth, 1}}) {
        auto* step = new QAction(this);
        step->setShortcuts(KeysOf(command));
        step->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(step, &QAction::triggered, this, [this, months] { StepMonth(months); });
        addAction(step);
    }

    // The day panel takes the focus when the selected day has no list to hold it.
    PanelDay->setFocusPolicy(Qt::StrongFocus);
    auto* arrows = new ArrowKeys(this, [this](QObject* watched, int key) {
        if (!Showing())
            return false;
        const Tlable_listbox& selected = Cell(SelectedCell());
        if (watched == selected.list) {
            // Up and down walk the day's lines first, and leave the day at its ends.
            const int row = selected.list->SelectedRow();
            if ((key == Qt::Key_Up && row > 0) ||
                (key == Qt::Key_Down && row + 1 < selected.list->count()))
                return false;
        }
        MoveSelectedDay(DaysMovedByKey(key));
        return true;
    });
    PanelDay->installEventFilter(arrows);
    for (int n = 1; n <= kCellCount; ++n)
        Cell(n).list->installEventFilter(arrows);
}

bool MonthView::Showing() const {
    const auto* pages = qobject_cast<const QStackedWidget*>(parentWidget());
    return pages == nullptr || pages->currentWidget() == this;
}

void MonthView::Activate() {
    active_ = true;
    LayoutGrid();
}

bool MonthView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PanelDay && event->type() == QEvent::Resize && active_)
        LayoutGrid();
    return QWidget::eventFilter(watched, event);
}

void MonthView::LayoutGrid() {
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

void MonthView::EventsChanged(const DayRange& days) {
    if (!Showing() || picker_.Month() < 1)
        return;
    const MonthCells month = MonthModel(picker_.Year(), picker_.Month(), FirstWeekday());
    if (days.Overlaps(DayOf(month.first), DayOf(month.first) + month.days - 1))
        RxSpinYearChange();
}

void MonthView::RefreshWhenShowing() {
    if (Showing())
        RxSpinYearChange();
}

void MonthView::RxSpinYearChange() {
    // Nothing is read while a backup, restore or compaction has the database.
    if (picker_.Month() < 1 || !dm_.Connected())
        return;
    desktop::BusyCursor busy;
    PaintingSuspended suspended(window());
    if (!Showing()) {
        emit pickedWhileHidden();
        return;
    }
    ShowWeekdayNames();
    const MonthCells month = MonthModel(picker_.Year(), picker_.Month(), FirstWeekday());
    std::vector<mytitem_for_display> lines = session_.MonthLines(month.first, month.days);
    // A cell of the month is filled in place. While a list has the focus every cell is emptied
    // and hidden first, so that the focus leaves the lists as it always did.
    const QWidget* focus = QApplication::focusWidget();
    const bool listFocused = std::any_of(cells_.begin(), cells_.end(),
                                         [&](const auto& cell) { return cell->list == focus; });
    for (auto& cell : cells_) {
        if (listFocused || !month.HoldsDay(cell->Number()))
            cell->Clear();
    }
    int todayCell = 0;
    for (int d = 1; d <= month.days; ++d) {
        Tlable_listbox& cell = Cell(month.CellOfDay(d));
        cell.Fill(month.first + d - 1, std::move(lines[std::size_t(d - 1)]));
        if (cell.today)
            todayCell = cell.Number();
    }
    Cell(todayCell != 0 ? todayCell : month.firstCell).Select();
}

int MonthView::ShownYear() const {
    return picker_.Year();
}

int MonthView::ShownMonth() const {
    return picker_.Month();
}

void MonthView::ShowMonth(int year, int month) {
    picker_.SetMonth(year, month);
    RxSpinYearChange();
}

void MonthView::GoToToday() {
    const CivilDate today = DateOfDay(clock::Today());
    ShowMonth(today.year, int(today.month));
}

void MonthView::ShowDay(TDateTime target) {
    const CivilDate date = DecodeDate(target);
    if (picker_.Year() != date.year || picker_.Month() != int(date.month))
        ShowMonth(date.year, int(date.month));
    for (auto& cell : cells_) {
        if (cell->button->isEnabled() && DayOf(cell->date) == DayOf(target))
            cell->Select();
    }
}

void MonthView::StepMonth(int months) {
    const int index = picker_.Year() * 12 + picker_.Month() - 1 + months;
    const int year = index / 12;
    if (year < picker_.MinimumYear() || year > picker_.MaximumYear())
        return;
    ShowMonth(year, index % 12 + 1);
}

void MonthView::MoveSelectedDay(int days) {
    const TDateTime target = Cell(SelectedCell()).date + days;
    const CivilDate date = DecodeDate(target);
    if (date.year < picker_.MinimumYear() || date.year > picker_.MaximumYear())
        return;
    ShowMonth(date.year, int(date.month));
    Tlable_listbox& cell =
        Cell(MonthModel(date.year, int(date.month), FirstWeekday()).CellOfDay(int(date.day)));
    cell.Select();
    if (!cell.HasRows() && window()->isVisible())
        PanelDay->setFocus();
}

int MonthView::FirstWeekday() const {
    return desktop::FirstWeekday(dm_.Options.FirstDayOfWeek);
}

void MonthView::ShowWeekdayNames() {
    for (int column = 1; column <= kColumns; ++column) {
        QLabel* label = weekdayLabels[std::size_t(column - 1)];
        label->setText(
            Name(kWeekdayShortNames[std::size_t(WeekdayOfColumn(column, FirstWeekday()) - 1)]));
        // Navy on a light page; in a dark palette a navy that reads on it.
        QPalette pal = label->palette();
        pal.setColor(
            QPalette::WindowText,
            ReadableAccent(QColor(0, 0, 128), Paneltext->palette().color(QPalette::Window)));
        label->setPalette(pal);
    }
}

int MonthView::SelectedCell() const {
    for (const auto& cell : cells_) {
        if (cell->button->isChecked())
            return cell->Number();
    }
    return 1;
}

std::int64_t MonthView::SelectedEventId() const {
    const titem_for_display* line = Cell(SelectedCell()).SelectedOrFirstLine();
    return line ? line->id : -1;
}

void MonthView::SyncSelection(int cell) {
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

void MonthView::DayButtonClick(int cell) {
    Tlable_listbox& c = Cell(cell);
    if (!c.HasRows()) {
        for (auto& each : cells_)
            each->list->SetSelectedRow(-1);
        return;
    }
    if (c.list->SelectedRow() < 0)
        c.list->SetSelectedRow(0);
    if (window()->isVisible() && Showing())
        c.list->setFocus();
    SyncSelection(cell);
}

void MonthView::CellListClick(int cell) {
    Cell(cell).button->setChecked(true);
    SyncSelection(cell);
}

void MonthView::ApplyDisplayFont() {
    for (auto& cell : cells_)
        cell->SetFont(dm_.Options);
}

print::MonthSheet MonthView::Sheet() const {
    print::MonthSheet sheet;
    for (int n = 1; n <= kCellCount; ++n) {
        const Tlable_listbox& cell = Cell(n);
        print::SheetCell& out = sheet.cells[std::size_t(n - 1)];
        out.caption = cell.button->text();
        for (int row = 0; row < cell.list->count(); ++row)
            out.lines.push_back({cell.list->Text(row), cell.list->Background(row)});
    }
    sheet.firstWeekday = FirstWeekday();
    sheet.printedOn = desktop::Q(dm_.Format(dm_.Options.DateFormat, TDateTime(clock::Today())));
    return sheet;
}

QString MonthView::MonthTitle() const {
    return Name(NameOf(kMonthNames, std::clamp(picker_.Month() - 1, 0, 11))) + QLatin1Char(' ') +
           QString::number(picker_.Year());
}

}  // namespace qcal
