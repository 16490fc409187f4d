// The application object's seams: URLs, remote registration, local notifications on the
// clock, state notifications, the album writer, and UIApplicationMain's runner.
#include "Fixture.h"

#include "platform/uikit/PhotoAlbum.h"
#include "platform/uikit/UIMenuController.h"
#include "testing/TempHome.h"

namespace {

struct Delegate : UIResponder, UIApplicationDelegate {
    std::vector<std::string> events;
    Bytes token;
    bool applicationDidFinishLaunchingWithOptions(const App&, const Value&) override
    {
        events.push_back("launched");
        return true;
    }
    void applicationDidBecomeActive(const App&) override { events.push_back("active"); }
    void applicationDidEnterBackground(const App&) override { events.push_back("background"); }
    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(const App&, const Bytes& t) override { token = t; }
    void applicationDidFailToRegisterForRemoteNotificationsWithError(const App&, const NSErrorRef& e) override
    {
        events.push_back("failed " + std::to_string(e->code()));
    }
    void applicationDidReceiveRemoteNotification(const App&, const Value& info) override
    {
        events.push_back("push " + info["aps"]["alert"].stringValue());
    }
    void applicationDidReceiveLocalNotification(const App&, const std::shared_ptr<UILocalNotification>& n) override
    {
        events.push_back("local " + n->alertBody);
    }
    bool applicationHandleOpenURL(const App&, const NSURL& url) override
    {
        events.push_back("open " + url.absoluteString());
        return true;
    }
};

TEST_F(UIKitTest, LifecycleRemoteRegistrationAndIncomingEvents)
{
    auto delegate = std::make_shared<Delegate>();
    uikit::launchApplication(delegate);
    auto app = UIApplication::sharedApplication();
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    app->registerForRemoteNotifications();
    EXPECT_TRUE(delegate->token.empty()) << "the answer comes on the next turn";
    testing_support::settle();
    EXPECT_EQ(delegate->token.size(), 32u);
    app->setRemoteRegistrationError(NSError::errorWithDomain("NSCocoaErrorDomain", 3010));
    app->registerForRemoteNotifications();
    testing_support::settle();

    UIBackgroundFetchResult result = UIBackgroundFetchResultNewData;
    uikit::receiveRemoteNotification(Value::dictionary({ { "aps", Value::dictionary({ { "alert", "hi" } }) } }), &result);
    EXPECT_EQ(result, UIBackgroundFetchResultNoData);
    EXPECT_TRUE(uikit::openURLInApplication(*NSURL::URLWithString("wx123://pay"), "com.other"));
    uikit::enterBackground();
    EXPECT_EQ(delegate->events, (std::vector<std::string> { "launched", "active", "failed 3010", "push hi",
                                    "open wx123://pay", "background" }));
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);

    EXPECT_TRUE(app->openURL(*NSURL::URLWithString("http://example.com/a")));
    app->setCanOpenURLHandler([](const NSURL&) { return false; });
    EXPECT_FALSE(app->openURL(*NSURL::URLWithString("chatapp://")));
    EXPECT_EQ(app->openedURLs(), (std::vector<std::string> { "http://example.com/a", "chatapp://" }));
}

// A delegate with the options form hears of URLs there on system 9 and later, and through the
// four-argument form before; one without it always through the four-argument form.
struct OptionsDelegate : Delegate {
    Value options;
    std::optional<bool> applicationOpenURLOptions(const App&, const NSURL& url, const Value& given) override
    {
        events.push_back("options " + url.absoluteString());
        options = given;
        return false;
    }
};

TEST_F(UIKitTest, IncomingURLsReachTheFormTheSystemVersionHas)
{
    auto url = *NSURL::URLWithString("wx123://pay");
    auto withOptions = std::make_shared<OptionsDelegate>();
    uikit::launchApplication(withOptions);
    EXPECT_TRUE(uikit::openURLInApplication(url, "com.other"));
    UIDevice::currentDevice()->setSystemVersion("9.0");
    EXPECT_FALSE(uikit::openURLInApplication(url, "com.other", Value("note"))) << "the options form's answer stands";
    UIDevice::currentDevice()->setSystemVersion(""); // read as the latest known release
    EXPECT_FALSE(uikit::openURLInApplication(url, "com.other", Value("note")));
    EXPECT_EQ(withOptions->events,
        (std::vector<std::string> { "launched", "active", "open wx123://pay", "options wx123://pay", "options wx123://pay" }));
    EXPECT_EQ(withOptions->options, Value::dictionary({ { UIApplicationOpenURLOptionsSourceApplicationKey, "com.other" },
                                        { UIApplicationOpenURLOptionsAnnotationKey, "note" } }));

    auto without = std::make_shared<Delegate>();
    UIApplication::sharedApplication()->setDelegate(without);
    EXPECT_TRUE(uikit::openURLInApplication(url));
    EXPECT_EQ(without->events, (std::vector<std::string> { "open wx123://pay" }));
}

TEST_F(UIKitTest, LocalNotificationsFireOnTheClock)
{
    auto delegate = std::make_shared<Delegate>();
    uikit::launchApplication(delegate);
    auto app = UIApplication::sharedApplication();
    auto note = UILocalNotification::create();
    note->fireDate = time.now() + 60;
    note->alertBody = "due";
    app->scheduleLocalNotification(note);
    auto cancelled = UILocalNotification::create();
    cancelled->fireDate = time.now() + 30;
    app->scheduleLocalNotification(cancelled);
    app->cancelLocalNotification(cancelled);
    EXPECT_EQ(app->scheduledLocalNotifications().size(), 1u);
    advance(59);
    EXPECT_EQ(delegate->events.back(), "active");
    advance(1);
    EXPECT_EQ(delegate->events.back(), "local due");
    EXPECT_TRUE(app->scheduledLocalNotifications().empty());

    uikit::enterBackground();
    auto badge = UILocalNotification::create();
    badge->fireDate = time.now() + 5;
    badge->applicationIconBadgeNumber = 3;
    app->scheduleLocalNotification(badge);
    advance(5);
    EXPECT_EQ(app->applicationIconBadgeNumber(), 3) << "in the background the badge is applied";
    EXPECT_EQ(app->deliveredLocalNotifications().size(), 1u);
}

TEST_F(UIKitTest, UIApplicationMainHandsControlToTheRunner)
{
    auto delegate = std::make_shared<Delegate>();
    uikit::setApplicationMainRunner([&] { return delegate->events.size() == 2 ? 7 : 0; });
    EXPECT_EQ(UIApplicationMain(0, nullptr, [&] { return delegate; }), 7);
    uikit::setApplicationMainRunner(nullptr);
}

TEST_F(UIKitTest, SavingToTheAlbumWritesAFileAndCallsBack)
{
    testing_support::TempHome home;
    uikit::album::reset();
    auto image = solidImage({ 4, 4 });
    std::vector<long> codes;
    int context = 1;
    auto record = [&](const UIImageRef& saved, const NSErrorRef& error, void* ctx) {
        EXPECT_EQ(saved, image);
        EXPECT_EQ(ctx, &context);
        codes.push_back(error ? static_cast<long>(error->code()) : 0);
    };
    UIImageWriteToSavedPhotosAlbum(image, record, &context);
    UIImageWriteToSavedPhotosAlbum(image, record, &context);
    ASSERT_TRUE(testing_support::runUntil([&] { return codes.size() == 2; }));
    EXPECT_EQ(codes, (std::vector<long> { 0, 0 }));
    EXPECT_EQ(uikit::album::imagePaths().size(), 2u) << "a second save keeps the first picture";
    uikit::album::setAccessDenied(true);
    UIImageWriteToSavedPhotosAlbum(image, record, &context);
    ASSERT_TRUE(testing_support::runUntil([&] { return codes.size() == 3; }));
    EXPECT_EQ(codes.back(), -3310);
    uikit::album::reset();
}

TEST_F(UIKitTest, DeviceProfileMovesTheVersionNumbersTogether)
{
    auto device = UIDevice::currentDevice();
    EXPECT_EQ(device->systemVersion(), "8.0");
    EXPECT_GT(NSFoundationVersionNumber, 1047.25);
    device->setSystemVersion("7.1");
    EXPECT_EQ(NSFoundationVersionNumber, NSFoundationVersionNumber_iOS_7_1);
    EXPECT_LT(kCFCoreFoundationVersionNumber, kCFCoreFoundationVersionNumber_iOS_8_0);
    device->setSystemVersion("6.0");
    EXPECT_LT(kCFCoreFoundationVersionNumber, 847.2);
    UIScreen::mainScreen()->configure({ 375, 667 }, 3);
    EXPECT_EQ(UIWindow::create()->frame().size, (CGSize { 375, 667 }));
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarFrame(), (CGRect { {}, { 375, 20 } }));
}

TEST_F(UIKitTest, TheMenuRecordsWhatWasAsked)
{
    auto menu = UIMenuController::sharedMenuController();
    menu->reset();
    auto label = UIView::create({ { 0, 0 }, { 50, 20 } });
    menu->setTargetRect(label->frame(), label);
    menu->setMenuVisible(true, true);
    menu->setMenuVisible(true, true);
    EXPECT_EQ(menu->showCount(), 1);
    EXPECT_EQ(menu->targetView(), label);
}

} // namespace
