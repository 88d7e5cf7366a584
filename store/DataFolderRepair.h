#pragma once

// The repair at start: before the database is opened, whatever a backup, restore or
// compaction that was cut short (the program killed, the machine off) left in the data folder
// is settled. A restore found under way is finished, or undone when it was going back; a
// user_bak.mdb is settled as a compaction would; then the scratch folders, temporary files and
// old files kept aside that nothing needs any more are removed. When another process holds the
// data folder for one of these operations, nothing is touched.

#include <string>
#include <vector>

namespace qcal {

struct RepairReport {
    bool ran = false;                   // false when another process held the folder
    std::vector<std::string> problems;  // what could not be settled (left as it is)
};

RepairReport RepairDataFolder(const std::string& folder);

}  // namespace qcal
