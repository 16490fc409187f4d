// Our data and account server: two roots on two ports ("/brelvoxin/" for data and pages,
// "/solvane/" for the device login), answering from a seeded SQLite world, with failure
// injection and a record of what it received. Tests start it in-process on port 0; the
// quillmark-dataserver executable runs it for scripts.
#pragma once

#include "tools/dataserver/Failures.h"
#include "tools/dataserver/RequestLog.h"
#include "tools/dataserver/World.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dataserver {

inline constexpr const char* kDataRootName = "brelvoxin";
inline constexpr const char* kAccountRootName = "solvane";
inline constexpr const char* kControlPrefix = "/__control/";

struct DataServerOptions {
    std::string databasePath = ":memory:"; // created and seeded when it holds no world
    std::string host = "127.0.0.1";
    int dataPort = 0;    // 0 = any free port
    int accountPort = 0; // 0 = any free port
    // Receives each request's log line; unset writes "dataserver: <line>" to stderr.
    std::function<void(const std::string&)> log;
    // A held request goes on by itself after this long.
    std::chrono::milliseconds holdTimeout { 30000 };
    // A connection that sends no whole request head this long after it opened or after its
    // last answer is closed; an idle keep-alive connection is closed after keepAlive.
    std::chrono::milliseconds requestHeadTimeout { 5000 };
    std::chrono::seconds keepAlive { 1 };
};

class DataServer {
public:
    using Options = DataServerOptions;

    // Opens (and seeds) the database; throws SqliteError when it cannot.
    explicit DataServer(Options options = {});
    ~DataServer();
    DataServer(const DataServer&) = delete;
    DataServer& operator=(const DataServer&) = delete;

    // Binds both ports and serves on two threads; throws std::runtime_error when a port is taken.
    // Ignores SIGPIPE for the process (a client that goes away must not end it). A server starts
    // once: after stop() make a new one.
    void start();
    // Releases held requests and stops both servers; also done by the destructor.
    void stop();

    int dataPort() const;
    int accountPort() const;
    std::string dataRoot() const;    // "http://127.0.0.1:<port>/brelvoxin/"
    std::string accountRoot() const; // "http://127.0.0.1:<port>/solvane/"

    // Failure injection by path below its root ("data/listPhone.do", or "*" for every path).
    void fail(const std::string& path, Failure failure);
    // Clears every rule, releases held requests and forgets the recorded requests.
    void reset();
    // Lets held requests to `path` (every held request when empty) go on.
    void release(const std::string& path = {});

    std::vector<RecordedRequest> requests(const std::string& path = {}, unsigned long long since = 0) const;
    bool waitForRequests(const std::string& path, std::size_t count, std::chrono::milliseconds timeout) const;

    World& world();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace dataserver
