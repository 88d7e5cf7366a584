// The main window's month grid, day cells and selection, against a real user.mdb.

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>

#include "platform/ProfileFile.h"
#include "session/AlarmScheduler.h"
#include "store/SearchStatement.h"
#include "support/SearchControls.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/main/PreferencesDialog.h"
#include "ui/main/SearchPage.h"

using namespace qcal;
using namespace qcal::test;
using Kind = desktop::MessageBox::Kind;

namespace {

const TDateTime kJan7 = EncodeDateTime(2027, 1, 7, 10, 0);
const arraylayinfo kTwoLayers{{"Work", 0x000000FF, true}, {"Home", 0x0000FF00, true}};

tfield Alarmed(tfield event) {
    event.alert = true;
    return event;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void monthFillsItsCells_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("firstCell");
        QTest::addColumn<int>("lastCell");
        QTest::newRow("January 2006 from Sunday") << 2006 << 1 << 1 << 31;
        QTest::newRow("May 2027 from Saturday") << 2027 << 5 << 7 << 37;
        QTest::newRow("February 2026") << 2026 << 2 << 1 << 28;
    }
    void monthFillsItsCells() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, firstCell);
        QFETCH(int, lastCell);
        WindowFixture fx(kJan7);
        fx.Open();
        fx.ShowMonth(year, month);
        for (int n = 1; n <= kCellCount; ++n) {
            const Tlable_listbox& cell = fx.window->Cell(n);
            const bool filled = n >= firstCell && n <= lastCell;
            QCOMPARE(cell.button->isVisible(), filled);
            QCOMPARE(cell.button->isEnabled(), filled);
            QCOMPARE(cell.button->text(), filled ? QString::number(n - firstCell + 1) : QString());
        }
        // Another month than today's selects day 1.
        QCOMPARE(fx.window->SelectedCell(), firstCell);
    }

    // Cells filled in place after another month show only the new month: no caption stays
    // red, no list keeps the rows or the ground of lines it no longer has.
    void cellsRefilledShowOnlyTheNewMonth() {
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Add(OnceEvent("Meeting", EncodeDate(2027, 1, 7), EncodeTime(9, 0), "Work"));
        fx.Add(OnceEvent("Lunch", EncodeDate(2027, 2, 9), EncodeTime(12, 30), "Home"));
        fx.Open();
        fx.ShowMonth(2027, 2);
        const Tlable_listbox* lunch = &fx.CellOfDay(2027, 2, 9);
        for (int n = 1; n <= kCellCount; ++n) {
            const Tlable_listbox& c = fx.window->Cell(n);
            const QColor caption = c.button->captionColor();
            QVERIFY(!c.today && !c.button->text().contains(Q("Today")));
            QVERIFY(caption.red() <= 2 * caption.green() || caption.red() <= 2 * caption.blue());
            QCOMPARE(c.list->count(), &c == lunch ? 1 : 0);
            QCOMPARE(c.list->height(), &c == lunch ? CellList::kRowHeight : 0);
            QCOMPARE(c.list->palette().color(QPalette::Base),
                     QPalette().color(&c == lunch ? QPalette::Base : QPalette::Button));
        }
    }

    void todayIsMarkedAndSelected() {
        WindowFixture fx(kJan7);
        fx.Open();
        Tlable_listbox& today = fx.CellOfDay(2027, 1, 7);
        QCOMPARE(today.button->text(), Q("7 Today"));
        // Red, darkened as far as the button face needs to read it.
        const QColor red = today.button->captionColor();
        QVERIFY(red.red() > 2 * red.green() && red.red() > 2 * red.blue());
        QVERIFY(today.today);
        QCOMPARE(fx.window->SelectedCell(), today.Number());
        const Tlable_listbox& other = fx.CellOfDay(2027, 1, 8);
        QCOMPARE(other.button->text(), Q("8"));
        QCOMPARE(other.button->captionColor(), QColor(Qt::black));
        QCOMPARE(Child<QSpinBox>(*fx.window, "RxSpinYear")->value(), 2027);
        QCOMPARE(Child<QListWidget>(*fx.window, "ListBoxMonth")->currentRow(), 0);
    }

    // The first day of the week chosen in the preferences leads the grid, the weekday
    // header, the printed page and the search's weeks.
    void weekStartsOnTheChosenDay_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("first");   // the header's first name
        QTest::addColumn<int>("cellOfDay1");  // 1 January 2027 is a Friday
        QTest::addColumn<int>("weekStart");   // This Week's first day in January 2027
        QTest::newRow("Sunday") << 0 << Q("en_US") << Q("Sun") << 6 << 3;
        QTest::newRow("Monday") << 1 << Q("en_US") << Q("Mon") << 5 << 4;
        QTest::newRow("as the locale, German") << 2 << Q("de_DE") << Q("Mon") << 5 << 4;
        QTest::newRow("as the locale, American") << 2 << Q("en_US") << Q("Sun") << 6 << 3;
    }
    void weekStartsOnTheChosenDay() {
        QFETCH(int, option);
        QFETCH(QString, locale);
        QFETCH(QString, first);
        QFETCH(int, cellOfDay1);
        QFETCH(int, weekStart);
        struct DefaultLocale {
            explicit DefaultLocale(const QString& name) { QLocale::setDefault(QLocale(name)); }
            ~DefaultLocale() { QLocale::setDefault(before); }
            QLocale before;
        } defaultLocale(locale);
        WindowFixture fx(kJan7);
        TFormMainCalendar& w = fx.Open();
        fx.answer = [&](QDialog& d) {
            auto* preferences = qobject_cast<TFormPreferences*>(&d);
            preferences->cbWeekStart->setCurrentIndex(option);
            preferences->SpeedButton1->click();
            return d.result();
        };
        Child<QAction>(w, "Preferences1")->trigger();
        QCOMPARE(Child<QLabel>(w, "l1")->text(), first);
        QCOMPARE(w.Cell(cellOfDay1).button->text(), Q("1"));
        QCOMPARE(w.Sheet().firstWeekday, WeekdayOfDay(DayNumber(2027, 1, unsigned(weekStart))));
        Child<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
        const SearchControls search(*Child<TSearchPage>(w, "SearchPage"));
        search.comSearchType->setCurrentIndex(kSearchThisWeek);
        Child<TSearchPage>(w, "SearchPage")->comSearchTypeChange();
        QCOMPARE(search.dtBetweenDate->date(), QDate(2027, 1, weekStart));
    }

    void linesShowTimeAlarmAndSubjectInTheLayerColour() {
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Add(Alarmed(OnceEvent("Meeting", EncodeDate(2027, 1, 12), EncodeTime(9, 0), "Work")));
        tfield quiet = OnceEvent("Lunch", EncodeDate(2027, 1, 12), EncodeTime(12, 30), "Home");
        quiet.alert = false;
        fx.Add(quiet);
        fx.Open();
        const Tlable_listbox& cell = fx.CellOfDay(2027, 1, 12);
        QCOMPARE(fx.Rows(cell), (QStringList{Q("09:00 AM !Meeting"), Q("12:30 PM Lunch")}));
        QCOMPARE(cell.list->Background(0), QColor(255, 0, 0));
        QCOMPARE(cell.list->Background(1), QColor(0, 255, 0));
        QCOMPARE(cell.list->height(), 2 * CellList::kRowHeight);
    }

    void duplicateLayerNameTakesTheLaterColour() {
        WindowFixture fx(kJan7, {{"Work", 0x000000FF, true}, {"Work", 0x00FF0000, false}});
        fx.Add(OnceEvent("Meeting", EncodeDate(2027, 1, 12), EncodeTime(9, 0), "Work"));
        fx.Open();
        const Tlable_listbox& cell = fx.CellOfDay(2027, 1, 12);
        QCOMPARE(cell.list->count(), 1);
        QCOMPARE(cell.list->Background(0), QColor(0, 0, 255));
    }

    void uncheckingALayerHidesItsEventsAndIsStored() {
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Add(Alarmed(OnceEvent("Meeting", EncodeDate(2027, 1, 12), EncodeTime(9, 0), "Work")));
        fx.Add(OnceEvent("Lunch", EncodeDate(2027, 1, 12), EncodeTime(12, 30), "Home"));
        fx.Open();
        Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")
            ->item(1)
            ->setCheckState(Qt::Unchecked);
        QCOMPARE(fx.Rows(fx.CellOfDay(2027, 1, 12)), QStringList{Q("09:00 AM !Meeting")});
        const platform::ProfileFile ini(fx.store.file("setup.ini"));
        QCOMPARE(ini.readString("Color", "IsActived1", "?"), std::string("0"));
        QCOMPARE(ini.readString("Color", "IsActived0", "?"), std::string("1"));

        // After a restart the check state is the same.
        fx.Close();
        fx.Open();
        QCOMPARE(Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->item(1)->checkState(),
                 Qt::Unchecked);
        QCOMPARE(fx.CellOfDay(2027, 1, 12).list->count(), 1);
    }

    void selectingALineSelectsTheEventAcrossTheMonth() {
        WindowFixture fx(kJan7, kTwoLayers);
        const std::int64_t daily = fx.Add(DailyEvent("Stand-up", EncodeDate(2027, 1, 4),
                                                     EncodeDate(2027, 1, 20), 2, EncodeTime(8, 0)));
        fx.Add(OnceEvent("Dentist", EncodeDate(2027, 1, 6), EncodeTime(7, 0), "Home"));
        fx.Add(OnceEvent("Lunch", EncodeDate(2027, 1, 9), EncodeTime(12, 0), "Home"));
        fx.Open();

        Tlable_listbox& jan6 = fx.CellOfDay(2027, 1, 6);  // Dentist, Stand-up
        jan6.list->SetSelectedRow(1);
        emit jan6.listClicked(jan6.Number());
        QVERIFY(jan6.button->isChecked());
        QCOMPARE(fx.window->SelectedEventId(), daily);
        QCOMPARE(fx.CellOfDay(2027, 1, 4).list->SelectedRow(), 0);
        QCOMPARE(fx.CellOfDay(2027, 1, 20).list->SelectedRow(), 0);
        QCOMPARE(fx.CellOfDay(2027, 1, 9).list->SelectedRow(), -1);  // Lunch only

        // A day without events removes every selection.
        Tlable_listbox& jan5 = fx.CellOfDay(2027, 1, 5);
        jan5.Select();
        QCOMPARE(fx.window->SelectedCell(), jan5.Number());
        QCOMPARE(fx.CellOfDay(2027, 1, 6).list->SelectedRow(), -1);
        QCOMPARE(fx.CellOfDay(2027, 1, 4).list->SelectedRow(), -1);
        QCOMPARE(fx.window->SelectedEventId(), -1);

        // A day with events selects its first line when none is selected.
        fx.CellOfDay(2027, 1, 9).Select();
        QCOMPARE(fx.CellOfDay(2027, 1, 9).list->SelectedRow(), 0);
    }

    void rightClickSelectsTheLineAndItsDay() {
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Add(OnceEvent("A", EncodeDate(2027, 1, 12), EncodeTime(8, 0)));
        const std::int64_t second =
            fx.Add(OnceEvent("B", EncodeDate(2027, 1, 12), EncodeTime(9, 0)));
        fx.Open();
        Tlable_listbox& cell = fx.CellOfDay(2027, 1, 12);
        QTest::mousePress(cell.list->viewport(), Qt::RightButton, {},
                          QPoint(5, CellList::kRowHeight + 3));
        QCOMPARE(fx.window->SelectedCell(), cell.Number());
        QCOMPARE(fx.window->SelectedEventId(), second);
        // Below the last row counts as the last row.
        QCOMPARE(cell.list->RowUnderPointer(10 * CellList::kRowHeight), 1);
    }

    void firstAndLastMonthOfTheYearRange_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("firstCell");
        QTest::addColumn<int>("lastCell");
        QTest::newRow("January 1000") << 1000 << 1 << 4 << 34;
        QTest::newRow("December 9999") << 9999 << 12 << 4 << 34;
    }
    void firstAndLastMonthOfTheYearRange() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, firstCell);
        QFETCH(int, lastCell);
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Add(OnceEvent("Edge", EncodeDate(year, unsigned(month), 31), EncodeTime(9, 0)));
        fx.Open();
        QCOMPARE(Child<QSpinBox>(*fx.window, "RxSpinYear")->minimum(), 1000);
        QCOMPARE(Child<QSpinBox>(*fx.window, "RxSpinYear")->maximum(), 9999);
        fx.ShowMonth(year, month);
        QCOMPARE(Child<QSpinBox>(*fx.window, "RxSpinYear")->value(), year);
        QCOMPARE(fx.window->SelectedCell(), firstCell);
        QCOMPARE(fx.window->Cell(lastCell).button->text(), Q("31"));
        QVERIFY(!fx.window->Cell(lastCell + 1).button->isVisible());
        QCOMPARE(fx.Rows(fx.window->Cell(lastCell)), QStringList{Q("09:00 AM Edge")});
    }

    void editAndDeleteOnAnEmptyDayExplain() {
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Open();
        Child<QToolButton>(*fx.window, "btnEdit")->click();
        Child<QToolButton>(*fx.window, "btnDel")->click();
        QCOMPARE(fx.Shown(), (QList<desktop::MessageBox::Shown>{
                                 {Kind::Information, Q("There is no event to be edited!")},
                                 {Kind::Information, Q("There is no event to be delete!")}}));
        QCOMPARE(fx.dialogsShown, 0);
    }

    void alarmSwitchAsksBeforeDisabling() {
        WindowFixture fx(kJan7);
        fx.Open();
        QToolButton* active = Child<QToolButton>(*fx.window, "btnactive");
        QVERIFY(active->isChecked());
        AlarmScheduler& alarms = fx.shell->Session().Scheduler();
        QTRY_VERIFY(alarms.TimerEvery1.isActive());  // the first activation runs once shown

        desktop::MessageBox::PresetAnswers({false});
        active->click();
        QVERIFY(active->isChecked());
        QCOMPARE(fx.Shown().value(0).text, Q("Do you want to disable the alarm?"));
        QVERIFY(fx.store.dm->Options.IsAlarmEnabled);

        desktop::MessageBox::PresetAnswers({true});
        active->click();
        QVERIFY(!active->isChecked());
        QVERIFY(!alarms.TimerEvery1.isActive());
        QCOMPARE(active->toolTip(), Q("Disabled Alarm"));
        QCOMPARE(fx.Shown().size(), 1);
        const platform::ProfileFile ini(fx.store.file("setup.ini"));
        QCOMPARE(ini.readString("Options", "IsAlarmEnabled", "?"), std::string("0"));

        active->click();
        QVERIFY(active->isChecked());
        QCOMPARE(active->toolTip(), Q("Enabled Alarm"));
        QVERIFY(fx.store.dm->Options.IsAlarmEnabled);
        QVERIFY(alarms.TimerEvery1.isActive());
        QVERIFY(fx.Shown().isEmpty());
    }

    // The window hands the alarms to its scheduler: pending events at the first
    // activation, the pending button, a new event, and the change of day.
    void alarmsRunFromTheWindow() {
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Add(Alarmed(OnceEvent("missed", EncodeDate(2027, 1, 6), EncodeTime(9, 0))));
        fx.Open();
        AlarmScheduler& alarms = fx.shell->Session().Scheduler();
        QTRY_COMPARE(alarms.Due().dueEvents.size(), std::size_t(1));
        QVERIFY(!alarms.TimerEvery15.isActive());

        // The reminder window came up and stays open beside the main window; closed, the
        // pending button has nothing to show.
        QVERIFY(fx.shell->AlarmWindow().isVisible());
        Child<QPushButton>(fx.shell->AlarmWindow(), "btnclose")->click();
        fx.list.FileEvents(std::vector<std::int64_t>{alarms.Due().dueEvents[0].id},
                           IdListBlanks::Around);
        fx.shell->Session().ReloadEvents();
        Child<QToolButton>(*fx.window, "btnpending")->click();
        QVERIFY(alarms.Due().dueEvents.empty());
        QCOMPARE(fx.Shown(),
                 (QList<desktop::MessageBox::Shown>{
                     {Kind::Information, Q("There are no pending events to be displayed!")}}));

        // Any change of events looks for due alarms at once.
        fx.Add(Alarmed(OnceEvent("now", EncodeDate(2027, 1, 7), EncodeTime(9, 30))));
        const std::int64_t other = fx.Add(OnceEvent("other", EncodeDate(2027, 1, 7)));
        fx.window->DeleteEventIds(std::vector<std::int64_t>{other}, IdListBlanks::None);
        QCOMPARE(alarms.Due().dueEvents.size(), std::size_t(1));
        QCOMPARE(alarms.Due().dueEvents[0].subject, std::string("now"));

        // At the change of day the month shown is read again.
        fx.Add(OnceEvent("tomorrow", EncodeDate(2027, 1, 8)));
        QVERIFY(fx.Rows(fx.CellOfDay(2027, 1, 8)).isEmpty());
        fx.clock.set(EncodeDateTime(2027, 1, 8, 0, 3));
        alarms.TimerFortdoayTimer();
        QCOMPARE(alarms.LastDay, DayOf(EncodeDate(2027, 1, 8)));
        QCOMPARE(fx.Rows(fx.CellOfDay(2027, 1, 8)).size(), 1);
    }

    void toolbarHintsAndLaterButtons() {
        WindowFixture fx(kJan7);
        fx.Open();
        const struct {
            QToolButton* button;
            const char* hint;
            bool enabled;
        } expected[] = {
            {Child<QToolButton>(*fx.window, "btnAdd"), "New Event", true},
            {Child<QToolButton>(*fx.window, "btnEdit"), "Edit Event", true},
            {Child<QToolButton>(*fx.window, "btnDel"), "Delete Events", true},
            {Child<QToolButton>(*fx.window, "btnpending"), "Show Pending Events", true},
            {Child<QToolButton>(*fx.window, "btntoday"), "Today", true},
            {Child<QToolButton>(*fx.window, "btnbackup"), "Backup Events", true},
            {Child<QToolButton>(*fx.window, "btnrestore"), "Restore Events", true},
            {Child<QToolButton>(*fx.window, "btnOption"), "Menus", true},
            {Child<QToolButton>(*fx.window, "btnHelp"), "Help", true},
            {Child<QToolButton>(*fx.window, "btnpreview"), "Preview Calendar", true},
            {Child<QToolButton>(*fx.window, "btnprint"), "Print Calendar", true},
            {Child<QToolButton>(*fx.window, "btnExit"), "Exit", true},
        };
        for (const auto& e : expected) {
            // The hint, and the key where the command has one.
            QVERIFY2(e.button->toolTip() == Q(e.hint) ||
                         e.button->toolTip().startsWith(Q(e.hint) + Q(" (")),
                     qPrintable(e.button->toolTip()));
            QCOMPARE(e.button->isEnabled(), e.enabled);
        }
        QSignalSpy exit(fx.window, &TFormMainCalendar::exitRequested);
        Child<QToolButton>(*fx.window, "btnExit")->click();
        QCOMPARE(exit.count(), 1);
    }

    void autorunStartsMinimisedOnlyWhenAsked_data() {
        QTest::addColumn<bool>("startWithDesktop");
        QTest::addColumn<bool>("minimise");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("minimised");
        QTest::newRow("autorun") << true << true << QStringList{Q("autorun")} << true;
        QTest::newRow("started by hand") << true << true << QStringList{} << false;
        QTest::newRow("other letter case") << true << true << QStringList{Q("Autorun")} << false;
        QTest::newRow("not minimised") << true << false << QStringList{Q("autorun")} << false;
        QTest::newRow("no autostart") << false << true << QStringList{Q("autorun")} << false;
    }
    void autorunStartsMinimisedOnlyWhenAsked() {
        QFETCH(bool, startWithDesktop);
        QFETCH(bool, minimise);
        QFETCH(QStringList, arguments);
        QFETCH(bool, minimised);
        WindowFixture fx(kJan7);
        fx.store.dm->Options.IsStartWhenWindow = startWithDesktop;
        fx.store.dm->Options.IsMinimize = minimise;
        fx.store.dm->SaveOptions();
        fx.Open(arguments);
        QCOMPARE(fx.window->StartsMinimised(), minimised);
    }

    void todayButtonReturnsToTheCurrentMonth() {
        WindowFixture fx(kJan7);
        fx.Open();
        fx.ShowMonth(2030, 6);
        Child<QToolButton>(*fx.window, "btntoday")->click();
        QCOMPARE(Child<QSpinBox>(*fx.window, "RxSpinYear")->value(), 2027);
        QCOMPARE(Child<QListWidget>(*fx.window, "ListBoxMonth")->currentRow(), 0);
        QCOMPARE(fx.window->SelectedCell(), fx.CellOfDay(2027, 1, 7).Number());
    }

    void crowdedDayScrollsInsideItsCell() {
        WindowFixture fx(kJan7, kTwoLayers);
        for (int h = 0; h < 12; ++h) {
            fx.Add(OnceEvent("Slot", EncodeDate(2027, 1, 12), EncodeTime(h, 0)));
        }
        fx.Open();
        const Tlable_listbox& crowded = fx.CellOfDay(2027, 1, 12);
        QCOMPARE(crowded.list->count(), 12);
        QCOMPARE(crowded.list->height(), crowded.button->height() - 20);
        QCOMPARE(crowded.list->y(), crowded.button->y() + 20);
        // A day without lines shows no list.
        QCOMPARE(fx.CellOfDay(2027, 1, 13).list->height(), 0);
    }

    void hintFollowsTheRowUnderThePointer() {
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Add(OnceEvent("First", EncodeDate(2027, 1, 12), EncodeTime(8, 0)));
        fx.Add(
            OnceEvent("A much longer second subject", EncodeDate(2027, 1, 12), EncodeTime(9, 0)));
        fx.Open();
        CellList* list = fx.CellOfDay(2027, 1, 12).list;
        auto moveTo = [list](QPoint at) {
            QMouseEvent move(QEvent::MouseMove, at, list->viewport()->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &move);
        };
        moveTo(QPoint(4, CellList::kRowHeight + 2));
        QCOMPARE(list->toolTip(), Q("09:00 AM A much longer second subject"));
        moveTo(QPoint(4, 2));
        QCOMPARE(list->toolTip(), Q("08:00 AM First"));
        QCOMPARE(fx.CellOfDay(2027, 1, 12).button->toolTip(), Q("Double-click to add event"));
    }

    void lineOfAnUnknownLayerIsBlue() {
        StoreFixture store;
        store.dm->Layers = kTwoLayers;
        const tArrayofField events{OnceEvent("Orphan", EncodeDate(2027, 1, 12), 0, "Gone")};
        tlist_of_event month(*store.dm);
        QWidget panel;
        QButtonGroup group;
        Tlable_listbox cell(&panel, 1, group, nullptr, nullptr);
        cell.Fill(EncodeDate(2027, 1, 12), month.ItemsOfDay(EncodeDate(2027, 1, 12), events));
        QCOMPARE(cell.list->count(), 1);
        QCOMPARE(cell.list->Background(0), QColor(0, 0, 255));
        cell.Clear();
        QVERIFY(!cell.button->isEnabled());
        QCOMPARE(cell.list->count(), 0);
        QVERIFY(cell.lines.empty());
    }

    void weekdayHeaderFollowsTheColumns() {
        WindowFixture fx(kJan7);
        fx.Open();
        const auto line = [&](int k) {
            return Child<QFrame>(*fx.window, qPrintable(QStringLiteral("V%1").arg(k)));
        };
        for (int k = 0; k < 7; ++k) {
            QCOMPARE(Child<QLabel>(*fx.window, qPrintable(QStringLiteral("l%1").arg(k + 1)))->x(),
                     line(k)->x());
        }
        const Tlable_listbox& last = fx.window->Cell(42);
        QCOMPARE(last.button->geometry().right() + 1, line(7)->x());
    }

    void tabsShareTheWidthAfterEveryResize() {
        WindowFixture fx(kJan7);
        fx.Open();
        QTabWidget* pages = Child<QTabWidget>(*fx.window, "PageControl1");
        for (const QSize size : {QSize(1400, 900), QSize(800, 600), QSize(1600, 1000)}) {
            fx.window->resize(size);
            QCoreApplication::processEvents();
            for (int tab = 0; tab < 2; ++tab)
                QCOMPARE(pages->tabBar()->tabRect(tab).width(), pages->width() / 2 - 2);
        }
    }

    void smallestWindowKeepsEveryButtonReachable() {
        WindowFixture fx(kJan7, kTwoLayers);
        TFormMainCalendar& w = fx.Open();
        w.resize(1, 1);
        QCoreApplication::processEvents();
        QVERIFY(w.width() > 1 && w.height() > 1);
        const QRect inside = w.rect();
        const QList<QToolButton*> buttons =
            Child<QWidget>(w, "Panelmain")->findChildren<QToolButton*>() +
            QList<QToolButton*>{Child<QToolButton>(w, "snew"), Child<QToolButton>(w, "sedit"),
                                Child<QToolButton>(w, "sdel"), Child<QToolButton>(w, "sselectall"),
                                Child<QToolButton>(w, "sunselectall")};
        QCOMPARE(buttons.size(), 13 + 5);
        for (QToolButton* b : buttons) {
            QVERIFY2(b->isVisible(), qPrintable(b->objectName()));
            const QRect inWindow(b->mapTo(&w, QPoint(0, 0)), b->size());
            QVERIFY2(inside.contains(inWindow), qPrintable(b->objectName()));
        }
        // The layer list keeps some height above its buttons.
        QVERIFY(Child<QListWidget>(w, "RxCheckListBoxLayer")->height() >= 2 * 17);
    }

    void clickOnTheShownMonthReadsItAgain() {
        WindowFixture fx(kJan7, kTwoLayers);
        fx.Open();
        QListWidget* months = Child<QListWidget>(*fx.window, "ListBoxMonth");
        fx.Add(OnceEvent("Late", EncodeDate(2027, 1, 20), EncodeTime(9, 0)));
        QVERIFY(fx.Rows(fx.CellOfDay(2027, 1, 20)).isEmpty());
        const QPoint january = months->visualItemRect(months->item(0)).center();
        QTest::mouseClick(months->viewport(), Qt::LeftButton, {}, january);
        QCOMPARE(fx.Rows(fx.CellOfDay(2027, 1, 20)), QStringList{Q("09:00 AM Late")});
        // Another month is read once, by its change.
        const QPoint march = months->visualItemRect(months->item(2)).center();
        QTest::mouseClick(months->viewport(), Qt::LeftButton, {}, march);
        QCOMPARE(months->currentRow(), 2);
        QCOMPARE(fx.window->SelectedCell(), fx.CellOfDay(2027, 3, 1).Number());
    }

    void keysStepTheYear_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("step");
        QTest::newRow("up") << int(Qt::Key_Up) << 1;
        QTest::newRow("down") << int(Qt::Key_Down) << -1;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 10;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << -10;
    }
    void keysStepTheYear() {
        QFETCH(int, key);
        QFETCH(int, step);
        WindowFixture fx(kJan7, kTwoLayers);
        // Day 1 of each month shown has a line, so that showing it selects a cell with lines.
        for (int k = 1; k <= 2; ++k)
            fx.Add(OnceEvent("Party", EncodeDate(2027 + k * step, 1, 1), EncodeTime(20, 0)));
        fx.Open();
        QVERIFY(QTest::qWaitForWindowActive(fx.window));
        Child<QSpinBox>(*fx.window, "RxSpinYear")->setFocus();
        // Twice, as a user's keys arrive: at the widget that has the focus.
        for (int k = 1; k <= 2; ++k) {
            QVERIFY(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
            QCOMPARE(Child<QSpinBox>(*fx.window, "RxSpinYear")->value(), 2027 + k * step);
            QCOMPARE(fx.Rows(fx.CellOfDay(2027 + k * step, 1, 1)),
                     QStringList{Q("08:00 PM Party")});
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
