// The main window's keys: each command's key does what its button does and is named in the
// button's hint; the arrows move the selected day; Enter in the keyword box searches.

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include "platform/desktop/Help.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/main/SearchPage.h"
#include "ui/main/Shortcuts.h"

using namespace qcal;
using namespace qcal::test;

namespace {

const TDateTime kJan7 = EncodeDateTime(2027, 1, 7, 10, 0);

// What a key is seen to do.
enum class Effect { Dialog, Question, SearchPage, Exit, MonthBack, MonthOn, Today, Help };

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
            {"new event", Command::NewEvent, 0, Effect::Dialog, "btnAdd"},
            {"new event by Insert", Command::NewEvent, 1, Effect::Dialog, ""},
            {"edit event", Command::EditEvent, 0, Effect::Dialog, "btnEdit"},
            {"edit event by Enter", Command::EditEvent, 1, Effect::Dialog, ""},
            {"delete event", Command::DeleteEvent, 0, Effect::Question, "btnDel"},
            {"search page", Command::SearchPage, 0, Effect::SearchPage, ""},
            {"print", Command::Print, 0, Effect::Dialog, "btnprint"},
            {"preview", Command::Preview, 0, Effect::Dialog, "btnpreview"},
            {"preferences", Command::Preferences, 0, Effect::Dialog, ""},
            {"show pending", Command::ShowPending, 0, Effect::Question, "btnpending"},
            {"exit", Command::Exit, 0, Effect::Exit, "btnExit"},
            {"previous month", Command::PreviousMonth, 0, Effect::MonthBack, ""},
            {"previous month by Ctrl+Left", Command::PreviousMonth, 1, Effect::MonthBack, ""},
            {"next month", Command::NextMonth, 0, Effect::MonthOn, ""},
            {"next month by Ctrl+Right", Command::NextMonth, 1, Effect::MonthOn, ""},
            {"today", Command::Today, 0, Effect::Today, "btntoday"},
            {"today by Alt+Home", Command::Today, 1, Effect::Today, ""},
            {"help", Command::Help, 0, Effect::Help, "btnHelp"},
        };
        for (const auto& r : rows) {
            QTest::newRow(r.name) << int(r.command) << r.keyIndex << int(r.effect) << Q(r.button);
        }
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
        desktop::MessageBox::PresetAnswers({false});
        if (Effect(effect) == Effect::Today)
            fx.ShowMonth(2030, 6);
        // The day with the meeting holds the focus, as after start.
        fx.CellOfDay(2027, 1, 7).list->setFocus();

        const QKeySequence key = KeysOf(Command(command)).at(keyIndex);
        QTest::keySequence(&w, key);
        desktop::SetHelpHandler({});

        switch (Effect(effect)) {
            case Effect::Dialog:
                QCOMPARE(fx.dialogsShown, 1);
                break;
            case Effect::Question:
                QCOMPARE(fx.Shown().size(), 1);
                break;
            case Effect::SearchPage:
                QCOMPARE(w.PageControl1->currentIndex(), 1);
                QVERIFY(w.searchPage->isAncestorOf(QApplication::focusWidget()));
                break;
            case Effect::Exit:
                QCOMPARE(exits.size(), 1);
                break;
            case Effect::MonthBack:
                QCOMPARE(w.RxSpinYear->value(), 2026);
                QCOMPARE(w.ListBoxMonth->currentRow(), 11);
                break;
            case Effect::MonthOn:
                QCOMPARE(w.ListBoxMonth->currentRow(), 1);
                break;
            case Effect::Today:
                QCOMPARE(w.RxSpinYear->value(), 2027);
                QCOMPARE(w.SelectedCell(), fx.CellOfDay(2027, 1, 7).Number());
                break;
            case Effect::Help:
                QCOMPARE(helpAsked, 1);
                break;
        }
        if (!button.isEmpty()) {
            const auto* hinted = w.findChild<QToolButton*>(button);
            QVERIFY(hinted->toolTip().endsWith(
                QStringLiteral("(%1)").arg(key.toString(QKeySequence::NativeText))));
        }
    }

    void arrowsMoveTheSelectedDay_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::newRow("left") << int(Qt::Key_Left) << 1 << 6;
        QTest::newRow("right") << int(Qt::Key_Right) << 1 << 8;
        // The meeting is the day's only line: up and down leave the day at once.
        QTest::newRow("up a week") << int(Qt::Key_Up) << 12 << 31;
        QTest::newRow("down a week") << int(Qt::Key_Down) << 1 << 14;
    }
    void arrowsMoveTheSelectedDay() {
        QFETCH(int, key);
        QFETCH(int, month);
        QFETCH(int, day);
        WindowFixture fx(kJan7, {{"Work", 0xFF, true}});
        fx.Add(OnceEvent("Meeting", EncodeDate(2027, 1, 7), EncodeTime(9, 0), "Work"));
        TFormMainCalendar& w = fx.Open();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        fx.CellOfDay(2027, 1, 7).list->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(w.ListBoxMonth->currentRow() + 1, month);
        QCOMPARE(w.Cell(w.SelectedCell()).date,
                 EncodeDate(month == 12 ? 2026 : 2027, unsigned(month), unsigned(day)));
        // A day without lines keeps the keys: the next arrow goes on from it.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(DecodeDate(w.Cell(w.SelectedCell()).date).day, unsigned(day == 31 ? 1 : day + 1));
    }

    void enterInTheKeywordBoxSearches() {
        WindowFixture fx(kJan7, {{"Work", 0xFF, true}});
        fx.Add(OnceEvent("Dentist", EncodeDate(2027, 1, 7), EncodeTime(9, 0), "Work"));
        fx.Add(OnceEvent("Lunch", EncodeDate(2027, 1, 8), EncodeTime(12, 0), "Work"));
        TFormMainCalendar& w = fx.Open();
        w.PageControl1->setCurrentIndex(1);
        TSearchPage& page = *w.searchPage;
        page.chtext->setChecked(true);
        QTest::keyClicks(page.editInclude, Q("dentist"));
        QTest::keyClick(page.editInclude, Qt::Key_Return);
        QCOMPARE(page.ListBoxQuery->count(), 1);
        QCOMPARE(fx.dialogsShown, 0);
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
