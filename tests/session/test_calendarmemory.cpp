// The calendar in memory against the statements: on generated events of every kind, every
// answer the session gives from memory (month lines, due list, search, agenda) equals the
// statements' answer on the same file; then again after each of many random changes made
// through the session.

#include <QtTest>

#include <optional>
#include <random>

#include "cli/Agenda.h"
#include "core/Clock.h"
#include "session/CalendarSession.h"
#include "session/SoundPlayer.h"
#include "store/DueList.h"
#include "store/Occurrences.h"
#include "store/Transaction.h"
#include "support/StoreFixture.h"
#include "support/TestText.h"

using namespace qcal;
using namespace qcal::test;

namespace {

class NoSound final : public SoundPlayer {
public:
    void Play(const std::string&) override {}
};

const int kFirstDay = DayNumber(2026, 1, 1);
const int kSpan = 3 * 365;
const char* const kWords[] = {"Dentist", "Straße", "ÄRZTE", "don't",
                              "100%",    "a_b",    "Team",  "σίσυφος"};
const TDateTime kTimes[] = {0, 0.375, 0.375, 0.5625, 0.99, 0.7};

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int Int(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng_); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }
    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[std::size_t(Int(0, int(N) - 1))];
    }

    std::string Text() { return std::string(Pick(kWords)) + " " + std::to_string(Int(0, 99)); }

    tfield Event() {
        tfield e;
        const char* const layers[] = {"Work", "Work", "Home", "Hidden", "Unlisted"};
        e.layername = Pick(layers);
        e.alert = Chance(70);
        e.subject = Text();
        e.content = Chance(50) ? Text() : "";
        e.mynote = Chance(30) ? Text() : "";
        e.repeatType = Chance(3) ? 9 : Int(0, 4);
        e.begindate = kFirstDay + Int(0, kSpan);
        e.beginTime = Pick(kTimes);
        e.endtime = e.beginTime + 0.01;
        e.allDay = Chance(10);
        e.remindBefore = Chance(20) ? PickInt({15, 60, 1440, 40320}) : 0;
        if (e.repeatType == kRepeatNone) {
            e.enddate = e.begindate + (Chance(10) ? Int(1, 3) : 0);
        } else {
            e.enddate = e.begindate + Int(0, 800);
            e.openEnd = Chance(15);
            for (int n = Chance(20) ? Int(1, 3) : 0; n > 0; --n)
                e.exceptDays.push_back(int(e.begindate) + Int(0, 60));
            std::sort(e.exceptDays.begin(), e.exceptDays.end());
            e.exceptDays.erase(std::unique(e.exceptDays.begin(), e.exceptDays.end()),
                               e.exceptDays.end());
        }
        if (Chance(40))
            e.lastFileTime = e.begindate + Int(0, 400) + 0.25 * Int(0, 3);
        e.dayType = Int(0, 1);
        e.dayEvery0 = Int(1, 5);
        e.weekEvery0 = Int(1, 3);
        e.weekSelected0.clear();
        for (int d = 0; d < 7; ++d)
            e.weekSelected0 += Chance(35) ? 'T' : 'F';
        e.monthType = Int(0, 1);
        e.monthDay0 = Int(1, 31);
        e.monthEvery0 = Int(1, 4);
        e.monthspecial1 = Int(0, 4);
        e.monthDayorWeek1 = Int(0, 8);
        e.monthEvery1 = Int(1, 3);
        e.yearType = Int(0, 1);
        e.yearDay0 = Int(1, 31);
        e.yearMonth0 = Int(0, 11);
        e.yearspecial1 = Int(0, 4);
        e.yearDayorWeek1 = Int(0, 8);
        e.yearMonth1 = Int(0, 11);
        return e;
    }

    TDateTime Moment() { return kFirstDay + Int(0, kSpan) + Pick(kTimes) + Int(-2, 2) / 1440.0; }

private:
    int PickInt(std::initializer_list<int> items) {
        return *(items.begin() + Int(0, int(items.size()) - 1));
    }
    std::mt19937 rng_;
};

std::vector<std::int64_t> Ids(TDataMod& dm) {
    std::vector<std::int64_t> ids;
    platform::Query q(dm.ADOConnection);
    q.setSql("select id from eventtable order by id");
    for (q.open(); !q.eof(); q.next())
        ids.push_back(q.asInteger("id"));
    return ids;
}

// Seeds count events, and detaches an occurrence from every tenth repeating one.
void Seed(TDataMod& dm, Generator& gen, int count) {
    Transaction transaction(dm.ADOConnection);
    tlist_of_event_orig writer(dm);
    std::vector<std::int64_t> series;
    for (int i = 0; i < count; ++i) {
        const tfield e = gen.Event();
        const std::int64_t id = writer.AddEvent(e);
        if (e.repeatType != kRepeatNone && i % 10 == 0)
            series.push_back(id);
    }
    transaction.commit();
    for (const std::int64_t id : series) {
        tfield e;
        writer.LoadEvent(id, e);
        tfield once = DetachedOccurrence(e, int(e.begindate) + gen.Int(0, 30));
        once.subject += " moved";
        once.beginTime = 0.5625;
        StoreDetachedOccurrence(dm, once);
    }
}

struct Comparison {
    TDataMod& dm;
    CalendarSession& session;
    clock::ScopedFakeClock& clock;
    tlist_of_event_for_timer dueByTable{dm};
    tlist_of_event_for_timer dueInMemory{dm};
    // Kept from search to search, as the search page keeps its list.
    tlist_of_event_for_Query searchInMemory{dm};
    bool memoryBound = false;

    void Month(int day) {
        tlist_of_event list(dm);
        for (const int days : {42, 1}) {
            QVERIFY2(session.MonthLines(day, days) == list.LoadMonthLines(day, days),
                     qPrintable(QStringLiteral("lines of %1 days from %2").arg(days).arg(day)));
        }
    }

    // The due list rebuilt at the moment now, then looked at again later, both ways; and the
    // next due moment. The two lists live on from call to call, as the program's does.
    void Due(TDateTime now, TDateTime later) {
        if (!memoryBound) {
            dueInMemory.UseMemory(&session.Memory());
            memoryBound = true;
        }
        clock.set(now);
        dueByTable.RebuildDue();
        dueInMemory.RebuildDue();
        QVERIFY2(dueInMemory.dueEvents == dueByTable.dueEvents,
                 qPrintable(QStringLiteral("due at %1").arg(now, 0, 'f', 6)));
        QCOMPARE(dueInMemory.hasNew, dueByTable.hasNew);
        for (const TDateTime horizon : {120 / 86400.0, 2.0})
            QCOMPARE(dueInMemory.NextDueMoment(now, horizon),
                     dueByTable.NextDueMoment(now, horizon));
        clock.set(later);
        dueByTable.CheckNewDue();
        dueInMemory.CheckNewDue();
        QVERIFY2(dueInMemory.dueEvents == dueByTable.dueEvents,
                 qPrintable(QStringLiteral("new at %1").arg(later, 0, 'f', 6)));
        QCOMPARE(dueInMemory.hasNew, dueByTable.hasNew);
    }

    void Search(int type, int today, const char* keyword, bool subject, bool content, bool note) {
        const SearchPeriod period = PeriodOfSearchType(type, today, today - 40, today + 90);
        SearchRequest request;
        request.between = PeriodStart(period.between);
        request.andTime = PeriodEnd(period.andDay);
        request.archived = period.archived;
        request.includeText = keyword != nullptr;
        request.keyword = keyword ? keyword : "";
        request.subject = subject;
        request.content = content;
        request.note = note;
        const SearchStatement statement = BuildSearchStatement(request, dm.Layers);
        QCOMPARE(int(statement.refusal), int(SearchRefusal::None));
        tlist_of_event_for_Query table(dm);
        tlist_of_event_for_Query& memory = searchInMemory;
        table.LoadFound(statement.sql, period.archived ? 1 : 0, request.between, request.andTime);
        session.FindEvents(request, statement.sql, memory);
        QVERIFY2(memory.found == table.found,
                 qPrintable(QStringLiteral("search %1 '%2': %3 found, %4 by the statement")
                                .arg(type)
                                .arg(QString::fromUtf8(keyword ? keyword : ""))
                                .arg(memory.found.size())
                                .arg(table.found.size())));
    }

    // The layers of the events, as the statement of the layer list finds them.
    void Layers() {
        std::vector<std::string> memory;
        QVERIFY(session.Memory().LayersOfEvents(memory));
        std::vector<std::string> table;
        platform::Query q(dm.ADOConnection);
        q.setSql(
            "select layername from eventtable where layername is not null "
            "group by layername order by min(id)");
        for (q.open(); !q.eof(); q.next())
            table.push_back(q.asString("layername"));
        QCOMPARE(memory, table);
    }

    void Agenda(int day) {
        for (const bool all : {false, true}) {
            QVERIFY2(cli::AgendaLines(session.Memory(), dm.Layers, day, 30, all) ==
                         cli::AgendaLines(dm, day, 30, all),
                     qPrintable(QStringLiteral("agenda from %1").arg(day)));
        }
    }
};

struct Keyword {
    const char* text;
    bool subject, content, note;
};
const Keyword kKeywords[] = {{nullptr, true, true, true},     {"straße", true, true, true},
                             {"ärzte", true, false, false},   {"don''t", false, true, true},
                             {"_b", true, true, false},       {"SIΣΥΦ", false, false, true},
                             {"  team 1  ", true, true, true}};

}  // namespace

class TestCalendarMemory : public QObject {
    Q_OBJECT
private slots:
    void answersEqualStatements_data();
    void answersEqualStatements();
    void staysEqualAfterChanges_data();
    void staysEqualAfterChanges();
    void keepsTextsThroughManyEdits();
    void layersOfEvents_data();
    void layersOfEvents();
};

void TestCalendarMemory::answersEqualStatements_data() {
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<int>("events");
    QTest::newRow("few") << 7u << 300;
    QTest::newRow("thousands") << 11u << 2500;
}

void TestCalendarMemory::answersEqualStatements() {
    QFETCH(unsigned, seed);
    QFETCH(int, events);
    StoreFixture store;
    TDataMod& dm = *store.dm;
    // What is compared is what the file holds, not whether it reached the disk.
    dm.ADOConnection.exec("PRAGMA synchronous=OFF");
    dm.Layers = {{"Work", 0xFF, true}, {"Home", 0xFF00, true}, {"Hidden", 0xFF0000, false}};
    Generator gen(seed);
    Seed(dm, gen, events);
    clock::ScopedFakeClock clock(kFirstDay + 400 + 0.5);
    NoSound sound;
    CalendarSession session(dm, sound);
    QVERIFY(session.Memory().Valid());
    QCOMPARE(session.Memory().Count(), Ids(dm).size());
    Comparison compare{dm, session, clock};
    for (int day = kFirstDay - 40; day < kFirstDay + kSpan + 60; day += 29) {
        compare.Month(day);
        compare.Agenda(day);
    }
    for (int n = 0; n < 30; ++n) {
        const TDateTime now = gen.Moment();
        // Just before and after midnight too, where the archived-today test turns.
        compare.Due(now, now + gen.Int(0, 3) + 0.3);
        compare.Due(DayOf(now) + 1 - 20 / 86400.0, DayOf(now) + 1 + 20 / 86400.0);
    }
    for (int today = kFirstDay; today < kFirstDay + kSpan; today += 181) {
        for (int type = 0; type < kSearchTypeCount; ++type) {
            for (const Keyword& k : kKeywords)
                compare.Search(type, today, k.text, k.subject, k.content, k.note);
        }
    }
}

void TestCalendarMemory::staysEqualAfterChanges_data() {
    QTest::addColumn<unsigned>("seed");
    QTest::newRow("first") << 3u;
}

void TestCalendarMemory::staysEqualAfterChanges() {
    QFETCH(unsigned, seed);
    StoreFixture store;
    TDataMod& dm = *store.dm;
    // What is compared is what the file holds, not whether it reached the disk.
    dm.ADOConnection.exec("PRAGMA synchronous=OFF");
    dm.Layers = {{"Work", 0xFF, true}, {"Home", 0xFF00, true}, {"Hidden", 0xFF0000, false}};
    dm.SaveLayers();
    Generator gen(seed);
    Seed(dm, gen, 1000);
    clock::ScopedFakeClock clock(kFirstDay + 300 + 0.5);
    NoSound sound;
    CalendarSession session(dm, sound);
    Comparison compare{dm, session, clock};
    TDateTime now = kFirstDay + 300 + 0.5;
    for (int step = 0; step < 200; ++step) {
        const std::vector<std::int64_t> ids = Ids(dm);
        const std::int64_t some = ids[std::size_t(gen.Int(0, int(ids.size()) - 1))];
        tfield event;
        session.LoadEvent(some, event);
        clock.set(now);
        switch (gen.Int(0, 8)) {
            case 0:
                QVERIFY(session.AddEvent(gen.Event()) != 0);
                break;
            case 1: {
                const tfield fresh = gen.Event();
                event.begindate = fresh.begindate;
                event.enddate = std::max(fresh.enddate, fresh.begindate);
                event.beginTime = fresh.beginTime;
                event.alert = fresh.alert;
                event.subject = fresh.subject;
                event.layername = fresh.layername;
                event.remindBefore = fresh.remindBefore;
                QVERIFY(session.SaveEditedEvent(event) == EditedEventSave::Saved);
                break;
            }
            case 2: {
                const std::int64_t two[] = {some,
                                            ids[std::size_t(gen.Int(0, int(ids.size()) - 1))]};
                QVERIFY(session.DeleteEvents(two, IdListBlanks::Around));
                break;
            }
            case 3: {
                const std::int64_t one[] = {some};
                session.ArchiveEvents(one, IdListBlanks::Around, false);
                break;
            }
            case 4: {
                const std::size_t index = std::size_t(gen.Int(0, 1));
                if (gen.Int(0, 1) == 0) {  // a new colour, from the layer dialog
                    dm.Layers[index].color ^= 0x123456;
                    dm.SaveLayers();
                    session.LayersEdited();
                    break;
                }
                const std::string old = dm.Layers[index].name;
                const std::string renamed = old + "x";
                dm.Layers[index].name = renamed;
                dm.SaveLayers();
                session.RenameLayer(index, old, renamed);
                break;
            }
            case 5:
                if (event.repeatType != kRepeatNone)
                    session.TakeOutOccurrence(some, int(event.begindate) + gen.Int(0, 20));
                break;
            case 6:
                if (event.repeatType != kRepeatNone) {
                    tfield once = DetachedOccurrence(event, int(event.begindate) + gen.Int(0, 20));
                    once.subject = "detached";
                    QVERIFY(session.StoreDetachedOccurrence(once) != 0);
                }
                break;
            case 7: {  // another program writes: the memory reads everything again
                TDataMod other(store.folder(), store.errors);
                QVERIFY(tlist_of_event_orig(other).AddEvent(gen.Event()) != 0);
                break;
            }
            default:
                now += gen.Int(1, 40) / 24.0;
                break;
        }
        const int day = int(event.begindate) - 10;
        compare.Month(day);
        compare.Agenda(day);
        compare.Due(now, now + 0.1);
        compare.Search(kSearchThisMonth, day, nullptr, true, true, true);
        compare.Search(kSearchArchived, DayOf(now), "a", true, true, true);
        compare.Layers();
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("after step %1").arg(step)));
    }
    QCOMPARE(session.Memory().Count(), Ids(dm).size());
}

// Edits that leave most of the kept text behind: the text store is rewritten on the way and
// every text still reads as stored.
void TestCalendarMemory::keepsTextsThroughManyEdits() {
    StoreFixture store;
    TDataMod& dm = *store.dm;
    dm.ADOConnection.exec("PRAGMA synchronous=OFF");
    dm.Layers = {{"Work", 0xFF, true}};
    Generator gen(9);
    Seed(dm, gen, 50);
    clock::ScopedFakeClock clock(kFirstDay + 10.5);
    NoSound sound;
    CalendarSession session(dm, sound);
    const std::vector<std::int64_t> ids = Ids(dm);
    for (int edit = 0; edit < 40; ++edit) {
        tfield event;
        QVERIFY(session.LoadEvent(ids[std::size_t(edit % 3)], event));
        event.mynote = std::string(64 * 1024, char('a' + edit % 26)) + " Straße";
        QVERIFY(session.SaveEditedEvent(event) == EditedEventSave::Saved);
    }
    for (const std::int64_t id : ids) {
        tfield stored;
        QVERIFY(session.LoadEvent(id, stored));
        QVERIFY(session.Memory().Find(id) != nullptr);
        QVERIFY(session.Memory().Field(*session.Memory().Find(id), dm.Layers) == stored);
    }
    Comparison compare{dm, session, clock};
    compare.Search(kSearchArchived, kFirstDay + 2000, "straße", false, false, true);
    compare.Search(kSearchThisYear, kFirstDay + 400, "straße", true, true, true);
}

// The layers of the events from memory: those of the statement, names left out or empty
// alike; a name stored otherwise than as text is left to the statement.
void TestCalendarMemory::layersOfEvents_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("answered");
    QTest::newRow("as written") << QString() << true;
    QTest::newRow("no name") << Q("update eventtable set layername=null where id%3=0") << true;
    QTest::newRow("empty name") << Q("update eventtable set layername='' where id%4=1") << true;
    QTest::newRow("stored as bytes")
        << Q("update eventtable set layername=cast('Work' as blob) where id%7=0") << false;
}

void TestCalendarMemory::layersOfEvents() {
    QFETCH(QString, change);
    QFETCH(bool, answered);
    StoreFixture store;
    TDataMod& dm = *store.dm;
    dm.ADOConnection.exec("PRAGMA synchronous=OFF");
    Generator gen(5);
    Seed(dm, gen, 200);
    if (!change.isEmpty())
        dm.ADOConnection.exec(change.toStdString());
    clock::ScopedFakeClock clock(kFirstDay + 10.5);
    NoSound sound;
    CalendarSession session(dm, sound);
    std::vector<std::string> names;
    QCOMPARE(session.Memory().LayersOfEvents(names), answered);
    if (answered) {
        Comparison compare{dm, session, clock};
        compare.Layers();
    }
}

QTEST_GUILESS_MAIN(TestCalendarMemory)
#include "test_calendarmemory.moc"
