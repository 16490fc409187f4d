// The transport: one HTTP exchange (one request, one response, no redirects or authentication
// of its own) on libcurl, run one of two ways.
// - On the run loop of the thread that starts it (onCurrentRunLoop): libcurl's multi interface,
//   one per run loop, driven by that loop's sources and one timer; keep-alive connections are
//   shared by every transfer of the loop. Nothing there may block: room for received data is
//   waited for by pausing the transfer, and a server-trust decision must come at once (when it
//   does not, the handshake is refused before any request byte and the exchange starts again
//   on a worker, where the decision is awaited).
// - On a worker thread of a small pool, with that worker's easy handle: for request body
//   streams (pulled as the socket takes them) and for clients without a run loop. Callbacks
//   there may block on the delegate without holding up any other transfer.
// Server trust is decided in OpenSSL's certificate verification callback, after the server's
// certificates arrived and before the handshake finishes, so no request byte is sent before the
// decision.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/network/BodyLimit.h"
#include "platform/network/NSStream.h"
#include "platform/network/ResponseHead.h"
#include "platform/security/SecTrust.h"
#include "platform/threading/NSRunLoop.h"

namespace network {

namespace transport {
struct Handle;
}

struct TransferRequest {
    std::string url;
    std::string method = "GET";
    HeaderFields headers;
    std::optional<Bytes> body;
    std::shared_ptr<NSInputStream> bodyStream; // pulled on the worker thread as the socket takes it
    std::int64_t bodyLength = -1; // of the stream; -1: unknown (chunked)
    double idleTimeout = 60; // seconds without progress
    double totalTimeout = 0; // seconds for the whole exchange; 0: none
    // The most a compressed body may inflate to; with bodyHeld, the most any body may carry
    // (a larger declared Content-Length fails at the head). Beyond: DataLengthExceedsMaximum.
    std::int64_t maximumBodyLength = std::numeric_limits<std::int64_t>::max();
    bool bodyHeld = false;
    // Run on the calling thread's run loop (in its common modes) rather than on a worker. Not
    // for body streams: those always run on a worker.
    bool onCurrentRunLoop = false;
    std::vector<NSRunLoopMode> runLoopModes; // served besides the common modes
};

struct TransferResult {
    std::int64_t urlErrorCode = 0; // 0: the response arrived whole
    std::string detail;
    bool trustRefused = false;
    bool cancelled = false;
    std::shared_ptr<NSError> underlyingError;
};

// What the client did with received body bytes.
enum class BodyAnswer {
    Taken,
    Wait, // no room now: the same bytes come again after Transfer::resume()
    Stop, // stops the transfer (it then completes as cancelled)
};

// Called on the transfer's thread (its run loop's or its worker's), in order: trust (TLS only,
// new connections only), body sent (any number), head, body (any number), complete (exactly
// once unless cancelled).
class TransferClient {
public:
    virtual ~TransferClient() = default;
    // True to go on with the connection. May block until the delegate decided (worker only).
    virtual bool transferEvaluateTrust(const SecTrustRef& trust) = 0;
    // On a run loop: the decision if it can be had without waiting; nullopt otherwise, and the
    // exchange goes on a worker, where transferEvaluateTrust is asked.
    virtual std::optional<bool> transferEvaluateTrustAtOnce(const SecTrustRef&) { return std::nullopt; }
    virtual void transferDidSendBody(std::int64_t bytes, std::int64_t total, std::int64_t expected) = 0;
    virtual void transferDidReceiveHead(ResponseHead head) = 0;
    // With mayBlock (a worker) the client may block for room instead of answering Wait.
    virtual BodyAnswer transferDidReceiveBody(const std::uint8_t* bytes, std::size_t length, bool mayBlock) = 0;
    virtual void transferDidComplete(TransferResult result) = 0;
};

class Transfer : public std::enable_shared_from_this<Transfer> {
public:
    // Starts the exchange on the current run loop or queues it on the pool; `client` is held
    // until the exchange completes.
    static std::shared_ptr<Transfer> start(TransferRequest request, std::shared_ptr<TransferClient> client);
    // Stops the exchange soon, from any thread: its sockets are shut down at once (on a worker)
    // or it is taken off its run loop's next turn.
    void cancel();
    bool isCancelled() const { return cancelled_; }
    // For the client while it waits on the delegate: such waits do not count as idle time.
    void setWaitingForClient(bool waiting);
    // After a BodyAnswer::Wait: there is room again. From any thread.
    void resume();

    Transfer(TransferRequest request, std::shared_ptr<TransferClient> client);
    ~Transfer();

private:
    friend struct TransferAccess;
    void run(transport::Handle& handle);
    void touch();

    TransferRequest request_;
    std::shared_ptr<TransferClient> client_;
    std::atomic<bool> cancelled_ { false };
    std::atomic<bool> timedOut_ { false };
    std::atomic<bool> waiting_ { false };
    std::atomic<std::int64_t> lastActivity_ { 0 }; // steady nanoseconds
    std::int64_t startedAt_ = 0;
    bool trustRefused_ = false;
    bool headRefused_ = false;
    bool limitExceeded_ = false;
    bool clientStopped_ = false;
    bool sentHead_ = false;
    std::shared_ptr<NSError> streamError_;
    ResponseHeadReader headReader_;
    std::int64_t bodySent_ = 0;
    std::size_t bodyOffset_ = 0;
    BodyLimit limit_;
    void* easy_ = nullptr;
    // Run-loop exchanges.
    std::weak_ptr<NSRunLoop> runLoop_;
    std::atomic<bool> onRunLoop_ { false }; // false again once handed to a worker
    bool trustDeferred_ = false; // the decision was not at hand: go on on a worker
    std::size_t countedAhead_ = 0; // body bytes counted against the limit, handed back by a Wait
    std::atomic<bool> paused_ { false };
};

// For tests and the bench: transfers not yet completed (on workers and run loops); pool threads
// alive now plus run loops holding a multi handle (with its descriptors and keep-alive
// connections) now; and those run loops alone.
std::size_t activeTransferCount();
std::size_t transportThreadCount();
std::size_t transportRunLoopCount();
// How long an idle pool thread waits for work before it ends, and how long a run loop keeps its
// multi handle and connections without transfers (default 10 s).
void setTransportIdleTimeout(double seconds);

} // namespace network
