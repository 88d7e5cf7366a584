// The month refresh of the main window (load, 42 cells filled, one selected) on a large
// event table. Compare each figure with BM_Reference, run in the same process.

#include <QApplication>
#include <QListWidget>
#include <QSpinBox>

#include "BenchSupport.h"
#include "core/Clock.h"
#include "ui/main/MainWindow.h"

using namespace qcal;
using namespace qcal::bench;

namespace {

BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond);

void BM_MonthRefresh(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    dm.Layers = {{"Work", 0x000000FF, true}};
    dm.SaveLayers();
    SeedEvents(dm, int(state.range(0)));
    const clock::ScopedFakeClock clock(EncodeDateTime(2027, 3, 10, 9, 0));
    TFormMainCalendar window(dm, {});
    window.resize(1280, 800);
    window.show();
    int month = 0;
    for (auto _ : state) {
        // Alternate two months so that every pass loads and fills a whole month.
        window.ListBoxMonth->setCurrentRow(2 + (month++ % 2));
    }
}
BENCHMARK(BM_MonthRefresh)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
