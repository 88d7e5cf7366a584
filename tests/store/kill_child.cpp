// Runs one write path of the program over and over on a data folder until it is killed, and
// writes "ack N" to standard output each time a change has been acknowledged, as the program
// would tell its user. The kill test starts it, kills it at a random moment and checks what
// the next start finds.
//
//   qcal_kill_child <path> <data folder> [arguments of the path...]

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "store/Backup.h"
#include "store/Compaction.h"
#include "store/DataModule.h"
#include "store/EventLists.h"

namespace {

using Arguments = std::vector<std::string>;

// Acknowledges change n in one write, so that a kill never leaves half a line.
void Ack(long long n) {
    const std::string line = "ack " + std::to_string(n) + "\n";
    if (::write(STDOUT_FILENO, line.data(), line.size()) != ssize_t(line.size()))
        ::_exit(3);
}

[[noreturn]] void Fail(const std::string& what) {
    std::cerr << "kill child: " << what << '\n';
    ::_exit(2);
}

std::vector<std::int64_t> EventIds(qcal::TDataMod& dm) {
    qcal::platform::Query q(dm.ADOConnection);
    q.setSql("select id from eventtable order by id");
    q.open();
    std::vector<std::int64_t> ids;
    for (; !q.eof(); q.next())
        ids.push_back(q.asInteger("id"));
    return ids;
}

// The subject of the first event becomes "edit N".
void Edit(qcal::TDataMod& dm, const Arguments&) {
    const std::int64_t id = EventIds(dm).at(0);
    for (long long n = 1;; ++n) {
        qcal::tlist_of_event_orig list(dm);
        qcal::tfield event;
        if (!list.LoadEvent(id, event))
            Fail("no event to edit");
        event.subject = "edit " + std::to_string(n);
        if (!list.UpdateEvent(event))
            Fail("edit failed");
        Ack(n);
    }
}

// The events go one by one, in order of id; the acknowledgement names the id.
void Delete(qcal::TDataMod& dm, const Arguments&) {
    for (const std::int64_t id : EventIds(dm)) {
        qcal::tlist_of_event_orig list(dm);
        if (!list.DeleteEvents(std::span(&id, 1), qcal::IdListBlanks::None))
            Fail("delete failed");
        Ack(id);
    }
    ::pause();
}

// The events are archived one by one, in order of id.
void Archive(qcal::TDataMod& dm, const Arguments&) {
    for (const std::int64_t id : EventIds(dm)) {
        qcal::tlist_of_event_orig list(dm);
        if (!list.FileEvents(std::span(&id, 1), qcal::IdListBlanks::None))
            Fail("archive failed");
        Ack(id);
    }
    ::pause();
}

// Backs up into the archive given, again and again.
void Backup(qcal::TDataMod& dm, const Arguments& args) {
    dm.Disconnect();
    for (long long n = 1;; ++n) {
        const qcal::BackupReport report = qcal::WriteBackup(dm.ProgramFolder(), args.at(0));
        if (!report.ok)
            Fail("backup failed: " + report.detail);
        Ack(n);
    }
}

// Restores the archives given in turn: ack N means archive N % count is in place.
void Restore(qcal::TDataMod& dm, const Arguments& args) {
    dm.Disconnect();
    for (long long n = 0;; ++n) {
        const std::string& archive = args.at(std::size_t(n) % args.size());
        const qcal::RestoreReport report = qcal::RestoreBackup(dm.ProgramFolder(), archive);
        if (report.status != qcal::RestoreStatus::Done)
            Fail("restore failed: " + report.detail);
        Ack(n);
    }
}

void Compact(qcal::TDataMod& dm, const Arguments&) {
    dm.Disconnect();
    for (long long n = 1;; ++n) {
        const qcal::CompactReport report = qcal::CompactDatabaseFile(dm.ProgramFolder());
        if (report.status != qcal::CompactStatus::Done)
            Fail("compaction failed: " + report.detail);
        Ack(n);
    }
}

const std::map<std::string, std::function<void(qcal::TDataMod&, const Arguments&)>> kPaths{
    {"edit", Edit},     {"delete", Delete},   {"archive", Archive},
    {"backup", Backup}, {"restore", Restore}, {"compaction", Compact},
};

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || !kPaths.count(argv[1])) {
        std::cerr << "usage: qcal_kill_child <path> <data folder> [arguments...]\n";
        return 2;
    }
    // The program's own start: the data module settles the folder and opens the database.
    qcal::StderrErrorReporter errors;
    qcal::TDataMod dm(argv[2], errors);
    if (!dm.Connected())
        Fail("cannot open the database");
    dm.LoadLayers();
    kPaths.at(argv[1])(dm, Arguments(argv + 3, argv + argc));
    return 0;
}
