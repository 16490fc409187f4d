// The push connection's TCP socket against the fake push server on loopback: connecting,
// sending, stream reassembly however the bytes arrive, hostile lengths, closes from either
// side, and a peer that stops reading. Then the run-loop threads: the alive thread under its
// full name, work posted to it, closing it, the registry, and a connection carried on it.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <future>

#include "push/Network/PUSHReceivedPacket.h"
#include "push/Network/PUSHTcpSocket.h"
#include "push/Network/PUSHThread.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"
#include "testing/push/PushTestSupport.h"
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

struct Recorder : PUSHTcpSocketDelegate {
    int setups = 0, closes = 0, failures = 0, queueEmpty = 0;
    std::vector<std::shared_ptr<PUSHReceivedPacketController>> elements;
    std::vector<Bytes> sent;
    std::function<void(const std::shared_ptr<PUSHTcpSocket>&)> onElement;

    void connectionDidSetup(const std::shared_ptr<PUSHTcpSocket>&) override { ++setups; }
    void connectionDidClose(const std::shared_ptr<PUSHTcpSocket>&) override { ++closes; }
    void connectionDidFailed() override { ++failures; }
    void connectionDidReceiveElement(
        const std::shared_ptr<PUSHTcpSocket>& socket, const std::shared_ptr<PUSHReceivedPacketController>& element) override
    {
        elements.push_back(element);
        if (onElement)
            onElement(socket);
    }
    void connectionDidSendData(const std::shared_ptr<PUSHTcpSocket>&, const Bytes& data) override { sent.push_back(data); }
    void connectionSendQueueEmpty(const std::shared_ptr<PUSHTcpSocket>&) override { ++queueEmpty; }
};

Bytes joined(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// An outgoing packet of `total` bytes: the 24-byte header and filler.
Bytes clientPacket(std::uint8_t command, std::uint64_t rid, std::size_t total = 24)
{
    Bytes bytes { static_cast<std::uint8_t>(total >> 8), static_cast<std::uint8_t>(total), 3, command };
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<std::uint8_t>(rid >> shift));
    bytes.resize(24, 0); // a zero session id and uid
    bytes.resize(total, 0x5A);
    return bytes;
}

class TcpSocket : public ::testing::Test {
protected:
    pushserver::PushServer server;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<PUSHTcpSocket> socket;

    // A new socket with a fresh recorder, connected to the server.
    void connect()
    {
        recorder = std::make_shared<Recorder>();
        const std::size_t accepted = server.acceptedCount();
        socket = PUSHTcpSocket::initWithHost("127.0.0.1", server.port(), recorder);
        ASSERT_TRUE(socket->setup());
        ASSERT_TRUE(runUntil([&] { return recorder->setups == 1 && server.acceptedCount() == accepted + 1; }));
        ASSERT_TRUE(socket->isConnected());
    }
    std::shared_ptr<PUSHAck> ackAt(std::size_t index)
    {
        return index < recorder->elements.size() ? std::dynamic_pointer_cast<PUSHAck>(recorder->elements[index]) : nullptr;
    }
};

} // namespace

TEST_F(TcpSocket, ConnectsSendsInOrderAndReportsEachPacketSent)
{
    connect();
    EXPECT_EQ(socket->connectionState(), PUSHTcpConnected);
    EXPECT_EQ(socket->localAddress(), "127.0.0.1");
    EXPECT_EQ(socket->remoteAddress(), "127.0.0.1");

    ASSERT_TRUE(socket->sendData(clientPacket(2, 11)));
    ASSERT_TRUE(socket->sendData(clientPacket(13, 13, 300)));
    ASSERT_TRUE(runUntil([&] { return server.frames().size() == 2 && recorder->sent.size() == 2; }));
    EXPECT_EQ(server.frames()[1].bytes, clientPacket(13, 13, 300));
    EXPECT_EQ(recorder->sent[1], clientPacket(13, 13, 300));
    ASSERT_TRUE(runUntil([&] { return recorder->queueEmpty >= 1; }));
    EXPECT_EQ(socket->sendQueueCount(), 0u);
}

TEST_F(TcpSocket, RefusesDataUntilTheConnectEventAndAfterClose)
{
    auto idle = PUSHTcpSocket::initWithHost("127.0.0.1", server.port(), recorder);
    EXPECT_FALSE(idle->sendData(clientPacket(2, 1)));

    socket = PUSHTcpSocket::initWithHost("127.0.0.1", server.port(), recorder);
    ASSERT_TRUE(socket->setup());
    EXPECT_EQ(socket->connectionState(), PUSHTcpConnecting);
    EXPECT_TRUE(socket->setup()); // already under way
    EXPECT_FALSE(socket->sendData(clientPacket(2, 1)));
    EXPECT_EQ(socket->sendQueueCount(), 0u);

    ASSERT_TRUE(runUntil([&] { return recorder->setups == 1; }));
    socket->close();
    EXPECT_EQ(socket->connectionState(), PUSHTcpIdle);
    EXPECT_FALSE(socket->sendData(clientPacket(2, 2)));
    EXPECT_FALSE(socket->localAddress());
    ASSERT_TRUE(runUntil([&] { return recorder->closes == 1 && server.clientClosedCount() == 1; }));
    EXPECT_TRUE(server.frames().empty());
}

TEST_F(TcpSocket, ReassemblesCoalescedAndByteSplitPackets)
{
    connect();
    ASSERT_TRUE(server.send(joined({ pushserver::packets::ack(5, 9, 2, 0, 0, 1000), pushserver::packets::ack(6, 9, 10, 1, 2, 2000) })));
    ASSERT_TRUE(runUntil([&] { return recorder->elements.size() == 2; }));
    ASSERT_TRUE(ackAt(0) && ackAt(1));
    EXPECT_EQ(ackAt(0)->rid(), 5u);
    EXPECT_EQ(ackAt(1)->rid(), 6u);
    EXPECT_EQ(ackAt(1)->reqCmd(), 10);
    EXPECT_EQ(ackAt(1)->timestamp(), 2000u);

    // A message sent a byte at a time arrives once and whole.
    const Bytes message = pushserver::packets::message(1, 40, 9, 1, 0xABCDEF, "{\"message\":\"hello\"}");
    for (std::uint8_t byte : message)
        ASSERT_TRUE(server.send(Bytes { byte }));
    ASSERT_TRUE(runUntil([&] { return recorder->elements.size() == 3; }));
    auto received = std::dynamic_pointer_cast<PUSHMessageDispatchController>(recorder->elements[2]);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->recv_uniqueID(), 0xABCDEFu);
    EXPECT_EQ(received->recv_messageContent(), "{\"message\":\"hello\"}");
    EXPECT_TRUE(socket->isConnected());
}

TEST_F(TcpSocket, LargestPacketsPassWholeBothWays)
{
    connect();
    const std::string content(65535 - 20 - 1 - 8 - 2, 'x');
    ASSERT_TRUE(server.pushMessage(1, 1, content));
    ASSERT_TRUE(runUntil([&] { return recorder->elements.size() == 1; }));
    auto received = std::dynamic_pointer_cast<PUSHMessageDispatchController>(recorder->elements[0]);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->recv_messageContent().size(), content.size());

    ASSERT_TRUE(socket->sendData(clientPacket(10, 3, 7167)));
    ASSERT_TRUE(runUntil([&] { return server.frames().size() == 1; }));
    EXPECT_EQ(server.frames()[0].bytes, clientPacket(10, 3, 7167));
}

TEST_F(TcpSocket, ShortPacketsAreDeliveredAndOnlyALengthOfZeroCloses)
{
    connect();
    // Below six bytes nothing is built; a bare header is a packet with zero fields; a reply cut
    // before its status word reads as status 0. None of them loses the stream.
    ASSERT_TRUE(server.send(joined({ Bytes { 0, 5, 1, 19, 0 }, Bytes { 0, 19, 1, 19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 },
        pushserver::packets::raw(1, 1, 3, 9, {}), pushserver::packets::ack(7, 9, 2, 0, 0, 5) })));
    ASSERT_TRUE(runUntil([&] { return recorder->elements.size() == 3; }));
    EXPECT_TRUE(ackAt(0) && ackAt(0)->uid() == 0 && ackAt(0)->timestamp() == 0);
    auto login = std::dynamic_pointer_cast<PUSHLoginResponse>(recorder->elements[1]);
    EXPECT_TRUE(login && login->rid() == 3 && login->statusCode() == 0 && login->sessionID() == 0);
    EXPECT_TRUE(ackAt(2) && ackAt(2)->rid() == 7);
    EXPECT_TRUE(socket->isConnected());
    EXPECT_EQ(recorder->closes, 0);

    ASSERT_TRUE(server.send(Bytes { 0, 0, 1, 19 }));
    ASSERT_TRUE(runUntil([&] { return recorder->closes == 1; }));
    EXPECT_FALSE(socket->isConnected());
    EXPECT_EQ(recorder->elements.size(), 3u);
}

TEST_F(TcpSocket, UnknownAndIgnoredCommandsAreSkippedWithoutLosingTheStream)
{
    connect();
    // An ignored command, a heartbeat echo (unknown), then an acknowledgement.
    ASSERT_TRUE(server.send(joined({ pushserver::packets::raw(1, 100, 1, 9, { 1, 2, 3 }), pushserver::packets::raw(1, 2, 2, 9, {}),
        pushserver::packets::ack(7, 9, 2, 0, 0, 5) })));
    ASSERT_TRUE(runUntil([&] { return recorder->elements.size() == 1; }));
    ASSERT_TRUE(ackAt(0));
    EXPECT_EQ(ackAt(0)->rid(), 7u);
    EXPECT_TRUE(socket->isConnected());
}

TEST_F(TcpSocket, PeerCloseAndResetAreReportedOnce)
{
    for (auto how : { pushserver::Drop::Fin, pushserver::Drop::Reset }) {
        connect();
        ASSERT_TRUE(server.drop(how));
        ASSERT_TRUE(runUntil([&] { return recorder->closes == 1; }));
        EXPECT_EQ(socket->connectionState(), PUSHTcpIdle);
        EXPECT_EQ(recorder->failures, 0);
    }
}

TEST_F(TcpSocket, ResetWhileSendingIsReportedAsAClose)
{
    connect();
    ASSERT_TRUE(server.drop(pushserver::Drop::Reset));
    ASSERT_TRUE(runUntil([&] { return server.openConnectionCount() == 0; }));
    // Keep sending until the socket notices the reset; no send may raise SIGPIPE meanwhile.
    ASSERT_TRUE(runUntil([&] {
        if (socket->isConnected())
            socket->sendData(clientPacket(2, 1));
        return recorder->closes == 1;
    }));
    EXPECT_FALSE(socket->isConnected());
}

TEST_F(TcpSocket, CloseInsideTheDelegateStopsDeliveryOfTheRestOfTheRead)
{
    connect();
    recorder->onElement = [](const std::shared_ptr<PUSHTcpSocket>& s) { s->close(); };
    ASSERT_TRUE(server.send(joined({ pushserver::packets::ack(1, 9, 2, 0, 0, 0), pushserver::packets::ack(2, 9, 2, 0, 0, 0) })));
    ASSERT_TRUE(runUntil([&] { return recorder->closes == 1; }));
    EXPECT_EQ(recorder->elements.size(), 1u);
}

TEST_F(TcpSocket, RefusedPortFailsTheSetupOrTheConnectEvent)
{
    std::uint16_t refused = 0;
    {
        pushserver::PushServer stopped; // its port refuses connects once it is gone
        refused = stopped.port();
    }
    socket = PUSHTcpSocket::initWithHost("127.0.0.1", refused, recorder);
    if (socket->setup()) {
        ASSERT_TRUE(runUntil([&] { return recorder->failures == 1 && recorder->closes == 1; }));
    }
    EXPECT_FALSE(socket->isConnected());
    EXPECT_EQ(recorder->setups, 0);

    auto nowhere = PUSHTcpSocket::initWithHost("not an address", 80, recorder);
    EXPECT_FALSE(nowhere->setup());
    EXPECT_FALSE(nowhere->isSetuped());
}

TEST_F(TcpSocket, ConnectToAnAddressThatNeverAnswersIsGivenUpAfterFiveSeconds)
{
    testing_support::VirtualTime clock;
    push_test_support::UnansweringAddress silent;
    socket = PUSHTcpSocket::initWithHost("127.0.0.1", silent.port(), recorder);
    ASSERT_TRUE(socket->setup());
    EXPECT_EQ(socket->connectionState(), PUSHTcpConnecting);
    clock.advance(PUSHTcpSocket::kConnectTimeout - 0.5);
    testing_support::settle(0.2);
    EXPECT_EQ(socket->connectionState(), PUSHTcpConnecting);
    clock.advance(0.5);
    ASSERT_TRUE(runUntil([&] { return recorder->closes == 1; }));
    EXPECT_FALSE(socket->isSetuped());
    EXPECT_EQ(recorder->setups, 0);
}

TEST_F(TcpSocket, FullSendBufferWaitsInsteadOfClosing)
{
    server.setReading(false);
    connect();
    // Far more than both kernels buffer while the server does not read, in buffers larger
    // than the kernel takes at once, so most of them go out in several parts.
    const int count = 400, perBuffer = 20;
    for (int i = 0; i < count; i += perBuffer) {
        Bytes buffer;
        for (int j = i; j < i + perBuffer; ++j) {
            const Bytes packet = clientPacket(10, static_cast<std::uint64_t>(2 * j + 1), 7000);
            buffer.insert(buffer.end(), packet.begin(), packet.end());
        }
        ASSERT_TRUE(socket->sendData(buffer));
    }
    // Send until the kernel takes no more: then nothing is left to do but wait.
    ASSERT_TRUE(testing_support::settle(20));
    EXPECT_GT(socket->sendQueueCount(), 0u);
    EXPECT_LT(socket->sendQueueCount(), static_cast<std::size_t>(count / perBuffer));
    EXPECT_TRUE(socket->isConnected());
    server.setReading(true);
    ASSERT_TRUE(runUntil([&] { return server.frames().size() == static_cast<std::size_t>(count); }, 20));
    auto frames = server.frames();
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(frames[static_cast<std::size_t>(i)].rid, static_cast<std::uint64_t>(2 * i + 1));
    EXPECT_TRUE(socket->isConnected());
    EXPECT_EQ(recorder->closes, 0);
}

TEST(PUSHThread, AliveThreadKeepsItsNameAndStaysUpWithNothingScheduled)
{
    auto thread = PUSHThread::builder(PUSHThreadAliveMode)->setThreadName(kPushThreadName)->build();
    auto seen = onThread<std::string>(thread, [] {
        char kernel[16] = {};
        pthread_getname_np(pthread_self(), kernel, sizeof kernel);
        return NSThread::currentThread()->name() + "|" + kernel;
    });
    ASSERT_TRUE(seen);
    // The kernel keeps 15 bytes of the name; the thread object keeps all of it.
    EXPECT_EQ(*seen, std::string(kPushThreadName) + "|" + std::string(kPushThreadName).substr(0, 15));

    // With nothing scheduled in between, later work still runs.
    ASSERT_TRUE(onThread<bool>(thread, [] { return true; }));
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

TEST_F(TcpSocket, CarriedOnAPushThreadItsSetupDelegateCallsAndPacketsStayOnIt)
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
    auto thread = PUSHThread::builder(PUSHThreadAliveMode)->setThreadName(kPushThreadName)->build();
    auto delegate = std::make_shared<OnThread>();
    delegate->thread = thread;
    thread->invokeBlock([this, delegate] {
        socket = PUSHTcpSocket::initWithHost("127.0.0.1", server.port(), delegate);
        socket->setup();
    });
    ASSERT_TRUE(runUntil([&] { return delegate->setups == 1 && server.openConnectionCount() == 1; }));
    ASSERT_TRUE(server.pushMessage(1, 77, "{}"));
    ASSERT_TRUE(runUntil([&] { return delegate->messages == 1; }));
    EXPECT_EQ(delegate->offThread, 0);
    ASSERT_TRUE(onThread<bool>(thread, [this] {
        socket->close();
        socket.reset();
        return true;
    }));
    thread->closeMySelf();
    ASSERT_TRUE(runUntil([&] { return thread->isFinished(); }));
}
