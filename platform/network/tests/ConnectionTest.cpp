// NSURLConnection against the loopback server: delegate order, redirects, authentication,
// uploads, errors of broken servers, cancellation and threads.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/network/NSHTTPCookieStorage.h"
#include "platform/network/NSURLConnection.h"
#include "platform/network/URLError.h"
#include "platform/network/tests/Recorder.h"
#include "testing/TempHome.h"
#include "testing/httpserver/Auth.h"
#include "testing/httpserver/TestServer.h"

using namespace network::test;
using httpserver::Reply;
using httpserver::Request;
using httpserver::TestServer;

namespace {

class Connection : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        NSURLCache::setSharedURLCache(std::make_shared<NSURLCache>(0, 0, "")); // nothing is kept
    }
    testing_support::TempHome home;
    TestServer server;
};

std::size_t openDescriptors() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

TEST_F(Connection, DeliversASimpleGetInOrderOnTheSchedulingThread)
{
    server.on("/hello", Reply::text("hello world"));
    auto r = load(requestFor(server.url("/hello")));
    EXPECT_EQ(r->order(), "willSend useStorage response data finish");
    EXPECT_EQ(r->text(), "hello world");
    EXPECT_EQ(r->status(), 200);
    EXPECT_TRUE(r->onMainThread);
    EXPECT_EQ(r->response->MIMEType(), "text/plain");
    EXPECT_EQ(r->response->textEncodingName(), "utf-8");
    EXPECT_EQ(r->response->expectedContentLength(), 11);
}

TEST_F(Connection, SendsMethodHeadersAndBodyAndReportsUploadProgress)
{
    server.on("/echo", [](const Request& request) {
        return Reply::text(request.method + " " + request.headers.value("X-Thing") + " " + request.body);
    });
    auto request = requestFor(server.url("/echo"));
    request->setHTTPMethod("PUT");
    request->setValueForHTTPHeaderField("abc", "x-thing");
    request->setHTTPBody(Bytes { 'p', 'a', 'y' });
    auto r = load(request);
    EXPECT_EQ(r->text(), "PUT abc pay");
    EXPECT_EQ(r->order(), "willSend useStorage sent response data finish");
    EXPECT_EQ(r->sentTotal, 3);
}

TEST_F(Connection, PullsABodyStreamPieceByPieceAndSendsItChunked)
{
    server.on("/upload", [](const Request& request) {
        return Reply::text(std::to_string(request.body.size()) + (request.chunked ? " chunked" : " sized"));
    });
    auto request = requestFor(server.url("/upload"));
    request->setHTTPMethod("POST");
    request->setHTTPBodyStream(NSInputStream::inputStreamWithData(Bytes(300000, 'z')));
    auto r = load(request);
    EXPECT_EQ(r->text(), "300000 chunked");
}

TEST_F(Connection, FollowsRedirectsThroughTheDelegateAndStopsOnNil)
{
    server.on("/a", Reply::redirect(302, "/b").body("moved"));
    server.on("/b", Reply::text("landed"));
    auto followed = load(requestFor(server.url("/a")));
    EXPECT_EQ(followed->order(), "willSend useStorage redirect response data finish");
    EXPECT_EQ(followed->text(), "landed");
    EXPECT_EQ(followed->response->URL()->path(), "/b");

    auto stopped = std::make_shared<Recorder>();
    stopped->redirect = [](auto&, auto&) { return nullptr; };
    load(requestFor(server.url("/a")), stopped);
    EXPECT_EQ(stopped->status(), 302);
    EXPECT_EQ(stopped->text(), "moved");
    EXPECT_TRUE(stopped->error == nullptr);
    EXPECT_EQ(server.requestCount("/b"), 1u);
}

TEST_F(Connection, PostBecomesGetAfterA303AndLoopsEndWithTooManyRedirects)
{
    server.on("/form", Reply::redirect(303, "/done"));
    server.on("/done", [](const Request& request) { return Reply::text(request.method + request.body); });
    auto request = requestFor(server.url("/form"));
    request->setHTTPMethod("POST");
    request->setHTTPBody(Bytes { 'x' });
    EXPECT_EQ(load(request)->text(), "GET");

    server.on("/loop", Reply::redirect(302, "/loop"));
    auto loop = load(requestFor(server.url("/loop")));
    ASSERT_TRUE(loop->error);
    EXPECT_EQ(loop->error->code(), NSURLErrorHTTPTooManyRedirects);
}

TEST_F(Connection, A307WithAStreamedBodyAsksForANewStreamAndCookiesRideAlong)
{
    server.on("/post", Reply::redirect(307, "/landing").header("Set-Cookie", "visit=1; Path=/"));
    server.on("/landing", [](const Request& r) { return Reply::text(r.method + ":" + r.body + ":" + r.headers.value("Cookie")); });
    struct Streams final : Recorder {
        int asked = 0;
        std::shared_ptr<NSInputStream> connectionNeedNewBodyStream(
            const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLRequest>&) override
        {
            ++asked;
            return NSInputStream::inputStreamWithData(Bytes { 'a', 'g', 'a', 'i', 'n' });
        }
    };
    auto r = std::make_shared<Streams>();
    auto request = requestFor(server.url("/post"));
    request->setHTTPMethod("POST");
    request->setHTTPBodyStream(NSInputStream::inputStreamWithData(Bytes { 'f', 'i', 'r', 's', 't' }));
    load(request, r);
    EXPECT_EQ(r->asked, 1);
    EXPECT_EQ(r->text(), "POST:again:visit=1");
    EXPECT_EQ(server.requestsFor("/post").front().body, "first");
    NSHTTPCookieStorage::sharedHTTPCookieStorage()->removeAllCookies();
}

TEST_F(Connection, AnswersBasicAndDigestChallengesWithThePreviousFailureCount)
{
    auto ok = [](const Request&) { return Reply::text("secret"); };
    server.on("/basic", httpserver::basicAuth("ann", "pw", ok));
    server.on("/digest", httpserver::digestAuth("bob", "pw2", ok));
    for (auto [path, user, password] : { std::tuple { "/basic", "ann", "pw" }, std::tuple { "/digest", "bob", "pw2" } }) {
        std::vector<std::int64_t> failures;
        auto r = std::make_shared<Recorder>();
        r->useStorage = false;
        r->challenge = [&, user = user, password = password](const std::shared_ptr<NSURLAuthenticationChallenge>& c) {
            failures.push_back(c->previousFailureCount());
            auto credential = NSURLCredential::credentialWithUser(
                user, failures.size() == 1 ? "wrong" : password, NSURLCredentialPersistenceNone);
            c->sender()->useCredential(credential, c);
        };
        load(requestFor(server.url(path)), r);
        EXPECT_EQ(r->text(), "secret") << path;
        EXPECT_EQ(failures, (std::vector<std::int64_t> { 0, 1 })) << path;
        EXPECT_EQ(r->order(), "willSend useStorage auth auth response data finish") << path;
    }
}

// A cancelled challenge fails with -1012: the pinning delegate's refusal in the trust tests.
TEST_F(Connection, ChallengeWithoutCredentialDeliversThe401)
{
    server.on("/basic", httpserver::basicAuth("ann", "pw", [](const Request&) { return Reply::text("secret"); }));
    auto without = std::make_shared<Recorder>();
    without->challenge = [](auto& c) { c->sender()->continueWithoutCredentialForAuthenticationChallenge(c); };
    load(requestFor(server.url("/basic")), without);
    EXPECT_EQ(without->status(), 401);
    EXPECT_TRUE(without->error == nullptr);
}

TEST_F(Connection, BrokenServersFailWithTheRightCodeAndNeverSucceed)
{
    using namespace std::chrono_literals;
    server.on("/short", Reply::text("0123456789").contentLength(100).closeConnection());
    server.on("/stalled", Reply::text("0123456789").contentLength(100));
    server.on("/cut", Reply::text(std::string(5000, 'x')).closeAfter(100));
    server.on("/garbage", Reply::raw(httpserver::Script().send("NOT HTTP AT ALL\r\n\r\n").close()));
    server.on("/huge", Reply::text("x").rawHeaderLine("X-Big: " + std::string(300000, 'a')));
    server.on("/silent", Reply::noAnswer());
    server.on("/reset", Reply::raw(httpserver::Script().reset()));
    struct Case {
        const char* path;
        std::int64_t code;
    };
    for (auto [path, code] : { Case { "/short", NSURLErrorNetworkConnectionLost },
             Case { "/stalled", NSURLErrorTimedOut },
             Case { "/cut", NSURLErrorNetworkConnectionLost }, Case { "/garbage", NSURLErrorBadServerResponse },
             Case { "/huge", NSURLErrorBadServerResponse }, Case { "/silent", NSURLErrorTimedOut },
             Case { "/reset", NSURLErrorNetworkConnectionLost } }) {
        auto request = requestFor(server.url(path));
        request->setTimeoutInterval(0.3);
        auto r = load(request);
        ASSERT_TRUE(r->error) << path;
        EXPECT_EQ(r->error->code(), code) << path;
        EXPECT_EQ(r->error->userInfo()[NSURLErrorFailingURLStringErrorKey].asString(), server.url(path));
        EXPECT_EQ(r->events.back(), "fail") << path;
    }
}

TEST_F(Connection, UnreachableAndUnsupportedAddresses) // a closed port: the synchronous form below
{
    EXPECT_EQ(load(requestFor("ftp://127.0.0.1/x"))->error->code(), NSURLErrorUnsupportedURL);
    EXPECT_EQ(load(requestFor("http://name.invalid/"))->error->code(), NSURLErrorCannotFindHost);
}

TEST_F(Connection, CancelStopsEveryCallbackAndTheTransfer)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/slow", Reply::text(std::string(100000, 's')).waitBeforeBody(gate));
    auto r = std::make_shared<Recorder>();
    auto connection = NSURLConnection::connectionWithRequest(requestFor(server.url("/slow")), r);
    ASSERT_TRUE(testing_support::runUntil([&] { return !r->events.empty() && r->events.back() == "response"; }));
    connection->cancel();
    gate->open();
    testing_support::runUntil([] { return network::activeTransferCount() == 0; });
    testing_support::settle(0.2);
    EXPECT_EQ(r->order(), "willSend useStorage response");
    EXPECT_EQ(network::activeTransferCount(), 0u);
}

TEST_F(Connection, DelegateQueueReceivesTheCallsOffTheMainThread)
{
    server.on("/q", Reply::text("queued"));
    auto queue = NSOperationQueue::create();
    queue->setMaxConcurrentOperationCount(1);
    auto r = std::make_shared<Recorder>();
    auto connection = NSURLConnection::create(requestFor(server.url("/q")), r, false);
    connection->setDelegateQueue(queue);
    connection->start();
    queue->waitUntilAllOperationsAreFinished();
    ASSERT_TRUE(testing_support::runUntil([&] {
        queue->waitUntilAllOperationsAreFinished();
        return r->finished.load();
    }));
    EXPECT_FALSE(r->onMainThread);
    EXPECT_EQ(r->text(), "queued");
}

TEST_F(Connection, RunsOnAThreadThatRunsItsLoopUntilTheDelegateStopsIt)
{
    // How a download operation drives a connection: scheduled on its own thread, whose run loop
    // runs until the end of the load stops it.
    server.on("/img", Reply(200, std::string(70000, 'i')).contentType("image/png"));
    struct Stopper final : Recorder {
        void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>& c) override
        {
            Recorder::connectionDidFinishLoading(c);
            NSRunLoop::currentRunLoop()->stop();
        }
    };
    auto r = std::make_shared<Stopper>();
    std::atomic<bool> returned = false;
    auto thread = NSThread::create([&] {
        auto connection = NSURLConnection::create(requestFor(server.url("/img")), r, false);
        connection->scheduleInRunLoop(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode);
        connection->start();
        NSRunLoop::currentRunLoop()->runUntilStopped(NSDefaultRunLoopMode);
        returned = true;
    });
    thread->start();
    ASSERT_TRUE(testing_support::runUntil([&] { return returned.load(); }));
    EXPECT_TRUE(r->finished);
    EXPECT_EQ(r->body.size(), 70000u);
    EXPECT_FALSE(r->onMainThread);
}

TEST_F(Connection, SynchronousAndAsynchronousOneCallForms)
{
    server.on("/one", Reply::text("one call"));
    std::shared_ptr<NSURLResponse> response;
    std::shared_ptr<NSError> error;
    auto data = NSURLConnection::sendSynchronousRequest(requestFor(server.url("/one")), &response, &error);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), "one call");
    EXPECT_FALSE(error);
    NSURLConnection::sendSynchronousRequest(requestFor("http://127.0.0.1:1/"), &response, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorCannotConnectToHost);

    bool onMain = false;
    std::optional<Bytes> asyncData;
    NSURLConnection::sendAsynchronousRequest(requestFor(server.url("/one")), NSOperationQueue::mainQueue(),
        [&](auto, std::optional<Bytes> d, auto) {
            onMain = NSThread::isMainThread();
            asyncData = std::move(d);
        });
    ASSERT_TRUE(testing_support::runUntil([&] { return asyncData.has_value(); }));
    EXPECT_TRUE(onMain);
}

TEST_F(Connection, AThousandBrokenRequestsLeaveNoDescriptorOrThreadBehind)
{
    // A worker already waiting out a longer idle time must see it shortened.
    std::shared_ptr<NSURLResponse> response;
    std::shared_ptr<NSError> error;
    NSURLConnection::sendSynchronousRequest(requestFor("http://127.0.0.1:1/"), &response, &error);
    network::setTransportIdleTimeout(0.2);
    server.on("/cut", Reply::text(std::string(2000, 'x')).closeAfter(10));
    server.on("/reset", Reply::raw(httpserver::Script().reset()));
    auto before = openDescriptors();
    constexpr int kRequests = 1000;
    std::vector<std::shared_ptr<Recorder>> recorders;
    std::vector<std::shared_ptr<NSURLConnection>> connections;
    for (int i = 0; i < kRequests; ++i) {
        auto r = std::make_shared<Recorder>();
        recorders.push_back(r);
        connections.push_back(NSURLConnection::connectionWithRequest(requestFor(server.url(i % 2 ? "/cut" : "/reset")), r));
        if (i % 16 == 15)
            testing_support::runUntil([&] { return std::all_of(recorders.begin(), recorders.end(), [](auto& x) { return x->finished.load(); }); }, 10);
    }
    testing_support::runUntil([&] { return std::all_of(recorders.begin(), recorders.end(), [](auto& x) { return x->finished.load(); }); }, 10);
    EXPECT_EQ(std::count_if(recorders.begin(), recorders.end(), [](auto& r) { return r->error != nullptr; }), kRequests);
    connections.clear();
    EXPECT_TRUE(testing_support::runUntil([] { return network::transportThreadCount() == 0; }, 5));
    EXPECT_LE(openDescriptors(), before + 2);
    network::setTransportIdleTimeout(10);
}

} // namespace
