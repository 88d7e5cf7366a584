// Synchronisation with a real Radicale on this machine: the first fetch of a calendar of 5,000
// events, and an incremental run with no change and with one change made on the server.

#include <QCoreApplication>
#include <QSignalSpy>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "session/CalendarSession.h"
#include "session/SoundPlayer.h"
#include "store/IcalExport.h"
#include "sync/CalDavSync.h"
#include "sync/Radicale.h"

namespace {

using namespace qcal;

// QCAL_BENCH_EVENTS may ask for fewer, for a quick look.
const int kEvents = qEnvironmentVariableIsSet("QCAL_BENCH_EVENTS")
                        ? qEnvironmentVariableIntValue("QCAL_BENCH_EVENTS")
                        : 5000;

class NoSound final : public SoundPlayer {
public:
    void Play(const std::string&) override {}
};

// One program folder bound to the calendar; the password given for the run.
struct Device {
    explicit Device(const QString& url) : session(*folder.dm, sound), sync(session, {}) {
        sync::Binding binding;
        binding.layer = QStringLiteral("Shared");
        binding.calendarUrl = url;
        binding.user = QString::fromLatin1(test::kUser);
        sync.Bind(binding, {});
        sync.SetSessionPassword(url, binding.user, QString::fromLatin1(test::kPassword));
    }
    // One run; the failure, or empty.
    std::string Run() {
        QSignalSpy finished(&sync, &sync::SyncService::syncFinished);
        sync.SyncNow();
        if (!finished.wait(600000)) {
            return "the run did not end";
        }
        return finished.first().at(0).toBool() ? std::string()
                                               : finished.first().at(1).toString().toStdString();
    }
    bench::Folder folder;
    NoSound sound;
    CalendarSession session;
    sync::CalDavSync sync;
};

test::Radicale* server = nullptr;

// The server with a calendar of kEvents events of every rule kind, uploaded in one request.
test::Radicale& Server() {
    static bool made = [] {
        test::Radicale* s = server;
        s->MakeCalendar(QStringLiteral("shared"), QStringLiteral("Shared"),
                        QStringLiteral("#0000ff"));
        bench::Folder seed;
        bench::SeedEventsSpread(*seed.dm, kEvents, "46000+(i%700)", "46000+(i%700)+400");
        seed.dm->ADOConnection.exec("update eventtable set layername='Shared'");
        std::string text;
        ical::ExportCalendarText(*seed.dm, text);
        const int status = s->Request("PUT", s->CalendarUrl(), QByteArray::fromStdString(text));
        if (status / 100 != 2) {
            std::fprintf(stderr, "the calendar could not be uploaded (HTTP %d)\n", status);
        }
        return true;
    }();
    (void)made;
    return *server;
}

void BM_FirstSync(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Device device(Server().CalendarUrl());
        state.ResumeTiming();
        if (const std::string failure = device.Run(); !failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
    }
}
BENCHMARK(BM_FirstSync)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_IncrementalNoChange(benchmark::State& state) {
    Device device(Server().CalendarUrl());
    device.Run();
    for (auto _ : state) {
        if (const std::string failure = device.Run(); !failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
    }
}
BENCHMARK(BM_IncrementalNoChange)->Unit(benchmark::kMillisecond);

void BM_IncrementalOneChange(benchmark::State& state) {
    Device device(Server().CalendarUrl());
    device.Run();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QByteArray event =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VEVENT\r\n"
            "UID:bench-change@example.org\r\nDTSTAMP:20270101T000000Z\r\n"
            "DTSTART:20270301T090000\r\nSUMMARY:changed " +
            QByteArray::number(++round) + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
        Server().Request("PUT", Server().CalendarUrl() + QStringLiteral("bench-change.ics"), event);
        state.ResumeTiming();
        if (const std::string failure = device.Run(); !failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
    }
}
BENCHMARK(BM_IncrementalOneChange)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    test::Radicale radicale;
    if (!radicale.Start()) {
        std::fprintf(stderr, "Radicale did not start\n");
        return 1;
    }
    server = &radicale;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
