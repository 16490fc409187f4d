// The client's components on their own: message user info and de-duplication, the configuration
// checks, the push environment of a provisioning profile and reachability flags.
#include "ClientTestSupport.h"

#include <fstream>

#include "push/Client/PUSHReachability.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "tools/pushserver/ServerPackets.h"

using client_tests::ClientTest;

namespace {

// A message packet as the server sends it: header, type, id, content.
std::shared_ptr<PUSHMessageDispatchController> message(std::uint8_t type, std::uint64_t id, const std::string& content)
{
    const Bytes bytes = pushserver::packets::message(1, 0, 0, type, id, content);
    return std::dynamic_pointer_cast<PUSHMessageDispatchController>(
        PUSHReceivedPacketController::packetWithBuffer(bytes.data(), bytes.size()));
}

} // namespace

TEST(MessageUserInfo, BuiltFromTheMessageDictionary)
{
    const Value full
        = push_client::getPUSHMessageFromInfo(Value::dictionary({ { "message", Value("m") }, { "title", Value("t") },
            { "content_type", Value("c") }, { "extras", Value("{\"a\":[1]}") }, { "other", Value(1) } }));
    EXPECT_EQ(full.count(), 4u);
    EXPECT_EQ(full["content"].asString(), "m");
    EXPECT_EQ(full["extras"]["a"][0].integerValue(), 1);

    // Extras that are not (or do not parse to) a dictionary are left out.
    for (const Value& extras : { Value("not json"), Value("[1]"), Value(5) })
        EXPECT_EQ(push_client::getPUSHMessageFromInfo(Value::dictionary({ { "message", Value("m") }, { "extras", extras } })).count(), 1u)
            << extras.description();
    EXPECT_TRUE(push_client::getPUSHMessageFromInfo(Value::dictionary({ { "title", Value("t") } })).isNil());
    EXPECT_TRUE(push_client::getPUSHMessageFromInfo(Value::array()).isNil());
}

// Only the last line is parsed (the client session test pushes a two-line message) and answers
// are no messages (the tags/alias time-out test): an empty last line gives none.
TEST(MessageUserInfo, AnEmptyLastLineGivesNone)
{
    auto brokenLast = message(1, 1, "{\"message\":\"first\"}\n");
    ASSERT_TRUE(brokenLast);
    EXPECT_TRUE(push_client::getDispatchMessageUserInfo(*brokenLast).isNil());
}

// The client fixture counts the messages posted.
TEST_F(ClientTest, MessageCenterDropsRepeatsWhileRemembered)
{
    PUSHMessageCenter center;
    EXPECT_TRUE(center.dispatchMessage(*message(1, 1, "{\"message\":\"a\"}")));
    EXPECT_FALSE(center.dispatchMessage(*message(1, 1, "{\"message\":\"a\"}")));
    for (std::uint64_t id = 2; id <= 102; ++id)
        EXPECT_TRUE(center.dispatchMessage(*message(1, id, "{}")));
    EXPECT_EQ(center.receivedMsgIds().size(), 101u);
    // After 102 distinct ids the first is forgotten, the second is still known.
    EXPECT_TRUE(center.dispatchMessage(*message(1, 1, "{}")));
    EXPECT_FALSE(center.dispatchMessage(*message(1, 3, "{}")));
    ASSERT_TRUE(testing_support::runUntil([&] { return messages.size() == 103; }));
    EXPECT_EQ(messages[0]["content"].asString(), "a");
}

TEST(PushConfig, AppKeyChannelAndEnvironmentFromADictionary)
{
    auto config = PUSHPushConfigController::create();
    ASSERT_TRUE(config->loadWithDictionary(Value::dictionary({ { "APP_KEY", Value("ABCDEF0123") } })));
    EXPECT_EQ(config->applicationKey(), "abcdef0123");
    EXPECT_EQ(config->pushChanel(), std::string(1, '\x10'));
    EXPECT_EQ(config->configApsEnvironment(), 1);

    for (const auto& [production, expected] : std::vector<std::pair<Value, int>> { { Value("1"), 2 }, { Value("0"), 1 },
             { Value(true), 2 }, { Value(0), 1 }, { Value("11"), 1 }, { Value::date(5), 1 } }) {
        ASSERT_TRUE(config->loadWithDictionary(Value::dictionary(
            { { "APP_KEY", Value("k") }, { "CHANNEL", Value("web") }, { "APS_FOR_PRODUCTION", production } })));
        EXPECT_EQ(config->configApsEnvironment(), expected) << production.description();
        EXPECT_EQ(config->pushChanel(), "web");
    }
}

TEST(PushConfig, ErrorsAreRefused)
{
    auto config = PUSHPushConfigController::create();
    for (const Value& refused : { Value::dictionary(), Value::array({ Value(1) }), Value::dictionary({ { "CHANNEL", Value("c") } }),
             Value::dictionary({ { "APP_KEY", Value("ab-cd") } }), Value::dictionary({ { "APP_KEY", Value(12) } }) })
        EXPECT_FALSE(config->loadWithDictionary(refused)) << refused.description();
    for (const Value& key : { Value(""), Value(), Value("ä") })
        EXPECT_FALSE(config->setAppKey(key, Value("c"), true)) << key.description();
    EXPECT_FALSE(config->loadWithUrl(std::nullopt));
    EXPECT_TRUE(config->applicationKey().empty());

    ASSERT_TRUE(config->setAppKey(Value("KEY1"), Value(""), true));
    EXPECT_EQ(config->applicationKey(), "key1");
    EXPECT_EQ(config->pushChanel(), "\x10");
    EXPECT_EQ(config->configApsEnvironment(), 2);
}

// A good file is read by the service tests' set-up from the bundle.
TEST(PushConfig, RefusesAGarbageOrMissingPropertyListFile)
{
    testing_support::TempHome home;
    const std::string bad = home.pathFor("Bad.plist");
    std::ofstream(bad) << "<plist><dict><key>APP_KEY";
    auto config = PUSHPushConfigController::create();
    EXPECT_FALSE(config->loadWithUrl(bad));
    EXPECT_FALSE(config->loadWithUrl(home.pathFor("missing.plist")));
}

TEST(ProvisioningProfile, EnvironmentFromTheEntryNearTheKey)
{
    using push_client::apsEnvironmentInProfileText;
    EXPECT_EQ(apsEnvironmentInProfileText("<key>aps-environment</key>\n<string>production</string>"), 2);
    EXPECT_EQ(apsEnvironmentInProfileText("<KEY>APS-Environment</KEY><String>Development</STRING>"), 1);
    EXPECT_EQ(apsEnvironmentInProfileText("<key>get-task-allow</key>"), -3);
    EXPECT_EQ(apsEnvironmentInProfileText("<key>aps-environment</key><string>staging</string> production"), -4);
    // Without a closing tag within 100 characters only the next 50 are looked at.
    EXPECT_EQ(apsEnvironmentInProfileText("aps-environment" + std::string(40, ' ') + "production"), -4);
    EXPECT_EQ(apsEnvironmentInProfileText("aps-environment" + std::string(20, ' ') + "production"), 2);
    EXPECT_EQ(apsEnvironmentInProfileText("aps-environment" + std::string(90, ' ') + "</string>production"), -4);
    EXPECT_EQ(apsEnvironmentInProfileText("xaps-environment"), -4);
}

TEST(ProvisioningProfile, LoadedFromTheFileOrNegativeWhenItCannotBe)
{
    testing_support::TempHome home;
    auto client = std::make_shared<PUSHClientController>();
    const std::string path = home.pathFor("embedded.mobileprovision");
    // Latin-1 bytes and binary noise around the entry.
    std::ofstream(path, std::ios::binary)
        << std::string("\x30\x82\xff\xe9 <key>aps-environment</key><string>development</string>\0", 60);
    for (const auto& [url, environment] : std::vector<std::pair<std::optional<std::string>, int>> {
             { std::nullopt, -1 }, { home.pathFor("missing.mobileprovision"), -2 }, { path, 1 } }) {
        if (url)
            client->setEmProvisionUrl(*url);
        client->loadApsEnvironment();
        EXPECT_EQ(client->apsEvironment(), environment) << url.value_or("none");
    }
}

TEST(Reachability, StatusFromFlags)
{
    const auto reachable = kSCNetworkReachabilityFlagsReachable;
    const auto required = reachable | kSCNetworkReachabilityFlagsConnectionRequired;
    for (const auto& [flags, status] : std::vector<std::pair<SCNetworkReachabilityFlags, int>> { { 0, 0 }, { reachable, 2 },
             { reachable | kSCNetworkReachabilityFlagsIsWWAN, 3 }, { required, 0 },
             { required | kSCNetworkReachabilityFlagsConnectionOnDemand, 2 },
             { required | kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsInterventionRequired, 0 } })
        EXPECT_EQ(PUSHReachability::networkStatusForFlags(flags), status) << flags;
    EXPECT_EQ(PUSHReachability::localWiFiStatusForFlags(reachable), 0);
    EXPECT_EQ(PUSHReachability::localWiFiStatusForFlags(reachable | kSCNetworkReachabilityFlagsIsDirect), 2);
}
