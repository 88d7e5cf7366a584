// The search: periods of the search types, the checks of the input and the statement, also
// run against a real event database.

#include <QTest>

#include "platform/ProfileFile.h"

#include "store/EventLists.h"
#include "store/SearchHeader.h"
#include "store/SearchStatement.h"
#include "support/StoreFixture.h"

using namespace qcal;
using qcal::test::OnceEvent;
using qcal::test::StoreFixture;
using qcal::test::Subjects;

namespace {

int Day(int year, unsigned month, unsigned day) {
    return DayNumber(year, month, day);
}

const arraylayinfo kWorkAndHome{
    {"Work", 0x0000FF, true}, {"Off", 0x00FF00, false}, {"Home", 0xFF0000, true}};

SearchRequest Request(int between, int andDay) {
    SearchRequest r;
    r.between = PeriodStart(between);
    r.andTime = PeriodEnd(andDay);
    return r;
}

}  // namespace

class TestSearchStatement : public QObject {
    Q_OBJECT
private slots:
    void workedExample() {
        // "This Week" in the week of Sunday 3 January 2027, dentist in all three texts.
        const SearchPeriod week =
            PeriodOfSearchType(kSearchThisWeek, Day(2027, 1, 6), Day(2000, 1, 1), Day(2000, 1, 1));
        SearchRequest r = Request(week.between, week.andDay);
        r.includeText = true;
        r.keyword = "  dentist ";
        const SearchStatement s = BuildSearchStatement(r, kWorkAndHome);
        QCOMPARE(s.refusal, SearchRefusal::None);
        QCOMPARE(s.sql,
                 std::string("select * from eventtable where  (((beginDate<=46390) and ( "
                             "enddate>=46390)) or  ((beginDate>=46390) and ( "
                             "beginDate<=46396.9999884259))) and ((subject  like '%dentist%')  or "
                             " (content  like '%dentist%')  or  (mynote  like '%dentist%') )  and "
                             "(layername in ('216vg2K3fP67Gf','Work','Home')) order by "
                             "begindate,begintime"));
    }

    void archivedStatement() {
        SearchRequest r = Request(Day(1980, 1, 1), Day(2027, 1, 6));
        r.archived = true;
        QCOMPARE(BuildSearchStatement(r, {}).sql,
                 std::string("select * from eventtable where  (lastFileTime>=29221) and ( "
                             "lastFileTime<=46393.9999884259) and (layername in "
                             "('216vg2K3fP67Gf')) order by begindate,begintime"));
    }

    void periods_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("today");
        QTest::addColumn<int>("between");
        QTest::addColumn<int>("andDay");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("archived");
        QTest::addColumn<int>("firstWeekday");
        const int sunday = Day(2027, 1, 3), saturday = Day(2027, 1, 9);
        const int december = Day(2026, 12, 15), leapFeb = Day(2028, 2, 10);
        const int lastDay = Day(2027, 12, 31);
        const int keptB = Day(2020, 5, 5), keptA = Day(2020, 6, 6);
        struct Row {
            const char* name;
            int type, today, between, andDay;
            bool enabled = false, archived = false;
            int firstWeekday = 1;
        };
        const Row rows[] = {
            {"this week on a Sunday", 0, sunday, sunday, saturday},
            {"this week on a Saturday", 0, saturday, sunday, saturday},
            {"next week on a Saturday", 1, saturday, Day(2027, 1, 10), Day(2027, 1, 16)},
            {"next week on 31 December", 1, lastDay, Day(2028, 1, 2), Day(2028, 1, 8)},
            {"this week across the year", 0, lastDay, Day(2027, 12, 26), Day(2028, 1, 1)},
            {"this month in leap February", 2, leapFeb, Day(2028, 2, 1), Day(2028, 2, 29)},
            {"this month on 31 December", 2, lastDay, Day(2027, 12, 1), lastDay},
            {"next month in December", 3, december, Day(2027, 1, 1), Day(2027, 1, 31)},
            {"next month before leap February", 3, Day(2028, 1, 31), Day(2028, 2, 1),
             Day(2028, 2, 29)},
            {"this year on 31 December", 4, lastDay, Day(2027, 1, 1), lastDay},
            {"next year in December", 5, december, Day(2027, 1, 1), Day(2027, 12, 31)},
            {"definite period keeps the dates", 6, sunday, keptB, keptA, true},
            {"archived up to today", 7, leapFeb, Day(1980, 1, 1), leapFeb, true, true},
            {"Monday first: a Sunday ends the week", 0, sunday, Day(2026, 12, 28), sunday, false,
             false, 2},
            {"Monday first: next week from a Monday", 1, Day(2027, 1, 4), Day(2027, 1, 11),
             Day(2027, 1, 17), false, false, 2},
            {"Saturday first: this week on a Friday", 0, Day(2027, 1, 8), Day(2027, 1, 2),
             Day(2027, 1, 8), false, false, 7},
        };
        for (const Row& row : rows) {
            QTest::newRow(row.name) << row.type << row.today << row.between << row.andDay
                                    << row.enabled << row.archived << row.firstWeekday;
        }
    }
    void periods() {
        QFETCH(int, type);
        QFETCH(int, today);
        QFETCH(int, between);
        QFETCH(int, andDay);
        QFETCH(bool, enabled);
        QFETCH(bool, archived);
        QFETCH(int, firstWeekday);
        const SearchPeriod p =
            PeriodOfSearchType(type, today, Day(2020, 5, 5), Day(2020, 6, 6), firstWeekday);
        QCOMPARE(p, (SearchPeriod{between, andDay, enabled, archived}));
    }

    // Every type finds a once-only event (stored at 00:00:00, as the editor stores dates) on
    // the first and on the last day of its period, and none on the days just outside it.
    void everyTypeFindsItsFirstAndLastDay_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("today");
        const struct {
            const char* name;
            int today;
        } days[] = {{"Sunday", Day(2027, 1, 3)},
                    {"Saturday", Day(2027, 1, 9)},
                    {"December", Day(2026, 12, 15)},
                    {"leap February", Day(2028, 2, 29)},
                    {"31 December", Day(2027, 12, 31)}};
        for (const auto& d : days) {
            for (int type = 0; type < kSearchTypeCount; ++type) {
                QTest::addRow("%s type %d", d.name, type) << type << d.today;
            }
        }
    }
    void everyTypeFindsItsFirstAndLastDay() {
        QFETCH(int, type);
        QFETCH(int, today);
        StoreFixture fx;
        fx.dm->Layers = kWorkAndHome;
        // The definite period is the pickers' dates: one day here.
        const SearchPeriod p = PeriodOfSearchType(type, today, today, today);
        tlist_of_event_orig list(*fx.dm);
        const auto add = [&](const char* subject, int day) {
            tfield e = OnceEvent(subject, day);
            if (p.archived) {
                // Archived at midnight starting the period and in its last second (the
                // statement writes the end with 15 digits, a hair before 23:59:59).
                const TDateTime second = 1.0 / 86400;
                e.lastFileTime = day == p.between - 1 ? PeriodStart(p.between) - second
                                 : day == p.between   ? PeriodStart(p.between)
                                 : day == p.andDay    ? PeriodEnd(p.andDay) - second
                                                      : PeriodEnd(p.andDay) + second;
            }
            QVERIFY(list.AddEvent(e) != 0);
        };
        add("before", p.between - 1);
        add("first", p.between);
        add("last", p.andDay);
        add("after", p.andDay + 1);

        SearchRequest r = Request(p.between, p.andDay);
        r.archived = p.archived;
        const SearchStatement s = BuildSearchStatement(r, fx.dm->Layers);
        QCOMPARE(s.refusal, SearchRefusal::None);
        tlist_of_event_for_Query search(*fx.dm);
        search.LoadFound(s.sql, p.archived ? 1 : 0, r.between, r.andTime);
        QVERIFY(fx.errors.shown.empty());
        QCOMPARE(Subjects(search.found), (std::vector<std::string>{"first", "last"}));
    }

    void keywordQuotes_data() {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("passes");
        QTest::newRow("no quote") << QStringLiteral("dentist") << true;
        QTest::newRow("doubled") << QStringLiteral("DON''T") << true;
        QTest::newRow("two doubled") << QStringLiteral("A''B''C") << true;
        QTest::newRow("quadrupled") << QStringLiteral("''''") << true;
        QTest::newRow("single") << QStringLiteral("DON'T") << false;
        QTest::newRow("single after a doubled one") << QStringLiteral("A''B'C") << false;
        QTest::newRow("only a quote") << QStringLiteral("'") << false;
        QTest::newRow("last character") << QStringLiteral("AB'") << false;
        QTest::newRow("tripled") << QStringLiteral("A'''B") << false;
        QTest::newRow("breaking out") << QStringLiteral("x'') or 1=1 or (''") << true;
        QTest::newRow("breaking out undoubled") << QStringLiteral("x') or (1=1 --") << false;
    }
    void keywordQuotes() {
        QFETCH(QString, keyword);
        QFETCH(bool, passes);
        QCOMPARE(CheckKeywordQuotes(keyword.toStdString()), passes);
    }

    void textClause_data() {
        QTest::addColumn<bool>("subject");
        QTest::addColumn<bool>("content");
        QTest::addColumn<bool>("note");
        QTest::addColumn<QString>("clause");
        QTest::newRow("subject") << true << false << false
                                 << QStringLiteral(" and ((subject  like '%x%') ) ");
        QTest::newRow("content") << false << true << false
                                 << QStringLiteral(" and ( (content  like '%x%') ) ");
        QTest::newRow("note") << false << false << true
                              << QStringLiteral(" and ( (mynote  like '%x%') ) ");
        QTest::newRow("subject, content")
            << true << true << false
            << QStringLiteral(" and ((subject  like '%x%')  or  (content  like '%x%') ) ");
        QTest::newRow("subject, note")
            << true << false << true
            << QStringLiteral(" and ((subject  like '%x%')  or  (mynote  like '%x%') ) ");
        QTest::newRow("content, note")
            << false << true << true
            << QStringLiteral(" and ( (content  like '%x%')  or  (mynote  like '%x%') ) ");
        QTest::newRow("all") << true << true << true
                             << QStringLiteral(
                                    " and ((subject  like '%x%')  or  (content  like '%x%')  or "
                                    " (mynote  like '%x%') ) ");
    }
    void textClause() {
        QFETCH(bool, subject);
        QFETCH(bool, content);
        QFETCH(bool, note);
        QFETCH(QString, clause);
        QCOMPARE(QString::fromStdString(BuildTextClause("x", subject, content, note)), clause);
    }

    void refusals_data() {
        QTest::addColumn<int>("between");
        QTest::addColumn<int>("andDay");
        QTest::addColumn<bool>("includeText");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("anyText");
        QTest::addColumn<int>("refusal");
        const int d = Day(2027, 1, 3);
        const auto R = [](SearchRefusal r) { return int(r); };
        QTest::newRow("one day") << d << d << false << QString() << true << R(SearchRefusal::None);
        QTest::newRow("And before Between")
            << d + 1 << d << true << QString() << false << R(SearchRefusal::AndBeforeBetween);
        QTest::newRow("blank keyword")
            << d << d << true << QStringLiteral(" \t ") << false << R(SearchRefusal::BlankKeyword);
        QTest::newRow("no text box") << d << d << true << QStringLiteral("DON'T") << false
                                     << R(SearchRefusal::NoTextChecked);
        QTest::newRow("quote") << d << d << true << QStringLiteral("DON'T") << true
                               << R(SearchRefusal::KeywordQuote);
        QTest::newRow("text not included")
            << d << d << false << QStringLiteral("DON'T") << false << R(SearchRefusal::None);
    }
    void refusals() {
        QFETCH(int, between);
        QFETCH(int, andDay);
        QFETCH(bool, includeText);
        QFETCH(QString, keyword);
        QFETCH(bool, anyText);
        QFETCH(int, refusal);
        SearchRequest r = Request(between, andDay);
        r.includeText = includeText;
        r.keyword = keyword.toStdString();
        r.subject = r.content = r.note = anyText;
        const SearchStatement s = BuildSearchStatement(r, kWorkAndHome);
        QCOMPARE(int(s.refusal), refusal);
        QCOMPARE(s.sql.empty(), refusal != int(SearchRefusal::None));
    }

    // The doubled quote finds the text with one quote; nothing else matches.
    void doubledQuoteFindsTheText() {
        StoreFixture fx;
        fx.dm->Layers = kWorkAndHome;
        tlist_of_event_orig list(*fx.dm);
        const int day = Day(2027, 1, 5);
        for (const char* subject : {"DON'T forget", "DONT forget", "DON''T twice"})
            QVERIFY(list.AddEvent(OnceEvent(subject, day)) != 0);
        SearchRequest r = Request(day, day);
        r.includeText = true;
        r.keyword = "DON''T";
        const SearchStatement s = BuildSearchStatement(r, fx.dm->Layers);
        tlist_of_event_for_Query search(*fx.dm);
        search.LoadFound(s.sql, 0, r.between, r.andTime);
        QVERIFY(fx.errors.shown.empty());
        QCOMPARE(Subjects(search.found), std::vector<std::string>{"DON'T forget"});
    }

    // Widths read back as written; a value that would hide or swamp a column gives the
    // section's first width.
    void sectionWidths_data() {
        QTest::addColumn<QString>("endTime");
        QTest::addColumn<int>("expected");
        QTest::newRow("kept") << QStringLiteral("150") << 150;
        QTest::newRow("zero") << QStringLiteral("0") << 120;
        QTest::newRow("negative") << QStringLiteral("-40") << 120;
        QTest::newRow("huge") << QStringLiteral("99999") << 120;
        QTest::newRow("not a number") << QStringLiteral("wide") << 120;
    }
    void sectionWidths() {
        QFETCH(QString, endTime);
        QFETCH(int, expected);
        StoreFixture fx(false);
        const std::string path = fx.file("setup.ini");
        QVERIFY(SaveSearchSectionWidths(path, {90, 300, 130, 140, 200}));
        QCOMPARE(LoadSearchSectionWidths(path), (SearchSectionWidths{90, 50, 130, 140, 200}));
        {
            platform::ProfileFile ini(path);
            ini.writeString("SearchHeader", "EndTime", endTime.toStdString());
            QVERIFY(ini.save());
        }
        QCOMPARE(LoadSearchSectionWidths(path)[2], expected);
    }

    // Only the active layers are searched; with none active nothing is found.
    void layersFilterTheResult() {
        StoreFixture fx;
        tlist_of_event_orig list(*fx.dm);
        const int day = Day(2027, 1, 5);
        QVERIFY(list.AddEvent(OnceEvent("w", day, 0, "Work")) != 0);
        QVERIFY(list.AddEvent(OnceEvent("o", day, 0, "Off")) != 0);
        QVERIFY(list.AddEvent(OnceEvent("h", day, 0, "Home")) != 0);
        const SearchRequest r = Request(day, day);
        tlist_of_event_for_Query search(*fx.dm);
        search.LoadFound(BuildSearchStatement(r, kWorkAndHome).sql, 0, r.between, r.andTime);
        QCOMPARE(Subjects(search.found), (std::vector<std::string>{"w", "h"}));
        arraylayinfo none = kWorkAndHome;
        for (tlayinfo& layer : none)
            layer.active = false;
        search.LoadFound(BuildSearchStatement(r, none).sql, 0, r.between, r.andTime);
        QVERIFY(search.found.empty());
    }
};

QTEST_GUILESS_MAIN(TestSearchStatement)
#include "test_searchstatement.moc"
