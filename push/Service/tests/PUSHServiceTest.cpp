// The push facade: registration reaches the platform (and so the delegate's token), and what the
// application hands over can be read back in order.
#include <gtest/gtest.h>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "push/Service/PUSHService.h"
#include "testing/RunLoopPump.h"

namespace {

class TokenDelegate : public UIApplicationDelegate {
public:
    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(const App&, const Bytes& token) override
    {
        PUSHService::registerDeviceToken(token);
        ++tokens;
    }
    int tokens = 0;
};

class PushServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PUSHService::reset();
        UIApplication::sharedApplication()->reset();
        UIDevice::currentDevice()->setSystemVersion("8.0");
    }
    void TearDown() override
    {
        UIApplication::sharedApplication()->reset();
        UIDevice::currentDevice()->setSystemVersion("8.0");
        PUSHService::reset();
    }
};

TEST_F(PushServiceTest, RegistrationOnCurrentSystemsAsksForTokenAndSettings)
{
    auto delegate = std::make_shared<TokenDelegate>();
    auto application = UIApplication::sharedApplication();
    application->setDelegate(delegate);
    application->setSimulatedDeviceToken({ 0xde, 0xad, 0xbe, 0xef });

    PUSHService::registerForRemoteNotificationTypes(7, Value());
    ASSERT_TRUE(testing_support::runUntil([&] { return delegate->tokens == 1; }));
    ASSERT_NE(application->currentUserNotificationSettings(), nullptr);
    EXPECT_EQ(application->currentUserNotificationSettings()->types(), 7u);

    auto record = PUSHService::record();
    EXPECT_EQ(record.notificationTypes, 7u);
    EXPECT_EQ(record.deviceToken, (Bytes { 0xde, 0xad, 0xbe, 0xef }));
    EXPECT_EQ(record.calls, (std::vector<std::string> { "register", "token" }));
    application->setDelegate(nullptr);
}

TEST_F(PushServiceTest, OlderSystemsRegisterTheTypesDirectly)
{
    UIDevice::currentDevice()->setSystemVersion("7.1");
    auto delegate = std::make_shared<TokenDelegate>();
    auto application = UIApplication::sharedApplication();
    application->setDelegate(delegate);
    PUSHService::registerForRemoteNotificationTypes(5, Value());
    ASSERT_TRUE(testing_support::runUntil([&] { return delegate->tokens == 1; }));
    EXPECT_EQ(application->currentUserNotificationSettings(), nullptr) << "no settings object below 8.0";
    EXPECT_EQ(application->enabledRemoteNotificationTypes(), 5u);
    application->setDelegate(nullptr);
}

TEST_F(PushServiceTest, KeepsSetupTagsAliasAndNotificationsInOrder)
{
    auto options = Value::dictionary({ { "launch", "remote" } });
    PUSHService::setupWithOption(options, "9f3e7a1c2b8d4e6f0a5c7b3d", "Publish channel", false);
    PUSHService::setTags(std::nullopt, "0123456789abcdef0123456789abcdef", nullptr, nullptr);
    PUSHService::handleRemoteNotification(Value::dictionary({ { "pushType", 0 } }));
    PUSHService::handleRemoteNotification(Value::dictionary({ { "pushType", 1 } }));

    auto record = PUSHService::record();
    EXPECT_TRUE(record.isSetUp);
    EXPECT_EQ(record.launchOptions, options);
    EXPECT_EQ(record.appKey, "9f3e7a1c2b8d4e6f0a5c7b3d");
    EXPECT_EQ(record.channel, "Publish channel");
    EXPECT_FALSE(record.apsForProduction);
    EXPECT_FALSE(record.tags.has_value()) << "no tags leaves the tags alone";
    EXPECT_EQ(record.alias, "0123456789abcdef0123456789abcdef");
    EXPECT_FALSE(record.hasTagsCallback);
    ASSERT_EQ(record.handledNotifications.size(), 2u);
    EXPECT_EQ(record.handledNotifications[1]["pushType"].integerValue(), 1);
    EXPECT_EQ(record.calls, (std::vector<std::string> { "setup", "tags", "notification", "notification" }));

    PUSHService::setTags(
        std::set<std::string> { "vip" }, "other", [](int, const auto&, const auto&) {}, nullptr);
    PUSHService::setTags(std::nullopt, "third", nullptr, nullptr);
    record = PUSHService::record();
    EXPECT_EQ(record.tags, (std::set<std::string> { "vip" })) << "later calls without tags keep the earlier ones";
    EXPECT_EQ(record.alias, "third");
}

TEST_F(PushServiceTest, AppKeysAreTwentyFourLowercaseHexDigits)
{
    EXPECT_TRUE(PUSHService::isValidAppKey("9f3e7a1c2b8d4e6f0a5c7b3d"));
    EXPECT_FALSE(PUSHService::isValidAppKey("9F3E7A1C2B8D4E6F0A5C7B3D"));
    EXPECT_FALSE(PUSHService::isValidAppKey("9f3e7a1c2b8d4e6f0a5c7b3"));
    EXPECT_FALSE(PUSHService::isValidAppKey("9f3e7a1c2b8d4e6f0a5c7b3dg"));
    EXPECT_FALSE(PUSHService::isValidAppKey(""));
}

} // namespace
