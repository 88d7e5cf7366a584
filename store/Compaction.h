#pragma once

// Compaction of the event database: user.mdb is moved aside as user_bak.mdb, a compacted copy
// of it is written under the old name, and the moved-aside file is deleted. When the copy
// fails, the moved-aside file goes back under its name unchanged.

#include <string>

namespace qcal {

enum class CompactStatus {
    Done,
    MoveAsideFailed,  // user.mdb could not be moved aside; nothing was changed
    Failed,           // the copy failed; user.mdb is the uncompacted file again
    NotMovedBack,     // the copy failed and user_bak.mdb could not be moved back
};

struct CompactReport {
    CompactStatus status = CompactStatus::Failed;
    std::string detail;
};

// Whether the database engine can compact.
bool CompactionAvailable();

// Compacts programFolder/user.mdb. The database connection must be closed.
CompactReport CompactDatabaseFile(const std::string& programFolder);

}  // namespace qcal
