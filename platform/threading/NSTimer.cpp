// NSTimer: fire dates on the monotonic scale; the run loop keeps valid timers in its heap.
#include "platform/threading/NSTimer.h"

#include <cmath>

namespace {

// The platform's smallest repeating interval.
NSTimeInterval sanitizedInterval(NSTimeInterval interval, bool repeats)
{
    if (repeats && !(interval > 0))
        return 0.0001;
    return std::max(0.0, interval);
}

} // namespace

NSTimer::NSTimer(double monotonicFire, NSTimeInterval interval, bool repeats, Block block, Value userInfo)
    : fire_(monotonicFire)
    , interval_(sanitizedInterval(interval, repeats))
    , repeats_(repeats)
    , block_(std::move(block))
    , userInfo_(std::move(userInfo))
{
}

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block, Value userInfo)
{
    interval = sanitizedInterval(interval, repeats);
    return std::make_shared<NSTimer>(
        threading::deadlineAfter(interval), interval, repeats, std::move(block), std::move(userInfo));
}

std::shared_ptr<NSTimer> NSTimer::timerWithFireDate(
    NSTimeInterval date, NSTimeInterval interval, bool repeats, Block block, Value userInfo)
{
    return std::make_shared<NSTimer>(
        threading::deadlineForDate(date), interval, repeats, std::move(block), std::move(userInfo));
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(
    NSTimeInterval interval, bool repeats, Block block, Value userInfo)
{
    auto timer = timerWithTimeInterval(interval, repeats, std::move(block), std::move(userInfo));
    NSRunLoop::currentRunLoop()->addTimer(timer, NSDefaultRunLoopMode);
    return timer;
}

std::shared_ptr<NSTimer> NSTimer::timerWithDeadline(double monotonicFire, NSTimeInterval interval, bool repeats, Block block)
{
    return std::make_shared<NSTimer>(monotonicFire, interval, repeats, std::move(block), Value());
}

bool NSTimer::attach(const std::shared_ptr<NSRunLoop>& loop)
{
    std::lock_guard lock(mutex_);
    if (!valid_)
        return false;
    auto current = loop_.lock();
    if (current && current != loop)
        return false; // a timer lives in one run loop only
    loop_ = loop;
    return true;
}

double NSTimer::monotonicFire() const
{
    std::lock_guard lock(mutex_);
    return fire_;
}

std::uint64_t NSTimer::generation() const
{
    std::lock_guard lock(mutex_);
    return generation_;
}

bool NSTimer::isValid() const
{
    std::lock_guard lock(mutex_);
    return valid_;
}

NSTimeInterval NSTimer::fireDate() const
{
    return monotonicFire() - foundation::clock::monotonic() + foundation::clock::now();
}

void NSTimer::setFireDate(NSTimeInterval date)
{
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        if (!valid_)
            return;
        fire_ = threading::deadlineForDate(date);
        ++generation_;
        loop = loop_.lock();
    }
    if (loop)
        loop->timerScheduleChanged(this);
}

void NSTimer::invalidate()
{
    Block dropped;
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        if (!valid_)
            return;
        valid_ = false;
        dropped = std::move(block_);
        block_ = nullptr;
        loop = loop_.lock();
        loop_.reset();
    }
    if (loop)
        loop->removeTimer(this);
}

void NSTimer::detachFromLoop()
{
    Block dropped;
    std::lock_guard lock(mutex_);
    valid_ = false;
    dropped = std::move(block_);
    block_ = nullptr;
    loop_.reset();
}

void NSTimer::fire()
{
    Block block;
    {
        std::lock_guard lock(mutex_);
        if (!valid_)
            return;
        block = block_;
    }
    auto self = std::static_pointer_cast<NSTimer>(shared_from_this());
    if (block)
        block(self);
    if (!repeats_)
        invalidate();
}

void NSTimer::fireFromRunLoop(double now)
{
    Block block;
    std::uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (!valid_ || firing_ || fire_ > now)
            return;
        firing_ = true;
        block = block_;
        generation = generation_;
    }
    auto self = std::static_pointer_cast<NSTimer>(shared_from_this());
    struct FiringScope {
        NSTimer& timer;
        ~FiringScope()
        {
            std::lock_guard lock(timer.mutex_);
            timer.firing_ = false;
        }
    };
    {
        FiringScope scope { *this };
        if (block)
            block(self);
    }
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        if (!valid_ || generation_ != generation)
            return; // invalidated, or given a new fire date by the callout
        if (repeats_) {
            // A late timer fires once, then keeps its rhythm from its original fire date.
            double after = foundation::clock::monotonic();
            double next = fire_ + interval_;
            if (next <= after)
                next = fire_ + interval_ * (std::floor((after - fire_) / interval_) + 1);
            if (next <= after)
                next += interval_; // rounding put it on "now": it would fire twice
            fire_ = next;
            ++generation_;
            loop = loop_.lock();
        }
    }
    if (!repeats_) {
        invalidate();
        return;
    }
    if (loop)
        loop->timerScheduleChanged(this);
}
