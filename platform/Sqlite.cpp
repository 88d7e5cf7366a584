#include "platform/Sqlite.h"

#include <sqlite3.h>

#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "core/Ascii.h"
#include "platform/UnicodeLike.h"

namespace qcal::platform {

namespace {

bool IsWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || u >= 0x80;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Column names in statements we build are always quoted, so any name the engine reported
// for a column can be written back.
std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// After the one statement of a text only blanks and a single ";" may follow. Anything else
// would be a second statement (or text the engine would silently ignore), so it is refused
// before anything runs.
bool OnlyEndFollows(const char* tail, const char* end) {
    bool semicolon = false;
    for (const char* p = tail; p < end; ++p) {
        if (IsBlank(*p))
            continue;
        if (*p == ';' && !semicolon) {
            semicolon = true;
            continue;
        }
        return false;
    }
    return true;
}

// Prepares the one statement of sql. Throws DbError when the text holds no statement, more
// than one, or one the engine refuses.
sqlite3_stmt* PrepareOne(sqlite3* db, const std::string& sql) {
    if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw DbError("statement too long");
    // The engine would stop reading at the byte and complain of an unrecognized token.
    if (sql.find('\0') != std::string::npos)
        throw DbError("a text in the statement holds a NUL byte, which a statement cannot carry");
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt, &tail) !=
        SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
        throw DbError(message);
    }
    if (!stmt)
        throw DbError("empty statement");
    if (!tail || !OnlyEndFollows(tail, sql.data() + sql.size())) {
        sqlite3_finalize(stmt);
        throw DbError("more than one statement in: " + sql);
    }
    return stmt;
}

// Owns a prepared statement for the length of one command.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db), stmt_(PrepareOne(db, sql)) {}
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const Value& v) {
        int rc = SQLITE_OK;
        if (std::holds_alternative<std::int64_t>(v)) {
            rc = sqlite3_bind_int64(stmt_, index, std::get<std::int64_t>(v));
        } else if (std::holds_alternative<double>(v)) {
            rc = sqlite3_bind_double(stmt_, index, std::get<double>(v));
        } else if (std::holds_alternative<std::string>(v)) {
            const std::string& s = std::get<std::string>(v);
            rc = sqlite3_bind_text64(stmt_, index, s.data(), s.size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
        } else {
            rc = sqlite3_bind_null(stmt_, index);
        }
        if (rc != SQLITE_OK)
            throw DbError(sqlite3_errmsg(db_));
    }

    // Steps through every row the statement may answer; they are not looked at.
    void run() {
        int rc = SQLITE_ROW;
        while (rc == SQLITE_ROW)
            rc = sqlite3_step(stmt_);
        if (rc != SQLITE_DONE)
            throw DbError(sqlite3_errmsg(db_));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Database

Database::~Database() {
    close();
    // Queries may outlive the connection object; they must not reach back into it.
    for (Query* q : queries_)
        q->orphaned_ = true;
}

void Database::open(const std::string& path, OpenMode mode) {
    close();
    sqlite3* db = nullptr;
    const int flags = (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw DbError(message);
    }
    sqlite3_busy_timeout(db, 5000);
    if (const int registered = RegisterUnicodeLike(db); registered != SQLITE_OK) {
        sqlite3_close(db);
        throw DbError(sqlite3_errstr(registered));
    }
    // The journal mode pragma is the first statement that reads the file header, so a file
    // that is not a database fails here or at the schema count below. A reader leaves the
    // journal mode to the writers. The page cache holds up to 32 MiB, a year's search over a
    // large table then reads the file once, not page by page again for every row it fetches
    // out of order.
    std::vector<std::string> checks;
    if (mode != OpenMode::ReadOnly)
        checks.emplace_back("PRAGMA journal_mode=DELETE");
    checks.emplace_back("PRAGMA cache_size=-32768");
    checks.emplace_back("SELECT count(*) FROM sqlite_master");
    try {
        for (const std::string& check : checks)
            Statement(db, check).run();
    } catch (const DbError&) {
        sqlite3_close(db);
        throw;
    }
    db_ = db;
    path_ = path;
}

void Database::close() {
    if (!db_)
        return;
    for (Query* q : queries_)
        q->close();
    if (sqlite3_close(db_) != SQLITE_OK) {
        // Only statements prepared outside this layer can keep the connection busy; let the
        // engine finish closing when they are finalized.
        sqlite3_close_v2(db_);
    }
    db_ = nullptr;
}

void Database::exec(const std::string& sql) {
    if (!db_)
        throw DbError("database is not open");
    Statement(db_, sql).run();
}

int Database::changes() const {
    return db_ ? sqlite3_changes(db_) : 0;
}

std::int64_t Database::lastInsertRowId() const {
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

// ---------------------------------------------------------------------------------------------
// Query

Query::Query(Database& db) : db_(db) {
    db_.attach(this);
}

Query::~Query() {
    close();
    if (!orphaned_)
        db_.detach(this);
}

sqlite3* Query::connection() const {
    if (orphaned_ || !db_.isOpen())
        throw DbError("database is not open");
    return db_.handle();
}

void Query::open() {
    close();
    sqlite3* db = connection();
    sqlite3_stmt* stmt = PrepareOne(db, sql_);

    const int count = sqlite3_column_count(stmt);
    columns_.reserve(static_cast<std::size_t>(count));
    lowerColumns_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(stmt, i);
        columns_.emplace_back(name ? name : "");
        lowerColumns_.push_back(AsciiLower(columns_.back()));
    }
    stmt_ = stmt;
    table_ = TableOfSelect(sql_);
    eof_ = false;
    try {
        step();
    } catch (...) {
        close();
        throw;
    }
}

void Query::close() {
    if (stmt_)
        sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    eof_ = true;
    rowsSeen_ = 0;
    columns_.clear();
    lowerColumns_.clear();
    table_.clear();
    state_ = State::Browse;
    editId_ = 0;
    pending_.clear();
}

bool Query::eof() const {
    return !active() || eof_;
}

void Query::next() {
    if (!active())
        throw DbError("query is not open");
    if (eof_)
        return;
    step();
}

void Query::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        eof_ = false;
        ++rowsSeen_;
    } else if (rc == SQLITE_DONE) {
        eof_ = true;
    } else {
        eof_ = true;
        throw DbError(sqlite3_errmsg(sqlite3_db_handle(stmt_)));
    }
}

int Query::fieldCount() const {
    return static_cast<int>(columns_.size());
}

bool Query::hasField(const std::string& name) const {
    return columnIndex(name) >= 0;
}

int Query::columnIndex(const std::string& name) const {
    const std::size_t n = name.size();
    for (std::size_t i = 0; i < lowerColumns_.size(); ++i) {
        const std::string& column = lowerColumns_[i];
        if (column.size() != n)
            continue;
        std::size_t k = 0;
        while (k < n && column[k] == AsciiLower(name[k]))
            ++k;
        if (k == n)
            return static_cast<int>(i);
    }
    return -1;
}

int Query::fieldOfRow(const std::string& name) const {
    requireRow();
    const int index = columnIndex(name);
    if (index < 0)
        throw DbError("unknown field: " + name);
    return index;
}

void Query::requireRow() const {
    if (!active())
        throw DbError("query is not open");
    if (eof_)
        throw DbError("no current row");
}

std::int64_t Query::asInteger(const std::string& name) const {
    return integerAt(fieldOfRow(name));
}

double Query::asDouble(const std::string& name) const {
    return doubleAt(fieldOfRow(name));
}

std::string Query::asString(const std::string& name) const {
    return stringAt(fieldOfRow(name));
}

void Query::requireColumn(int index) const {
    requireRow();
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        throw DbError("no field at position " + std::to_string(index));
}

std::int64_t Query::integerAt(int index) const {
    requireColumn(index);
    return sqlite3_column_int64(stmt_, index);  // NULL reads as 0
}

double Query::doubleAt(int index) const {
    requireColumn(index);
    return sqlite3_column_double(stmt_, index);  // NULL reads as 0.0
}

std::string Query::stringAt(int index) const {
    return std::string(textAt(index));
}

std::string_view Query::textAt(int index) const {
    requireColumn(index);
    const unsigned char* text = sqlite3_column_text(stmt_, index);
    if (!text)
        return {};
    const int bytes = sqlite3_column_bytes(stmt_, index);
    return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes)};
}

bool Query::isNull(const std::string& name) const {
    return sqlite3_column_type(stmt_, fieldOfRow(name)) == SQLITE_NULL;
}

void Query::append() {
    if (!active())
        throw DbError("query is not open");
    if (table_.empty())
        throw DbError("the query names no table to write to");
    // As with a data set: a pending insert or edit is posted before the next one starts.
    if (editing())
        post();
    pending_.clear();
    state_ = State::Insert;
}

void Query::edit() {
    if (editing())
        return;  // already editing or inserting: keep the pending values
    requireRow();
    if (table_.empty())
        throw DbError("the query names no table to write to");
    const int index = columnIndex("id");
    if (index < 0)
        throw DbError("the query has no id field to edit by");
    if (sqlite3_column_type(stmt_, index) == SQLITE_NULL)
        throw DbError("the row has no id");
    editId_ = sqlite3_column_int64(stmt_, index);
    pending_.clear();
    state_ = State::Edit;
}

void Query::setInteger(const std::string& name, std::int64_t v) {
    setValue(name, v);
}

void Query::setDouble(const std::string& name, double v) {
    setValue(name, v);
}

void Query::setString(const std::string& name, const std::string& v) {
    setValue(name, v);
}

void Query::setNull(const std::string& name) {
    setValue(name, std::monostate{});
}

void Query::setValue(const std::string& name, Value v) {
    if (!editing())
        throw DbError("query is not in insert or edit state");
    const int index = columnIndex(name);
    if (index < 0)
        throw DbError("unknown field: " + name);
    const std::string& column = columns_[static_cast<std::size_t>(index)];
    for (auto& entry : pending_) {
        if (entry.first == column) {
            entry.second = std::move(v);
            return;
        }
    }
    pending_.emplace_back(column, std::move(v));
}

void Query::post() {
    if (!editing())
        return;
    sqlite3* db = connection();
    if (state_ == State::Insert) {
        std::string sql = "INSERT INTO " + table_;
        if (pending_.empty()) {
            sql += " DEFAULT VALUES";
        } else {
            std::string names;
            std::string marks;
            for (const auto& entry : pending_) {
                if (!names.empty()) {
                    names += ',';
                    marks += ',';
                }
                names += QuoteIdentifier(entry.first);
                marks += '?';
            }
            sql += " (" + names + ") VALUES (" + marks + ")";
        }
        Statement statement(db, sql);
        int index = 1;
        for (const auto& entry : pending_)
            statement.bind(index++, entry.second);
        statement.run();
    } else if (!pending_.empty()) {
        std::string sql = "UPDATE " + table_ + " SET ";
        bool first = true;
        for (const auto& entry : pending_) {
            if (!first)
                sql += ',';
            first = false;
            sql += QuoteIdentifier(entry.first) + "=?";
        }
        sql += " WHERE id=?";
        Statement statement(db, sql);
        int index = 1;
        for (const auto& entry : pending_)
            statement.bind(index++, entry.second);
        statement.bind(index, editId_);
        statement.run();
        // Another command may have deleted the row since it was read; that is a lost write,
        // not a success.
        if (sqlite3_changes(db) == 0)
            throw DbError("the row to update no longer exists");
    }
    pending_.clear();
    state_ = State::Browse;
}

void Query::cancel() {
    pending_.clear();
    state_ = State::Browse;
}

// ---------------------------------------------------------------------------------------------

std::string SqlLiteral(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (const char c : text) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::string TableOfSelect(const std::string& sql) {
    const std::size_t n = sql.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            // Skip literals and quoted names: a "from" inside them does not count.
            const char close = c == '[' ? ']' : c;
            ++i;
            while (i < n && sql[i] != close)
                ++i;
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? n : end + 2;
            continue;
        }
        if (!IsWordChar(c)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < n && IsWordChar(sql[end]))
            ++end;
        if (end - i == 4 && AsciiLower(sql.substr(i, 4)) == "from") {
            std::size_t p = end;
            while (p < n && IsBlank(sql[p]))
                ++p;
            if (p >= n)
                return {};
            const char q = sql[p];
            if (q == '"' || q == '`' || q == '[') {
                // A quoted name is returned as written, so that it can go back into a statement.
                const char close = q == '[' ? ']' : q;
                const std::size_t last = sql.find(close, p + 1);
                if (last == std::string::npos)
                    return {};
                return sql.substr(p, last - p + 1);
            }
            std::size_t e = p;
            while (e < n && (IsWordChar(sql[e]) || sql[e] == '.'))
                ++e;
            return sql.substr(p, e - p);
        }
        i = end;
    }
    return {};
}

}  // namespace qcal::platform
