// Delayed performs: one-shot timers registered in their run loop by target and selector.
#include "platform/threading/PerformRequests.h"

#include "platform/threading/NSTimer.h"

void registerDelayedPerform(
    NSRunLoop& loop, const void* target, std::string selector, const std::shared_ptr<NSTimer>& timer)
{
    std::lock_guard lock(loop.mutex_);
    // Forget requests that already ran or were cancelled.
    std::erase_if(loop.delayedPerforms_, [](const auto& item) {
        auto timer = item.second.timer.lock();
        return !timer || !timer->isValid();
    });
    loop.delayedPerforms_.emplace(target, NSRunLoop::DelayedPerform { std::move(selector), timer });
}

void cancelDelayedPerforms(NSRunLoop& loop, const void* target, const std::string* selector)
{
    std::vector<std::shared_ptr<NSTimer>> cancelled;
    {
        std::lock_guard lock(loop.mutex_);
        auto [begin, end] = loop.delayedPerforms_.equal_range(target);
        for (auto it = begin; it != end;) {
            if (selector && it->second.selector != *selector) {
                ++it;
                continue;
            }
            if (auto timer = it->second.timer.lock())
                cancelled.push_back(timer);
            it = loop.delayedPerforms_.erase(it);
        }
    }
    for (const auto& timer : cancelled)
        timer->invalidate();
}

namespace threading {

void performAfterDelay(const std::shared_ptr<const void>& target, std::string selector, std::function<void()> action,
    NSTimeInterval delay, std::vector<NSRunLoopMode> modes)
{
    if (!target || !action)
        return;
    std::weak_ptr<const void> life = target;
    auto timer = NSTimer::timerWithTimeInterval(delay, false,
        [life, action = std::move(action)](const std::shared_ptr<NSTimer>&) {
            if (!life.expired())
                action();
        });
    auto loop = NSRunLoop::currentRunLoop();
    registerDelayedPerform(*loop, target.get(), std::move(selector), timer);
    for (const auto& mode : modes)
        loop->addTimer(timer, mode);
}

} // namespace threading

void cancelPreviousPerformRequestsWithTarget(const void* target)
{
    cancelDelayedPerforms(*NSRunLoop::currentRunLoop(), target, nullptr);
}

void cancelPreviousPerformRequestsWithTarget(const void* target, const std::string& selector)
{
    cancelDelayedPerforms(*NSRunLoop::currentRunLoop(), target, &selector);
}
