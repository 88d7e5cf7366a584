// Month cells, year search and due rebuild on large event sets.
// Compare each figure with BM_Reference, a fixed workload run in the same process.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string>

#include "BenchSupport.h"
#include "core/Clock.h"
#include "store/CalendarMemory.h"
#include "store/DueList.h"
#include "store/EventLists.h"

using namespace qcal;

namespace {

using namespace qcal::bench;

BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond);

// The figures with the names are what the program does: the session answers from the
// calendar in memory. Those ending in _Table read the table as before, for comparison.

const arraylayinfo kWork{{"Work", 0x000000FF, true}};

// events events, every one with its alarm on, looked at at noon on 15 June 2027.
struct AlarmFolder {
    explicit AlarmFolder(int events) {
        SeedEvents(*folder.dm, events);
        folder.dm->ADOConnection.exec("update eventtable set alert=1");
    }
    Folder folder;
    clock::ScopedFakeClock clock{EncodeDateTime(2027, 6, 15, 12, 0)};
};

// A year's search as the search page asks the session for it.
SearchRequest YearRequest(const char* keyword) {
    SearchRequest request;
    request.between = PeriodStart(DayNumber(2027, 1, 1));
    request.andTime = PeriodEnd(DayNumber(2027, 12, 31));
    request.includeText = keyword != nullptr;
    request.keyword = keyword ? keyword : "";
    return request;
}

// Texts that are not ASCII, so that case folding has work to do (see BM_KeywordSearch_Year_Table).
void AddKeywordTexts(TDataMod& dm) {
    dm.ADOConnection.exec(
        "update eventtable set content='Termin in der Hauptstraße 5' where id%10=0");
    dm.ADOConnection.exec("update eventtable set mynote='BRÜCKENSTRASSE 12' where id%20=5");
    dm.ADOConnection.exec("update eventtable set subject='Ärztehaus '||id where id%7=3");
}

void BM_ItemsOfDay_Month(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    dm.Layers = kWork;
    SeedEvents(dm, int(state.range(0)));
    CalendarMemory memory;
    memory.Load(dm);
    const TDateTime first = EncodeDate(2027, 3, 1);
    std::size_t lines = 0;
    for (auto _ : state) {
        for (const mytitem_for_display& day : memory.MonthLines(dm, first - 3, 42))
            lines += day.size();
    }
    state.counters["lines/month"] = double(lines) / double(state.iterations());
}
BENCHMARK(BM_ItemsOfDay_Month)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LoadFound_Year(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    dm.Layers = kWork;
    SeedEvents(dm, int(state.range(0)));
    CalendarMemory memory;
    memory.Load(dm);
    tArrayofField found;
    for (auto _ : state) {
        memory.FindEvents(YearRequest(nullptr), dm.Layers, found);
    }
    state.counters["found"] = double(found.size());
}
BENCHMARK(BM_LoadFound_Year)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_KeywordSearch_Year(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    dm.Layers = kWork;
    SeedEvents(dm, int(state.range(0)));
    AddKeywordTexts(dm);
    CalendarMemory memory;
    memory.Load(dm);
    tArrayofField found;
    for (auto _ : state) {
        memory.FindEvents(YearRequest("straße"), dm.Layers, found);
    }
    state.counters["found"] = double(found.size());
}
BENCHMARK(BM_KeywordSearch_Year)->Arg(100000)->Unit(benchmark::kMillisecond);

// After each change the session reads the changed row again and rebuilds the due list: here
// one row a round, a different one each time.
void BM_RebuildDue(benchmark::State& state) {
    AlarmFolder f(int(state.range(0)));
    CalendarMemory memory;
    memory.Load(*f.folder.dm);
    tlist_of_event_for_timer due(*f.folder.dm);
    due.UseMemory(&memory);
    due.RebuildDue();
    std::vector<std::int64_t> ids;
    platform::Query q(f.folder.dm->ADOConnection);
    q.setSql("select id from eventtable");
    for (q.open(); !q.eof(); q.next())
        ids.push_back(q.integerAt(0));
    q.close();
    std::size_t changed = 0;
    for (auto _ : state) {
        memory.Refresh(*f.folder.dm, std::span(&ids[changed++ % ids.size()], 1));
        due.RebuildDue();
    }
    state.counters["due"] = double(due.dueEvents.size());
}
BENCHMARK(BM_RebuildDue)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CheckNewDue(benchmark::State& state) {
    AlarmFolder f(int(state.range(0)));
    CalendarMemory memory;
    memory.Load(*f.folder.dm);
    tlist_of_event_for_timer due(*f.folder.dm);
    due.UseMemory(&memory);
    due.RebuildDue();
    for (auto _ : state) {
        due.CheckNewDue();
    }
    state.counters["due"] = double(due.dueEvents.size());
}
BENCHMARK(BM_CheckNewDue)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Reading the whole table into memory, as the session does at start.
void BM_LoadMemory(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    SeedEvents(dm, int(state.range(0)));
    AddKeywordTexts(dm);
    for (auto _ : state) {
        CalendarMemory memory;
        memory.Load(dm);
        benchmark::DoNotOptimize(memory.Count());
    }
}
BENCHMARK(BM_LoadMemory)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ItemsOfDay_Month_Table(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    dm.Layers = {{"Work", 0x000000FF, true}};
    SeedEvents(dm, int(state.range(0)));
    const TDateTime first = EncodeDate(2027, 3, 1);
    tArrayofField events;
    LoadMonthEvents(dm, first - 1000, first + 1000, events);  // every event is loaded
    tlist_of_event month(dm);
    std::size_t lines = 0;
    for (auto _ : state) {
        for (int d = 0; d < 42; ++d) {
            lines += month.ItemsOfDay(first - 3 + d, events).size();
        }
    }
    state.counters["events"] = double(events.size());
    state.counters["lines/month"] = double(lines) / double(state.iterations());
}
BENCHMARK(BM_ItemsOfDay_Month_Table)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LoadFound_Year_Table(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    SeedEvents(dm, int(state.range(0)));
    tlist_of_event_for_Query search(dm);
    for (auto _ : state) {
        search.LoadFound("select * from eventtable order by begindate,begintime", 0,
                         EncodeDate(2027, 1, 1), EncodeDate(2027, 12, 31) + 0.99999);
    }
    state.counters["found"] = double(search.found.size());
}
BENCHMARK(BM_LoadFound_Year_Table)->Arg(100000)->Unit(benchmark::kMillisecond);

// A keyword search over a year as the search page runs it: the period, the keyword in subject,
// content and note, the active layers. One row in ten has the keyword's word with an ß, one in
// twenty in capitals with SS; some texts are not ASCII, so case folding has work to do.
void BM_KeywordSearch_Year_Table(benchmark::State& state) {
    Folder folder;
    TDataMod& dm = *folder.dm;
    dm.Layers = {{"Work", 0x000000FF, true}};
    SeedEvents(dm, int(state.range(0)));
    AddKeywordTexts(dm);
    const std::string from = FormatNumber(EncodeDate(2027, 1, 1));
    const std::string to = FormatNumber(EncodeDate(2027, 12, 31) + 0.99999);
    const std::string sql = "select * from eventtable where  (((beginDate<=" + from +
                            ") and ( enddate>=" + from + ")) or  ((beginDate>=" + from +
                            ") and ( beginDate<=" + to +
                            "))) and ((subject  like '%straße%')  or  (content  like "
                            "'%straße%')  or  (mynote  like '%straße%') ) " +
                            ActiveLayerCondition(dm.Layers) + " order by begindate,begintime";
    tlist_of_event_for_Query search(dm);
    for (auto _ : state) {
        search.LoadFound(sql, 0, EncodeDate(2027, 1, 1), EncodeDate(2027, 12, 31) + 0.99999);
    }
    state.counters["found"] = double(search.found.size());
}
BENCHMARK(BM_KeywordSearch_Year_Table)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RebuildDue_Table(benchmark::State& state) {
    AlarmFolder f(int(state.range(0)));
    tlist_of_event_for_timer due(*f.folder.dm);
    for (auto _ : state) {
        due.RebuildDue();
    }
    state.counters["due"] = double(due.dueEvents.size());
}
BENCHMARK(BM_RebuildDue_Table)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One tick of the alarm timer once the list holds what is due: the due statement runs again
// and every row it answers is checked against the list.
void BM_CheckNewDue_Table(benchmark::State& state) {
    AlarmFolder f(int(state.range(0)));
    tlist_of_event_for_timer due(*f.folder.dm);
    due.RebuildDue();
    for (auto _ : state) {
        due.CheckNewDue();
    }
    state.counters["due"] = double(due.dueEvents.size());
}
BENCHMARK(BM_CheckNewDue_Table)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
