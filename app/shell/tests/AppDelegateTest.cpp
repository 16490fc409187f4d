// Start-up and the system's calls into AppDelegate: the launch steps, the share keys, remote
// notifications (alert, news screen, link) and URL routing.
#include "app/shell/tests/ShellTestSupport.h"

#include "app/JZNewsDetailController.h"

namespace shell_test {
namespace {

class AppDelegateTest : public ShellTest {
protected:
    static Value payload(const Value& pushType, const Value& info = Value())
    {
        return Value::dictionary({ { "aps", Value::dictionary({ { "alert", "新客源已到" } }) }, { "title", "通知" },
            { "addTime", "2024-01-01 08:00" }, { "pushType", pushType }, { "info", info } });
    }
    // Delivers a notification in the given state; true when the completion ran once, with new data.
    bool receive(const Value& userInfo, UIApplicationState state)
    {
        auto application = UIApplication::sharedApplication();
        application->setApplicationState(state);
        std::vector<UIBackgroundFetchResult> results;
        delegate->applicationDidReceiveRemoteNotificationFetchCompletionHandler(
            application, userInfo, [&](UIBackgroundFetchResult r) { results.push_back(r); });
        return results == std::vector<UIBackgroundFetchResult> { UIBackgroundFetchResultNewData };
    }
    std::shared_ptr<JZNewsDetailController> news() const { return std::dynamic_pointer_cast<JZNewsDetailController>(top()); }
    std::shared_ptr<uikit::AlertBase> notificationAlert() const
    {
        auto alert = uikit::topAlert();
        return alert && alert->title() == "收到一条推送消息" ? alert : nullptr;
    }
    // Another app opens the URL, as the platform delivers it: a system-9 device uses the
    // options form, an older one the four-argument form.
    static bool openURL(const std::string& text, bool optionsForm)
    {
        UIDevice::currentDevice()->setSystemVersion(optionsForm ? "9.0" : "8.4");
        return uikit::openURLInApplication(*NSURL::URLWithString(text), "com.other.app");
    }
};

TEST_F(AppDelegateTest, ShareKeysThatAreMissingOrMisshapenConfigureNothing)
{
    server().fail("init/share.do", Failure::refuse("keys-closed"));
    launch();
    ASSERT_TRUE(waitFor([&] { return loggedContaining("keys-closed"); }));
    EXPECT_FALSE(delegate->shAppKey.has_value());

    delegate->fenXiangMsgDic(Value::array({ Value("mgId") }));
    delegate->fenXiangMsgDic(Value("text"));
    EXPECT_FALSE(delegate->shAppKey.has_value());
    EXPECT_EQ(MGApi::registeredAppId(), "");

    delegate->fenXiangMsgDic(Value::dictionary({ { "bdIosId", 1105032921 }, { "mgKey", "secret" } }));
    EXPECT_EQ(SHSocialBuddyHandler::appId(), "1105032921") << "a number becomes its decimal text";
    EXPECT_EQ(SHSocialMessengerHandler::appId(), "") << "no messenger id: the messenger stays off";
    EXPECT_EQ(MGApi::registeredAppId(), "");
    EXPECT_FALSE(delegate->shAppKey.has_value()) << "no app key: sharing keeps waiting";
    EXPECT_EQ(SHSocialData::appKey(), "");
}

// While active an alert comes first whatever the type; from the background the news opens at once
// for 0 and the alert shows for 1 (a numeric text counts), another type does nothing. The push
// script walks type 0 in front and opened from outside, looking and ignoring.
TEST_F(AppDelegateTest, ANotificationOpensTheNewsOrAsksByStateAndTypeAndEachAlertAnswersForItsOwn)
{
    launch();
    const std::tuple<UIApplicationState, Value, bool, bool> cases[] = { { UIApplicationStateActive, Value(2), true, false },
        { UIApplicationStateBackground, Value(0), false, true },
        { UIApplicationStateInactive, Value(2), false, false }, { UIApplicationStateInactive, Value("1"), true, false } };
    for (const auto& [state, type, alert, opens] : cases) {
        uikit::dismissAllAlerts(false);
        navigation()->popToRootViewControllerAnimated(false);
        EXPECT_TRUE(receive(payload(type), state)) << state << " " << type.description();
        EXPECT_EQ(uikit::topAlert() != nullptr, alert) << state << " " << type.description();
        EXPECT_EQ(notificationAlert() != nullptr, alert) << state << " " << type.description();
        EXPECT_EQ(news() != nullptr, opens) << state << " " << type.description();
    }
    EXPECT_EQ(PUSHService::record().handledNotifications.size(), std::size(cases));

    // Each alert answers for its own notification and opens only a web link: missing, foreign or
    // broken links are not opened.
    uikit::dismissAllAlerts(false);
    navigation()->popToRootViewControllerAnimated(false);
    for (const Value& info : { Value(), Value("tel:10086"), Value("not a link"), Value(42) }) {
        receive(payload(1, info), UIApplicationStateActive);
        ASSERT_TRUE(notificationAlert()->tapButtonAtIndex(0));
    }
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());

    auto first = payload(0);
    first.set("title", "第一条");
    receive(first, UIApplicationStateActive);
    auto firstAlert = notificationAlert();
    receive(payload(1, "https://example.invalid/second"), UIApplicationStateActive);
    ASSERT_NE(firstAlert, notificationAlert());
    ASSERT_TRUE(firstAlert->tapButtonAtIndex(0));
    ASSERT_NE(news(), nullptr) << "the first alert opens the first notification, not the last one";
    EXPECT_EQ(news()->titleText(), "第一条");
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    navigation()->popViewControllerAnimated(false);

    ASSERT_TRUE(notificationAlert()->tapButtonAtIndex(0));
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs(),
        (std::vector<std::string> { "https://example.invalid/second" }));
    EXPECT_EQ(navigation()->viewControllers().size(), 1u);
}

// Incoming URLs route by host (the push script sees the launch set up the push client and log in;
// the home tests see the grid and the share keys).
TEST_F(AppDelegateTest, URLsRouteByHost)
{
    launch();
    ASSERT_TRUE(waitFor([&] { return MGApi::registeredAppId() == "mg5a1c9e0b7d3f2461"; }));
    std::string order = "qm2088://walletpay/?%7B%22memo%22%3A%7B%22ResultStatus%22%3A%229000%22%7D%7D";
    EXPECT_TRUE(openURL(order, false));
    EXPECT_EQ(delegate->lastWalletResult()["resultStatus"].asString(), "9000");
    EXPECT_TRUE(openURL("qm2088://walletapi/?resultStatus=6001", false));
    EXPECT_EQ(delegate->lastWalletResult()["resultStatus"].asString(), "6001");

    EXPECT_TRUE(openURL(order, true));
    EXPECT_FALSE(openURL("qm2088://walletapi/?resultStatus=4000", true))
        << "the options form leaves walletapi to the messenger";
    EXPECT_EQ(delegate->lastWalletResult()["resultStatus"].asString(), "9000");

    EXPECT_FALSE(openURL("mg5a1c9e0b7d3f2461://app", false)) << "no app data on the pasteboard";
    UIPasteboard::generalPasteboard()->setString(R"({"mg5a1c9e0b7d3f2461": {"command": 2040}})");
    EXPECT_TRUE(openURL("mg5a1c9e0b7d3f2461://app", true));
    ASSERT_TRUE(uikit::topAlert());
    EXPECT_EQ(uikit::topAlert()->title(), "从聊天启动");
}

} // namespace
} // namespace shell_test
