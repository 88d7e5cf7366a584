// Layer renames and iCalendar imports killed (SIGKILL) at random moments in a child process:
// afterwards the database passes its integrity check, every acknowledged change is there, and
// after the next load every event shows under a layer of the table.

#include <QTest>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/Sqlite.h"
#include "store/EventLists.h"
#include "store/IcalImport.h"
#include "store/LayerEvents.h"
#include "support/StoreFixture.h"

using namespace qcal;
using qcal::test::OnceEvent;
using qcal::test::RecordingErrorReporter;
using qcal::test::StoreFixture;

namespace {

constexpr int kKills = 24;
constexpr int kEvents = 150;

// The write path, run over and over in the child. Each finished step writes its number to
// the pipe: the parent counts it as acknowledged.
std::string Name(int kill, int step) {
    return "K" + std::to_string(kill) + "S" + std::to_string(step);
}

void RenameForever(const std::string& folder, int kill, int ack) {
    RecordingErrorReporter errors;
    TDataMod dm(folder, errors);
    dm.LoadLayers();
    // The layer of the events: after a rename cut short between the events and the settings,
    // the table also holds the old name, with no events.
    platform::Query q(dm.ADOConnection);
    q.setSql("select layername from eventtable limit 1");
    q.open();
    std::size_t index = 0;
    while (index < dm.Layers.size() && dm.Layers[index].name != q.stringAt(0))
        ++index;
    q.close();
    for (int step = 1;; ++step) {
        if (!RenameLayer(dm, index, tlayinfo{Name(kill, step), 0x00FF00, true}))
            _exit(3);
        if (::write(ack, &step, sizeof step) != sizeof step)
            _exit(4);
    }
}

void ImportForever(const std::string& folder, int kill, int ack) {
    RecordingErrorReporter errors;
    TDataMod dm(folder, errors);
    dm.LoadLayers();
    for (int step = 1;; ++step) {
        std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
        for (int i = 0; i < 20; ++i) {
            text += "BEGIN:VEVENT\r\nUID:" + Name(kill, step) + "-" + std::to_string(i) +
                    "\r\nSUMMARY:" + Name(kill, step) + "\r\nCATEGORIES:" + Name(kill, step) +
                    "\r\nDTSTART:20270105T090000\r\nEND:VEVENT\r\n";
        }
        text += "END:VCALENDAR\r\n";
        if (!ical::ImportCalendarText(dm, text).ok)
            _exit(3);
        if (::write(ack, &step, sizeof step) != sizeof step)
            _exit(4);
    }
}

std::int64_t Count(TDataMod& dm, const std::string& sql) {
    platform::Query q(dm.ADOConnection);
    q.setSql(sql);
    q.open();
    return q.integerAt(0);
}

}  // namespace

class TestKilledWrites : public QObject {
    Q_OBJECT

private slots:
    void killedAtRandom_data() {
        QTest::addColumn<bool>("renaming");  // else importing
        QTest::newRow("layer rename") << true;
        QTest::newRow("iCalendar import") << false;
    }
    void killedAtRandom() {
        QFETCH(bool, renaming);
        StoreFixture f;
        QVERIFY(platform::WriteFileAtomically(f.dm->SetupIniPath(),
                                              "[Color]\nTotal=1\nLayerName0=L0\nIsActived0=1\n"));
        f.dm->LoadLayers();
        tlist_of_event_orig list(*f.dm);
        for (int i = 0; i < (renaming ? kEvents : 0); ++i)
            QVERIFY(list.AddEvent(OnceEvent("e", EncodeDate(2027, 1, 5), 0, "L0")) > 0);
        f.dm.reset();  // the child opens its own connection

        std::mt19937 rng(20261208);
        std::string before = "L0";
        for (int kill = 0; kill < kKills; ++kill) {
            int pipes[2];
            QVERIFY(::pipe(pipes) == 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                ::close(pipes[0]);
                renaming ? RenameForever(f.folder(), kill, pipes[1])
                         : ImportForever(f.folder(), kill, pipes[1]);
            }
            ::close(pipes[1]);
            ::usleep(std::uniform_int_distribution<useconds_t>(2000, 60000)(rng));
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            QVERIFY2(WIFSIGNALED(status), "the write path failed before it was killed");
            int step = 0;
            int last = 0;
            while (::read(pipes[0], &step, sizeof step) == sizeof step)
                last = step;
            ::close(pipes[0]);

            // The next start.
            RecordingErrorReporter errors;
            TDataMod dm(f.folder(), errors);
            QVERIFY(dm.Connected());
            platform::Query check(dm.ADOConnection);
            check.setSql("pragma integrity_check");
            check.open();
            QCOMPARE(check.stringAt(0), std::string("ok"));
            dm.LoadLayers();
            std::set<std::string> layers;
            for (const tlayinfo& l : dm.Layers)
                layers.insert(l.name);
            platform::Query names(dm.ADOConnection);
            names.setSql("select distinct layername from eventtable");
            for (names.open(); !names.eof(); names.next())
                QVERIFY2(layers.count(names.stringAt(0)) == 1, names.stringAt(0).c_str());
            QVERIFY(errors.shown.empty());
            if (renaming) {
                // Every event under one name: the one of the last acknowledged rename (or the
                // name before this child), or the one under way.
                QCOMPARE(Count(dm, "select count(*) from eventtable"), std::int64_t(kEvents));
                QCOMPARE(Count(dm, "select count(distinct layername) from eventtable"),
                         std::int64_t(1));
                platform::Query q(dm.ADOConnection);
                q.setSql("select layername from eventtable limit 1");
                q.open();
                const std::string now = q.stringAt(0);
                const std::string acked = last > 0 ? Name(kill, last) : before;
                QVERIFY2(now == acked || now == Name(kill, last + 1), now.c_str());
                before = now;
            } else {
                // Every acknowledged import is there in full; the one under way all or nothing.
                const std::int64_t events =
                    Count(dm, "select count(*) from eventtable where subject like 'K" +
                                  std::to_string(kill) + "S%'");
                QVERIFY(events % 20 == 0);
                QVERIFY(events == 20 * last || events == 20 * (last + 1));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestKilledWrites)
#include "test_killedwrites.moc"
