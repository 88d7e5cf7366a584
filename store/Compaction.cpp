#include "store/Compaction.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/SqliteMaintenance.h"
#include "platform/System.h"

namespace qcal {

bool CompactionAvailable() {
    return platform::VacuumIntoSupported();
}

CompactReport CompactDatabaseFile(const std::string& programFolder) {
    const std::string db = platform::JoinPath(programFolder, "user.mdb");
    const std::string bak = platform::JoinPath(programFolder, "user_bak.mdb");

    // A leftover user_bak.mdb is deleted first (a missing one is no error). When that or the
    // move aside fails, stop before anything was changed.
    if (::unlink(bak.c_str()) != 0 && errno != ENOENT)
        return {CompactStatus::MoveAsideFailed, bak + ": " + std::strerror(errno)};
    if (::access(db.c_str(), F_OK) != 0)
        return {CompactStatus::MoveAsideFailed, db + ": " + std::strerror(errno)};
    if (std::rename(db.c_str(), bak.c_str()) != 0)
        return {CompactStatus::MoveAsideFailed, db + ": " + std::strerror(errno)};

    std::string error;
    if (platform::VacuumInto(bak, db, error)) {
        ::unlink(bak.c_str());
        return {CompactStatus::Done, {}};
    }
    // The incomplete copy goes, the untouched original comes back.
    ::unlink(db.c_str());
    if (std::rename(bak.c_str(), db.c_str()) != 0)
        return {CompactStatus::NotMovedBack, error + "; " + bak + ": " + std::strerror(errno)};
    return {CompactStatus::Failed, error};
}

}  // namespace qcal
