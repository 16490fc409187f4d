// The fake push server and address service as a client meets them: a plain blocking socket
// sends the client's packets and reads the replies, which the push client's own decoder must
// accept; scripted refusals, silence, delays, custom handlers and the ways a connection ends.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "push/Network/PUSHPacketWriter.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "tools/pushserver/AddressService.h"
#include "tools/pushserver/PushServer.h"

using namespace pushserver;

namespace {

// A blocking loopback client; every read waits at most a few seconds for its bytes.
class Client {
public:
    explicit Client(std::uint16_t port, int type = SOCK_STREAM)
    {
        fd_ = ::socket(AF_INET, type, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~Client() { ::close(fd_); }
    void send(const Bytes& bytes) { ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size())); }

    // Exactly n bytes, or none on end of stream, reset or time-out.
    std::optional<Bytes> read(std::size_t n)
    {
        Bytes bytes;
        while (bytes.size() < n) {
            pollfd waiting { fd_, POLLIN, 0 };
            if (::poll(&waiting, 1, 5000) <= 0)
                return std::nullopt;
            std::uint8_t buffer[65536];
            const ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - bytes.size()), 0);
            if (got <= 0) {
                lastError_ = got < 0 ? errno : 0;
                return std::nullopt;
            }
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }
    std::shared_ptr<PUSHReceivedPacketController> readPacket()
    {
        auto head = read(2);
        auto rest = head ? read(static_cast<std::size_t>((*head)[0] << 8 | (*head)[1]) - 2) : std::nullopt;
        if (!rest)
            return nullptr;
        head->insert(head->end(), rest->begin(), rest->end());
        return PUSHReceivedPacketController::packetWithBuffer(head->data(), head->size());
    }
    // True when the server ended the connection (end of stream or reset).
    bool ended() { return !read(1); }
    int lastError() const { return lastError_; }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    int lastError_ = 0;
};

Bytes request(std::uint8_t version, std::uint8_t command, std::uint64_t rid, std::uint64_t uid, const Bytes& body = {})
{
    push::PacketWriter writer;
    writer.appendInt16(0);
    writer.appendInt8(version);
    writer.appendInt8(command);
    writer.appendInt64(rid);
    writer.appendInt32(0);
    writer.appendInt64(uid);
    writer.appendBytes(body.data(), body.size());
    EXPECT_TRUE(writer.setPacketLen());
    return writer.take();
}

// The next packet the client reads, if it is a T; with `packet` given, sent first.
template <class T>
std::shared_ptr<T> next(Client& client, std::optional<Bytes> packet = std::nullopt)
{
    if (packet)
        client.send(*packet);
    return std::dynamic_pointer_cast<T>(client.readPacket());
}

} // namespace

TEST(PushServer, AnswersTheSessionsRequestsAsScripted)
{
    PushServer server;
    Script script { .serverTimeOffset = -3600 };
    server.setScript(script);
    Client client(server.port());

    auto registration = next<PUSHRegistrationResponse>(client, request(8, 0, 1, 0));
    ASSERT_TRUE(registration);
    EXPECT_EQ(registration->rid(), 1u);
    EXPECT_EQ(registration->statusCode(), 0);
    EXPECT_EQ(registration->registeredUid(), script.assignedUid);
    EXPECT_EQ(registration->password(), script.password);
    EXPECT_EQ(registration->registrationID(), script.registrationID);

    auto login = next<PUSHLoginResponse>(client, request(12, 1, 3, script.assignedUid));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->sessionID(), script.sessionID);
    EXPECT_EQ(login->serverVersion(), script.serverVersion);
    EXPECT_EQ(login->sessionKey(), script.sessionKey);
    auto now = std::chrono::system_clock::now().time_since_epoch();
    EXPECT_NEAR(static_cast<double>(login->serverTime()), std::chrono::duration<double>(now).count() - 3600, 120);

    auto ack = next<PUSHAck>(client, request(3, 2, 5, script.assignedUid));
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->rid(), 5u);
    EXPECT_EQ(ack->reqCmd(), 2);

    auto tagAck = next<PUSHAck>(client, request(4, 10, 7, script.assignedUid));
    ASSERT_TRUE(tagAck);
    EXPECT_EQ(tagAck->reqCmd(), 10);
    auto answer = next<PUSHMessageDispatchController>(client);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->recv_commandType(), 20u);
    EXPECT_EQ(answer->recv_messageContent(), "{\"sequence\":7,\"code\":0}");

    auto token = next<PUSHDeviceTokenReportResponse>(client, request(2, 13, 9, script.assignedUid));
    ASSERT_TRUE(token);
    EXPECT_EQ(token->statusCode(), 0);

    auto frames = server.frames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[1].command, 1);
    EXPECT_EQ(frames[1].version, 12);
    EXPECT_EQ(frames[1].uid, script.assignedUid);
    EXPECT_EQ(server.framesWithCommand(2).size(), 1u);
}

TEST(PushServer, RefusalsSilenceAndCustomHandlers)
{
    PushServer server;
    server.setScript({ .registrationStatus = 1005, .loginStatus = 1, .ackHeartbeats = false, .deviceTokenStatus = 3 });
    Client client(server.port());

    auto registration = next<PUSHRegistrationResponse>(client, request(8, 0, 1, 0));
    ASSERT_TRUE(registration);
    EXPECT_EQ(registration->statusCode(), 1005);
    EXPECT_TRUE(registration->errorDescription().has_value());
    EXPECT_EQ(registration->registeredUid(), 0u);

    // No acknowledgement for the heartbeat: the next thing read is the token reply.
    client.send(request(3, 2, 3, 9));
    auto token = next<PUSHDeviceTokenReportResponse>(client, request(2, 13, 5, 9));
    ASSERT_TRUE(token);
    EXPECT_EQ(token->statusCode(), 3);

    // A handler answers what it wants and leaves the rest to the script.
    server.setFrameHandler([](const ClientFrame& frame) -> std::optional<std::vector<Bytes>> {
        if (frame.command != 2)
            return std::nullopt;
        return std::vector<Bytes> { packets::ack(frame.rid, frame.uid, 2, 1, 9, 42) };
    });
    auto ack = next<PUSHAck>(client, request(3, 2, 7, 9));
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->statusCode(), 9);
    auto login = next<PUSHLoginResponse>(client, request(12, 1, 9, 9));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->statusCode(), 1);
}

TEST(PushServer, DelayedRepliesKeepTheirOrder)
{
    PushServer server;
    server.setScript({ .replyDelay = 0.05 });
    Client client(server.port());
    client.send(request(3, 2, 1, 9));
    client.send(request(3, 2, 3, 9));
    auto first = next<PUSHAck>(client);
    auto second = next<PUSHAck>(client);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->rid(), 1u);
    EXPECT_EQ(second->rid(), 3u);
}

TEST(PushServer, PushesMessagesAndEndsConnectionsOnRequest)
{
    PushServer server;
    EXPECT_FALSE(server.pushMessage(1, 1, "{}"));
    EXPECT_FALSE(server.drop());

    Client client(server.port());
    ASSERT_TRUE(next<PUSHAck>(client, request(3, 2, 1, 77))); // the server learns the uid from the client's packets
    ASSERT_TRUE(server.pushMessage(1, 0xFEED, "{\"message\":\"hi\"}"));
    auto message = next<PUSHMessageDispatchController>(client);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->uid(), 77u);
    EXPECT_EQ(message->recv_uniqueID(), 0xFEEDu);

    // Bytes queued before a drop still go out first: a close in mid-frame.
    const Bytes whole = packets::ack(1, 77, 2, 0, 0, 0);
    ASSERT_TRUE(server.send(Bytes(whole.begin(), whole.begin() + 10)));
    ASSERT_TRUE(server.drop(Drop::Fin));
    ASSERT_TRUE(client.read(10));
    EXPECT_TRUE(client.ended());
    EXPECT_EQ(client.lastError(), 0);

    Client reset(server.port());
    ASSERT_TRUE(next<PUSHAck>(reset, request(3, 2, 1, 77)));
    ASSERT_TRUE(server.drop(Drop::Reset));
    EXPECT_TRUE(reset.ended());
    EXPECT_EQ(reset.lastError(), ECONNRESET);
}

TEST(PushServer, ClosesOnAcceptAndOnLengthsBelowTheHeader)
{
    PushServer server;
    server.setCloseOnAccept(Drop::Fin);
    {
        Client client(server.port());
        EXPECT_TRUE(client.ended());
    }
    server.setCloseOnAccept(std::nullopt);
    Client client(server.port());
    client.send(Bytes { 0, 5, 1, 2, 3 });
    EXPECT_TRUE(client.ended());
    EXPECT_EQ(server.malformedCount(), 1u);
    EXPECT_TRUE(server.frames().empty());
    EXPECT_EQ(server.acceptedCount(), 2u);
}

TEST(AddressService, AnswersWellFormedRequestsAndRecordsEveryDatagram)
{
    AddressService service;
    Client client(service.port(), SOCK_DGRAM);
    Bytes discovery(128, 0);
    discovery[0] = 0x80;
    discovery[2] = 'U';
    discovery[3] = 'F';
    const std::string key = "app-key";
    std::copy(key.begin(), key.end(), discovery.begin() + 42);

    client.send(Bytes { 'U', 'F', '{', '}' }); // a report: recorded, not answered
    service.setReply(AddressReply::pointingAt("127.0.0.1:7777"));
    client.send(discovery);
    pollfd waiting { client.fd(), POLLIN, 0 };
    ASSERT_EQ(::poll(&waiting, 1, 5000), 1);
    std::uint8_t buffer[2048];
    const ssize_t got = ::recv(client.fd(), buffer, sizeof buffer, 0);
    ASSERT_GT(got, 0);
    const std::string reply(buffer, buffer + got);
    EXPECT_NE(reply.find("\"ips\":[\"127.0.0.1:7777\",\"127.0.0.1:7777\""), std::string::npos);
    EXPECT_NE(reply.find("\"op_conns\":[]"), std::string::npos);
    EXPECT_EQ(service.datagrams().size(), 2u);
    ASSERT_EQ(service.requests().size(), 1u);
    EXPECT_EQ(service.requests()[0].appKey, "app-key");
    EXPECT_EQ(service.answeredCount(), 1u);

    // Datagrams that are not 128 bytes with the right header are no requests.
    EXPECT_FALSE(parseDiscoveryRequest(discovery.data(), 127));
    discovery[3] = 'X';
    EXPECT_FALSE(parseDiscoveryRequest(discovery.data(), 128));
}
