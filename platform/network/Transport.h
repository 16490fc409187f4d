// The transport: one HTTP exchange (one request, one response, no redirects or authentication
// of its own) on libcurl. Each transfer runs on a worker thread of a small pool, with that
// worker's easy handle (so keep-alive connections are reused per worker). Running a transfer
// on its own thread lets the callbacks that wait on the delegate (the server-trust decision
// inside the TLS handshake, pulling a request body stream, room for more received data) block
// without holding up any other transfer. Server trust is decided in OpenSSL's certificate
// verification callback, after the server's certificates arrived and before the handshake
// finishes, so no request byte is sent before the decision.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/network/BodyLimit.h"
#include "platform/network/NSStream.h"
#include "platform/network/ResponseHead.h"
#include "platform/security/SecTrust.h"

namespace network {

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
};

struct TransferResult {
    std::int64_t urlErrorCode = 0; // 0: the response arrived whole
    std::string detail;
    bool trustRefused = false;
    bool cancelled = false;
    std::shared_ptr<NSError> underlyingError;
};

// Called on the transfer's worker thread, in order: trust (TLS only, new connections only),
// body sent (any number), head, body (any number), complete (exactly once unless cancelled).
class TransferClient {
public:
    virtual ~TransferClient() = default;
    // True to go on with the connection. May block until the delegate decided.
    virtual bool transferEvaluateTrust(const SecTrustRef& trust) = 0;
    virtual void transferDidSendBody(std::int64_t bytes, std::int64_t total, std::int64_t expected) = 0;
    virtual void transferDidReceiveHead(ResponseHead head) = 0;
    // False stops the transfer (it then completes as cancelled). May block for room.
    virtual bool transferDidReceiveBody(const std::uint8_t* bytes, std::size_t length) = 0;
    virtual void transferDidComplete(TransferResult result) = 0;
};

class Transfer : public std::enable_shared_from_this<Transfer> {
public:
    // Queues the exchange on the pool; `client` is held until the exchange completes.
    static std::shared_ptr<Transfer> start(TransferRequest request, std::shared_ptr<TransferClient> client);
    // Stops the exchange soon, from any thread: its sockets are shut down at once.
    void cancel();
    bool isCancelled() const { return cancelled_; }
    // For the client while it waits on the delegate: such waits do not count as idle time.
    void setWaitingForClient(bool waiting);

    Transfer(TransferRequest request, std::shared_ptr<TransferClient> client);
    ~Transfer();

private:
    friend struct TransferAccess;
    void run(void* easy);
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
    std::string host_;
    void* easy_ = nullptr;
};

// For tests and the bench: transfers not yet completed, and pool threads alive now.
std::size_t activeTransferCount();
std::size_t transportThreadCount();
// How long an idle pool thread waits for work before it ends (default 10 s).
void setTransportIdleTimeout(double seconds);

} // namespace network
