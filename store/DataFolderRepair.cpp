#include "store/DataFolderRepair.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/FolderLock.h"
#include "platform/SqliteMaintenance.h"
#include "platform/System.h"
#include "store/Backup.h"
#include "store/Compaction.h"

namespace qcal {

namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// "name.restore-old" or "name.restore-old.N": an old file a restore kept aside.
bool IsKeptAside(const std::string& leaf) {
    const std::string mark = ".restore-old";
    const std::size_t at = leaf.rfind(mark);
    if (at == std::string::npos || at == 0)
        return false;
    const std::string tail = leaf.substr(at + mark.size());
    if (tail.empty())
        return true;
    return tail.size() > 1 && tail[0] == '.' &&
           tail.find_first_not_of("0123456789", 1) == std::string::npos;
}

// ".<name>.XXXXXX": the temporary file of an atomic write of name.
bool IsTemporaryOf(const std::string& leaf, const std::string& name) {
    const std::string prefix = "." + name + ".";
    return leaf.size() == prefix.size() + 6 && StartsWith(leaf, prefix);
}

// Whether the file was last written more than a minute ago: a settings write of a running
// program never takes that long, so such a temporary file is a leftover.
bool Stale(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && std::time(nullptr) - st.st_mtime > 60;
}

void RemoveKeptAside(const fs::path& folder) {
    std::error_code ec;
    std::vector<fs::path> doomed;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && IsKeptAside(it->path().filename().string()))
            doomed.push_back(it->path());
    }
    for (const fs::path& p : doomed)
        fs::remove(p, ec);
}

}  // namespace

RepairReport RepairDataFolder(const std::string& folder) {
    RepairReport report;
    const platform::FolderLock lock(folder, platform::FolderLock::Wait::DontBlock);
    if (!lock.held())
        return report;
    report.ran = true;

    std::string detail;
    const bool restoreSettled = FinishInterruptedRestore(folder, detail);
    if (!restoreSettled)
        report.problems.push_back(detail);
    if (!SettleCompactionBackup(folder, detail))
        report.problems.push_back(detail);
    // The journal of a write that was cut short: rolled back now rather than at the first
    // read, and one that was never completed removed.
    const std::string db = platform::JoinPath(folder, "user.mdb");
    if (platform::FileExists(db + "-journal") && !platform::SettleJournal(db, detail))
        report.problems.push_back(detail);

    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string leaf = it->path().filename().string();
        const std::string path = it->path().string();
        if (StartsWith(leaf, ".backup-") && it->is_directory(ec)) {
            RemoveInterruptedBackup(path);
        } else if (restoreSettled && StartsWith(leaf, ".restore-") && leaf != kRestoreJournal &&
                   it->is_directory(ec)) {
            fs::remove_all(it->path(), ec);
        } else if (StartsWith(leaf, kCompactTempPrefix) || StartsWith(leaf, ".write-test-") ||
                   IsTemporaryOf(leaf, kRestoreJournal) || (restoreSettled && IsKeptAside(leaf)) ||
                   (IsTemporaryOf(leaf, "setup.ini") && Stale(path))) {
            files.push_back(it->path());
        }
    }
    for (const fs::path& p : files)
        fs::remove(p, ec);
    const fs::path music = fs::path(folder) / "music";
    if (restoreSettled && fs::is_directory(music, ec))
        RemoveKeptAside(music);
    platform::SyncFolder(folder);
    return report;
}

}  // namespace qcal
