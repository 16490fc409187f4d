// The HTTP session manager's own cases (the verbs, bodies and base URLs it shares with the
// operation manager are in ManagerTests): an invalidated session, replies past the limit, and
// failures on the completion queue and group.
#include "net/tests/ManagerTestSupport.h"
#include "platform/network/URLError.h"

using namespace net::test;
using httpserver::Reply;
using httpserver::Request;

namespace {

using Result = net::test::Result<NKHTTPSessionManager>;
using HTTPSessionManager = ManagerTest<NKHTTPSessionManager>;

TEST_F(HTTPSessionManager, OnceTheSessionIsInvalidatedTheVerbsStillReportTheirFailure)
{
    auto spent = make();
    auto session = spent->session();
    spent->invalidateSessionCancelingTasks(false);
    ASSERT_TRUE(waitFor([&] { return !session->delegate(); }));
    Result& late = record();
    EXPECT_FALSE(spent->POST(server.url("/x"), Value(), late.success(), late.failure()));
    finish(late);
    EXPECT_EQ(late.error->code(), NSURLErrorCancelled);
}

TEST_F(HTTPSessionManager, RepliesLongerThanTheLimitFailWithoutBeingHeld)
{
    constexpr std::uint64_t endless = std::uint64_t(1) << 62;
    server.on("/endless", Reply(200).contentType("text/plain").body(endless, httpserver::repeating("x")).chunked(65536));
    server.on("/huge", Reply(200).contentType("text/plain").body(1000000000000ull, httpserver::repeating("y")));
    server.on("/small", Reply::json("[1]"));
    auto manager = make();
    auto limited = make();
    limited->setMaximumResponseDataLength(2);
    Result& endlessResult = record();
    manager->GET(server.url("/endless"), Value(), endlessResult.success(), endlessResult.failure());
    Result& hugeResult = record();
    manager->GET(server.url("/huge"), Value(), hugeResult.success(), hugeResult.failure());
    Result& smallResult = record();
    limited->GET(server.url("/small"), Value(), smallResult.success(), smallResult.failure());
    for (Result* result : { &endlessResult, &hugeResult, &smallResult }) {
        ASSERT_TRUE(NetTest::waitFor([&] { return result->calls() == 1; }, 60));
        ASSERT_EQ(result->failures, 1);
        EXPECT_EQ(result->error->domain(), NSURLErrorDomain);
        EXPECT_EQ(result->error->code(), NSURLErrorDataLengthExceedsMaximum);
    }
}

TEST_F(HTTPSessionManager, FailuresCarryTheTaskAndRunOnTheCompletionQueueInTheGroup)
{
    auto manager = make();
    server.on("/broken", Reply::json("{\"e\":1}", 500));
    auto queue = dispatch_queue_create("test.completion");
    auto group = dispatch_group_create();
    manager->setCompletionQueue(queue);
    manager->setCompletionGroup(group);
    std::atomic<int> failures { 0 };
    std::atomic<bool> onMain { true };
    NSErrorRef error;
    NKHTTPSessionManager::DataTaskRef seen;
    auto task = manager->GET(server.url("/broken"), Value(), [](auto&, auto&) { ADD_FAILURE(); },
        [&](const auto& t, const NSErrorRef& e) {
            seen = t;
            error = e;
            onMain = NSThread::isMainThread();
            ++failures;
        });
    ASSERT_TRUE(waitFor([&] { return failures.load() == 1; }));
    EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC)), 0);
    EXPECT_FALSE(onMain.load());
    EXPECT_EQ(seen, task);
    EXPECT_EQ(error->code(), -1011);
}

} // namespace
