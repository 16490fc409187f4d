// Local notifications through the application's scheduled list: the fire-date rules, the fields
// and the tagged user information, the system-version gate, the limit of 64, look-up and
// cancelling by identifier, and the alert shown in front.
#include "push/Report/tests/ReportTestSupport.h"

#include <thread>

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "push/Local/PUSHLocalNotificationController.h"
#include "testing/VirtualTime.h"

namespace {

using Controller = PUSHLocalNotificationController;

class LocalNotifications : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::runUntil([] { return true; }, 1);
        app->reset();
        PUSHLog::addLogger(logger);
        setSystemVersion("8.0");
    }
    void TearDown() override
    {
        uikit::dismissAllAlerts(false);
        app->reset();
        PUSHLog::removeAllLoggers();
        push_utilities::setDeviceEnvironment({});
    }
    static void setSystemVersion(const std::string& version)
    {
        auto environment = push_utilities::deviceEnvironment();
        environment.systemVersion = version;
        push_utilities::setDeviceEnvironment(environment);
    }
    bool logged(const std::string& text)
    {
        PUSHLog::flushLog();
        return testing_support::runUntil([&] { return logger->has(text); });
    }
    Controller::Notification schedule(const std::optional<std::string>& identifier, double after = 60)
    {
        return Controller::setLocalNotification(clock.now() + after, "body", 0, "", identifier, {}, "", {}, false, "");
    }
    std::size_t scheduledCount() { return app->scheduledLocalNotifications().size(); }

    testing_support::VirtualTime clock;
    std::shared_ptr<UIApplication> app = UIApplication::sharedApplication();
    std::shared_ptr<report_tests::CapturingLogger> logger = std::make_shared<report_tests::CapturingLogger>();
};

TEST_F(LocalNotifications, FireDateFieldsTaggedUserInformationAndTheVersionGate)
{
    EXPECT_FALSE(Controller::setLocalNotification(std::nullopt, "b", 0, "", "id", {}, "", {}, false, ""));
    EXPECT_TRUE(logged("通知时间不能为空"));
    EXPECT_FALSE(schedule("id", -1));
    EXPECT_TRUE(logged("设置LocalNotification通知时间小于当前时间"));
    EXPECT_EQ(scheduledCount(), 0u);

    auto made = Controller::setLocalNotification(clock.now() + 5, "Time to call", 3, "Open", "call-1",
        Value::dictionary({ { "lead", Value(42) } }), "chime.caf", Value("home"), true, "calls");
    ASSERT_TRUE(made);
    EXPECT_NE(made, app->scheduledLocalNotifications().at(0)); // a copy, not the scheduled object
    EXPECT_FALSE(made->timeZone.empty());
    EXPECT_EQ(made->soundName, "chime.caf");
    EXPECT_EQ(made->applicationIconBadgeNumber, 3);
    EXPECT_EQ(made->userInfo, Value::dictionary({ { "lead", Value(42) }, { kPUSHNotificationKey, Value("call-1") } }));
    EXPECT_EQ(made->region, Value("home"));
    EXPECT_TRUE(made->regionTriggersOnce);
    EXPECT_EQ(made->category, "calls");

    auto plain = schedule("tag-only", 0); // exactly now is accepted
    EXPECT_EQ(plain->soundName, UILocalNotificationDefaultSoundName);
    EXPECT_EQ(plain->applicationIconBadgeNumber, 0);
    EXPECT_EQ(plain->userInfo, Value::dictionary({ { kPUSHNotificationKey, Value("tag-only") } }));
    EXPECT_TRUE(schedule(std::string())->userInfo.isAbsent());

    setSystemVersion("7.1");
    auto older = Controller::setLocalNotification(clock.now() + 5, "b", 0, "", "x", {}, "", Value("r"), true, "c");
    EXPECT_TRUE(older->region.isAbsent());
    EXPECT_FALSE(older->regionTriggersOnce);
    EXPECT_TRUE(older->category.empty());
}

TEST_F(LocalNotifications, SixtyFifthIsRefusedAndNotReportedAsScheduled)
{
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(schedule("n" + std::to_string(i))) << i;
    EXPECT_FALSE(schedule("n64"));
    EXPECT_TRUE(logged("设置本地通知不能大于64个"));
    EXPECT_EQ(scheduledCount(), 64u);
    Controller::deleteLocalNotificationWithIdentifierKey("n0");
    EXPECT_TRUE(schedule("n64"));
}

TEST_F(LocalNotifications, FindAndCancelByIdentifier)
{
    auto a1 = schedule("a", 10);
    schedule("b", 20);
    auto a2 = schedule("a", 30);
    app->scheduleLocalNotification(UILocalNotification::create()); // from elsewhere, untagged

    auto found = Controller::findLocalNotificationWithIdentifier("a");
    ASSERT_EQ(found.value().size(), 2u);
    EXPECT_EQ(found->at(0)->fireDate, a1->fireDate);
    EXPECT_EQ(found->at(1)->fireDate, a2->fireDate);
    EXPECT_FALSE(Controller::findLocalNotificationWithIdentifier(std::nullopt));
    EXPECT_TRUE(logged("notificationKey参数错误，不能为空"));
    int visited = 0;
    Controller::p_deleteCacheObjectWithKeyUsingBlock("a", [&](const Controller::Notification&, bool& stop) {
        stop = ++visited == 1;
    });
    EXPECT_EQ(visited, 1);

    Controller::deleteLocalNotificationWithIdentifierKey("a");
    EXPECT_EQ(scheduledCount(), 2u);
    Controller::deleteLocalNotificationWithIdentifierKey(std::nullopt);
    EXPECT_TRUE(logged("notificationKey参数错误,不能为空"));
    Controller::deleteLocalNotification(Controller::findLocalNotificationWithIdentifier("b")->front());
    EXPECT_EQ(scheduledCount(), 1u);
    Controller::deleteLocalNotification(nullptr);
    EXPECT_TRUE(logged("localNotification参数错误,不能为空"));
    Controller::clearAllLocalNotifications();
    EXPECT_EQ(scheduledCount(), 0u);
}

TEST_F(LocalNotifications, AlertInFrontForNoOrTheSameIdentifier)
{
    auto note = schedule("greet");
    note->alertAction = "View";
    Controller::showLocalNotificationAtFront(note, "other");
    EXPECT_TRUE(uikit::visibleAlerts().empty());
    Controller::showLocalNotificationAtFront(nullptr, std::nullopt);
    EXPECT_TRUE(logged("notification参数错误，不能为空"));

    Controller::showLocalNotificationAtFront(note, "greet");
    auto alert = uikit::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "");
    EXPECT_EQ(alert->message(), "body");
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string> { "关闭", "View" }));
    EXPECT_TRUE(alert->tapButtonAtIndex(0));

    // From another thread the alert comes up on the main thread; without an action, one button.
    note->alertAction.clear();
    std::thread([note] { Controller::showLocalNotificationAtFront(note, std::nullopt); }).join();
    ASSERT_TRUE(testing_support::runUntil([] { return uikit::topAlert() != nullptr; }));
    EXPECT_EQ(uikit::topAlert()->buttonTitles(), (std::vector<std::string> { "关闭" }));
}

} // namespace
