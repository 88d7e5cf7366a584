#include <QDateTime>
#include <QTest>

#include <cmath>
#include <limits>

#include "core/Clock.h"
#include "core/DateTime.h"

using namespace qcal;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

class TestDateTime : public QObject {
    Q_OBJECT

private slots:
    void dayNumbers_data();
    void dayNumbers();
    void everyDayRoundTrips();
    void daysInMonth_data();
    void daysInMonth();
    void decodeTime_data();
    void decodeTime();
    void dayOfOutOfRange_data();
    void dayOfOutOfRange();
    void formatNumber_data();
    void formatNumber();
    void formatDateTime_data();
    void formatDateTime();
    void fakeClock();
    void systemClockIsLocalTime();
};

void TestDateTime::dayNumbers_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("weekday");
    QTest::newRow("epoch") << 1899 << 12 << 30 << 0 << 7;
    QTest::newRow("day before epoch") << 1899 << 12 << 29 << -1 << 6;
    QTest::newRow("1900-01-01") << 1900 << 1 << 1 << 2 << 2;
    QTest::newRow("1900 is no leap year") << 1900 << 3 << 1 << 61 << 5;
    QTest::newRow("1970-01-01") << 1970 << 1 << 1 << 25569 << 5;
    QTest::newRow("2000-02-29") << 2000 << 2 << 29 << 36585 << 3;
    QTest::newRow("2004-02-29") << 2004 << 2 << 29 << 38046 << 1;
    QTest::newRow("2006-01-01 Sunday") << 2006 << 1 << 1 << 38718 << 1;
    QTest::newRow("2027-01-01") << 2027 << 1 << 1 << 46388 << 6;
    QTest::newRow("1600-02-29") << 1600 << 2 << 29 << -109512 << 3;
    QTest::newRow("2400-02-29") << 2400 << 2 << 29 << 182682 << 3;
    QTest::newRow("first day") << 1 << 1 << 1 << kMinDayNumber << 2;
    QTest::newRow("last day") << 9999 << 12 << 31 << kMaxDayNumber << 6;
}

void TestDateTime::dayNumbers() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, number);
    QFETCH(int, weekday);
    QCOMPARE(DayNumber(year, unsigned(month), unsigned(day)), number);
    const CivilDate c = DateOfDay(number);
    QCOMPARE(c.year, year);
    QCOMPARE(int(c.month), month);
    QCOMPARE(int(c.day), day);
    QCOMPARE(WeekdayOfDay(number), weekday);
    // A time of day, also on negative values, keeps the date.
    const double noonish = number + (number < 0 ? -0.75 : 0.75);
    QCOMPARE(DayOf(noonish), number);
    QCOMPARE(DecodeDate(noonish).day, c.day);
    QCOMPARE(DayOfWeek(noonish), weekday);
}

void TestDateTime::everyDayRoundTrips() {
    CivilDate prev = DateOfDay(DayNumber(1599, 12, 31));
    for (int n = DayNumber(1600, 1, 1); n <= DayNumber(2401, 1, 1); ++n) {
        const CivilDate c = DateOfDay(n);
        const bool nextDay = c.year == prev.year && c.month == prev.month && c.day == prev.day + 1;
        const bool nextMonth = c.day == 1 && prev.day == DaysInMonth(prev.year, prev.month) &&
                               (c.month == prev.month + 1 ||
                                (c.month == 1 && prev.month == 12 && c.year == prev.year + 1));
        if (!(nextDay || nextMonth) || DayNumber(c.year, c.month, c.day) != n ||
            WeekdayOfDay(n) != (WeekdayOfDay(n - 1) % 7) + 1) {
            QFAIL(qPrintable(QStringLiteral("day %1").arg(n)));
        }
        prev = c;
    }
}

void TestDateTime::daysInMonth_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("days");
    QTest::newRow("1900-02") << 1900 << 2 << 28;
    QTest::newRow("2000-02") << 2000 << 2 << 29;
    QTest::newRow("2004-02") << 2004 << 2 << 29;
    QTest::newRow("2006-02") << 2006 << 2 << 28;
    QTest::newRow("2100-02") << 2100 << 2 << 28;
    QTest::newRow("2006-04") << 2006 << 4 << 30;
    QTest::newRow("2006-12") << 2006 << 12 << 31;
    QTest::newRow("month 0") << 2006 << 0 << 0;
    QTest::newRow("month 13") << 2006 << 13 << 0;
}

void TestDateTime::daysInMonth() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, days);
    QCOMPARE(int(DaysInMonth(year, unsigned(month))), days);
}

void TestDateTime::decodeTime_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("ms");
    QTest::newRow("noon") << 38718.5 << 38718 << 12 << 0 << 0 << 0;
    QTest::newRow("encoded") << EncodeDateTime(2006, 1, 1, 9, 41, 7, 250) << 38718 << 9 << 41 << 7
                             << 250;
    QTest::newRow("one second") << EncodeDateTime(2027, 1, 3, 0, 0, 1) << 46390 << 0 << 0 << 1 << 0;
    QTest::newRow("negative: absolute fraction") << -1.25 << -1 << 6 << 0 << 0 << 0;
    QTest::newRow("negative below one") << -0.75 << 0 << 18 << 0 << 0 << 0;
    QTest::newRow("last millisecond")
        << 38718 + EncodeTime(23, 59, 59, 999) << 38718 << 23 << 59 << 59 << 999;
    QTest::newRow("rounds up to midnight: clamped")
        << 38718 + 86399999.6 / 86400000.0 << 38718 << 23 << 59 << 59 << 999;
    QTest::newRow("rounds to next ms") << 38718 + 1000.6 / 86400000.0 << 38718 << 0 << 0 << 1 << 1;
    QTest::newRow("NaN") << kNaN << 0 << 0 << 0 << 0 << 0;
}

void TestDateTime::decodeTime() {
    QFETCH(double, value);
    QFETCH(int, day);
    QCOMPARE(DayOf(value), day);
    const TimeOfDay t = DecodeTime(value);
    QTEST(t.hour, "hour");
    QTEST(t.minute, "minute");
    QTEST(t.second, "second");
    QTEST(t.millisecond, "ms");
}

void TestDateTime::dayOfOutOfRange_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("day");
    QTest::addColumn<bool>("valid");
    QTest::newRow("NaN") << kNaN << 0 << false;
    QTest::newRow("+inf") << kInf << kMaxDayNumber << false;
    QTest::newRow("-inf") << -kInf << kMinDayNumber << false;
    QTest::newRow("1e300") << 1e300 << kMaxDayNumber << false;
    QTest::newRow("-1e300") << -1e300 << kMinDayNumber << false;
    QTest::newRow("past last day") << kMaxDayNumber + 1.5 << kMaxDayNumber << false;
    QTest::newRow("before first day") << kMinDayNumber - 1.5 << kMinDayNumber << false;
    QTest::newRow("last day evening") << kMaxDayNumber + 0.9 << kMaxDayNumber << true;
    QTest::newRow("first day evening") << kMinDayNumber - 0.9 << kMinDayNumber << true;
    QTest::newRow("-0.5 cuts toward zero") << -0.5 << 0 << true;
}

void TestDateTime::dayOfOutOfRange() {
    QFETCH(double, value);
    QTEST(DayOf(value), "day");
    QTEST(IsValidDateTime(value), "valid");
    // Everything built on the day must cope as well.
    const CivilDate c = DecodeDate(value);
    QVERIFY(c.month >= 1 && c.month <= 12);
    QVERIFY(!FormatDateTime("yyyy/mm/dd hh:nn", value).empty());
}

void TestDateTime::formatNumber_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("one second past midnight")
        << EncodeDateTime(2027, 1, 3, 0, 0, 1) << QStringLiteral("46390.0000115741");
    QTest::newRow("whole day") << 38718.0 << QStringLiteral("38718");
    QTest::newRow("10:30") << EncodeDateTime(2027, 1, 1, 10, 30) << QStringLiteral("46388.4375");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
    QTest::newRow("negative") << -1.25 << QStringLiteral("-1.25");
    QTest::newRow("due lead") << 0.0007 << QStringLiteral("0.0007");
    QTest::newRow("integer") << 12345.0 << QStringLiteral("12345");
}

void TestDateTime::formatNumber() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(FormatNumber(value)), text);
}

void TestDateTime::formatDateTime_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("value");
    QTest::addColumn<char>("dateSep");
    QTest::addColumn<char>("timeSep");
    QTest::addColumn<QString>("text");
    const double jan2 = EncodeDate(2006, 1, 2);
    const double dec31 = EncodeDateTime(2027, 12, 31, 13, 5);
    QTest::newRow("mm/dd/yyyy") << "mm/dd/yyyy" << jan2 << '/' << ':' << "01/02/2006";
    QTest::newRow("mm/dd/yy") << "mm/dd/yy" << jan2 << '/' << ':' << "01/02/06";
    QTest::newRow("dd/mm/yyyy dot") << "dd/mm/yyyy" << jan2 << '.' << ':' << "02.01.2006";
    QTest::newRow("dd/mm/yy dash") << "dd/mm/yy" << dec31 << '-' << ':' << "31-12-27";
    QTest::newRow("yyyy/mm/dd dash") << "yyyy/mm/dd" << dec31 << '-' << ':' << "2027-12-31";
    QTest::newRow("yy/mm/dd") << "yy/mm/dd" << jan2 << '/' << ':' << "06/01/02";
    QTest::newRow("year 2000 as yy") << "yy" << EncodeDate(2000, 5, 5) << '/' << ':' << "00";
    QTest::newRow("year 5 as yyyy") << "yyyy" << EncodeDate(5, 5, 5) << '/' << ':' << "0005";
    QTest::newRow("00:15 AM/PM") << "hh:nn AM/PM" << jan2 + EncodeTime(0, 15) << '/' << ':'
                                 << "12:15 AM";
    QTest::newRow("11:59 AM/PM") << "hh:nn AM/PM" << jan2 + EncodeTime(11, 59) << '/' << ':'
                                 << "11:59 AM";
    QTest::newRow("12:00 AM/PM") << "hh:nn AM/PM" << jan2 + EncodeTime(12, 0) << '/' << ':'
                                 << "12:00 PM";
    QTest::newRow("13:05 AM/PM") << "hh:nn AM/PM" << dec31 << '/' << ':' << "01:05 PM";
    QTest::newRow("23:59 AM/PM dot")
        << "hh:nn AM/PM" << jan2 + EncodeTime(23, 59) << '/' << '.' << "11.59 PM";
    QTest::newRow("lower-case am/pm") << "hh:nn am/pm" << dec31 << '/' << ':' << "01:05 pm";
    QTest::newRow("hh:nn 24h") << "hh:nn" << dec31 << '/' << ':' << "13:05";
    QTest::newRow("hh:nn midnight dot") << "hh:nn" << jan2 << '/' << '.' << "00.00";
    QTest::newRow("mm after hh is minute") << "hh:mm" << dec31 << '/' << ':' << "13:05";
    QTest::newRow("mm after hh and blank") << "hh mm" << dec31 << '/' << ':' << "13 05";
    QTest::newRow("seconds") << "hh:nn:ss" << jan2 + EncodeTime(7, 8, 9) << '/' << ':'
                             << "07:08:09";
    QTest::newRow("date and time")
        << "mm/dd/yyyy hh:nn AM/PM" << EncodeDateTime(2027, 1, 3, 0, 0, 1) << '/' << ':'
        << "01/03/2027 12:00 AM";
    QTest::newRow("date and 24h time dash")
        << "dd/mm/yyyy hh:nn" << dec31 << '-' << '.' << "31-12-2027 13.05";
    QTest::newRow("month after date stays month")
        << "hh:nn dd/mm" << dec31 << '/' << ':' << "13:05 31/12";
    QTest::newRow("quoted text") << "dd 'of' mm" << jan2 << '/' << ':' << "02 of 01";
    QTest::newRow("last millisecond stays on its day")
        << "yyyy/mm/dd hh:nn:ss" << 38718 + 86399999.6 / 86400000.0 << '-' << ':'
        << "2006-01-01 23:59:59";
    QTest::newRow("negative value")
        << "yyyy/mm/dd hh:nn" << -1.25 << '/' << ':' << "1899/12/29 06:00";
    QTest::newRow("NaN") << "mm/dd/yyyy" << kNaN << '/' << ':' << "12/30/1899";
}

void TestDateTime::formatDateTime() {
    QFETCH(QString, format);
    QFETCH(double, value);
    QFETCH(char, dateSep);
    QFETCH(char, timeSep);
    QFETCH(QString, text);
    const std::string f = format.toStdString();
    QCOMPARE(QString::fromStdString(FormatDateTime(f, value, dateSep, timeSep)), text);
}

void TestDateTime::fakeClock() {
    const double t1 = EncodeDateTime(2006, 1, 10, 8, 58, 59);
    {
        clock::ScopedFakeClock outer(t1);
        QCOMPARE(clock::Now(), t1);
        QCOMPARE(clock::Today(), DayNumber(2006, 1, 10));
        outer.advanceSeconds(61);
        QCOMPARE(DecodeTime(clock::Now()).minute, 0);
        QCOMPARE(DecodeTime(clock::Now()).hour, 9);
        {
            clock::ScopedFakeClock inner(1.5);
            QCOMPARE(clock::Today(), 1);
        }
        // The outer clock is back, and still follows its own value.
        outer.set(t1 + 1);
        QCOMPARE(clock::Now(), t1 + 1);
    }
    QVERIFY(std::fabs(clock::Now() - t1) > 1000);
}

void TestDateTime::systemClockIsLocalTime() {
    const QDateTime q = QDateTime::currentDateTime();
    const QDate d = q.date();
    const QTime t = q.time();
    const double expected = EncodeDateTime(d.year(), unsigned(d.month()), unsigned(d.day()),
                                           t.hour(), t.minute(), t.second(), t.msec());
    QVERIFY(std::fabs(clock::Now() - expected) < 5.0 / 86400);
    QCOMPARE(clock::Today(), DayOf(clock::Now()));
}

QTEST_APPLESS_MAIN(TestDateTime)
#include "test_datetime.moc"
