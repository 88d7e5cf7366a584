#pragma once

// Compaction of the event database. The compacted copy is written to a temporary file in the
// data folder, flushed to disk and checked (it opens, passes the full integrity check, holds
// eventtable with as many rows as the original) before it takes the place of user.mdb in one
// rename, so user.mdb is at every moment either the old database or the new checked one. The
// old file stays reachable as user_bak.mdb until the new one is in place.

#include <functional>
#include <string>

#include "store/Backup.h"

namespace qcal {

enum class CompactStatus {
    Done,
    MoveAsideFailed,  // the old user_bak.mdb or user.mdb stood in the way; nothing was changed
    Failed,           // the copy failed or did not pass its check; user.mdb is unchanged
};

struct CompactReport {
    CompactStatus status = CompactStatus::Failed;
    std::string detail;
};

// The steps of a compaction, in their order.
enum class CompactStep {
    Copy,             // the compacted copy into the temporary file, flushed
    Verify,           // the copy's check
    RemoveOldBackup,  // a user_bak.mdb left by an earlier compaction
    KeepBackup,       // the old database linked as user_bak.mdb
    Replace,          // the copy renamed over user.mdb
    RemoveBackup,     // user_bak.mdb removed
};

struct CompactOptions {
    // Asked before each step: lets tests fail a step or stop the compaction there.
    std::function<StepFault(CompactStep)> atStep;
};

// Whether the database engine can compact.
bool CompactionAvailable();

// Compacts folder/user.mdb. The program's own database connection must be closed.
CompactReport CompactDatabaseFile(const std::string& folder, const CompactOptions& options = {});

// What to do with a user_bak.mdb beside user.mdb, as the start-up repair and a compaction ask
// it. user_bak.mdb goes only once user.mdb is a sound database that holds everything it holds
// (the same file, or as many rows); when user.mdb is missing or damaged and user_bak.mdb is
// sound, user_bak.mdb becomes user.mdb again (a damaged non-empty user.mdb is kept as
// user.mdb.damaged). Answers true when no user_bak.mdb is left.
bool SettleCompactionBackup(const std::string& folder, std::string& detail);

// The prefix of the temporary files a compaction writes in the data folder.
inline constexpr char kCompactTempPrefix[] = ".compact-";

}  // namespace qcal
