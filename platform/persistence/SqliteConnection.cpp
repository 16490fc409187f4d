// SQLite connection wrapper (see SqliteConnection.h).
#include "platform/persistence/SqliteConnection.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace persistence {

SqliteStatement::~SqliteStatement() { sqlite3_reset(statement_); }
void SqliteStatement::bindNull(int index) { sqlite3_bind_null(statement_, index); }
void SqliteStatement::bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }
void SqliteStatement::bind(int index, std::string_view text)
{
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
void SqliteStatement::bind(int index, const Bytes& blob)
{
    sqlite3_bind_blob(statement_, index, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
}
int SqliteStatement::step() { return sqlite3_step(statement_); }
std::int64_t SqliteStatement::integer(int column) const { return sqlite3_column_int64(statement_, column); }
bool SqliteStatement::isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
std::string SqliteStatement::text(int column) const
{
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))) : std::string();
}
Bytes SqliteStatement::blob(int column) const
{
    auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
    if (!p)
        return {};
    return Bytes(p, p + sqlite3_column_bytes(statement_, column));
}

std::shared_ptr<SqliteConnection> SqliteConnection::open(const std::string& path, std::string_view schema,
    std::string_view synchronous, std::string* error)
{
    // Create the file ourselves so that it (and the WAL beside it) is private to the user.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    std::shared_ptr<SqliteConnection> connection(new SqliteConnection);
    connection->ownerPid_ = ::getpid();
    int rc = sqlite3_open_v2(path.c_str(), &connection->db_,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = connection->db_ ? sqlite3_errmsg(connection->db_) : sqlite3_errstr(rc);
        return nullptr;
    }
    sqlite3_busy_timeout(connection->db_, 30000);
    std::string setup = "PRAGMA journal_mode=WAL; PRAGMA synchronous=" + std::string(synchronous) + ";";
    setup += "BEGIN IMMEDIATE;";
    setup += schema;
    setup += "COMMIT;";
    if (!connection->exec(setup.c_str())) {
        if (error)
            *error = connection->lastError();
        return nullptr;
    }
    return connection;
}

std::shared_ptr<SqliteConnection> SqliteConnection::shared(const std::string& path, std::string_view schema,
    std::string_view synchronous, std::string* error)
{
    static std::mutex cacheMutex;
    // Deliberately never destroyed: connections live as long as the process.
    static auto* cache = new std::map<std::pair<int, std::string>, std::shared_ptr<SqliteConnection>>;
    std::lock_guard lock(cacheMutex);
    auto key = std::make_pair(static_cast<int>(::getpid()), path);
    if (auto it = cache->find(key); it != cache->end())
        return it->second;
    auto connection = open(path, schema, synchronous, error);
    if (connection)
        cache->emplace(key, connection);
    return connection;
}

SqliteConnection::~SqliteConnection()
{
    // A child of fork() must not close the parent's connection: SQLite would take the
    // parent's WAL for its own.
    if (ownerPid_ != ::getpid())
        return;
    for (auto& [sql, statement] : statements_)
        sqlite3_finalize(statement);
    sqlite3_close(db_);
}

SqliteStatement SqliteConnection::prepare(const char* sql)
{
    auto it = statements_.find(std::string_view(sql));
    if (it == statements_.end()) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
        it = statements_.emplace(sql, statement).first;
    }
    sqlite3_reset(it->second);
    sqlite3_clear_bindings(it->second);
    return SqliteStatement(it->second);
}

bool SqliteConnection::exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
std::string SqliteConnection::lastError() const { return sqlite3_errmsg(db_); }
std::int64_t SqliteConnection::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }
int SqliteConnection::changes() const { return sqlite3_changes(db_); }

SqliteTransaction::SqliteTransaction(SqliteConnection& connection)
    : connection_(connection)
{
    begun_ = connection_.exec("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction()
{
    if (begun_ && !done_)
        connection_.exec("ROLLBACK");
}

bool SqliteTransaction::commit()
{
    if (!begun_ || done_)
        return false;
    done_ = true;
    if (connection_.exec("COMMIT"))
        return true;
    connection_.exec("ROLLBACK");
    return false;
}

}
