// NSOperation and NSBlockOperation: state flags with their change notifications, readiness from
// dependencies, and the completion block.
#include "platform/threading/NSOperation.h"

#include "platform/threading/Dispatch.h"
#include "platform/threading/WorkerPool.h"

NSOperation::NSOperation() = default;

NSOperation::~NSOperation() = default;

void NSOperation::start()
{
    {
        std::lock_guard lock(mutex_);
        if (executing_ || finished_)
            return;
    }
    if (isCancelled()) {
        willChangeValueForKey("isFinished");
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        didChangeValueForKey("isFinished");
        return;
    }
    willChangeValueForKey("isExecuting");
    {
        std::lock_guard lock(mutex_);
        executing_ = true;
    }
    didChangeValueForKey("isExecuting");
    main();
    willChangeValueForKey("isExecuting");
    willChangeValueForKey("isFinished");
    {
        std::lock_guard lock(mutex_);
        executing_ = false;
        finished_ = true;
    }
    didChangeValueForKey("isExecuting");
    didChangeValueForKey("isFinished");
}

void NSOperation::main() { }

void NSOperation::cancel()
{
    {
        std::lock_guard lock(mutex_);
        if (cancelled_ || finished_)
            return;
    }
    willChangeValueForKey("isCancelled");
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    didChangeValueForKey("isCancelled");
    refreshReadiness();
}

bool NSOperation::isReady() const { return dependenciesReady(); }

bool NSOperation::isExecuting() const
{
    std::lock_guard lock(mutex_);
    return executing_;
}

bool NSOperation::isFinished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

bool NSOperation::isCancelled() const
{
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool NSOperation::dependenciesReady() const
{
    std::vector<std::shared_ptr<NSOperation>> operations;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return true;
        for (const auto& dependency : dependencies_)
            operations.push_back(dependency.operation);
    }
    for (const auto& operation : operations) {
        if (!operation->isFinished())
            return false;
    }
    return true;
}

void NSOperation::refreshReadiness()
{
    bool ready = dependenciesReady();
    {
        std::lock_guard lock(mutex_);
        if (ready == lastReady_)
            return;
    }
    willChangeValueForKey("isReady");
    {
        std::lock_guard lock(mutex_);
        lastReady_ = ready;
    }
    didChangeValueForKey("isReady");
}

void NSOperation::addDependency(const std::shared_ptr<NSOperation>& operation)
{
    if (!operation || operation.get() == this)
        return;
    std::weak_ptr<NSOperation> weak = weakAs<NSOperation>();
    Dependency dependency;
    dependency.operation = operation;
    dependency.observation = operation->observe("isFinished", 0, [weak](const std::string&, NSObject*, const Value&) {
        if (auto self = weak.lock())
            self->refreshReadiness();
    });
    {
        std::lock_guard lock(mutex_);
        dependencies_.push_back(std::move(dependency));
    }
    refreshReadiness();
}

void NSOperation::removeDependency(const std::shared_ptr<NSOperation>& operation)
{
    std::vector<Dependency> removed;
    {
        std::lock_guard lock(mutex_);
        for (auto it = dependencies_.begin(); it != dependencies_.end();) {
            if (it->operation != operation) {
                ++it;
                continue;
            }
            removed.push_back(std::move(*it));
            it = dependencies_.erase(it);
        }
    }
    refreshReadiness();
}

std::vector<std::shared_ptr<NSOperation>> NSOperation::dependencies() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<NSOperation>> operations;
    for (const auto& dependency : dependencies_)
        operations.push_back(dependency.operation);
    return operations;
}

NSOperationQueuePriority NSOperation::queuePriority() const
{
    std::lock_guard lock(mutex_);
    return priority_;
}

void NSOperation::setQueuePriority(NSOperationQueuePriority priority)
{
    std::lock_guard lock(mutex_);
    priority_ = priority;
}

std::function<void()> NSOperation::completionBlock() const
{
    std::lock_guard lock(mutex_);
    return completionBlock_ ? *completionBlock_ : std::function<void()>();
}

void NSOperation::setCompletionBlock(std::function<void()> block)
{
    auto shared = block ? std::make_shared<const std::function<void()>>(std::move(block)) : nullptr;
    std::shared_ptr<const std::function<void()>> old; // let go of after the lock
    std::lock_guard lock(mutex_);
    old = std::move(completionBlock_);
    completionBlock_ = std::move(shared);
}

void NSOperation::waitUntilFinished()
{
    threading::BlockingScope blocking;
    std::unique_lock lock(mutex_);
    finishedCondition_.wait(lock, [&] { return finishedSeen_; });
}

std::string NSOperation::name() const
{
    std::lock_guard lock(mutex_);
    return name_;
}

void NSOperation::setName(std::string name)
{
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
}

Value NSOperation::valueForKey(const std::string& key) const
{
    if (key == "isReady")
        return isReady();
    if (key == "isExecuting")
        return isExecuting();
    if (key == "isFinished")
        return isFinished();
    if (key == "isCancelled")
        return isCancelled();
    return {};
}

// Reacts to the operation's own changes once its observers were told: a change of "isReady" lets
// its queue start what is ready; "isFinished" frees its queue slot, then wakes waiters and runs
// the completion block once.
void NSOperation::observedKeyDidChange(const std::string& key)
{
    if (key == "isReady") {
        if (auto queue = owningQueue())
            queue->schedule();
        return;
    }
    if (key != "isFinished" || !isFinished())
        return;
    if (auto queue = owningQueue())
        queue->operationFinished(this);
    std::shared_ptr<const std::function<void()>> block;
    {
        std::lock_guard lock(mutex_);
        if (finishedSeen_)
            return;
        finishedSeen_ = true;
        block = completionBlock_;
        finishedCondition_.notify_all();
    }
    if (!block)
        return;
    if (onlyHandsWorkOn())
        (*block)();
    else
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [block] { (*block)(); });
}

bool NSOperation::claimForQueue(std::weak_ptr<NSOperationQueue> queue)
{
    std::lock_guard lock(mutex_);
    if (enqueued_ || finished_)
        return false;
    enqueued_ = true;
    queue_ = std::move(queue);
    return true;
}

std::shared_ptr<NSOperationQueue> NSOperation::owningQueue() const
{
    std::lock_guard lock(mutex_);
    return enqueued_ ? queue_.lock() : nullptr;
}

std::shared_ptr<NSBlockOperation> NSBlockOperation::blockOperationWithBlock(std::function<void()> block)
{
    auto operation = std::make_shared<NSBlockOperation>();
    operation->addExecutionBlock(std::move(block));
    return operation;
}

void NSBlockOperation::addExecutionBlock(std::function<void()> block)
{
    if (!block)
        return;
    std::lock_guard lock(blocksMutex_);
    blocks_.push_back(std::move(block));
}

std::vector<std::function<void()>> NSBlockOperation::executionBlocks() const
{
    std::lock_guard lock(blocksMutex_);
    return blocks_;
}

void NSBlockOperation::main()
{
    for (const auto& block : executionBlocks())
        block();
}
