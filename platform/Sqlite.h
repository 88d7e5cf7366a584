#pragma once

// A small RAII layer over SQLite: one connection, updatable result sets, commands.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qcal::platform {

class DbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Query;

enum class OpenMode {
    ReadWrite,
    // Reads only: nothing is ever written to the file, not even a journal, and another
    // process may keep writing it meanwhile.
    ReadOnly,
};

// One connection. Opening never creates the file: a missing database is an error.
// Uses a rollback journal and a busy timeout, so the file is self-contained when closed.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Throws DbError with the engine's message when the file cannot be opened.
    void open(const std::string& path, OpenMode mode = OpenMode::ReadWrite);
    // Closes every query opened on this connection first.
    void close();
    bool isOpen() const { return db_ != nullptr; }
    const std::string& path() const { return path_; }

    // Runs the one statement of sql; rows it may answer are passed over. A text with a second
    // statement after the first is refused before anything runs. Throws DbError.
    void exec(const std::string& sql);
    // Number of rows changed by the last insert, update or delete.
    int changes() const;
    std::int64_t lastInsertRowId() const;

    sqlite3* handle() const { return db_; }

private:
    friend class Query;
    void attach(Query* q) { queries_.insert(q); }
    void detach(Query* q) { queries_.erase(q); }

    sqlite3* db_ = nullptr;
    std::string path_;
    std::set<Query*> queries_;
};

using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

// A result set that walks the rows of one select and can append or edit rows of the
// table named after its first "from". Fields are found by name without regard to case.
// Posting writes through INSERT or UPDATE ... WHERE id=? with bound parameters.
class Query {
public:
    explicit Query(Database& db);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void setSql(std::string sql) { sql_ = std::move(sql); }
    const std::string& sql() const { return sql_; }

    // Runs the select and moves to the first row (if any). As with Database::exec, the text
    // must hold exactly one statement. Throws DbError.
    void open();
    void close();
    bool active() const { return stmt_ != nullptr; }

    bool eof() const;  // true when there is no current row (also when closed)
    void next();
    bool isEmpty() const { return !active() || (eof() && rowsSeen_ == 0); }

    int fieldCount() const;
    bool hasField(const std::string& name) const;

    // Readers for the current row; a NULL reads as 0, "" or false. Throws DbError for an
    // unknown field or when there is no current row.
    std::int64_t asInteger(const std::string& name) const;
    double asDouble(const std::string& name) const;
    std::string asString(const std::string& name) const;
    bool asBool(const std::string& name) const { return asInteger(name) != 0; }
    bool isNull(const std::string& name) const;

    // The same readers by column position, for walks over many rows: look the positions
    // up once with fieldIndex (-1 for an unknown name) after open().
    int fieldIndex(const std::string& name) const { return columnIndex(name); }
    std::int64_t integerAt(int index) const;
    double doubleAt(int index) const;
    std::string stringAt(int index) const;
    // The text of the field, valid until the query moves on.
    std::string_view textAt(int index) const;

    // Insert and edit state. append() posts a pending insert or edit first; edit() while
    // already inserting or editing keeps the pending values.
    void append();
    void edit();  // the current row must have an "id" column
    bool editing() const { return state_ != State::Browse; }
    void setInteger(const std::string& name, std::int64_t v);
    void setDouble(const std::string& name, double v);
    void setString(const std::string& name, const std::string& v);
    void setBool(const std::string& name, bool v) { setInteger(name, v ? 1 : 0); }
    void setNull(const std::string& name);
    // Writes the pending values. Throws DbError; the query stays in its state then. An edit
    // whose row no longer exists is an error. The open result is not re-read: the cursor stays
    // where it was (a row appended while a walk is still under way may or may not come up
    // later in that walk, as SQLite decides).
    void post();
    void cancel();

private:
    enum class State { Browse, Insert, Edit };
    int columnIndex(const std::string& name) const;  // -1 when unknown
    void step();
    void setValue(const std::string& name, Value v);
    void requireRow() const;
    void requireColumn(int index) const;
    int fieldOfRow(const std::string& name) const;  // requireRow() and a known field
    sqlite3* connection() const;                    // throws when the database is not open

    friend class Database;
    bool orphaned_ = false;  // the Database object was destroyed before this query

    Database& db_;
    std::string sql_;
    sqlite3_stmt* stmt_ = nullptr;
    bool eof_ = true;
    std::int64_t rowsSeen_ = 0;
    std::vector<std::string> columns_;       // as the engine names them
    std::vector<std::string> lowerColumns_;  // for lookups
    std::string table_;
    State state_ = State::Browse;
    std::int64_t editId_ = 0;
    std::vector<std::pair<std::string, Value>> pending_;
};

// text as an SQL string literal: between single quotes, every single quote doubled. Every text
// value that goes into a statement built as text goes through here.
std::string SqlLiteral(std::string_view text);

// The name of the table after the first "from" of a select, or "" when there is none.
std::string TableOfSelect(const std::string& sql);

}  // namespace qcal::platform
