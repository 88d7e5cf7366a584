// Layer renames and iCalendar imports killed (SIGKILL) at random moments in a child process:
// afterwards the database passes its integrity check, every acknowledged change is there, and
// after the next load every event shows under a layer of the table.

#include <QTest>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>

#include "platform/AtomicFile.h"
#include "store/EventLists.h"
#include "store/IcalImport.h"
#include "store/LayerEvents.h"
#include "support/StoreFixture.h"

using namespace qcal;
using qcal::test::RecordingErrorReporter;

namespace {

constexpr int kKills = 24;
constexpr int kEvents = 150;

std::string Name(int kill, int step) {
    return "K" + std::to_string(kill) + "S" + std::to_string(step);
}

std::string Text(TDataMod& dm, const std::string& sql) {
    platform::Query q(dm.ADOConnection);
    q.setSql(sql);
    q.open();
    return q.eof() ? std::string() : q.stringAt(0);
}

// Runs the write path over and over; each finished step writes its number to ack.
[[noreturn]] void WriteForever(const std::string& folder, bool renaming, int kill, int ack) {
    RecordingErrorReporter errors;
    TDataMod dm(folder, errors);
    dm.LoadLayers();
    // The events' layer: a rename cut short also left the old name in the table, unused.
    const std::string used = Text(dm, "select layername from eventtable limit 1");
    std::size_t index = 0;
    while (index < dm.Layers.size() && dm.Layers[index].name != used)
        ++index;
    for (int step = 1;; ++step) {
        std::string ics = "BEGIN:VCALENDAR\r\n";
        for (int i = 0; i < 20; ++i)
            ics += "BEGIN:VEVENT\r\nUID:" + Name(kill, step) + "-" + std::to_string(i) +
                   "\r\nSUMMARY:" + Name(kill, step) + "\r\nCATEGORIES:" + Name(kill, step) +
                   "\r\nDTSTART:20270105T090000\r\nEND:VEVENT\r\n";
        const bool done = renaming
                              ? RenameLayer(dm, index, tlayinfo{Name(kill, step), 0x00FF00, true})
                              : ical::ImportCalendarText(dm, ics + "END:VCALENDAR\r\n").ok;
        if (!done || ::write(ack, &step, sizeof step) != sizeof step)
            _exit(3);
    }
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
        test::StoreFixture f;
        QVERIFY(platform::WriteFileAtomically(f.dm->SetupIniPath(),
                                              "[Color]\nTotal=1\nLayerName0=L0\nIsActived0=1\n"));
        tlist_of_event_orig list(*f.dm);
        for (int i = 0; i < (renaming ? kEvents : 0); ++i)
            QVERIFY(list.AddEvent(test::OnceEvent("e", EncodeDate(2027, 1, 5), 0, "L0")) > 0);
        f.dm.reset();  // the child opens its own connection
        std::mt19937 rng(20261208);
        std::string before = "L0";
        for (int kill = 0; kill < kKills; ++kill) {
            int pipes[2];
            QVERIFY(::pipe(pipes) == 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0)
                WriteForever(f.folder(), renaming, kill, pipes[1]);
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
            QCOMPARE(Text(dm, "pragma integrity_check"), std::string("ok"));
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
                // All events under the last acknowledged name, or the one under way.
                QCOMPARE(Text(dm,
                              "select count(*) || ' ' || count(distinct layername) from "
                              "eventtable"),
                         std::to_string(kEvents) + " 1");
                const std::string now = Text(dm, "select layername from eventtable");
                QVERIFY2(
                    now == (last > 0 ? Name(kill, last) : before) || now == Name(kill, last + 1),
                    now.c_str());
                before = now;
            } else {
                // Every acknowledged import is there in full; the one under way all or nothing.
                const int events =
                    std::stoi(Text(dm, "select count(*) from eventtable where subject like 'K" +
                                           std::to_string(kill) + "S%'"));
                QVERIFY(events == 20 * last || events == 20 * (last + 1));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestKilledWrites)
#include "test_killedwrites.moc"
