// RAII wrappers over the SQLite C interface; every failure becomes a SqliteError.
#include "tools/dataserver/Sqlite.h"

#include <sqlite3.h>

namespace dataserver {

namespace {

[[noreturn]] void fail(sqlite3* db, const std::string& what)
{
    throw SqliteError(what + ": " + (db ? sqlite3_errmsg(db) : "no connection"));
}

} // namespace

void Statement::Finalizer::operator()(sqlite3_stmt* stmt) const
{
    sqlite3_finalize(stmt);
}

Statement::Statement(sqlite3* db, std::string_view sql)
    : db_(db)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK)
        fail(db, "prepare");
    stmt_.reset(raw);
}

Statement& Statement::bind(int index, std::string_view text)
{
    if (sqlite3_bind_text(stmt_.get(), index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        fail(db_, "bind text");
    return *this;
}

Statement& Statement::bind(int index, long long value)
{
    if (sqlite3_bind_int64(stmt_.get(), index, value) != SQLITE_OK)
        fail(db_, "bind integer");
    return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes)
{
    if (sqlite3_bind_blob64(stmt_.get(), index, bytes.data(), bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK)
        fail(db_, "bind blob");
    return *this;
}

Statement& Statement::bindNull(int index)
{
    if (sqlite3_bind_null(stmt_.get(), index) != SQLITE_OK)
        fail(db_, "bind null");
    return *this;
}

Statement& Statement::reset()
{
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
    return *this;
}

bool Statement::step()
{
    int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(db_, "step");
}

void Statement::run()
{
    while (step()) { }
}

long long Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_.get(), column);
}

std::string Statement::text(int column) const
{
    const unsigned char* p = sqlite3_column_text(stmt_.get(), column);
    if (!p)
        return {};
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt_.get(), column)));
}

std::string Statement::blob(int column) const
{
    const void* p = sqlite3_column_blob(stmt_.get(), column);
    if (!p)
        return {};
    return std::string(static_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt_.get(), column)));
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_.get(), column) == SQLITE_NULL;
}

void Database::Closer::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

Database::Database(const std::string& path)
{
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK)
        fail(raw, "open " + path);
}

void Database::exec(const std::string& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
        return;
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throw SqliteError("exec: " + text);
}

Statement Database::prepare(std::string_view sql)
{
    return Statement(db_.get(), sql);
}

long long Database::lastInsertId() const
{
    return sqlite3_last_insert_rowid(db_.get());
}

} // namespace dataserver
