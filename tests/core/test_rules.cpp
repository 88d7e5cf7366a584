#include <QTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "core/Clock.h"
#include "core/Rules.h"
#include "reference_rules.h"

using namespace qcal;

Q_DECLARE_METATYPE(qcal::tfield)

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double D(int y, unsigned m, unsigned d) {
    return EncodeDate(y, m, d);
}
double DT(int y, unsigned m, unsigned d, int h, int n, int s = 0) {
    return EncodeDateTime(y, m, d, h, n, s);
}

tfield Rule(int kind, double begin, double end) {
    tfield e;
    e.repeatType = kind;
    e.begindate = begin;
    e.enddate = end;
    return e;
}
tfield Once(double begin, double time = 0) {
    tfield e = Rule(kRepeatNone, begin, begin);
    e.beginTime = time;
    return e;
}
tfield Daily(double begin, double end, int type, int every) {
    tfield e = Rule(kRepeatDaily, begin, end);
    e.dayType = type;
    e.dayEvery0 = every;
    return e;
}
tfield Weekly(double begin, double end, int every, const char* mask) {
    tfield e = Rule(kRepeatWeekly, begin, end);
    e.weekEvery0 = every;
    e.weekSelected0 = mask;
    return e;
}
tfield MonthlyDay(double begin, double end, int day, int every) {
    tfield e = Rule(kRepeatMonthly, begin, end);
    e.monthType = 0;
    e.monthDay0 = day;
    e.monthEvery0 = every;
    return e;
}
tfield MonthlyNth(double begin, double end, int ordinal, int kind, int every) {
    tfield e = Rule(kRepeatMonthly, begin, end);
    e.monthType = 1;
    e.monthspecial1 = ordinal;
    e.monthDayorWeek1 = kind;
    e.monthEvery1 = every;
    return e;
}
tfield YearlyDate(double begin, double end, int monthCode, int day) {
    tfield e = Rule(kRepeatYearly, begin, end);
    e.yearType = 0;
    e.yearMonth0 = monthCode;
    e.yearDay0 = day;
    return e;
}
tfield YearlyNth(double begin, double end, int ordinal, int kind, int monthCode) {
    tfield e = Rule(kRepeatYearly, begin, end);
    e.yearType = 1;
    e.yearspecial1 = ordinal;
    e.yearDayorWeek1 = kind;
    e.yearMonth1 = monthCode;
    return e;
}
tfield WithTime(tfield e, double time, double lastFiled) {
    e.beginTime = time;
    e.lastFileTime = lastFiled;
    return e;
}

std::string Text(double x) {
    return FormatDateTime("yyyy/mm/dd hh:nn:ss", x, '-', ':');
}

QString Describe(const tfield& e) {
    return QString::asprintf(
        "kind %d %s..%s time %s filed %s | day %d/%d | week %d '%s' | month %d: %d/%d, %d %d/%d "
        "| year %d: %d-%d, %d %d in %d",
        e.repeatType, Text(e.begindate).c_str(), Text(e.enddate).c_str(), Text(e.beginTime).c_str(),
        Text(e.lastFileTime).c_str(), e.dayType, e.dayEvery0, e.weekEvery0, e.weekSelected0.c_str(),
        e.monthType, e.monthDay0, e.monthEvery0, e.monthspecial1, e.monthDayorWeek1, e.monthEvery1,
        e.yearType, e.yearMonth0, e.yearDay0, e.yearspecial1, e.yearDayorWeek1, e.yearMonth1);
}

bool SameValue(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void calendarDiff_data();
    void calendarDiff();
    void nthDay_data();
    void nthDay();
    void monthTableMatchesDirectComputation();
    void sharedHelpers_data();
    void sharedHelpers();
    void weekMask_data();
    void weekMask();
    void occursOn_data();
    void occursOn();
    void occursBetween_data();
    void occursBetween();
    void dayToShow_data();
    void dayToShow();
    void isDue_data();
    void isDue();
    void faultyRuleNeverOccurs_data();
    void faultyRuleNeverOccurs();
    void longWindows();
    void matchesDayByDayReference();
};

void TestRules::calendarDiff_data() {
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<int>("years");
    QTest::addColumn<int>("months");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("distance");
    QTest::newRow("same day") << D(2006, 1, 1) << D(2006, 1, 1) + 0.5 << 0 << 0 << 0 << 0;
    QTest::newRow("24 days count as a month")
        << D(2006, 1, 1) << D(2006, 1, 25) << 0 << 0 << 24 << 1;
    QTest::newRow("20 days do not") << D(2006, 1, 1) << D(2006, 1, 21) << 0 << 0 << 20 << 0;
    QTest::newRow("swapped") << D(2006, 1, 25) << D(2006, 1, 1) << 0 << 0 << 24 << 1;
    QTest::newRow("31 Jan to 1 Mar") << D(2006, 1, 31) << D(2006, 3, 1) << 0 << 1 << 1 << 1;
    QTest::newRow("borrow from the year") << D(2006, 1, 15) << D(2007, 1, 9) << 0 << 11 << 25 << 12;
    QTest::newRow("across new year") << D(2005, 12, 20) << D(2006, 1, 10) << 0 << 0 << 21 << 1;
    QTest::newRow("leap day to next Feb")
        << D(2004, 2, 29) << D(2005, 2, 28) << 0 << 11 << 28 << 12;
    QTest::newRow("years") << D(1999, 3, 4) << D(2030, 5, 6) << 31 << 2 << 2 << 374;
    QTest::newRow("15 Jan to 11 Apr") << D(2006, 1, 15) << D(2006, 4, 11) << 0 << 2 << 27 << 3;
}

void TestRules::calendarDiff() {
    QFETCH(double, a);
    QFETCH(double, b);
    const CalendarDiffResult r = CalendarDiff(a, b);
    QTEST(int(r.years), "years");
    QTEST(int(r.months), "months");
    QTEST(int(r.days), "days");
    QTEST(MonthDistance(a, b), "distance");
}

void TestRules::nthDay_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("day");
    QTest::newRow("Last Weekday April 2006") << 2006 << 4 << 4 << 1 << 28;
    QTest::newRow("First Weekday April 2006") << 2006 << 4 << 0 << 1 << 3;
    QTest::newRow("Fourth Weekday April 2006") << 2006 << 4 << 3 << 1 << 6;
    QTest::newRow("Last Monday Jan 2006 (fifth)") << 2006 << 1 << 4 << 3 << 30;
    QTest::newRow("Fourth Monday Jan 2006") << 2006 << 1 << 3 << 3 << 23;
    QTest::newRow("Last Tuesday Feb 2006 (fourth)") << 2006 << 2 << 4 << 4 << 28;
    QTest::newRow("Last Day Feb 2004") << 2004 << 2 << 4 << 0 << 29;
    QTest::newRow("Last Day Feb 2006") << 2006 << 2 << 4 << 0 << 28;
    QTest::newRow("Fourth Day") << 2006 << 7 << 3 << 0 << 4;
    QTest::newRow("Second Sunday May 2006") << 2006 << 5 << 1 << 2 << 14;
    QTest::newRow("Last Saturday Sep 2006") << 2006 << 9 << 4 << 8 << 30;
    QTest::newRow("First Saturday Sep 2006") << 2006 << 9 << 0 << 8 << 2;
    QTest::newRow("ordinal 5") << 2006 << 9 << 5 << 0 << 0;
    QTest::newRow("ordinal -1") << 2006 << 9 << -1 << 0 << 0;
    QTest::newRow("kind 9") << 2006 << 9 << 0 << 9 << 0;
    QTest::newRow("kind -1") << 2006 << 9 << 0 << -1 << 0;
}

void TestRules::nthDay() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, ordinal);
    QFETCH(int, kind);
    QFETCH(int, day);
    QCOMPARE(int(NthDayOfMonth(year, unsigned(month), ordinal, kind)), day);
    // The table of any day of the month, and the predicates on it.
    const tspecialDate table(D(year, unsigned(month), 15) + 0.25);
    if (day == 0) {
        QVERIFY(!table.IsNth(ordinal, kind));
        return;
    }
    QCOMPARE(DayOf(table.nthDates[ordinal][kind]), DayNumber(year, unsigned(month), day));
    const tspecialDate onDay(D(year, unsigned(month), unsigned(day)) + 0.75);
    QVERIFY(onDay.IsNth(ordinal, kind));
    QVERIFY(onDay.IsNthInMonth(ordinal, kind, month - 1));
    QVERIFY(!onDay.IsNthInMonth(ordinal, kind, month % 12));
    QVERIFY(!onDay.IsNthInMonth(ordinal, kind, 12));
    QVERIFY(!onDay.IsNthInMonth(ordinal, kind, -1));
    QVERIFY(!onDay.IsNthInMonth(ordinal, kind, INT_MIN));
    QVERIFY(!tspecialDate(D(year, unsigned(month), unsigned(day)) + 1).IsNth(ordinal, kind));
}

void TestRules::monthTableMatchesDirectComputation() {
    for (int y = 2000; y <= 2400; ++y) {
        for (unsigned m = 1; m <= 12; ++m) {
            const tspecialDate t(D(y, m, 1));
            QCOMPARE(int(t.daysInMonth), int(DaysInMonth(y, m)));
            for (int o = 0; o < kOrdinalCount; ++o) {
                for (int k = 0; k < kDayKindCount; ++k) {
                    const unsigned direct = NthDayOfMonth(y, m, o, k);
                    if (DayOf(t.nthDates[o][k]) != DayNumber(y, m, direct)) {
                        QFAIL(qPrintable(QStringLiteral("%1-%2 ordinal %3 kind %4")
                                             .arg(y)
                                             .arg(m)
                                             .arg(o)
                                             .arg(k)));
                    }
                }
            }
        }
    }
}

void TestRules::sharedHelpers_data() {
    QTest::addColumn<double>("filed");
    QTest::addColumn<double>("now");
    QTest::addColumn<double>("x");
    QTest::addColumn<bool>("inRange");
    QTest::addColumn<double>("clipStart");
    QTest::addColumn<double>("clipEnd");
    QTest::addColumn<bool>("notFiledToday");
    QTest::addColumn<double>("firstUnfiled");
    QTest::addColumn<double>("lastDue");
    // The range is 10 to 20 January 2006 throughout.
    QTest::newRow("never filed, x before")
        << 0.0 << DT(2006, 1, 15, 12, 0) << D(2006, 1, 5) << false << D(2006, 1, 10)
        << D(2006, 1, 5) << true << D(2006, 1, 10) << D(2006, 1, 15);
    QTest::newRow("filed inside, x last day")
        << DT(2006, 1, 12, 9, 0) << DT(2006, 1, 15, 12, 0) << DT(2006, 1, 20, 18, 0) << true
        << D(2006, 1, 20) << D(2006, 1, 20) << true << D(2006, 1, 13) << D(2006, 1, 15);
    QTest::newRow("filed today, x after")
        << DT(2006, 1, 15, 8, 0) << DT(2006, 1, 15, 9, 0) << D(2006, 1, 25) << false
        << D(2006, 1, 25) << D(2006, 1, 20) << false << D(2006, 1, 16) << D(2006, 1, 15);
    QTest::newRow("filed on begin day, now after end")
        << DT(2006, 1, 10, 9, 0) << DT(2006, 2, 1, 9, 0) << D(2006, 1, 10) << true << D(2006, 1, 10)
        << D(2006, 1, 10) << true << D(2006, 1, 11) << D(2006, 1, 20);
    QTest::newRow("filed before begin")
        << DT(2005, 12, 1, 9, 0) << DT(2006, 1, 11, 9, 0) << D(2006, 1, 9) << false
        << D(2006, 1, 10) << D(2006, 1, 9) << true << D(2006, 1, 10) << D(2006, 1, 11);
}

void TestRules::sharedHelpers() {
    QFETCH(double, filed);
    QFETCH(double, now);
    QFETCH(double, x);
    const tdaily rule(WithTime(Daily(D(2006, 1, 10), D(2006, 1, 20), 0, 1), 0, filed));
    const clock::ScopedFakeClock clock(now);
    QTEST(rule.InDateRange(x), "inRange");
    QTEST(double(rule.ClipStart(x)), "clipStart");
    QTEST(double(rule.ClipEnd(x)), "clipEnd");
    QTEST(rule.NotFiledToday(), "notFiledToday");
    QTEST(double(rule.FirstUnfiledDay()), "firstUnfiled");
    QTEST(double(rule.LastDueDay()), "lastDue");
}

void TestRules::weekMask_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mask");
    QTest::addColumn<bool>("valid");
    QTest::newRow("Mon Wed Fri") << "FTFTFTF" << 0b0101010 << true;
    QTest::newRow("lower case") << "FtFtFtF" << 0b0101010 << true;
    QTest::newRow("all") << "TTTTTTT" << 0b1111111 << true;
    QTest::newRow("none") << "FFFFFFF" << 0 << true;
    QTest::newRow("Sunday and Saturday") << "TFFFFFt" << 0b1000001 << true;
    QTest::newRow("six") << "TTTTTT" << 0 << false;
    QTest::newRow("eight") << "TTTTTTTT" << 0 << false;
    QTest::newRow("empty") << "" << 0 << false;
}

void TestRules::weekMask() {
    QFETCH(QString, text);
    tfield e;
    e.weekSelected0 = text.toStdString();
    const RuleFields r = RuleFields::From(e);
    QTEST(int(r.weekMask), "mask");
    QTEST(r.weekMaskValid, "valid");
}

void TestRules::occursOn_data() {
    QTest::addColumn<tfield>("event");
    QTest::addColumn<double>("day");
    QTest::addColumn<bool>("expected");
    const auto add = [](const char* name, const tfield& e, double day, bool expected) {
        QTest::addRow("%s %s", name, Text(day).c_str()) << e << day << expected;
    };
    const double end2006 = D(2006, 12, 31);

    const tfield once = Once(D(2006, 1, 10));
    add("once", once, D(2006, 1, 10) + 0.6, true);
    add("once", once, D(2006, 1, 11), false);
    tfield onceEndBefore = once;
    onceEndBefore.enddate = D(2006, 1, 9);
    add("once, end not read", onceEndBefore, D(2006, 1, 10), true);

    const tfield every3 = Daily(D(2006, 1, 2), D(2006, 1, 31), 0, 3);
    for (int d : {2, 5, 8, 29}) {
        add("every 3 days", every3, D(2006, 1, unsigned(d)), true);
    }
    for (int d : {1, 3, 4, 31}) {
        add("every 3 days", every3, D(2006, 1, unsigned(d)), false);
    }
    add("every 3 days", every3, D(2006, 2, 1), false);

    const tfield workdays = Daily(D(2006, 1, 2), D(2006, 1, 15), 1, 1);
    for (int d : {2, 6, 9, 13}) {
        add("workdays", workdays, D(2006, 1, unsigned(d)), true);
    }
    for (int d : {1, 7, 8, 14, 15, 16}) {
        add("workdays", workdays, D(2006, 1, unsigned(d)), false);
    }

    const tfield mondays2 = Weekly(D(2006, 1, 4), end2006, 2, "FTFFFFF");
    for (int d : {16, 30}) {
        add("every 2nd Monday", mondays2, D(2006, 1, unsigned(d)), true);
    }
    for (int d : {2, 9, 23, 17}) {
        add("every 2nd Monday", mondays2, D(2006, 1, unsigned(d)), false);
    }
    for (int d = 1; d <= 7; ++d) {
        add("no weekday", Weekly(D(2006, 1, 1), end2006, 1, "FFFFFFF"), D(2006, 1, unsigned(d)),
            false);
    }
    for (const char* mask : {"FTFTFTF", "FtFtFtF"}) {
        const tfield mwf = Weekly(D(2006, 1, 1), end2006, 1, mask);
        for (int d = 8; d <= 14; ++d) {
            add(mask, mwf, D(2006, 1, unsigned(d)), d == 9 || d == 11 || d == 13);
        }
    }

    const tfield day31 = MonthlyDay(D(2006, 1, 31), end2006, 31, 1);
    for (unsigned m : {1u, 3u, 5u, 7u}) {
        add("day 31", day31, D(2006, m, 31), true);
    }
    for (unsigned m : {2u, 4u, 6u}) {
        add("day 31", day31, D(2006, m, DaysInMonth(2006, m)), false);
    }
    add("day 31", day31, D(2006, 3, 1), false);

    const tfield day29in2008 = MonthlyDay(D(2008, 1, 1), D(2008, 12, 31), 29, 1);
    for (unsigned m = 1; m <= 12; ++m) {
        add("day 29", day29in2008, D(2008, m, 29), true);
    }
    const tfield day29in2006 = MonthlyDay(D(2006, 1, 1), end2006, 29, 1);
    add("day 29", day29in2006, D(2006, 2, 28), false);
    add("day 29", day29in2006, D(2006, 3, 1), false);
    add("day 29", day29in2006, D(2006, 3, 29), true);

    const tfield day10every2 = MonthlyDay(D(2006, 1, 1), end2006, 10, 2);
    for (unsigned m = 1; m <= 6; ++m) {
        add("day 10 every 2", day10every2, D(2006, m, 10), m % 2 == 1);
    }
    const tfield day25every2 = MonthlyDay(D(2006, 1, 1), end2006, 25, 2);
    for (unsigned m = 1; m <= 6; ++m) {
        add("day 25 every 2", day25every2, D(2006, m, 25), m % 2 == 0);
    }

    const tfield secondTuesday3 = MonthlyNth(D(2006, 1, 15), D(2007, 12, 31), 1, 4, 3);
    add("2nd Tuesday every 3", secondTuesday3, D(2006, 1, 10), false);
    add("2nd Tuesday every 3", secondTuesday3, D(2006, 2, 14), false);
    add("2nd Tuesday every 3", secondTuesday3, D(2006, 4, 11), true);
    add("2nd Tuesday every 3", secondTuesday3, D(2006, 4, 18), false);
    add("2nd Tuesday every 3", secondTuesday3, D(2006, 7, 11), true);
    add("2nd Tuesday every 3", secondTuesday3, D(2006, 10, 10), true);
    add("2nd Tuesday every 3", secondTuesday3, D(2007, 1, 9), true);

    const tfield lastDayFeb = YearlyNth(D(2006, 1, 1), D(2010, 12, 31), 4, 0, 1);
    add("last day of Feb", lastDayFeb, D(2006, 2, 28), true);
    add("last day of Feb", lastDayFeb, D(2008, 2, 29), true);
    add("last day of Feb", lastDayFeb, D(2008, 2, 28), false);
    add("last day of Feb", lastDayFeb, D(2006, 1, 31), false);

    const tfield secondSundayMay = YearlyNth(D(2006, 1, 1), end2006, 1, 2, 4);
    add("2nd Sunday in May", secondSundayMay, D(2006, 5, 14), true);
    add("2nd Sunday in May", secondSundayMay, D(2006, 5, 7), false);
    add("2nd Sunday in May", secondSundayMay, D(2006, 6, 11), false);

    const tfield leapDay = YearlyDate(D(2004, 1, 1), D(2008, 12, 31), 1, 29);
    add("29 Feb yearly", leapDay, D(2004, 2, 29), true);
    add("29 Feb yearly", leapDay, D(2008, 2, 29), true);
    add("29 Feb yearly", leapDay, D(2005, 2, 28), false);
    add("29 Feb yearly", leapDay, D(2005, 3, 1), false);
    add("29 Feb yearly", leapDay, D(2009, 3, 1), false);

    const tfield tenthFeb = YearlyDate(D(2006, 1, 1), D(2010, 12, 31), 1, 10);
    add("month code 1 is Feb", tenthFeb, D(2007, 2, 10), true);
    add("month code 1 is Feb", tenthFeb, D(2007, 1, 10), false);
}

void TestRules::occursOn() {
    QFETCH(tfield, event);
    QFETCH(double, day);
    QTEST(tsatisfy(event).OccursOn(day), "expected");
}

void TestRules::occursBetween_data() {
    QTest::addColumn<tfield>("event");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<bool>("expected");
    const tfield once = Once(D(2006, 1, 10));
    QTest::newRow("once, start a second late")
        << once << DT(2006, 1, 10, 0, 0, 1) << D(2006, 1, 20) << false;
    QTest::newRow("once, start at midnight") << once << D(2006, 1, 10) << D(2006, 1, 20) << true;
    QTest::newRow("once, ends before") << once << D(2006, 1, 1) << DT(2006, 1, 9, 23, 59) << false;
    const tfield every3 = Daily(D(2006, 1, 2), D(2006, 1, 31), 0, 3);
    QTest::newRow("every 3, gap") << every3 << D(2006, 1, 3) << D(2006, 1, 4) + 0.9 << false;
    QTest::newRow("every 3, hit") << every3 << D(2006, 1, 3) << D(2006, 1, 5) << true;
    QTest::newRow("every 3, whole range") << every3 << D(2000, 1, 1) << D(2010, 1, 1) << true;
    QTest::newRow("every 3, after range") << every3 << D(2006, 2, 1) << D(2006, 3, 1) << false;
    QTest::newRow("every 3, end before start") << every3 << D(2006, 1, 8) << D(2006, 1, 2) << false;
    QTest::newRow("every 3, NaN") << every3 << kNaN << D(2006, 1, 20) << false;
    QTest::newRow("every 3, infinite") << every3 << -kInf << kInf << true;
    const tfield day31 = MonthlyDay(D(2006, 1, 31), D(2006, 12, 31), 31, 1);
    QTest::newRow("day 31, February") << day31 << D(2006, 2, 1) << D(2006, 2, 28) << false;
    QTest::newRow("day 31, April") << day31 << D(2006, 4, 1) << D(2006, 4, 30) << false;
    QTest::newRow("day 31, April-May") << day31 << D(2006, 4, 1) << D(2006, 5, 31) << true;
    const tfield leapDay = YearlyDate(D(2004, 1, 1), D(2008, 12, 31), 1, 29);
    QTest::newRow("29 Feb, 2005-2007") << leapDay << D(2005, 1, 1) << D(2007, 12, 31) << false;
    QTest::newRow("29 Feb, 2004") << leapDay << D(2004, 1, 1) << D(2004, 12, 31) << true;
    const tfield fifthMonday = YearlyNth(D(2000, 1, 1), D(2030, 12, 31), 4, 3, 0);
    QTest::newRow("last Monday of Jan, after 30th")
        << fifthMonday << D(2006, 1, 31) << D(2007, 1, 28) << false;
    QTest::newRow("last Monday of Jan, next year")
        << fifthMonday << D(2006, 1, 31) << D(2007, 1, 29) << true;
}

void TestRules::occursBetween() {
    QFETCH(tfield, event);
    QFETCH(double, start);
    QFETCH(double, end);
    QTEST(tsatisfy(event).OccursBetween(start, end), "expected");
}

void TestRules::dayToShow_data() {
    QTest::addColumn<tfield>("event");
    QTest::addColumn<double>("day");
    QTest::addColumn<double>("shown");
    const tfield mondays = Weekly(D(2006, 1, 4), D(2006, 12, 31), 1, "FTFFFFF");
    QTest::newRow("weekly, asked Tuesday") << mondays << D(2006, 1, 10) << D(2006, 1, 9);
    QTest::newRow("weekly, asked before range") << mondays << D(2005, 5, 2) << D(2006, 1, 9);
    QTest::newRow("weekly, asked a Monday") << mondays << D(2006, 1, 16) << D(2006, 1, 16);
    QTest::newRow("weekly, Monday with time")
        << mondays << D(2006, 1, 16) + 0.5 << D(2006, 1, 16) + 0.5;
    QTest::newRow("weekly, never")
        << Weekly(D(2006, 1, 4), D(2006, 12, 31), 1, "FFFFFFF") << D(2006, 1, 16) << D(2006, 1, 4);
    QTest::newRow("once") << Once(D(2006, 1, 10)) << D(2006, 3, 1) << D(2006, 1, 10);
    QTest::newRow("day 31 in February only")
        << MonthlyDay(D(2006, 2, 1), D(2006, 2, 28), 31, 1) << D(2006, 2, 5) << D(2006, 2, 1);
    QTest::newRow("end before begin")
        << Daily(D(2006, 2, 1), D(2006, 1, 1), 0, 1) << D(2006, 1, 5) << D(2006, 2, 1);
    QTest::newRow("every 2 months day 25")
        << MonthlyDay(D(2006, 1, 1), D(2006, 12, 31), 25, 2) << D(2006, 1, 25) << D(2006, 2, 25);
    QTest::newRow("29 Feb over decades")
        << YearlyDate(D(2001, 3, 1), D(2099, 1, 1), 1, 29) << D(2001, 3, 1) << D(2004, 2, 29);
}

void TestRules::dayToShow() {
    QFETCH(tfield, event);
    QFETCH(double, day);
    QTEST(tsatisfy(event).DayToShow(day), "shown");
}

void TestRules::isDue_data() {
    QTest::addColumn<tfield>("event");
    QTest::addColumn<double>("now");
    QTest::addColumn<bool>("expected");
    const double nine = EncodeTime(9, 0);
    const tfield once = Once(D(2006, 1, 10), nine);
    QTest::newRow("once, 08:58:59") << once << DT(2006, 1, 10, 8, 58, 59) << false;
    QTest::newRow("once, 08:59:00") << once << DT(2006, 1, 10, 8, 59, 0) << true;
    QTest::newRow("once, days later") << once << DT(2006, 2, 3, 1, 0) << true;
    QTest::newRow("once, day before") << once << DT(2006, 1, 9, 23, 0) << false;
    QTest::newRow("once, archived")
        << WithTime(once, nine, DT(2006, 1, 10, 9, 1)) << DT(2006, 1, 10, 10, 0) << false;

    const tfield daily = Daily(D(2006, 1, 1), D(2006, 12, 31), 0, 1);
    const tfield filedYesterday = WithTime(daily, nine, DT(2006, 1, 14, 9, 5));
    QTest::newRow("daily, filed yesterday, 08:58:59")
        << filedYesterday << DT(2006, 1, 15, 8, 58, 59) << false;
    QTest::newRow("daily, filed yesterday, 08:59:00")
        << filedYesterday << DT(2006, 1, 15, 8, 59) << true;
    QTest::newRow("daily, filed yesterday, evening")
        << filedYesterday << DT(2006, 1, 15, 20, 0) << true;
    const tfield filedToday = WithTime(daily, nine, DT(2006, 1, 15, 9, 1));
    QTest::newRow("daily, filed today") << filedToday << DT(2006, 1, 15, 20, 0) << false;
    QTest::newRow("daily, filed today, next morning")
        << filedToday << DT(2006, 1, 16, 8, 0) << false;
    QTest::newRow("daily, filed today, next day 09:00")
        << filedToday << DT(2006, 1, 16, 9, 0) << true;
    QTest::newRow("daily, filed 3 days ago, early")
        << WithTime(daily, nine, DT(2006, 1, 12, 9, 5)) << DT(2006, 1, 15, 7, 0) << true;
    QTest::newRow("daily, never filed, begun in the past")
        << WithTime(daily, nine, 0) << DT(2006, 1, 15, 0, 0) << true;
    QTest::newRow("daily, not yet begun")
        << WithTime(daily, nine, 0) << DT(2005, 12, 31, 23, 0) << false;

    const tfield ended = Daily(D(2006, 1, 1), D(2006, 1, 10), 0, 1);
    QTest::newRow("ended, last occurrence filed")
        << WithTime(ended, nine, DT(2006, 1, 10, 9, 5)) << DT(2006, 1, 15, 12, 0) << false;
    QTest::newRow("ended, last occurrence open")
        << WithTime(ended, nine, DT(2006, 1, 9, 9, 5)) << DT(2006, 1, 15, 12, 0) << true;

    const tfield mondays =
        WithTime(Weekly(D(2006, 1, 2), D(2006, 12, 31), 1, "FTFFFFF"), nine, DT(2006, 1, 9, 9, 5));
    QTest::newRow("Mondays, Friday") << mondays << DT(2006, 1, 13, 12, 0) << false;
    QTest::newRow("Mondays, next Monday early") << mondays << DT(2006, 1, 16, 8, 0) << false;
    QTest::newRow("Mondays, next Monday 09:00") << mondays << DT(2006, 1, 16, 9, 0) << true;
    QTest::newRow("Mondays, Tuesday after") << mondays << DT(2006, 1, 17, 0, 5) << true;

    const tfield decades = WithTime(Daily(D(1950, 1, 1), D(9999, 12, 31), 0, 7), nine, 0);
    QTest::newRow("every 7 days since 1950") << decades << DT(2030, 6, 1, 0, 0) << true;
}

void TestRules::isDue() {
    QFETCH(tfield, event);
    QFETCH(double, now);
    const clock::ScopedFakeClock clock(now);
    QTEST(tsatisfy(event).IsDue(), "expected");
}

void TestRules::faultyRuleNeverOccurs_data() {
    QTest::addColumn<tfield>("event");
    const double b = D(2006, 1, 1);
    const double e = D(2006, 12, 31);
    QTest::newRow("every 0 days") << Daily(b, e, 0, 0);
    QTest::newRow("every -3 days") << Daily(b, e, 0, -3);
    QTest::newRow("day type 2") << Daily(b, e, 2, 1);
    QTest::newRow("every 0 weeks") << Weekly(b, e, 0, "TTTTTTT");
    QTest::newRow("every -1 weeks") << Weekly(b, e, -1, "TTTTTTT");
    QTest::newRow("every INT_MAX weeks, none") << Weekly(b, e, INT_MAX, "FFFFFFF");
    QTest::newRow("mask of six") << Weekly(b, e, 1, "TTTTTT");
    QTest::newRow("mask of eight") << Weekly(b, e, 1, "TTTTTTTT");
    QTest::newRow("empty mask") << Weekly(b, e, 1, "");
    QTest::newRow("every 0 months") << MonthlyDay(b, e, 5, 0);
    QTest::newRow("day 0") << MonthlyDay(b, e, 0, 1);
    QTest::newRow("day 32") << MonthlyDay(b, e, 32, 1);
    QTest::newRow("every -2 months, nth") << MonthlyNth(b, e, 0, 0, -2);
    QTest::newRow("ordinal 5") << MonthlyNth(b, e, 5, 0, 1);
    QTest::newRow("ordinal -1") << MonthlyNth(b, e, -1, 0, 1);
    QTest::newRow("kind 9") << MonthlyNth(b, e, 0, 9, 1);
    QTest::newRow("kind INT_MIN") << MonthlyNth(b, e, 0, INT_MIN, 1);
    QTest::newRow("month type 2") << [&] {
        tfield f = MonthlyDay(b, e, 5, 1);
        f.monthType = 2;
        return f;
    }();
    QTest::newRow("yearly month 12") << YearlyDate(b, e, 12, 1);
    QTest::newRow("yearly month -1") << YearlyDate(b, e, -1, 1);
    QTest::newRow("yearly month INT_MAX") << YearlyDate(b, e, INT_MAX, 1);
    QTest::newRow("yearly 30 Feb") << YearlyDate(b, e, 1, 30);
    QTest::newRow("yearly day 0") << YearlyDate(b, e, 0, 0);
    QTest::newRow("yearly nth month 12") << YearlyNth(b, e, 0, 0, 12);
    QTest::newRow("yearly nth month INT_MIN") << YearlyNth(b, e, 0, 0, INT_MIN);
    QTest::newRow("yearly ordinal 7") << YearlyNth(b, e, 7, 0, 0);
    QTest::newRow("year type 5") << [&] {
        tfield f = YearlyDate(b, e, 0, 1);
        f.yearType = 5;
        return f;
    }();
    QTest::newRow("repeat type 5") << Rule(5, b, e);
    QTest::newRow("repeat type -1") << Rule(-1, b, e);
    QTest::newRow("daily, NaN begin") << Daily(kNaN, e, 0, 1);
    QTest::newRow("daily, infinite end") << Daily(b, kInf, 0, 1);
    QTest::newRow("daily, begin 1e10") << Daily(-1e10, e, 0, 1);
    QTest::newRow("weekly, NaN end") << Weekly(b, kNaN, 1, "TTTTTTT");
    QTest::newRow("monthly, NaN begin") << MonthlyDay(kNaN, e, 1, 1);
    QTest::newRow("yearly, -inf begin") << YearlyDate(-kInf, e, 0, 1);
    QTest::newRow("once, NaN begin") << Once(kNaN);
    QTest::newRow("once, NaN time") << Once(b, kNaN);
    QTest::newRow("daily, NaN time") << WithTime(Daily(b, e, 0, 1), kNaN, 0);
    QTest::newRow("daily, NaN filed") << WithTime(Daily(b, e, 0, 1), 0, kNaN);
}

void TestRules::faultyRuleNeverOccurs() {
    QFETCH(tfield, event);
    const tsatisfy rule(event);
    const bool timeOnly = !IsValidDateTime(event.beginTime) || !IsValidDateTime(event.lastFileTime);
    for (int d = DayNumber(2005, 12, 1); d <= DayNumber(2007, 1, 31); ++d) {
        if (!timeOnly && rule.OccursOn(d)) {
            QFAIL(qPrintable(QString::fromStdString("occurs on " + Text(d))));
        }
    }
    if (!timeOnly) {
        QVERIFY(!rule.OccursOn(0));
        QVERIFY(!rule.OccursOn(kNaN));
        QVERIFY(!rule.OccursBetween(D(1900, 1, 1), D(2100, 1, 1)));
        QVERIFY(!rule.OccursBetween(-kInf, kInf));
        QVERIFY(SameValue(rule.DayToShow(D(2006, 5, 1)), event.begindate));
    }
    for (double now : {DT(2006, 6, 1, 12, 0), DT(2007, 3, 1, 23, 59)}) {
        const clock::ScopedFakeClock clock(now);
        QVERIFY(!rule.IsDue());
    }
    QCOMPARE(rule.HasRule(), event.repeatType >= 0 && event.repeatType <= 4);
}

// Windows of thousands of years: the answers come from stepping months and years, not days,
// and the ends of the calendar are handled without overflow.
void TestRules::longWindows() {
    const double first = D(1, 1, 1);
    const double last = D(9999, 12, 31);
    const clock::ScopedFakeClock clock(DT(9999, 12, 31, 23, 0));
    // Day 31 every 12 months from 1 May: the months at a distance of 12 are Aprils (the 30
    // remaining days count as one more month), which have no 31st.
    const tfield never = MonthlyDay(D(1, 5, 1), last, 31, 12);
    QVERIFY(!tsatisfy(never).OccursBetween(first, last));
    QCOMPARE(tsatisfy(never).DayToShow(D(5000, 1, 1)), D(1, 5, 1));
    QVERIFY(!tsatisfy(never).IsDue());
    QVERIFY(!reference::OccursOn(never, D(2006, 3, 31)));
    QVERIFY(!reference::OccursOn(never, D(2006, 5, 31)));

    const tfield lastSaturday = MonthlyNth(first, last, 4, 8, 7);
    QVERIFY(tsatisfy(lastSaturday).OccursBetween(last - 400, last));
    QVERIFY(tsatisfy(lastSaturday).IsDue());
    const tfield leapDay = WithTime(YearlyDate(first, last, 1, 29), 0.5, D(9996, 3, 1));
    QVERIFY(!tsatisfy(leapDay).IsDue());  // 9996 was the last leap year
    QCOMPARE(tsatisfy(leapDay).DayToShow(last), D(4, 2, 29));
    const tfield everyWeek = WithTime(Weekly(first, last, 1, "FFFFFFT"), 0.5, 0);
    QVERIFY(tsatisfy(everyWeek).IsDue());
    QVERIFY(tsatisfy(everyWeek).OccursOn(D(9999, 12, 25)));
    QCOMPARE(tsatisfy(everyWeek).DayToShow(D(9999, 12, 27)), D(1, 1, 6));
}

void TestRules::matchesDayByDayReference() {
    std::mt19937 rng(20060101);
    const auto uniform = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const auto chance = [&](int percent) { return uniform(0, 99) < percent; };
    const auto interval = [&] {
        if (chance(8)) {
            return uniform(-3, 0);
        }
        return chance(5) ? uniform(13, 120) : uniform(1, 12);
    };
    const auto code = [&](int count) {
        return chance(5) ? uniform(-2, count + 1) : uniform(0, count - 1);
    };
    const auto timeOfDay = [&] { return uniform(0, 1439) / 1440.0; };
    const int firstDay = DayNumber(1999, 1, 1);
    const int lastDay = DayNumber(2030, 12, 31);

    int rules = 0;
    int occurrences = 0;
    int dueAnswers = 0;
    for (; rules < 8000; ++rules) {
        tfield e;
        e.repeatType = chance(8) ? uniform(-1, 5) : uniform(1, 4);
        int begin = uniform(firstDay, lastDay);
        if (chance(15)) {
            const CivilDate c = DateOfDay(begin);
            const int leapYear = c.year - c.year % 4;
            begin = chance(50) ? DayNumber(leapYear, 2, 29)
                               : DayNumber(c.year, c.month, DaysInMonth(c.year, c.month));
        }
        const int length = chance(5) ? -uniform(1, 40) : chance(5) ? 0 : uniform(1, 5 * 366);
        // Stored dates are whole days, but the day of a value with a time part counts.
        e.begindate = begin + (chance(10) ? timeOfDay() : 0);
        e.enddate = begin + length + (chance(10) ? timeOfDay() : 0);
        e.beginTime = timeOfDay();
        e.dayType = chance(5) ? 2 : uniform(0, 1);
        e.dayEvery0 = interval();
        e.weekEvery0 = interval();
        e.weekSelected0.clear();
        const int maskLength = chance(5) ? uniform(0, 9) : 7;
        for (int i = 0; i < maskLength; ++i) {
            e.weekSelected0 += "TFtfF"[uniform(0, 4)];
        }
        e.monthType = chance(5) ? 2 : uniform(0, 1);
        e.monthDay0 = chance(5) ? uniform(-1, 33) : uniform(1, 31);
        e.monthEvery0 = interval();
        e.monthspecial1 = code(kOrdinalCount);
        e.monthDayorWeek1 = code(kDayKindCount);
        e.monthEvery1 = interval();
        e.yearType = chance(5) ? 2 : uniform(0, 1);
        e.yearDay0 = chance(5) ? uniform(-1, 33) : uniform(1, 31);
        e.yearMonth0 = code(12);
        e.yearspecial1 = code(kOrdinalCount);
        e.yearDayorWeek1 = code(kDayKindCount);
        e.yearMonth1 = code(12);

        const tsatisfy rule(e);
        const auto fail = [&](const std::string& what) {
            QFAIL(qPrintable(Describe(e) + QStringLiteral(" | ") + QString::fromStdString(what)));
        };

        // Every day from shortly before the begin day for a while, then random days.
        for (int i = 0; i < 160; ++i) {
            const double day = i < 70 ? begin - 5 + i : uniform(begin - 40, begin + length + 40);
            const double x = day + (chance(20) ? timeOfDay() : 0);
            const bool got = rule.OccursOn(x);
            occurrences += got;
            if (got != reference::OccursOn(e, x)) {
                return fail("OccursOn " + Text(x));
            }
        }
        // Stepping from one occurrence to the next visits the days that a day-by-day walk
        // over a month's grid finds, and no others.
        {
            const int from = uniform(begin - 45, begin + std::max(length, 0) + 5);
            const int to = from + uniform(-1, 41);
            std::vector<int> stepped;
            rule.ForEachOccurrence(from, to, [&](int day) { stepped.push_back(day); });
            std::vector<int> walked;
            for (int day = from; day <= to; ++day) {
                if (reference::OccursOn(e, day)) {
                    walked.push_back(day);
                }
            }
            if (stepped != walked) {
                return fail("ForEachOccurrence " + Text(from) + " " + Text(to));
            }
        }
        for (int i = 0; i < 10; ++i) {
            const double start = uniform(begin - 400, begin + length + 40) + timeOfDay();
            const double end = start + uniform(-3, 400) + timeOfDay();
            if (rule.OccursBetween(start, end) != reference::OccursBetween(e, start, end)) {
                return fail("OccursBetween " + Text(start) + " " + Text(end));
            }
        }
        for (int i = 0; i < 3; ++i) {
            const double day = uniform(begin - 40, begin + length + 40) + (i ? timeOfDay() : 0);
            if (!SameValue(rule.DayToShow(day), reference::DayToShow(e, day))) {
                return fail("DayToShow " + Text(day));
            }
        }
        for (int i = 0; i < 6; ++i) {
            const double now = uniform(begin - 10, begin + length + 60) + timeOfDay();
            const int filedKind = uniform(0, 3);
            e.lastFileTime = filedKind == 0   ? 0
                             : filedKind == 1 ? std::floor(now) + timeOfDay()
                             : filedKind == 2 ? std::floor(now) - 1 + timeOfDay()
                                              : uniform(begin - 40, int(now)) + timeOfDay();
            const tsatisfy filed(e);
            const clock::ScopedFakeClock clock(now);
            const bool got = filed.IsDue();
            dueAnswers += got;
            if (got != reference::IsDue(e)) {
                return fail("IsDue at " + Text(now));
            }
        }
        e.lastFileTime = 0;
    }
    // The random rules must not be trivial.
    QVERIFY(occurrences > rules * 5);
    QVERIFY(dueAnswers > rules);
}

QTEST_APPLESS_MAIN(TestRules)
#include "test_rules.moc"
