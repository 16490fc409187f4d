// NSOperationQueue: picks ready operations by priority and order, starts them (on workers, unless
// they only hand work on), frees a slot when an operation reports "isFinished", and keeps itself
// while it has operations to run.
#include <algorithm>
#include <optional>

#include "platform/threading/Dispatch.h"
#include "platform/threading/NSOperation.h"
#include "platform/threading/NSThread.h"
#include "platform/threading/WorkerPool.h"

namespace {
thread_local std::weak_ptr<NSOperationQueue> tlsCurrentQueue;

// The width of a queue left at the default count.
constexpr std::size_t kDefaultWidth = 64;
} // namespace

NSOperationQueue::NSOperationQueue() = default;

NSOperationQueue::~NSOperationQueue() = default;

std::shared_ptr<NSOperationQueue> NSOperationQueue::create() { return std::make_shared<NSOperationQueue>(); }

std::shared_ptr<NSOperationQueue> NSOperationQueue::mainQueue()
{
    static auto* queue = [] {
        auto q = std::make_shared<NSOperationQueue>();
        q->isMainQueue_ = true;
        q->maxConcurrent_ = 1;
        q->name_ = "NSOperationQueue Main Queue";
        return new std::shared_ptr<NSOperationQueue>(q);
    }();
    return *queue;
}

std::shared_ptr<NSOperationQueue> NSOperationQueue::currentQueue()
{
    if (auto queue = tlsCurrentQueue.lock())
        return queue;
    return NSThread::isMainThread() ? mainQueue() : nullptr;
}

void NSOperationQueue::addOperation(const std::shared_ptr<NSOperation>& operation)
{
    // From here on the operation tells this queue of its readiness and finishing itself.
    if (!operation || !operation->claimForQueue(weakAs<NSOperationQueue>()))
        return;
    std::shared_ptr<NSOperationQueue> released; // let go of after the lock
    {
        std::lock_guard lock(mutex_);
        slots_.push_back({ operation, nextOrder_++ });
        released = refreshSelfHold();
    }
    schedule();
}

void NSOperationQueue::addOperations(const std::vector<std::shared_ptr<NSOperation>>& operations, bool waitUntilFinished)
{
    for (const auto& operation : operations)
        addOperation(operation);
    if (!waitUntilFinished)
        return;
    for (const auto& operation : operations) {
        if (operation)
            operation->waitUntilFinished();
    }
}

void NSOperationQueue::addOperationWithBlock(std::function<void()> block)
{
    addOperation(NSBlockOperation::blockOperationWithBlock(std::move(block)));
}

std::size_t NSOperationQueue::limit() const
{
    if (maxConcurrent_ < 0)
        return isMainQueue_ ? 1 : kDefaultWidth;
    return static_cast<std::size_t>(maxConcurrent_);
}

// Starts ready operations while slots are free. Readiness is asked outside the queue's lock,
// since operations take their own locks to answer and report changes under them.
void NSOperationQueue::schedule()
{
    for (;;) {
        struct Candidate {
            std::shared_ptr<NSOperation> operation;
            std::uint64_t order;
            long priority = 0;
        };
        std::vector<Candidate> candidates;
        {
            std::lock_guard lock(mutex_);
            if (suspended_ || running_ >= limit() || running_ == slots_.size())
                return;
            candidates.reserve(slots_.size() - running_);
            for (const auto& slot : slots_) {
                if (!slot.started)
                    candidates.push_back({ slot.operation, slot.order });
            }
        }
        for (auto& candidate : candidates)
            candidate.priority = candidate.operation->queuePriority();
        auto higher = [](const Candidate& a, const Candidate& b) { return a.priority > b.priority; };
        if (!std::is_sorted(candidates.begin(), candidates.end(), higher))
            std::stable_sort(candidates.begin(), candidates.end(), higher);
        std::shared_ptr<NSOperation> chosen;
        for (const auto& candidate : candidates) {
            if (candidate.operation->isReady()) {
                chosen = candidate.operation;
                break;
            }
        }
        if (!chosen)
            return;
        {
            std::lock_guard lock(mutex_);
            if (suspended_ || running_ >= limit())
                return;
            auto it = std::find_if(
                slots_.begin(), slots_.end(), [&](const Slot& slot) { return slot.operation == chosen; });
            if (it == slots_.end() || it->started)
                continue; // another scheduler took it meanwhile
            it->started = true;
            ++running_;
        }
        launch(chosen);
    }
}

void NSOperationQueue::launch(const std::shared_ptr<NSOperation>& operation)
{
    std::weak_ptr<NSOperationQueue> weak = weakAs<NSOperationQueue>();
    auto run = [weak, operation] {
        auto previous = tlsCurrentQueue;
        tlsCurrentQueue = weak;
        operation->start();
        tlsCurrentQueue = previous;
        // A plain operation is done when start returns, even one that forgot to say so.
        if (!operation->isAsynchronous() && operation->isFinished()) {
            if (auto queue = weak.lock())
                queue->operationFinished(operation.get());
        }
    };
    if (operation->isAsynchronous() && operation->onlyHandsWorkOn() && !isMainQueue_)
        run(); // a worker would only pass the work on
    else if (isMainQueue_)
        dispatch_async(dispatch_get_main_queue(), std::move(run));
    else
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), std::move(run));
}

void NSOperationQueue::operationFinished(NSOperation* operation)
{
    std::optional<Slot> removed; // let go of after the lock
    std::shared_ptr<NSOperationQueue> released;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(
            slots_.begin(), slots_.end(), [&](const Slot& slot) { return slot.operation.get() == operation; });
        if (it == slots_.end())
            return;
        if (it->started)
            --running_;
        removed.emplace(std::move(*it));
        slots_.erase(it);
        if (slots_.empty())
            drained_.notify_all();
        released = refreshSelfHold();
    }
    removed.reset();
    schedule();
}

// The queue holds itself while it has operations and may start them, so that operations queued
// by an owner that let go of it still run and report; the last one to finish ends the hold. A
// suspended queue holds nothing: let go of, it lets go of its operations, as it could never run
// them. Called under the lock; returns the hold ended, to be let go of after the lock.
std::shared_ptr<NSOperationQueue> NSOperationQueue::refreshSelfHold()
{
    bool wanted = !slots_.empty() && !suspended_;
    if (!wanted)
        return std::move(selfHold_);
    if (!selfHold_)
        selfHold_ = weakAs<NSOperationQueue>().lock();
    return nullptr;
}

std::vector<std::shared_ptr<NSOperation>> NSOperationQueue::operations() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<NSOperation>> result;
    for (const auto& slot : slots_)
        result.push_back(slot.operation);
    return result;
}

std::size_t NSOperationQueue::operationCount() const
{
    std::lock_guard lock(mutex_);
    return slots_.size();
}

long NSOperationQueue::maxConcurrentOperationCount() const
{
    std::lock_guard lock(mutex_);
    return maxConcurrent_;
}

void NSOperationQueue::setMaxConcurrentOperationCount(long count)
{
    {
        std::lock_guard lock(mutex_);
        maxConcurrent_ = count < 0 ? NSOperationQueueDefaultMaxConcurrentOperationCount : count;
    }
    schedule();
}

bool NSOperationQueue::isSuspended() const
{
    std::lock_guard lock(mutex_);
    return suspended_;
}

void NSOperationQueue::setSuspended(bool suspended)
{
    std::shared_ptr<NSOperationQueue> released; // let go of after the lock
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
        released = refreshSelfHold();
    }
    if (!suspended)
        schedule();
}

void NSOperationQueue::cancelAllOperations()
{
    for (const auto& operation : operations())
        operation->cancel();
}

void NSOperationQueue::waitUntilAllOperationsAreFinished()
{
    threading::BlockingScope blocking;
    std::unique_lock lock(mutex_);
    drained_.wait(lock, [&] { return slots_.empty(); });
}

std::string NSOperationQueue::name() const
{
    std::lock_guard lock(mutex_);
    return name_;
}

void NSOperationQueue::setName(std::string name)
{
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
}
