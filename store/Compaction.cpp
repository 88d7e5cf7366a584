#include "store/Compaction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FolderLock.h"
#include "platform/SqliteMaintenance.h"
#include "platform/System.h"

namespace qcal {

namespace {

constexpr char kTable[] = "eventtable";

std::string ErrnoText(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool Sound(const std::string& path) {
    std::string ignored;
    return platform::DatabaseIsSound(path, kTable, ignored);
}

}  // namespace

bool CompactionAvailable() {
    return platform::VacuumIntoSupported();
}

bool SettleCompactionBackup(const std::string& folder, std::string& detail) {
    const std::string db = platform::JoinPath(folder, "user.mdb");
    const std::string bak = platform::JoinPath(folder, "user_bak.mdb");
    struct stat st {};
    if (::lstat(bak.c_str(), &st) != 0)
        return true;
    if (!S_ISREG(st.st_mode)) {
        detail = bak + ": not a file";
        return false;
    }
    if (SameFile(db, bak)) {
        if (::unlink(bak.c_str()) != 0) {
            detail = ErrnoText(bak);
            return false;
        }
        platform::SyncFolder(folder);
        return true;
    }
    // A writer cut short may have left a journal: roll it back before judging user.mdb.
    std::string ignored;
    if (Exists(db + "-journal"))
        platform::SettleJournal(db, ignored);
    const bool dbSound = Sound(db);
    const bool bakSound = Sound(bak);
    if (dbSound) {
        if (bakSound && platform::TableRowCount(db, kTable, ignored) <
                            platform::TableRowCount(bak, kTable, ignored)) {
            detail = bak + ": holds events that user.mdb lacks";
            return false;
        }
        if (::unlink(bak.c_str()) != 0) {
            detail = ErrnoText(bak);
            return false;
        }
        platform::SyncFolder(folder);
        return true;
    }
    if (!bakSound) {
        detail = "neither user.mdb nor user_bak.mdb is a sound database";
        return false;
    }
    // user.mdb is missing, empty, cut short or damaged: the old database comes back.
    struct stat dbst {};
    if (::lstat(db.c_str(), &dbst) == 0 && dbst.st_size > 0) {
        const std::string damaged = db + ".damaged";
        if (::rename(db.c_str(), damaged.c_str()) != 0) {
            detail = ErrnoText(db);
            return false;
        }
    }
    if (::rename(bak.c_str(), db.c_str()) != 0) {
        detail = ErrnoText(bak);
        return false;
    }
    platform::SyncFolder(folder);
    return true;
}

CompactReport CompactDatabaseFile(const std::string& folder, const CompactOptions& options) {
    const std::string db = platform::JoinPath(folder, "user.mdb");
    const std::string bak = platform::JoinPath(folder, "user_bak.mdb");
    bool cutShort = false;
    auto allowed = [&](CompactStep step) {
        const StepFault fault = options.atStep ? options.atStep(step) : StepFault::None;
        cutShort = fault == StepFault::CutShort;
        if (fault != StepFault::None) {
            errno = EIO;
            return false;
        }
        return true;
    };

    const platform::FolderLock lock(folder, platform::FolderLock::Wait::Block);
    struct stat dbst {};
    if (::stat(db.c_str(), &dbst) != 0 || !S_ISREG(dbst.st_mode))
        return {CompactStatus::MoveAsideFailed, ErrnoText(db)};

    std::string error;
    if (Exists(db + "-journal") && !platform::SettleJournal(db, error))
        return {CompactStatus::Failed, db + ": " + error};
    if (!platform::DatabaseIsSound(db, kTable, error))
        return {CompactStatus::Failed, db + ": " + error};
    const long long rows = platform::TableRowCount(db, kTable, error);

    // An empty file of a fresh name: the engine compacts into it.
    std::string temp = platform::JoinPath(folder, kCompactTempPrefix) + "XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return {CompactStatus::MoveAsideFailed, ErrnoText(folder)};
    ::fchmod(fd, dbst.st_mode & 07777);
    ::close(fd);
    bool linked = false;
    auto fail = [&](CompactStatus status, std::string detail) {
        if (cutShort)
            return CompactReport{CompactStatus::Failed, "cut short"};
        ::unlink(temp.c_str());
        if (linked)
            ::unlink(bak.c_str());
        platform::SyncFolder(folder);
        return CompactReport{status, std::move(detail)};
    };

    if (!allowed(CompactStep::Copy) || !platform::VacuumInto(db, temp, error))
        return fail(CompactStatus::Failed, error.empty() ? ErrnoText(temp) : error);
    if (!allowed(CompactStep::Verify) || !platform::DatabaseIsSound(temp, kTable, error))
        return fail(CompactStatus::Failed, error.empty() ? ErrnoText(temp) : temp + ": " + error);
    if (platform::TableRowCount(temp, kTable, error) != rows)
        return fail(CompactStatus::Failed, temp + ": rows lost in the copy");

    // user.mdb is sound now, so a user_bak.mdb from earlier may go unless it holds more.
    if (!allowed(CompactStep::RemoveOldBackup))
        return fail(CompactStatus::MoveAsideFailed, ErrnoText(bak));
    if (!SettleCompactionBackup(folder, error))
        return fail(CompactStatus::MoveAsideFailed, error);
    if (!allowed(CompactStep::KeepBackup))
        return fail(CompactStatus::Failed, ErrnoText(bak));
    // A folder on a file system without hard links compacts without the second name; the
    // rename below keeps user.mdb whole either way.
    linked = ::link(db.c_str(), bak.c_str()) == 0;
    if (!allowed(CompactStep::Replace) || ::rename(temp.c_str(), db.c_str()) != 0)
        return fail(CompactStatus::Failed, ErrnoText(db));
    platform::SyncFolder(folder);
    // The next start removes a user_bak.mdb that could not be removed now.
    if (linked && allowed(CompactStep::RemoveBackup) && ::unlink(bak.c_str()) == 0)
        platform::SyncFolder(folder);
    return {CompactStatus::Done, {}};
}

}  // namespace qcal
