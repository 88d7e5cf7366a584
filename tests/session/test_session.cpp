// The calendar session on a real user.mdb and a pinned clock: every change announces what
// changed, once; the windows built around it show a change made through the session alone.

#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

#include <functional>
#include <map>

#include "alarm/AlarmWindow.h"
#include "session/CalendarSession.h"
#include "support/WindowFixture.h"
#include "ui/main/SearchPage.h"

using namespace qcal;
using namespace qcal::test;

namespace {

const TDateTime kToday = EncodeDate(2027, 1, 7);
const TDateTime kNow = kToday + EncodeTime(10, 0);
const int kDay = DayOf(kToday);
const arraylayinfo kLayers{{"Work", 0x000000FF, true}, {"Home", 0x0000FF00, true}};

QString Range(const DayRange& days) {
    if (days.IsAll())
        return QStringLiteral("all");
    return QStringLiteral("%1..%2").arg(days.first - kDay).arg(days.last - kDay);
}

QStringList L(std::initializer_list<const char*> items) {
    QStringList list;
    for (const char* item : items)
        list << QString::fromLatin1(item);
    return list;
}

// Writes down every announcement of the session, in order; days relative to today.
class Announcements : public QObject {
public:
    explicit Announcements(CalendarSession& session) {
        connect(&session, &CalendarSession::eventsChanged, this,
                [this](DayRange days) { heard << QStringLiteral("events ") + Range(days); });
        const std::pair<void (CalendarSession::*)(), const char*> plain[] = {
            {&CalendarSession::dueListChanged, "due list"},
            {&CalendarSession::alarmsRaised, "alarms"},
            {&CalendarSession::nothingPending, "nothing pending"},
            {&CalendarSession::layersChanged, "layers"},
            {&CalendarSession::optionsChanged, "options"},
            {&CalendarSession::dayChanged, "day"}};
        for (const auto& [signal, name] : plain) {
            const QString text = QString::fromLatin1(name);
            connect(&session, signal, this, [this, text] { heard << text; });
        }
    }
    QStringList heard;
};

class RecordingSound final : public SoundPlayer {
public:
    void Play(const std::string&) override {}
};

// A session over a database holding "soon" (today at 11:00, alarm) and "past" (two days ago,
// alarm, archived), alarms on.
struct SessionFixture {
    SessionFixture() : clock(kNow), session(*store.dm, sound) {
        store.dm->Layers = kLayers;
        store.dm->SaveLayers();
        store.dm->Options.IsAlarmEnabled = true;
        tlist_of_event_orig writer(*store.dm);
        soon = writer.AddEvent(Alarm(OnceEvent("soon", kToday, EncodeTime(11, 0))));
        tfield archived = Alarm(OnceEvent("past", kToday - 2, EncodeTime(9, 0)));
        archived.lastFileTime = kToday - 2 + EncodeTime(9, 5);
        past = writer.AddEvent(archived);
    }

    clock::ScopedFakeClock clock;
    StoreFixture store;
    RecordingSound sound;
    CalendarSession session;
    std::int64_t soon = 0;
    std::int64_t past = 0;
};

using Change = std::function<void(SessionFixture&)>;

}  // namespace

Q_DECLARE_METATYPE(Change)

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void announcements_data() {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("heard");
        QTest::newRow("add a later event") << Change([](SessionFixture& f) {
            f.session.AddEvent(Alarm(OnceEvent("later", kToday + 3, EncodeTime(8, 0))));
        }) << L({"events 3..3", "due list"});
        QTest::newRow("add an event due now") << Change([](SessionFixture& f) {
            f.session.AddEvent(Alarm(OnceEvent("now", kToday, EncodeTime(9, 0))));
        }) << L({"events 0..0", "due list", "alarms"});
        QTest::newRow("add with the alarms off") << Change([](SessionFixture& f) {
            f.store.dm->Options.IsAlarmEnabled = false;
            f.session.AddEvent(Alarm(OnceEvent("now", kToday, EncodeTime(9, 0))));
        }) << L({"events 0..0"});
        QTest::newRow("a failed add announces nothing") << Change([](SessionFixture& f) {
            f.store.dm->ADOConnection.exec("alter table eventtable rename to moved");
            f.session.AddEvent(OnceEvent("lost", kToday));
        }) << L({});
        QTest::newRow("edit moves an event: both days") << Change([](SessionFixture& f) {
            tfield e;
            QVERIFY(f.session.LoadEvent(f.soon, e));
            e.begindate = e.enddate = kToday + 5;
            f.session.SaveEditedEvent(e);
        }) << L({"events 0..5", "due list"});
        QTest::newRow("delete two") << Change([](SessionFixture& f) {
            f.session.DeleteEvents(std::vector<std::int64_t>{f.soon, f.past}, IdListBlanks::Around);
        }) << L({"events -2..0", "due list"});
        QTest::newRow("archive and show again") << Change([](SessionFixture& f) {
            f.session.ArchiveEvents(std::vector<std::int64_t>{f.soon}, IdListBlanks::Before, true);
        }) << L({"events 0..0", "due list", "alarms"});
        QTest::newRow("a layer's check mark") << Change([](SessionFixture& f) {
            f.session.SetLayerChecks({true, false});
        }) << L({"layers"});
        QTest::newRow("the same check marks again") << Change([](SessionFixture& f) {
            f.session.SetLayerChecks({true, true});
        }) << L({});
        QTest::newRow("rename a layer: its events too") << Change([](SessionFixture& f) {
            f.store.dm->Layers[0].name = "Job";
            f.store.dm->SaveLayers();
            f.session.RenameLayer(0, "Work", "Job");
        }) << L({"layers", "events all"});
        QTest::newRow("a layer in use is kept") << Change([](SessionFixture& f) {
            bool inUse = false;
            QVERIFY(!f.session.DeleteUnusedLayer(0, inUse));
            QVERIFY(inUse);
        }) << L({});
        QTest::newRow("options saved")
            << Change([](SessionFixture& f) { f.session.SaveOptions(); }) << L({"options"});
        QTest::newRow("alarms switched off")
            << Change([](SessionFixture& f) { f.session.SetAlarmsEnabled(false); })
            << L({"options"});
        QTest::newRow("show pending with nothing due")
            << Change([](SessionFixture& f) { f.session.ShowPending(true); })
            << L({"due list", "nothing pending"});
        QTest::newRow("import") << Change([](SessionFixture& f) {
            const std::string path = f.store.file("in.ics");
            QFile file(QString::fromStdString(path));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:t1\r\n"
                "SUMMARY:Train\r\nCATEGORIES:Trips\r\nDTSTART:20270110T100000\r\n"
                "END:VEVENT\r\nEND:VCALENDAR\r\n");
            file.close();
            QVERIFY(f.session.ImportIcs(path).ok);
        }) << L({"layers", "events all", "due list"});
        QTest::newRow("restore from a file that is no backup") << Change([](SessionFixture& f) {
            QVERIFY(f.session.Restore(f.store.file("setup.ini")).status != RestoreStatus::Done);
            QVERIFY(f.store.dm->Connected());
        }) << L({});
        QTest::newRow("backup changes nothing") << Change([](SessionFixture& f) {
            QVERIFY(f.session.Backup(f.store.file("b.zip")).ok);
            QVERIFY(f.store.dm->Connected());
        }) << L({});
    }

    void announcements() {
        QFETCH(Change, change);
        QFETCH(QStringList, heard);
        SessionFixture f;
        Announcements announced(f.session);
        change(f);
        QCOMPARE(announced.heard, heard);
    }

    // A change that reaches the session from outside the windows (a handed-over import, a
    // notification's action): the month, the search page and the alarm window show it,
    // though nobody asked them to.
    void windowsFollowTheSession() {
        WindowFixture fx(kNow, kLayers);
        fx.store.dm->Options.IsAlarmEnabled = true;
        fx.store.dm->SaveOptions();
        TFormMainCalendar& window = fx.Open();
        CalendarSession& session = fx.shell->Session();
        fx.ShowMonth(2027, 1);
        const std::int64_t id =
            session.AddEvent(Alarm(OnceEvent("Call", kToday, EncodeTime(9, 30))));
        QVERIFY(id > 0);
        QCOMPARE(fx.Rows(fx.CellOfDay(2027, 1, 7)), QStringList{QStringLiteral("09:30 AM !Call")});
        TFormAlarm& alarm = fx.shell->AlarmWindow();
        QVERIFY(alarm.isVisible());
        QCOMPARE(Child<QListWidget>(alarm, "ListBoxEventActived")->count(), 1);

        Child<QTabWidget>(window, "PageControl1")->setCurrentIndex(1);
        auto* results =
            Child<QListWidget>(*Child<TSearchPage>(window, "SearchPage"), "ListBoxQuery");
        QCOMPARE(results->count(), 1);
        session.ArchiveEvents(std::vector<std::int64_t>{id}, IdListBlanks::Before, true);
        QCOMPARE(Child<QListWidget>(alarm, "ListBoxEventActived")->count(), 0);
        session.DeleteEvents(std::vector<std::int64_t>{id}, IdListBlanks::None);
        QCOMPARE(results->count(), 0);
        Child<QTabWidget>(window, "PageControl1")->setCurrentIndex(0);
        QCOMPARE(fx.Rows(fx.CellOfDay(2027, 1, 7)), QStringList{});
        QVERIFY(fx.Shown().isEmpty());
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
