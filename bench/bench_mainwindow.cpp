// The month refresh of the main window (load, 42 cells filled, one selected) with a large
// month: every loaded event overlaps the month on screen, as many again lie outside it.
// Compare each figure with BM_Reference, run in the same process.

#include <QApplication>
#include <QListWidget>
#include <QSpinBox>

#include "BenchSupport.h"
#include "core/Clock.h"
#include "session/CalendarSession.h"
#include "session/SoundPlayer.h"
#include "ui/main/DayCell.h"
#include "ui/main/MainWindow.h"

using namespace qcal;
using namespace qcal::bench;

namespace {

class NoSound final : public SoundPlayer {
public:
    void Play(const std::string&) override {}
};

BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond);

// March 2027 on screen; range(0) events overlap it and as many end before it begins.
void BM_MonthRefresh(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    dm.Layers = {{"Work", 0x000000FF, true}};
    dm.SaveLayers();
    const int overlapping = int(state.range(0));
    const std::string march = FormatNumber(EncodeDate(2027, 3, 1));
    // One-time events (every fifth) lie on a day of March; the repeating ones begin up to 40
    // days before it and run into or past it.
    SeedEventsSpread(
        dm, overlapping,
        "CASE WHEN i%5=0 THEN " + march + "+(i%31) ELSE " + march + "-40+(i%71) END",
        "CASE WHEN i%5=0 THEN " + march + "+(i%31) ELSE " + march + "+(i%71)+(i%300) END");
    SeedEventsSpread(dm, overlapping, march + "-400+(i%300)", march + "-400+(i%300)+(i%30)");
    const clock::ScopedFakeClock clock(EncodeDateTime(2027, 3, 10, 9, 0));
    NoSound sound;
    CalendarSession session(dm, sound);
    TFormMainCalendar window(session, {});
    window.resize(1280, 800);
    window.show();
    window.ShowMonth(2027, 3);
    for (auto _ : state) {
        window.RxSpinYearChange();
    }
    int lines = 0;
    for (int n = 1; n <= kCellCount; ++n)
        lines += int(window.Cell(n).lines.size());
    platform::Query count(dm.ADOConnection);
    count.setSql("select count(*) as n from eventtable where not ((begindate>" +
                 FormatNumber(EncodeDate(2027, 3, 31)) + ") or (enddate<" + march + "))");
    count.open();
    state.counters["events"] = double(count.asInteger("n"));
    state.counters["lines"] = lines;
}
BENCHMARK(BM_MonthRefresh)->Arg(10000)->Unit(benchmark::kMillisecond);

// From opening the data folder to the first painted month window: the data module, the
// session reading range(0) events into memory, the window, its first paint (offscreen). The
// resident memory of the whole process with the window up is given in megabytes.
void BM_StartUp(benchmark::State& state) {
    Folder folder;
    folder.dm->Layers = {{"Work", 0x000000FF, true}};
    folder.dm->SaveLayers();
    SeedEvents(*folder.dm, int(state.range(0)));
    folder.dm.reset();
    const clock::ScopedFakeClock clock(EncodeDateTime(2027, 3, 10, 9, 0));
    NoSound sound;
    double resident = 0;
    for (auto _ : state) {
        auto dm = std::make_unique<TDataMod>(folder.Path(), folder.errors);
        auto session = std::make_unique<CalendarSession>(*dm, sound);
        auto window = std::make_unique<TFormMainCalendar>(*session, QStringList{});
        window->resize(1280, 800);
        window->show();
        window->repaint();
        state.PauseTiming();
        resident = ResidentMegabytes();
        window.reset();
        session.reset();
        dm.reset();
        state.ResumeTiming();
    }
    state.counters["events"] = double(state.range(0));
    state.counters["VmRSS_MB"] = resident;
}
BENCHMARK(BM_StartUp)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
