// Server address discovery against fake address services on loopback: the host and port order,
// what a reply leaves behind, replies that are incomplete, of the wrong shape, too long or from
// a stranger, and the request's bytes. Then the datagram socket it uses: sending to a connected
// peer, replies from a stranger, closing, and a peer that is gone.
#include <gtest/gtest.h>

#include <map>

#include "push/Network/PUSHAddressController.h"
#include "push/Network/PUSHAddressMessages.h"
#include "push/Network/PUSHUdpSocket.h"
#include "testing/RunLoopPump.h"
#include "tools/pushserver/AddressService.h"

using testing_support::runUntil;

namespace {

struct FakeResolver : push::HostResolver {
    std::map<std::string, std::string> answers;
    std::vector<std::string> asked;
    std::optional<std::string> resolve(const std::string& name, double) override
    {
        asked.push_back(name);
        auto found = answers.find(name);
        return found == answers.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class AddressDiscovery : public ::testing::Test {
protected:
    void SetUp() override { runUntil([] { return true; }); } // the test thread is the main thread

    // Waits that end in an answer are generous; a test that expects silence shortens them.
    std::shared_ptr<PUSHAddressController> controller(
        std::uint16_t mainPort, std::uint16_t secondPort, double mainTimeout = 5, double secondTimeout = 5)
    {
        PUSHAddressConfiguration configuration;
        configuration.sisHosts = { "one.test", "two.test", "three.test" };
        configuration.sisFallbackAddress = "127.0.0.1";
        configuration.pushDomain = "push.test";
        configuration.sisPort = mainPort;
        configuration.sisSecondPort = secondPort;
        configuration.sisTimeout = mainTimeout;
        configuration.sisSecondTimeout = secondTimeout;
        configuration.appKey = "0123456789abcdef01234567";
        return PUSHAddressController::create(configuration, store, resolver);
    }

    pushserver::AddressService service;
    std::shared_ptr<push::MemoryAddressStore> store = std::make_shared<push::MemoryAddressStore>();
    std::shared_ptr<FakeResolver> resolver = std::make_shared<FakeResolver>();
};

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

class UdpSocket : public ::testing::Test {
protected:
    pushserver::AddressService service;
    std::shared_ptr<UdpRecorder> recorder = std::make_shared<UdpRecorder>();
    std::shared_ptr<PUSHUdpSocket> socket = PUSHUdpSocket::initWithDelegate(recorder);
};

} // namespace

TEST_F(AddressDiscovery, FirstHostAnswersAndEverythingUsefulIsKept)
{
    resolver->answers["one.test"] = "127.0.0.1";
    store->setUid(0x1234);
    pushserver::AddressReply reply;
    reply.user = "10.0.0.1:8081";
    reply.ips = { "127.0.0.1:7100", "10.0.0.2:7000", "10.0.0.3:8082" };
    reply.udpReport = { "10.0.0.4:9001" };
    reply.opConns = { "10.0.0.5:7000", "10.0.0.6:7000" };
    service.setReply(reply);

    auto discovery = controller(service.port(), service.port());
    const Value content = discovery->getAddressFromSis();
    EXPECT_EQ(content, Value::array({ "127.0.0.1:7100", "10.0.0.4:9001", Value::array({ "10.0.0.5:7000", "10.0.0.6:7000" }) }));

    EXPECT_EQ(store->defaultConAddress(), "10.0.0.2:7000");
    EXPECT_EQ(store->backupUdpReportAddress(), "10.0.0.4:9001");
    EXPECT_EQ(discovery->userReportAddress(), "http://10.0.0.1:8081/v1/user/");
    EXPECT_EQ(store->backupUserReportAddress(), "http://10.0.0.1:8081/v1/user/");
    EXPECT_EQ(discovery->httpReportAddress(), "http://10.0.0.3:8082/v2/report");
    EXPECT_FALSE(discovery->udpSocket()); // closed once the reply was read

    ASSERT_EQ(service.requests().size(), 1u);
    const auto request = service.requests()[0];
    EXPECT_EQ(request.appKey, "0123456789abcdef01234567");
    EXPECT_EQ(request.sdkVersion, "2.1.0");
    EXPECT_EQ(request.uidLowByte, 0x34);
    EXPECT_EQ(request.carrierName, "-1");
    EXPECT_EQ(resolver->asked, std::vector<std::string> { "one.test" });
}

TEST_F(AddressDiscovery, SilentMainPortIsFollowedByTheSecondPortOfTheSameHost)
{
    pushserver::AddressService second;
    service.setSilent(true);
    second.setReply(pushserver::AddressReply::pointingAt("127.0.0.1:7200"));
    resolver->answers["one.test"] = "127.0.0.1";
    resolver->answers["two.test"] = "127.0.0.1";

    const Value content = controller(service.port(), second.port(), 0.2)->getAddressFromSis();
    ASSERT_TRUE(content.isArray());
    EXPECT_EQ(content[0].asString(), "127.0.0.1:7200");
    EXPECT_EQ(service.requests().size(), 1u);
    EXPECT_EQ(second.requests().size(), 1u);
    EXPECT_EQ(resolver->asked, std::vector<std::string> { "one.test" }); // the second host was not needed
}

TEST_F(AddressDiscovery, UnresolvedHostsFallBackToTheBuiltInAddressAndThePushDomainToPort7000)
{
    service.setReply(pushserver::AddressReply::pointingAt("127.0.0.1:7300"));
    auto discovery = controller(service.port(), service.port());
    const Value content = discovery->getAddressFromSis();
    ASSERT_TRUE(content.isArray());
    EXPECT_EQ(content[0].asString(), "127.0.0.1:7300");
    EXPECT_EQ(resolver->asked, (std::vector<std::string> { "one.test", "two.test", "three.test" }));

    EXPECT_FALSE(discovery->defaultConnectDomainAddress());
    resolver->answers["push.test"] = "127.0.0.9";
    EXPECT_EQ(discovery->defaultConnectDomainAddress(), "127.0.0.9:7000");
}

TEST_F(AddressDiscovery, IncompleteReplyGivesNothingButKeepsWhatItHad)
{
    store->setDefaultConAddress("10.9.9.9:7000");
    pushserver::AddressReply reply;
    reply.user = "10.0.0.1:8081";
    reply.ips = { "127.0.0.1:7100", "" }; // two entries only
    reply.udpReport = { "10.0.0.4:9001" };
    service.setReply(reply);

    auto discovery = controller(service.port(), service.port());
    EXPECT_TRUE(discovery->getAddressFromSis().isAbsent());
    EXPECT_EQ(discovery->userReportAddress(), "http://10.0.0.1:8081/v1/user/");
    EXPECT_EQ(store->backupUdpReportAddress(), "10.0.0.4:9001");
    EXPECT_EQ(store->defaultConAddress(), "10.9.9.9:7000");

    // Three entries with an empty default connection keep the old default too.
    reply.ips = { "127.0.0.1:7100", "", "10.0.0.3:8082" };
    service.setReply(reply);
    EXPECT_TRUE(discovery->getAddressFromSis().isArray());
    EXPECT_EQ(store->defaultConAddress(), "10.9.9.9:7000");
}

TEST_F(AddressDiscovery, RepliesOfTheWrongShapeCountAsNoReply)
{
    auto discovery = controller(service.port(), service.port());
    const std::vector<std::string> replies = {
        "not json",
        "[\"127.0.0.1:7000\", 1, 2]",
        "{}",
        "{\"ips\":\"127.0.0.1:7000\",\"udp_report\":[\"a:1\"],\"op_conns\":[]}",
        "{\"ips\":[7000,1,2],\"udp_report\":[\"a:1\"],\"op_conns\":[]}",
        "{\"ips\":[\"a:1\",\"b:2\",\"c:3\"],\"udp_report\":[9001],\"op_conns\":[]}",
        "{\"ips\":[\"a:1\",\"b:2\",\"c:3\"],\"udp_report\":[\"d:4\"],\"op_conns\":{}}",
        "{\"user\":5,\"ips\":[\"\",\"b:2\",\"c:3\"],\"udp_report\":[\"d:4\"],\"op_conns\":[]}",
    };
    for (const auto& body : replies) {
        service.setReplyBytes(text(body));
        EXPECT_TRUE(discovery->getAddressFromSis().isAbsent()) << body;
    }
    // Alternatives that are not texts are skipped, the rest kept.
    service.setReplyBytes(text("{\"ips\":[\"a:1\",\"b:2\",\"c:3\"],\"udp_report\":[\"d:4\"],\"op_conns\":[1,\"e:5\",null]}"));
    EXPECT_EQ(discovery->getAddressFromSis(), Value::array({ "a:1", "d:4", Value::array({ "e:5" }) }));
}

TEST_F(AddressDiscovery, OverlongReplyAndStrangersAreRefused)
{
    auto discovery = controller(service.port(), service.port());
    std::string huge = "{\"user\":\"" + std::string(20000, 'x') + "\",\"ips\":[\"a:1\",\"b:2\",\"c:3\"],\"udp_report\":[\"d:4\"],\"op_conns\":[]}";
    service.setReplyBytes(text(huge));
    EXPECT_TRUE(discovery->getAddressFromSis().isAbsent());

    service.setReply(pushserver::AddressReply::pointingAt("127.0.0.1:7400"));
    service.setAnswerFromOtherPort(true);
    EXPECT_TRUE(controller(service.port(), service.port(), 0.2, 0.2)->getAddressFromSis().isAbsent());
    EXPECT_GE(service.answeredCount(), 2u);
}

TEST(AddressRequest, FixedFieldsCarrierCutOnACharacterAndAppKeyWrittenLast)
{
    // 11 three-byte characters: 33 bytes, cut to 10 characters (30 bytes), not mid-character.
    std::string carrier;
    for (int i = 0; i < 11; ++i)
        carrier += "中";
    const Bytes request = push::addressRequestData("key", carrier, 4, 0x1FF, "2.1.0");
    ASSERT_EQ(request.size(), 128u);
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 7), (Bytes { 0x80, 0, 'U', 'F', 0, 4, 0xFF }));
    auto parsed = pushserver::parseDiscoveryRequest(request.data(), request.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->carrierName.size(), 30u);
    EXPECT_EQ(parsed->appKey, "key");
    EXPECT_EQ(parsed->sdkVersion, "2.1.0");

    const std::string longKey(60, 'k');
    auto covering = pushserver::parseDiscoveryRequest(push::addressRequestData(longKey, "-1", 0, 0, "2.1.0").data(), 128);
    ASSERT_TRUE(covering);
    EXPECT_EQ(covering->appKey, longKey);
    EXPECT_EQ(covering->sdkVersion, std::string(10, 'k')); // the key covers the version text
}

TEST(AddressRequest, AddressTextSplitsAtTheLastColon)
{
    EXPECT_EQ(push::splitAddress("10.0.0.1:8081"), std::make_pair(std::string("10.0.0.1"), std::uint16_t(8081)));
    EXPECT_FALSE(push::splitAddress("10.0.0.1"));
    EXPECT_FALSE(push::splitAddress(":80"));
    EXPECT_FALSE(push::splitAddress("h:0"));
    EXPECT_FALSE(push::splitAddress("h:65536"));
    EXPECT_FALSE(push::splitAddress("h:8a"));
}

TEST(SystemHostResolver, ResolvesLocalhostToIPv4)
{
    runUntil([] { return true; });
    EXPECT_EQ(push::systemHostResolver()->resolve("localhost", 5), "127.0.0.1");
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
    EXPECT_EQ(service.datagrams(), (std::vector<Bytes> { text("first"), text("second") }));
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
    EXPECT_FALSE(socket->setup()); // but once only
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
