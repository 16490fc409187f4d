// The request operation against a loopback server: threads, the order of state changes,
// cancellation, pause and resume with Range, failing output streams, batches and notifications.
#include <filesystem>
#include <fstream>
#include <mutex>

#include "net/NKHTTPRequestOperation.h"
#include "net/tests/NetTestSupport.h"
#include "platform/network/URLError.h"
#include "platform/threading/NSNotificationCenter.h"
#include "testing/TempHome.h"
#include "testing/httpserver/Resource.h"
#include "testing/httpserver/TestServer.h"

using namespace net::test;
using httpserver::Reply;
using httpserver::TestServer;

namespace {

std::shared_ptr<NSURLRequest> requestFor(const std::string& url)
{
    return NSURLRequest::requestWithURL(NSURL::URLWithString(url));
}

struct Outcome {
    std::atomic<int> successes { 0 };
    std::atomic<int> failures { 0 };
    std::atomic<bool> onMain { true };
    Value object;
    NSErrorRef error;
    std::mutex mutex;
    bool done() const { return successes + failures > 0; }
};

void attach(const std::shared_ptr<NKHTTPRequestOperation>& operation, const std::shared_ptr<Outcome>& outcome)
{
    operation->setCompletionBlockWithSuccess(
        [outcome](const std::shared_ptr<NKHTTPRequestOperation>&, const Value& object) {
            std::lock_guard lock(outcome->mutex);
            outcome->object = object;
            outcome->onMain = outcome->onMain && NSThread::isMainThread();
            ++outcome->successes;
        },
        [outcome](const std::shared_ptr<NKHTTPRequestOperation>&, const NSErrorRef& error) {
            std::lock_guard lock(outcome->mutex);
            outcome->error = error;
            outcome->onMain = outcome->onMain && NSThread::isMainThread();
            ++outcome->failures;
        });
}

// An output stream that always has room but refuses to take bytes.
class RefusingOutputStream final : public NSOutputStream {
public:
    explicit RefusingOutputStream(bool withError) : withError_(withError) { }
    std::int64_t write(const std::uint8_t*, std::size_t) override
    {
        if (!withError_)
            return 0;
        fail(NSError::errorWithDomain(NSPOSIXErrorDomain, 28)); // ENOSPC
        return -1;
    }
    bool hasSpaceAvailable() const override { return true; }

private:
    bool withError_;
};

// The most memory the process has held so far (VmHWM), in bytes.
std::uint64_t peakResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoull(line.substr(6)) * 1024;
    return 0;
}

class ConnectionOperation : public NetTest {
protected:
    TestServer server;
    std::shared_ptr<NSOperationQueue> queue = NSOperationQueue::create();
};

TEST_F(ConnectionOperation, RunsItsConnectionOnTheNetworkThreadAndReportsOnMain)
{
    server.on("/json", Reply::json("{\"a\":1}"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/json")));
    operation->setResponseSerializer(NKJSONResponseSerializer::serializer());
    std::string connectionThread;
    operation->setRedirectResponseBlock([&](const auto&, const auto& request, const auto&) {
        connectionThread = NSThread::currentThread()->name();
        return request;
    });
    std::vector<std::string> notifications;
    auto center = NSNotificationCenter::defaultCenter();
    auto started = center->addObserverForName(NKNetworkingOperationDidStartNotification, operation.get(), nullptr,
        [&](const auto& n) { notifications.push_back(n->name()); });
    auto finished = center->addObserverForName(NKNetworkingOperationDidFinishNotification, operation.get(), nullptr,
        [&](const auto& n) { notifications.push_back(n->name()); });
    auto outcome = std::make_shared<Outcome>();
    attach(operation, outcome);
    queue->addOperation(operation);

    ASSERT_TRUE(waitFor([&] { return outcome->done() && notifications.size() == 2; }));
    center->removeObserver(started.get());
    center->removeObserver(finished.get());
    EXPECT_EQ(connectionThread, "NKNetworking");
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_TRUE(outcome->onMain);
    EXPECT_EQ(outcome->object["a"].integerValue(), 1);
    EXPECT_EQ(notifications, (std::vector<std::string> { NKNetworkingOperationDidStartNotification,
                                 NKNetworkingOperationDidFinishNotification }));
    EXPECT_EQ(operation->responseString(), "{\"a\":1}");
    EXPECT_TRUE(operation->isFinished());
}

TEST_F(ConnectionOperation, AnnouncesStateChangesNewKeyFirstAndOldKeyInside)
{
    server.on("/x", Reply::text("x"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/x")));
    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<threading::Observation> observations;
    for (const char* key : { "isReady", "isExecuting", "isFinished", "isPaused" })
        observations.push_back(operation->observe(key, NSKeyValueObservingOptionPrior,
            [&](const std::string& keyPath, NSObject*, const Value& change) {
                std::lock_guard lock(mutex);
                events.push_back((change[NSKeyValueChangeNotificationIsPriorKey].boolValue() ? "will " : "did ") + keyPath);
            }));
    operation->start();
    ASSERT_TRUE(waitFor([&] { return operation->isFinished(); }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(events, (std::vector<std::string> { "will isExecuting", "will isReady", "did isReady", "did isExecuting",
                          "will isFinished", "will isExecuting", "did isExecuting", "did isFinished" }));
}

TEST_F(ConnectionOperation, ForbiddenStateChangesAreIgnored)
{
    using Op = NKURLConnectionOperation;
    EXPECT_FALSE(Op::stateTransitionIsValid(NKOperationReadyState, NKOperationFinishedState, false));
    EXPECT_TRUE(Op::stateTransitionIsValid(NKOperationReadyState, NKOperationFinishedState, true));
    for (std::int64_t to : { -1, 1, 2, 3 })
        EXPECT_FALSE(Op::stateTransitionIsValid(NKOperationFinishedState, to, true));
    EXPECT_FALSE(Op::stateTransitionIsValid(NKOperationPausedState, NKOperationExecutingState, false));
    EXPECT_FALSE(Op::stateTransitionIsValid(NKOperationReadyState, 0, false));
    EXPECT_FALSE(Op::stateTransitionIsValid(NKOperationReadyState, 7, false));
    EXPECT_TRUE(Op::stateTransitionIsValid(0, NKOperationExecutingState, false));
    EXPECT_EQ(Op::keyPathFromOperationState(5), "state");
}

TEST_F(ConnectionOperation, CancelledBeforeStartFinishesWithCancelledAndNeverConnects)
{
    server.on("/x", Reply::text("x"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/x")));
    auto outcome = std::make_shared<Outcome>();
    attach(operation, outcome);
    operation->cancel();
    operation->cancel(); // a second cancel changes nothing
    queue->addOperation(operation);
    ASSERT_TRUE(waitFor([&] { return outcome->done(); }));
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error->code(), NSURLErrorCancelled);
    EXPECT_EQ(outcome->error->domain(), NSURLErrorDomain);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_TRUE(operation->isFinished());
}

TEST_F(ConnectionOperation, PausingAReadyOperationPostsNoFinishAndStartDoesNothing)
{
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/x")));
    int finishes = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        NKNetworkingOperationDidFinishNotification, operation.get(), nullptr, [&](const auto&) { ++finishes; });
    operation->pause();
    EXPECT_TRUE(operation->isPaused());
    EXPECT_FALSE(operation->isReady());
    operation->start();
    testing_support::settle(1);
    EXPECT_TRUE(operation->isPaused());
    EXPECT_EQ(finishes, 0);
    EXPECT_EQ(operation->request()->valueForHTTPHeaderField("Range"), "bytes=0-");
    NSNotificationCenter::defaultCenter()->removeObserver(token.get());
}

TEST_F(ConnectionOperation, CancellingAPausedOperationFinishesItWithCancelled)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/slow", Reply::text(std::string(1000, 'x')).waitBeforeBody(gate));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/slow")));
    auto outcome = std::make_shared<Outcome>();
    attach(operation, outcome);
    queue->addOperation(operation);
    ASSERT_TRUE(waitFor([&] { return operation->response() != nullptr; }));
    operation->pause();
    operation->cancel();
    ASSERT_TRUE(waitFor([&] { return outcome->done() && queue->operationCount() == 0; }));
    gate->open();
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error->code(), NSURLErrorCancelled);
    EXPECT_TRUE(operation->isFinished());
}

// A body sent slowly the first time; ranged requests answered by `ranged`.
class Resumable : public ConnectionOperation {
protected:
    std::string body = [] {
        std::string text;
        for (int i = 0; i < 4000; ++i)
            text += static_cast<char>('a' + i % 26);
        return text;
    }();

    void serve(httpserver::Handler ranged)
    {
        server.on("/file", [this, ranged](const httpserver::Request& request) {
            if (request.headers.get("Range"))
                return ranged(request);
            return Reply(200, body)
                .contentType("application/octet-stream")
                .header("ETag", "\"v1\"")
                .trickle(100, std::chrono::milliseconds(10));
        });
    }

    // Runs the operation until some bytes arrived, pauses, resumes, and waits for the end.
    std::shared_ptr<Outcome> pauseAndResume(const std::shared_ptr<NKHTTPRequestOperation>& operation)
    {
        auto outcome = std::make_shared<Outcome>();
        attach(operation, outcome);
        queue->addOperation(operation);
        EXPECT_TRUE(waitFor([&] { return operation->totalBytesRead() >= 200; }));
        operation->pause();
        EXPECT_TRUE(operation->isPaused());
        operation->resume();
        EXPECT_TRUE(waitFor([&] { return outcome->done(); }, 20));
        return outcome;
    }
};

TEST_F(Resumable, ResumeAsksForTheRestWithRangeAndIfRange)
{
    httpserver::Resource resource;
    resource.body = body;
    resource.etag = "\"v1\"";
    serve(httpserver::serve(resource));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/file")));
    auto outcome = pauseAndResume(operation);
    ASSERT_EQ(outcome->successes, 1) << (outcome->error ? outcome->error->description() : "");
    EXPECT_EQ(text(outcome->object.asData()), body);
    auto ranged = server.requestsFor("/file").back();
    EXPECT_EQ(ranged.headers.get("If-Range"), "\"v1\"");
    ASSERT_TRUE(ranged.headers.get("Range"));
    EXPECT_NE(*ranged.headers.get("Range"), "bytes=0-");
}

TEST_F(Resumable, AServerThatIgnoresRangeStartsTheBodyOver)
{
    httpserver::Resource resource;
    resource.body = body;
    resource.honourRange = false;
    serve(httpserver::serve(resource));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/file")));
    auto outcome = pauseAndResume(operation);
    ASSERT_EQ(outcome->successes, 1);
    EXPECT_EQ(text(outcome->object.asData()), body);
    // The bytes dropped with the first body do not count as read.
    EXPECT_EQ(operation->totalBytesRead(), static_cast<std::int64_t>(body.size()));
}

TEST_F(Resumable, A206AtAnotherOffsetFailsInsteadOfCorruptingTheBody)
{
    serve([this](const httpserver::Request&) {
        return Reply(206, body.substr(0, 100))
            .header("Content-Range", "bytes 0-99/" + std::to_string(body.size()))
            .contentType("application/octet-stream");
    });
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/file")));
    auto outcome = pauseAndResume(operation);
    ASSERT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error->code(), NSURLErrorBadServerResponse);
}

TEST_F(ConnectionOperation, RepliesLongerThanTheLimitFailWithoutBeingHeld)
{
    constexpr std::uint64_t endless = std::uint64_t(1) << 62;
    server.on("/endless", Reply(200).contentType("application/octet-stream").body(endless, httpserver::repeating("x")).chunked(65536));
    server.on("/huge", Reply(200).contentType("application/octet-stream").body(1000000000000ull, httpserver::repeating("y")));
    server.on("/1001", Reply(200, std::string(1001, 'z')).contentType("application/octet-stream"));
    server.on("/1000", Reply(200, std::string(1000, 'z')).contentType("application/octet-stream"));
    struct Case {
        const char* path;
        std::uint64_t limit; // 0: the default
        bool fails;
    };
    const Case cases[] = {
        { "/endless", 0, true },
        { "/huge", 0, true },
        { "/1001", 1000, true },
        { "/1000", 1000, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url(c.path)));
        if (c.limit)
            operation->setMaximumResponseDataLength(c.limit);
        std::uint64_t limit = operation->maximumResponseDataLength();
        auto outcome = std::make_shared<Outcome>();
        attach(operation, outcome);
        queue->addOperation(operation);
        ASSERT_TRUE(waitFor([&] { return outcome->done(); }, 60));
        testing_support::settle(0.1); // progress queued before the end
        EXPECT_LE(static_cast<std::uint64_t>(operation->totalBytesRead()), limit);
        if (!c.fails) {
            EXPECT_EQ(outcome->successes, 1);
            continue;
        }
        ASSERT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->error->domain(), NSURLErrorDomain);
        EXPECT_EQ(outcome->error->code(), NSURLErrorDataLengthExceedsMaximum);
        if (c.limit) {
            EXPECT_NE(outcome->error->localizedDescription().find(std::to_string(limit) + " bytes"), std::string::npos);
        }
        EXPECT_FALSE(operation->responseData());
    }
    // Nothing near the endless or the announced body was ever held (the sanitizers' own
    // bookkeeping stays far below this).
    EXPECT_LT(peakResidentBytes(), std::uint64_t(1) << 30);
}

TEST_F(ConnectionOperation, AStreamSetByTheCallerIsNotLimited)
{
    testing_support::TempHome home;
    std::string path = home.pathFor("body.bin");
    server.on("/big", Reply(200, std::string(5000, 'b')).contentType("application/octet-stream"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/big")));
    operation->setMaximumResponseDataLength(100);
    operation->setOutputStream(NSOutputStream::outputStreamToFileAtPath(path, false));
    auto outcome = std::make_shared<Outcome>();
    attach(operation, outcome);
    queue->addOperation(operation);
    ASSERT_TRUE(waitFor([&] { return outcome->done(); }));
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_EQ(std::filesystem::file_size(path), 5000u);
}

TEST_F(ConnectionOperation, AnOutputStreamThatFailsOrStallsFailsTheOperation)
{
    server.on("/x", Reply::text(std::string(5000, 'x')));
    for (bool withError : { true, false }) {
        auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/x")));
        operation->setOutputStream(std::make_shared<RefusingOutputStream>(withError));
        auto outcome = std::make_shared<Outcome>();
        attach(operation, outcome);
        queue->addOperation(operation);
        ASSERT_TRUE(waitFor([&] { return outcome->done(); }));
        EXPECT_EQ(outcome->failures, 1) << "with error: " << withError;
        ASSERT_TRUE(outcome->error);
        if (withError)
            EXPECT_EQ(outcome->error->code(), 28);
        else
            EXPECT_EQ(outcome->error->code(), NSURLErrorCannotWriteToFile);
    }
}

TEST_F(ConnectionOperation, ServerRejectionsReachTheFailureBlockWithTheSerializerError)
{
    server.on("/missing", Reply::text("nope", 404));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/missing")));
    auto outcome = std::make_shared<Outcome>();
    attach(operation, outcome);
    queue->addOperation(operation);
    ASSERT_TRUE(waitFor([&] { return outcome->done(); }));
    ASSERT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error->domain(), NKURLResponseSerializationErrorDomain);
    EXPECT_EQ(outcome->error->code(), NSURLErrorBadServerResponse);
    EXPECT_EQ(operation->error(), outcome->error);
    // Another serializer parses the same bytes anew.
    auto accepting = NKHTTPResponseSerializer::serializer();
    accepting->setAcceptableStatusCodes(std::nullopt);
    operation->setResponseSerializer(accepting);
    EXPECT_EQ(text(operation->responseObject().asData()), "nope");
    EXPECT_FALSE(operation->error());
}

TEST_F(ConnectionOperation, ResponseObjectIsAbsentWhileExecuting)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/slow", Reply::text("done").waitBeforeBody(gate));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/slow")));
    queue->addOperation(operation);
    ASSERT_TRUE(waitFor([&] { return operation->response() != nullptr; }));
    EXPECT_TRUE(operation->responseObject().isAbsent());
    gate->open();
    ASSERT_TRUE(waitFor([&] { return operation->isFinished(); }));
    EXPECT_EQ(text(operation->responseObject().asData()), "done");
}

TEST_F(ConnectionOperation, WithACompletionQueueNoBlockRunsOnMain)
{
    server.on("/x", Reply::text("x"));
    server.on("/missing", Reply::text("x", 500));
    for (const char* path : { "/x", "/missing" }) {
        auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url(path)));
        operation->setCompletionQueue(dispatch_queue_create("test.completion"));
        auto group = dispatch_group_create();
        operation->setCompletionGroup(group);
        auto outcome = std::make_shared<Outcome>();
        attach(operation, outcome);
        queue->addOperation(operation);
        ASSERT_TRUE(waitFor([&] { return outcome->done(); }));
        EXPECT_FALSE(outcome->onMain) << path;
        EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC)), 0);
        // Its completion block let go of it: nothing keeps a finished operation alive.
        std::weak_ptr<NKHTTPRequestOperation> weak = operation;
        operation.reset();
        EXPECT_TRUE(waitFor([&] { return weak.expired(); })) << path;
    }
}

TEST_F(ConnectionOperation, BatchesCountProgressAndCompleteOnceOnMain)
{
    server.on("/x", Reply::text("x"));
    std::vector<std::shared_ptr<NKURLConnectionOperation>> operations;
    for (int i = 0; i < 3; ++i)
        operations.push_back(NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/x"))));
    std::vector<std::size_t> progress;
    int completions = 0;
    bool completedOnMain = false;
    auto batch = NKURLConnectionOperation::batchOfRequestOperations(
        operations, [&](std::size_t finished, std::size_t total) { progress.push_back(finished * 10 + total); },
        [&](const auto& done) {
            ++completions;
            completedOnMain = NSThread::isMainThread() && done.size() == 3;
        });
    ASSERT_EQ(batch.size(), 4u);
    queue->addOperations(batch, false);
    ASSERT_TRUE(waitFor([&] { return completions == 1; }));
    EXPECT_TRUE(completedOnMain);
    EXPECT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress.back(), 33u);

    int emptyCompletions = 0;
    auto empty = NKURLConnectionOperation::batchOfRequestOperations({}, nullptr, [&](const auto& done) {
        emptyCompletions += done.empty() ? 1 : 100;
    });
    ASSERT_EQ(empty.size(), 1u);
    queue->addOperations(empty, false);
    ASSERT_TRUE(waitFor([&] { return emptyCompletions == 1; }));
}

} // namespace
