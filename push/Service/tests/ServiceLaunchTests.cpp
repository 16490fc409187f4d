// The application's launch road through the service against the fake push server: set-up with
// an app key registers and logs in once the token arrives, the token reaches the server, tags and
// alias are answered through a callback, a block or a method, notifications are reported with their
// result codes, a second launch reuses the stored identity; the badge, page views and locations
// arrive, and background and foreground close and reopen the session.
#include "ServiceTestSupport.h"

#include <future>
#include <thread>

#include "platform/persistence/PreferredLanguages.h"
#include "platform/uikit/UIScreen.h"
#include "push/Crash/PUSHCaughtExceptionHandlerController.h"
#include "push/Storage/PUSHLocationInfoController.h"
#include "push/Storage/PUSHPage.h"
#include "push/Storage/PUSHPageFlow.h"
#include "push/Storage/PUSHPageFlowSession.h"

using namespace service_tests;

TEST_F(ServiceTest, SetupWithAppKeyRegistersLogsInReportsTheTokenReadsTheIdentifierAtOnceAndAnswersTags)
{
    launch();
    ASSERT_TRUE(waitForLogin());
    EXPECT_EQ(std::tuple(framesOf(0), framesOf(1)), std::tuple(1u, 1u)) << "one registration, one login";
    ASSERT_TRUE(testing_support::runUntil([&] { return framesOf(13) == 1; })) << "the token reaches the server";

    // The client was given the device and bundle values, in order, before its set-up.
    EXPECT_EQ(onClient<std::string>([](PUSHClientController& c) {
        return c.bundleIdentifier() + "|" + c.bundleVersion().description() + "|" + c.systemVersion() + "|"
            + c.pushConfig()->applicationKey() + "|" + c.pushConfig()->pushChanel();
    }),
        "com.quillmark.service|3|8.0|" + std::string(kAppKey) + "|chan");

    // The registration identifier is read on the caller's thread, also while the client thread
    // is held until it has been read.
    auto released = std::make_shared<std::promise<void>>();
    auto busy = std::make_shared<std::atomic<bool>>(false);
    push_service::Service::sharedService()->perform(
        [=, wait = released->get_future().share()](PUSHClientController&) { busy->store(true), wait.wait(); });
    ASSERT_TRUE(testing_support::runUntil([&] { return busy->load(); }));
    const std::string identifier = PUSHService::registrationID();
    released->set_value();
    EXPECT_EQ(identifier, "server-registration-id");

    // Tags and alias are answered through a callback with its object, a block (which needs none)
    // or a method of the object; a callback without its object is not called, but the request goes out.
    auto answering = std::make_shared<Answering>();
    auto answer = [answering](int code, const auto& tags, const std::string& alias) { answering->standard(code, tags, alias); };
    PUSHService::setTags(std::set<std::string> { "vip", "北京" }, "alias_1", answer, std::make_shared<NSObject>());
    ASSERT_TRUE(testing_support::runUntil([&] { return answering->calls == 1; }));
    EXPECT_EQ(std::tuple(answering->answer, framesOf(10)), std::tuple("0|2|alias_1", 1u));
    PUSHService::setTagsFetchCompletionHandle(std::nullopt, "alias_2", answer);
    ASSERT_TRUE(testing_support::runUntil([&] { return answering->calls == 2; }));
    EXPECT_EQ(answering->answer, "0|99|alias_2");
    PUSHService::setTags(std::nullopt, "alias_3", answer, nullptr);
    ASSERT_TRUE(testing_support::runUntil([&] { return framesOf(10) == 3; }));
    PUSHService::setTags(std::nullopt, "alias_4", &Answering::standard, answering);
    ASSERT_TRUE(testing_support::runUntil([&] { return answering->answer == "0|99|alias_4"; }));
    EXPECT_EQ(answering->calls, 3) << "a callback without its object is not called";
}

TEST_F(ServiceTest, NotificationsAreReportedWithTheirResultCodes)
{
    // Launched by a notification, which the platform then hands over once more.
    auto launchNote = Value::dictionary({ { "_j_msgid", 4242 }, { "aps", Value::dictionary() } });
    launch(Value::dictionary({ { kPUSHLaunchOptionsRemoteNotificationKey, launchNote } }));
    ASSERT_TRUE(waitForLogin());
    PUSHService::handleRemoteNotification(launchNote);
    UIApplication::sharedApplication()->setApplicationState(UIApplicationStateBackground);
    PUSHService::handleRemoteNotification(Value::dictionary({ { "_j_msgid", 4343 } }));

    // The report scheduler sends on its timer.
    ASSERT_TRUE(testing_support::runUntil([&] { return quiet() && (clock.advance(60), reportBodies().find("4343") != std::string::npos); }, 10));
    const std::string bodies = reportBodies();
    ASSERT_NE(bodies.find("4242"), std::string::npos);
    EXPECT_EQ(bodies.find("4242"), bodies.rfind("4242")) << "the launch notification is reported once";
    EXPECT_TRUE(bodies.find("2003") != std::string::npos && bodies.find("2004") != std::string::npos) << bodies;
}

TEST_F(ServiceTest, ASecondLaunchLogsInWithTheStoredIdentityAndTagsGoOutAtOnce)
{
    launch();
    ASSERT_TRUE(waitForLogin());
    finishReports();
    PUSHService::reset();

    // The app's own launch order: set-up, then tags at once, then the token.
    int calls = 0;
    PUSHService::setupWithOption(Value::dictionary(), kAppKey, "chan", false);
    PUSHService::setTags(std::nullopt, "after-restart", [&](int, const auto&, const auto&) { ++calls; }, std::make_shared<NSObject>());
    PUSHService::registerDeviceToken(Bytes { 0xAB, 0x01, 0xFF });
    ASSERT_TRUE(waitForLogin());
    EXPECT_EQ(std::tuple(framesOf(0), framesOf(1)), std::tuple(1u, 2u)) << "no second registration";
    ASSERT_TRUE(testing_support::runUntil([&] { return calls == 1; }))
        << "the stored identity counts as registered for the tags that follow the set-up";
}

TEST_F(ServiceTest, BadgePageViewsLocationsBackgroundAndCrashCaptureReachTheClient)
{
    launch();
    ASSERT_TRUE(waitForLogin());
    // Out-of-range badge values are refused; the one in range reaches the user endpoint.
    EXPECT_EQ((std::tuple { PUSHService::setBadge(100000), PUSHService::setBadge(-1), PUSHService::setBadge(99999) }),
        std::tuple(false, false, true));
    ASSERT_TRUE(testing_support::runUntil([&] { return reports.requestCount("/v1/user/") == 1; }));
    for (const auto& request : reports.requests())
        EXPECT_TRUE(request.path != "/v1/user/" || request.body.find("99999") != std::string::npos) << request.body;
    testing_support::settle(1);
    EXPECT_EQ(reports.requestCount("/v1/user/"), 1u) << "refused values send nothing";

    PUSHService::startLogPageView("home");
    PUSHService::beginLogPageView("list", 12);
    auto flow = [&] { // the page flow logged, then the page shown
        return onClient<std::string>([](PUSHClientController& c) {
            auto page = c.pageFlowController()->currentPage();
            return c.pageFlowController()->currentFlow()->pageFlow().description() + "|" + (page ? page->pageName() + ";" : "");
        }).value_or("");
    };
    const std::string shown = flow(); // "list" logged with its 12 seconds, "home" still shown
    EXPECT_TRUE(shown.find("list") != std::string::npos && shown.find("12") != std::string::npos && shown.find("|home;") != std::string::npos) << shown;
    clock.advance(5);
    PUSHService::stopLogPageView("home");
    const std::string finished = flow();
    EXPECT_TRUE(finished.find("|home;") == std::string::npos && finished.find("home") != std::string::npos) << finished;

    // Locations reach the report scheduler; a missing one is refused.
    auto locations = [&] { return onClient<std::int64_t>([](PUSHClientController& c) { return c.networkService()->reportSession()->locationInfo()->count(); }); };
    const auto before = locations();
    PUSHService::setLocation(std::nullopt);
    PUSHService::setLatitude(23.1, 113.3);
    PUSHService::setLocation(PUSHLocation { 22.5, 114.1, 10, 5, 5 });
    EXPECT_EQ(locations(), *before + 2);

    // Background closes the session, foreground logs in again; the crash hook is wired.
    uikit::enterBackground();
    EXPECT_TRUE(pollClient([](PUSHClientController& c) { return !c.networkService()->clientSession()->isSetup(); }));
    uikit::enterForeground();
    ASSERT_TRUE(waitForLogin());
    EXPECT_EQ(framesOf(1), 2u);

    PUSHService::crashLogON();
    EXPECT_TRUE(pollClient([](PUSHClientController& c) { return c.isReportCrash(); }));
    EXPECT_TRUE(PUSHCrashHandlersInstalled()) << "the crash hook installs the handlers";
    PUSHRemoveCrashHandlers();
}

// What the client tells the servers of the device is the device's as the app launches, with no
// push facts set: the allowed types, and the version and language in the device report.
class ServiceDeviceFacts : public ServiceTest, public ::testing::WithParamInterface<const char*> {
protected:
    void TearDown() override { ServiceTest::TearDown(), uikit::resetDeviceProfile(); }
    // The app's launch: it registers its types and sets the client up in the same pass of the
    // main loop, which its launch keeps busy until the client thread has finished its set-up
    // (the APNs state report included), before the platform has answered the registration.
    void launchAsTheApp()
    {
        UIApplication::sharedApplication()->setDelegate(std::make_shared<UIApplicationDelegate>());
        PUSHService::registerForRemoteNotificationTypes(
            UIUserNotificationTypeBadge | UIUserNotificationTypeSound | UIUserNotificationTypeAlert, Value());
        launch();
        auto setUp = std::make_shared<std::atomic<bool>>(false);
        push_service::Service::sharedService()->perform([setUp](PUSHClientController&) { setUp->store(true); });
        for (int i = 0; i < 1000 && !setUp->load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(setUp->load());
    }
    // The allowed types of each APNs state report received, in order.
    std::vector<std::int64_t> apnsStates()
    {
        std::vector<std::int64_t> states;
        for (const std::string& report : sink.reports()) {
            Value body = PUSHJSONObject(Bytes(report.begin(), report.end()));
            if (body.contains("apns_state"))
                states.push_back(body["apns_state"].integerValue());
        }
        return states;
    }
};

TEST_P(ServiceDeviceFacts, TheAPNsStateAndTheDeviceReportAreTheDevicesAsTheAppLaunches)
{
    UIDevice::currentDevice()->setSystemVersion(GetParam());
    ASSERT_NO_FATAL_FAILURE(launchAsTheApp());
    ASSERT_TRUE(testing_support::runUntil([&] { return apnsStates().size() == 1; }, 10));
    EXPECT_EQ(apnsStates(), std::vector<std::int64_t> { 7 });

    const auto reported = [&] { return reportBodies().find("device_info") != std::string::npos; };
    ASSERT_TRUE(testing_support::runUntil([&] { return quiet() && (clock.advance(60), reported()); }, 10));
    const std::string bodies = reportBodies();
    const std::string language = persistence::preferredLanguages().front();
    EXPECT_NE(bodies.find("\"os_version\":\"" + std::string(GetParam()) + "\""), std::string::npos) << bodies;
    EXPECT_NE(bodies.find("\"language\":\"" + language + "\""), std::string::npos) << bodies;

    // The next launch on the same home: a new process, whose platform knows no registration yet.
    finishReports();
    PUSHService::reset();
    UIApplication::sharedApplication()->reset();
    ASSERT_NO_FATAL_FAILURE(launchAsTheApp());
    ASSERT_TRUE(testing_support::runUntil([&] { return apnsStates().size() == 2; }, 10));
    EXPECT_EQ(apnsStates(), (std::vector<std::int64_t> { 7, 7 }));
}

INSTANTIATE_TEST_SUITE_P(OnEightAndSeven, ServiceDeviceFacts, ::testing::Values("8.0", "7.0"));
