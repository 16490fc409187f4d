// A thin RAII layer over one SQLite connection: prepared statements with bound values.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace dataserver {

class SqliteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);

    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, long long value);
    Statement& bindBlob(int index, std::string_view bytes);
    Statement& bindNull(int index);

    // Makes the statement ready to run again with new values.
    Statement& reset();
    // Advances to the next row; false when the statement is done.
    bool step();
    // Runs the statement to its end.
    void run();

    long long integer(int column) const;
    std::string text(int column) const;
    std::string blob(int column) const;
    bool isNull(int column) const;

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const;
    };
    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

class Database {
public:
    // Opens (creating when missing) the database at `path`; ":memory:" gives a private one.
    explicit Database(const std::string& path);

    void exec(const std::string& sql);
    Statement prepare(std::string_view sql);
    long long lastInsertId() const;

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Closer> db_;
};

} // namespace dataserver
