// Timers and delayed performs, mostly in virtual time: a whole day runs at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/threading/NSThread.h"
#include "platform/threading/NSTimer.h"
#include "platform/threading/PerformRequests.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"

using testing_support::VirtualTime;

namespace {

// Runs the current loop until nothing is due any more.
void drain()
{
    auto loop = NSRunLoop::currentRunLoop();
    while (loop->hasReadyWork(NSDefaultRunLoopMode))
        loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0, false);
}

struct Target : NSObject {
    std::vector<std::string> calls;
    void tick(const std::shared_ptr<NSTimer>& timer) { calls.push_back(timer->userInfo()["tag"].stringValue()); }
};

} // namespace

TEST(Timer, ADayOfTimersRunsInVirtualTimeInFireDateOrder)
{
    VirtualTime time;
    auto loop = NSRunLoop::currentRunLoop();
    std::vector<int> fired;
    std::vector<std::shared_ptr<NSTimer>> timers;
    // One timer per minute of the day, added in scrambled order.
    for (int i = 0; i < 1440; ++i) {
        int minute = (i * 7) % 1440 + 1;
        timers.push_back(NSTimer::timerWithTimeInterval(minute * 60.0, false, [&fired, minute](const auto&) { fired.push_back(minute); }));
        loop->addTimer(timers.back(), NSDefaultRunLoopMode);
    }
    int hourly = 0;
    auto clockTimer = NSTimer::scheduledTimerWithTimeInterval(3600, true, [&](const std::shared_ptr<NSTimer>&) { ++hourly; });

    for (int hour = 1; hour <= 24; ++hour) {
        time.advance(3600);
        drain();
        EXPECT_EQ(hourly, hour);
        EXPECT_EQ(fired.size(), static_cast<std::size_t>(hour * 60));
    }
    for (int i = 0; i < 1440; ++i)
        ASSERT_EQ(fired[i], i + 1);
    for (const auto& timer : timers)
        EXPECT_FALSE(timer->isValid()) << "one-shot timers end after firing";

    // A repeating timer left behind by a jump fires once, then keeps its rhythm.
    time.advance(10 * 3600);
    drain();
    EXPECT_EQ(hourly, 25);
    EXPECT_NEAR(clockTimer->fireDate() - time.now(), 3600, 1e-6);
    clockTimer->invalidate();
}

TEST(Timer, InvalidateRescheduleUserInfoAndDeadTargets)
{
    VirtualTime time;
    int count = 0;
    auto selfStopping = NSTimer::scheduledTimerWithTimeInterval(1, true, [&](const std::shared_ptr<NSTimer>& timer) {
        if (++count == 3)
            timer->invalidate();
    });
    for (int i = 0; i < 5; ++i) {
        time.advance(1);
        drain();
    }
    EXPECT_EQ(count, 3);
    EXPECT_FALSE(selfStopping->isValid());

    int late = 0;
    auto moved = NSTimer::scheduledTimerWithTimeInterval(5, false, [&](const std::shared_ptr<NSTimer>&) { ++late; });
    moved->setFireDate(time.now() + 50);
    time.advance(10);
    drain();
    EXPECT_EQ(late, 0);
    time.advance(40);
    drain();
    EXPECT_EQ(late, 1);

    auto target = std::make_shared<Target>();
    auto tagged = NSTimer::scheduledTimerWithTimeInterval(2, target, &Target::tick, Value::dictionary({ { "tag", "retry" } }), false);
    // A timer aimed at a target that is gone does nothing and stops.
    auto gone = std::make_shared<Target>();
    auto orphan = NSTimer::scheduledTimerWithTimeInterval(1, gone, &Target::tick, Value(), true);
    gone.reset();
    time.advance(2);
    drain();
    EXPECT_EQ(target->calls, (std::vector<std::string> { "retry" }));
    EXPECT_FALSE(orphan->isValid());
}

TEST(Timer, ModesDecideWhereATimerFires)
{
    VirtualTime time;
    auto loop = NSRunLoop::currentRunLoop();
    std::vector<std::string> fired;
    loop->addTimer(NSTimer::timerWithTimeInterval(1, false, [&](const auto&) { fired.push_back("tracking"); }), UITrackingRunLoopMode);
    loop->addTimer(NSTimer::timerWithTimeInterval(1, false, [&](const auto&) { fired.push_back("common"); }), NSRunLoopCommonModes);
    time.advance(1);
    loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0, false);
    EXPECT_EQ(fired, (std::vector<std::string> { "common" }));
    loop->runInModeForRealSeconds(UITrackingRunLoopMode, 0, false);
    EXPECT_EQ(fired, (std::vector<std::string> { "common", "tracking" }));
}

TEST(Timer, RealTimeTimerFiresOnAWorkerThreadLoop)
{
    std::atomic<bool> fired { false };
    auto thread = NSThread::create([&] {
        NSTimer::scheduledTimerWithTimeInterval(0.01, false, [&](const auto&) { fired = true; });
        NSRunLoop::currentRunLoop()->runUntilStopped();
    });
    thread->start();
    EXPECT_TRUE(testing_support::runUntil([&] { return fired.load() && thread->isFinished(); }))
        << "the loop ends by itself once its only timer fired";
}

TEST(PerformRequests, DelayedPerformsRunCancelAndSkipDeadTargets)
{
    VirtualTime time;
    auto target = std::make_shared<Target>();
    auto other = std::make_shared<Target>();
    auto note = [](const char* what) { return [what](Target& t) { t.calls.push_back(what); }; };
    threading::performSelectorAfterDelay<Target>(target, "hide", note("hide"), 2);
    threading::performSelectorAfterDelay<Target>(target, "show", note("show"), 1);
    threading::performSelectorAfterDelay<Target>(target, "fade", note("fade"), 3);
    threading::performSelectorAfterDelay<Target>(other, "hide", note("other"), 1);

    cancelPreviousPerformRequestsWithTarget(target.get(), "hide");
    time.advance(5);
    drain();
    EXPECT_EQ(target->calls, (std::vector<std::string> { "show", "fade" }));
    EXPECT_EQ(other->calls, (std::vector<std::string> { "other" }));

    threading::performSelectorAfterDelay<Target>(target, "a", note("a"), 1);
    threading::performSelectorAfterDelay<Target>(target, "b", note("b"), 1);
    cancelPreviousPerformRequestsWithTarget(target.get());
    std::weak_ptr<Target> weakOther = other;
    threading::performSelectorAfterDelay<Target>(other, "late", note("late"), 1);
    other.reset();
    time.advance(1);
    drain();
    EXPECT_EQ(target->calls.size(), 2u);
    EXPECT_TRUE(weakOther.expired()) << "a pending perform does not keep its target alive";
}
