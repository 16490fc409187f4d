// Reachability: flags for loopback, the zero address and names; callbacks on the scheduling run
// loop when (injected) flags change, none after unscheduling; the captive-network answers.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/threading/NSThread.h"
#include "testing/RunLoopPump.h"

namespace {

sockaddr_in ipv4(const char* text)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, text, &address.sin_addr);
    return address;
}

class Reachability : public ::testing::Test {
protected:
    void SetUp() override { threading::becomeMainThread(); }
    void TearDown() override { sysconfig::injectFlags(std::nullopt); }
};

TEST_F(Reachability, LoopbackIsReachableLocalAndNeverWWAN)
{
    auto address = ipv4("127.0.0.1");
    auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<sockaddr*>(&address));
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &flags));
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsReachable);
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsIsLocalAddress);
    EXPECT_FALSE(flags & kSCNetworkReachabilityFlagsIsWWAN);
    auto named = SCNetworkReachabilityCreateWithName("127.0.0.1");
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(named, &flags));
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsReachable);
    auto zero = ipv4("0.0.0.0");
    auto general = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<sockaddr*>(&zero));
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(general, &flags));
    EXPECT_FALSE(flags & kSCNetworkReachabilityFlagsIsWWAN);
}

TEST_F(Reachability, RefusesWhatItCannotWatch)
{
    EXPECT_FALSE(SCNetworkReachabilityCreateWithAddress(nullptr));
    sockaddr unixAddress {};
    unixAddress.sa_family = AF_UNIX;
    EXPECT_FALSE(SCNetworkReachabilityCreateWithAddress(&unixAddress));
    EXPECT_FALSE(SCNetworkReachabilityCreateWithName(""));
    EXPECT_FALSE(SCNetworkReachabilityGetFlags(nullptr, nullptr));
}

TEST_F(Reachability, ScheduledTargetsCallBackOnTheirLoopWhenFlagsChange)
{
    auto target = SCNetworkReachabilityCreateWithName("example.invalid");
    std::vector<SCNetworkReachabilityFlags> seen;
    bool onMain = true;
    SCNetworkReachabilitySetCallback(target, [&](const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags) {
        onMain = onMain && NSThread::isMainThread();
        seen.push_back(flags);
    });
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes));
    testing_support::settle(0.05);
    EXPECT_TRUE(seen.empty()); // nothing until a change
    constexpr auto kOnTraffic = kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired
        | kSCNetworkReachabilityFlagsConnectionOnTraffic;
    std::thread([] { sysconfig::injectFlags(0); }).join();
    ASSERT_TRUE(testing_support::runUntil([&] { return seen.size() == 1; }));
    sysconfig::injectFlags(0); // unchanged: no call
    sysconfig::injectFlags(kOnTraffic);
    ASSERT_TRUE(testing_support::runUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<SCNetworkReachabilityFlags> { 0, kOnTraffic }));
    EXPECT_TRUE(onMain);
    SCNetworkReachabilityFlags flags = 1;
    SCNetworkReachabilityGetFlags(target, &flags);
    EXPECT_EQ(flags, kOnTraffic);

    ASSERT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes));
    sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
    testing_support::settle(0.05);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(Reachability, CaptiveNetworkKnowsNoInterface)
{
    EXPECT_FALSE(CNCopySupportedInterfaces());
    EXPECT_FALSE(CNCopyCurrentNetworkInfo("en0"));
}

} // namespace
