#pragma once

// What the benchmark programs share: a program folder with a seeded database, and the
// reference workload that every figure is compared with.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "core/DateTime.h"
#include "store/DataModule.h"

namespace qcal::bench {

class NullErrors final : public ErrorReporter {
public:
    void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

// A program folder with a fresh copy of the delivered database.
class Folder {
public:
    Folder() {
        path_ = std::filesystem::temp_directory_path() /
                ("qcal-bench-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
        std::filesystem::copy_file(QCAL_DELIVERED_DB, path_ / "user.mdb");
        dm = std::make_unique<TDataMod>(path_.string(), errors);
    }
    ~Folder() {
        dm.reset();
        std::filesystem::remove_all(path_);
    }
    std::string Path() const { return path_.string(); }
    NullErrors errors;
    std::unique_ptr<TDataMod> dm;

private:
    std::filesystem::path path_;
};

// count events of every rule kind, every fifth one without an alarm. begin and end are SQL
// expressions of the row number i giving each event's begindate and enddate.
inline void SeedEventsSpread(TDataMod& dm, int count, const std::string& begin,
                             const std::string& end) {
    const std::string sql =
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<" +
        std::to_string(count - 1) +
        ") INSERT INTO eventtable (subject,content,mynote,layername,begindate,beginTime,enddate,"
        "endtime,lastFileTime,alert,repeatType,dayType,dayEvery0,weekType,weekEvery0,"
        "weekSelected0,monthType,monthDay0,monthEvery0,monthspecial1,monthDayorWeek1,monthEvery1,"
        "yearType,yearDay0,yearMonth0,yearspecial1,yearDayorWeek1,yearMonth1) "
        "SELECT 'Event '||i,'Some content','A note','Work'," +
        begin + ",(i%96)/96.0," + end + ",(i%96)/96.0+0.01,CASE WHEN i%3=0 THEN 0 ELSE " + begin +
        "+(i%30) END,(i%5)<>0,i%5,(i/5)%2,1+(i%7),0,1+(i%3),'FTFTFTF',(i/5)%2,1+(i%31),"
        "1+(i%4),i%5,i%9,1+(i%6),(i/5)%2,1+(i%28),i%12,i%5,i%9,(i/7)%12 FROM n";
    dm.ADOConnection.exec(sql);
}

// Events of every rule kind spread over 2026-2028.
inline void SeedEvents(TDataMod& dm, int count) {
    const std::string from = FormatNumber(EncodeDate(2026, 1, 1));
    SeedEventsSpread(dm, count, from + "+(i%700)", from + "+(i%700)+(i%400)");
}

// The resident memory of this process in megabytes, as /proc/self/status tells it.
inline double ResidentMegabytes() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    double kilobytes = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmRSS: %lf kB", &kilobytes) == 1)
            break;
    }
    std::fclose(status);
    return kilobytes / 1024.0;
}

inline void BM_Reference(benchmark::State& state) {
    // A fixed amount of calendar arithmetic: the yardstick for the other figures.
    for (auto _ : state) {
        long sum = 0;
        for (int d = 0; d < 200000; ++d) {
            const CivilDate c = DateOfDay(40000 + d);
            sum += int(c.day) + WeekdayOfDay(40000 + d);
        }
        benchmark::DoNotOptimize(sum);
    }
}

}  // namespace qcal::bench
