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
    // Reachable, unless a connection is required and cannot be made on its own (on traffic or on
    // demand, without the user); over WWAN when the flag says so.
    const SCNetworkReachabilityFlags reachable = kSCNetworkReachabilityFlagsReachable,
                                     required = kSCNetworkReachabilityFlagsConnectionRequired,
                                     onTraffic = kSCNetworkReachabilityFlagsConnectionOnTraffic,
                                     onDemand = kSCNetworkReachabilityFlagsConnectionOnDemand,
                                     intervention = kSCNetworkReachabilityFlagsInterventionRequired,
                                     wwan = kSCNetworkReachabilityFlagsIsWWAN;
    const auto none = NKNetworkReachabilityStatusNotReachable, wifi = NKNetworkReachabilityStatusReachableViaWiFi,
               cell = NKNetworkReachabilityStatusReachableViaWWAN;
    const std::pair<SCNetworkReachabilityFlags, NKNetworkReachabilityStatus> cases[] = {
        { 0, none },
        { required | onTraffic, none },
        { reachable, wifi },
        { reachable | wwan, cell },
        { reachable | intervention, wifi },
        { reachable | required, none },
        { reachable | required | onTraffic, wifi },
        { reachable | required | onDemand | wwan, cell },
        { reachable | required | onDemand | intervention, none },
        { 0x2 | 0x40000, cell },
    };
    for (const auto& [flags, status] : cases)
        EXPECT_EQ(net::reachabilityStatusForFlags(flags), status) << "flags " << flags;
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
    std::string derived; // the keys that follow the status, as observers see them
    std::vector<threading::Observation> observations;
    for (const char* key : { "reachable", "reachableViaWWAN", "reachableViaWiFi" })
        observations.push_back(manager->observe(key, NSKeyValueObservingOptionNew,
            [&](const std::string& path, NSObject*, const Value& change) {
                derived += path + "=" + change[NSKeyValueChangeNewKey].description() + " ";
            }));
    manager->startMonitoring();
    ASSERT_TRUE(waitFor([&] { return events.size() >= 2; }));
    EXPECT_EQ(events[0], "block 2 stored main");
    EXPECT_EQ(events[1], "note 2");
    EXPECT_TRUE(manager->isReachableViaWiFi());
    sysconfig::injectFlags(0);
    ASSERT_TRUE(waitFor([&] { return events.size() >= 4; }));
    EXPECT_EQ(events[2], "block 0 stored main");
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Not Reachable");
    EXPECT_EQ(derived, "reachableViaWiFi=1 reachableViaWWAN=0 reachable=1 reachableViaWiFi=0 reachableViaWWAN=0 reachable=0 ");
    manager->stopMonitoring();
    NSNotificationCenter::defaultCenter()->removeObserver(token.get());
}

TEST_F(ReachabilityMonitoring, AHostNameOrAnEmptyOneReportsNothingUntilAChange)
{
    sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
    for (const char* domain : { "localhost", "" }) {
        SCOPED_TRACE(std::string("domain \"") + domain + "\"");
        auto manager = NKNetworkReachabilityManager::managerForDomain(domain);
        ASSERT_TRUE(manager);
        int calls = 0;
        manager->setReachabilityStatusChangeBlock([&](NKNetworkReachabilityStatus) { ++calls; });
        manager->startMonitoring();
        testing_support::settle(1);
        manager->stopMonitoring();
        EXPECT_EQ(calls, 0);
        EXPECT_EQ(manager->networkReachabilityStatus(), NKNetworkReachabilityStatusUnknown);
        EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Unknown");
        EXPECT_FALSE(manager->isReachable());
    }
}

// Started and stopped many times: the platform keeps no entry per start, and a manager restarted
// after all those rounds still reports changes.
TEST_F(ReachabilityMonitoring, StartStopRoundsKeepNoEntriesAndMonitoringStillReports)
{
    sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
    auto manager = NKNetworkReachabilityManager::managerForDomain("example.invalid");
    ASSERT_TRUE(manager);
    std::vector<NKNetworkReachabilityStatus> statuses;
    manager->setReachabilityStatusChangeBlock([&](NKNetworkReachabilityStatus status) { statuses.push_back(status); });
    const auto before = sysconfig::scheduledTargetCount();
    for (int round = 0; round < 200; ++round) {
        manager->startMonitoring();
        manager->startMonitoring(); // a restart
        manager->stopMonitoring();
    }
    EXPECT_EQ(sysconfig::scheduledTargetCount(), before);

    manager->startMonitoring();
    EXPECT_EQ(sysconfig::scheduledTargetCount(), before + 1);
    sysconfig::injectFlags(0);
    ASSERT_TRUE(waitFor([&] { return !statuses.empty(); }));
    EXPECT_EQ(statuses, std::vector<NKNetworkReachabilityStatus> { NKNetworkReachabilityStatusNotReachable });
    manager->stopMonitoring();
    EXPECT_EQ(sysconfig::scheduledTargetCount(), before);
}

} // namespace
