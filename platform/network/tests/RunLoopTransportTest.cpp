// Loads whose exchanges run on the run loop that delivers them (the main loop here): back-pressure
// by pausing, many transfers on one thread with kept connections, cancellation, time-outs on the
// loop's timer, and server trust decided before any request byte.
#include <gtest/gtest.h>

#include <thread>

#include "platform/network/Loader.h"
#include "platform/network/URLError.h"
#include "platform/network/tests/Recorder.h"
#include "platform/security/SecTrust.h"
#include "platform/threading/NSRunLoop.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"

using namespace network::test;
using httpserver::Reply;
using httpserver::TestServer;

namespace {

// Worker threads of the transport (the run loops that hold a multi handle left out).
std::size_t workerThreads() { return network::transportThreadCount() - network::transportRunLoopCount(); }

std::string pattern(std::size_t length)
{
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 1000) % 26);
    return text;
}

// A loader's client that keeps what it is told; every call must come on the main thread.
struct Client final : network::LoaderClient {
    std::shared_ptr<NSURLResponse> response;
    Bytes body;
    std::shared_ptr<NSError> error;
    bool done = false;
    int callsAfterCancel = 0;
    bool cancelled = false;
    bool offMain = false;
    std::function<void()> onResponse;
    std::function<void()> onData;

    void note()
    {
        offMain = offMain || !NSThread::isMainThread();
        callsAfterCancel += cancelled ? 1 : 0;
    }
    void loaderWillRedirect(const std::shared_ptr<NSURLRequest>& proposed, const std::shared_ptr<NSHTTPURLResponse>&,
        std::function<void(std::shared_ptr<NSURLRequest>)> answer) override
    {
        note();
        answer(proposed);
    }
    void loaderChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&, network::ChallengeAnswer answer) override
    {
        note();
        answer(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    void loaderDidSendBodyData(std::int64_t, std::int64_t, std::int64_t) override { note(); }
    void loaderDidReceiveResponse(const std::shared_ptr<NSURLResponse>& r, std::function<void(bool)> answer) override
    {
        note();
        response = r;
        if (onResponse)
            onResponse();
        answer(true);
    }
    void loaderDidReceiveData(const Bytes& data) override
    {
        note();
        body.insert(body.end(), data.begin(), data.end());
        if (onData)
            onData();
    }
    void loaderWillCacheResponse(const std::shared_ptr<NSCachedURLResponse>&,
        std::function<void(std::shared_ptr<NSCachedURLResponse>)> answer) override
    {
        note();
        answer(nullptr);
    }
    void loaderDidComplete(const std::shared_ptr<NSError>& e) override
    {
        note();
        error = e;
        done = true;
    }
    std::string text() const { return std::string(body.begin(), body.end()); }
};

struct Load {
    std::shared_ptr<Client> client = std::make_shared<Client>();
    std::shared_ptr<network::Delivery> delivery = network::Delivery::onRunLoop(NSRunLoop::currentRunLoop(), {});
    std::shared_ptr<network::Loader> loader;

    Load(const std::string& url, double timeout, network::LoaderOptions options = {})
    {
        auto request = requestFor(url);
        request->setTimeoutInterval(timeout);
        loader = std::make_shared<network::Loader>(request, std::move(options), delivery, client);
        loader->start();
    }
    // What a connection's cancel does: nothing is reported afterwards.
    void cancel()
    {
        client->cancelled = true;
        delivery->close();
        loader->cancel();
    }
};

class RunLoopTransport : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        NSURLCache::setSharedURLCache(std::make_shared<NSURLCache>(0, 0, ""));
        // Workers that earlier tests in this process started go first, so the counts below are
        // this test's own.
        network::setTransportIdleTimeout(0.05);
        ASSERT_TRUE(testing_support::runUntil([] { return workerThreads() == 0; }, 5));
        network::setTransportIdleTimeout(10);
    }
    testing_support::TempHome home;
    TestServer server;
};

TEST_F(RunLoopTransport, APausedLoadHoldsItsBodyBackWithoutTimingOutAndResumesWhole)
{
    // The pause outlasts the idle time-out: waiting for room is not idleness. The time-out leaves
    // a loaded machine time for the first bytes.
    const std::string big = pattern(6 << 20);
    server.on("/big", Reply::text(big));
    for (bool resumeFromAnotherThread : { false, true }) {
        Load load(server.url("/big"), 1.0);
        load.client->onData = [&] { load.loader->setPaused(true); };
        ASSERT_TRUE(testing_support::runUntil([&] { return !load.client->body.empty(); }));
        load.client->onData = nullptr;
        testing_support::runUntil([] { return false; }, 0.5);
        auto held = load.loader->bytesReceived();
        testing_support::runUntil([] { return false; }, 0.7);
        EXPECT_EQ(load.loader->bytesReceived(), held) << "bytes were taken while paused";
        EXPECT_LT(held, static_cast<std::int64_t>(big.size()));
        EXPECT_FALSE(load.client->done);
        if (resumeFromAnotherThread)
            std::thread([&] { load.loader->setPaused(false); }).join();
        else
            load.loader->setPaused(false);
        ASSERT_TRUE(testing_support::runUntil([&] { return load.client->done; }, 20));
        EXPECT_FALSE(load.client->error) << load.client->error->localizedDescription();
        EXPECT_TRUE(load.client->text() == big);
        EXPECT_FALSE(load.client->offMain);
    }
    EXPECT_EQ(workerThreads(), 0u);
}

TEST_F(RunLoopTransport, ManyLoadsShareTheThreadAndItsKeptConnections)
{
    server.onPrefix("/n/", [](const httpserver::Request& request) {
        return Reply::text(pattern(std::stoul(request.path.substr(3)) * 997));
    });
    constexpr int kLoads = 24;
    std::uint64_t firstRound = 0;
    for (int round = 0; round < 2; ++round) {
        std::vector<std::shared_ptr<Recorder>> recorders;
        std::vector<std::shared_ptr<NSURLConnection>> connections;
        for (int i = 0; i < kLoads; ++i) {
            recorders.push_back(std::make_shared<Recorder>());
            connections.push_back(NSURLConnection::connectionWithRequest(
                requestFor(server.url("/n/" + std::to_string(i))), recorders.back()));
        }
        ASSERT_TRUE(testing_support::runUntil(
            [&] { return std::all_of(recorders.begin(), recorders.end(), [](auto& r) { return r->finished.load(); }); }, 20));
        for (int i = 0; i < kLoads; ++i) {
            EXPECT_FALSE(recorders[i]->error) << i;
            EXPECT_TRUE(recorders[i]->text() == pattern(static_cast<std::size_t>(i) * 997)) << i;
            EXPECT_TRUE(recorders[i]->onMainThread) << i;
        }
        if (round == 0)
            firstRound = server.connectionsAccepted();
    }
    EXPECT_LE(firstRound, static_cast<std::uint64_t>(kLoads));
    EXPECT_EQ(server.connectionsAccepted(), firstRound) << "the second round opened new connections";
    EXPECT_EQ(server.requestCount(), 2u * kLoads);
    EXPECT_EQ(workerThreads(), 0u);
    EXPECT_EQ(network::transportRunLoopCount(), 1u);
}

TEST_F(RunLoopTransport, AGetAfterOtherExchangesOnTheLoopIsAPlainGet)
{
    // One after another, the loop's exchanges run on the same recycled handle: nothing of a
    // POST, HEAD, PUT, custom method, own Accept-Encoding or cancelled pause may reach the GET after it.
    server.onPrefix("/", [](const httpserver::Request& request) { return Reply::text("reply to " + request.method); });
    server.on("/big", Reply::text(pattern(6 << 20)));
    auto get = [&] {
        auto r = load(requestFor(server.url("/get")));
        EXPECT_FALSE(r->error);
        EXPECT_EQ(r->text(), "reply to GET");
        auto seen = server.lastRequest();
        return seen ? seen->head : std::string();
    };
    const std::string plainHead = get();
    ASSERT_NE(plainHead.find("GET /get HTTP/1.1\r\n"), std::string::npos) << plainHead;
    ASSERT_NE(plainHead.find("Accept-Encoding: gzip, deflate\r\n"), std::string::npos) << plainHead;
    ASSERT_EQ(plainHead.find("Expect"), std::string::npos) << plainHead;
    ASSERT_EQ(plainHead.find("Content-"), std::string::npos) << plainHead;
    auto withBody = [&](const char* method) {
        auto request = requestFor(server.url("/other"));
        request->setHTTPMethod(method);
        request->setHTTPBody(Bytes { 'x', 'y', 'z' });
        return request;
    };
    auto head = requestFor(server.url("/other"));
    head->setHTTPMethod("HEAD");
    auto custom = requestFor(server.url("/other"));
    custom->setHTTPMethod("PURGE");
    auto ownEncoding = requestFor(server.url("/other"));
    ownEncoding->setValueForHTTPHeaderField("identity", "Accept-Encoding");
    ownEncoding->setValueForHTTPHeaderField("text/plain", "Accept");
    for (const auto& other : { withBody("POST"), head, withBody("PUT"), custom, ownEncoding }) {
        SCOPED_TRACE(other->HTTPMethod());
        auto r = load(other);
        EXPECT_FALSE(r->error);
        EXPECT_EQ(server.lastRequest()->method, other->HTTPMethod());
        EXPECT_EQ(server.lastRequest()->body, other->HTTPBody() ? "xyz" : "");
        EXPECT_EQ(get(), plainHead);
    }
    // A transfer cancelled while paused with bytes held.
    Load paused(server.url("/big"), 10);
    paused.client->onData = [&] { paused.loader->setPaused(true); };
    ASSERT_TRUE(testing_support::runUntil([&] { return !paused.client->body.empty(); }));
    paused.cancel();
    ASSERT_TRUE(testing_support::runUntil([] { return network::activeTransferCount() == 0; }));
    EXPECT_EQ(get(), plainHead);
    EXPECT_EQ(workerThreads(), 0u);
}

TEST_F(RunLoopTransport, KeptConnectionsThatCloseGiveWayToNewOnesWhateverTheirDescriptors)
{
    // A kept connection's socket stays watched between its transfers. When the server closes
    // it, libcurl closes it at the next reuse and opens another, often under the same descriptor
    // number: that one must be watched afresh, or its transfer would never end.
    const std::string text = pattern(3000);
    server.on("/closes", Reply::text(text).closeAfter(text.size()));
    server.on("/stays", Reply::text(text));
    for (int i = 0; i < 32; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(load(requestFor(server.url("/closes")))->text(), text);
        for (int reuse = 0; reuse < 2; ++reuse) {
            auto r = load(requestFor(server.url("/stays")), std::make_shared<Recorder>(), 5);
            EXPECT_TRUE(r->finished);
            EXPECT_FALSE(r->error);
            EXPECT_TRUE(r->text() == text);
        }
    }
    // The multi handle let go with its kept sockets, then a new one. (Loops of other threads may
    // hold drivers of their own when tests share a process.)
    // The driver takes its idle deadline when its last transfer ends, so the short idle time
    // is set before one more load.
    const std::size_t withThisLoop = network::transportRunLoopCount();
    network::setTransportIdleTimeout(0.1);
    EXPECT_EQ(load(requestFor(server.url("/stays")))->text(), text);
    EXPECT_TRUE(testing_support::runUntil([&] { return network::transportRunLoopCount() < withThisLoop; }, 5));
    network::setTransportIdleTimeout(10);
    EXPECT_EQ(load(requestFor(server.url("/stays")))->text(), text);
    EXPECT_EQ(workerThreads(), 0u);
}

TEST_F(RunLoopTransport, ADelegateThatRunsTheLoopInsideACallbackHoldsUpNothing)
{
    // The callback comes from inside the transfer's own turn; the nested run must not enter the
    // transfer again, and every load (the nesting one included) still ends whole.
    server.on("/a", Reply::text(pattern(300000)));
    server.on("/b", Reply::text(pattern(200000)));
    struct Nesting final : Recorder {
        bool nested = false;
        void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& c, const Bytes& data) override
        {
            Recorder::connectionDidReceiveData(c, data);
            if (std::exchange(nested, true))
                return;
            NSRunLoop::currentRunLoop()->runInModeForRealSeconds(NSDefaultRunLoopMode, 0.3, false);
        }
    };
    auto nesting = std::make_shared<Nesting>();
    auto other = std::make_shared<Recorder>();
    auto first = NSURLConnection::connectionWithRequest(requestFor(server.url("/a")), nesting);
    auto second = NSURLConnection::connectionWithRequest(requestFor(server.url("/b")), other);
    ASSERT_TRUE(testing_support::runUntil([&] { return nesting->finished && other->finished; }, 10));
    EXPECT_FALSE(nesting->error);
    EXPECT_FALSE(other->error);
    EXPECT_TRUE(nesting->text() == pattern(300000));
    EXPECT_TRUE(other->text() == pattern(200000));
}

TEST_F(RunLoopTransport, CancelStopsTheTransferWhereverItIs)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/head", Reply::text("late").waitBeforeHead(gate));
    server.on("/trickle", Reply::text(pattern(20000)).trickle(500, std::chrono::milliseconds(20)));
    server.on("/big", Reply::text(pattern(6 << 20)));
    struct Case {
        const char* path;
        const char* moment; // "head": before the head, "body": after some data, "paused": paused
        bool fromAnotherThread;
    };
    for (auto c : { Case { "/head", "head", false }, Case { "/head", "head", true }, Case { "/trickle", "body", false },
             Case { "/trickle", "body", true }, Case { "/big", "paused", false }, Case { "/big", "paused", true } }) {
        SCOPED_TRACE(std::string(c.path) + " " + c.moment + (c.fromAnotherThread ? " other thread" : ""));
        auto before = server.requestCount();
        Load load(server.url(c.path), 10);
        std::string moment = c.moment;
        if (moment == "paused")
            load.client->onData = [&] { load.loader->setPaused(true); };
        ASSERT_TRUE(testing_support::runUntil([&] {
            return moment == "head" ? server.requestCount() > before : !load.client->body.empty();
        }));
        testing_support::runUntil([] { return false; }, 0.1);
        if (c.fromAnotherThread)
            std::thread([&] { load.cancel(); }).join();
        else
            load.cancel();
        EXPECT_TRUE(testing_support::runUntil([] { return network::activeTransferCount() == 0; }));
        testing_support::runUntil([] { return false; }, 0.1);
        EXPECT_EQ(load.client->callsAfterCancel, 0);
        EXPECT_FALSE(load.client->done);
    }
    gate->open();
    EXPECT_EQ(workerThreads(), 0u);
}

TEST_F(RunLoopTransport, IdleAndTotalTimeOutsComeFromTheLoopsTimer)
{
    server.on("/silent", Reply::noAnswer());
    server.on("/trickle", Reply::text(pattern(3000)).trickle(100, std::chrono::milliseconds(50)));
    server.on("/slowhead", Reply::text("late").delay(std::chrono::milliseconds(800)));
    struct Case {
        const char* path;
        double idle;
        double total;
        std::int64_t code; // 0: success
    };
    for (auto c : { Case { "/silent", 0.3, 0, NSURLErrorTimedOut }, Case { "/slowhead", 0.3, 0, NSURLErrorTimedOut },
             Case { "/trickle", 0.4, 0.6, NSURLErrorTimedOut }, Case { "/trickle", 0.4, 0, 0 } }) {
        SCOPED_TRACE(std::string(c.path) + " idle " + std::to_string(c.idle) + " total " + std::to_string(c.total));
        network::LoaderOptions options;
        options.totalTimeout = c.total;
        Load load(server.url(c.path), c.idle, options);
        ASSERT_TRUE(testing_support::runUntil([&] { return load.client->done; }, 10));
        if (c.code == 0) {
            EXPECT_FALSE(load.client->error);
            EXPECT_TRUE(load.client->text() == pattern(3000));
        } else {
            ASSERT_TRUE(load.client->error);
            EXPECT_EQ(load.client->error->code(), c.code);
        }
    }
    EXPECT_EQ(workerThreads(), 0u);
}

class RunLoopTrust : public RunLoopTransport {
protected:
    void SetUp() override
    {
        RunLoopTransport::SetUp();
        security::setSystemAnchorCertificates({ SecCertificateCreateWithData(certs.ca().der()) });
    }
    void TearDown() override { security::resetSystemAnchorCertificates(); }
    const httpserver::TestCertificates& certs = httpserver::TestCertificates::shared();
};

TEST_F(RunLoopTrust, TheDecisionComesBeforeAnyRequestByteAtOnceOrLater)
{
    TestServer tls(TestServer::https(certs.localhost()));
    tls.on("/", Reply::text("trusted"));
    struct Case {
        bool later; // answered from another thread after the question returned
        bool accept;
    };
    std::size_t expectedRequests = 0;
    for (auto c : { Case { false, true }, Case { false, false }, Case { true, true }, Case { true, false } }) {
        SCOPED_TRACE(std::string(c.later ? "later " : "at once ") + (c.accept ? "accept" : "refuse"));
        auto r = std::make_shared<Recorder>();
        int asked = 0;
        std::size_t requestsSeen = 99;
        std::thread answerer;
        r->challenge = [&](const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) {
            ++asked;
            requestsSeen = tls.requestCount();
            auto answer = [challenge, accept = c.accept] {
                auto trust = challenge->protectionSpace()->serverTrust();
                if (accept)
                    challenge->sender()->useCredential(NSURLCredential::credentialForTrust(trust), challenge);
                else
                    challenge->sender()->cancelAuthenticationChallenge(challenge);
            };
            if (!c.later)
                return answer();
            // Started from the loop's next pass, so the answer cannot beat the question's return.
            NSRunLoop::currentRunLoop()->performBlock([&answerer, answer] { answerer = std::thread(answer); });
        };
        // A new connection each time, so that each load's handshake asks.
        auto request = requestFor(tls.url("/"));
        request->setValueForHTTPHeaderField("close", "Connection");
        load(request, r);
        if (answerer.joinable())
            answerer.join();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(requestsSeen, expectedRequests);
        expectedRequests += c.accept ? 1 : 0;
        EXPECT_EQ(tls.requestCount(), expectedRequests);
        if (c.accept) {
            EXPECT_EQ(r->text(), "trusted");
        } else {
            ASSERT_TRUE(r->error);
            EXPECT_EQ(r->error->code(), NSURLErrorUserCancelledAuthentication);
        }
        EXPECT_TRUE(r->onMainThread);
        // Only an answer that comes later sends the exchange to a worker.
        EXPECT_EQ(workerThreads() > 0, c.later);
    }
}

} // namespace
