// Reachability monitoring started and stopped many times: the platform keeps no entry per start,
// and a manager restarted after all those rounds still reports changes.
#include "net/NKNetworkReachabilityManager.h"
#include "net/tests/NetTestSupport.h"

using namespace net::test;

namespace {

class ReachabilityRestarts : public NetTest {
protected:
    void TearDown() override
    {
        sysconfig::injectFlags(std::nullopt);
        NetTest::TearDown();
    }
};

TEST_F(ReachabilityRestarts, StartStopRoundsKeepNoEntriesAndMonitoringStillReports)
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
