// The keyboard of the main window: the commands' keys, with each key named in its button's
// hint and its menu entry, and the arrow keys that move the selected day across the grid.

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include <functional>
#include <tuple>
#include <utility>

#include "ui/main/DayCell.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MonthGrid.h"
#include "ui/main/SearchPage.h"
#include "ui/main/Shortcuts.h"

namespace qcal {
namespace {

// Hands the arrow keys that reach a day's list or the day panel to the window.
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

QAction* TFormMainCalendar::CommandAction(Command command, QAction* action,
                                          Qt::ShortcutContext context) {
    action->setShortcuts(KeysOf(command));
    action->setShortcutContext(context);
    addAction(action);
    return action;
}

void TFormMainCalendar::CreateShortcuts() {
    // The grid's event commands act on the day or the search result that has the focus;
    // Enter and Delete elsewhere (the keyword box, the year) stay with their controls.
    for (auto [action, command, hint] :
         {std::tuple{actNewEvent, Command::NewEvent, "New Event"},
          std::tuple{actEditEvent, Command::EditEvent, "Edit Event"},
          std::tuple{actDeleteEvent, Command::DeleteEvent, "Delete Events"}}) {
        action->setShortcuts(KeysOf(command));
        action->setToolTip(HintWithKey(QString::fromLatin1(hint), command));
    }
    addAction(actNewEvent);
    for (QAction* scoped : {actEditEvent, actDeleteEvent}) {
        scoped->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        PanelDay->addAction(scoped);
        searchPage->ListBoxQuery->addAction(scoped);
    }

    const auto clicks = [this](QToolButton* button, Command command) {
        auto* action = new QAction(button->toolTip(), this);
        button->setToolTip(HintWithKey(button->toolTip(), command));
        connect(action, &QAction::triggered, button, &QToolButton::click);
        return CommandAction(command, action);
    };
    clicks(btnprint, Command::Print);
    clicks(btnpreview, Command::Preview);
    clicks(btntoday, Command::Today);

    CommandAction(Command::Preferences, Preferences1);
    auto* pending = new QAction(QStringLiteral("Show Pending Events"), this);
    pending->setObjectName(QStringLiteral("actShowPending"));
    connect(pending, &QAction::triggered, this, &TFormMainCalendar::btnpendingClick);
    CommandAction(Command::ShowPending, pending);
    btnpending->setToolTip(HintWithKey(btnpending->toolTip(), Command::ShowPending));
    auto* exitAction = new QAction(QStringLiteral("Exit"), this);
    exitAction->setObjectName(QStringLiteral("actExit"));
    connect(exitAction, &QAction::triggered, this, &TFormMainCalendar::btnExitClick);
    CommandAction(Command::Exit, exitAction);
    btnExit->setToolTip(HintWithKey(btnExit->toolTip(), Command::Exit));
    // F1 is the help key of every window; the menu entry and the button only name it.
    Help1->setShortcuts(KeysOf(Command::Help));
    Help1->setShortcutContext(Qt::WidgetShortcut);
    btnHelp->setToolTip(HintWithKey(btnHelp->toolTip(), Command::Help));

    auto* search = new QAction(QStringLiteral("Search Events"), this);
    connect(search, &QAction::triggered, this, [this] {
        PageControl1->setCurrentIndex(1);
        // The keyword box when it is open for typing, else the search type.
        QWidget* first = searchPage->editInclude->isEnabled()
                             ? static_cast<QWidget*>(searchPage->editInclude)
                             : static_cast<QWidget*>(searchPage->comSearchType);
        first->setFocus();
        searchPage->editInclude->selectAll();
    });
    CommandAction(Command::SearchPage, search);
    PageControl1->setTabToolTip(1,
                                HintWithKey(QStringLiteral("Search Events"), Command::SearchPage));

    // The month keys belong to the month page: the year box and the month list keep their
    // own Page Up and Page Down.
    for (auto [command, months] :
         {std::pair{Command::PreviousMonth, -1}, std::pair{Command::NextMonth, 1}}) {
        auto* step = new QAction(this);
        step->setShortcuts(KeysOf(command));
        step->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(step, &QAction::triggered, this, [this, months] { StepMonth(months); });
        TabSheet1->addAction(step);
    }

    // The day panel takes the focus when the selected day has no list to hold it.
    PanelDay->setFocusPolicy(Qt::StrongFocus);
    auto* arrows = new ArrowKeys(this, [this](QObject* watched, int key) {
        if (!DatePageShowing())
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

void TFormMainCalendar::StepMonth(int months) {
    const int index = RxSpinYear->value() * 12 + ListBoxMonth->currentRow() + months;
    const int year = index / 12;
    if (year < RxSpinYear->minimum() || year > RxSpinYear->maximum())
        return;
    {
        const QSignalBlocker blockYear(RxSpinYear);
        const QSignalBlocker blockMonth(ListBoxMonth);
        RxSpinYear->setValue(year);
        ListBoxMonth->setCurrentRow(index % 12);
    }
    RxSpinYearChange();
}

void TFormMainCalendar::MoveSelectedDay(int days) {
    const TDateTime target = Cell(SelectedCell()).date + days;
    const CivilDate date = DecodeDate(target);
    if (date.year < RxSpinYear->minimum() || date.year > RxSpinYear->maximum())
        return;
    if (date.year != RxSpinYear->value() || int(date.month) != ListBoxMonth->currentRow() + 1) {
        const QSignalBlocker blockYear(RxSpinYear);
        const QSignalBlocker blockMonth(ListBoxMonth);
        RxSpinYear->setValue(date.year);
        ListBoxMonth->setCurrentRow(int(date.month) - 1);
    }
    RxSpinYearChange();
    Tlable_listbox& cell =
        Cell(MonthModel(date.year, int(date.month), FirstWeekday()).CellOfDay(int(date.day)));
    cell.Select();
    if (!cell.HasRows() && isVisible())
        PanelDay->setFocus();
}

}  // namespace qcal
