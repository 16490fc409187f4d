// ServerState: what the listener, the connection threads and the test share: options, routes,
// the recorded requests, the open connections and the stop flag.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "testing/httpserver/Request.h"
#include "testing/httpserver/Routes.h"
#include "testing/httpserver/Script.h"
#include "testing/httpserver/TestServer.h"

typedef struct ssl_ctx_st SSL_CTX;

namespace httpserver {

class Transport;

class ServerState {
public:
    explicit ServerState(ServerOptions options);
    ~ServerState();

    const ServerOptions& options() const { return options_; }
    SSL_CTX* tlsContext() const { return tls_.get(); }
    Routes& routes() { return routes_; }

    // Stopping: blocked reads and writes end because every connection socket is shut down;
    // pauses and gate waits end early and report false.
    void requestStop();
    bool stopping() const;
    bool sleepFor(std::chrono::milliseconds duration) const;
    bool waitGate(const Gate& gate) const;

    // Connections. start() returns false (and closes the socket) once stopping.
    bool start(int fd);
    void joinFinished();
    void joinAll();

    // Records.
    void record(Request& request);
    void countHandshakeFailure();
    void countBadRequest();

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Request> requests;
    std::size_t recorded = 0;
    std::size_t nextIndex = 0;
    std::uint64_t accepted = 0;
    std::size_t open = 0;
    std::size_t handshakeFailures = 0;
    std::size_t badRequests = 0;

private:
    struct Slot {
        int fd = -1;
        bool finished = false;
        std::thread thread;
    };

    void run(std::uint64_t id, int fd);
    void finish(std::uint64_t id);

    ServerOptions options_;
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> tls_;
    Routes routes_;
    bool stopping_ = false;
    std::map<std::uint64_t, Slot> slots_;
};

// Serves one accepted connection until it ends.
void serveConnection(ServerState& state, Transport& transport, std::uint64_t connectionId);

} // namespace httpserver
