// Session behaviour beyond the basic order: redirects and authentication through completion
// handlers, caching decisions, configuration headers and time-outs, suspension holding data
// back, and large bodies arriving whole and in order.
#include <gtest/gtest.h>

#include "platform/network/NSURLSession.h"
#include "platform/network/URLError.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/httpserver/Auth.h"
#include "testing/httpserver/Resource.h"
#include "testing/httpserver/TestServer.h"

using httpserver::Reply;
using httpserver::Request;
using httpserver::TestServer;

namespace {

class Scripted : public NSURLSessionDelegate {
public:
    std::mutex mutex;
    std::vector<std::string> events;
    Bytes body;
    std::shared_ptr<NSURLResponse> response;
    std::shared_ptr<NSError> error;
    std::atomic<bool> completed { false };
    std::function<std::shared_ptr<NSURLRequest>(const std::shared_ptr<NSURLRequest>&)> redirect;
    std::function<void(const std::shared_ptr<NSURLAuthenticationChallenge>&, ChallengeCompletion)> challenge;
    std::function<std::shared_ptr<NSCachedURLResponse>(const std::shared_ptr<NSCachedURLResponse>&)> cache;

    void note(std::string e)
    {
        std::lock_guard lock(mutex);
        if (!events.empty() && events.back() == e && e == "data")
            return;
        events.push_back(std::move(e));
    }
    std::string order()
    {
        std::lock_guard lock(mutex);
        std::string joined;
        for (const auto& e : events)
            joined += (joined.empty() ? "" : " ") + e;
        return joined;
    }
    void taskWillPerformHTTPRedirection(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        const std::shared_ptr<NSHTTPURLResponse>&, const std::shared_ptr<NSURLRequest>& request,
        std::function<void(std::shared_ptr<NSURLRequest>)> completion) override
    {
        note("redirect");
        // Answered later, from another thread, as delegates may.
        std::thread([completion, next = redirect ? redirect(request) : request] { completion(next); }).detach();
    }
    void taskDidReceiveChallenge(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        const std::shared_ptr<NSURLAuthenticationChallenge>& c, ChallengeCompletion completion) override
    {
        note("challenge");
        if (challenge)
            return challenge(c, completion);
        completion(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    void taskDidCompleteWithError(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        const std::shared_ptr<NSError>& e) override
    {
        note("complete");
        error = e;
        completed = true;
    }
    void dataTaskDidReceiveResponse(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&,
        const std::shared_ptr<NSURLResponse>& r, std::function<void(NSURLSessionResponseDisposition)> completion) override
    {
        note("response");
        response = r;
        completion(NSURLSessionResponseAllow);
    }
    void dataTaskDidReceiveData(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&, const Bytes& d) override
    {
        note("data");
        std::lock_guard lock(mutex);
        body.insert(body.end(), d.begin(), d.end());
    }
    void dataTaskWillCacheResponse(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&,
        const std::shared_ptr<NSCachedURLResponse>& proposed, std::function<void(std::shared_ptr<NSCachedURLResponse>)> completion) override
    {
        note("cache");
        completion(cache ? cache(proposed) : proposed);
    }
    std::string text()
    {
        std::lock_guard lock(mutex);
        return std::string(body.begin(), body.end());
    }
    int status() const
    {
        auto* http = dynamic_cast<NSHTTPURLResponse*>(response.get());
        return http ? static_cast<int>(http->statusCode()) : 0;
    }
};

class SessionBehaviour : public ::testing::Test {
protected:
    void SetUp() override { threading::becomeMainThread(); }
    void TearDown() override
    {
        if (session)
            session->invalidateAndCancel();
    }
    std::shared_ptr<NSURLSession> open(std::function<void(NSURLSessionConfiguration&)> configure = nullptr)
    {
        auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
        configuration->URLCache = nullptr;
        if (configure)
            configure(*configuration);
        session = NSURLSession::sessionWithConfiguration(configuration, delegate, nullptr);
        return session;
    }
    std::shared_ptr<NSURLSessionDataTask> run(const std::string& path)
    {
        auto task = session->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url(path))));
        task->resume();
        EXPECT_TRUE(testing_support::runUntil([&] { return delegate->completed.load(); }, 10));
        return task;
    }
    testing_support::TempHome home;
    TestServer server;
    std::shared_ptr<Scripted> delegate = std::make_shared<Scripted>();
    std::shared_ptr<NSURLSession> session;
};

TEST_F(SessionBehaviour, RedirectAnsweredLaterOrWithNil)
{
    open();
    server.on("/from", Reply::redirect(307, "/to").body("redirect body"));
    server.on("/to", Reply::text("arrived"));
    run("/from");
    EXPECT_EQ(delegate->order(), "redirect response data complete");
    EXPECT_EQ(delegate->text(), "arrived");

    delegate = std::make_shared<Scripted>();
    delegate->redirect = [](auto&) { return nullptr; };
    open();
    run("/from");
    EXPECT_EQ(delegate->status(), 307);
    EXPECT_EQ(delegate->text(), "redirect body");
}

TEST_F(SessionBehaviour, AuthenticationThroughTheCompletionHandler)
{
    open();
    server.on("/auth", httpserver::basicAuth("u", "p", [](const Request&) { return Reply::text("welcome"); }));
    delegate->challenge = [](const std::shared_ptr<NSURLAuthenticationChallenge>& c, auto completion) {
        EXPECT_EQ(c->protectionSpace()->realm(), "Quillmark Test");
        EXPECT_EQ(c->protectionSpace()->authenticationMethod(), NSURLAuthenticationMethodHTTPBasic);
        if (c->previousFailureCount() > 0)
            return completion(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nullptr);
        completion(NSURLSessionAuthChallengeUseCredential, NSURLCredential::credentialWithUser("u", "p", NSURLCredentialPersistenceNone));
    };
    run("/auth");
    EXPECT_EQ(delegate->text(), "welcome");
    EXPECT_EQ(delegate->order(), "challenge response data complete");

    delegate = std::make_shared<Scripted>();
    delegate->challenge = [](const std::shared_ptr<NSURLAuthenticationChallenge>& c, auto completion) {
        if (c->previousFailureCount() > 0)
            return completion(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nullptr);
        completion(NSURLSessionAuthChallengeUseCredential, NSURLCredential::credentialWithUser("u", "bad", NSURLCredentialPersistenceNone));
    };
    open();
    run("/auth");
    EXPECT_EQ(delegate->order(), "challenge challenge complete");
    EXPECT_EQ(delegate->error->code(), NSURLErrorCancelled);
}

TEST_F(SessionBehaviour, CachingIsOfferedAndCanBeDeclined)
{
    auto cache = std::make_shared<NSURLCache>(1 << 20, 0, "");
    open([&](NSURLSessionConfiguration& c) { c.URLCache = cache; });
    server.on("/c", Reply::text("cacheable").header("Cache-Control", "max-age=300"));
    delegate->cache = [](auto&) { return nullptr; };
    run("/c");
    EXPECT_EQ(delegate->order(), "response data cache complete");
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/c")));
    EXPECT_FALSE(cache->cachedResponseForRequest(*request));
    delegate->cache = nullptr;
    delegate->completed = false;
    run("/c");
    EXPECT_TRUE(cache->cachedResponseForRequest(*request));
}

TEST_F(SessionBehaviour, AdditionalHeadersCookiesAndTimeOutComeFromTheConfiguration)
{
    open([](NSURLSessionConfiguration& c) {
        c.HTTPAdditionalHeaders = Value::dictionary({ { "X-App", "quill" } });
        c.timeoutIntervalForRequest = 0.3;
    });
    server.on("/set", Reply::text("set").header("Set-Cookie", "sid=42; Path=/"));
    server.on("/echo", [](const Request& r) { return Reply::text(r.headers.value("X-App") + "|" + r.headers.value("Cookie")); });
    run("/set");
    delegate->completed = false;
    delegate->body.clear();
    run("/echo");
    EXPECT_EQ(delegate->text(), "quill|sid=42");

    server.on("/stall", Reply::noAnswer());
    delegate->completed = false;
    run("/stall");
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), NSURLErrorTimedOut);
}

TEST_F(SessionBehaviour, SuspendHoldsDataBackUntilResume)
{
    open();
    server.on("/trickle", Reply::text(std::string(6 << 20, 't')).trickle(1 << 20, std::chrono::milliseconds(5)));
    auto task = session->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/trickle"))));
    task->resume();
    ASSERT_TRUE(testing_support::runUntil([&] { return task->countOfBytesReceived() > 0; }));
    task->suspend();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    testing_support::settle(0.2);
    auto held = task->countOfBytesReceived();
    EXPECT_LT(held, 6 << 20); // the transport stops reading while suspended
    task->resume();
    ASSERT_TRUE(testing_support::runUntil([&] { return delegate->completed.load(); }, 10));
    EXPECT_EQ(delegate->text().size(), 6u << 20);
    EXPECT_FALSE(delegate->error);
}

TEST_F(SessionBehaviour, LargeChunkedBodiesArriveWholeAndInOrder)
{
    open();
    std::string body;
    for (int i = 0; i < 200000; ++i)
        body += static_cast<char>('a' + (i * 7) % 26);
    server.on("/chunked", Reply::text(body).chunked(777));
    run("/chunked");
    EXPECT_EQ(delegate->text(), body);
}

TEST_F(SessionBehaviour, CancellingWhileTheTrustAnswerIsPendingFreesTheTransfer)
{
    const auto& certs = httpserver::TestCertificates::shared();
    TestServer tls(TestServer::https(certs.localhost()));
    tls.on("/", Reply::text("x"));
    struct Silent final : Scripted {
        std::atomic<bool> asked { false };
        bool respondsTo(NSURLSessionDelegateMethod) const override { return true; }
        void URLSessionDidReceiveChallenge(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLAuthenticationChallenge>&,
            ChallengeCompletion) override
        {
            asked = true; // never answers
        }
    };
    auto silent = std::make_shared<Silent>();
    delegate = silent;
    open();
    auto task = session->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(tls.url("/"))));
    task->resume();
    ASSERT_TRUE(testing_support::runUntil([&] { return silent->asked.load(); }));
    task->cancel();
    ASSERT_TRUE(testing_support::runUntil([&] { return silent->completed.load(); }));
    EXPECT_EQ(silent->error->code(), NSURLErrorCancelled);
    EXPECT_TRUE(testing_support::runUntil([] { return network::activeTransferCount() == 0; }));
    EXPECT_EQ(tls.requestCount(), 0u);
}

} // namespace
