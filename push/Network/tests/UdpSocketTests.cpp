// The push client's datagram socket against the fake address service on loopback: sending to
// an address and to a connected peer, replies, replies from a stranger, and closing.
#include <gtest/gtest.h>

#include "push/Network/PUSHAddressMessages.h"
#include "push/Network/PUSHUdpSocket.h"
#include "testing/RunLoopPump.h"
#include "tools/pushserver/AddressService.h"

using testing_support::runUntil;

namespace {

struct UdpRecorder : PUSHUdpSocketDelegate {
    std::vector<Bytes> sent, notSent, received;
    std::vector<std::shared_ptr<NSError>> errors;
    void didSendDataAtUdpSocket(const Bytes& data, const std::shared_ptr<PUSHUdpSocket>&) override { sent.push_back(data); }
    void didNotSendDataAtUdpSocket(const Bytes& data, const std::shared_ptr<PUSHUdpSocket>&) override { notSent.push_back(data); }
    void didReceivedDataAtUdpSocket(const Bytes& data, const std::shared_ptr<PUSHUdpSocket>&) override { received.push_back(data); }
    void didNotReceivedDataAtUdpSocketWithError(const std::shared_ptr<PUSHUdpSocket>&, const std::shared_ptr<NSError>& e) override
    {
        errors.push_back(e);
    }
};

Bytes addressRequest() { return push::addressRequestData("0123456789abcdef01234567", "-1", 0, 0, "2.1.0"); }

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class UdpSocket : public ::testing::Test {
protected:
    pushserver::AddressService service;
    std::shared_ptr<UdpRecorder> recorder = std::make_shared<UdpRecorder>();
    std::shared_ptr<PUSHUdpSocket> socket = PUSHUdpSocket::initWithDelegate(recorder);
};

} // namespace

TEST_F(UdpSocket, SendsARequestAndDeliversTheReply)
{
    ASSERT_TRUE(socket->isSetuped());
    EXPECT_FALSE(socket->setup()); // once only
    service.setReplyBytes(text("{\"ips\":[]}"));
    ASSERT_TRUE(socket->sendData(addressRequest(), "127.0.0.1", service.port(), 4));
    ASSERT_TRUE(runUntil([&] { return recorder->received.size() == 1 && recorder->sent.size() == 1; }));
    EXPECT_EQ(recorder->received[0], text("{\"ips\":[]}"));
    EXPECT_EQ(recorder->sent[0], addressRequest());
    ASSERT_EQ(service.requests().size(), 1u);
    EXPECT_EQ(service.requests()[0].appKey, "0123456789abcdef01234567");
    EXPECT_TRUE(recorder->notSent.empty());
}

TEST_F(UdpSocket, ConnectedSocketSendsWithoutAnAddress)
{
    auto unconnected = PUSHUdpSocket::initWithDelegate(recorder);
    EXPECT_FALSE(unconnected->sendData(text("report"), "", 0, 0)); // nowhere to send it

    ASSERT_TRUE(socket->connectToHost("127.0.0.1", service.port()));
    EXPECT_TRUE(socket->isConnected());
    ASSERT_TRUE(socket->sendData(text("first"), "", 0, 0));
    ASSERT_TRUE(socket->sendData(text("second"), "", 0, 0));
    ASSERT_TRUE(runUntil([&] { return service.datagrams().size() == 2; }));
    EXPECT_EQ(service.datagrams()[0], text("first"));
    EXPECT_EQ(service.datagrams()[1], text("second"));
    ASSERT_TRUE(runUntil([&] { return recorder->sent.size() == 2; }));
}

TEST_F(UdpSocket, ReplyFromAnotherPortIsNotTaken)
{
    service.setAnswerFromOtherPort(true);
    ASSERT_TRUE(socket->sendData(addressRequest(), "127.0.0.1", service.port(), 4));
    ASSERT_TRUE(runUntil([&] { return service.answeredCount() == 1; }));
    // The stranger's datagram is already waiting at the socket; let the loop handle it.
    ASSERT_TRUE(testing_support::settle());
    ASSERT_TRUE(runUntil([&] { return recorder->sent.size() == 1; }));
    EXPECT_TRUE(recorder->received.empty());

    // The same socket still takes the real answer.
    service.setAnswerFromOtherPort(false);
    ASSERT_TRUE(socket->sendData(addressRequest(), "127.0.0.1", service.port(), 4));
    ASSERT_TRUE(runUntil([&] { return recorder->received.size() == 1; }));
}

TEST_F(UdpSocket, CloseDropsQueuedPacketsAndTheirTimeOuts)
{
    ASSERT_TRUE(socket->sendData(addressRequest(), "127.0.0.1", service.port(), 0.01));
    EXPECT_EQ(socket->sendQueueCount(), 1u);
    socket->close();
    EXPECT_FALSE(socket->isSetuped());
    EXPECT_EQ(socket->sendQueueCount(), 0u);
    EXPECT_FALSE(socket->sendData(addressRequest(), "127.0.0.1", service.port(), 4));
    ASSERT_TRUE(testing_support::settle());
    EXPECT_TRUE(recorder->notSent.empty());
    EXPECT_TRUE(recorder->sent.empty());
    EXPECT_TRUE(service.datagrams().empty());
    EXPECT_TRUE(socket->setup()); // a closed socket can be set up again
}

TEST_F(UdpSocket, ConnectedPeerThatIsGoneReportsAReceiveError)
{
    int port = 0;
    {
        pushserver::AddressService gone;
        port = gone.port();
    }
    ASSERT_TRUE(socket->connectToHost("127.0.0.1", static_cast<std::uint16_t>(port)));
    ASSERT_TRUE(socket->sendData(text("report"), "", 0, 0));
    ASSERT_TRUE(runUntil([&] { return recorder->errors.size() == 1; }));
    EXPECT_EQ(recorder->errors[0]->domain(), "udp sys error");
    EXPECT_EQ(recorder->errors[0]->code(), ECONNREFUSED);
    EXPECT_FALSE(socket->isSetuped());
}
