// TestServer: an HTTP/1.1 (or HTTPS) server on 127.0.0.1, port 0, that a test starts and stops.
// Routes script each path's reply; every request is recorded for assertions. A thread serves
// each connection (keep-alive, pipelining, Content-Length and chunked bodies, 100-continue).
// Destruction stops it: every thread is joined and every descriptor closed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "testing/httpserver/Reply.h"
#include "testing/httpserver/Request.h"
#include "testing/httpserver/Routes.h"
#include "testing/httpserver/TestCertificates.h"

namespace httpserver {

struct ServerOptions {
    std::optional<Identity> tls; // set: HTTPS with this certificate, key and chain
    bool ipv6 = false; // also listen on ::1, same port
    bool answerContinue = true; // send "100 Continue" to "Expect: 100-continue"
    std::size_t maxHeadBytes = 64 * 1024; // longer heads get 431 and a close
    std::uint64_t maxBodyBytes = 256ull << 20; // longer bodies get 413 and a close
    bool keepRequests = true; // false: requests are counted, not kept (long benchmarks)
    // A slow reader of request bodies: this many bytes at a time, with a pause between reads
    // (0: read as fast as they come). The socket's receive buffer is made small to match.
    std::size_t uploadReadBytes = 0;
    std::chrono::milliseconds uploadReadEvery { 0 };
};

class ServerState;

class TestServer {
public:
    explicit TestServer(ServerOptions options = {});
    static ServerOptions https(const Identity& identity);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // Closes the listeners and every connection, joins every thread. Idempotent.
    void stop();

    std::uint16_t port() const { return port_; }
    bool isTls() const;
    // "http://127.0.0.1:PORT" or "https://..."
    std::string origin() const;
    // origin() + path ("/" added in front when missing).
    std::string url(std::string_view path = "/") const;
    // The same with another host name: "https://localhost:PORT/path".
    std::string urlWithHost(std::string_view host, std::string_view path = "/") const;

    // Routing.
    void on(std::string path, Handler handler);
    void on(std::string path, Reply reply);
    void onPrefix(std::string prefix, Handler handler);
    void onPrefix(std::string prefix, Reply reply);
    void setDefault(Handler handler); // initially 404
    void clearRoutes();
    Routes& routes();

    // Recorded requests, in order of arrival (complete with body, before the handler runs).
    // requestCount() and waitForRequests() count even when requests are not kept.
    std::vector<Request> requests() const;
    std::vector<Request> requestsFor(std::string_view path) const;
    std::size_t requestCount() const;
    std::size_t requestCount(std::string_view path) const;
    std::optional<Request> lastRequest() const;
    // True once at least `count` requests arrived; false if `timeout` passed first.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    void clearRequests();

    // Connections.
    std::size_t openConnections() const;
    std::uint64_t connectionsAccepted() const;
    // True once exactly `count` connections are open; false if `timeout` passed first.
    bool waitForOpenConnections(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    std::size_t tlsHandshakeFailures() const;
    std::size_t badRequests() const; // heads or bodies refused as malformed or too large

private:
    void acceptLoop();

    std::shared_ptr<ServerState> state_;
    std::vector<int> listeners_;
    int wakeFd_ = -1;
    std::uint16_t port_ = 0;
    std::thread acceptThread_;
};

} // namespace httpserver
