#pragma once

// Backup of the user's data and settings into a ZIP archive and restore from one.
//
// The archive holds user.mdb, setup.ini and the WAV files below music/, named relative to the
// program folder with "/", and carries the comment kBackupComment, which alone marks it as a
// backup. A restore touches nothing until the whole archive has been checked, extracted into
// a staging folder and verified; the files are then moved into place one by one, the old ones
// kept aside until every move has succeeded, so a failure leaves the old set as it was. The
// moves are written to a journal in the data folder first, so that the next start can finish
// a restore that was cut short (or put the old set back when it was going back already).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qcal {

inline constexpr std::string_view kBackupComment = "quenlariscalendar_backup";

// What a restore will extract at most: an archive beyond these is refused before anything is
// written.
struct RestoreLimits {
    std::uint64_t maxEntries = 5000;
    std::uint64_t maxEntryBytes = std::uint64_t(512) << 20;
    std::uint64_t maxTotalBytes = std::uint64_t(1) << 30;
};

struct BackupReport {
    bool ok = false;
    std::string detail;                // why it failed
    std::vector<std::string> names;    // the files of the data folder written
    std::vector<std::string> skipped;  // sounds left out, each with the reason
};

// The names (relative, "/") of the files a backup of folder stores, in their order:
// user.mdb and setup.ini when present, then the WAV files below music/ (extension in any
// letter case), sorted. Hidden files and folders are skipped.
std::vector<std::string> BackupFileNames(const std::string& folder);

// Writes the backup of folder to archivePath. An existing archive is updated: entries of the
// same name are replaced, the others kept; an existing archive that holds an entry a restore
// refuses is left alone and the backup fails. Sounds a restore would not take back (their
// name, or their size beyond limits) are left out and listed. The database is copied under
// the engine's lock first, so the archive holds a consistent database. The new archive is
// built in the data folder and checked as a restore checks it before it replaces the old one
// in one rename; a backup cut short leaves the old archive as it was.
BackupReport WriteBackup(const std::string& folder, const std::string& archivePath,
                         const RestoreLimits& limits = {});

enum class RestoreStatus {
    Done,
    Unreadable,  // not a ZIP archive, or a damaged one
    NotABackup,  // the comment is not exactly kBackupComment, or user.mdb or setup.ini missing
    Refused,     // an unsafe entry name or type, or a size beyond the limits
    Failed,      // extraction, verification or a move failed; the old files are back
};

struct RestoreReport {
    RestoreStatus status = RestoreStatus::Failed;
    std::string detail;
    // Entries the restore does not know (other files, folders) and left in the archive.
    std::vector<std::string> skipped;
};

// What a test seam makes of a step: go on, fail it (the operation then undoes what it did),
// or stop there on the spot as a killed process would, leaving everything as it is.
enum class StepFault { None, Fail, CutShort };

struct RestoreOptions {
    RestoreLimits limits;
    // Asked at each step of the moves into the data folder: step 2k before the old file of
    // move k is put aside, 2k + 1 before its new file goes in.
    std::function<StepFault(std::size_t step)> atStep;
};

// Whether a restore takes back an entry of this name: "user.mdb", "setup.ini", or a WAV file
// below "music/" with no empty, hidden, "." or ".." step and no backslash, colon or control
// character.
bool IsRestorableName(std::string_view name);

// Whether an entry of this name may stand in a backup at all (a restore skips it when it does
// not take it back): relative, no "." or ".." step, no backslash or control character.
bool IsSafeEntryName(std::string_view name);

// Reads the archive's directory and checks its comment and every entry, writing nothing.
RestoreReport InspectBackup(const std::string& archivePath, const RestoreLimits& limits = {});

// Restores the archive into programFolder. The database connection must be closed.
RestoreReport RestoreBackup(const std::string& folder, const std::string& archivePath,
                            const RestoreOptions& options = {});

// Removes the scratch folder (named ".backup-...") of a backup that was cut short, and the
// temporary archive it was writing beside the chosen archive, if any.
void RemoveInterruptedBackup(const std::string& scratchFolder);

// The journal of a restore under way, in the data folder.
inline constexpr char kRestoreJournal[] = ".restore-journal";

// Finishes the restore whose journal is in folder: the moves still to do are done, or, when
// the restore was already going back (or going on fails), every old file is put back. The
// journal, the staging folder and the old files kept aside are removed. True when there was
// nothing to do or the data files are a complete set again.
bool FinishInterruptedRestore(const std::string& folder, std::string& detail);

}  // namespace qcal
