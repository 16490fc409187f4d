// Reachability: flags to status for every combination of the bits that matter, and monitoring
// with the status stored, the block called and the notification posted on the main thread.
#include <netinet/in.h>

#include "net/NKNetworkReachabilityManager.h"
#include "net/tests/NetTestSupport.h"
#include "platform/threading/NSNotificationCenter.h"

using namespace net::test;

namespace {

TEST(Reachability, FlagsBecomeStatuses)
{
    const SCNetworkReachabilityFlags bits[] = { kSCNetworkReachabilityFlagsReachable,
        kSCNetworkReachabilityFlagsConnectionRequired, kSCNetworkReachabilityFlagsConnectionOnTraffic,
        kSCNetworkReachabilityFlagsInterventionRequired, kSCNetworkReachabilityFlagsConnectionOnDemand,
        kSCNetworkReachabilityFlagsIsWWAN };
    for (unsigned mask = 0; mask < 64; ++mask) {
        SCNetworkReachabilityFlags flags = 0;
        for (unsigned i = 0; i < 6; ++i)
            if (mask & (1u << i))
                flags |= bits[i];
        bool reachable = flags & kSCNetworkReachabilityFlagsReachable;
        bool required = flags & kSCNetworkReachabilityFlagsConnectionRequired;
        bool automatic = (flags & (kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsConnectionOnDemand))
            && !(flags & kSCNetworkReachabilityFlagsInterventionRequired);
        NKNetworkReachabilityStatus expected = !reachable || (required && !automatic)
            ? NKNetworkReachabilityStatusNotReachable
            : (flags & kSCNetworkReachabilityFlagsIsWWAN) ? NKNetworkReachabilityStatusReachableViaWWAN
                                                          : NKNetworkReachabilityStatusReachableViaWiFi;
        EXPECT_EQ(net::reachabilityStatusForFlags(flags), expected) << "flags " << flags;
    }
    EXPECT_EQ(net::reachabilityStatusForFlags(0x2 | 0x4 | 0x8), NKNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(net::reachabilityStatusForFlags(0x2 | 0x4 | 0x8 | 0x10), NKNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(net::reachabilityStatusForFlags(0x2 | 0x40000), NKNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(net::localizedReachabilityStatusString(7), "Unknown");
}

class ReachabilityMonitoring : public NetTest {
protected:
    void TearDown() override
    {
        sysconfig::injectFlags(std::nullopt);
        NetTest::TearDown();
    }
};

TEST_F(ReachabilityMonitoring, AnAddressReportsAtStartInOrderOnMain)
{
    sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
    sockaddr_in zero {};
    zero.sin_family = AF_INET;
    auto manager = NKNetworkReachabilityManager::managerForAddress(reinterpret_cast<sockaddr*>(&zero));
    ASSERT_TRUE(manager);
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Unknown");
    EXPECT_FALSE(manager->isReachable());
    std::vector<std::string> events;
    manager->setReachabilityStatusChangeBlock([&](NKNetworkReachabilityStatus status) {
        events.push_back("block " + std::to_string(status) + (manager->networkReachabilityStatus() == status ? " stored" : "")
            + (NSThread::isMainThread() ? " main" : ""));
    });
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(NKNetworkingReachabilityDidChangeNotification,
        nullptr, nullptr, [&](const auto& notification) {
            events.push_back("note " + notification->userInfo()[NKNetworkingReachabilityNotificationStatusItem].description());
        });
    manager->startMonitoring();
    ASSERT_TRUE(waitFor([&] { return events.size() >= 2; }));
    EXPECT_EQ(events[0], "block 2 stored main");
    EXPECT_EQ(events[1], "note 2");
    EXPECT_TRUE(manager->isReachableViaWiFi());

    sysconfig::injectFlags(0);
    ASSERT_TRUE(waitFor([&] { return events.size() >= 4; }));
    EXPECT_EQ(events[2], "block 0 stored main");
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Not Reachable");
    manager->stopMonitoring();
    NSNotificationCenter::defaultCenter()->removeObserver(token.get());
}

TEST_F(ReachabilityMonitoring, AHostNameReportsNothingUntilAChange)
{
    sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
    auto manager = NKNetworkReachabilityManager::managerForDomain("localhost");
    ASSERT_TRUE(manager);
    int calls = 0;
    manager->setReachabilityStatusChangeBlock([&](NKNetworkReachabilityStatus) { ++calls; });
    manager->startMonitoring();
    testing_support::settle(1);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(manager->networkReachabilityStatus(), NKNetworkReachabilityStatusUnknown);
    manager->stopMonitoring();
}

TEST_F(ReachabilityMonitoring, AnEmptyHostNameGivesAManagerThatStaysUnknown)
{
    sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
    auto manager = NKNetworkReachabilityManager::managerForDomain("");
    ASSERT_TRUE(manager);
    int calls = 0;
    manager->setReachabilityStatusChangeBlock([&](NKNetworkReachabilityStatus) { ++calls; });
    manager->startMonitoring();
    testing_support::settle(0.2);
    manager->stopMonitoring();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(manager->networkReachabilityStatus(), NKNetworkReachabilityStatusUnknown);
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Unknown");
    EXPECT_FALSE(manager->isReachable());
}

} // namespace
