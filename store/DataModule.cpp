#include "store/DataModule.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "core/DateTime.h"
#include "platform/DataFolder.h"
#include "store/DataFolderRepair.h"
#include "store/IdList.h"

namespace qcal {

TDataMod::TDataMod(std::string programFolder, ErrorReporter& errors, platform::OpenMode access)
    : Separators(platform::CurrentLocaleSeparators()),
      programFolder_(std::move(programFolder)),
      errors_(errors),
      access_(access) {
    // Whatever a backup, restore or compaction cut short left behind is settled before the
    // database is opened.
    RepairDataFolder(programFolder_);
    if (access_ == platform::OpenMode::ReadWrite) {
        if (const std::string problem = platform::WriteProblem(programFolder_); !problem.empty()) {
            refusal_ =
                "Changes cannot be saved: the data folder cannot be written (" + problem + ").";
            access_ = platform::OpenMode::ReadOnly;
        }
    }
    if (Connect() && !refusal_.empty()) {
        errors_.ShowError(refusal_);
    }
    DateFormats = {"mm/dd/yyyy", "mm/dd/yy", "dd/mm/yyyy", "dd/mm/yy", "yyyy/mm/dd", "yy/mm/dd"};
    TimeFormats = {"hh:nn AM/PM", "hh:nn"};
}

TDataMod::~TDataMod() {
    Disconnect();
}

void TDataMod::ADOConnectionWillConnect(std::string& connectionString, std::string& userId,
                                        std::string& password) const {
    // SQLite needs nothing but the database file; there is no user or password.
    connectionString = DatabasePath();
    userId = "admin";
    password.clear();
}

bool TDataMod::Connect() {
    if (ADOConnection.isOpen()) {
        return true;
    }
    std::string userId;
    std::string password;
    ADOConnectionWillConnect(connectionString_, userId, password);
    try {
        ADOConnection.open(connectionString_, access_);
    } catch (const platform::DbError& e) {
        errors_.ShowError(e.what());
        return false;
    }
    released_ = false;
    // A reader never writes: it reads an older file without the index.
    if (access_ == platform::OpenMode::ReadWrite) {
        AddDateIndex();
    }
    return true;
}

void TDataMod::AddDateIndex() {
    // The same index as in the delivered file. A file from before it gets it on first use; one
    // that cannot be written to is searched without it, only more slowly.
    try {
        ADOConnection.exec(
            "CREATE INDEX IF NOT EXISTS eventtable_begin ON eventtable (begindate, begintime)");
    } catch (const platform::DbError&) {
    }
}

void TDataMod::Disconnect() {
    ADOConnection.close();
}

void TDataMod::Release() {
    released_ = true;
    Disconnect();
}

bool TDataMod::RefuseChange() const {
    if (refusal_.empty()) {
        return false;
    }
    errors_.ShowError(refusal_);
    return true;
}

std::string TDataMod::SetupIniPath() const {
    return platform::JoinPath(programFolder_, "setup.ini");
}

std::string TDataMod::DatabasePath() const {
    return platform::JoinPath(programFolder_, "user.mdb");
}

std::string TDataMod::SoundFolder() const {
    return platform::JoinPath(programFolder_, "music");
}

std::string TDataMod::OwnFileAt(const std::string& path) const {
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) {
        return {};  // a new file is no file of ours
    }
    const auto same = [&target](const std::string& candidate) {
        struct stat own {};
        return ::stat(candidate.c_str(), &own) == 0 && own.st_dev == target.st_dev &&
               own.st_ino == target.st_ino;
    };
    for (const std::string& file : {DatabasePath(), DatabasePath() + "-journal", SetupIniPath()}) {
        if (same(file)) {
            return file;
        }
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::recursive_directory_iterator it(SoundFolder(),
                                        fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (same(it->path().string())) {
            return it->path().string();
        }
    }
    return {};
}

std::string TDataMod::Format(const std::string& format, TDateTime value) const {
    return FormatDateTime(format, value, Separators.date, Separators.time);
}

SelectedIds TDataMod::SelectedIdList(const std::vector<int>& selectedRows,
                                     const tArrayofField& events) {
    std::vector<int> rows = selectedRows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    SelectedIds result;
    for (int row : rows) {
        if (row < 0 || std::size_t(row) >= events.size()) {
            continue;
        }
        result.ids.push_back(events[std::size_t(row)].id);
    }
    result.count = int(result.ids.size());
    result.text = IdListText(result.ids, IdListBlanks::Around);
    return result;
}

}  // namespace qcal
