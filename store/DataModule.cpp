#include "store/DataModule.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "core/DateTime.h"
#include "platform/DataFolder.h"
#include "store/DataFolderRepair.h"
#include "store/IdList.h"
#include "store/SyncState.h"

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
        AddLaterColumns();
        AddSyncTables();
    }
    laterColumns_ = FindLaterColumns();
    return true;
}

namespace {

// The columns added to the table after the first files were delivered, with the values that
// mean what a row without them always meant.
struct LaterColumn {
    const char* name;
    const char* declaration;
};
constexpr LaterColumn kLaterColumns[] = {
    {"exceptDays", "exceptDays TEXT NOT NULL DEFAULT ''"},
    {"seriesId", "seriesId INTEGER NOT NULL DEFAULT 0"},
    {"seriesDay", "seriesDay INTEGER NOT NULL DEFAULT 0"},
    {"remindBefore", "remindBefore INTEGER NOT NULL DEFAULT 0"},
    {"allDay", "allDay INTEGER NOT NULL DEFAULT 0"},
    {"openEnd", "openEnd INTEGER NOT NULL DEFAULT 0"},
    {"location", "location TEXT NOT NULL DEFAULT ''"},
};

}  // namespace

bool TDataMod::FindLaterColumns() {
    try {
        platform::Query q(ADOConnection);
        q.setSql("select * from eventtable where id=0");
        q.open();
        for (const LaterColumn& column : kLaterColumns) {
            if (!q.hasField(column.name)) {
                return false;
            }
        }
        return true;
    } catch (const platform::DbError&) {
        return false;
    }
}

void TDataMod::AddLaterColumns() {
    // Added in one transaction, so a file has all of them or none. A file that cannot be
    // written to is used as it is: its events read with the defaults.
    try {
        std::vector<std::string> missing;
        {
            platform::Query q(ADOConnection);
            q.setSql("select * from eventtable where id=0");
            q.open();
            for (const LaterColumn& column : kLaterColumns) {
                if (!q.hasField(column.name)) {
                    missing.emplace_back(column.declaration);
                }
            }
        }
        if (missing.empty()) {
            return;
        }
        ADOConnection.exec("BEGIN");
        try {
            for (const std::string& declaration : missing) {
                ADOConnection.exec("ALTER TABLE eventtable ADD COLUMN " + declaration);
            }
            ADOConnection.exec("COMMIT");
        } catch (const platform::DbError&) {
            ADOConnection.exec("ROLLBACK");
        }
    } catch (const platform::DbError&) {
    }
}

void TDataMod::AddSyncTables() {
    // What synchronisation with a server keeps; a file that cannot be written to has none, and
    // then no layer is bound.
    try {
        syncstate::EnsureTables(ADOConnection);
    } catch (const platform::DbError&) {
    }
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
