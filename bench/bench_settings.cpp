// Settings file: layers saved and loaded, and a large hand-made setup.ini loaded.
// Compare each figure with BM_Reference, a fixed workload run in the same process.

#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "platform/AtomicFile.h"

using namespace qcal;

namespace {

using namespace qcal::bench;

BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond);

// "Select all layers" over a long layer list: every key is rewritten in place, then the
// table is read back.
void BM_Layers_SaveLoad(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    const int count = int(state.range(0));
    for (int i = 0; i < count; ++i) {
        dm.Layers.push_back({"Layer number " + std::to_string(i), TColor(i * 97), i % 2 == 0});
    }
    dm.SaveLayers();
    for (auto _ : state) {
        for (tlayinfo& layer : dm.Layers) {
            layer.active = !layer.active;
        }
        dm.SaveLayers();
        dm.LoadLayers();
    }
    state.counters["layers"] = double(dm.Layers.size());
}
BENCHMARK(BM_Layers_SaveLoad)->Arg(10000)->Unit(benchmark::kMillisecond);

// A setup.ini of about 10 MB whose layer count is the largest integer: start-up reads the
// layers and the options from it.
void BM_Settings_LoadLargeFile(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    std::string text = "[Options]\nFontDisplaySize=11\n\n[Color]\nTotal=2147483647\n";
    for (int i = 0; text.size() < 10'000'000; ++i) {
        const std::string n = std::to_string(i);
        text += "Note" + n + "=Some text that somebody pasted into the settings file " + n + "\n";
    }
    text += "[myFormat]\nmyDate=1\n[HotKey]\nmyKey=3\n";
    platform::WriteFileAtomically(dm.SetupIniPath(), text);
    for (auto _ : state) {
        dm.LoadLayers();
        dm.LoadOptions();
    }
    state.counters["layers"] = double(dm.Layers.size());
    state.counters["MB"] = double(text.size()) / 1e6;
}
BENCHMARK(BM_Settings_LoadLargeFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
