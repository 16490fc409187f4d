// Reachability registry: scheduling and unscheduling a target again and again leaves no entry
// behind, a destroyed target leaves none either, and a target scheduled anew still reports.
#include <gtest/gtest.h>

#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/threading/NSThread.h"
#include "testing/RunLoopPump.h"

namespace {

class ReachabilityRegistry : public ::testing::Test {
protected:
    void SetUp() override { threading::becomeMainThread(); }
    void TearDown() override { sysconfig::injectFlags(std::nullopt); }
};

TEST_F(ReachabilityRegistry, UnschedulingOrDestroyingATargetRemovesItsEntry)
{
    sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
    const auto before = sysconfig::scheduledTargetCount();
    auto loop = NSRunLoop::mainRunLoop();
    auto target = SCNetworkReachabilityCreateWithName("example.invalid");
    std::vector<SCNetworkReachabilityFlags> seen;
    SCNetworkReachabilitySetCallback(
        target, [&](const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags) { seen.push_back(flags); });
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, loop, NSRunLoopCommonModes));
        ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, loop, NSDefaultRunLoopMode));
        ASSERT_EQ(sysconfig::scheduledTargetCount(), before + 1);
        ASSERT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, loop, NSDefaultRunLoopMode));
        ASSERT_EQ(sysconfig::scheduledTargetCount(), before + 1) << "still scheduled in the common modes";
        ASSERT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, loop, NSRunLoopCommonModes));
    }
    EXPECT_EQ(sysconfig::scheduledTargetCount(), before);

    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, loop, NSRunLoopCommonModes));
    sysconfig::injectFlags(0);
    ASSERT_TRUE(testing_support::runUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, std::vector<SCNetworkReachabilityFlags> { 0 });
    target.reset(); // destroyed while scheduled
    EXPECT_EQ(sysconfig::scheduledTargetCount(), before);
}

} // namespace
