// The main window's keys: each command's key does what its button does and is named in the
// button's hint; the arrows move the selected day; Enter in the keyword box searches.

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include "support/SearchControls.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/main/SearchPage.h"
#include "ui/main/Shortcuts.h"
#include "widgets/Help.h"

using namespace qcal;
using namespace qcal::test;

namespace {

const TDateTime kJan7 = EncodeDateTime(2027, 1, 7, 10, 0);

// What a key is seen to do.
enum Effect { Dialog, Message, Search, Exit, MonthBack, MonthOn, Today, Help };

}  // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void everyCommandHasItsKey_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("keyIndex");
        QTest::addColumn<int>("effect");
        QTest::addColumn<QString>("button");  // the button whose hint names the key
        const struct {
            const char* name;
            Command command;
            int keyIndex;
            Effect effect;
            const char* button;
        } rows[] = {
            {"new event", Command::NewEvent, 0, Dialog, "btnAdd"},
            {"new event by Insert", Command::NewEvent, 1, Dialog, ""},
            {"edit event", Command::EditEvent, 0, Dialog, "btnEdit"},
            {"edit event by Enter", Command::EditEvent, 1, Dialog, ""},
            {"delete event", Command::DeleteEvent, 0, Message, "btnDel"},
            {"search page", Command::SearchPage, 0, Search, ""},
            {"print", Command::Print, 0, Dialog, "btnprint"},
            {"preview", Command::Preview, 0, Dialog, "btnpreview"},
            {"preferences", Command::Preferences, 0, Dialog, ""},
            {"show pending", Command::ShowPending, 0, Message, "btnpending"},
            {"exit", Command::Exit, 0, Exit, "btnExit"},
            {"previous month", Command::PreviousMonth, 0, MonthBack, ""},
            {"previous month by Ctrl+Left", Command::PreviousMonth, 1, MonthBack, ""},
            {"next month", Command::NextMonth, 0, MonthOn, ""},
            {"next month by Ctrl+Right", Command::NextMonth, 1, MonthOn, ""},
            {"today", Command::Today, 0, Today, "btntoday"},
            {"today by Alt+Home", Command::Today, 1, Today, ""},
            {"help", Command::Help, 0, Help, "btnHelp"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << int(r.command) << r.keyIndex << int(r.effect) << Q(r.button);
    }
    void everyCommandHasItsKey() {
        QFETCH(int, command);
        QFETCH(int, keyIndex);
        QFETCH(int, effect);
        QFETCH(QString, button);
        WindowFixture fx(kJan7, {{"Work", 0xFF, true}});
        fx.Add(OnceEvent("Meeting", EncodeDate(2027, 1, 7), EncodeTime(9, 0), "Work"));
        TFormMainCalendar& w = fx.Open();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QSignalSpy exits(&w, &TFormMainCalendar::exitRequested);
        int helpAsked = 0;
        desktop::SetHelpHandler([&](int, QWidget*) { ++helpAsked; });
        if (effect == Today)
            fx.ShowMonth(2030, 6);
        // The day with the meeting holds the focus, as after start.
        fx.CellOfDay(2027, 1, 7).list->setFocus();

        const QKeySequence key = KeysOf(Command(command)).at(keyIndex);
        QTest::keySequence(&w, key);
        desktop::SetHelpHandler({});
        const int seen[] = {
            fx.dialogsShown,
            int(fx.Shown().size()),
            int(Child<QTabWidget>(w, "PageControl1")->currentIndex() == 1 &&
                Child<TSearchPage>(w, "SearchPage")->isAncestorOf(QApplication::focusWidget())),
            int(exits.size()),
            int(Child<QSpinBox>(w, "RxSpinYear")->value() == 2026 &&
                Child<QListWidget>(w, "ListBoxMonth")->currentRow() == 11),
            int(Child<QListWidget>(w, "ListBoxMonth")->currentRow() == 1),
            int(w.SelectedCell() == fx.CellOfDay(2027, 1, 7).Number() &&
                Child<QSpinBox>(w, "RxSpinYear")->value() == 2027),
            helpAsked};
        QCOMPARE(seen[effect], 1);
        if (!button.isEmpty()) {
            QCOMPARE(w.findChild<QToolButton*>(button)->toolTip().section(QLatin1Char('('), 1),
                     key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
        }
    }

    void arrowsMoveTheSelectedDay_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<TDateTime>("day");
        QTest::newRow("left") << int(Qt::Key_Left) << EncodeDate(2027, 1, 6);
        QTest::newRow("right") << int(Qt::Key_Right) << EncodeDate(2027, 1, 8);
        // The meeting is the day's only line: up and down leave the day at once.
        QTest::newRow("up a week, into December") << int(Qt::Key_Up) << EncodeDate(2026, 12, 31);
        QTest::newRow("down a week") << int(Qt::Key_Down) << EncodeDate(2027, 1, 14);
    }
    void arrowsMoveTheSelectedDay() {
        QFETCH(int, key);
        QFETCH(TDateTime, day);
        WindowFixture fx(kJan7, {{"Work", 0xFF, true}});
        fx.Add(OnceEvent("Meeting", EncodeDate(2027, 1, 7), EncodeTime(9, 0), "Work"));
        TFormMainCalendar& w = fx.Open();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        fx.CellOfDay(2027, 1, 7).list->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(w.Cell(w.SelectedCell()).date, day);
        // A day without lines keeps the keys: the next arrow goes on from it.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(w.Cell(w.SelectedCell()).date, day + 1);
    }

    void enterInTheKeywordBoxSearches() {
        WindowFixture fx(kJan7, {{"Work", 0xFF, true}});
        fx.Add(OnceEvent("Dentist", EncodeDate(2027, 1, 7), EncodeTime(9, 0), "Work"));
        fx.Add(OnceEvent("Lunch", EncodeDate(2027, 1, 8), EncodeTime(12, 0), "Work"));
        TFormMainCalendar& w = fx.Open();
        Child<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
        const SearchControls search(*Child<TSearchPage>(w, "SearchPage"));
        search.chtext->setChecked(true);
        QTest::keyClicks(search.editInclude, Q("dentist"));
        QTest::keyClick(search.editInclude, Qt::Key_Return);
        QCOMPARE(search.ListBoxQuery->count(), 1);
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
