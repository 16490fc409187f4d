// Session behaviour beyond the basic order: redirects and authentication through completion
// handlers, caching decisions, configuration headers and time-outs, suspension holding data
// back, and large bodies arriving whole and in order.
#include <gtest/gtest.h>

#include "platform/network/URLError.h"
#include "platform/network/tests/SessionDelegate.h"
#include "testing/httpserver/Auth.h"

using httpserver::Reply;
using httpserver::Request;
using httpserver::TestServer;

namespace {

using Scripted = network::test::SessionDelegate;

class SessionBehaviour : public network::test::SessionFixture {
protected:
    std::shared_ptr<NSURLSessionDataTask> run(const std::string& path)
    {
        auto task = session->dataTaskWithRequest(request(path));
        task->resume();
        EXPECT_TRUE(waitCompleted());
        return task;
    }
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
    server.on("/auth", httpserver::basicAuth("u", "p", [](const Request&) { return Reply::text("welcome"); }));
    // A wrong password meets a second challenge, which this delegate cancels.
    for (auto [password, order] : { std::pair { "p", "challenge response data complete" },
             std::pair { "bad", "challenge challenge complete" } }) {
        delegate = std::make_shared<Scripted>();
        delegate->challenge
            = [password = password](const std::shared_ptr<NSURLAuthenticationChallenge>& c, auto completion) {
                  EXPECT_EQ(c->protectionSpace()->realm(), "Quillmark Test");
                  EXPECT_EQ(c->protectionSpace()->authenticationMethod(), NSURLAuthenticationMethodHTTPBasic);
                  if (c->previousFailureCount() > 0)
                      return completion(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nullptr);
                  completion(NSURLSessionAuthChallengeUseCredential,
                      NSURLCredential::credentialWithUser("u", password, NSURLCredentialPersistenceNone));
              };
        open();
        run("/auth");
        EXPECT_EQ(delegate->order(), order) << password;
        bool good = std::string(password) == "p";
        EXPECT_EQ(delegate->text(), good ? "welcome" : "") << password;
        EXPECT_EQ(delegate->error ? delegate->error->code() : 0, good ? 0 : std::int64_t { NSURLErrorCancelled }) << password;
    }
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
