// The due list: the due statement, new-due checks and rebuilds against a real database.

#include <QTest>

#include <cmath>
#include <optional>

#include "core/Clock.h"
#include "core/Rules.h"
#include "store/DueList.h"
#include "support/StoreFixture.h"

using namespace qcal;
using qcal::test::Alarm;
using qcal::test::DailyEvent;
using qcal::test::OnceEvent;
using qcal::test::StoreFixture;
using qcal::test::Subjects;

namespace {

const TDateTime kToday = EncodeDate(2027, 1, 1);

}  // namespace

Q_DECLARE_METATYPE(std::vector<qcal::tfield>)

class TestDueList : public QObject {
    Q_OBJECT

private slots:
    void dueStatementAtHalfPastTen() {
        StoreFixture f;
        clock::ScopedFakeClock fake(EncodeDateTime(2027, 1, 1, 10, 30));
        tlist_of_event_for_timer due(*f.dm);
        due.OpenDueQuery(f.dm->ADOQueryForTimer);
        QCOMPARE(f.dm->ADOQueryForTimer.sql(),
                 std::string("select * from eventtable  where (alert=true) and (((repeatType=0) "
                             "and (lastFileTime<1) and (beginDate+beginTime<=46388.4375)) or "
                             "((repeatType<>0) and (lastFileTime<=endDate+endTime) and "
                             "(beginDate+beginTime<=46388.4375) and  (not ((lastFileTime>=46388) "
                             "and (lastFileTime<46389))))) order by begintime"));
        QVERIFY(f.dm->ADOQueryForTimer.active());
        f.dm->ADOQueryForTimer.close();
    }

    // Both moments of the due statement and its day come from one reading of the clock, even
    // when the clock passes midnight while the statement is built.
    void dueStatementReadsTheClockOnce() {
        StoreFixture f;
        const TDateTime start = EncodeDateTime(2027, 1, 1, 23, 59, 59);
        int readings = 0;
        clock::SetNowForTesting([&] { return start + readings++ / 86400.0; });
        tlist_of_event_for_timer due(*f.dm);
        const std::string condition = due.BuildDueCondition();
        clock::SetNowForTesting({});
        QCOMPARE(condition, due.BuildDueCondition(start));
        const std::string moment = "<=" + FormatNumber(start) + ")";
        QVERIFY(condition.find(moment) != condition.rfind(moment));  // twice, the same
        QVERIFY(condition.find("(lastFileTime>=46388)") != std::string::npos);
    }

    // A rebuild and a check ask the statement and every row's rule about one moment.
    void dueChecksReadTheClockOnce() {
        StoreFixture f;
        tlist_of_event_orig writer(*f.dm);
        for (const char* subject : {"a", "b", "c"}) {
            writer.AddEvent(Alarm(OnceEvent(subject, kToday, EncodeTime(9, 0))));
        }
        int readings = 0;
        clock::SetNowForTesting([&] { return kToday + EncodeTime(10, 0) + readings++ / 86400.0; });
        tlist_of_event_for_timer due(*f.dm);
        const bool rebuilt = due.RebuildDue();
        const int rebuildReadings = readings;
        readings = 0;
        due.dueEvents.clear();
        due.CheckNewDue();
        clock::SetNowForTesting({});
        QVERIFY(rebuilt);
        QCOMPARE(rebuildReadings, 1);
        QCOMPARE(readings, 1);
        QCOMPARE(due.dueEvents.size(), std::size_t(3));
    }

    void onceOnlyEventsComeDueAtTheirMoment() {
        StoreFixture f;
        tlist_of_event_orig writer(*f.dm);
        writer.AddEvent(Alarm(OnceEvent("soon", kToday, EncodeTime(10, 31))));
        writer.AddEvent(OnceEvent("silent", kToday, EncodeTime(9, 0)));
        tfield filed = Alarm(OnceEvent("filed", kToday, EncodeTime(9, 0)));
        filed.lastFileTime = kToday - 3 + 0.5;
        writer.AddEvent(filed);

        clock::ScopedFakeClock fake(EncodeDateTime(2027, 1, 1, 10, 30, 10));
        tlist_of_event_for_timer due(*f.dm);
        due.CheckNewDue();
        QVERIFY(due.dueEvents.empty());  // 50 seconds ahead: not yet
        QVERIFY(!due.hasNew);
        // The statement carries 15 significant digits (a few microseconds), so the check
        // a millisecond after the moment is the first to see it.
        fake.set(EncodeDateTime(2027, 1, 1, 10, 31, 0, 1));
        due.CheckNewDue();
        QCOMPARE(Subjects(due.dueEvents), std::vector<std::string>{"soon"});
        QVERIFY(due.hasNew);
        QVERIFY(!f.dm->ADOQueryForTimer.active());
        fake.set(EncodeDateTime(2030, 5, 5, 0, 0));  // stays due until archived
        QVERIFY(due.RebuildDue());
        QCOMPARE(Subjects(due.dueEvents), std::vector<std::string>{"soon"});
    }

    void newDueGoesToTheFrontAndRebuildSorts() {
        StoreFixture f;
        tlist_of_event_orig writer(*f.dm);
        writer.AddEvent(Alarm(OnceEvent("A", kToday, EncodeTime(8, 0))));
        writer.AddEvent(Alarm(OnceEvent("B", kToday, EncodeTime(9, 0))));
        clock::ScopedFakeClock fake(EncodeDateTime(2027, 1, 1, 9, 30));
        tlist_of_event_for_timer due(*f.dm);
        QVERIFY(due.RebuildDue());
        QCOMPARE(Subjects(due.dueEvents), (std::vector<std::string>{"A", "B"}));
        QVERIFY(due.hasNew);
        QVERIFY(due.RebuildDue());
        QVERIFY(!due.hasNew);  // the same events again

        writer.AddEvent(Alarm(OnceEvent("C", kToday, EncodeTime(7, 0))));
        due.CheckNewDue();
        QCOMPARE(Subjects(due.dueEvents), (std::vector<std::string>{"C", "A", "B"}));
        QVERIFY(due.hasNew);
        due.hasNew = false;
        QVERIFY(due.RebuildDue());
        QCOMPARE(Subjects(due.dueEvents), (std::vector<std::string>{"C", "A", "B"}));
        QVERIFY(!due.hasNew);
        writer.AddEvent(Alarm(OnceEvent("D", kToday, EncodeTime(8, 30))));
        QVERIFY(due.RebuildDue());
        QCOMPARE(Subjects(due.dueEvents), (std::vector<std::string>{"C", "A", "D", "B"}));
        QVERIFY(due.hasNew);
    }

    // The next moment an event falls due within the horizon, to the millisecond: once-only
    // events at their begin, repeating ones the lead time before it; nothing already due,
    // archived, without alarm or beyond the horizon.
    void nextDueMoment_data() {
        QTest::addColumn<std::vector<tfield>>("events");
        QTest::addColumn<double>("now");
        QTest::addColumn<double>("expected");  // -1: none
        const TDateTime ten = kToday + EncodeTime(10, 0);
        const tfield soon = Alarm(OnceEvent("soon", kToday, EncodeTime(10, 1)));
        tfield daily =
            Alarm(DailyEvent("daily", kToday - 10, kToday + 100, 1, EncodeTime(10, 1, 30)));
        daily.lastFileTime = kToday - 1 + EncodeTime(11, 0);
        tfield archivedToday = daily;
        archivedToday.lastFileTime = kToday + EncodeTime(9, 0);
        tfield filedSoon = soon;
        filedSoon.lastFileTime = kToday - 1;
        tfield midnight =
            Alarm(DailyEvent("midnight", kToday - 10, kToday + 100, 1, EncodeTime(0, 0, 30)));
        midnight.lastFileTime = kToday + EncodeTime(0, 1);
        QTest::newRow("once-only in a minute")
            << std::vector<tfield>{soon} << ten << kToday + EncodeTime(10, 1);
        QTest::newRow("beyond the horizon")
            << std::vector<tfield>{Alarm(OnceEvent("later", kToday, EncodeTime(10, 3)))} << ten
            << -1.0;
        QTest::newRow("due already")
            << std::vector<tfield>{Alarm(OnceEvent("past", kToday, EncodeTime(9, 59)))} << ten
            << -1.0;
        QTest::newRow("without alarm")
            << std::vector<tfield>{OnceEvent("quiet", kToday, EncodeTime(10, 1))} << ten << -1.0;
        QTest::newRow("archived once-only") << std::vector<tfield>{filedSoon} << ten << -1.0;
        QTest::newRow("daily, the lead time early")
            << std::vector<tfield>{daily} << ten << kToday + EncodeTime(10, 1, 30) - kDueLead;
        QTest::newRow("daily archived today") << std::vector<tfield>{archivedToday} << ten << -1.0;
        // The lead time does not reach back into the day before: due at midnight.
        QTest::newRow("daily just after midnight")
            << std::vector<tfield>{midnight} << kToday + EncodeTime(23, 59) << kToday + 1;
        QTest::newRow("the earlier of two")
            << std::vector<tfield>{soon, daily} << ten << kToday + EncodeTime(10, 0, 29, 520);
    }

    void nextDueMoment() {
        QFETCH(std::vector<tfield>, events);
        QFETCH(double, now);
        QFETCH(double, expected);
        StoreFixture f;
        tlist_of_event_orig writer(*f.dm);
        for (const tfield& e : events)
            QVERIFY(writer.AddEvent(e) > 0);
        tlist_of_event_for_timer due(*f.dm);
        const std::optional<TDateTime> next = due.NextDueMoment(now, 120.0 / 86400);
        QCOMPARE(next.has_value(), expected >= 0);
        if (next)
            QVERIFY2(std::abs(*next - expected) * 86'400'000 <= 1.5,
                     qPrintable(QString::number((*next - expected) * 86'400'000) +
                                QStringLiteral(" ms off")));
        QVERIFY(f.errors.shown.empty());
        QVERIFY(!f.dm->ADOQueryForTimer.active());
    }

    void repeatingEventsAndArchiving() {
        StoreFixture f;
        tlist_of_event_orig writer(*f.dm);
        tfield daily = Alarm(DailyEvent("daily", kToday - 10, kToday + 100, 1, EncodeTime(9, 0)));
        daily.endtime = EncodeTime(10, 0);
        daily.lastFileTime = kToday - 1 + EncodeTime(10, 0);  // archived yesterday
        const std::int64_t id = writer.AddEvent(daily);
        tfield ended = Alarm(DailyEvent("ended", kToday - 10, kToday - 5, 1, EncodeTime(9, 0)));
        ended.lastFileTime = kToday - 4;  // archived after its end
        writer.AddEvent(ended);

        clock::ScopedFakeClock fake(kToday + EncodeTime(8, 58, 59));
        tlist_of_event_for_timer due(*f.dm);
        QVERIFY(due.RebuildDue());
        QVERIFY(due.dueEvents.empty());
        fake.set(kToday + EncodeTime(8, 59, 0));
        QVERIFY(due.RebuildDue());
        QCOMPARE(Subjects(due.dueEvents), std::vector<std::string>{"daily"});

        QVERIFY(writer.FileEvents(std::vector<std::int64_t>{id}, IdListBlanks::Before));
        fake.set(kToday + EncodeTime(23, 59));
        QVERIFY(due.RebuildDue());
        QVERIFY(due.dueEvents.empty());
        fake.set(kToday + 1 + EncodeTime(8, 0));  // tomorrow before the lead
        QVERIFY(due.RebuildDue());
        QVERIFY(due.dueEvents.empty());
        fake.set(kToday + 3 + EncodeTime(8, 0));  // a missed occurrence
        QVERIFY(due.RebuildDue());
        QCOMPARE(Subjects(due.dueEvents), std::vector<std::string>{"daily"});
    }

    void failedRebuildKeepsTheList() {
        StoreFixture f;
        tlist_of_event_orig writer(*f.dm);
        writer.AddEvent(Alarm(OnceEvent("A", kToday, EncodeTime(8, 0))));
        clock::ScopedFakeClock fake(EncodeDateTime(2027, 1, 1, 9, 0));
        tlist_of_event_for_timer due(*f.dm);
        QVERIFY(due.RebuildDue());
        due.hasNew = false;
        f.dm->ADOConnection.exec("alter table eventtable rename to moved");
        QVERIFY(!due.RebuildDue());
        QCOMPARE(Subjects(due.dueEvents), std::vector<std::string>{"A"});
        QVERIFY(!due.hasNew);
        QCOMPARE(int(f.errors.shown.size()), 1);
        due.CheckNewDue();
        QCOMPARE(int(f.errors.shown.size()), 2);
        QVERIFY(!f.dm->ADOQueryForTimer.active());
    }

    void idBookkeeping() {
        StoreFixture f;
        tlist_of_event_for_timer due(*f.dm);
        tfield a;
        a.id = 1;
        tfield b;
        b.id = 2;
        due.InsertFirst(a);
        due.InsertFirst(b);
        QCOMPARE(due.dueEvents[0].id, 2);
        QVERIFY(!due.IsNotListed(a));
        tfield c;
        c.id = 3;
        QVERIFY(due.IsNotListed(c));
        due.SaveIds();
        QCOMPARE(due.oldIds, (std::vector<std::int64_t>{2, 1}));
        QVERIFY(!due.HasNewIds());
        due.dueEvents.pop_back();
        QVERIFY(!due.HasNewIds());  // fewer is not new
        due.InsertFirst(c);
        QVERIFY(due.HasNewIds());
    }
};

QTEST_APPLESS_MAIN(TestDueList)
#include "test_duelist.moc"
