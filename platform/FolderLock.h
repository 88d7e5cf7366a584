#pragma once

// An advisory lock on a whole folder, and a flush of a folder's entries to disk.
//
// The operations that move the data files about (backup, restore, compaction) hold the lock on
// the data folder while they work, and the repair at start takes it before it touches anything,
// so one process never tidies up what another is still doing. The kernel drops the lock when
// its holder ends, however it ends.

#include <string>

namespace qcal::platform {

class FolderLock {
public:
    enum class Wait { Block, DontBlock };
    FolderLock(const std::string& folder, Wait wait);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False when the folder cannot be opened or, without waiting, another process holds it.
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Writes the folder's entries (names made, renamed or removed) to disk.
bool SyncFolder(const std::string& folder);

}  // namespace qcal::platform
