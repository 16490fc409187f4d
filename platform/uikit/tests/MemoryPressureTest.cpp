// The memory warning under a resident-size budget: once per crossing, from the run loop's timer.
#include "Fixture.h"

#include "platform/threading/NSRunLoop.h"
#include "platform/uikit/MemoryPressure.h"

namespace {

constexpr std::uint64_t kTiny = 1; // any running process is above it
constexpr std::uint64_t kHuge = std::uint64_t { 1 } << 50;

TEST_F(UIKitTest, MemoryWarningPostsOncePerCrossingOfTheBudget)
{
    ASSERT_GT(uikit::residentSetSize(), kTiny);
    std::vector<std::string> posted;
    recordNotifications(posted, { UIApplicationDidReceiveMemoryWarningNotification });
    auto monitor = uikit::MemoryPressureMonitor::create(kTiny);

    struct Step {
        std::uint64_t budget;
        bool warns;
    };
    const Step steps[] = {
        { kTiny, true }, // crossed
        { kTiny, false }, // still above: no repeat
        { kHuge, false }, // back below: arms the next crossing
        { kTiny, true },
    };
    std::size_t expected = 0;
    for (const auto& step : steps) {
        monitor->setBudget(step.budget);
        EXPECT_EQ(monitor->check(), step.warns);
        expected += step.warns ? 1 : 0;
        EXPECT_EQ(posted.size(), expected);
    }
}

TEST_F(UIKitTest, MemoryMonitorChecksOnTheRunLoopAndTellsTheDelegate)
{
    struct Delegate : UIApplicationDelegate {
        int warnings = 0;
        void applicationDidReceiveMemoryWarning(const App&) override { ++warnings; }
    };
    auto delegate = std::make_shared<Delegate>();
    UIApplication::sharedApplication()->setDelegate(delegate);
    std::vector<std::string> posted;
    recordNotifications(posted, { UIApplicationDidReceiveMemoryWarningNotification });

    auto monitor = uikit::MemoryPressureMonitor::create(kTiny);
    monitor->start(NSRunLoop::mainRunLoop(), 1.0);
    EXPECT_TRUE(posted.empty()) << "nothing before the first check";
    for (int i = 0; i < 3; ++i)
        advance(1.0);
    EXPECT_EQ(posted.size(), 1u) << "one warning for one crossing, however long it stays above";
    EXPECT_EQ(delegate->warnings, 1);

    monitor->stop();
    monitor->setBudget(kHuge);
    monitor->check();
    monitor->setBudget(kTiny);
    advance(2.0);
    EXPECT_EQ(posted.size(), 1u) << "a stopped monitor checks nothing";
}

} // namespace
