// What the two ways of running an exchange share: access to a transfer's state, the easy-handle
// setup with its callbacks, the result of a finished exchange, and the hand-off between them.
#pragma once

#include <curl/curl.h>

#include <string>
#include <vector>

#include "platform/network/Transport.h"

namespace network {

// Grants the C callbacks access to a transfer's state.
struct TransferAccess {
    static void run(Transfer& t, transport::Handle& handle) { t.run(handle); }
    static TransferRequest& request(Transfer& t) { return t.request_; }
    static TransferClient& client(Transfer& t) { return *t.client_; }
    static Transfer& self(void* p) { return *static_cast<Transfer*>(p); }
    static std::atomic<bool>& cancelled(Transfer& t) { return t.cancelled_; }
    static std::atomic<bool>& timedOut(Transfer& t) { return t.timedOut_; }
    static std::atomic<bool>& waiting(Transfer& t) { return t.waiting_; }
    static std::atomic<std::int64_t>& lastActivity(Transfer& t) { return t.lastActivity_; }
    static std::int64_t startedAt(Transfer& t) { return t.startedAt_; }
    static void touch(Transfer& t) { t.touch(); }
    static bool& trustRefused(Transfer& t) { return t.trustRefused_; }
    static bool& headRefused(Transfer& t) { return t.headRefused_; }
    static bool& limitExceeded(Transfer& t) { return t.limitExceeded_; }
    static BodyLimit& limit(Transfer& t) { return t.limit_; }
    static bool& clientStopped(Transfer& t) { return t.clientStopped_; }
    static bool& sentHead(Transfer& t) { return t.sentHead_; }
    static std::shared_ptr<NSError>& streamError(Transfer& t) { return t.streamError_; }
    static ResponseHeadReader& headReader(Transfer& t) { return t.headReader_; }
    static std::int64_t& bodySent(Transfer& t) { return t.bodySent_; }
    static std::size_t& bodyOffset(Transfer& t) { return t.bodyOffset_; }
    static void*& easy(Transfer& t) { return t.easy_; }
    static std::shared_ptr<TransferClient>& clientPointer(Transfer& t) { return t.client_; }
    static void setStartedAt(Transfer& t, std::int64_t at) { t.startedAt_ = at; }
    static std::weak_ptr<NSRunLoop>& runLoop(Transfer& t) { return t.runLoop_; }
    static std::atomic<bool>& onRunLoop(Transfer& t) { return t.onRunLoop_; }
    static bool& trustDeferred(Transfer& t) { return t.trustDeferred_; }
    static std::size_t& countedAhead(Transfer& t) { return t.countedAhead_; }
    static std::atomic<bool>& paused(Transfer& t) { return t.paused_; }
};

namespace transport {

std::int64_t steadyNow();
void globalInit();

// Who drives a handle: a worker (blocking perform, sockets registered for cancellation) or a
// run loop's multi handle.
enum class HandleUse { Worker, RunLoop };

// An easy handle with what it keeps between the exchanges it runs: whether it still holds the
// options every exchange shares (true only after a GET without body that ended well, which
// leaves nothing of its own behind), and the request's header lines, which libcurl reads from
// here while the exchange runs.
struct Handle {
    CURL* easy = nullptr;
    bool primed = false;
    bool decoding = false; // asks for and inflates compressed bodies
    std::string headerText; // the lines, each ended by a NUL
    std::vector<std::size_t> headerStarts;
    std::vector<curl_slist> headerNodes; // point into headerText
};

// Sets the exchange's request and callbacks on the handle: all of them on a handle that is not
// primed (reset first), only what differs between exchanges on one that is. True when the handle
// was reset (a run loop then sets its socket callbacks again).
bool configure(Transfer& transfer, Handle& handle, HandleUse use);
// After the exchange on the handle ended with `code`: says how it went, and whether the handle
// stays primed.
TransferResult finish(Transfer& transfer, Handle& handle, CURLcode code);
// Runs the exchange on a worker of the pool (watched for time-outs there).
void runOnWorker(std::shared_ptr<Transfer> transfer);
// How long idle workers and idle run-loop multi handles are kept.
double idleTimeout();

// The run-loop way (RunLoopTransport.cpp). Start on the current thread's loop; cancel and
// resume from any thread.
void startOnRunLoop(std::shared_ptr<Transfer> transfer);
void cancelOnRunLoop(const std::shared_ptr<Transfer>& transfer);
void resumeOnRunLoop(const std::shared_ptr<Transfer>& transfer);
std::size_t runLoopTransferCount();
std::size_t runLoopCount();

} // namespace transport
} // namespace network
