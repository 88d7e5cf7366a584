// Runs one write path over and over on a data folder until it is killed, and writes "ack N"
// to standard output each time a change is acknowledged, as the program would tell its user.
//
//   qcal_kill_child <path> <data folder> [arguments of the path...]

#include <unistd.h>

#include <functional>
#include <iostream>
#include <map>

#include "store/Backup.h"
#include "store/Compaction.h"
#include "store/EventLists.h"

namespace {

using Arguments = std::vector<std::string>;

// One write per line, so that a kill never leaves half of one.
void Ack(long long n) {
    const std::string line = "ack " + std::to_string(n) + "\n";
    if (::write(STDOUT_FILENO, line.data(), line.size()) != ssize_t(line.size()))
        ::_exit(3);
}

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::cerr << "kill child: " << what << '\n';
        ::_exit(2);
    }
}

std::vector<std::int64_t> EventIds(qcal::TDataMod& dm) {
    qcal::platform::Query q(dm.ADOConnection);
    q.setSql("select id from eventtable order by id");
    std::vector<std::int64_t> ids;
    for (q.open(); !q.eof(); q.next())
        ids.push_back(q.asInteger("id"));
    return ids;
}

// The events are deleted or archived one by one; the acknowledgement names the id.
void EachEvent(qcal::TDataMod& dm, bool remove) {
    for (const std::int64_t id : EventIds(dm)) {
        qcal::tlist_of_event_orig list(dm);
        const std::span ids(&id, 1);
        Check(remove ? list.DeleteEvents(ids, qcal::IdListBlanks::None)
                     : list.FileEvents(ids, qcal::IdListBlanks::None),
              "write failed");
        Ack(id);
    }
    ::pause();
}

const std::map<std::string, std::function<void(qcal::TDataMod&, const Arguments&)>> kPaths{
    // The subject of the first event becomes "edit N".
    {"edit",
     [](qcal::TDataMod& dm, const Arguments&) {
         qcal::tfield event;
         for (long long n = 1;; ++n) {
             qcal::tlist_of_event_orig list(dm);
             Check(list.LoadEvent(EventIds(dm).at(0), event), "no event");
             event.subject = "edit " + std::to_string(n);
             Check(list.UpdateEvent(event), "edit failed");
             Ack(n);
         }
     }},
    {"delete", [](qcal::TDataMod& dm, const Arguments&) { EachEvent(dm, true); }},
    {"archive", [](qcal::TDataMod& dm, const Arguments&) { EachEvent(dm, false); }},
    {"backup",
     [](qcal::TDataMod& dm, const Arguments& args) {
         dm.Disconnect();
         for (long long n = 1;; Ack(n++)) {
             const auto report = qcal::WriteBackup(dm.ProgramFolder(), args.at(0));
             Check(report.ok, report.detail);
         }
     }},
    // The archives given in turn: ack N means archive N % count is in place.
    {"restore",
     [](qcal::TDataMod& dm, const Arguments& args) {
         dm.Disconnect();
         for (long long n = 0;; Ack(n++)) {
             const auto report =
                 qcal::RestoreBackup(dm.ProgramFolder(), args.at(std::size_t(n) % args.size()));
             Check(report.status == qcal::RestoreStatus::Done, report.detail);
         }
     }},
    {"compaction",
     [](qcal::TDataMod& dm, const Arguments&) {
         dm.Disconnect();
         for (long long n = 1;; Ack(n++)) {
             const auto report = qcal::CompactDatabaseFile(dm.ProgramFolder());
             Check(report.status == qcal::CompactStatus::Done, report.detail);
         }
     }},
};

}  // namespace

int main(int argc, char* argv[]) {
    Check(argc >= 3 && kPaths.count(argv[1]), "usage: qcal_kill_child <path> <data folder> ...");
    // The program's own start: the data module settles the folder and opens the database.
    qcal::StderrErrorReporter errors;
    qcal::TDataMod dm(argv[2], errors);
    Check(dm.Connected(), "cannot open the database");
    dm.LoadLayers();
    kPaths.at(argv[1])(dm, Arguments(argv + 3, argv + argc));
}
