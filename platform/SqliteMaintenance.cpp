#include "platform/SqliteMaintenance.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Sqlite.h"
#include "platform/UnicodeLike.h"

namespace qcal::platform {

namespace {

// One raw connection for the length of a maintenance step.
class Connection {
public:
    Connection(const std::string& path, int flags, std::string& error) {
        if (sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) !=
            SQLITE_OK) {
            error = db_ ? sqlite3_errmsg(db_) : "cannot open " + path;
            sqlite3_close(db_);
            db_ = nullptr;
            return;
        }
        sqlite3_busy_timeout(db_, 5000);
        RegisterUnicodeLike(db_);  // LIKE means the same on every connection
    }
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return db_ != nullptr; }

    // Runs exactly one statement; text after it (a second statement) is refused unrun.
    bool exec(const char* sql, std::string& error) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt, &tail) != SQLITE_OK) {
            error = sqlite3_errmsg(db_);
            return false;
        }
        while (tail &&
               (*tail == ' ' || *tail == '\t' || *tail == '\n' || *tail == '\r' || *tail == ';'))
            ++tail;
        if (!stmt || (tail && *tail)) {
            sqlite3_finalize(stmt);
            error = "not exactly one statement";
            return false;
        }
        int rc = SQLITE_ROW;
        while (rc == SQLITE_ROW)
            rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE)
            error = sqlite3_errmsg(db_);
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    }

    // The first column of the first row of sql as text; false when the statement fails.
    bool firstText(const char* sql, std::string& value, std::string& error) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            error = sqlite3_errmsg(db_);
            return false;
        }
        const int rc = sqlite3_step(stmt);
        bool ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
        if (rc == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(stmt, 0);
            value = text ? reinterpret_cast<const char*>(text) : "";
        } else if (!ok) {
            error = sqlite3_errmsg(db_);
        }
        sqlite3_finalize(stmt);
        return ok;
    }

private:
    sqlite3* db_ = nullptr;
};

bool SyncFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

bool CopyBytes(const std::string& source, const std::string& dest, std::string& error) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = source + ": " + std::strerror(errno);
        return false;
    }
    const int out = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        error = dest + ": " + std::strerror(errno);
        ::close(in);
        return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = source + ": " + std::strerror(errno);
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, std::size_t(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                error = dest + ": " + std::strerror(errno);
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    if (ok && ::fsync(out) != 0) {
        error = dest + ": " + std::strerror(errno);
        ok = false;
    }
    ::close(out);
    ::close(in);
    if (!ok)
        ::unlink(dest.c_str());
    return ok;
}

}  // namespace

bool CopyDatabaseFile(const std::string& source, const std::string& dest, std::string& error) {
    Connection db(source, SQLITE_OPEN_READWRITE, error);
    if (!db.ok())
        return false;
    // The program keeps a rollback journal; a file left in WAL mode is brought back to it the
    // way every connect does, so the file alone holds every committed row. The read
    // transaction then holds the shared lock: no writer can change the file until it ends.
    if (!db.exec("PRAGMA journal_mode=DELETE", error) || !db.exec("BEGIN", error) ||
        !db.exec("SELECT count(*) FROM sqlite_master", error))
        return false;
    // Closing our own descriptor of the file drops the process's POSIX locks on it, the
    // engine's shared lock among them; that happens only after the last byte was read.
    const bool copied = CopyBytes(source, dest, error);
    std::string ignored;
    db.exec("COMMIT", ignored);
    return copied;
}

namespace {

bool CheckDatabase(const std::string& path, const std::string& table, const char* check,
                   std::string& error) {
    Connection db(path, SQLITE_OPEN_READONLY, error);
    if (!db.ok())
        return false;
    std::string result;
    if (!db.firstText(check, result, error))
        return false;
    if (result != "ok") {
        error = "damaged database: " + result;
        return false;
    }
    const std::string sql =
        "select count(*) from sqlite_master where type='table' and name=" + SqlLiteral(table);
    std::string count;
    if (!db.firstText(sql.c_str(), count, error))
        return false;
    if (count == "0") {
        error = "no table " + table;
        return false;
    }
    return true;
}

}  // namespace

bool DatabaseHasTable(const std::string& path, const std::string& table, std::string& error) {
    return CheckDatabase(path, table, "PRAGMA quick_check", error);
}

bool DatabaseIsSound(const std::string& path, const std::string& table, std::string& error) {
    return CheckDatabase(path, table, "PRAGMA integrity_check", error);
}

long long TableRowCount(const std::string& path, const std::string& table, std::string& error) {
    Connection db(path, SQLITE_OPEN_READONLY, error);
    if (!db.ok())
        return -1;
    const std::string sql = "select count(*) from \"" + table + "\"";
    std::string count;
    if (!db.firstText(sql.c_str(), count, error))
        return -1;
    return std::stoll(count);
}

bool SettleJournal(const std::string& path, std::string& error) {
    Connection db(path, SQLITE_OPEN_READWRITE, error);
    if (!db.ok())
        return false;
    // Taking the lock rolls back a hot journal. With the exclusive lock held no other
    // connection has a transaction under way, so a journal still there (one whose writer was
    // killed before it wrote its header) belongs to nobody and goes.
    std::string ignored;
    if (!db.exec("BEGIN EXCLUSIVE", error) ||
        !db.firstText("select count(*) from sqlite_master", ignored, error)) {
        db.exec("ROLLBACK", ignored);
        return false;
    }
    const std::string journal = path + "-journal";
    if (::unlink(journal.c_str()) != 0 && errno != ENOENT)
        error = journal + ": " + std::strerror(errno);
    return db.exec("COMMIT", ignored) && error.empty();
}

bool VacuumInto(const std::string& source, const std::string& dest, std::string& error) {
    Connection db(source, SQLITE_OPEN_READONLY, error);
    if (!db.ok())
        return false;
    const std::string sql = "VACUUM INTO " + SqlLiteral(dest);
    if (!db.exec(sql.c_str(), error))
        return false;
    // The engine does not sync the copy it writes.
    return SyncFile(dest, error);
}

bool VacuumIntoSupported() {
    return sqlite3_libversion_number() >= 3027000;
}

}  // namespace qcal::platform
