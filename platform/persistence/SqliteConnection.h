// A small RAII wrapper over one SQLite connection: WAL journal, a busy timeout so that
// threads and processes wait for each other, cached prepared statements, and a process-wide
// cache of connections by path. A connection opened before a fork() is never used or closed
// by the child; the child opens its own.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace persistence {

class SqliteStatement {
public:
    explicit SqliteStatement(sqlite3_stmt* statement)
        : statement_(statement)
    {
    }
    // Resets the statement, so that no read transaction stays open behind it.
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    // Binds by 1-based index.
    void bindNull(int index);
    void bind(int index, std::int64_t value);
    void bind(int index, std::string_view text);
    void bind(int index, const Bytes& blob);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    std::int64_t integer(int column) const;
    bool isNull(int column) const;
    std::string text(int column) const;
    Bytes blob(int column) const;

private:
    sqlite3_stmt* statement_;
};

class SqliteConnection {
public:
    // Opens (creating with mode 0600) the database at path. `schema` runs once per open.
    // `synchronous` is "NORMAL" or "FULL". Returns nullptr and fills error on failure.
    static std::shared_ptr<SqliteConnection> open(const std::string& path, std::string_view schema,
        std::string_view synchronous, std::string* error);
    // The connection of this process for path, opened on first use and kept for the process.
    static std::shared_ptr<SqliteConnection> shared(const std::string& path, std::string_view schema,
        std::string_view synchronous, std::string* error);
    ~SqliteConnection();

    // Callers hold this lock for the whole of each use, statements included.
    std::mutex& mutex() { return mutex_; }
    // A cached statement, reset and with its bindings cleared.
    SqliteStatement prepare(const char* sql);
    // Runs SQL without results; false on error.
    bool exec(const char* sql);
    std::string lastError() const;
    std::int64_t lastInsertRowId() const;
    int changes() const;

private:
    SqliteConnection() = default;
    sqlite3* db_ = nullptr;
    int ownerPid_ = 0;
    std::mutex mutex_;
    std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

// Runs a write transaction: BEGIN IMMEDIATE, body, COMMIT (or ROLLBACK when body returns
// false or a step fails). Returns true when committed.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteConnection& connection);
    ~SqliteTransaction();
    bool begun() const { return begun_; }
    bool commit();

private:
    SqliteConnection& connection_;
    bool begun_ = false;
    bool done_ = false;
};

}
