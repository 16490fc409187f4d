// Dispatch queues, groups, semaphores, sources and the worker pool: orderings, exclusivity,
// virtual-time deadlines, and wake-ups under contention.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/threading/Dispatch.h"
#include "platform/threading/NSThread.h"
#include "platform/threading/WorkerPool.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"

using testing_support::runUntil;
using testing_support::VirtualTime;

namespace {
dispatch_queue_t globalQueue() { return dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0); }
dispatch_time_t in(std::int64_t seconds) { return dispatch_time(DISPATCH_TIME_NOW, seconds * static_cast<std::int64_t>(NSEC_PER_SEC)); }
// Runs f with the mutex held.
auto locked(std::mutex& mutex, const auto& f)
{
    std::lock_guard lock(mutex);
    return f();
}
void joinAll(std::vector<std::thread>& threads)
{
    for (auto& t : threads)
        t.join();
}
} // namespace

TEST(DispatchQueue, SerialQueueKeepsEachProducersOrderAndRunsOneAtATime)
{
    auto queue = dispatch_queue_create("test.serial", DISPATCH_QUEUE_SERIAL);
    constexpr int kProducers = 8, kEach = 2000;
    std::vector<int> lastSeen(kProducers, -1);
    std::atomic<int> inside { 0 };
    std::atomic<bool> overlapped { false }, outOfOrder { false };
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            for (int i = 0; i < kEach; ++i)
                dispatch_async(queue, [&, p, i] {
                    if (inside.fetch_add(1) != 0)
                        overlapped = true;
                    if (lastSeen[p] != i - 1)
                        outOfOrder = true;
                    lastSeen[p] = i;
                    inside.fetch_sub(1);
                });
        });
    joinAll(producers);
    dispatch_sync(queue, [] {});
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(outOfOrder);
    for (int p = 0; p < kProducers; ++p)
        EXPECT_EQ(lastSeen[p], kEach - 1);
}

TEST(DispatchQueue, BarrierRunsAloneBetweenTheBlocksAroundIt)
{
    auto queue = dispatch_queue_create("test.concurrent", DISPATCH_QUEUE_CONCURRENT);
    std::atomic<int> running { 0 }, beforeDone { 0 }, afterStartedEarly { 0 };
    std::atomic<bool> barrierDone { false }, barrierAlone { true };
    int barrierSawBefore = -1;
    for (int i = 0; i < 50; ++i)
        dispatch_async(queue, [&] {
            ++running;
            std::this_thread::yield();
            --running;
            ++beforeDone;
        });
    dispatch_barrier_async(queue, [&] {
        barrierAlone = running.load() == 0;
        barrierSawBefore = beforeDone.load();
        barrierDone = true;
    });
    for (int i = 0; i < 50; ++i)
        dispatch_async(queue, [&] { afterStartedEarly += barrierDone ? 0 : 1; });
    int readBack = 0;
    dispatch_barrier_sync(queue, [&] { readBack = beforeDone.load(); });
    EXPECT_TRUE(barrierAlone);
    EXPECT_EQ(barrierSawBefore, 50);
    EXPECT_EQ(afterStartedEarly, 0);
    EXPECT_EQ(readBack, 50);
}

TEST(DispatchQueue, SyncOntoItselfAndOntoMainFromMainRunsInline)
{
    threading::becomeMainThread();
    auto queue = dispatch_queue_create("test.reentrant", DISPATCH_QUEUE_SERIAL);
    bool inner = false;
    dispatch_sync(queue, [&] { dispatch_sync(queue, [&] { inner = true; }); });
    EXPECT_TRUE(inner);
    bool onMain = false;
    dispatch_sync(dispatch_get_main_queue(), [&] { onMain = NSThread::isMainThread(); });
    EXPECT_TRUE(onMain);

    // From another thread, sync to main waits for the main loop to run it.
    std::atomic<bool> done { false }, ranOnMain { false };
    dispatch_async(globalQueue(), [&] {
        dispatch_sync(dispatch_get_main_queue(), [&] { ranOnMain = NSThread::isMainThread(); });
        done = true;
    });
    EXPECT_TRUE(runUntil([&] { return done.load(); }));
    EXPECT_TRUE(ranOnMain);
}

TEST(DispatchQueue, LabelsSpecificValuesAndTheirDestructors)
{
    static int key, otherKey;
    static std::atomic<int> destroyed;
    int marker = 42;
    destroyed = 0;
    auto queue = dispatch_queue_create("push.logging", DISPATCH_QUEUE_SERIAL);
    dispatch_queue_set_specific(queue, &key, &marker, [](void*) { ++destroyed; });
    void *seen = nullptr, *otherSeen = &marker;
    std::string label;
    dispatch_sync(queue, [&] {
        seen = dispatch_get_specific(&key);
        otherSeen = dispatch_get_specific(&otherKey);
        label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
    });
    EXPECT_EQ(seen, &marker);
    EXPECT_EQ(otherSeen, nullptr);
    EXPECT_EQ(label, "push.logging");
    EXPECT_EQ(dispatch_queue_get_specific(queue, &key), &marker);
    // Replacing or ending a value runs its destructor.
    dispatch_queue_set_specific(queue, &key, &marker, [](void*) { ++destroyed; });
    EXPECT_EQ(destroyed, 1);
    // The last reference may be let go by a worker that just ran the queue.
    queue.reset();
    EXPECT_TRUE(runUntil([&] { return destroyed == 2; }));
}

TEST(DispatchQueue, QueueDroppedWithPendingWorkStillRunsIt)
{
    std::atomic<int> ran { 0 };
    auto group = dispatch_group_create();
    {
        auto serial = dispatch_queue_create("dropped.serial", DISPATCH_QUEUE_SERIAL),
             concurrent = dispatch_queue_create("dropped.concurrent", DISPATCH_QUEUE_CONCURRENT);
        for (int i = 0; i < 100; ++i) {
            dispatch_group_async(group, serial, [&] { ++ran; });
            dispatch_group_async(group, concurrent, [&] { ++ran; });
        }
    }
    EXPECT_EQ(dispatch_group_wait(group, in(10)), 0);
    EXPECT_EQ(ran, 200);
}

TEST(DispatchGroup, NotifyAfterEveryLeaveAndWaitWithTimeout)
{
    threading::becomeMainThread();
    auto group = dispatch_group_create();
    std::atomic<int> work { 0 };
    bool notified = false;
    for (int i = 0; i < 20; ++i)
        dispatch_group_async(group, globalQueue(), [&] { ++work; });
    dispatch_group_enter(group);
    dispatch_group_notify(group, dispatch_get_main_queue(), [&] { notified = work == 20; });
    EXPECT_NE(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0) << "still entered";
    dispatch_group_leave(group);
    EXPECT_TRUE(runUntil([&] { return notified; }));
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    // A leave on an empty group is ignored; the count never goes below zero. (It must come after
    // the group emptied: earlier it would balance one of the blocks still running.)
    dispatch_group_leave(group);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);

    // A notify on an empty group runs at once (on its queue).
    std::atomic<bool> immediate { false };
    dispatch_group_notify(group, globalQueue(), [&] { immediate = true; });
    EXPECT_TRUE(runUntil([&] { return immediate.load(); }));
}

TEST(DispatchSemaphore, TimeoutsFollowVirtualTime)
{
    VirtualTime time;
    auto semaphore = dispatch_semaphore_create(0);
    std::atomic<long> result { -1 }, second { -1 };
    dispatch_time_t deadline = in(2);
    std::thread waiter([&] { result = dispatch_semaphore_wait(semaphore, deadline); });
    time.advance(1);
    EXPECT_FALSE(runUntil([&] { return result != -1; }, 0.05)) << "only one virtual second passed";
    time.advance(1.5);
    waiter.join();
    EXPECT_NE(result, 0);

    std::thread signalled([&] { second = dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER); });
    dispatch_semaphore_signal(semaphore);
    signalled.join();
    EXPECT_EQ(second, 0);
}

// Ping-pong between many pairs of threads: any lost wake-up stalls a pair and fails the wait.
TEST(DispatchSemaphore, NoWakeUpIsLostUnderContention)
{
    constexpr int kPairs = 8, kRounds = 2000;
    std::vector<std::thread> threads;
    std::atomic<int> finished { 0 };
    for (int p = 0; p < kPairs; ++p) {
        auto ping = dispatch_semaphore_create(0), pong = dispatch_semaphore_create(0);
        threads.emplace_back([=, &finished] {
            for (int i = 0; i < kRounds; ++i) {
                dispatch_semaphore_signal(ping);
                if (dispatch_semaphore_wait(pong, in(20)) != 0)
                    return;
            }
            ++finished;
        });
        threads.emplace_back([=] {
            for (int i = 0; i < kRounds && dispatch_semaphore_wait(ping, in(20)) == 0; ++i)
                dispatch_semaphore_signal(pong);
        });
    }
    joinAll(threads);
    EXPECT_EQ(finished, kPairs);
}

TEST(DispatchQueue, ManyThreadsHoppingToMainLoseNothing)
{
    threading::becomeMainThread();
    constexpr int kThreads = 16, kEach = 500;
    int received = 0; // touched on the main thread only
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i)
                dispatch_async(dispatch_get_main_queue(), [&] { ++received; });
        });
    EXPECT_TRUE(runUntil([&] { return received == kThreads * kEach; }, 20));
    joinAll(threads);
}

TEST(DispatchQueue, BlockedWorkersDoNotStarveTheRest)
{
    // More blocked blocks than processors: the pool must lend threads so the releaser runs.
    constexpr int kBlocked = 24;
    auto gate = dispatch_semaphore_create(0);
    auto group = dispatch_group_create();
    for (int i = 0; i < kBlocked; ++i)
        dispatch_group_async(group, globalQueue(), [gate] { dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER); });
    dispatch_async(globalQueue(), [gate] {
        for (int i = 0; i < kBlocked; ++i)
            dispatch_semaphore_signal(gate);
    });
    EXPECT_EQ(dispatch_group_wait(group, in(20)), 0);
}

TEST(DispatchAfter, DelaysFollowVirtualTimeInOrder)
{
    threading::becomeMainThread();
    VirtualTime time;
    std::vector<int> order;
    for (int seconds : { 30, 2, 20, 60 })
        dispatch_after(in(seconds), dispatch_get_main_queue(), [&order, seconds] { order.push_back(seconds); });
    time.advance(25);
    EXPECT_TRUE(runUntil([&] { return order.size() == 2; }));
    time.advance(3600);
    EXPECT_TRUE(runUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<int> { 2, 20, 30, 60 }));
}

TEST(DispatchSource, TimerSourceCountsFiresAndStopsOnCancel)
{
    VirtualTime time;
    auto queue = dispatch_queue_create("timer.queue", DISPATCH_QUEUE_SERIAL);
    auto timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, queue);
    std::atomic<unsigned long> total { 0 };
    std::atomic<bool> cancelled { false };
    dispatch_source_set_timer(timer, in(1), NSEC_PER_SEC, 0);
    std::weak_ptr<dispatch_source_s> weak = timer;
    dispatch_source_set_event_handler(timer, [&, weak] { total += dispatch_source_get_data(weak.lock()); });
    dispatch_source_set_cancel_handler(timer, [&] { cancelled = true; });
    time.advance(5);
    EXPECT_FALSE(runUntil([&] { return total > 0; }, 0.05)) << "a new source is suspended";
    dispatch_resume(timer);
    EXPECT_TRUE(runUntil([&] { return total == 5; })) << "fires at 1..5 s, all counted once resumed";
    time.advance(1);
    EXPECT_TRUE(runUntil([&] { return total == 6; }));
    time.advance(3);
    EXPECT_TRUE(runUntil([&] { return total == 9; })) << "fires missed by a jump are counted";
    dispatch_source_cancel(timer);
    EXPECT_TRUE(runUntil([&] { return cancelled.load(); }));
    EXPECT_NE(dispatch_source_testcancel(timer), 0);
    time.advance(10);
    EXPECT_FALSE(runUntil([&] { return total != 9; }, 0.05));
}

TEST(DispatchSource, FileSourceSeesRenameAndDeleteOfAnOpenFile)
{
    auto dir = std::filesystem::temp_directory_path() / ("threading-vnode-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto path = dir / "current.log";
    int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    auto queue = dispatch_queue_create("vnode.queue", DISPATCH_QUEUE_SERIAL);
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_VNODE, fd, DISPATCH_VNODE_DELETE | DISPATCH_VNODE_RENAME, queue);
    std::atomic<unsigned long> seen { 0 };
    std::weak_ptr<dispatch_source_s> weak = source;
    dispatch_source_set_event_handler(source, [&, weak] { seen |= dispatch_source_get_data(weak.lock()); });
    dispatch_resume(source);
    dispatch_sync(queue, [] {}); // armed on the manager thread by now? give it a moment below
    ASSERT_TRUE(runUntil([] { return true; }));
    std::filesystem::rename(path, dir / "moved.log");
    EXPECT_TRUE(runUntil([&] { return (seen & DISPATCH_VNODE_RENAME) != 0; }));
    std::filesystem::remove(dir / "moved.log");
    EXPECT_TRUE(runUntil([&] { return (seen & DISPATCH_VNODE_DELETE) != 0; })) << "unlinking an open file is a delete";
    dispatch_source_cancel(source);
    close(fd);
    std::filesystem::remove_all(dir);
}

// A logger closes its file before it cancels the file's source; the number may then name another
// file, which the source must not take for its own.
TEST(DispatchSource, FileSourceKeepsToItsFileWhenTheCallersDescriptorClosesFirst)
{
    auto dir = std::filesystem::temp_directory_path() / ("threading-vnode-closed-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto watched = dir / "watched.log", other = dir / "other.log";
    int fd = open(watched.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    auto queue = dispatch_queue_create("vnode.closed", DISPATCH_QUEUE_SERIAL);
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_VNODE, fd, DISPATCH_VNODE_DELETE, queue);
    std::atomic<unsigned long> seen { 0 };
    std::weak_ptr<dispatch_source_s> weak = source;
    dispatch_source_set_event_handler(source, [&, weak] { seen |= dispatch_source_get_data(weak.lock()); });
    dispatch_resume(source);
    close(fd);
    int reused = open(other.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(reused, fd) << "the closed number is given out again";
    std::filesystem::remove(other); // open, unlinked: no links left
    std::ofstream(watched, std::ios::app) << "more"; // an event on the watched file
    EXPECT_FALSE(runUntil([&] { return seen.load() != 0; }, 0.3)) << "the watched file was not deleted";
    dispatch_source_cancel(source);
    close(reused);
    std::filesystem::remove_all(dir);
}

TEST(WorkerPool, HigherPriorityJobsRunFirst)
{
    threading::WorkerPool pool(1, 1);
    auto gate = dispatch_semaphore_create(0);
    std::mutex mutex;
    std::vector<std::string> order;
    using P = threading::WorkerPool::Priority;
    pool.submit(P::Default, [gate] { dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER); });
    using Job = std::pair<P, const char*>;
    for (auto [priority, name] : { Job { P::Background, "background" }, Job { P::Low, "low" }, Job { P::Default, "default-1" },
             Job { P::High, "high" }, Job { P::Default, "default-2" } })
        pool.submit(priority, [&, name = name] { locked(mutex, [&] { order.push_back(name); }); });
    dispatch_semaphore_signal(gate);
    EXPECT_TRUE(runUntil([&] { return locked(mutex, [&] { return order.size() == 5; }); }));
    EXPECT_EQ(order, (std::vector<std::string> { "high", "default-1", "default-2", "low", "background" }));
}

// A job that queues work wakes nobody at first (it usually takes the work itself when it
// returns). Whatever the job does next, the queued work must still run: when the job waits in a
// platform wait, when it waits where the pool cannot see, and along a long chain of hand-offs.
TEST(WorkerPool, WorkQueuedByAJobRunsWhateverTheJobDoesNext)
{
    threading::WorkerPool pool(4, 8);
    using P = threading::WorkerPool::Priority;
    auto done = dispatch_semaphore_create(0);
    std::atomic<int> finished { 0 };

    pool.submit(P::Default, [&] {
        auto inner = dispatch_semaphore_create(0);
        pool.submit(P::Default, [inner] { dispatch_semaphore_signal(inner); });
        dispatch_semaphore_wait(inner, DISPATCH_TIME_FOREVER);
        ++finished;
    });
    pool.submit(P::Default, [&] {
        std::atomic<bool> ran { false };
        pool.submit(P::Default, [&ran] { ran = true; });
        while (!ran)
            std::this_thread::yield();
        ++finished;
    });
    std::function<void(int)> hop = [&](int left) {
        if (left == 0) {
            ++finished;
            dispatch_semaphore_signal(done);
            return;
        }
        pool.submit(P::Default, [&hop, left] { hop(left - 1); });
    };
    pool.submit(P::Default, [&] { hop(2000); });
    EXPECT_EQ(dispatch_semaphore_wait(done, in(30)), 0);
    EXPECT_TRUE(runUntil([&] { return finished == 3; }, 30));
}

TEST(DispatchQueue, QuickQueueHandsBackItsBatchWhenABlockWaits)
{
    // Once a concurrent queue's blocks prove quick, a drainer takes many at once; a block that
    // then waits for a later one must not hold that later one back in the same batch.
    auto queue = dispatch_queue_create("test.quick", DISPATCH_QUEUE_CONCURRENT);
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> warmed { 0 };
        for (int i = 0; i < 500; ++i)
            dispatch_async(queue, [&] { ++warmed; });
        dispatch_barrier_sync(queue, [] {});
        ASSERT_EQ(warmed, 500);
        auto gate = dispatch_semaphore_create(0);
        auto group = dispatch_group_create();
        std::atomic<long> waited { -1 };
        dispatch_group_async(group, queue, [&] { waited = dispatch_semaphore_wait(gate, in(10)); });
        for (int i = 0; i < 20; ++i)
            dispatch_group_async(group, queue, [] {});
        dispatch_group_async(group, queue, [gate] { dispatch_semaphore_signal(gate); });
        ASSERT_EQ(dispatch_group_wait(group, in(20)), 0);
        EXPECT_EQ(waited, 0) << "the waiter timed out: its signal sat behind it, round " << round;
    }
}

TEST(DispatchQueue, ALaterBlockRunsWhileTheOnlyBusyDrainerWaits)
{
    // A block waits for one that comes after a run of quick blocks, once the drainers that ran
    // them have gone: the waiting drainer must not be counted on to come back for it.
    auto queue = dispatch_queue_create("test.waiting", DISPATCH_QUEUE_CONCURRENT);
    for (int round = 0; round < 10; ++round) {
        auto gate = dispatch_semaphore_create(0);
        auto group = dispatch_group_create();
        std::atomic<bool> waiting { false };
        std::atomic<long> waited { -1 };
        dispatch_group_async(group, queue, [&] {
            waiting = true;
            waited = dispatch_semaphore_wait(gate, in(5));
        });
        while (!waiting)
            std::this_thread::yield();
        std::atomic<int> quick { 0 };
        for (int i = 0; i < 200; ++i)
            dispatch_async(queue, [&] { ++quick; });
        while (quick < 200)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::microseconds(200)); // the quick drainers leave
        dispatch_group_async(group, queue, [gate] { dispatch_semaphore_signal(gate); });
        ASSERT_EQ(dispatch_group_wait(group, in(20)), 0);
        EXPECT_EQ(waited, 0) << "the waiter timed out: no drainer came for its signal, round " << round;
    }
}

TEST(DispatchGroup, CountsEveryBlockFromManyProducersAndNotifiesOncePerEmptying)
{
    auto group = dispatch_group_create();
    std::atomic<int> ran { 0 }, notified { 0 }, ranAtNotify { -1 };
    dispatch_group_enter(group); // holds the group open while the producers add
    std::vector<std::thread> producers;
    for (int p = 0; p < 6; ++p)
        producers.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                dispatch_group_async(group, globalQueue(), [&] { ran.fetch_add(1); });
        });
    dispatch_group_notify(group, globalQueue(), [&] {
        ranAtNotify = ran.load();
        ++notified;
    });
    joinAll(producers);
    dispatch_group_leave(group);
    EXPECT_EQ(dispatch_group_wait(group, in(20)), 0);
    EXPECT_TRUE(runUntil([&] { return notified.load() == 1; }));
    EXPECT_EQ(ranAtNotify, 12000);
    EXPECT_EQ(notified, 1);
}

TEST(DispatchQueue, QuickQueueRunsBlocksThatComeBeforeDuringAndAfterItsDrainerWaits)
{
    // Bursts of quick blocks with pauses longer than a drainer waits for more, then shorter
    // ones: whether the drainer waits or leaves, every block runs and none runs twice.
    auto queue = dispatch_queue_create("test.pauses", DISPATCH_QUEUE_CONCURRENT);
    std::atomic<int> ran { 0 };
    int sent = 0;
    for (auto pause : { 0, 300, 1000, 0, 20, 300, 5, 2000, 0 })
        for (int round = 0; round < 20; ++round) {
            for (int i = 0; i < 50; ++i, ++sent)
                dispatch_async(queue, [&] { ran.fetch_add(1, std::memory_order_relaxed); });
            std::this_thread::sleep_for(std::chrono::microseconds(pause));
        }
    auto group = dispatch_group_create();
    dispatch_group_async(group, queue, [] {});
    ASSERT_EQ(dispatch_group_wait(group, in(20)), 0);
    EXPECT_TRUE(runUntil([&] { return ran.load() == sent; }, 20));
    EXPECT_EQ(ran, sent);
}
