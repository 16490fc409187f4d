// What the two ways of running an exchange share: access to a transfer's state, the easy-handle
// setup with its callbacks, the result of a finished exchange, and the hand-off between them.
#pragma once

#include <curl/curl.h>

#include "platform/network/Transport.h"

namespace network {

// Grants the C callbacks access to a transfer's state.
struct TransferAccess {
    static void run(Transfer& t, void* easy) { t.run(easy); }
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
    static void*& headerList(Transfer& t) { return t.headerList_; }
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
// Sets the exchange's request and callbacks on `easy` (reset beforehand).
void configure(Transfer& transfer, CURL* easy);
// After the exchange on `easy` ended with `code`: frees what configure made and says how it went.
TransferResult finish(Transfer& transfer, CURLcode code);
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
