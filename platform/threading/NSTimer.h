// NSTimer: a one-shot or repeating timer that fires on the run loop it was added to, in the
// modes it was added for. Fire dates are kept on the platform clock's monotonic scale. A timer
// aimed at a target holds it weakly: once the target is gone the timer invalidates itself and
// calls nothing.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/Value.h"
#include "platform/threading/NSRunLoop.h"

class NSTimer : public NSObject {
public:
    using Block = std::function<void(const std::shared_ptr<NSTimer>&)>;

    // A timer not yet scheduled; add it with NSRunLoop::addTimer.
    static std::shared_ptr<NSTimer> timerWithTimeInterval(
        NSTimeInterval interval, bool repeats, Block block, Value userInfo = {});
    // A timer firing first at `date` (seconds since 1970), then every `interval` when repeating.
    static std::shared_ptr<NSTimer> timerWithFireDate(
        NSTimeInterval date, NSTimeInterval interval, bool repeats, Block block, Value userInfo = {});
    // A timer added to the current run loop in the default mode.
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(
        NSTimeInterval interval, bool repeats, Block block, Value userInfo = {});

    // Target/selector forms; the target is held weakly.
    template <class T>
    static std::shared_ptr<NSTimer> timerWithTimeInterval(NSTimeInterval interval, const std::shared_ptr<T>& target,
        void (T::*selector)(const std::shared_ptr<NSTimer>&), Value userInfo, bool repeats)
    {
        return timerWithTimeInterval(interval, repeats, targetBlock(target, selector), std::move(userInfo));
    }
    template <class T>
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(NSTimeInterval interval,
        const std::shared_ptr<T>& target, void (T::*selector)(const std::shared_ptr<NSTimer>&), Value userInfo,
        bool repeats)
    {
        return scheduledTimerWithTimeInterval(interval, repeats, targetBlock(target, selector), std::move(userInfo));
    }

    // Fires now, outside the schedule; a one-shot timer is then invalidated.
    void fire();
    // Stops the timer for good and drops its block; safe from any thread, any number of times.
    void invalidate();
    bool isValid() const;

    NSTimeInterval fireDate() const; // seconds since 1970
    void setFireDate(NSTimeInterval date);
    NSTimeInterval timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }
    const Value& userInfo() const { return userInfo_; }
    NSTimeInterval tolerance() const { return tolerance_; }
    void setTolerance(NSTimeInterval tolerance) { tolerance_ = tolerance; }
    std::string className() const override { return "NSTimer"; }

    // The fire date on the platform clock's monotonic scale.
    double monotonicFire() const;
    // A one-shot or repeating timer at a monotonic deadline (for the dispatch layer).
    static std::shared_ptr<NSTimer> timerWithDeadline(double monotonicFire, NSTimeInterval interval, bool repeats, Block block);

    NSTimer(double monotonicFire, NSTimeInterval interval, bool repeats, Block block, Value userInfo);

private:
    friend class NSRunLoop;

    template <class T>
    static Block targetBlock(const std::shared_ptr<T>& target, void (T::*selector)(const std::shared_ptr<NSTimer>&))
    {
        std::weak_ptr<T> weak = target;
        return [weak, selector](const std::shared_ptr<NSTimer>& timer) {
            auto strong = weak.lock();
            if (!strong) {
                timer->invalidate();
                return;
            }
            ((*strong).*selector)(timer);
        };
    }

    // Called by the run loop on its thread.
    void fireFromRunLoop(double now);
    bool attach(const std::shared_ptr<NSRunLoop>& loop); // false when invalid or already attached elsewhere
    std::uint64_t generation() const;
    void detachFromLoop();

    mutable std::mutex mutex_;
    double fire_; // monotonic
    const NSTimeInterval interval_;
    const bool repeats_;
    Block block_;
    const Value userInfo_;
    NSTimeInterval tolerance_ = 0;
    bool valid_ = true;
    bool firing_ = false;
    std::uint64_t generation_ = 0;
    std::weak_ptr<NSRunLoop> loop_;
};
