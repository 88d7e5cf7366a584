// Event lists against a real event database in a temporary program folder.

#include <QTest>

#include "core/Clock.h"
#include "store/EventLists.h"
#include "support/StoreFixture.h"

using namespace qcal;
using qcal::test::DailyEvent;
using qcal::test::OnceEvent;
using qcal::test::StoreFixture;

namespace {

const TDateTime kJan1 = EncodeDate(2006, 1, 1);  // a Sunday, day 38718

std::vector<std::int64_t> Ids(const tArrayofField& events) {
    std::vector<std::int64_t> ids;
    for (const tfield& e : events) {
        ids.push_back(e.id);
    }
    return ids;
}

std::vector<std::string> Texts(const mytitem_for_display& items) {
    std::vector<std::string> texts;
    for (const auto& item : items) {
        texts.push_back(item.text);
    }
    return texts;
}

tfield FullRecord() {
    tfield e;
    e.layername = "Work";
    e.alert = true;
    e.subject = "It's \"quoted\"; drop table eventtable; --";
    e.content = "line one\nline two\r\n\ttabbed – ünïcödé ✓";
    e.mynote = "'";
    e.repeatType = kRepeatYearly;
    e.begindate = EncodeDate(2024, 2, 29);
    e.enddate = EncodeDate(2030, 12, 31);
    e.beginTime = EncodeTime(9, 30);
    e.endtime = EncodeTime(10, 45, 30);
    e.lastFileTime = EncodeDateTime(2025, 3, 1, 8, 0, 1);
    e.dayType = 1;
    e.dayEvery0 = 3;
    e.weekType = 0;
    e.weekEvery0 = 52;
    e.weekSelected0 = "TFTFTFT";
    e.monthType = 1;
    e.monthDay0 = 31;
    e.monthEvery0 = 12;
    e.monthspecial1 = 4;
    e.monthDayorWeek1 = 8;
    e.monthEvery1 = 7;
    e.yearType = 1;
    e.yearDay0 = 29;
    e.yearMonth0 = 1;
    e.yearspecial1 = 2;
    e.yearDayorWeek1 = 5;
    e.yearMonth1 = 10;
    return e;
}

}  // namespace

class TestEventLists : public QObject {
    Q_OBJECT

private slots:
    void recordSurvivesTheRoundTrip() {
        StoreFixture f;
        f.dm->Layers = {{"Work", 0x000000FF, true}};
        tlist_of_event_orig list(*f.dm);
        tfield written = FullRecord();
        written.layerColor = 0x12345678;  // not stored: looked up again on reading
        const std::int64_t id = list.AddEvent(written);
        QVERIFY(id > 0);
        tfield read;
        QVERIFY(list.LoadEvent(id, read));
        written.id = id;
        written.layerColor = 0x000000FF;
        QVERIFY(read == written);
        QVERIFY(!list.query.active());
        QVERIFY(f.errors.shown.empty());
    }

    // The delivered table and the column list that reads and writes records hold the same
    // names: a column added to one and not the other fails here.
    void columnListIsTheTable() {
        StoreFixture f;
        platform::Query q(f.dm->ADOConnection);
        q.setSql("pragma table_info(eventtable)");
        q.open();
        QStringList table;
        for (; !q.eof(); q.next())
            table << QString::fromStdString(q.asString("name"));
        QStringList listed;
        for (const EventColumn& column : kEventColumns)
            listed << QString::fromLatin1(column.name);
        for (const char* name : EventColumns::ExtraColumnNames())
            listed << QString::fromLatin1(name);
        table.sort();
        listed.sort();
        QCOMPARE(table, listed);
    }

    void statementsAsWritten() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        list.AddEvent(OnceEvent("a", kJan1));
        QCOMPARE(list.query.sql(), std::string("select * from eventtable where id=0"));
        tfield e;
        list.LoadEvent(1, e);
        QCOMPARE(list.query.sql(), std::string("select *  from eventtable where id=1"));
        list.UpdateEvent(e);
        QCOMPARE(list.query.sql(), std::string("select *  from eventtable where id=1"));
        const std::vector<std::int64_t> ids{1, 2};
        list.FileEvents(ids, IdListBlanks::Around);
        QCOMPARE(list.query.sql(),
                 std::string("select lastFileTime,id from eventtable where id in  (1,2) "));
    }

    void idsAreNeverReused() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        const std::int64_t first = list.AddEvent(OnceEvent("a", kJan1));
        const std::int64_t second = list.AddEvent(OnceEvent("b", kJan1));
        QVERIFY(first > 0 && second > first);
        QVERIFY(list.DeleteEvents(std::vector<std::int64_t>{second}, IdListBlanks::Around));
        QVERIFY(list.AddEvent(OnceEvent("c", kJan1)) > second);
    }

    void nullColumnsReadAsEmpty() {
        StoreFixture f;
        f.dm->ADOConnection.exec("insert into eventtable (subject) values ('bare')");
        tlist_of_event_orig list(*f.dm);
        tfield e;
        e.lastFileTime = 5;
        e.weekSelected0 = "junk";
        QVERIFY(list.LoadEvent(1, e));
        QCOMPARE(e.subject, std::string("bare"));
        QCOMPARE(e.lastFileTime, 0.0);
        QCOMPARE(e.weekSelected0, std::string());
        QCOMPARE(e.layerColor, kUnknownLayerColor);
        QCOMPARE(e.alert, false);
    }

    void missingRowsLeaveRecordsAlone() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        tfield e = OnceEvent("kept", kJan1);
        e.id = 99;
        QVERIFY(!list.LoadEvent(99, e));
        QCOMPARE(e.subject, std::string("kept"));
        QVERIFY(!list.UpdateEvent(e));
        f.dm->ADOQuery.setSql("select count(*) as n from eventtable");
        f.dm->ADOQuery.open();
        QCOMPARE(f.dm->ADOQuery.asInteger("n"), std::int64_t(0));
        QVERIFY(f.errors.shown.empty());
    }

    // The editor's record carries the lastFileTime it was loaded with; an archive made while
    // it was open must survive the save, and so must the edits.
    void saveEditedEventKeepsTheLaterArchive_data() {
        QTest::addColumn<double>("stored");
        QTest::addColumn<double>("loaded");
        QTest::addColumn<double>("kept");
        QTest::newRow("archived while editing") << 46390.5 << 0.0 << 46390.5;
        QTest::newRow("archived again while editing") << 46390.5 << 46389.25 << 46390.5;
        QTest::newRow("never archived") << 0.0 << 0.0 << 0.0;
        QTest::newRow("stored value older") << 46389.25 << 46390.5 << 46390.5;
    }
    void saveEditedEventKeepsTheLaterArchive() {
        QFETCH(double, stored);
        QFETCH(double, loaded);
        QFETCH(double, kept);
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        tfield e = OnceEvent("before", kJan1);
        e.id = list.AddEvent(e);
        e.lastFileTime = loaded;
        tfield archived = e;
        archived.lastFileTime = stored;
        QVERIFY(list.UpdateEvent(archived));
        e.subject = "after";
        QCOMPARE(list.SaveEditedEvent(e), EditedEventSave::Saved);
        QCOMPARE(e.lastFileTime, kept);
        tfield read;
        QVERIFY(list.LoadEvent(e.id, read));
        QCOMPARE(read.subject, std::string("after"));
        QCOMPARE(read.lastFileTime, kept);
        QVERIFY(f.errors.shown.empty());
    }

    void saveEditedEventTellsOfAGoneRow() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        tfield e = OnceEvent("edited", kJan1);
        e.id = list.AddEvent(e);
        QVERIFY(list.DeleteEvents(std::vector<std::int64_t>{e.id}, IdListBlanks::None));
        QCOMPARE(list.SaveEditedEvent(e), EditedEventSave::RowGone);
        QVERIFY(!list.query.active());
        f.dm->ADOQuery.setSql("select count(*) as n from eventtable");
        f.dm->ADOQuery.open();
        QCOMPARE(f.dm->ADOQuery.asInteger("n"), std::int64_t(0));
        QVERIFY(f.errors.shown.empty());
    }

    void updateRewritesTheRow() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        tfield e = FullRecord();
        e.id = list.AddEvent(e);
        e.subject = "changed";
        e.repeatType = kRepeatDaily;
        e.lastFileTime = 0;
        QVERIFY(list.UpdateEvent(e));
        tfield read;
        QVERIFY(list.LoadEvent(e.id, read));
        QCOMPARE(read.subject, std::string("changed"));
        QCOMPARE(read.repeatType, 1);
        QCOMPARE(read.lastFileTime, 0.0);
    }

    void archivingStampsOnlyExistingRows() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        const std::int64_t a = list.AddEvent(OnceEvent("a", kJan1));
        const std::int64_t b = list.AddEvent(OnceEvent("b", kJan1));
        const std::int64_t c = list.AddEvent(OnceEvent("c", kJan1));
        const TDateTime now = EncodeDateTime(2026, 12, 8, 10, 0);
        clock::ScopedFakeClock fake(now);
        QVERIFY(list.FileEvents(std::vector<std::int64_t>{a, 777, c}, IdListBlanks::Around));
        tfield e;
        list.LoadEvent(a, e);
        QCOMPARE(e.lastFileTime, now);
        list.LoadEvent(b, e);
        QCOMPARE(e.lastFileTime, 0.0);
        list.LoadEvent(c, e);
        QCOMPARE(e.lastFileTime, now);
        QVERIFY(!list.FileEvents(std::vector<std::int64_t>{555, 556}, IdListBlanks::None));
        QVERIFY(f.errors.shown.empty());
    }

    void idListTexts_data() {
        QTest::addColumn<QList<qint64>>("ids");
        QTest::addColumn<int>("blanks");
        QTest::addColumn<QString>("text");
        const int none = int(IdListBlanks::None);
        const int before = int(IdListBlanks::Before);
        const int around = int(IdListBlanks::Around);
        QTest::newRow("no ids") << QList<qint64>{} << around << "";
        QTest::newRow("no ids, no blanks") << QList<qint64>{} << none << "";
        QTest::newRow("one, grid") << QList<qint64>{7} << none << "(7)";
        QTest::newRow("one, alarm window") << QList<qint64>{7} << before << " (7)";
        QTest::newRow("one, selection") << QList<qint64>{7} << around << " (7) ";
        QTest::newRow("many in the given order")
            << QList<qint64>{12, 4294967297, 1, 9223372036854775807} << around
            << " (12,4294967297,1,9223372036854775807) ";
    }
    void idListTexts() {
        QFETCH(QList<qint64>, ids);
        QFETCH(int, blanks);
        QFETCH(QString, text);
        const std::vector<std::int64_t> list(ids.begin(), ids.end());
        QCOMPARE(QString::fromStdString(IdListText(list, IdListBlanks(blanks))), text);
    }

    // Ids beyond 32 bits reach the right rows: 4294967297 is not row 1.
    void idsBeyondThirtyTwoBits() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        const std::int64_t low = list.AddEvent(OnceEvent("low", kJan1));
        QCOMPARE(low, std::int64_t(1));
        f.dm->ADOConnection.exec(
            "insert into eventtable (id, subject, layername) values (4294967297, 'high', 'Work')");
        QCOMPARE(list.AddEvent(OnceEvent("next", kJan1)), std::int64_t(4294967298));

        tfield high;
        QVERIFY(list.LoadEvent(4294967297, high));
        QCOMPARE(high.id, std::int64_t(4294967297));
        QCOMPARE(high.subject, std::string("high"));
        high.subject = "high, edited";
        QVERIFY(list.UpdateEvent(high));
        tfield read;
        QVERIFY(list.LoadEvent(low, read));
        QCOMPARE(read.subject, std::string("low"));

        f.dm->Layers = {{"Work", 0, true}};
        tArrayofField month;
        QVERIFY(LoadMonthEvents(*f.dm, 0, kJan1 + 10, month));
        auto ids = Ids(month);
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, (std::vector<std::int64_t>{1, 4294967297, 4294967298}));

        const std::vector<std::int64_t> doomed{4294967297};
        QVERIFY(list.DeleteEvents(doomed, IdListBlanks::None));
        QVERIFY(list.LoadEvent(low, read));
        QVERIFY(!list.LoadEvent(4294967297, read));
        QVERIFY(f.errors.shown.empty());
    }

    void emptyIdListTouchesNothing() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        list.AddEvent(OnceEvent("a", kJan1));
        list.AddEvent(OnceEvent("b", kJan1));
        QVERIFY(list.DeleteEvents({}, IdListBlanks::Around));
        QVERIFY(!list.FileEvents({}, IdListBlanks::Around));
        tfield e;
        QVERIFY(list.LoadEvent(1, e));
        QCOMPARE(e.lastFileTime, 0.0);
        QVERIFY(list.LoadEvent(2, e));
        QVERIFY(f.errors.shown.empty());
    }

    // Rows archived together carry one moment, even when the clock moves on meanwhile.
    void archivingReadsTheClockOnce() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        std::vector<std::int64_t> ids;
        for (int i = 0; i < 3; ++i) {
            ids.push_back(list.AddEvent(OnceEvent("e", kJan1)));
        }
        const TDateTime start = EncodeDateTime(2026, 12, 8, 23, 59, 59);
        int readings = 0;
        clock::SetNowForTesting([&] { return start + readings++ / 86400.0; });
        const bool filed = list.FileEvents(ids, IdListBlanks::Around);
        clock::SetNowForTesting({});
        QVERIFY(filed);
        for (const std::int64_t id : ids) {
            tfield e;
            QVERIFY(list.LoadEvent(id, e));
            QCOMPARE(e.lastFileTime, start);
        }
    }

    void failingStatementShowsMessageAndStatement() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        const std::string sql = "select * from eventtable where nosuchcolumn=1";
        QVERIFY(!list.OpenStatement(sql));
        QVERIFY(!list.query.active());
        QCOMPARE(int(f.errors.shown.size()), 1);
        const std::string& shown = f.errors.shown[0];
        const std::string intro =
            "Please capture the following error message and send to author.\r";
        QVERIFY(shown.rfind(intro, 0) == 0);
        QVERIFY(shown.find("nosuchcolumn") != std::string::npos);
        QVERIFY(shown.size() > intro.size() + sql.size() + 2);
        QCOMPARE(shown.substr(shown.size() - sql.size() - 2), "\r\r" + sql);
        tfield e;
        e.subject = "unchanged";
        f.dm->ADOConnection.exec("alter table eventtable rename to moved");
        QVERIFY(!list.FileEvents(std::vector<std::int64_t>{1}, IdListBlanks::Around));
        QCOMPARE(int(f.errors.shown.size()), 2);
    }

    void addWithoutDatabaseFailsLoudly() {
        StoreFixture f;
        f.dm->Disconnect();
        tlist_of_event_orig list(*f.dm);
        QCOMPARE(list.AddEvent(OnceEvent("lost?", kJan1)), 0);
        QCOMPARE(int(f.errors.shown.size()), 1);
        QVERIFY(!list.DeleteEvents(std::vector<std::int64_t>{1}, IdListBlanks::Around));
        QCOMPARE(int(f.errors.shown.size()), 2);
    }

    void activeLayerCondition_data() {
        QTest::addColumn<int>("activeMask");
        QTest::addColumn<QString>("condition");
        QTest::newRow("none") << 0 << " and (layername in ('216vg2K3fP67Gf'))";
        QTest::newRow("work and home")
            << 3 << " and (layername in ('216vg2K3fP67Gf','Work','Home'))";
        QTest::newRow("sport only") << 4 << " and (layername in ('216vg2K3fP67Gf','Sport'))";
    }
    void activeLayerCondition() {
        QFETCH(int, activeMask);
        QFETCH(QString, condition);
        const arraylayinfo layers{{"Work", 0, (activeMask & 1) != 0},
                                  {"Home", 0, (activeMask & 2) != 0},
                                  {"Sport", 0, (activeMask & 4) != 0}};
        QCOMPARE(QString::fromStdString(ActiveLayerCondition(layers)), condition);
    }

    void monthStatementOfJanuary2006() {
        const arraylayinfo layers{{"Work", 0, true}, {"Home", 0, false}};
        QCOMPARE(MonthStatement(EncodeDate(2006, 1, 1), EncodeDate(2006, 1, 31), layers),
                 std::string("SELECT * FROM eventtable WHERE (not ((begindate>38748) or "
                             "(enddate<38718))) and (layername in ('216vg2K3fP67Gf','Work')) "
                             "order by begintime"));
    }

    void monthLoadsOverlappingEventsOfActiveLayers() {
        StoreFixture f;
        f.dm->Layers = {{"Work", 0x000000FF, true}, {"Home", 0x0000FF00, true}, {"Off", 0, false}};
        tlist_of_event_orig list(*f.dm);
        const auto add = [&](tfield e) { return list.AddEvent(e); };
        tfield span = OnceEvent("span", EncodeDate(2006, 1, 25));
        span.repeatType = kRepeatDaily;
        span.enddate = EncodeDate(2006, 2, 5);
        const std::int64_t spanId = add(span);
        const std::int64_t endOfJan = add(OnceEvent("31st", EncodeDate(2006, 1, 31)));
        const std::int64_t feb = add(OnceEvent("feb", EncodeDate(2006, 2, 1)));
        add(OnceEvent("hidden layer", EncodeDate(2006, 1, 10), 0, "Off"));
        const std::int64_t home = add(OnceEvent("home", EncodeDate(2006, 1, 10), 0, "Home"));

        // Each caller owns what it loads: a second month leaves the first one's events alone.
        tArrayofField january;
        tArrayofField february;
        QVERIFY(LoadMonthEvents(*f.dm, EncodeDate(2006, 1, 1), EncodeDate(2006, 1, 31), january));
        QVERIFY(LoadMonthEvents(*f.dm, EncodeDate(2006, 2, 1), EncodeDate(2006, 2, 28), february));
        auto ids = Ids(january);
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, (std::vector<std::int64_t>{spanId, endOfJan, home}));
        ids = Ids(february);
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, (std::vector<std::int64_t>{spanId, feb}));

        for (tlayinfo& layer : f.dm->Layers) {
            layer.active = false;
        }
        QVERIFY(LoadMonthEvents(*f.dm, EncodeDate(2006, 1, 1), EncodeDate(2006, 1, 31), january));
        QVERIFY(january.empty());
        QVERIFY(!f.dm->ADOQuery.active());
    }

    void dayLinesFollowTheRules() {
        StoreFixture f;
        f.dm->Layers = {{"Work", 0x000000FF, true}, {"Work", 0x00008000, true}, {"Other", 0, true}};
        f.dm->Options.TimeFormat = "hh:nn";
        tlist_of_event_orig writer(*f.dm);
        writer.AddEvent(
            DailyEvent("every other", kJan1, EncodeDate(2006, 1, 31), 2, EncodeTime(9, 30)));
        tfield dentist = OnceEvent("Dentist", EncodeDate(2006, 1, 3), EncodeTime(9, 30));
        dentist.alert = true;
        writer.AddEvent(dentist);
        writer.AddEvent(OnceEvent("early", EncodeDate(2006, 1, 3), EncodeTime(7, 0), "Other"));
        tfield stray = OnceEvent("stray", EncodeDate(2006, 1, 3), EncodeTime(23, 0), "Gone");
        writer.AddEvent(stray);
        f.dm->Layers.push_back({"Gone", 0, true});  // loaded, then the layer disappears
        tArrayofField events;
        QVERIFY(LoadMonthEvents(*f.dm, kJan1, EncodeDate(2006, 1, 31), events));
        f.dm->Layers.pop_back();

        tlist_of_event month(*f.dm);
        QCOMPARE(Texts(month.ItemsOfDay(EncodeDate(2006, 1, 3), events)),
                 (std::vector<std::string>{"07:00 early", "09:30 every other", "09:30 !Dentist",
                                           "23:00 stray"}));
        const auto items = month.ItemsOfDay(EncodeDate(2006, 1, 3), events);
        QCOMPARE(items[1].layerColor, TColor(0x00008000));  // the later "Work" wins
        QCOMPARE(items[2].alert, true);
        QCOMPARE(items[3].layerColor, kUnknownLayerColor);
        QCOMPARE(Texts(month.ItemsOfDay(EncodeDate(2006, 1, 4), events)),
                 std::vector<std::string>{});
        int days = 0;
        for (int d = 0; d < 31; ++d) {
            days += month.ItemsOfDay(kJan1 + d, events).empty() ? 0 : 1;
        }
        QCOMPARE(days, 16);  // 1, 3, 5 .. 31
        // The whole month at once gives every day the same lines.
        const std::vector<mytitem_for_display> byDay = month.ItemsOfDays(kJan1 - 3, 37, events);
        QCOMPARE(byDay.size(), std::size_t(37));
        for (int d = 0; d < 37; ++d) {
            QCOMPARE(byDay[std::size_t(d)], month.ItemsOfDay(kJan1 - 3 + d, events));
        }
        // Loading window after window, each answers its own lines; nothing stays from before.
        tArrayofField fresh;
        QVERIFY(LoadMonthEvents(*f.dm, kJan1 - 3, kJan1 + 33, fresh));
        QCOMPARE(month.LoadMonthLines(kJan1 - 3, 37), month.ItemsOfDays(kJan1 - 3, 37, fresh));
        QCOMPARE(Texts(month.LoadMonthLines(EncodeDate(2006, 1, 3), 1).at(0)),
                 (std::vector<std::string>{"07:00 early", "09:30 every other", "09:30 !Dentist"}));
        f.dm->Options.TimeFormat = "hh:nn AM/PM";
        QCOMPARE(month.MakeItem(dentist).text.str(), std::string("09:30 AM !Dentist"));
    }

    void searchFiltersByRuleOnlyInModeZero() {
        StoreFixture f;
        f.dm->Layers = {{"Work", 0x00123456, true}};
        tlist_of_event_orig writer(*f.dm);
        tfield weekly = OnceEvent("mondays", kJan1);
        weekly.content = "weekly content";
        weekly.mynote = "weekly note";
        weekly.repeatType = kRepeatWeekly;
        weekly.enddate = EncodeDate(2006, 12, 31);
        weekly.weekEvery0 = 1;
        weekly.weekSelected0 = "FTFFFFF";
        const std::int64_t mondays = writer.AddEvent(weekly);
        tfield tuesday = OnceEvent("tuesday", EncodeDate(2006, 1, 3));
        tuesday.content = "ünïcödé";
        tuesday.mynote = "note";
        const std::int64_t once = writer.AddEvent(tuesday);

        tlist_of_event_for_Query search(*f.dm);
        const std::string sql = "select * from eventtable order by id";
        // Tuesday 3 January to Wednesday 4 January: no Monday in it.
        search.LoadFound(sql, 0, EncodeDate(2006, 1, 3), EncodeDate(2006, 1, 4));
        QCOMPARE(Ids(search.found), std::vector<std::int64_t>{once});
        search.LoadFound(sql, 1, EncodeDate(2006, 1, 3), EncodeDate(2006, 1, 4));
        QCOMPARE(Ids(search.found), (std::vector<std::int64_t>{mondays, once}));
        search.LoadFound(sql, 0, EncodeDate(2006, 1, 3), EncodeDate(2006, 1, 9));
        QCOMPARE(Ids(search.found), (std::vector<std::int64_t>{mondays, once}));
        // Every field of a found event is read, texts and layer colour included.
        for (const tfield& found : search.found) {
            tfield stored;
            QVERIFY(writer.LoadEvent(found.id, stored));
            QCOMPARE(found, stored);
        }
        search.LoadFound("select * from eventtable where id=-4", 1, 0, 0);
        QVERIFY(search.found.empty());
        search.LoadFound("select * from nowhere", 1, 0, 0);
        QVERIFY(search.found.empty());
        QCOMPARE(int(f.errors.shown.size()), 1);
    }
};

QTEST_APPLESS_MAIN(TestEventLists)
#include "test_eventlists.moc"
