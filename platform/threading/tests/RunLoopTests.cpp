// Run loops: performs and modes, ports, descriptor sources, stop, nested runs, thread ends.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/threading/Dispatch.h"
#include "platform/threading/FileDescriptorSource.h"
#include "platform/threading/NSThread.h"
#include "platform/threading/NSTimer.h"
#include "testing/RunLoopPump.h"

using testing_support::runUntil;

namespace {

// A started thread whose run loop is kept alive by a port and runs until stopped.
std::shared_ptr<NSThread> startLoopThread(const std::string& name)
{
    auto thread = NSThread::create([] {
        NSRunLoop::currentRunLoop()->addPort(NSPort::port(), NSDefaultRunLoopMode);
        NSRunLoop::currentRunLoop()->run();
    });
    thread->setName(name);
    thread->start();
    return thread;
}

struct Pipe {
    int fds[2] = { -1, -1 };
    Pipe() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0); }
    ~Pipe()
    {
        close(fds[0]);
        close(fds[1]);
    }
};

} // namespace

TEST(RunLoop, PerformsRunInOrderAndOnlyInTheirModes)
{
    auto loop = NSRunLoop::currentRunLoop();
    std::vector<std::string> ran;
    loop->performInModes({ NSDefaultRunLoopMode }, [&] { ran.push_back("default-1"); });
    loop->performInModes({ UITrackingRunLoopMode }, [&] { ran.push_back("tracking"); });
    loop->performInModes({ NSRunLoopCommonModes }, [&] { ran.push_back("common"); });
    loop->performInModes({ NSDefaultRunLoopMode }, [&] { ran.push_back("default-2"); });

    loop->runInMode(NSDefaultRunLoopMode, 0, false);
    EXPECT_EQ(ran, (std::vector<std::string> { "default-1", "common", "default-2" }));
    EXPECT_TRUE(loop->hasSourcesInMode(UITrackingRunLoopMode));
    loop->runInMode(UITrackingRunLoopMode, 0, false);
    EXPECT_EQ(ran.back(), "tracking");
    // Running the common pseudo-mode itself runs nothing.
    EXPECT_EQ(loop->runInMode(NSRunLoopCommonModes, 0, false), threading::RunResult::Finished);
}

TEST(RunLoop, EmptyModeReturnsAtOnceAndAPortKeepsItAlive)
{
    auto thread = NSThread::create();
    auto loop = thread->runLoop();
    EXPECT_FALSE(loop->runModeBeforeDate(NSDefaultRunLoopMode, threading::dateAfter(10)));
    auto port = NSPort::port();
    loop->addPort(port, NSDefaultRunLoopMode);
    EXPECT_TRUE(loop->hasSourcesInMode(NSDefaultRunLoopMode));
    EXPECT_FALSE(loop->hasSourcesInMode(UITrackingRunLoopMode));
    loop->removePort(port, NSDefaultRunLoopMode);
    EXPECT_FALSE(loop->hasSourcesInMode(NSDefaultRunLoopMode));
}

TEST(RunLoop, NamedNetworkThreadRunsPerformsInOrderWithAndWithoutWaiting)
{
    auto thread = startLoopThread("NKNetworking.thread.with.a.long.name");
    std::mutex mutex;
    std::vector<int> seen;
    std::atomic<bool> onThread { true };
    for (int i = 0; i < 100; ++i) {
        threading::performOnThread(thread, [&, i] {
            onThread = onThread && NSThread::currentThread() == thread && !NSThread::isMainThread();
            std::lock_guard lock(mutex);
            seen.push_back(i);
        }, i % 10 == 9);
    }
    std::lock_guard lock(mutex);
    ASSERT_EQ(seen.size(), 100u) << "the last perform waited, so all before it ran";
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(seen[i], i);
    EXPECT_TRUE(onThread);
    EXPECT_EQ(thread->name(), "NKNetworking.thread.with.a.long.name");
}

TEST(RunLoop, MainThreadPerformsRunWhileTheTestPumps)
{
    threading::becomeMainThread();
    std::atomic<bool> ranOnMain { false };
    NSThread::detachNewThreadWithBlock(
        [&] { threading::performOnMainThread([&] { ranOnMain = NSThread::isMainThread(); }, false); });
    EXPECT_TRUE(runUntil([&] { return ranOnMain.load(); }));
}

TEST(RunLoop, WaitingPerformOnAnEndedThreadDoesNotHang)
{
    auto thread = NSThread::create([] {});
    thread->start();
    ASSERT_TRUE(runUntil([&] { return thread->isFinished(); }));
    bool ran = false;
    threading::performOnThread(thread, [&] { ran = true; }, true);
    EXPECT_FALSE(ran);
}

TEST(RunLoop, ReadInterestStaysArmedAndWriteInterestFiresOnce)
{
    Pipe pipe;
    auto loop = NSRunLoop::currentRunLoop();
    std::string received;
    int writable = 0;
    auto source = threading::FileDescriptorSource::create(
        pipe.fds[0],
        [&] {
            char buffer[64];
            ssize_t n = read(pipe.fds[0], buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, static_cast<std::size_t>(n));
        },
        [&] { ++writable; });
    loop->addSource(source, NSDefaultRunLoopMode);

    source->enableWriteOnce();
    loop->runInMode(NSDefaultRunLoopMode, 0.5, true);
    loop->runInMode(NSDefaultRunLoopMode, 0.05, true); // still writable, but not re-armed
    EXPECT_EQ(writable, 1);
    EXPECT_FALSE(source->isWriteArmed());

    for (const char* chunk : { "ab", "cd" }) {
        ASSERT_EQ(write(pipe.fds[1], chunk, 2), 2);
        EXPECT_EQ(loop->runInMode(NSDefaultRunLoopMode, 5, true), threading::RunResult::HandledSource);
    }
    EXPECT_EQ(received, "abcd");

    // A source is not served in a mode it was not added for.
    ASSERT_EQ(write(pipe.fds[1], "x", 1), 1);
    loop->addPort(NSPort::port(), UITrackingRunLoopMode);
    EXPECT_EQ(loop->runInMode(UITrackingRunLoopMode, 0.05, true), threading::RunResult::TimedOut);
    EXPECT_EQ(received, "abcd");

    source->invalidate();
    loop->runInMode(NSDefaultRunLoopMode, 0.05, true);
    EXPECT_EQ(received, "abcd") << "an invalidated source is not called";
}

TEST(RunLoop, WakesFromOtherThreadsAreNeverLostWhateverThePassIsDoing)
{
    // A wake that lands while the loop is between passes (not yet waiting) marks the next wait
    // instead of writing to the loop: a lost mark leaves the loop asleep with work queued. Many
    // round trips, each alone in the loop, so that wakes land at every point of a pass.
    auto thread = startLoopThread("WakeRaces");
    std::shared_ptr<NSRunLoop> loop;
    threading::performOnThread(thread, [&] { loop = NSRunLoop::currentRunLoop(); }, true);
    std::atomic<int> ran { 0 };
    for (int i = 1; i <= 5000; ++i) {
        if (i % 2)
            loop->performBlock([&] { ran.fetch_add(1); ran.notify_all(); });
        else
            threading::performOnThread(thread, [&] { ran.fetch_add(1); ran.notify_all(); }, false);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (ran.load() < i && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_EQ(ran.load(), i) << "the loop slept through a wake at round trip " << i;
    }
    loop->stop();
}

TEST(RunLoop, StopEndsTheInnermostRunFromAnyThread)
{
    auto loop = NSRunLoop::currentRunLoop();
    loop->addPort(NSPort::port(), NSDefaultRunLoopMode);
    NSThread::detachNewThreadWithBlock([loop] { loop->stop(); });
    loop->runUntilStopped();

    // A stop while not running ends the next run at once.
    loop->stop();
    EXPECT_EQ(loop->runInMode(NSDefaultRunLoopMode, 10, false), threading::RunResult::Stopped);
}

// The push client's synchronizer: a callback waits, in a nested run of its own loop, for a
// result that another callback of the same loop delivers.
TEST(RunLoop, NestedWaitInsideACallbackSeesLaterCallbacks)
{
    auto loop = NSRunLoop::currentRunLoop();
    auto worker = startLoopThread("worker");
    std::vector<std::string> events;
    bool outerDone = false;
    loop->performBlock([&] {
        events.push_back("outer begins");
        int state = 1;
        threading::performOnThread(worker, [&] {
            loop->performBlock([&] {
                events.push_back("result arrives");
                state = 2;
            });
        }, false);
        while (state == 1)
            loop->runUntilDate(threading::dateAfter(0.1));
        events.push_back("outer ends");
        outerDone = true;
    });
    ASSERT_EQ(loop->runInMode(NSDefaultRunLoopMode, 10, true), threading::RunResult::HandledSource);
    EXPECT_TRUE(outerDone);
    EXPECT_EQ(events, (std::vector<std::string> { "outer begins", "result arrives", "outer ends" }));
}

TEST(RunLoop, SourceCallbackIsNotReenteredByANestedRun)
{
    Pipe pipe;
    auto loop = NSRunLoop::currentRunLoop();
    int depth = 0;
    int maxDepth = 0;
    int calls = 0;
    auto source = threading::FileDescriptorSource::create(pipe.fds[0], [&] {
        ++calls;
        maxDepth = std::max(maxDepth, ++depth);
        // Data still unread: a nested run must not call us again.
        loop->runInMode(NSDefaultRunLoopMode, 0.02, false);
        char buffer[8];
        [[maybe_unused]] ssize_t n = read(pipe.fds[0], buffer, sizeof buffer);
        --depth;
    }, nullptr);
    loop->addSource(source, NSDefaultRunLoopMode);
    ASSERT_EQ(write(pipe.fds[1], "z", 1), 1);
    loop->runInMode(NSDefaultRunLoopMode, 5, true);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(maxDepth, 1);
    source->invalidate();
}

TEST(RunLoop, LoopDroppedWithPendingWorkReleasesItQuietly)
{
    auto token = std::make_shared<int>(7);
    std::weak_ptr<int> weak = token;
    {
        auto thread = NSThread::create();
        auto loop = thread->runLoop();
        loop->performBlock([token] {});
        auto timer = NSTimer::timerWithTimeInterval(100, true, [token](const std::shared_ptr<NSTimer>&) {});
        loop->addTimer(timer, NSDefaultRunLoopMode);
        token.reset();
        EXPECT_FALSE(weak.expired());
        thread.reset();
        loop.reset();
        EXPECT_FALSE(timer->isValid()) << "a timer dies with its loop";
    }
    EXPECT_TRUE(weak.expired());
}

TEST(RunLoop, ThreadExitEndsTheThreadFromInsideItsLoop)
{
    auto thread = startLoopThread("short-lived");
    threading::performOnThread(thread, [] { NSThread::exit(); }, false);
    EXPECT_TRUE(runUntil([&] { return thread->isFinished(); }));
    EXPECT_GT(thread->systemThreadID(), 0);
}

TEST(RunLoop, WorkQueuedByTheLoopsOwnThreadRunsInTheNextWait)
{
    // A perform, a main-queue block and a thread perform queued from inside a run of the loop
    // itself: each must end a later wait for "one source" at once rather than sleep to the date.
    threading::becomeMainThread();
    auto loop = NSRunLoop::mainRunLoop();
    std::vector<std::string> ran;
    using Queue = std::function<void(std::function<void()>)>;
    std::vector<std::pair<std::string, Queue>> ways {
        { "perform", [&](std::function<void()> block) { loop->performBlock(std::move(block)); } },
        { "main queue", [](std::function<void()> block) { dispatch_async(dispatch_get_main_queue(), std::move(block)); } },
        { "thread perform",
            [](std::function<void()> block) { threading::performOnThread(NSThread::mainThread(), std::move(block), false); } },
    };
    for (auto& [name, queue] : ways) {
        loop->performBlock([&, name = name, queue = queue] {
            EXPECT_TRUE(loop->isRunningOnCurrentThread());
            queue([&ran, name] { ran.push_back(name); });
        });
        // A run that handled something returns; an hour is "never" for this test.
        ASSERT_EQ(loop->runInMode(NSDefaultRunLoopMode, 3600, true), threading::RunResult::HandledSource);
        if (ran.empty() || ran.back() != name) { // not already run later in the same pass
            ASSERT_EQ(loop->runInMode(NSDefaultRunLoopMode, 3600, true), threading::RunResult::HandledSource) << name;
        }
        ASSERT_FALSE(ran.empty());
        EXPECT_EQ(ran.back(), name);
    }
    EXPECT_FALSE(loop->isRunningOnCurrentThread());
}

TEST(RunLoop, TimersSourcesAndPortsChangedByTheLoopsOwnThreadCountInTheNextWait)
{
    // Changed from inside a run of the loop itself, they wake nobody: the loop must look at them
    // again before it waits, or each run below would sleep for the hour.
    threading::becomeMainThread();
    auto loop = NSRunLoop::mainRunLoop();
    const NSRunLoopMode mode = "OwnThreadChanges";
    Pipe pipe;
    ASSERT_EQ(write(pipe.fds[1], "x", 1), 1);
    bool read = false;
    auto source = threading::FileDescriptorSource::create(pipe.fds[0], [&] { read = true; }, nullptr);
    source->setReadEnabled(false);
    auto keepAlive = NSPort::port();
    struct Case {
        const char* change;
        std::function<void()> make;
        threading::RunResult result;
    };
    std::vector<Case> cases {
        { "timer added",
            [&] {
                loop->addTimer(NSTimer::timerWithTimeInterval(0.05, false, [&](auto&) { loop->stop(); }), mode);
            },
            threading::RunResult::Stopped },
        { "read interest enabled", [&] { source->setReadEnabled(true); }, threading::RunResult::HandledSource },
        { "last port removed", [&] { loop->removePort(keepAlive, mode); }, threading::RunResult::Finished },
    };
    loop->addSource(source, mode);
    loop->addPort(keepAlive, mode);
    for (auto& c : cases) {
        loop->performInModes({ mode }, [&] { c.make(); });
        auto result = loop->runInMode(mode, 3600, c.result == threading::RunResult::HandledSource);
        if (result == threading::RunResult::HandledSource && c.result != result) // the perform itself
            result = loop->runInMode(mode, 3600, c.result == threading::RunResult::HandledSource);
        if (c.result == threading::RunResult::HandledSource && !read)
            result = loop->runInMode(mode, 3600, true);
        EXPECT_EQ(result, c.result) << c.change;
        if (c.result == threading::RunResult::HandledSource) {
            EXPECT_TRUE(read);
            source->invalidate();
        }
    }
}

namespace {

bool waitForCount(const std::atomic<int>& counter, int value)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (counter.load() < value && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return counter.load() == value;
}

} // namespace

TEST(RunLoop, InterestChangedFromAnotherThreadIsArmedAndQuietedAtOnce)
{
    // The descriptor stays readable and writable throughout, so only the interest decides what
    // is called: each change must wake the waiting loop and reach epoll before it waits again.
    Pipe pipe;
    ASSERT_EQ(write(pipe.fds[1], "x", 1), 1); // never read
    auto thread = startLoopThread("InterestChanges");
    std::atomic<int> reads { 0 };
    std::atomic<int> writes { 0 };
    std::shared_ptr<threading::FileDescriptorSource> source;
    source = threading::FileDescriptorSource::create(
        pipe.fds[0],
        [&] {
            source->setReadEnabled(false); // quieted by its own callback
            reads.fetch_add(1);
        },
        [&] { writes.fetch_add(1); });
    source->setReadEnabled(false);
    threading::performOnThread(thread, [&] { NSRunLoop::currentRunLoop()->addSource(source, NSDefaultRunLoopMode); }, true);
    for (int round = 1; round <= 3; ++round) {
        source->enableWriteOnce();
        ASSERT_TRUE(waitForCount(writes, round)) << "write interest not armed, round " << round;
        source->setReadEnabled(true);
        ASSERT_TRUE(waitForCount(reads, round)) << "read interest not armed, round " << round;
    }
    threading::performOnThread(thread, [] {}, true); // at least one more pass
    EXPECT_EQ(reads.load(), 3) << "a quieted source was called again";
    EXPECT_EQ(writes.load(), 3) << "a one-shot write interest was called again";
    source->invalidate();
}

TEST(RunLoop, SourcesFollowModeSwitchesAndModesAddedOrRemoved)
{
    auto loop = NSRunLoop::currentRunLoop();
    const NSRunLoopMode modeA = "SwitchA";
    const NSRunLoopMode modeB = "SwitchB";
    Pipe pipeA;
    Pipe pipeB;
    auto reader = [](int fd, int& count) {
        return [fd, &count] {
            char buffer[16];
            while (read(fd, buffer, sizeof buffer) > 0) {
            }
            ++count;
        };
    };
    int readsA = 0;
    int readsB = 0;
    auto sourceA = threading::FileDescriptorSource::create(pipeA.fds[0], reader(pipeA.fds[0], readsA), nullptr);
    auto sourceB = threading::FileDescriptorSource::create(pipeB.fds[0], reader(pipeB.fds[0], readsB), nullptr);
    loop->addSource(sourceA, modeA);
    loop->addSource(sourceB, modeB);
    loop->addPort(NSPort::port(), modeA);
    auto writeBoth = [&] {
        ASSERT_EQ(write(pipeA.fds[1], "a", 1), 1);
        ASSERT_EQ(write(pipeB.fds[1], "b", 1), 1);
    };

    writeBoth();
    EXPECT_EQ(loop->runInMode(modeA, 5, true), threading::RunResult::HandledSource);
    EXPECT_EQ(loop->runInMode(modeB, 5, true), threading::RunResult::HandledSource);
    writeBoth();
    EXPECT_EQ(loop->runInMode(modeB, 5, true), threading::RunResult::HandledSource);
    EXPECT_EQ(loop->runInMode(modeA, 5, true), threading::RunResult::HandledSource);
    EXPECT_EQ(readsA, 2);
    EXPECT_EQ(readsB, 2);

    // Added to the mode the loop last ran in, B is served there; removed again, it is not.
    loop->addSource(sourceB, modeA);
    ASSERT_EQ(write(pipeB.fds[1], "b", 1), 1);
    EXPECT_EQ(loop->runInMode(modeA, 5, true), threading::RunResult::HandledSource);
    EXPECT_EQ(readsB, 3);
    loop->removeSource(sourceB, modeA);
    ASSERT_EQ(write(pipeB.fds[1], "b", 1), 1);
    EXPECT_EQ(loop->runInModeForRealSeconds(modeA, 0.02, true), threading::RunResult::TimedOut);
    EXPECT_EQ(readsB, 3);
    EXPECT_EQ(loop->runInMode(modeB, 5, true), threading::RunResult::HandledSource);
    EXPECT_EQ(readsB, 4);
    EXPECT_EQ(readsA, 2);
    sourceA->invalidate();
    sourceB->invalidate();
}
