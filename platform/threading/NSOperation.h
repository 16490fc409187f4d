// NSOperation, NSBlockOperation and NSOperationQueue.
//
// An operation publishes "isReady", "isExecuting", "isFinished" and "isCancelled" through
// key-value observation. Readiness covers dependencies: an operation is ready once every
// dependency finished, or once it is cancelled. The base start() runs main() between the
// executing and finished changes. A concurrent subclass overrides start(), isExecuting() and
// isFinished() and sends the will/did changes itself; its queue slot stays taken until it
// reports "isFinished". The completion block runs once, after finishing, on a global queue
// (where it finished, for an operation that only hands work on).
//
// A queue starts ready operations, highest queue priority first and in the order added among
// equals, never more at once than maxConcurrentOperationCount, on a worker thread (the main
// queue: on the main thread, through the main dispatch queue). An operation that only hands
// work on is started on the thread that makes its slot free (the one adding it, mostly). A queue
// keeps itself while it has operations and is not suspended, so what its owner queued before
// letting go of it still runs and reports; it is freed once the last of them finished.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/threading/KeyValueObserving.h"

enum NSOperationQueuePriority : long {
    NSOperationQueuePriorityVeryLow = -8,
    NSOperationQueuePriorityLow = -4,
    NSOperationQueuePriorityNormal = 0,
    NSOperationQueuePriorityHigh = 4,
    NSOperationQueuePriorityVeryHigh = 8,
};

class NSOperationQueue;

class NSOperation : public NSObject, public threading::KeyValueObservable {
public:
    NSOperation();
    ~NSOperation() override;
    std::string className() const override { return "NSOperation"; }

    virtual void start();
    virtual void main();
    virtual void cancel();
    virtual bool isReady() const;
    virtual bool isExecuting() const;
    virtual bool isFinished() const;
    bool isCancelled() const;
    virtual bool isConcurrent() const { return false; }
    virtual bool isAsynchronous() const { return isConcurrent(); }

    void addDependency(const std::shared_ptr<NSOperation>& operation);
    void removeDependency(const std::shared_ptr<NSOperation>& operation);
    std::vector<std::shared_ptr<NSOperation>> dependencies() const;

    NSOperationQueuePriority queuePriority() const;
    void setQueuePriority(NSOperationQueuePriority priority);
    std::function<void()> completionBlock() const;
    virtual void setCompletionBlock(std::function<void()> block);
    // Blocks the caller until the operation finished.
    void waitUntilFinished();
    std::string name() const;
    void setName(std::string name);

    // "isReady", "isExecuting", "isFinished", "isCancelled" as booleans.
    Value valueForKey(const std::string& key) const override;

protected:
    void observedKeyDidChange(const std::string& key) override;
    // True for an asynchronous operation whose start() and completion block only hand work to
    // other threads and return at once, taking no lock a caller may hold: it is started where
    // it is queued, and its completion block runs on the thread that finishes it.
    virtual bool onlyHandsWorkOn() const { return false; }

private:
    friend class NSOperationQueue;
    struct Dependency {
        std::shared_ptr<NSOperation> operation;
        threading::Observation observation;
    };
    bool dependenciesReady() const;
    void refreshReadiness();
    // False when already in a queue (or finished); else the queue is told of the operation's
    // "isReady" and "isFinished" changes from then on.
    bool claimForQueue(std::weak_ptr<NSOperationQueue> queue);
    std::shared_ptr<NSOperationQueue> owningQueue() const;

    mutable std::mutex mutex_;
    std::condition_variable finishedCondition_;
    std::vector<Dependency> dependencies_;
    NSOperationQueuePriority priority_ = NSOperationQueuePriorityNormal;
    // Shared, so that running it once finished takes no copy of what it holds.
    std::shared_ptr<const std::function<void()>> completionBlock_;
    std::string name_;
    bool cancelled_ = false;
    bool executing_ = false;
    bool finished_ = false;
    bool lastReady_ = true;
    bool completionDone_ = false;
    bool finishedSeen_ = false;
    bool enqueued_ = false;
    std::weak_ptr<NSOperationQueue> queue_;
};

class NSBlockOperation : public NSOperation {
public:
    static std::shared_ptr<NSBlockOperation> blockOperationWithBlock(std::function<void()> block);
    void addExecutionBlock(std::function<void()> block);
    std::vector<std::function<void()>> executionBlocks() const;
    void main() override;
    std::string className() const override { return "NSBlockOperation"; }

private:
    mutable std::mutex blocksMutex_;
    std::vector<std::function<void()>> blocks_;
};

inline constexpr long NSOperationQueueDefaultMaxConcurrentOperationCount = -1;

class NSOperationQueue : public NSObject {
public:
    static std::shared_ptr<NSOperationQueue> create();
    // The queue whose operations run on the main thread (one at a time).
    static std::shared_ptr<NSOperationQueue> mainQueue();
    // The queue running the calling operation, or nullptr.
    static std::shared_ptr<NSOperationQueue> currentQueue();

    NSOperationQueue();
    ~NSOperationQueue() override;
    std::string className() const override { return "NSOperationQueue"; }

    // An operation already in a queue, or finished, is not added again.
    void addOperation(const std::shared_ptr<NSOperation>& operation);
    void addOperations(const std::vector<std::shared_ptr<NSOperation>>& operations, bool waitUntilFinished);
    void addOperationWithBlock(std::function<void()> block);

    // The operations not yet finished, in the order added.
    std::vector<std::shared_ptr<NSOperation>> operations() const;
    std::size_t operationCount() const;
    long maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(long count);
    bool isSuspended() const;
    void setSuspended(bool suspended);
    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();
    std::string name() const;
    void setName(std::string name);

private:
    friend class NSOperation;
    struct Slot {
        std::shared_ptr<NSOperation> operation;
        std::uint64_t order = 0;
        bool started = false;
    };
    void schedule();
    void launch(const std::shared_ptr<NSOperation>& operation);
    void operationFinished(NSOperation* operation);
    std::size_t limit() const;
    std::shared_ptr<NSOperationQueue> refreshSelfHold();

    mutable std::mutex mutex_;
    std::condition_variable drained_;
    std::vector<Slot> slots_;
    std::uint64_t nextOrder_ = 0;
    std::size_t running_ = 0;
    long maxConcurrent_ = NSOperationQueueDefaultMaxConcurrentOperationCount;
    bool suspended_ = false;
    bool isMainQueue_ = false;
    std::string name_;
    std::shared_ptr<NSOperationQueue> selfHold_; // while it has operations to run
};
