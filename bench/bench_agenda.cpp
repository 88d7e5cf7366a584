// The command-line agenda in the process: 30 days over 10,000 events of every rule kind,
// gathered, sorted and written. Compare each figure with BM_Reference, a fixed workload run in
// the same process. bench/agenda_vs_peers.sh times the whole process instead.

#include <benchmark/benchmark.h>

#include <sstream>

#include "BenchSupport.h"
#include "cli/Agenda.h"

using namespace qcal;

namespace {

using namespace qcal::bench;

BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond);

void BM_Agenda30Days(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    dm.Layers = {{"Work", 0x000000FF, true}};
    SeedEvents(dm, int(state.range(0)));
    const int first = DayNumber(2027, 3, 1);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::ostringstream out;
        cli::WriteAgenda(dm, first, 30, false, out);
        bytes = out.str().size();
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_Agenda30Days)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
