// The push client's run-loop threads: the alive thread under its full name, work posted to it,
// closing it, the registry, and a connection carried on the thread.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <future>

#include "push/Network/PUSHReceivedPacket.h"
#include "push/Network/PUSHTcpSocket.h"
#include "push/Network/PUSHThread.h"
#include "testing/RunLoopPump.h"
#include "tools/pushserver/PushServer.h"

using testing_support::runUntil;

namespace {

constexpr const char* kPushThreadName = "org.brovik.push.thread";

// Runs `block` on the thread and waits (bounded) for its result.
template <class R>
std::optional<R> onThread(const std::shared_ptr<PUSHThread>& thread, std::function<R()> block)
{
    auto promise = std::make_shared<std::promise<R>>();
    auto future = promise->get_future();
    thread->invokeBlock([promise, block] { promise->set_value(block()); });
    if (future.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
        return std::nullopt;
    return future.get();
}

std::string kernelName()
{
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

} // namespace

TEST(PUSHThread, AliveThreadKeepsItsNameAndStaysUpWithNothingScheduled)
{
    auto thread = PUSHThread::builder(PUSHThreadAliveMode)->setThreadName(kPushThreadName)->build();
    EXPECT_EQ(thread->name(), kPushThreadName);
    EXPECT_EQ(thread->threadName(), kPushThreadName);
    auto seen = onThread<std::string>(thread, [] { return NSThread::currentThread()->name() + "|" + kernelName(); });
    ASSERT_TRUE(seen);
    // The kernel keeps 15 bytes of the name; the thread object keeps all of it.
    EXPECT_EQ(*seen, std::string(kPushThreadName) + "|" + std::string(kPushThreadName).substr(0, 15));

    // With nothing scheduled in between, later work still runs.
    auto again = onThread<bool>(thread, [] { return true; });
    ASSERT_TRUE(again);
    EXPECT_TRUE(thread->isExecuting());

    thread->closeMySelf();
    ASSERT_TRUE(runUntil([&] { return thread->isFinished(); }));
}

TEST(PUSHThread, CloseInsideANestedRunStillEndsTheThread)
{
    auto thread = PUSHThread::builder(PUSHThreadAliveMode)->setThreadName("nested.close")->build();
    thread->invokeBlock([thread] {
        thread->closeMySelf();
        // A wait inside a callback, as sockets and look-ups do: the close arrives in here.
        NSRunLoop::currentRunLoop()->runInMode(NSDefaultRunLoopMode, 5, true);
    });
    ASSERT_TRUE(runUntil([&] { return thread->isFinished(); }, 10));
}

TEST(PUSHThreadController, RegistersNamedThreadsOnlyAndClosesOnDelete)
{
    auto controller = std::make_shared<PUSHThreadController>();
    EXPECT_FALSE(controller->addThread(PUSHThread::initWithRunLoopMode(PUSHThreadAliveMode))); // unnamed
    EXPECT_FALSE(controller->addThread(nullptr));
    EXPECT_FALSE(controller->getThreadWithName(""));

    auto thread = PUSHThread::builder(PUSHThreadAliveMode)->setThreadName("registry.test")->build();
    ASSERT_TRUE(controller->addThread(thread));
    EXPECT_EQ(controller->getThreadWithName("registry.test"), thread);
    EXPECT_FALSE(controller->deleteThread("no.such.thread"));
    EXPECT_TRUE(controller->deleteThread("registry.test"));
    EXPECT_FALSE(controller->getThreadWithName("registry.test"));
    ASSERT_TRUE(runUntil([&] { return thread->isFinished(); }));
}

// The push thread carries the connection: setup, delegate calls and received packets all on it.
TEST(PUSHThread, CarriesATcpConnectionOnItsRunLoop)
{
    struct OnThread : PUSHTcpSocketDelegate {
        std::atomic<int> setups { 0 }, messages { 0 }, offThread { 0 };
        std::shared_ptr<PUSHThread> thread;
        void check()
        {
            if (NSThread::currentThread() != thread)
                ++offThread;
        }
        void connectionDidSetup(const std::shared_ptr<PUSHTcpSocket>&) override { check(); ++setups; }
        void connectionDidReceiveElement(
            const std::shared_ptr<PUSHTcpSocket>&, const std::shared_ptr<PUSHReceivedPacketController>&) override
        {
            check();
            ++messages;
        }
    };
    pushserver::PushServer server;
    auto thread = PUSHThread::builder(PUSHThreadAliveMode)->setThreadName(kPushThreadName)->build();
    auto delegate = std::make_shared<OnThread>();
    delegate->thread = thread;
    std::shared_ptr<PUSHTcpSocket> socket;
    thread->invokeBlock([&socket, delegate, port = server.port()] {
        socket = PUSHTcpSocket::initWithHost("127.0.0.1", port, delegate);
        socket->setup();
    });
    ASSERT_TRUE(runUntil([&] { return delegate->setups == 1 && server.openConnectionCount() == 1; }));
    ASSERT_TRUE(server.pushMessage(1, 77, "{}"));
    ASSERT_TRUE(runUntil([&] { return delegate->messages == 1; }));
    EXPECT_EQ(delegate->offThread, 0);
    auto closed = onThread<bool>(thread, [&socket] {
        socket->close();
        socket.reset();
        return true;
    });
    ASSERT_TRUE(closed);
    thread->closeMySelf();
    ASSERT_TRUE(runUntil([&] { return thread->isFinished(); }));
}
