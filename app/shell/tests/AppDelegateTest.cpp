// Start-up and the system's calls into AppDelegate: the launch steps, the share keys, remote
// notifications (alert, news screen, link), URL routing and the messenger's requests.
#include "app/shell/tests/ShellTestSupport.h"

#include "app/JZNewsDetailController.h"
#include "app/ServerRoots.h"
#include "ui/KBKeyboardManager.h"

namespace shell_test {
namespace {

class AppDelegateTest : public ShellTest {
protected:
    static Value payload(const Value& pushType, const Value& info = Value())
    {
        return Value::dictionary({ { "aps", Value::dictionary({ { "alert", "新客源已到" } }) }, { "title", "通知" },
            { "addTime", "2024-01-01 08:00" }, { "pushType", pushType }, { "info", info } });
    }
    // Delivers a notification in the given state; returns how often the completion ran and with what.
    std::pair<int, UIBackgroundFetchResult> receive(const Value& userInfo, UIApplicationState state)
    {
        auto application = UIApplication::sharedApplication();
        application->setApplicationState(state);
        int calls = 0;
        UIBackgroundFetchResult result = UIBackgroundFetchResultFailed;
        delegate->applicationDidReceiveRemoteNotificationFetchCompletionHandler(
            application, userInfo, [&](UIBackgroundFetchResult r) {
                ++calls;
                result = r;
            });
        return { calls, result };
    }
    std::shared_ptr<JZNewsDetailController> news() const
    {
        return std::dynamic_pointer_cast<JZNewsDetailController>(top());
    }
    std::shared_ptr<uikit::AlertBase> notificationAlert() const
    {
        auto alert = uikit::topAlert();
        return alert && alert->title() == "收到一条推送消息" ? alert : nullptr;
    }
    bool openURL(const std::string& text, bool optionsForm)
    {
        auto url = *NSURL::URLWithString(text);
        auto application = UIApplication::sharedApplication();
        return optionsForm ? delegate->applicationOpenURLOptions(application, url, Value())
                           : delegate->applicationOpenURLSourceApplicationAnnotation(application, url, "", Value());
    }
};

TEST_F(AppDelegateTest, LaunchBuildsTheWindowSetsUpPushAndTheShareKeys)
{
    UIApplication::sharedApplication()->setApplicationIconBadgeNumber(9);
    UIApplication::sharedApplication()->setSimulatedDeviceToken({ 1, 2, 3 });
    auto options = Value::dictionary({ { "source", "test" } });
    launch(options);

    ASSERT_EQ(UIApplication::sharedApplication()->keyWindow(), delegate->window);
    ASSERT_NE(home(), nullptr) << "the home screen is the navigation root";
    EXPECT_EQ(UIApplication::sharedApplication()->applicationIconBadgeNumber(), 0);
    EXPECT_TRUE(KBKeyboardManager::sharedManager()->isEnabled());

    ASSERT_TRUE(waitFor([] { return PUSHService::record().deviceToken.has_value(); }))
        << "the token reaches the push client";
    auto push = PUSHService::record();
    EXPECT_EQ(push.calls, (std::vector<std::string> { "register", "setup", "tags", "token" }));
    EXPECT_EQ(push.launchOptions, options);
    EXPECT_EQ(push.alias, DVUUID::uuidForDevice());
    EXPECT_EQ(push.deviceToken, (Bytes { 1, 2, 3 }));

    ASSERT_TRUE(waitFor([&] { return delegate->shAppKey.has_value(); }));
    EXPECT_EQ(SHSocialData::appKey(), *delegate->shAppKey);
    EXPECT_EQ(MGApi::registeredAppId(), "mg5a1c9e0b7d3f2461");
    EXPECT_EQ(SHSocialBuddyHandler::url(), app::dataServerRoot() + "share.do");
}

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

TEST_F(AppDelegateTest, ANotificationWhileActiveAsksAndOnlyLookingOpensTheNews)
{
    launch();
    for (const Value& type : { Value(0), Value(1), Value(2), Value("1"), Value() }) {
        uikit::dismissAllAlerts(false);
        auto [calls, result] = receive(payload(type), UIApplicationStateActive);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(result, UIBackgroundFetchResultNewData);
        ASSERT_NE(notificationAlert(), nullptr) << type.description();
    }
    EXPECT_EQ(PUSHService::record().handledNotifications.size(), 5u);
    EXPECT_EQ(navigation()->viewControllers().size(), 1u) << "nothing opens before the answer";

    receive(payload(0), UIApplicationStateActive);
    ASSERT_TRUE(notificationAlert()->tapButtonAtIndex(1));
    auto other = UIAlertView::initWithTitle("其他", "", delegate, "去查看");
    other->show();
    ASSERT_TRUE(other->tapButtonAtIndex(0));
    EXPECT_EQ(navigation()->viewControllers().size(), 1u) << "ignoring, or another alert, opens nothing";

    receive(payload(0), UIApplicationStateActive);
    ASSERT_TRUE(notificationAlert()->tapButtonAtIndex(0));
    ASSERT_NE(news(), nullptr);
    EXPECT_EQ(news()->content(), "新客源已到");
}

TEST_F(AppDelegateTest, ALinkNotificationOpensOnlyAWebLink)
{
    launch();
    for (const Value& info : { Value(), Value("tel:10086"), Value("not a link"), Value(42) }) {
        receive(payload(1, info), UIApplicationStateActive);
        ASSERT_TRUE(notificationAlert()->tapButtonAtIndex(0));
    }
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty())
        << "missing, foreign or broken links are not opened";
}

TEST_F(AppDelegateTest, InTheBackgroundNewsOpensAtOnceAndLinksAsk)
{
    launch();
    EXPECT_EQ(receive(payload(0), UIApplicationStateBackground).first, 1);
    EXPECT_EQ(uikit::topAlert(), nullptr);
    ASSERT_NE(news(), nullptr);
    navigation()->popViewControllerAnimated(false);

    EXPECT_EQ(receive(payload(2), UIApplicationStateInactive).first, 1);
    EXPECT_EQ(uikit::topAlert(), nullptr) << "another type does nothing";
    EXPECT_EQ(navigation()->viewControllers().size(), 1u);
    receive(payload("1"), UIApplicationStateInactive);
    EXPECT_NE(notificationAlert(), nullptr) << "a numeric text counts as the number";
}

TEST_F(AppDelegateTest, EachAlertAnswersForItsOwnNotification)
{
    launch();
    auto first = payload(0);
    first.set("title", "第一条");
    auto second = payload(1, "https://example.invalid/second");
    receive(first, UIApplicationStateActive);
    auto firstAlert = notificationAlert();
    receive(second, UIApplicationStateActive);
    ASSERT_NE(firstAlert, notificationAlert());
    ASSERT_TRUE(firstAlert->tapButtonAtIndex(0));
    ASSERT_NE(news(), nullptr) << "the first alert opens the first notification, not the last one";
    EXPECT_EQ(news()->titleText(), "第一条");
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    navigation()->popViewControllerAnimated(false);

    // The second one opens its web link, and only that.
    ASSERT_TRUE(notificationAlert()->tapButtonAtIndex(0));
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs(),
        (std::vector<std::string> { "https://example.invalid/second" }));
    EXPECT_EQ(navigation()->viewControllers().size(), 1u);
}

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

TEST_F(AppDelegateTest, MessengerRequestsShowAlertsAndResponsesAreLogged)
{
    launch();
    auto show = std::make_shared<ShowMessageFromMGReq>();
    show->message = MGMediaMessage::message();
    show->message->title = "群名";
    show->message->description = "介绍";
    auto object = MGAppExtendObject::object();
    object->extInfo = "qid=3";
    show->message->mediaObject = object;
    delegate->onReq(show);
    ASSERT_TRUE(uikit::topAlert());
    EXPECT_EQ(uikit::topAlert()->message(), "标题：群名 \n内容：介绍 \n附带信息：qid=3 \n缩略图:0 bytes\n\n");

    std::size_t shown = uikit::visibleAlerts().size();
    delegate->onReq(std::make_shared<SendAuthReq>());
    auto auth = std::make_shared<SendAuthResp>();
    auth->code = "c0de";
    auth->state = "st";
    auth->lang = "zh_CN";
    auth->country = "CN";
    delegate->onResp(auth);
    EXPECT_EQ(uikit::visibleAlerts().size(), shown) << "other requests and every response show nothing";
    EXPECT_TRUE(logged("st  CN  zh_CN code：c0de"));
}

} // namespace
} // namespace shell_test
