// Local notifications through the application's scheduled list: the error line of each refused
// call, the limit of 64, look-up and cancelling by identifier, and the alert shown in front.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <thread>

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "push/Local/PUSHLocalNotificationController.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"
#include "testing/push/CapturingLogger.h"

namespace {

using Controller = PUSHLocalNotificationController;
using Titles = std::vector<std::string>;

class LocalNotifications : public ::testing::Test {
protected:
    void SetUp() override { testing_support::runUntil([] { return true; }, 1), app->reset(), PUSHLog::addLogger(logger); }
    void TearDown() override
    {
        uikit::dismissAllAlerts(false), app->reset(), PUSHLog::removeAllLoggers(), uikit::resetDeviceProfile();
    }
    Controller::Notification schedule(const std::optional<std::string>& id, double after = 60) { return Controller::setLocalNotification(clock.now() + after, "body", 0, "", id, {}, "", {}, false, ""); }
    std::size_t scheduledCount() { return app->scheduledLocalNotifications().size(); }

    testing_support::VirtualTime clock;
    std::shared_ptr<UIApplication> app = UIApplication::sharedApplication();
    std::shared_ptr<push_test_support::CapturingLogger> logger = std::make_shared<push_test_support::CapturingLogger>();
};

TEST_F(LocalNotifications, MissingOrPastArgumentsAreRefusedWithTheirErrorLine)
{
    const std::pair<const char*, std::function<bool()>> cases[] = {
        { "通知时间不能为空", [] { return !Controller::setLocalNotification(std::nullopt, "b", 0, "", "id", {}, "", {}, false, ""); } },
        { "设置LocalNotification通知时间小于当前时间", [&] { return !schedule("id", -1); } },
        { "notificationKey参数错误，不能为空", [] { return !Controller::findLocalNotificationWithIdentifier(std::nullopt); } },
        { "notificationKey参数错误,不能为空", [] { return Controller::deleteLocalNotificationWithIdentifierKey(std::nullopt), true; } },
        { "localNotification参数错误,不能为空", [] { return Controller::deleteLocalNotification(nullptr), true; } },
        { "notification参数错误，不能为空", [] { return Controller::showLocalNotificationAtFront(nullptr, std::nullopt), true; } },
    };
    for (const auto& [line, refused] : cases)
        EXPECT_TRUE(refused() && logger->has(line)) << line;
    // A date that names no moment is refused like a missing one.
    for (double date : { std::nan(""), HUGE_VAL, -HUGE_VAL }) {
        logger->clear();
        EXPECT_FALSE(Controller::setLocalNotification(date, "b", 0, "", "id", {}, "", {}, false, "")) << date;
        EXPECT_EQ(logger->lines(), Titles { "通知时间不能为空" }) << date;
    }
    EXPECT_TRUE(scheduledCount() == 0 && uikit::visibleAlerts().empty());
}

TEST_F(LocalNotifications, RegionTriggersOnceAndCategoryAreKeptFromTheDevicesVersionEightOn)
{
    const auto kept = [&] {
        auto note = Controller::setLocalNotification(clock.now() + 60, "b", 0, "", "id",
            {}, "", Value::dictionary({ { "radius", 100 } }), true, "reply");
        return std::tuple(note->region.isDictionary(), note->regionTriggersOnce, note->category);
    };
    EXPECT_EQ(kept(), std::tuple(true, true, "reply")) << "the device as it starts is on 8.0";
    UIDevice::currentDevice()->setSystemVersion("7.1");
    EXPECT_EQ(kept(), std::tuple(false, false, ""));
}

TEST_F(LocalNotifications, FindAndCancelByIdentifierAndTheSixtyFifthIsRefusedNotReportedAsScheduled)
{
    auto a1 = schedule("a", 0); // exactly now is accepted
    schedule("b", 20);
    auto a2 = schedule("a", 30);
    app->scheduleLocalNotification(UILocalNotification::create()); // from elsewhere, untagged
    for (int i = 4; i < 64; ++i)
        ASSERT_TRUE(schedule("n" + std::to_string(i))) << i;
    EXPECT_FALSE(schedule("n64"));
    EXPECT_EQ(std::tuple(logger->has("设置本地通知不能大于64个"), scheduledCount()), std::tuple(true, 64u));

    auto found = Controller::findLocalNotificationWithIdentifier("a").value();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(std::make_pair(found[0]->fireDate, found[1]->fireDate), std::make_pair(a1->fireDate, a2->fireDate));
    Controller::deleteLocalNotificationWithIdentifierKey("a");
    EXPECT_EQ(scheduledCount(), 62u);
    EXPECT_TRUE(schedule("n64"));
    Controller::deleteLocalNotification(Controller::findLocalNotificationWithIdentifier("b")->front());
    EXPECT_EQ(scheduledCount(), 62u);
    Controller::clearAllLocalNotifications();
    EXPECT_EQ(scheduledCount(), 0u);
}

TEST_F(LocalNotifications, AlertInFrontForNoOrTheSameIdentifierOnTheMainThread)
{
    auto note = schedule("greet");
    note->alertAction = "View";
    Controller::showLocalNotificationAtFront(note, "other");
    EXPECT_TRUE(uikit::visibleAlerts().empty());
    Controller::showLocalNotificationAtFront(note, "greet");
    auto alert = uikit::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(std::tuple(alert->title(), alert->message(), alert->buttonTitles()), std::tuple("", "body", Titles { "关闭", "View" }));
    EXPECT_TRUE(alert->tapButtonAtIndex(0));

    // From another thread the alert comes up on the main thread; without an action, one button.
    note->alertAction.clear();
    std::thread([note] { Controller::showLocalNotificationAtFront(note, std::nullopt); }).join();
    ASSERT_TRUE(testing_support::runUntil([] { return uikit::topAlert() != nullptr; }));
    EXPECT_EQ(uikit::topAlert()->buttonTitles(), Titles { "关闭" });
}

} // namespace
