// The event editor: repeat-type rules, coupled dates, input checks, record round trips,
// the archive label and the new-layer button.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "support/StoreFixture.h"
#include "support/TestText.h"
#include "ui/editor/EventEditor.h"
#include "widgets/Convert.h"
#include "widgets/MessageBox.h"

using namespace qcal;
using qcal::desktop::MessageBox;

Q_DECLARE_METATYPE(qcal::tfield)
Q_DECLARE_METATYPE(qcal::TmyFormNewOrEdit::Mode)

namespace {

TDateTime Day(int y, unsigned m, unsigned d) {
    return EncodeDate(y, m, d);
}

// A valid once-only event in the layer "Work".
tfield Valid() {
    tfield e = test::OnceEvent("Meeting", Day(2027, 1, 1), EncodeTime(9, 0));
    e.endtime = EncodeTime(10, 0);
    return e;
}

tfield Kind(int type, TDateTime begin, TDateTime end) {
    tfield e = Valid();
    e.repeatType = type;
    e.begindate = begin;
    e.enddate = end;
    return e;
}

QString Hint() {
    return test::Q("When the type of repeat is None, the\ndate of Between and And is the same!");
}

}  // namespace

class TestEventEditor : public QObject {
    Q_OBJECT

    std::unique_ptr<test::StoreFixture> fx;

    std::unique_ptr<TmyFormNewOrEdit> Open(
        const tfield& e, TmyFormNewOrEdit::NewLayerAction act = {},
        TmyFormNewOrEdit::Mode mode = TmyFormNewOrEdit::Mode::Edit) {
        auto dialog = std::make_unique<TmyFormNewOrEdit>(*fx->dm, mode, std::move(act), nullptr);
        dialog->EventRec = e;
        dialog->show();
        return dialog;
    }

    // The ticked weekday boxes as a mask, Sunday first.
    static QString WeekBoxes(const TmyFormNewOrEdit& d) {
        QString mask;
        for (const QCheckBox* b :
             {d.ch2_sun, d.ch2_mon, d.ch2_tue, d.ch2_wed, d.ch2_thu, d.ch2_fri, d.ch2_sat})
            mask += QLatin1Char(b->isChecked() ? 'T' : 'F');
        return mask;
    }

private slots:
    void init() {
        MessageBox::StartRecording();
        fx = std::make_unique<test::StoreFixture>();
        fx->dm->Layers = {{"Work", 0x0000FF, true}, {"Home", 0x00FF00, true}};
    }
    void cleanup() {
        fx.reset();
        MessageBox::StopRecording();
    }

    void repeatTypeMovesEndDate_data() {
        QTest::addColumn<int>("loaded");
        QTest::addColumn<QDate>("begin");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<QList<QDate>>("ends");
        QTest::newRow("none to weekly") << 0 << QDate(2027, 1, 1) << QDate(2027, 1, 1)
                                        << QList<int>{2} << QList<QDate>{QDate(2027, 1, 8)};
        QTest::newRow("daily keeps 3 days, monthly moves")
            << 4 << QDate(2027, 1, 1) << QDate(2027, 1, 4) << QList<int>{1, 3}
            << QList<QDate>{QDate(2027, 1, 4), QDate(2027, 1, 29)};
        QTest::newRow("daily from end before begin")
            << 3 << QDate(2027, 5, 10) << QDate(2027, 5, 1) << QList<int>{1}
            << QList<QDate>{QDate(2027, 5, 11)};
        QTest::newRow("weekly keeps a longer span")
            << 1 << QDate(2027, 1, 1) << QDate(2027, 1, 20) << QList<int>{2}
            << QList<QDate>{QDate(2027, 1, 20)};
        QTest::newRow("yearly over a leap day")
            << 1 << QDate(2027, 3, 1) << QDate(2027, 3, 2) << QList<int>{4}
            << QList<QDate>{QDate(2028, 2, 29)};
        QTest::newRow("none collapses, then weekly")
            << 1 << QDate(2027, 1, 1) << QDate(2027, 3, 1) << QList<int>{0, 2}
            << QList<QDate>{QDate(2027, 1, 1), QDate(2027, 1, 8)};
    }
    void repeatTypeMovesEndDate() {
        QFETCH(int, loaded);
        QFETCH(QDate, begin);
        QFETCH(QDate, end);
        QFETCH(QList<int>, steps);
        QFETCH(QList<QDate>, ends);
        auto d = Open(Kind(loaded, desktop::FromQDate(begin), desktop::FromQDate(end)));
        QCOMPARE(d->dtEndDate->date(), end);
        for (int i = 0; i < steps.size(); ++i) {
            d->ListBoxType->setCurrentRow(steps[i]);
            QCOMPARE(d->NotebookRepeat->currentIndex(), steps[i]);
            QCOMPARE(d->dtBeginDate->date(), begin);
            QCOMPARE(d->dtEndDate->date(), ends[i]);
        }
    }

    void weeklyTicksEndWeekdayOnlyWhenNoneTicked_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("boxes");
        QTest::newRow("none ticked: Friday") << test::Q("FFFFFFF") << test::Q("FFFFFTF");
        QTest::newRow("Monday kept") << test::Q("FTFFFFF") << test::Q("FTFFFFF");
    }
    void weeklyTicksEndWeekdayOnlyWhenNoneTicked() {
        QFETCH(QString, mask);
        QFETCH(QString, boxes);
        tfield e = Valid();
        e.weekSelected0 = test::Std(mask);
        auto d = Open(e);
        d->ListBoxType->setCurrentRow(kRepeatWeekly);
        QCOMPARE(d->dtEndDate->date(), QDate(2027, 1, 8));
        QCOMPARE(WeekBoxes(*d), boxes);
    }

    void noneCouplesDatesAndShowsHint() {
        tfield e = Valid();
        e.endtime = EncodeTime(23, 30, 5);
        auto d = Open(e);
        QCOMPARE(d->dtEndTime->text(), test::Q("23:30:05"));
        QCOMPARE(d->NotebookRepeat->currentIndex(), 0);
        QCOMPARE(d->dtBeginDate->toolTip(), Hint());
        QCOMPARE(d->dtEndDate->toolTip(), Hint());
        d->dtBeginDate->setDate(QDate(2027, 2, 3));
        QCOMPARE(d->dtEndDate->date(), QDate(2027, 2, 3));
        d->dtEndDate->setDate(QDate(2027, 2, 5));
        QCOMPARE(d->dtBeginDate->date(), QDate(2027, 2, 5));

        // Other kinds: no hint, independent dates.
        d->ListBoxType->setCurrentRow(kRepeatDaily);
        QVERIFY(d->dtBeginDate->toolTip().isEmpty());
        QVERIFY(d->dtEndDate->toolTip().isEmpty());
        d->dtBeginDate->setDate(QDate(2027, 2, 1));
        QCOMPARE(d->dtEndDate->date(), QDate(2027, 2, 6));

        d->ListBoxType->setCurrentRow(kRepeatNone);
        QCOMPARE(d->dtEndDate->date(), QDate(2027, 2, 1));
        QCOMPARE(d->dtEndDate->toolTip(), Hint());
    }

    void checkInput_data() {
        QTest::addColumn<QString>("layer");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QTime>("from");
        QTest::addColumn<QTime>("to");
        QTest::addColumn<int>("type");
        QTest::addColumn<QDate>("begin");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("message");
        const QTime t9(9, 0), t10(10, 0);
        const QDate jan1(2027, 1, 1);
        const QString all = test::Q("TTTTTTT"), none = test::Q("FFFFFFF");
        auto row = [&](const char* name, const char* layer, const char* subject, QTime from,
                       QTime to, int type, QDate begin, QDate end, const QString& mask,
                       const char* message) {
            QTest::newRow(name) << test::Q(layer) << test::Q(subject) << from << to << type << begin
                                << end << mask << test::Q(message);
        };
        row("layer gone", "Gone", "Meeting", t9, t10, 0, jan1, jan1, all,
            "The layer name can not be blank!");
        row("layer before subject", "Gone", "", t9, t10, 0, jan1, jan1, all,
            "The layer name can not be blank!");
        row("subject of three spaces", "Work", "   ", t9, t10, 0, jan1, jan1, all,
            "The subject can not be blank!");
        row("subject of control characters", "Work", "\t \x01", t9, t10, 0, jan1, jan1, all,
            "The subject can not be blank!");
        const char* timeMsg = "The time of End must be later than the time of Begin!";
        row("equal times on other days", "Work", "Meeting", t9, t9, 1, jan1, QDate(2027, 1, 5), all,
            timeMsg);
        row("end before begin", "Work", "Meeting", t10, t9, 0, jan1, jan1, all, timeMsg);
        row("daily same day", "Work", "Meeting", t9, t10, 1, jan1, jan1, all,
            "When the Daily item of Repeat selected,the date of And\r"
            "must later at least 1 day than the date of Between!");
        row("weekly 6 days", "Work", "Meeting", t9, t10, 2, jan1, QDate(2027, 1, 7), all,
            "When the Weekly item of Repeat selected,the date of And\r"
            "must later at least 1 week than the date of Between!");
        row("weekly no day", "Work", "Meeting", t9, t10, 2, jan1, QDate(2027, 1, 8), none,
            "When the Weekly item selected,\rYou must select at least a day!");
        row("monthly 27 days", "Work", "Meeting", t9, t10, 3, jan1, QDate(2027, 1, 28), all,
            "When the Monthly item of Repeat selected,the date of And\r"
            "must later at least 1 month than the date of Between!");
        row("yearly 364 days", "Work", "Meeting", t9, t10, 4, QDate(2027, 3, 1), QDate(2028, 2, 28),
            all,
            "When the Yearly item of Repeat selected,the date of And\r"
            "must later at least 1 year than the date of Between!");
        row("once", "Work", "Meeting", t9, t10, 0, jan1, jan1, none, "");
        row("layer in other case", "home", " x ", QTime(0, 0), QTime(0, 0, 1), 0, jan1, jan1, none,
            "");
        row("daily 1 day", "Work", "Meeting", t9, t10, 1, jan1, QDate(2027, 1, 2), none, "");
        row("weekly 7 days", "Work", "Meeting", t9, t10, 2, jan1, QDate(2027, 1, 8), all, "");
        row("monthly 28 days in January", "Work", "Meeting", t9, t10, 3, jan1, QDate(2027, 1, 29),
            none, "");
        row("yearly 365 days over a leap day", "Work", "Meeting", t9, t10, 4, QDate(2027, 3, 1),
            QDate(2028, 2, 29), none, "");
    }
    void checkInput() {
        QFETCH(QString, layer);
        QFETCH(QString, subject);
        QFETCH(QTime, from);
        QFETCH(QTime, to);
        QFETCH(int, type);
        QFETCH(QDate, begin);
        QFETCH(QDate, end);
        QFETCH(QString, mask);
        QFETCH(QString, message);
        tfield e = Kind(type, desktop::FromQDate(begin), desktop::FromQDate(end));
        e.layername = test::Std(layer);
        e.subject = test::Std(subject);
        e.beginTime = desktop::FromQTime(from);
        e.endtime = desktop::FromQTime(to);
        e.weekSelected0 = test::Std(mask);
        auto d = Open(e);
        d->btnOK->click();
        const QList<MessageBox::Shown> shown = MessageBox::TakeShown();
        if (message.isEmpty()) {
            QVERIFY(shown.isEmpty());
            QCOMPARE(d->result(), int(QDialog::Accepted));
            QVERIFY(!d->isVisible());
        } else {
            QCOMPARE(shown.size(), 1);
            QVERIFY(shown[0].kind == MessageBox::Kind::Error);
            QCOMPARE(shown[0].text, message);
            QVERIFY(d->isVisible());
            QCOMPARE(d->result(), int(QDialog::Rejected));
            QCOMPARE(d->EditSubject->text(), subject);  // input kept
        }
    }

    void roundTrip_data() {
        QTest::addColumn<tfield>("loaded");
        QTest::addColumn<tfield>("saved");
        tfield once = Valid();
        once.id = 42;
        once.layerColor = 0x123456;
        once.alert = true;
        once.beginTime = EncodeTime(8, 15, 30);
        once.endtime = EncodeTime(23, 30, 5);
        once.content = "first line\nsecond line";
        once.mynote = "note with 'quotes'";
        once.lastFileTime = EncodeDateTime(2026, 12, 31, 17, 45);
        QTest::newRow("once") << once << once;

        // Every rule field goes both ways whatever the kind; the kind picks the date checks.
        tfield first = Kind(kRepeatDaily, Day(2027, 1, 1), Day(2030, 1, 1));
        first.dayEvery0 = 10000;
        first.weekEvery0 = 52;
        first.weekSelected0 = "TFFFFFT";
        first.monthDay0 = 31;
        first.monthEvery0 = 12;
        first.yearDay0 = 29;
        first.yearMonth0 = 1;
        tfield second = first;
        second.dayType = 1;
        second.monthType = 1;
        second.monthspecial1 = 4;
        second.monthDayorWeek1 = 8;
        second.monthEvery1 = 5;
        second.yearType = 1;
        second.yearspecial1 = 3;
        second.yearDayorWeek1 = 1;
        second.yearMonth1 = 11;
        for (int kind = kRepeatDaily; kind <= kRepeatYearly; ++kind) {
            first.repeatType = second.repeatType = kind;
            QTest::addRow("kind %d, first variants", kind) << first << first;
            QTest::addRow("kind %d, second variants", kind) << second << second;
        }
        tfield lower = first;
        lower.weekSelected0 = "ftftftf";
        tfield upper = lower;
        upper.weekSelected0 = "FTFTFTF";
        QTest::newRow("weekly lower case") << lower << upper;

        // Values out of the controls' limits come back within them.
        tfield wild = second;
        wild.layername = "WORK";
        wild.dayEvery0 = 0;
        wild.weekEvery0 = 60;
        wild.monthDay0 = -5;
        wild.monthspecial1 = 9;
        wild.yearDayorWeek1 = -1;
        wild.yearMonth0 = 12;
        tfield held = second;
        held.dayEvery0 = 1;
        held.weekEvery0 = 52;
        held.monthDay0 = 1;
        held.monthspecial1 = 0;
        held.yearDayorWeek1 = 0;
        held.yearMonth0 = 0;
        QTest::newRow("held within limits") << wild << held;

        // Only the positions a mask has are read; boxes beyond it stay unticked.
        tfield mask = Valid();
        mask.weekSelected0 = "tT";
        tfield maskSaved = mask;
        maskSaved.weekSelected0 = "TTFFFFF";
        QTest::newRow("short mask") << mask << maskSaved;
        mask.weekSelected0 = "FFFFFFTTT";
        maskSaved.weekSelected0 = "FFFFFFT";
        QTest::newRow("long mask") << mask << maskSaved;
    }
    void roundTrip() {
        QFETCH(tfield, loaded);
        QFETCH(tfield, saved);
        auto d = Open(loaded);
        d->btnOK->click();
        QVERIFY(MessageBox::TakeShown().isEmpty());
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(d->EventRec, saved);
    }

    // "Remind me N minutes before", "All day" and "Ends: never / on date": what the controls
    // save, and which controls they leave open.
    void additionControls_data() {
        QTest::addColumn<tfield>("loaded");
        QTest::addColumn<int>("remind");  // -1: left as it is
        QTest::addColumn<bool>("allDay");
        QTest::addColumn<int>("ends");  // -1: left, 0: on date, 1: never
        QTest::addColumn<tfield>("saved");
        tfield alarm = Valid();
        alarm.alert = true;
        tfield reminded = alarm;
        reminded.remindBefore = 15;
        QTest::newRow("remind 15 minutes before") << alarm << 15 << false << -1 << reminded;
        tfield whole = Valid();
        whole.allDay = true;
        whole.beginTime = 0;
        whole.endtime = EncodeTime(23, 59);
        QTest::newRow("all day") << Valid() << -1 << true << -1 << whole;
        tfield weekly = Kind(kRepeatWeekly, Day(2027, 1, 1), Day(2027, 3, 1));
        weekly.weekSelected0 = "FFFFFTF";
        tfield never = weekly;
        never.openEnd = true;
        never.enddate = kOpenEndDay;
        QTest::newRow("weekly, ends never") << weekly << -1 << false << 1 << never;
        tfield onDate = weekly;
        onDate.enddate = Day(2027, 1, 8);
        QTest::newRow("never ending, then on a date") << never << -1 << false << 0 << onDate;
        QTest::newRow("once never ends on no date") << Valid() << -1 << false << 1 << Valid();
    }
    void additionControls() {
        QFETCH(tfield, loaded);
        QFETCH(int, remind);
        QFETCH(bool, allDay);
        QFETCH(int, ends);
        QFETCH(tfield, saved);
        auto d = Open(loaded);
        QCOMPARE(d->spinRemind->isEnabled(), loaded.alert);
        QCOMPARE(d->radioEndsNever->isEnabled(), loaded.repeatType != kRepeatNone);
        if (remind >= 0)
            d->spinRemind->setValue(remind);
        if (allDay)
            d->chAllDay->click();
        if (ends >= 0)
            (ends == 1 ? d->radioEndsNever : d->radioEndsOn)->click();
        QCOMPARE(d->dtBeginTime->isEnabled(), !saved.allDay);
        QCOMPARE(d->dtEndDate->isEnabled(), !saved.openEnd);
        d->btnOK->click();
        const auto shown = MessageBox::TakeShown();
        QVERIFY2(shown.isEmpty(), shown.isEmpty() ? "" : qPrintable(shown[0].text));
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(d->EventRec, saved);
    }

    void archivedLabel_data() {
        QTest::addColumn<double>("lastFileTime");
        QTest::addColumn<QString>("text");
        QTest::newRow("never") << 0.0 << test::Q("Not Archived");
        QTest::newRow("one") << 1.0 << test::Q("Not Archived");
        QTest::newRow("archived") << EncodeDateTime(2027, 1, 3, 14, 5)
                                  << test::Q("2027/01/03 14:05");
    }
    void archivedLabel() {
        QFETCH(double, lastFileTime);
        QFETCH(QString, text);
        fx->dm->Options.DateFormat = "yyyy/mm/dd";
        fx->dm->Options.TimeFormat = "hh:nn";
        tfield e = Valid();
        e.lastFileTime = lastFileTime;
        auto d = Open(e);
        QCOMPARE(d->LabelArchived->text(), text);
    }

    void newLayerButton_data() {
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("selected");
        QTest::newRow("added") << true << test::Q("Travel");
        QTest::newRow("cancelled") << false << test::Q("Home");
    }
    void newLayerButton() {
        QFETCH(bool, accepted);
        QFETCH(QString, selected);
        QWidget* owner = nullptr;
        tfield e = Valid();
        e.layername = "Home";
        auto d = Open(e, [&](QWidget* w) {
            owner = w;
            if (accepted)
                fx->dm->Layers.push_back({"Travel", 0x00FFFF, true});
            return accepted;
        });
        d->SpeedButton3->click();
        QCOMPARE(owner, static_cast<QWidget*>(d.get()));
        QCOMPARE(d->cbLayer->count(), accepted ? 3 : 2);
        QCOMPARE(d->cbLayer->currentText(), selected);
        d->btnOK->click();
        QCOMPARE(d->EventRec.layername, test::Std(selected));
    }

    void modeGivesCaptionsAndHelpTopic_data() {
        QTest::addColumn<TmyFormNewOrEdit::Mode>("mode");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("ok");
        QTest::addColumn<int>("topic");
        QTest::newRow("new") << TmyFormNewOrEdit::Mode::New << test::Q("New Event")
                             << test::Q("&Add") << 41;
        QTest::newRow("edit") << TmyFormNewOrEdit::Mode::Edit << test::Q("Edit Event")
                              << test::Q("&Save") << 23;
    }
    void modeGivesCaptionsAndHelpTopic() {
        QFETCH(TmyFormNewOrEdit::Mode, mode);
        QFETCH(QString, caption);
        QFETCH(QString, ok);
        QFETCH(int, topic);
        TmyFormNewOrEdit d(*fx->dm, mode, {}, nullptr);
        QCOMPARE(d.windowTitle(), caption);
        QCOMPARE(d.btnOK->text(), ok);
        // The topic follows the mode, not the caption.
        d.setWindowTitle(test::Q("Edit Event"));
        QCOMPARE(d.HelpTopic(), topic);
    }

    // Texts reach the record whole: untouched ones byte for byte, typed ones at any length.
    void textsKeptWhole_data() {
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("typed");  // empty: the subject is left alone
        QTest::newRow("subject of a million characters")
            << QByteArray(1000000, 'x') << QByteArray("short") << QByteArray();
        QTest::newRow("memos with carriage returns")
            << QByteArray("Meeting") << QByteArray("line 1\r\nline 2\rline 3\n") << QByteArray();
        QTest::newRow("bytes that are no UTF-8")
            << QByteArray("caf\xE9") << QByteArray("\xFF\xFE") << QByteArray();
        QTest::newRow("typed subject longer than 32767")
            << QByteArray("Meeting") << QByteArray() << QByteArray(40000, 'y');
    }
    void textsKeptWhole() {
        QFETCH(QByteArray, subject);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, typed);
        tfield e = Valid();
        e.subject = subject.toStdString();
        e.content = content.toStdString();
        e.mynote = content.toStdString();
        auto d = Open(e);
        if (!typed.isEmpty()) {
            d->EditSubject->selectAll();
            d->EditSubject->insert(QString::fromLatin1(typed));
        }
        d->btnOK->click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        const QByteArray expected = typed.isEmpty() ? subject : typed;
        QCOMPARE(d->EventRec.subject.size(), std::size_t(expected.size()));
        QVERIFY(d->EventRec.subject == expected.toStdString());
        QVERIFY(d->EventRec.content == e.content);
        QVERIFY(d->EventRec.mynote == e.mynote);
    }

    void opensWithTheFocusOnTheSubject() {
        auto d = Open(Valid());
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d->EditSubject));
    }

    void emptyLayerListPointsToTheNewLayerButton() {
        fx->dm->Layers.clear();
        auto d = Open(Valid());
        QCOMPARE(d->cbLayer->count(), 0);
        QVERIFY(d->cbLayer->placeholderText().contains(d->SpeedButton3->toolTip()));
        // Once a layer exists the box names it, and no hint is left behind.
        auto withLayers = Open(Valid(), [&](QWidget*) {
            fx->dm->Layers.push_back({"Travel", 0x00FFFF, true});
            return true;
        });
        withLayers->SpeedButton3->click();
        QCOMPARE(withLayers->cbLayer->currentText(), test::Q("Travel"));
        QVERIFY(withLayers->cbLayer->placeholderText().isEmpty());
    }
};

QTEST_MAIN(TestEventEditor)
#include "test_eventeditor.moc"
