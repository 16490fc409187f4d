// NSProgress: counts under a lock, change notifications outside it.
#include "net/NSProgress.h"

#include "platform/foundation/Format.h"

std::shared_ptr<NSProgress> NSProgress::progressWithTotalUnitCount(std::int64_t total)
{
    auto progress = std::make_shared<NSProgress>();
    progress->total_ = total;
    return progress;
}

std::string NSProgress::description() const
{
    return NSString::stringWithFormat("<%@: %p> : Fraction completed: %.4f / Completed: %lld of %lld", className(),
        static_cast<const void*>(this), fractionCompleted(), static_cast<long long>(completedUnitCount()),
        static_cast<long long>(totalUnitCount()));
}

std::int64_t NSProgress::totalUnitCount() const
{
    std::lock_guard lock(mutex_);
    return total_;
}

std::int64_t NSProgress::completedUnitCount() const
{
    std::lock_guard lock(mutex_);
    return completed_;
}

double NSProgress::fractionCompleted() const
{
    std::lock_guard lock(mutex_);
    if (total_ <= 0)
        return 0;
    return static_cast<double>(completed_) / static_cast<double>(total_);
}

void NSProgress::setTotalUnitCount(std::int64_t total)
{
    willChangeValueForKey("fractionCompleted");
    willChangeValueForKey("totalUnitCount");
    {
        std::lock_guard lock(mutex_);
        total_ = total;
    }
    didChangeValueForKey("totalUnitCount");
    didChangeValueForKey("fractionCompleted");
}

void NSProgress::setCompletedUnitCount(std::int64_t completed)
{
    willChangeValueForKey("fractionCompleted");
    willChangeValueForKey("completedUnitCount");
    {
        std::lock_guard lock(mutex_);
        completed_ = completed;
    }
    didChangeValueForKey("completedUnitCount");
    didChangeValueForKey("fractionCompleted");
}

bool NSProgress::isCancellable() const
{
    std::lock_guard lock(mutex_);
    return cancellable_;
}

void NSProgress::setCancellable(bool cancellable)
{
    std::lock_guard lock(mutex_);
    cancellable_ = cancellable;
}

bool NSProgress::isPausable() const
{
    std::lock_guard lock(mutex_);
    return pausable_;
}

void NSProgress::setPausable(bool pausable)
{
    std::lock_guard lock(mutex_);
    pausable_ = pausable;
}

bool NSProgress::isCancelled() const
{
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool NSProgress::isPaused() const
{
    std::lock_guard lock(mutex_);
    return paused_;
}

void NSProgress::cancel()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return;
        cancelled_ = true;
        handler = cancellationHandler_;
    }
    if (handler)
        handler();
}

void NSProgress::pause()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (paused_)
            return;
        paused_ = true;
        handler = pausingHandler_;
    }
    if (handler)
        handler();
}

void NSProgress::resume()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (!paused_)
            return;
        paused_ = false;
        handler = resumingHandler_;
    }
    if (handler)
        handler();
}

void NSProgress::setCancellationHandler(std::function<void()> handler)
{
    std::lock_guard lock(mutex_);
    cancellationHandler_ = std::move(handler);
}

void NSProgress::setPausingHandler(std::function<void()> handler)
{
    std::lock_guard lock(mutex_);
    pausingHandler_ = std::move(handler);
}

void NSProgress::setResumingHandler(std::function<void()> handler)
{
    std::lock_guard lock(mutex_);
    resumingHandler_ = std::move(handler);
}

Value NSProgress::valueForKey(const std::string& key) const
{
    if (key == "totalUnitCount")
        return totalUnitCount();
    if (key == "completedUnitCount")
        return completedUnitCount();
    if (key == "fractionCompleted")
        return fractionCompleted();
    return {};
}
