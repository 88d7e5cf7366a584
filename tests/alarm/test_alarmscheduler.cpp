// The alarm scheduler against a real database: its timers' handlers are run by hand on a
// fake clock, the alarm window is a recording double that listens to the scheduler and
// archives like a user would.

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtWidgets/QApplication>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "alarm/QtSoundPlayer.h"
#include "core/Clock.h"
#include "session/AlarmScheduler.h"
#include "session/SoundPlayer.h"
#include "store/DataModule.h"
#include "store/Occurrences.h"
#include "support/StoreFixture.h"
#include "widgets/MessageBox.h"

using namespace qcal;
using qcal::test::Alarm;
using qcal::test::DailyEvent;
using qcal::test::OnceEvent;
using qcal::test::StoreFixture;
using qcal::test::Subjects;

namespace {

tfield Filed(tfield e, TDateTime at) {
    e.lastFileTime = at;
    return e;
}

// Every week on one weekday (1 Sunday .. 7 Saturday).
tfield WeeklyEvent(const std::string& subject, TDateTime from, int weekday, TDateTime time) {
    tfield e = OnceEvent(subject, from, time);
    e.repeatType = kRepeatWeekly;
    e.enddate = EncodeDate(2099, 12, 31);
    e.weekSelected0 = "FFFFFFF";
    e.weekSelected0[std::size_t(weekday - 1)] = 'T';
    return e;
}

tfield Daily(const std::string& subject, TDateTime from, TDateTime time) {
    return DailyEvent(subject, from, EncodeDate(2099, 12, 31), 1, time);
}

std::time_t Utc(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return timegm(&tm);
}

// The wall-clock date-time of a moment in the process's time zone.
TDateTime LocalOf(std::time_t moment) {
    std::tm tm{};
    localtime_r(&moment, &tm);
    return EncodeDateTime(tm.tm_year + 1900, unsigned(tm.tm_mon + 1), unsigned(tm.tm_mday),
                          tm.tm_hour, tm.tm_min, tm.tm_sec);
}

const TDateTime kToday = EncodeDate(2027, 1, 1);  // a Friday

class RecordingSound final : public SoundPlayer {
public:
    void Play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

// Stands in for the alarm window: counts the refills, and when alarms are raised it comes up
// (once: a second window while it shows is a misuse), records what it lists, may archive
// everything and, unless told to stay, is closed at once by its user.
class RecordingView final : public QObject {
public:
    RecordingView(TDataMod& dm, AlarmScheduler& scheduler) : dm_(dm), scheduler_(scheduler) {
        connect(&scheduler, &AlarmScheduler::dueListChanged, this, [this] {
            ++fills;
            rows = Subjects(scheduler_.Due().dueEvents);
        });
        connect(&scheduler, &AlarmScheduler::alarmsRaised, this, &RecordingView::Raise);
        connect(&scheduler, &AlarmScheduler::nothingPending, this, [this] { ++nothing; });
    }

    void Raise() {
        ++execs;
        if (open) {
            misuse = true;
        }
        open = true;
        scheduler_.WindowShown();
        for (const tfield& e : scheduler_.Due().dueEvents) {
            raised[e.subject].push_back(clock::Now());
        }
        if (whileOpen) {
            whileOpen();
        }
        if (archive) {
            std::vector<std::int64_t> ids;
            for (const tfield& e : scheduler_.Due().dueEvents) {
                ids.push_back(e.id);
            }
            tlist_of_event_orig(dm_).FileEvents(ids, IdListBlanks::Around);
            scheduler_.Due().RebuildDue();
        }
        if (!stays) {
            Close();
        }
    }
    void Close() {
        open = false;
        dm_.IsAlarmShowing = false;
    }

    int fills = 0;
    int execs = 0;
    int nothing = 0;
    bool open = false;
    bool stays = false;
    bool misuse = false;
    bool archive = false;
    std::vector<std::string> rows;
    std::map<std::string, std::vector<TDateTime>> raised;
    std::function<void()> whileOpen;

private:
    TDataMod& dm_;
    AlarmScheduler& scheduler_;
};

// A program folder with a database, the clock pinned at now, and a scheduler whose window
// is the recording double.
struct SchedulerFixture {
    explicit SchedulerFixture(TDateTime start) : now(start), writer(*store.dm) {
        clock::SetNowForTesting([this] { return now; });
        desktop::MessageBox::StartRecording();
        scheduler = std::make_unique<AlarmScheduler>(*store.dm, sound);
        view = std::make_unique<RecordingView>(*store.dm, *scheduler);
    }
    ~SchedulerFixture() {
        view.reset();
        scheduler.reset();
        desktop::MessageBox::StopRecording();
        clock::SetNowForTesting({});
    }
    SchedulerFixture(const SchedulerFixture&) = delete;
    SchedulerFixture& operator=(const SchedulerFixture&) = delete;

    std::int64_t Add(const tfield& e) { return writer.AddEvent(e); }
    std::vector<std::string> Due() const { return Subjects(scheduler->Due().dueEvents); }
    bool Listed(const std::string& subject) const {
        for (const tfield& e : scheduler->Due().dueEvents) {
            if (e.subject == subject) {
                return true;
            }
        }
        return false;
    }
    void ArchiveAll() {
        std::vector<std::int64_t> ids;
        for (const tfield& e : scheduler->Due().dueEvents) {
            ids.push_back(e.id);
        }
        writer.FileEvents(ids, IdListBlanks::Around);
        scheduler->Due().RebuildDue();
    }

    TDateTime now;
    StoreFixture store;
    tlist_of_event_orig writer;
    RecordingSound sound;
    std::unique_ptr<AlarmScheduler> scheduler;
    std::unique_ptr<RecordingView> view;
};

// One step of an edge-case script.
// Detach moves the occurrence of the step's day to 11:00 as a detached occurrence; TakeOut
// takes the step's day out of the series; both are followed by the refresh the program does
// after every change.
enum class Act { StartUp, Tick, Archive, Refresh, DayCheck, Detach, TakeOut };
struct Step {
    TDateTime at;
    Act act;
    bool listed;  // the event is in the due list afterwards
};
using Script = std::vector<Step>;

// One stretch of running time: the timers fire on their cadence from `from` to `to` (UTC).
struct Run {
    std::time_t from;
    std::time_t to;
};
using Runs = std::vector<Run>;
using Expected = std::map<std::string, std::vector<std::time_t>>;

}  // namespace

Q_DECLARE_METATYPE(tfield)
Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(std::vector<tfield>)
Q_DECLARE_METATYPE(Runs)
Q_DECLARE_METATYPE(Expected)

class TestAlarmScheduler : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The clock-change runs need the daylight-saving changes of a real zone.
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        QCOMPARE(LocalOf(Utc(2027, 1, 15, 12, 0)), EncodeDateTime(2027, 1, 15, 13, 0));
        QCOMPARE(LocalOf(Utc(2027, 7, 15, 12, 0)), EncodeDateTime(2027, 7, 15, 14, 0));
    }

    void edgeCases_data() {
        QTest::addColumn<tfield>("event");
        QTest::addColumn<Script>("script");
        const TDateTime d = kToday;
        QTest::newRow("daily 09:00 archived yesterday is due from 08:58:59.52")
            << Filed(Alarm(Daily("e", d - 10, EncodeTime(9, 0))), d - 1 + EncodeTime(10, 0))
            << Script{{d + EncodeTime(8, 0), Act::StartUp, false},
                      {d + EncodeTime(8, 58, 59, 500), Act::Tick, false},
                      {d + EncodeTime(8, 58, 59, 540), Act::Tick, true}};
        QTest::newRow("once-only 50 s ahead is listed from its moment")
            << Alarm(OnceEvent("e", d, EncodeTime(10, 31)))
            << Script{{d + EncodeTime(10, 30, 10), Act::StartUp, false},
                      {d + EncodeTime(10, 30, 59, 999), Act::Tick, false},
                      {d + EncodeTime(10, 31, 0, 1), Act::Tick, true},
                      {d + 3, Act::Refresh, true}};
        QTest::newRow("once-only without alarm never")
            << OnceEvent("e", d, EncodeTime(9, 0))
            << Script{{d + EncodeTime(10, 0), Act::StartUp, false}, {d + 1, Act::Tick, false}};
        QTest::newRow("once-only archived once never again")
            << Filed(Alarm(OnceEvent("e", d + 2, EncodeTime(9, 0))), d - 3)
            << Script{{d + EncodeTime(10, 0), Act::StartUp, false}, {d + 5, Act::Tick, false}};
        // Mondays; the 21st and 28th of December were missed while the program was closed.
        QTest::newRow("weekly with missed occurrences is due at start-up")
            << Filed(Alarm(WeeklyEvent("e", EncodeDate(2026, 12, 7), 2, EncodeTime(9, 0))),
                     EncodeDateTime(2026, 12, 14, 10, 0))
            << Script{{d + EncodeTime(10, 0), Act::StartUp, true},
                      {d + EncodeTime(10, 1), Act::Archive, false},
                      {d + 1 + EncodeTime(9, 0), Act::Tick, false},
                      {d + 3 + EncodeTime(8, 0), Act::Tick, false},
                      {d + 3 + EncodeTime(9, 0), Act::Tick, true}};
        QTest::newRow("daily archived today waits for tomorrow")
            << Alarm(Daily("e", d - 1, EncodeTime(9, 0)))
            << Script{{d + EncodeTime(10, 0), Act::StartUp, true},
                      {d + EncodeTime(10, 1), Act::Archive, false},
                      {d + EncodeTime(23, 59), Act::Tick, false},
                      {d + 1 + EncodeTime(0, 3), Act::DayCheck, false},
                      {d + 1 + EncodeTime(8, 59), Act::Tick, true}};
        // One occurrence changed or taken out rings neither twice nor not at all.
        const tfield daily = Alarm(Daily("e", d - 10, EncodeTime(9, 0)));
        QTest::newRow("archived, then only this occurrence moved: no second alarm")
            << daily
            << Script{{d + EncodeTime(9, 5), Act::StartUp, true},
                      {d + EncodeTime(9, 6), Act::Archive, false},
                      {d + EncodeTime(9, 7), Act::Detach, false},
                      {d + EncodeTime(11, 0, 30), Act::Tick, false},
                      {d + 1 + EncodeTime(8, 59, 30), Act::Tick, true}};
        QTest::newRow("only this occurrence moved before its alarm: rings at the new time")
            << Filed(daily, d - 1 + EncodeTime(9, 1))
            << Script{{d + EncodeTime(8, 0), Act::StartUp, false},
                      {d + EncodeTime(8, 10), Act::Detach, false},
                      {d + EncodeTime(9, 0, 30), Act::Tick, false},
                      {d + EncodeTime(11, 0, 30), Act::Tick, true},
                      {d + EncodeTime(11, 1), Act::Archive, false},
                      {d + 1 + EncodeTime(8, 59, 30), Act::Tick, true}};
        QTest::newRow("a day taken out after archiving: the day after rings")
            << daily
            << Script{{d + EncodeTime(9, 5), Act::StartUp, true},
                      {d + EncodeTime(9, 6), Act::Archive, false},
                      {d + 1 + EncodeTime(0, 30), Act::TakeOut, false},
                      {d + 1 + EncodeTime(9, 0, 30), Act::Tick, false},
                      {d + 2 + EncodeTime(8, 59, 30), Act::Tick, true}};
        QTest::newRow("a day taken out keeps a missed occurrence due")
            << Filed(daily, d - 3 + EncodeTime(9, 1))
            << Script{{d + EncodeTime(8, 0), Act::StartUp, true},
                      {d + EncodeTime(8, 30), Act::TakeOut, true}};
        QTest::newRow("repeating archived after its end never")
            << Filed(Alarm(DailyEvent("e", d - 20, d - 5, 1, EncodeTime(9, 0))), d - 4)
            << Script{{d + EncodeTime(10, 0), Act::StartUp, false},
                      {d + EncodeTime(12, 0), Act::Refresh, false}};
    }

    void edgeCases() {
        QFETCH(tfield, event);
        QFETCH(Script, script);
        SchedulerFixture f(script.front().at);
        const std::int64_t id = f.Add(event);
        QVERIFY(id > 0);
        int raises = 0;
        for (std::size_t i = 0; i < script.size(); ++i) {
            const Step& step = script[i];
            const bool before = f.Listed("e");
            f.now = step.at;
            switch (step.act) {
                case Act::StartUp:
                    f.scheduler->FirstActivation();
                    break;
                case Act::Tick:
                    f.scheduler->TimerEvery1Timer();
                    break;
                case Act::Archive:
                    f.ArchiveAll();
                    break;
                case Act::Refresh:
                    f.scheduler->RefreshAlarms();
                    break;
                case Act::DayCheck:
                    f.scheduler->TimerFortdoayTimer();
                    break;
                case Act::Detach: {
                    tfield series;
                    QVERIFY(f.writer.LoadEvent(id, series));
                    tfield moved = DetachedOccurrence(series, DayOf(step.at));
                    moved.beginTime = moved.endtime = EncodeTime(11, 0);
                    QVERIFY(StoreDetachedOccurrence(*f.store.dm, moved) > 0);
                    f.scheduler->RefreshAlarms();
                    break;
                }
                case Act::TakeOut:
                    QVERIFY(TakeOutOccurrence(*f.store.dm, id, DayOf(step.at)));
                    f.scheduler->RefreshAlarms();
                    break;
            }
            QVERIFY2(f.Listed("e") == step.listed, qPrintable(QStringLiteral("step %1").arg(i)));
            if (step.listed && !before) {
                ++raises;  // every time it joins the list, the window comes up
            }
        }
        QCOMPARE(f.view->execs, raises);
        QVERIFY(!f.view->misuse);
        QVERIFY(f.store.errors.shown.empty());
    }

    // [A, B] + C gives [C, A, B]; a rebuild sorts by time of day and finds nothing new in
    // the same events; one more due event is new and shown.
    void newEventsFirstThenRebuildSorts() {
        const TDateTime d = kToday;
        SchedulerFixture f(d + EncodeTime(9, 30));
        f.Add(Alarm(OnceEvent("A", d, EncodeTime(8, 0))));
        f.Add(Alarm(OnceEvent("B", d, EncodeTime(9, 0))));
        f.scheduler->ShowPending(true);
        QCOMPARE(f.view->rows, (std::vector<std::string>{"A", "B"}));
        QCOMPARE(f.view->execs, 1);

        f.Add(Alarm(OnceEvent("C", d, EncodeTime(8, 30))));
        f.now = d + EncodeTime(9, 31);
        f.scheduler->TimerEvery1Timer();
        QCOMPARE(f.view->rows, (std::vector<std::string>{"C", "A", "B"}));
        QCOMPARE(f.view->execs, 2);
        QVERIFY(!f.scheduler->Due().hasNew);

        f.scheduler->RefreshAlarms();
        QCOMPARE(f.Due(), (std::vector<std::string>{"A", "C", "B"}));
        QCOMPARE(f.view->execs, 2);  // nothing new: not shown again

        f.Add(Alarm(OnceEvent("D", d, EncodeTime(9, 15))));
        f.scheduler->RefreshAlarms();
        QCOMPARE(f.view->rows, (std::vector<std::string>{"A", "C", "B", "D"}));
        QCOMPARE(f.view->execs, 3);
        QVERIFY(!f.scheduler->Due().hasNew);
        QVERIFY(desktop::MessageBox::TakeShown().isEmpty());
    }

    // The change of day empties the list and rebuilds it, every due event counting as new;
    // a clock set back changes nothing; with alarms off the list is only emptied.
    void dayChange_data() {
        QTest::addColumn<bool>("enabled");
        QTest::newRow("alarms on") << true;
        QTest::newRow("alarms off") << false;
    }

    void dayChange() {
        QFETCH(bool, enabled);
        const TDateTime d = kToday;
        SchedulerFixture f(d + EncodeTime(20, 0));
        f.store.dm->Options.IsAlarmEnabled = enabled;
        f.Add(Alarm(OnceEvent("late", d, EncodeTime(19, 0))));
        int monthRefreshes = 0;
        QObject::connect(f.scheduler.get(), &AlarmScheduler::dayChanged, [&] { ++monthRefreshes; });
        f.scheduler->ShowPending(false);
        QCOMPARE(f.view->execs, 1);

        f.now = d + EncodeTime(23, 58);
        f.scheduler->TimerFortdoayTimer();
        QCOMPARE(f.scheduler->LastDay, DayOf(d));
        QCOMPARE(f.Due(), std::vector<std::string>{"late"});

        f.now = d + 1 + EncodeTime(0, 3);
        f.scheduler->TimerFortdoayTimer();
        QCOMPARE(f.scheduler->LastDay, DayOf(d) + 1);
        QCOMPARE(monthRefreshes, 1);
        QCOMPARE(f.Due(), enabled ? std::vector<std::string>{"late"} : std::vector<std::string>{});
        QCOMPARE(f.view->execs, enabled ? 2 : 1);

        f.now = d + EncodeTime(23, 0);  // set back
        f.scheduler->TimerFortdoayTimer();
        f.now = d + 1 + EncodeTime(0, 8);
        f.scheduler->TimerFortdoayTimer();
        QCOMPARE(f.scheduler->LastDay, DayOf(d) + 1);
        QCOMPARE(monthRefreshes, 1);
        QCOMPARE(f.view->execs, enabled ? 2 : 1);
    }

    void tickWhileDisconnectedDoesNothing() {
        SchedulerFixture f(kToday + EncodeTime(10, 0));
        f.Add(Alarm(OnceEvent("e", kToday, EncodeTime(9, 0))));
        f.store.dm->Disconnect();
        f.scheduler->TimerEvery1Timer();
        QCOMPARE(f.view->fills, 0);
        QVERIFY(f.store.errors.shown.empty());
        QVERIFY(f.store.dm->Connect());
        f.scheduler->TimerEvery1Timer();
        QCOMPARE(f.view->execs, 1);
    }

    // While a backup, restore or compaction has the data, neither the hot key, the tray
    // menu nor a timer reads them or opens the alarm window (whose closing saves the options
    // over the files being restored); the change of day waits for the data.
    void releasedDataAreLeftAlone_data() {
        QTest::addColumn<int>("request");  // 0 Show Pending, 1 refresh, 2 remind again, 3 new day
        QTest::newRow("Show Pending from the hot key or the tray") << 0;
        QTest::newRow("refresh after a change") << 1;
        QTest::newRow("remind-again timer") << 2;
        QTest::newRow("change of day") << 3;
    }
    void releasedDataAreLeftAlone() {
        QFETCH(int, request);
        SchedulerFixture f(kToday + EncodeTime(10, 0));
        f.Add(Alarm(OnceEvent("e", kToday, EncodeTime(9, 0))));
        if (request == 2)
            f.scheduler->Due().RebuildDue();  // the list the window showed before
        f.store.dm->Release();
        f.now = kToday + 1 + EncodeTime(0, 10);
        const std::int32_t lastDay = f.scheduler->LastDay;
        const std::function<void()> requests[] = {
            [&] { f.scheduler->ShowPending(true); }, [&] { f.scheduler->RefreshAlarms(); },
            [&] { f.scheduler->TimerEvery15Timer(); }, [&] { f.scheduler->TimerFortdoayTimer(); }};
        requests[request]();
        QCOMPARE(f.view->fills, 0);
        QCOMPARE(f.view->execs, 0);
        QVERIFY(desktop::MessageBox::TakeShown().isEmpty());
        QVERIFY(f.store.errors.shown.empty());
        QCOMPARE(f.scheduler->LastDay, lastDay);
        QVERIFY(f.store.dm->Connect());
        requests[request]();
        QCOMPARE(f.view->execs, 1);
    }

    void showPending_data() {
        QTest::addColumn<bool>("somethingDue");
        QTest::addColumn<bool>("windowOpen");
        QTest::addColumn<bool>("sayIfEmpty");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("execs");
        QTest::newRow("nothing due, asked") << false << false << true << 1 << 0;
        QTest::newRow("nothing due, window open") << false << true << true << 0 << 0;
        QTest::newRow("nothing due, start-up") << false << false << false << 0 << 0;
        QTest::newRow("due") << true << false << true << 0 << 1;
        QTest::newRow("due, window open: refilled") << true << true << true << 0 << 0;
    }

    void showPending() {
        QFETCH(bool, somethingDue);
        QFETCH(bool, windowOpen);
        QFETCH(bool, sayIfEmpty);
        QFETCH(int, messages);
        QFETCH(int, execs);
        SchedulerFixture f(kToday + EncodeTime(10, 0));
        if (somethingDue) {
            f.Add(Alarm(OnceEvent("e", kToday, EncodeTime(9, 0))));
        }
        f.store.dm->IsAlarmShowing = windowOpen;
        f.scheduler->ShowPending(sayIfEmpty);
        QCOMPARE(f.view->nothing, messages);
        QCOMPARE(f.view->execs, execs);
        QCOMPARE(f.view->fills, 1);
        QVERIFY(!f.scheduler->Due().hasNew);
    }

    void remindAgain_data() {
        QTest::addColumn<bool>("again");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<bool>("armed");
        QTest::addColumn<int>("interval");
        QTest::newRow("10 minutes") << true << true << 10 << true << 600'000;
        QTest::newRow("0 from a hand-edited file") << true << true << 0 << true << 60'000;
        QTest::newRow("negative") << true << true << -5 << true << 60'000;
        QTest::newRow("too long for a timer")
            << true << true << 2'000'000'000 << true << 35'791 * 60'000;
        QTest::newRow("remind again off") << false << true << 10 << false << 0;
        QTest::newRow("alarms off") << true << false << 10 << false << 0;
    }

    void remindAgain() {
        QFETCH(bool, again);
        QFETCH(bool, enabled);
        QFETCH(int, minutes);
        QFETCH(bool, armed);
        QFETCH(int, interval);
        SchedulerFixture f(kToday + EncodeTime(10, 0));
        ROptions& o = f.store.dm->Options;
        o.IsAgainDisplay = again;
        o.IsAlarmEnabled = enabled;
        o.AgainHowLong = minutes;
        f.scheduler->ArmRemindAgain();
        QCOMPARE(f.scheduler->TimerEvery15.isActive(), armed);
        if (armed) {
            QCOMPARE(f.scheduler->TimerEvery15.interval(), interval);
        }
        // Reminding again shows what is still listed, without a rebuild.
        f.Add(Alarm(OnceEvent("e", kToday, EncodeTime(9, 0))));
        f.scheduler->TimerEvery15Timer();
        QCOMPARE(f.view->fills, 0);
        f.scheduler->ShowPending(false);
        QVERIFY(!f.scheduler->TimerEvery15.isActive());  // stopped while the window is up
        f.scheduler->TimerEvery15Timer();
        QCOMPARE(f.view->execs, 2);
    }

    // The first activation shows what is pending whether or not alarms are on; the switch
    // keeps TimerEvery1 in step and RefreshAlarms does nothing while they are off.
    void firstActivationAndTheSwitch() {
        SchedulerFixture f(kToday + EncodeTime(10, 0));
        ROptions& o = f.store.dm->Options;
        o.IsAlarmEnabled = false;
        f.Add(Alarm(OnceEvent("e", kToday, EncodeTime(9, 0))));
        QVERIFY(f.scheduler->TimerFortdoay.isActive());
        QCOMPARE(f.scheduler->TimerFortdoay.interval(), 300'000);
        f.scheduler->TimerEvery15.start(1000);
        f.scheduler->FirstActivation();
        QVERIFY(!f.scheduler->TimerEvery1.isActive());
        QVERIFY(!f.scheduler->TimerEvery15.isActive());
        QCOMPARE(f.view->execs, 1);

        f.Add(Alarm(OnceEvent("f", kToday, EncodeTime(9, 30))));
        f.scheduler->RefreshAlarms();
        QCOMPARE(f.Due(), std::vector<std::string>{"e"});

        o.IsAlarmEnabled = true;
        f.scheduler->AlarmsEnabledChanged();
        QVERIFY(f.scheduler->TimerEvery1.isActive());
        QCOMPARE(f.scheduler->TimerEvery1.interval(), 90'000);
        f.scheduler->RefreshAlarms();
        QCOMPARE(f.Due(), (std::vector<std::string>{"e", "f"}));
        QCOMPARE(f.view->execs, 2);

        // The last tick of the day arms one more look 30 seconds before midnight.
        f.now = kToday + EncodeTime(23, 57, 0);
        f.scheduler->TimerEvery1Timer();
        QVERIFY(!f.scheduler->TimerDayEnd.isActive());
        f.now = kToday + EncodeTime(23, 58, 40);
        f.scheduler->TimerEvery1Timer();
        QVERIFY(f.scheduler->TimerDayEnd.isActive());
        QCOMPARE(f.scheduler->TimerDayEnd.interval(), 50'000);

        o.IsAgainDisplay = true;
        f.scheduler->ArmRemindAgain();
        o.IsAlarmEnabled = false;
        f.scheduler->AlarmsEnabledChanged();
        QVERIFY(!f.scheduler->TimerEvery1.isActive());
        QVERIFY(!f.scheduler->TimerEvery15.isActive());
        QVERIFY(!f.scheduler->TimerDayEnd.isActive());
    }

    void sound_data() {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("played");
        QTest::newRow("off") << false << QStringLiteral("play.wav") << QString();
        QTest::newRow("on") << true << QStringLiteral("play.wav")
                            << QStringLiteral("/music/play.wav");
        QTest::newRow("another file")
            << true << QStringLiteral("bell one.wav") << QStringLiteral("/music/bell one.wav");
    }

    void sound() {
        QFETCH(bool, on);
        QFETCH(QString, file);
        QFETCH(QString, played);
        SchedulerFixture f(kToday + EncodeTime(10, 0));
        f.store.dm->Options.Isplaysound = on;
        f.store.dm->Options.FilenameOfSound = file.toStdString();
        f.Add(Alarm(OnceEvent("e", kToday, EncodeTime(9, 0))));
        f.scheduler->ShowPending(true);
        if (played.isEmpty()) {
            QVERIFY(f.sound.played.empty());
        } else {
            QCOMPARE(f.sound.played,
                     std::vector<std::string>{f.store.folder() + played.toStdString()});
        }
        f.scheduler->TimerEvery15Timer();
        QCOMPARE(f.sound.played.size(), std::size_t(on ? 2 : 0));
    }

    // The real player: a missing file, a file that is no sound and a sound played twice
    // over itself all return at once and report nothing, with or without an audio device.
    void qtSoundPlayerNeverComplains() {
        QTemporaryDir dir;
        QFile junk(dir.filePath(QStringLiteral("junk.wav")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a sound at all");
        junk.close();
        // 0.1 s of a 440 Hz tone, 8 kHz mono 16 bit.
        QByteArray samples;
        for (int i = 0; i < 800; ++i) {
            const qint16 v = (i / 9) % 2 == 0 ? 8000 : -8000;
            samples.append(reinterpret_cast<const char*>(&v), 2);
        }
        auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
        auto le16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
        QByteArray wav = "RIFF" + le32(quint32(36 + samples.size())) + "WAVEfmt " + le32(16) +
                         le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16) +
                         "data" + le32(quint32(samples.size())) + samples;
        QFile tone(dir.filePath(QStringLiteral("tone.wav")));
        QVERIFY(tone.open(QIODevice::WriteOnly));
        tone.write(wav);
        tone.close();

        QtSoundPlayer player;
        player.Play(dir.filePath(QStringLiteral("missing.wav")).toStdString());
        player.Play(dir.path().toStdString());  // a folder
        player.Play(junk.fileName().toStdString());
        player.Play(tone.fileName().toStdString());
        player.Play(tone.fileName().toStdString());
        QCoreApplication::processEvents();
    }

    // While the window stays open, a tick that finds a new event, the remind-again timer, a
    // refresh after an edit and Show Pending all sound and refill it; none raises a second
    // window, and nothing waits for the window's close.
    void ticksWhileTheWindowIsOpen() {
        const TDateTime d = kToday;
        SchedulerFixture f(d + EncodeTime(10, 0));
        f.store.dm->Options.Isplaysound = true;
        f.view->stays = true;
        f.Add(Alarm(OnceEvent("A", d, EncodeTime(9, 0))));
        f.scheduler->TimerEvery1Timer();
        QVERIFY(f.view->open && f.store.dm->IsAlarmShowing);
        f.scheduler->TimerEvery1Timer();  // nothing new: nothing shown
        f.Add(Alarm(OnceEvent("B", d, EncodeTime(9, 30))));
        f.scheduler->TimerEvery1Timer();
        QCOMPARE(f.view->rows, (std::vector<std::string>{"B", "A"}));
        f.scheduler->TimerEvery15Timer();
        f.Add(Alarm(OnceEvent("C", d, EncodeTime(8, 0))));
        f.scheduler->RefreshAlarms();
        QCOMPARE(f.view->rows, (std::vector<std::string>{"C", "A", "B"}));
        f.scheduler->ShowPending(true);
        QCOMPARE(f.view->execs, 1);
        QVERIFY(!f.view->misuse);
        QCOMPARE(f.view->fills, 5);
        QCOMPARE(f.sound.played.size(), std::size_t(5));
        QCOMPARE(f.view->nothing, 0);
        QVERIFY(!f.scheduler->Due().hasNew);
        f.view->Close();
        QVERIFY(!f.store.dm->IsAlarmShowing);
    }

    // With the program running, an alarm set for the next minute comes up within a second of
    // its moment, once: the clock runs on with real time and the timers are the real ones.
    void alarmForTheNextMinuteOnTime() {
        const TDateTime start = kToday + EncodeTime(10, 0, 58, 500);
        const TDateTime moment = kToday + EncodeTime(10, 1);
        SchedulerFixture f(start);
        QElapsedTimer running;
        running.start();
        clock::SetNowForTesting([&] { return start + double(running.elapsed()) / 86'400'000.0; });
        f.Add(Alarm(OnceEvent("e", kToday, EncodeTime(10, 1))));
        f.scheduler->FirstActivation();
        QCOMPARE(f.view->execs, 0);
        QVERIFY(f.scheduler->TimerNextDue.isActive());
        QTRY_COMPARE_WITH_TIMEOUT(f.view->execs, 1, 5000);
        const double late = (f.view->raised["e"].front() - moment) * 86'400;
        QVERIFY2(late >= 0 && late < 1, qPrintable(QStringLiteral("%1 s late").arg(late)));
        QTest::qWait(300);
        QCOMPARE(f.view->execs, 1);
        QVERIFY(!f.scheduler->TimerNextDue.isActive());
    }

    // The timers run on their cadence over stretches of time on a clock that may jump or
    // change to and from summer time; the window is archived at once each time it comes up.
    // Each event must come up once per occurrence: within a second of its moment while the
    // clock runs evenly (the timer for the next due moment), within one 90-second look after
    // a jump, a sleep or a change to or from summer time.
    void punctuality_data() {
        QTest::addColumn<std::vector<tfield>>("events");
        QTest::addColumn<Runs>("runs");
        QTest::addColumn<Expected>("expected");
        QTest::addColumn<int>("late");  // seconds an alarm may come up after its moment

        // 48 hours from Friday 8 January 2027, 00:00 local (UTC+1).
        QTest::newRow("48 hours in winter")
            << std::vector<tfield>{Filed(Alarm(Daily("daily", EncodeDate(2027, 1, 1),
                                                     EncodeTime(9, 0))),
                                         EncodeDateTime(2027, 1, 7, 9, 1)),
                                   Filed(Alarm(WeeklyEvent("weekly", EncodeDate(2027, 1, 2), 7,
                                                           EncodeTime(14, 0))),
                                         EncodeDateTime(2027, 1, 2, 14, 1)),
                                   Alarm(OnceEvent("once", EncodeDate(2027, 1, 9),
                                                   EncodeTime(20, 0)))}
            << Runs{{Utc(2027, 1, 7, 23, 0), Utc(2027, 1, 9, 23, 0)}}
            << Expected{{"daily", {Utc(2027, 1, 8, 8, 0), Utc(2027, 1, 9, 8, 0)}},
                        {"weekly", {Utc(2027, 1, 9, 13, 0)}},
                        {"once", {Utc(2027, 1, 9, 19, 0)}}}
            << 1;

        // An alarm 20 minutes ahead of its begin comes up on time as well.
        QTest::newRow("lead time") << std::vector<tfield>{[] {
            tfield e = Alarm(OnceEvent("ahead", EncodeDate(2027, 1, 9), EncodeTime(20, 0)));
            e.remindBefore = 20;
            return e;
        }()} << Runs{{Utc(2027, 1, 9, 17, 0), Utc(2027, 1, 9, 20, 0)}}
                                   << Expected{{"ahead", {Utc(2027, 1, 9, 18, 40)}}} << 1;

        // Reminders ahead of their begin come that many minutes of real time before it, on
        // the day before when the begin is just after midnight. Sunday 28 March 2027 has no
        // 02:00 to 03:00; Sunday 31 October 2027 shows 02:00 to 03:00 twice: a reminder due
        // at the second showing comes once, at the first (early rather than late).
        const auto ahead = [](tfield e, int minutes) {
            e.remindBefore = minutes;
            return Alarm(e);
        };
        QTest::newRow("lead times over midnight")
            << std::vector<tfield>{Filed(ahead(Daily("daily", EncodeDate(2027, 1, 1),
                                                     EncodeTime(0, 10)),
                                               30),
                                         EncodeDateTime(2027, 1, 7, 0, 11)),
                                   Filed(ahead(WeeklyEvent("weekly", EncodeDate(2027, 1, 2), 7,
                                                           EncodeTime(0, 20)),
                                               45),
                                         EncodeDateTime(2027, 1, 2, 0, 21)),
                                   ahead(
                                       OnceEvent("once", EncodeDate(2027, 1, 9), EncodeTime(0, 5)),
                                       10)}
            << Runs{{Utc(2027, 1, 7, 21, 0), Utc(2027, 1, 9, 21, 0)}}
            << Expected{{"daily", {Utc(2027, 1, 7, 22, 40), Utc(2027, 1, 8, 22, 40)}},
                        {"weekly", {Utc(2027, 1, 8, 22, 35)}},
                        {"once", {Utc(2027, 1, 8, 22, 55)}}}
            << 1;
        QTest::newRow("lead times over the March change")
            << std::vector<tfield>{Filed(ahead(Daily("daily", EncodeDate(2027, 3, 1),
                                                     EncodeTime(3, 30)),
                                               60),
                                         EncodeDateTime(2027, 3, 26, 3, 31)),
                                   ahead(OnceEvent("once", EncodeDate(2027, 3, 28),
                                                   EncodeTime(3, 10)),
                                         30)}
            << Runs{{Utc(2027, 3, 26, 23, 0), Utc(2027, 3, 28, 22, 0)}}
            << Expected{{"daily", {Utc(2027, 3, 27, 1, 30), Utc(2027, 3, 28, 0, 30)}},
                        {"once", {Utc(2027, 3, 28, 0, 40)}}}
            << 90;
        QTest::newRow("lead times over the October change")
            << std::vector<tfield>{Filed(ahead(Daily("daily", EncodeDate(2027, 10, 1),
                                                     EncodeTime(3, 15)),
                                               30),
                                         EncodeDateTime(2027, 10, 29, 3, 16)),
                                   ahead(OnceEvent("once", EncodeDate(2027, 10, 31),
                                                   EncodeTime(3, 20)),
                                         40)}
            << Runs{{Utc(2027, 10, 29, 22, 0), Utc(2027, 10, 31, 23, 0)}}
            << Expected{{"daily", {Utc(2027, 10, 30, 0, 45), Utc(2027, 10, 31, 0, 45)}},
                        {"once", {Utc(2027, 10, 31, 0, 40)}}}
            << 90;

        // Sunday 28 March 2027: 02:00 becomes 03:00, so 02:30 and 02:45 never show on the
        // clock; they come up at 03:00.
        QTest::newRow("48 hours over the March change")
            << std::vector<tfield>{Filed(Alarm(Daily("daily", EncodeDate(2027, 3, 1),
                                                     EncodeTime(2, 30))),
                                         EncodeDateTime(2027, 3, 26, 2, 31)),
                                   Filed(Alarm(WeeklyEvent("weekly", EncodeDate(2027, 3, 7), 1,
                                                           EncodeTime(10, 0))),
                                         EncodeDateTime(2027, 3, 21, 10, 1)),
                                   Alarm(OnceEvent("once", EncodeDate(2027, 3, 28),
                                                   EncodeTime(2, 45)))}
            << Runs{{Utc(2027, 3, 26, 23, 0), Utc(2027, 3, 28, 22, 0)}}
            << Expected{{"daily", {Utc(2027, 3, 27, 1, 30), Utc(2027, 3, 28, 1, 0)}},
                        {"weekly", {Utc(2027, 3, 28, 8, 0)}},
                        {"once", {Utc(2027, 3, 28, 1, 0)}}}
            << 90;

        // Sunday 31 October 2027: 03:00 becomes 02:00, so 02:30 to 02:59 show twice; the
        // second time raises nothing.
        QTest::newRow("48 hours over the October change")
            << std::vector<tfield>{Filed(Alarm(Daily("daily", EncodeDate(2027, 10, 1),
                                                     EncodeTime(2, 30))),
                                         EncodeDateTime(2027, 10, 29, 2, 31)),
                                   Filed(Alarm(WeeklyEvent("weekly", EncodeDate(2027, 10, 3), 1,
                                                           EncodeTime(2, 40))),
                                         EncodeDateTime(2027, 10, 24, 2, 41)),
                                   Alarm(OnceEvent("once", EncodeDate(2027, 10, 31),
                                                   EncodeTime(2, 50)))}
            << Runs{{Utc(2027, 10, 29, 22, 0), Utc(2027, 10, 31, 23, 0)}}
            << Expected{{"daily", {Utc(2027, 10, 30, 0, 30), Utc(2027, 10, 31, 0, 30)}},
                        {"weekly", {Utc(2027, 10, 31, 0, 40)}},
                        {"once", {Utc(2027, 10, 31, 0, 50)}}}
            << 90;

        // 15 seconds before midnight: the 90-second ticks from midnight on see nothing of it on
        // its day; raised the next day as a missed occurrence, its archiving would also dismiss
        // that day's occurrence.
        QTest::newRow("48 hours, daily in the last seconds of the day")
            << std::vector<tfield>{Filed(Alarm(Daily("daily", EncodeDate(2027, 1, 1),
                                                     EncodeTime(23, 59, 45))),
                                         EncodeDateTime(2027, 1, 7, 23, 59, 50)),
                                   Filed(Alarm(WeeklyEvent("weekly", EncodeDate(2027, 1, 2), 7,
                                                           EncodeTime(23, 59, 31))),
                                         EncodeDateTime(2027, 1, 2, 23, 59, 50)),
                                   Alarm(OnceEvent("once", EncodeDate(2027, 1, 9),
                                                   EncodeTime(23, 59, 59)))}
            << Runs{{Utc(2027, 1, 7, 23, 0), Utc(2027, 1, 9, 23, 0)}}
            << Expected{{"daily", {Utc(2027, 1, 8, 22, 59, 45), Utc(2027, 1, 9, 22, 59, 45)}},
                        {"weekly", {Utc(2027, 1, 9, 22, 59, 31)}},
                        {"once", {Utc(2027, 1, 9, 22, 59, 59)}}}
            << 1;

        // Friday 8 January 10:00 local; the clock jumps to Saturday 13:00: everything missed
        // comes up at the first tick after the jump, once.
        const std::time_t landing = Utc(2027, 1, 9, 12, 0);
        QTest::newRow("clock forward a day")
            << std::vector<tfield>{Filed(Alarm(Daily("daily", EncodeDate(2027, 1, 1),
                                                     EncodeTime(9, 0))),
                                         EncodeDateTime(2027, 1, 7, 9, 1)),
                                   Filed(Alarm(WeeklyEvent("weekly", EncodeDate(2027, 1, 2), 7,
                                                           EncodeTime(11, 0))),
                                         EncodeDateTime(2027, 1, 2, 11, 1)),
                                   Alarm(OnceEvent("once", EncodeDate(2027, 1, 8),
                                                   EncodeTime(12, 0)))}
            << Runs{{Utc(2027, 1, 8, 9, 0), Utc(2027, 1, 8, 10, 0)}, {landing, landing + 3600}}
            << Expected{{"daily", {Utc(2027, 1, 8, 9, 0), landing}},
                        {"weekly", {landing}},
                        {"once", {landing}}}
            << 90;

        // Friday 8 January 09:50 local; at 10:30 the clock goes back to 09:30 and the same
        // hour runs again.
        QTest::newRow("clock back an hour")
            << std::vector<tfield>{Filed(Alarm(Daily("daily", EncodeDate(2027, 1, 1),
                                                     EncodeTime(10, 0))),
                                         EncodeDateTime(2027, 1, 7, 10, 1)),
                                   Filed(Alarm(WeeklyEvent("weekly", EncodeDate(2027, 1, 1), 6,
                                                           EncodeTime(10, 10))),
                                         EncodeDateTime(2027, 1, 1, 10, 11)),
                                   Alarm(OnceEvent("once", EncodeDate(2027, 1, 8),
                                                   EncodeTime(10, 5)))}
            << Runs{{Utc(2027, 1, 8, 8, 50), Utc(2027, 1, 8, 9, 30)},
                    {Utc(2027, 1, 8, 8, 30), Utc(2027, 1, 8, 10, 30)}}
            << Expected{{"daily", {Utc(2027, 1, 8, 9, 0)}},
                        {"weekly", {Utc(2027, 1, 8, 9, 10)}},
                        {"once", {Utc(2027, 1, 8, 9, 5)}}}
            << 90;

        // Friday 8 January: asleep from 09:50 to 10:30 local over a one-time alarm at 10:00,
        // which comes up at the first look after waking; the next one, at 11:00, on time.
        QTest::newRow("suspended over an alarm")
            << std::vector<tfield>{Filed(Alarm(Daily("daily", EncodeDate(2027, 1, 1),
                                                     EncodeTime(9, 20))),
                                         EncodeDateTime(2027, 1, 7, 9, 21)),
                                   Alarm(OnceEvent("once", EncodeDate(2027, 1, 8),
                                                   EncodeTime(10, 0))),
                                   Alarm(OnceEvent("after", EncodeDate(2027, 1, 8),
                                                   EncodeTime(11, 0)))}
            << Runs{{Utc(2027, 1, 8, 8, 0), Utc(2027, 1, 8, 8, 50)},
                    {Utc(2027, 1, 8, 9, 30), Utc(2027, 1, 8, 10, 30)}}
            << Expected{{"daily", {Utc(2027, 1, 8, 8, 20)}},
                        {"once", {Utc(2027, 1, 8, 9, 30)}},
                        {"after", {Utc(2027, 1, 8, 10, 0)}}}
            << 90;

        // Just after midnight the clock goes back into the day before.
        QTest::newRow("clock back over midnight")
            << std::vector<tfield>{Filed(Alarm(Daily("daily", EncodeDate(2027, 1, 1),
                                                     EncodeTime(0, 5))),
                                         EncodeDateTime(2027, 1, 7, 0, 6)),
                                   Filed(Alarm(WeeklyEvent("weekly", EncodeDate(2027, 1, 1), 5,
                                                           EncodeTime(23, 50))),
                                         EncodeDateTime(2027, 1, 1, 23, 51)),
                                   Alarm(OnceEvent("once", EncodeDate(2027, 1, 7),
                                                   EncodeTime(23, 55)))}
            << Runs{{Utc(2027, 1, 7, 22, 30), Utc(2027, 1, 7, 23, 20)},
                    {Utc(2027, 1, 7, 22, 40), Utc(2027, 1, 8, 0, 0)}}
            << Expected{{"daily", {Utc(2027, 1, 7, 23, 5)}},
                        {"weekly", {Utc(2027, 1, 7, 22, 50)}},
                        {"once", {Utc(2027, 1, 7, 22, 55)}}}
            << 90;
    }

    void punctuality() {
        QFETCH(std::vector<tfield>, events);
        QFETCH(Runs, runs);
        QFETCH(Expected, expected);
        QFETCH(int, late);
        std::time_t utc = runs.front().from;
        SchedulerFixture f(LocalOf(utc));
        for (const tfield& e : events) {
            QVERIFY(f.Add(e) > 0);
        }
        f.view->archive = true;
        std::map<std::string, std::vector<std::time_t>> raised;
        f.view->whileOpen = [&] {
            for (const tfield& e : f.scheduler->Due().dueEvents) {
                raised[e.subject].push_back(utc);
            }
        };
        // The timers count the time the program runs (a monotonic clock), so they carry on
        // through a jump of the wall clock or a sleep (a run that starts later than the last
        // ended) as if nothing happened. Single-shot timers fire when the scheduler arms them.
        // Ticks due at the same moment run in the order below.
        constexpr std::time_t kNever = std::numeric_limits<std::time_t>::max();
        const auto fireAfter = [](std::time_t at, int ms) { return at + (ms + 999) / 1000; };
        std::time_t offset = runs.front().from;  // wall clock minus running time
        std::time_t every1 = 0;
        std::time_t fortdoay = 0;
        std::time_t dayEnd = kNever;
        std::time_t nextDue = kNever;
        std::time_t ended = 0;  // the running time at which the last run ended
        bool first = true;
        for (const Run& run : runs) {
            if (!first) {
                offset = run.from - ended;
            }
            while (true) {
                const std::time_t running = std::min({every1, fortdoay, dayEnd, nextDue});
                utc = running + offset;
                if (utc > run.to) {
                    ended = run.to - offset;
                    break;
                }
                f.now = LocalOf(utc);
                if (running == dayEnd) {
                    dayEnd = kNever;
                    f.scheduler->TimerDayEndTimer();
                }
                if (running == nextDue) {
                    nextDue = kNever;
                    f.scheduler->TimerNextDueTimer();
                }
                if (running == every1) {
                    if (first) {
                        f.scheduler->FirstActivation();
                        first = false;
                    } else {
                        f.scheduler->TimerEvery1Timer();
                    }
                    every1 += 90;
                }
                if (running == fortdoay) {
                    f.scheduler->TimerFortdoayTimer();
                    fortdoay += 300;
                }
                for (auto [timer, at] : {std::pair{&f.scheduler->TimerDayEnd, &dayEnd},
                                         std::pair{&f.scheduler->TimerNextDue, &nextDue}}) {
                    if (timer->isActive()) {
                        *at = fireAfter(running, timer->interval());
                        timer->stop();
                    }
                }
            }
        }
        QVERIFY(!f.view->misuse);
        QVERIFY(f.store.errors.shown.empty());
        for (const auto& [subject, occurrences] : expected) {
            const std::vector<std::time_t>& got = raised[subject];
            QVERIFY2(got.size() == occurrences.size(),
                     qPrintable(QStringLiteral("%1 came up %2 times")
                                    .arg(QString::fromStdString(subject))
                                    .arg(got.size())));
            for (std::size_t i = 0; i < got.size(); ++i) {
                // Due up to the lead time early, and seen no later than allowed.
                QVERIFY2(got[i] >= occurrences[i] - 61 && got[i] <= occurrences[i] + late,
                         qPrintable(QStringLiteral("%1 #%2 came up %3 s from its moment")
                                        .arg(QString::fromStdString(subject))
                                        .arg(i)
                                        .arg(qint64(got[i] - occurrences[i]))));
            }
        }
    }
};

QTEST_MAIN(TestAlarmScheduler)
#include "test_alarmscheduler.moc"
