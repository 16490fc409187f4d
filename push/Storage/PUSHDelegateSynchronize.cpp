// Blocking waits on the calling thread's run loop, ended by a result or a time-out.
#include "push/Storage/PUSHDelegateSynchronize.h"

#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSTimer.h"

std::shared_ptr<PUSHDelegateSynchronize> PUSHDelegateSynchronize::sharedInstance()
{
    // Left alive past the end of main: the push thread may still wait when the process exits.
    static auto* shared = new std::shared_ptr<PUSHDelegateSynchronize>(std::make_shared<PUSHDelegateSynchronize>());
    return *shared;
}

Value PUSHDelegateSynchronize::runMethodBlockThread(const Block& block, double timeout, const Value& identifier)
{
    return runMethodBlockThread(block, nullptr, nullptr, identifier, timeout);
}

Value PUSHDelegateSynchronize::runMethodBlockThread(
    const Block& block, ResultBlock succeed, ResultBlock failed, const Value& identifier, double timeout)
{
    auto self = sharedInstance();
    auto loop = NSRunLoop::currentRunLoop();
    std::weak_ptr<PUSHDelegateSynchronize> weak = self;
    auto timer = NSTimer::timerWithTimeInterval(
        timeout > 0 ? timeout : kDefaultTimeout, false,
        [weak](const std::shared_ptr<NSTimer>& fired) {
            if (auto strong = weak.lock())
                strong->runTimeout(fired);
        },
        Value::dictionary({ { "key", identifier } }));
    {
        std::lock_guard guard(self->lock_);
        Wait& wait = self->waits_[identifier];
        wait = Wait {};
        wait.timer = timer;
        wait.succeed = std::move(succeed);
        wait.failed = std::move(failed);
        wait.loop = loop;
    }
    loop->addTimer(timer, NSRunLoopCommonModes);
    // The wait is registered before the block runs, so a result the block delivers at once
    // ends it instead of being refused and left to time out.
    if (block)
        block();

    // One turn returns after each handled event, so a delivered result ends the wait at once.
    while (self->flagFor(identifier) == kWaiting)
        loop->runInMode(NSDefaultRunLoopMode, 0.1, true);
    if (timer->isValid())
        timer->invalidate();

    Wait ended;
    {
        std::lock_guard guard(self->lock_);
        auto found = self->waits_.find(identifier);
        if (found != self->waits_.end())
            ended = found->second;
        else
            ended.flag = 0;
    }
    self->reset(identifier);
    if (ended.flag == kSucceeded) {
        if (ended.succeed)
            ended.succeed(ended.result);
        return ended.result;
    }
    if ((ended.flag == kFailed || ended.flag == kTimedOut) && ended.failed)
        ended.failed(Value());
    return {};
}

bool PUSHDelegateSynchronize::continueThread(bool succeeded, const Value& result, const Value& identifier)
{
    auto self = sharedInstance();
    std::shared_ptr<NSTimer> timer;
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard guard(self->lock_);
        auto found = self->waits_.find(identifier);
        if (found == self->waits_.end())
            return false;
        found->second.flag = succeeded ? kSucceeded : kFailed;
        found->second.result = result;
        timer = found->second.timer;
        loop = found->second.loop.lock();
    }
    if (timer)
        timer->invalidate();
    if (loop)
        loop->wakeUp();
    return true;
}

void PUSHDelegateSynchronize::runTimeout(const std::shared_ptr<NSTimer>& timer)
{
    const Value identifier = timer->userInfo()["key"];
    {
        std::lock_guard guard(lock_);
        auto found = waits_.find(identifier);
        if (found != waits_.end())
            found->second.flag = kTimedOut;
    }
    timer->invalidate();
}

void PUSHDelegateSynchronize::clearIdentifier(const Value& identifier)
{
    auto self = sharedInstance();
    std::shared_ptr<NSTimer> timer;
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard guard(self->lock_);
        auto found = self->waits_.find(identifier);
        if (found != self->waits_.end()) {
            timer = found->second.timer;
            loop = found->second.loop.lock();
        }
    }
    if (timer && timer->isValid())
        timer->invalidate();
    self->reset(identifier);
    if (loop)
        loop->wakeUp();
}

void PUSHDelegateSynchronize::resetWithIdentifier(const Value& identifier) { sharedInstance()->reset(identifier); }

void PUSHDelegateSynchronize::reset(const Value& identifier)
{
    std::lock_guard guard(lock_);
    waits_.erase(identifier);
}

std::int64_t PUSHDelegateSynchronize::flagFor(const Value& identifier) const
{
    std::lock_guard guard(lock_);
    auto found = waits_.find(identifier);
    return found == waits_.end() ? 0 : found->second.flag;
}
