#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "core/Clock.h"
#include "core/Rules.h"

using namespace qcal;

Q_DECLARE_METATYPE(qcal::tfield)
Q_DECLARE_METATYPE(std::vector<int>)

namespace {

int Day(int y, unsigned m, unsigned d) {
    return DayNumber(y, m, d);
}

tfield Repeating(int kind, int begin, int end) {
    tfield e;
    e.repeatType = kind;
    e.begindate = begin;
    e.enddate = end;
    return e;
}

tfield Weekly(int begin, int end, const char* mask) {
    tfield e = Repeating(kRepeatWeekly, begin, end);
    e.weekSelected0 = mask;
    return e;
}

tfield MonthlyDay(int begin, int end, int dom) {
    tfield e = Repeating(kRepeatMonthly, begin, end);
    e.monthDay0 = dom;
    return e;
}

tfield Daily(int begin, int end, double time) {
    tfield e = Repeating(kRepeatDaily, begin, end);
    e.beginTime = time;
    return e;
}

}  // namespace

class TestRuleAdditions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The summer-time cases are those of Germany.
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }

    void occurrences_data() {
        QTest::addColumn<tfield>("event");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<std::vector<int>>("expected");

        tfield gym = Weekly(Day(2027, 1, 4), Day(2027, 1, 4), "FTFFFFF");
        gym.openEnd = true;
        gym.exceptDays = {Day(2027, 1, 11)};
        QTest::newRow("weekly never ends, one Monday taken out")
            << gym << Day(2027, 1, 1) << Day(2027, 1, 31)
            << std::vector<int>{Day(2027, 1, 4), Day(2027, 1, 18), Day(2027, 1, 25)};
        QTest::newRow("weekly never ends, far years")
            << gym << Day(2412, 3, 1) << Day(2412, 3, 10) << std::vector<int>{Day(2412, 3, 5)};

        tfield rent = MonthlyDay(Day(2028, 1, 29), Day(2028, 2, 26), 29);
        rent.openEnd = true;
        rent.exceptDays = {Day(2028, 2, 29)};
        QTest::newRow("monthly 29th never ends, leap day taken out")
            << rent << Day(2028, 1, 1) << Day(2028, 4, 30)
            << std::vector<int>{Day(2028, 1, 29), Day(2028, 3, 29), Day(2028, 4, 29)};

        tfield birthday = Repeating(kRepeatYearly, Day(2027, 12, 31), Day(2028, 12, 30));
        birthday.yearMonth0 = 11;
        birthday.yearDay0 = 31;
        birthday.openEnd = true;
        birthday.exceptDays = {Day(2029, 12, 31)};
        QTest::newRow("yearly on a month end, one year out")
            << birthday << Day(2027, 1, 1) << Day(2030, 12, 31)
            << std::vector<int>{Day(2027, 12, 31), Day(2028, 12, 31), Day(2030, 12, 31)};

        tfield closed = Weekly(Day(2027, 1, 4), Day(2027, 1, 31), "FTFFFFF");
        closed.exceptDays = {Day(2027, 1, 4), Day(2027, 1, 11), Day(2027, 1, 18), Day(2027, 1, 25)};
        QTest::newRow("every occurrence taken out")
            << closed << Day(2027, 1, 1) << Day(2027, 2, 28) << std::vector<int>{};

        tfield once = Repeating(kRepeatNone, Day(2027, 1, 4), Day(2027, 1, 4));
        once.exceptDays = {Day(2027, 1, 4)};
        once.openEnd = true;
        QTest::newRow("a once event has neither")
            << once << Day(2027, 1, 1) << Day(2027, 1, 31) << std::vector<int>{Day(2027, 1, 4)};
    }

    // Every question about days agrees: the day test, the walk over occurrences and the
    // period test.
    void occurrences() {
        QFETCH(tfield, event);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(std::vector<int>, expected);
        const tsatisfy rule(event);
        std::vector<int> byDay;
        for (int d = from; d <= to; ++d) {
            if (rule.OccursOn(d)) {
                byDay.push_back(d);
            }
        }
        std::vector<int> walked;
        rule.ForEachOccurrence(from, to, [&](int d) { walked.push_back(d); });
        QCOMPARE(byDay, expected);
        QCOMPARE(walked, expected);
        QCOMPARE(rule.OccursBetween(from, to + 0.5), !expected.empty());
    }

    // The walk over occurrences, which takes the days of a daily or weekly rule period by
    // period, gives the days the day test takes, on generated rules and windows.
    void walkAgreesWithTheDayTest() {
        std::srand(17);
        const auto pick = [](int from, int to) { return from + std::rand() % (to - from + 1); };
        for (int n = 0; n < 3000; ++n) {
            const int begin = Day(2027, 1, 1) + pick(-20, 20);
            tfield e = Repeating(pick(1, 2), begin, begin + pick(-2, 120));
            e.dayType = pick(0, 2);
            e.dayEvery0 = pick(-1, 9);
            e.weekEvery0 = pick(0, 4);
            e.weekSelected0.clear();
            for (int d = pick(6, 8); d > 0; --d)
                e.weekSelected0 += pick(0, 2) == 0 ? 'T' : 'F';
            e.openEnd = pick(0, 5) == 0;
            for (int k = pick(0, 4); k > 0; --k)
                e.exceptDays.push_back(begin + pick(-3, 60));
            std::sort(e.exceptDays.begin(), e.exceptDays.end());
            e.exceptDays.erase(std::unique(e.exceptDays.begin(), e.exceptDays.end()),
                               e.exceptDays.end());
            const tsatisfy rule(e);
            const int from = begin + pick(-30, 60);
            const int to = from + pick(-1, 90);
            std::vector<int> byDay;
            for (int d = from; d <= to; ++d) {
                if (rule.OccursOn(d))
                    byDay.push_back(d);
            }
            std::vector<int> walked;
            rule.ForEachOccurrence(from, to, [&](int d) { walked.push_back(d); });
            QVERIFY2(walked == byDay, qPrintable(QStringLiteral("rule %1").arg(n)));
        }
    }

    void dayToShow_data() {
        QTest::addColumn<tfield>("event");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("shown");

        tfield daily = Daily(Day(2027, 1, 1), Day(2027, 1, 2), 0);
        daily.openEnd = true;
        for (int d = Day(2027, 1, 1); d < Day(2027, 1, 11); ++d) {
            daily.exceptDays.push_back(d);
        }
        QTest::newRow("first days taken out") << daily << Day(2027, 1, 5) << Day(2027, 1, 11);
        tfield never = Weekly(Day(2027, 1, 4), Day(2027, 1, 4), "FTFFFFF");
        never.openEnd = true;
        never.exceptDays = {Day(2027, 1, 4)};
        QTest::newRow("asked on an exception day") << never << Day(2027, 1, 4) << Day(2027, 1, 11);
        tfield leap = Repeating(kRepeatYearly, Day(2029, 3, 1), Day(2030, 3, 1));
        leap.yearMonth0 = 1;
        leap.yearDay0 = 29;
        leap.openEnd = true;
        QTest::newRow("leap day, never ends") << leap << Day(2029, 3, 2) << Day(2032, 2, 29);
    }

    void dayToShow() {
        QFETCH(tfield, event);
        QFETCH(int, asked);
        QFETCH(int, shown);
        QCOMPARE(DayOf(tsatisfy(event).DayToShow(asked)), shown);
    }

    // Reminders ahead of the begin, on the local clock of Berlin.
    void dueWithLead_data() {
        QTest::addColumn<tfield>("event");
        QTest::addColumn<double>("now");
        QTest::addColumn<bool>("due");

        const double nine = EncodeTime(9, 0);
        tfield daily = Daily(Day(2027, 1, 1), Day(2027, 12, 31), nine);
        daily.remindBefore = 30;
        daily.lastFileTime = EncodeDateTime(2027, 5, 9, 10, 0);
        QTest::newRow("before the lead")
            << daily << EncodeDateTime(2027, 5, 10, 8, 28, 50) << false;
        QTest::newRow("within the lead") << daily << EncodeDateTime(2027, 5, 10, 8, 29) << true;

        tfield late = Daily(Day(2027, 1, 1), Day(2027, 12, 31), EncodeTime(0, 10));
        late.remindBefore = 30;
        late.lastFileTime = EncodeDateTime(2027, 5, 9, 10, 0);
        QTest::newRow("over midnight, not yet")
            << late << EncodeDateTime(2027, 5, 9, 23, 38) << false;
        QTest::newRow("over midnight, due the evening before")
            << late << EncodeDateTime(2027, 5, 9, 23, 40) << true;
        tfield archived = late;
        archived.lastFileTime = EncodeDateTime(2027, 5, 9, 23, 45);
        QTest::newRow("archived the evening before, not again after midnight")
            << archived << EncodeDateTime(2027, 5, 10, 0, 15) << false;
        QTest::newRow("archived the evening before, the next night again")
            << archived << EncodeDateTime(2027, 5, 10, 23, 41) << true;

        tfield taken = Daily(Day(2027, 1, 1), Day(2027, 12, 31), nine);
        taken.lastFileTime = EncodeDateTime(2027, 5, 9, 10, 0);
        taken.exceptDays = {Day(2027, 5, 10)};
        QTest::newRow("exception day gives no alarm")
            << taken << EncodeDateTime(2027, 5, 10, 12, 0) << false;
        taken.lastFileTime = EncodeDateTime(2027, 5, 8, 10, 0);
        QTest::newRow("exception day hides no missed one")
            << taken << EncodeDateTime(2027, 5, 10, 12, 0) << true;

        // 28 March 2027: 02:00 becomes 03:00. Two real hours before 03:00 is midnight.
        tfield spring = Repeating(kRepeatNone, Day(2027, 3, 28), Day(2027, 3, 28));
        spring.beginTime = EncodeTime(3, 0);
        spring.remindBefore = 120;
        QTest::newRow("spring, before") << spring << EncodeDateTime(2027, 3, 27, 23, 58) << false;
        QTest::newRow("spring, two real hours")
            << spring << EncodeDateTime(2027, 3, 28, 0, 0) << true;
        // 31 October 2027: 03:00 becomes 02:00 again. Two real hours before 03:00 is the first
        // 02:00.
        tfield autumn = spring;
        autumn.begindate = autumn.enddate = Day(2027, 10, 31);
        QTest::newRow("autumn, before") << autumn << EncodeDateTime(2027, 10, 31, 1, 58) << false;
        QTest::newRow("autumn, due") << autumn << EncodeDateTime(2027, 10, 31, 2, 30) << true;
        tfield weeklySpring = Weekly(Day(2027, 3, 1), Day(2027, 12, 31), "TFFFFFF");
        weeklySpring.beginTime = EncodeTime(3, 0);
        weeklySpring.remindBefore = 120;
        weeklySpring.lastFileTime = EncodeDateTime(2027, 3, 21, 5, 0);
        QTest::newRow("spring, repeating, before")
            << weeklySpring << EncodeDateTime(2027, 3, 27, 23, 58) << false;
        QTest::newRow("spring, repeating, due")
            << weeklySpring << EncodeDateTime(2027, 3, 28, 0, 0) << true;
    }

    void dueWithLead() {
        QFETCH(tfield, event);
        QFETCH(double, now);
        QFETCH(bool, due);
        event.alert = true;
        QCOMPARE(tsatisfy(event).IsDue(now), due);
    }
};

QTEST_APPLESS_MAIN(TestRuleAdditions)
#include "test_ruleadditions.moc"
