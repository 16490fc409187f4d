// The allowed-types report: the bit set read by system version, and the datagram the session
// sends to the UDP report address once logged in.
#include "push/Session/tests/SessionTestSupport.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "push/Local/PUSHAPNSStateReport.h"

namespace {

class APNSState : public session_tests::SessionTest {
protected:
    void TearDown() override { app->reset(), uikit::resetDeviceProfile(), SessionTest::TearDown(); }
    std::int64_t reportedTypes(const std::string& systemVersion)
    {
        UIDevice::currentDevice()->setSystemVersion(systemVersion);
        return PUSHAPNSStateReport::init()->reportBody()["apns_state"].integerValue();
    }
    std::shared_ptr<UIApplication> app = UIApplication::sharedApplication();
};

TEST_F(APNSState, TypesFromSettingsFromVersionEightElseFromRemoteTypesSentOnceLoggedIn)
{
    app->reset();
    app->setDelegate(std::make_shared<UIApplicationDelegate>());
    EXPECT_EQ(reportedTypes("8.1") + reportedTypes("7.1"), 0);
    // The types count as the app registers them, before the platform's answer.
    app->registerForRemoteNotificationTypes(UIUserNotificationTypeSound | UIUserNotificationTypeAlert);
    // "-1" reads as an old release; a version without a number, as the platform reads it, as the
    // latest known, whose types come from the settings (none yet).
    EXPECT_EQ(std::tuple(reportedTypes("7.1"), reportedTypes("-1"), reportedTypes("unknown")), std::tuple(6, 6, 0));
    app->registerUserNotificationSettings(UIUserNotificationSettings::settingsForTypes(
        UIUserNotificationTypeBadge | UIUserNotificationTypeAlert));
    EXPECT_EQ(reportedTypes("8.0.2"), 5);
    makeSession();
    PUSHAPNSStateReport::init()->send(); // held until the session is logged in
    loggedIn();
    // The datagram's framing and the identity in it are the session tests' part.
    ASSERT_TRUE(waitFor([&] { return sink.datagrams().size() == 1; }));
    const std::string report = sink.reports().at(0);
    const Value body = PUSHJSONObject(Bytes(report.begin(), report.end()));
    EXPECT_EQ(body["apns_state"].integerValue(), 5);
    EXPECT_EQ(body["platform"].asString(), "iOS");
}

} // namespace
