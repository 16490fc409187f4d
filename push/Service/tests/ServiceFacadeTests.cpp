// The facade without a push server: registration with the platform, set-up from the property
// list and its one-shot guard, the result codes of remote notifications across launch and
// application states, and tags before the first registration.
#include "ServiceTestSupport.h"

#include "platform/uikit/UIScreen.h"
#include "push/Client/PUSHPushConfigController.h"
#include "testing/push/CapturingLogger.h"

using namespace service_tests;
using push_service::Service;

namespace {

class TokenDelegate : public UIApplicationDelegate {
public:
    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(const App&, const Bytes& token) override { PUSHService::registerDeviceToken(token), ++tokens; }
    int tokens = 0;
};

constexpr const char* kPushConfig = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                    "<key>APP_KEY</key><string>ABCDEF0123456789ABCDEF01</string>"
                                    "<key>CHANNEL</key><string>store</string></dict></plist>\n";

std::optional<std::uint32_t> codeOf(const Value& note, bool atLaunch = false) { return Service::sharedService()->handleRemoteNotification(note, atLaunch); }
// A notification with this message identifier, or none when 0.
Value note(std::int64_t id) { return id ? Value::dictionary({ { "_j_msgid", id } }) : Value::dictionary({ { "aps", "x" } }); }

} // namespace

TEST_F(ServiceTest, RegistrationAsksThePlatformForTokenAndSettingsByVersion)
{
    auto delegate = std::make_shared<TokenDelegate>();
    auto application = UIApplication::sharedApplication();
    struct Case {
        const char* version;
        std::uint32_t types;
        bool settings;
    };
    // A version without a number reads as the platform reads it: the latest known release.
    const Case cases[] = { { "8.0", 7u, true }, { "7.1", 5u, false }, { "beta", 6u, true } };
    int tokens = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        application->reset();
        application->setDelegate(delegate);
        application->setSimulatedDeviceToken({ 0xde, 0xad, 0xbe, 0xef });
        UIDevice::currentDevice()->setSystemVersion(c.version);
        PUSHService::registerForRemoteNotificationTypes(c.types, Value());
        ASSERT_TRUE(testing_support::runUntil([&] { return delegate->tokens == tokens + 1; }));
        ++tokens;
        // Settings from 8.0 on; below it the enabled remote-notification types.
        const auto settings = application->currentUserNotificationSettings();
        EXPECT_EQ(std::pair(settings != nullptr, settings ? settings->types() : application->enabledRemoteNotificationTypes()), std::pair(c.settings, c.types));
    }
    UIDevice::currentDevice()->setSystemVersion("8.0");

    auto record = PUSHService::record();
    EXPECT_EQ(std::tuple(record.notificationTypes, record.deviceToken, record.calls),
        std::tuple(6u, Bytes { 0xde, 0xad, 0xbe, 0xef },
            std::vector<std::string> { "register", "token", "register", "token", "register", "token" }));
    application->setDelegate(nullptr);
}

TEST_F(ServiceTest, PushConfigFromTheBundleAndTheOneShotSetUp)
{
    PUSHService::setupWithOption(Value::dictionary(), "", "chan", false);
    EXPECT_FALSE(isSetUp()) << "an invalid key in code";
    EXPECT_EQ(PUSHService::registrationID(), "");
    PUSHService::reset();
    PUSHService::setupWithOption(Value::dictionary());
    EXPECT_FALSE(isSetUp()) << "no PushConfig.plist";
    writeBundle({ { "PushConfig.plist", kPushConfig } });
    PUSHService::setupWithOption(Value::dictionary(), kAppKey, "chan", false);
    EXPECT_FALSE(isSetUp()) << "the set-up runs once per process, also after a failed one";

    PUSHService::reset();
    PUSHService::setupWithOption(Value::dictionary());
    EXPECT_EQ(onClient<std::string>([](PUSHClientController& c) { return c.pushConfig()->applicationKey() + "|" + c.pushConfig()->pushChanel(); }),
        "abcdef0123456789abcdef01|store");
}

TEST(ServiceAppKey, IsValidExactlyWhenTheConfigurationTakesIt)
{
    for (const char* key : { "ABCDEF0123456789ABCDEF01", "0123456789abcdef01234567", "short7", "", "abc-def", "key ", "键" })
        EXPECT_EQ(PUSHService::isValidAppKey(key), PUSHPushConfigController::isValidAppKey(Value(key))) << key;
    EXPECT_TRUE(PUSHService::isValidAppKey("ABCDEF0123456789ABCDEF01"));
    EXPECT_FALSE(PUSHService::isValidAppKey("abc-def"));
}

TEST_F(ServiceTest, LaunchNotificationIsReportedOnceAndLaterOnesByState)
{
    auto application = UIApplication::sharedApplication();
    EXPECT_EQ(codeOf(Value::dictionary()), std::nullopt) << "an empty notification is ignored";
    EXPECT_EQ(codeOf(note(7), true), 2003u);
    EXPECT_EQ(codeOf(note(7)), std::nullopt) << "the platform's second delivery of the launch notification";
    EXPECT_EQ(codeOf(note(7)), 2001u) << "only the first one after launch is compared";

    application->setApplicationState(UIApplicationStateInactive);
    EXPECT_EQ(codeOf(note(8)), 2001u) << "inactive without a background phase";
    uikit::enterBackground();
    EXPECT_EQ(codeOf(note(9)), 2004u);
    application->setApplicationState(UIApplicationStateInactive);
    EXPECT_EQ(codeOf(note(10)), 2002u) << "opened from the background";
    uikit::becomeActive();
    application->setApplicationState(UIApplicationStateInactive);
    EXPECT_EQ(codeOf(note(11)), 2001u);
    application->setApplicationState(static_cast<UIApplicationState>(5));
    EXPECT_EQ(codeOf(note(12)), 2000u);

    // Without a launch notification the first later one is still reported.
    PUSHService::reset();
    application->reset();
    EXPECT_EQ(codeOf(Value(), true), std::nullopt);
    EXPECT_EQ(codeOf(note(0)), 2001u) << "no identifier must not look like the launch notification";
    PUSHService::reset();
    EXPECT_EQ(codeOf(note(0), true), 2003u);
    EXPECT_EQ(codeOf(note(0)), 2001u) << "a launch notification without identifier is handled at once";
}

TEST_F(ServiceTest, TagsBeforeTheFirstRegistrationAreDroppedWithoutCallback)
{
    auto logger = std::make_shared<push_test_support::CapturingLogger>();
    PUSHLog::addLogger(logger);
    PUSHService::setupWithOption(Value::dictionary(), kAppKey, "chan", false);
    int calls = 0;
    PUSHService::setTags(std::set<std::string> { "a" }, "b", [&](int, const auto&, const auto&) { ++calls; }, std::make_shared<NSObject>());
    PUSHService::setTagsAliasInbackground(std::nullopt, "b");
    // A callback that would be invalid is not checked: the request is dropped before that.
    PUSHService::setTags(std::nullopt, "c", [&](char, const auto&, const auto&) { ++calls; }, std::make_shared<NSObject>());
    ASSERT_TRUE(isSetUp());
    testing_support::settle(1);
    EXPECT_EQ(std::tuple(calls, server.acceptedCount(), PUSHService::registrationID()), std::tuple(0, 0u, ""));
    EXPECT_EQ(std::pair(logger->count("app not registed, give up set tag:"), logger->count("Push Warning")), std::pair(3ul, 0ul));
    PUSHLog::removeLogger(logger);
}
