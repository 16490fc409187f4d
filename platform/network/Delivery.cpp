// Serial delivery of delegate calls.
#include "platform/network/Delivery.h"

#include <utility>

namespace network {
namespace {
thread_local const Delivery* currentDelivery = nullptr;
}

std::shared_ptr<Delivery> Delivery::onRunLoop(std::shared_ptr<NSRunLoop> runLoop, std::vector<NSRunLoopMode> modes)
{
    auto delivery = std::shared_ptr<Delivery>(new Delivery);
    delivery->runLoop_ = std::move(runLoop);
    delivery->modes_ = modes.empty() ? std::vector<NSRunLoopMode> { NSDefaultRunLoopMode } : std::move(modes);
    delivery->holdsRuns_ = true;
    delivery->runLoop_->holdRuns(delivery->modes_);
    return delivery;
}

std::shared_ptr<Delivery> Delivery::onQueue(std::shared_ptr<NSOperationQueue> queue)
{
    auto delivery = std::shared_ptr<Delivery>(new Delivery);
    delivery->queue_ = std::move(queue);
    return delivery;
}

Delivery::~Delivery() { close(); }

void Delivery::post(std::function<void()> block)
{
    std::lock_guard lock(mutex_);
    if (closed_)
        return;
    pending_.push(std::move(block));
    if (!scheduled_)
        schedule();
}

bool Delivery::isOnCurrentRunLoop() const { return runLoop_ && runLoop_->isRunningOnCurrentThread(); }

bool Delivery::beginNow(const Delivery*& outer)
{
    if (!runLoop_ || !runLoop_->isRunningHereInOneOf(modes_))
        return false;
    {
        std::lock_guard lock(mutex_);
        if (closed_ || scheduled_ || !pending_.empty())
            return false;
        scheduled_ = true; // what is posted meanwhile waits behind this block
    }
    outer = currentDelivery;
    currentDelivery = this;
    return true;
}

void Delivery::endNow(const Delivery* outer)
{
    currentDelivery = outer;
    drain();
}

void Delivery::schedule()
{
    scheduled_ = true;
    std::weak_ptr<Delivery> weak = weak_from_this();
    auto run = [weak] {
        if (auto self = weak.lock())
            self->drain();
    };
    if (queue_)
        queue_->addOperationWithBlock(std::move(run));
    else
        runLoop_->performInModes(modes_, std::move(run));
}

void Delivery::drain()
{
    const Delivery* outer = currentDelivery;
    currentDelivery = this;
    for (;;) {
        std::function<void()> block;
        {
            std::lock_guard lock(mutex_);
            if (closed_ || pending_.empty()) {
                scheduled_ = false;
                break;
            }
            block = pending_.pop();
        }
        block();
    }
    currentDelivery = outer;
}

void Delivery::close()
{
    bool holdsRuns = false;
    BlockFifo dropped;
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        closed_ = true;
        dropped.swap(pending_);
        holdsRuns = std::exchange(holdsRuns_, false);
    }
    if (holdsRuns)
        runLoop_->releaseRuns(modes_);
    // `dropped` releases its blocks here, outside the lock.
}

bool Delivery::isClosed() const
{
    std::lock_guard lock(mutex_);
    return closed_;
}

bool Delivery::isDelivering() const { return currentDelivery == this; }

} // namespace network
