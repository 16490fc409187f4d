// The badge controller driven by the real report scheduler against a loopback user endpoint, on
// virtual time: one report per value on its way, the retries 40, 100, 200 and 300 seconds after
// failures, then the warning; only the held report and its timer driving them; unsigned 32 bits.
#include "push/Report/tests/ReportTestSupport.h"

#include <algorithm>
#include <limits>

#include "platform/threading/NSTimer.h"
#include "push/Local/PUSHBadgeNumberController.h"
#include "testing/VirtualTime.h"

namespace {

using Badges = std::vector<std::int64_t>;

class BadgeController : public report_tests::ReportTest {
protected:
    void SetUp() override { ReportTest::SetUp(), scheduler->setBadgeNumberManager(badge); }
    void TearDown() override
    {
        // Every request answered before the next test, so that no connection outlives this one.
        EXPECT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0 && logger->count("badge:") >= badgeRequests(); }, 10));
        badge->stopDelayTimer(false);
        ReportTest::TearDown();
    }
    Badges sentBadges()
    {
        Badges badges;
        for (const auto& request : server.requests())
            if (request.path == "/v1/user/")
                badges.push_back(report_tests::parseJSON(request.body)["content"]["badge"].integerValue());
        return badges;
    }
    std::size_t badgeRequests() { return server.requestCount("/v1/user/"); }
    void advance(double seconds) { clock.advance(seconds), testing_support::settle(2); }

    testing_support::VirtualTime clock;
    std::shared_ptr<PUSHBadgeNumberController> badge = PUSHBadgeNumberController::init();
};

TEST_F(BadgeController, SameValueWhileOnItsWayIsSentOnceANewValueReplacesIt)
{
    badge->setBadge(Value(5));
    badge->setBadge(Value(5));
    EXPECT_TRUE(badge->isSendingLock());
    ASSERT_TRUE(waitForLog("set badge:5 succeed"));
    EXPECT_EQ(sentBadges(), Badges { 5 });
    // Answered: the value is let go, so the same value goes out again when set again.
    EXPECT_TRUE(!badge->isSendingLock() && badge->badgeValue().isNil() && !badge->badgeReport());
    badge->setBadge(Value(5));
    badge->setBadge(Value(6));
    // 6 replaces 5 at once, but 5's report is already on its way: both go out, side by side, and
    // whichever answer comes first, only 6's lets the held value go. Both answers are awaited, so
    // that no request is still on its way when the test ends.
    ASSERT_TRUE(waitForLog("set badge:6 succeed") && waitForLog("set badge:5 succeed", 2));
    auto sent = sentBadges();
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(sent, (Badges { 5, 5, 6 }));
    EXPECT_TRUE(badge->badgeValue().isNil());
}

TEST_F(BadgeController, FailingReportIsRetriedAfterGrowingDelaysThenDropped)
{
    server.on("/v1/user/", httpserver::Reply(500));
    badge->setBadge(Value(3));
    for (std::size_t sent = 1; double delay : { 40, 100, 200, 300 }) {
        SCOPED_TRACE(delay);
        ASSERT_TRUE(waitForLog("warning:badge:3 inner error failed", sent));
        ASSERT_TRUE(badge->delaySendTimer() && !badge->isSendingLock());
        advance(delay - 1);
        EXPECT_EQ(badgeRequests(), sent);
        advance(1);
        ASSERT_TRUE(waitForRequests(server, ++sent));
    }
    ASSERT_TRUE(waitForLog("send badge count too more"));
    EXPECT_EQ(std::tuple(badge->delaySendIntervalIndex(), !badge->delaySendTimer()), std::tuple(4u, true));
    advance(1000);
    EXPECT_EQ(sentBadges(), Badges(5, 3));
}

TEST_F(BadgeController, AReplacedReportsFailureAndAForeignTimerDriveNothing)
{
    server.on("/v1/user/", httpserver::Reply(500));
    badge->setBadge(Value(1));
    badge->setBadge(Value(2));
    ASSERT_TRUE(waitForLog("inner error failed", 2));
    EXPECT_EQ(badge->delaySendIntervalIndex(), 1u); // the replaced report's failure counts for nothing
    badge->doSendReport(NSTimer::timerWithTimeInterval(1, false, [](const std::shared_ptr<NSTimer>&) {}));
    testing_support::settle(1);
    EXPECT_EQ(std::tuple(badgeRequests(), badge->badgeValue().integerValue()), std::tuple(2u, 2));
}

TEST_F(BadgeController, ReportedNumberIsAnUnsigned32BitValue)
{
    for (std::size_t sent = 0; const Value& value : { Value(-5), Value(std::int64_t(1) << 40), Value("12") }) {
        badge->setBadge(value);
        ASSERT_TRUE(waitForRequests(server, ++sent));
    }
    EXPECT_EQ(sentBadges(), (Badges { 0, std::numeric_limits<std::uint32_t>::max(), 12 }));
}

} // namespace
