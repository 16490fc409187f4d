// Server address discovery against fake address services on loopback: the host and port order,
// what a reply leaves behind, replies that are incomplete, of the wrong shape, too long or from
// a stranger, and the request's bytes.
#include <gtest/gtest.h>

#include <map>

#include "push/Network/PUSHAddressController.h"
#include "push/Network/PUSHAddressMessages.h"
#include "testing/RunLoopPump.h"
#include "tools/pushserver/AddressService.h"

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
    void SetUp() override { testing_support::runUntil([] { return true; }); } // the test thread is the main thread

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
    ASSERT_TRUE(content.isArray());
    EXPECT_EQ(content[0].asString(), "127.0.0.1:7100");
    EXPECT_EQ(content[1].asString(), "10.0.0.4:9001");
    ASSERT_EQ(content[2].count(), 2u);
    EXPECT_EQ(content[2][1].asString(), "10.0.0.6:7000");

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

TEST_F(AddressDiscovery, UnresolvedHostsFallBackToTheBuiltInAddress)
{
    service.setReply(pushserver::AddressReply::pointingAt("127.0.0.1:7300"));
    const Value content = controller(service.port(), service.port())->getAddressFromSis();
    ASSERT_TRUE(content.isArray());
    EXPECT_EQ(content[0].asString(), "127.0.0.1:7300");
    EXPECT_EQ(resolver->asked, (std::vector<std::string> { "one.test", "two.test", "three.test" }));
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
    const Value content = discovery->getAddressFromSis();
    ASSERT_TRUE(content.isArray());
    ASSERT_EQ(content[2].count(), 1u);
    EXPECT_EQ(content[2][0].asString(), "e:5");
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

TEST_F(AddressDiscovery, PushDomainFallbackNamesPort7000)
{
    auto discovery = controller(service.port(), service.port());
    EXPECT_FALSE(discovery->defaultConnectDomainAddress());
    resolver->answers["push.test"] = "127.0.0.9";
    EXPECT_EQ(discovery->defaultConnectDomainAddress(), "127.0.0.9:7000");
}

TEST(AddressRequest, FixedFieldsCarrierCutOnACharacterAndAppKeyWrittenLast)
{
    // 11 three-byte characters: 33 bytes, cut to 10 characters (30 bytes), not mid-character.
    std::string carrier;
    for (int i = 0; i < 11; ++i)
        carrier += "中";
    const Bytes request = push::addressRequestData("key", carrier, 4, 0x1FF, "2.1.0");
    ASSERT_EQ(request.size(), 128u);
    EXPECT_EQ(request[0], 0x80);
    EXPECT_EQ(request[1], 0x00);
    EXPECT_EQ(request[5], 4);
    EXPECT_EQ(request[6], 0xFF);
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
    testing_support::runUntil([] { return true; });
    EXPECT_EQ(push::systemHostResolver()->resolve("localhost", 5), "127.0.0.1");
}
