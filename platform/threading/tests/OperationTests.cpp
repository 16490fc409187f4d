// Operations and operation queues: observed state order, dependencies, priorities, suspension,
// cancellation, completion blocks. (Slots held by concurrent operations and newest-first order
// through dependencies: the image downloader's tests.)
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <string>
#include <vector>

#include "platform/threading/NSOperation.h"
#include "platform/threading/NSThread.h"
#include "testing/RunLoopPump.h"

using testing_support::runUntil;

namespace {

// A concurrent operation in the style of the HTTP stack's connection operation: a state field
// whose changes announce "will new, will old, set, did old, did new"; it finishes only when told.
class ManualOperation : public NSOperation {
public:
    enum State { Ready = 1, Executing = 2, Finished = 3 };
    static const char* keyFor(State s) { return s == Ready ? "isReady" : s == Executing ? "isExecuting" : "isFinished"; }

    bool isConcurrent() const override { return true; }
    bool isReady() const override { return state_ == Ready && NSOperation::isReady(); }
    bool isExecuting() const override { return state_ == Executing; }
    bool isFinished() const override { return state_ == Finished; }
    void start() override
    {
        started = true;
        setState(isCancelled() ? Finished : Executing);
    }
    void finish() { setState(Finished); }
    void setState(State next)
    {
        std::string oldKey = keyFor(state_);
        std::string newKey = keyFor(next);
        willChangeValueForKey(newKey);
        willChangeValueForKey(oldKey);
        state_ = next;
        didChangeValueForKey(oldKey);
        didChangeValueForKey(newKey);
    }
    std::atomic<bool> started { false };

private:
    std::atomic<State> state_ { Ready };
};

// The same, for a start that only hands work on: recorded are the threads of start and of the
// completion block.
class HandingOperation : public ManualOperation {
public:
    std::atomic<std::thread::id> startedOn {};
    bool handsOn = true;
    void start() override
    {
        startedOn = std::this_thread::get_id();
        ManualOperation::start();
    }

protected:
    bool onlyHandsWorkOn() const override { return handsOn; }
};

} // namespace

TEST(Operation, StateChangesAreObservedInWillDidOrder)
{
    auto operation = std::make_shared<ManualOperation>();
    std::vector<std::string> events;
    std::vector<threading::Observation> tokens;
    for (const char* key : { "isReady", "isExecuting", "isFinished" })
        tokens.push_back(operation->observe(key, NSKeyValueObservingOptionPrior | NSKeyValueObservingOptionNew,
            [&](const std::string& keyPath, NSObject*, const Value& change) {
                bool prior = change[NSKeyValueChangeNotificationIsPriorKey].boolValue();
                events.push_back((prior ? "will " : "did ") + keyPath
                    + (prior ? "" : "=" + change[NSKeyValueChangeNewKey].description()));
            }));
    operation->start();
    operation->finish();
    EXPECT_EQ(events,
        (std::vector<std::string> { "will isExecuting", "will isReady", "did isReady=0", "did isExecuting=1",
            "will isFinished", "will isExecuting", "did isExecuting=0", "did isFinished=1" }));
}

TEST(OperationQueue, DependenciesOrderWorkAcrossQueues)
{
    auto a = std::make_shared<ManualOperation>();
    std::atomic<int> bRan { 0 };
    auto b = NSBlockOperation::blockOperationWithBlock([&] { ++bRan; });
    std::atomic<bool> cSawBoth { false };
    auto c = NSBlockOperation::blockOperationWithBlock([&] { cSawBoth = a->isFinished() && b->isFinished(); });
    c->addDependency(a);
    c->addDependency(b);
    EXPECT_FALSE(c->isReady());
    auto one = NSOperationQueue::create();
    auto two = NSOperationQueue::create();
    two->addOperation(c);
    one->addOperation(b);
    one->addOperation(a);
    ASSERT_TRUE(runUntil([&] { return a->isExecuting() && bRan == 1; }));
    EXPECT_FALSE(c->isFinished());
    a->finish();
    c->waitUntilFinished();
    EXPECT_TRUE(cSawBoth);
}

TEST(OperationQueue, PriorityThenOrderWhileSuspendedWorkWaits)
{
    auto queue = NSOperationQueue::create();
    queue->setMaxConcurrentOperationCount(1);
    queue->setSuspended(true);
    std::vector<std::string> order; // one operation at a time
    using Named = std::pair<const char*, NSOperationQueuePriority>;
    for (auto [name, priority] : { Named { "low", NSOperationQueuePriorityLow }, Named { "normal-1", NSOperationQueuePriorityNormal },
             Named { "high", NSOperationQueuePriorityHigh }, Named { "normal-2", NSOperationQueuePriorityNormal },
             Named { "very-high", NSOperationQueuePriorityVeryHigh } }) {
        auto operation = NSBlockOperation::blockOperationWithBlock([&order, name = name] { order.push_back(name); });
        operation->setQueuePriority(priority);
        queue->addOperation(operation);
    }
    EXPECT_FALSE(runUntil([&] { return queue->operationCount() < 5; }, 0.05));
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order, (std::vector<std::string> { "very-high", "high", "normal-1", "normal-2", "low" }));
}

TEST(OperationQueue, CancelledOperationsBecomeReadyAndFinishWithoutRunning)
{
    auto queue = NSOperationQueue::create();
    auto never = std::make_shared<ManualOperation>(); // a dependency that never finishes
    std::atomic<bool> ran { false };
    auto waiting = NSBlockOperation::blockOperationWithBlock([&] { ran = true; });
    waiting->addDependency(never);
    std::atomic<int> completions { 0 };
    waiting->setCompletionBlock([&] { ++completions; });
    queue->addOperation(waiting);
    EXPECT_FALSE(runUntil([&] { return waiting->isFinished(); }, 0.05));
    queue->cancelAllOperations();
    waiting->waitUntilFinished();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(waiting->isCancelled());
    EXPECT_TRUE(runUntil([&] { return completions == 1; }));
    waiting->cancel(); // a second cancel of a finished operation changes nothing
    EXPECT_FALSE(runUntil([&] { return completions != 1; }, 0.05));
}

TEST(OperationQueue, CompletionRunsOnceOffTheMainThreadAndQueuesKnowThemselves)
{
    threading::becomeMainThread();
    auto queue = NSOperationQueue::create();
    std::atomic<int> completions { 0 };
    std::atomic<bool> completionOnMain { true }, sawOwnQueue { false };
    auto operation = NSBlockOperation::blockOperationWithBlock([&] { sawOwnQueue = NSOperationQueue::currentQueue() == queue; });
    operation->setCompletionBlock([&] {
        completionOnMain = NSThread::isMainThread();
        ++completions;
    });
    queue->addOperation(operation);
    queue->addOperation(operation); // already queued: ignored
    EXPECT_TRUE(runUntil([&] { return completions == 1; }));
    EXPECT_FALSE(completionOnMain);
    EXPECT_TRUE(sawOwnQueue);

    std::atomic<bool> onMain { false };
    NSOperationQueue::mainQueue()->addOperationWithBlock([&] { onMain = NSThread::isMainThread(); });
    EXPECT_TRUE(runUntil([&] { return onMain.load(); }));
}

// A queue its owner let go of keeps itself while it has operations: the waiting ones still run
// and complete, and the queue and its operations are freed once the last one finished. One let go
// of while suspended lets go of what it holds instead of keeping it for good.
TEST(OperationQueue, AQueueLetGoOfRunsItsOperationsThenFreesThemAndItself)
{
    for (bool suspended : { false, true }) {
        SCOPED_TRACE(suspended ? "suspended" : "running");
        auto gate = std::make_shared<ManualOperation>();
        auto ran = std::make_shared<std::atomic<int>>(0);
        auto completed = std::make_shared<std::atomic<int>>(0);
        std::weak_ptr<NSOperationQueue> weakQueue;
        std::vector<std::weak_ptr<NSOperation>> weakPending;
        {
            auto queue = NSOperationQueue::create();
            weakQueue = queue;
            queue->setMaxConcurrentOperationCount(1);
            queue->addOperation(gate);
            for (int i = 0; i < 2; ++i) {
                auto pending = NSBlockOperation::blockOperationWithBlock([ran] { ++*ran; });
                pending->setCompletionBlock([completed] { ++*completed; });
                weakPending.push_back(pending);
                queue->addOperation(pending);
            }
            ASSERT_TRUE(runUntil([&] { return gate->isExecuting(); }));
            queue->setSuspended(suspended);
        }
        EXPECT_EQ(weakQueue.expired(), suspended);
        gate->finish(); // the queue, if still there, starts the next one
        auto allFreed = [&] { return weakQueue.expired() && weakPending[0].expired() && weakPending[1].expired(); };
        EXPECT_TRUE(runUntil(allFreed)) << "a scheduler may hold them for a moment";
        EXPECT_EQ(ran->load(), suspended ? 0 : 2);
        if (suspended)
            EXPECT_EQ(completed->load(), 0) << "let go of without running, they complete never";
        else
            EXPECT_TRUE(runUntil([&] { return completed->load() == 2; }));
    }
}

TEST(OperationQueue, OnlyAnOperationThatHandsWorkOnStartsAndCompletesInPlace)
{
    // Started where added and completed where finished only when the operation says its start
    // and completion block return at once; any other may block in them and goes to a worker.
    for (bool handsOn : { true, false }) {
        SCOPED_TRACE(handsOn ? "hands work on" : "may block");
        auto queue = NSOperationQueue::create();
        auto operation = std::make_shared<HandingOperation>();
        operation->handsOn = handsOn;
        std::atomic<std::thread::id> completedOn {};
        operation->setCompletionBlock([&] { completedOn = std::this_thread::get_id(); });
        queue->addOperation(NSBlockOperation::blockOperationWithBlock([] {})); // a worker exists
        queue->addOperation(operation);
        ASSERT_TRUE(runUntil([&] { return operation->isExecuting(); }));
        EXPECT_EQ(operation->startedOn.load() == std::this_thread::get_id(), handsOn);
        std::thread finisher([&] { operation->finish(); });
        auto finisherId = finisher.get_id();
        finisher.join();
        ASSERT_TRUE(runUntil([&] { return completedOn.load() != std::thread::id {}; }));
        EXPECT_EQ(completedOn.load() == finisherId, handsOn);
        queue->waitUntilAllOperationsAreFinished();
        EXPECT_EQ(queue->operationCount(), 0u);
    }
}

// The queue hears of an operation's own changes without observing it: a dependency dropped makes
// the waiting operation ready and started, and a finished one frees its slot before its
// completion block runs, so the next one starts and the block sees the queue without it.
TEST(OperationQueue, OperationsTellTheirQueueOfReadinessAndFinishing)
{
    auto queue = NSOperationQueue::create();
    queue->setMaxConcurrentOperationCount(1);
    auto never = std::make_shared<ManualOperation>();
    auto first = std::make_shared<HandingOperation>();
    first->addDependency(never);
    auto second = std::make_shared<ManualOperation>();
    std::atomic<long> countInCompletion { -1 };
    first->setCompletionBlock([&] { countInCompletion = static_cast<long>(queue->operationCount()); });
    queue->addOperation(first);
    EXPECT_FALSE(runUntil([&] { return first->started.load(); }, 0.05));
    first->removeDependency(never);
    ASSERT_TRUE(runUntil([&] { return first->isExecuting(); }));
    queue->addOperation(second);
    EXPECT_FALSE(runUntil([&] { return second->started.load(); }, 0.05));
    first->finish();
    EXPECT_EQ(countInCompletion, 1);
    ASSERT_TRUE(runUntil([&] { return second->isExecuting(); }));
    second->finish();
    queue->waitUntilAllOperationsAreFinished();
    never->finish(); // no longer anyone's dependency, and never queued
    EXPECT_EQ(queue->operationCount(), 0u);
}

// A completion block may clear itself while it runs (the connection operation's does): what it
// holds stays alive until it returns, and it runs once. One left in place stays readable.
TEST(Operation, ACompletionBlockThatClearsItselfKeepsItsCapturesWhileRunning)
{
    for (bool handsOn : { true, false }) {
        SCOPED_TRACE(handsOn ? "in place" : "on a worker");
        auto operation = std::make_shared<HandingOperation>();
        operation->handsOn = handsOn;
        std::weak_ptr<HandingOperation> weak = operation;
        auto runs = std::make_shared<std::atomic<int>>(0);
        auto label = std::make_shared<std::string>("captured text, long enough to live on the heap");
        std::atomic<bool> labelIntact { false };
        operation->setCompletionBlock([weak, runs, label, &labelIntact] {
            if (auto strong = weak.lock())
                strong->setCompletionBlock(nullptr);
            labelIntact = *label == "captured text, long enough to live on the heap";
            ++*runs;
        });
        label.reset();
        operation->start();
        operation->finish();
        ASSERT_TRUE(runUntil([&] { return *runs == 1; }));
        EXPECT_TRUE(labelIntact);
        EXPECT_FALSE(operation->completionBlock());
        operation->finish(); // no second run
        EXPECT_EQ(*runs, 1);
    }

    auto kept = std::make_shared<ManualOperation>();
    kept->setCompletionBlock([] {});
    kept->start();
    kept->finish();
    EXPECT_TRUE(kept->completionBlock());
}
