#pragma once

// Backup of the user's data and settings into a ZIP archive and restore from one.
//
// The archive holds user.mdb, setup.ini and the WAV files below music/, named relative to the
// program folder with "/", and carries the comment kBackupComment, which alone marks it as a
// backup. A restore touches nothing until the whole archive has been checked, extracted into
// a staging folder and verified; the files are then moved into place one by one, the old ones
// kept aside until every move has succeeded, so a failure leaves the old set as it was.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qcal {

inline constexpr std::string_view kBackupComment = "quenlariscalendar_backup";

struct BackupReport {
    bool ok = false;
    std::string detail;              // why it failed
    std::vector<std::string> names;  // the entries written
};

// The names (relative, "/") of the files a backup of programFolder stores, in their order:
// user.mdb and setup.ini when present, then the WAV files below music/ (extension in any
// letter case), sorted. Hidden files and folders are skipped.
std::vector<std::string> BackupFileNames(const std::string& programFolder);

// Writes the backup of programFolder to archivePath. An existing archive is updated: entries
// of the same name are replaced, the others kept. The database is copied under the engine's
// lock first, so the archive holds a consistent database. The archive is replaced atomically.
BackupReport WriteBackup(const std::string& programFolder, const std::string& archivePath);

// What a restore will extract at most: an archive beyond these is refused before anything is
// written.
struct RestoreLimits {
    std::uint64_t maxEntries = 5000;
    std::uint64_t maxEntryBytes = std::uint64_t(512) << 20;
    std::uint64_t maxTotalBytes = std::uint64_t(1) << 30;
};

enum class RestoreStatus {
    Done,
    Unreadable,  // not a ZIP archive, or a damaged one
    NotABackup,  // the comment is not exactly kBackupComment
    Refused,     // an entry name, type or size the restore does not accept
    Failed,      // extraction, verification or a move failed; the old files are back
};

struct RestoreReport {
    RestoreStatus status = RestoreStatus::Failed;
    std::string detail;
};

struct RestoreOptions {
    RestoreLimits limits;
    // Asked before each move into the program folder with the move's number (0 for the
    // first); false makes that move fail. Lets tests interrupt a restore part-way.
    std::function<bool(std::size_t)> beforeMove;
};

// Whether a restore accepts an entry of this name: "user.mdb", "setup.ini", or a WAV file
// below "music/" with no empty, hidden, "." or ".." step and no backslash or control character.
bool IsRestorableName(std::string_view name);

// Reads the archive's directory and checks its comment and every entry, writing nothing.
RestoreReport InspectBackup(const std::string& archivePath, const RestoreLimits& limits = {});

// Restores the archive into programFolder. The database connection must be closed.
RestoreReport RestoreBackup(const std::string& programFolder, const std::string& archivePath,
                            const RestoreOptions& options = {});

}  // namespace qcal
