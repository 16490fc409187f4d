// AppDelegate: the application's start-up and the system's calls into it. At launch it builds the
// window with the home screen at the root of a navigation stack, sets up the push client, asks
// the data server for the share keys and hands them to the share library, and configures the
// keyboard manager. It turns remote notifications into a news screen, an alert or an opened
// link, routes incoming URLs to the payment or messenger library, and answers the messenger
// app's requests with alerts. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "services/messenger/MGApi.h"

inline constexpr const char* kPushAppKey = "9f3e7a1c2b8d4e6f0a5c7b3d";
inline constexpr const char* kPushChannel = "Publish channel";
inline constexpr NSInteger kNotificationAlertTag = 101;

class AppDelegate : public UIResponder, public UIApplicationDelegate, public UIAlertViewDelegate, public MGApiDelegate {
public:
    std::string className() const override { return "AppDelegate"; }

    bool applicationDidFinishLaunchingWithOptions(const App& application, const Value& launchOptions) override;
    void applicationWillResignActive(const App&) override { }
    void applicationDidEnterBackground(const App&) override { }
    void applicationWillEnterForeground(const App&) override { }
    void applicationDidBecomeActive(const App&) override { }
    void applicationWillTerminate(const App&) override { }

    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(const App&, const Bytes& deviceToken) override;
    void applicationDidReceiveRemoteNotification(const App&, const Value& userInfo) override;
    void applicationDidReceiveRemoteNotificationFetchCompletionHandler(const App& application, const Value& userInfo,
        std::function<void(UIBackgroundFetchResult)> completionHandler) override;
    void alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alertView, NSInteger buttonIndex) override;

    // application:openURL:sourceApplication:annotation: knows "walletpay" and "walletapi";
    // application:openURL:options: only "walletpay". Everything else goes to the messenger.
    bool applicationOpenURLSourceApplicationAnnotation(const App& application, const NSURL& url,
        const std::string& sourceApplication, const Value& annotation) override;
    std::optional<bool> applicationOpenURLOptions(const App& application, const NSURL& url, const Value& options) override;

    void onReq(const std::shared_ptr<BaseReq>& req) override;
    void onResp(const std::shared_ptr<BaseResp>& resp) override;

    // Push set-up with the launch options.
    void jiGuanTuiSong(const Value& launchOptions);
    // Asks the data server for the share keys ("init/share.do").
    void shareInit();
    // Hands the share keys (the reply's "info") to the share library.
    void fenXiangMsgDic(const Value& info);

    std::shared_ptr<UIWindow> window;
    // The payload of the last remote notification received.
    Value msgDic;
    // The share library's app key from "init/share.do"; none until it arrived.
    std::optional<std::string> shAppKey;

    // The wallet's last result dictionary handed back to the app (logged; kept for the host).
    const Value& lastWalletResult() const { return lastWalletResult_; }

private:
    void showNotificationAlert(const Value& payload);
    void openNewsScreen(const Value& payload);
    void showMessengerAlert(const std::string& title, const std::string& message, NSInteger tag);
    bool routeURL(const NSURL& url, bool knowsWalletApi);

    // Each notification alert answers for the payload it was shown for.
    std::vector<std::pair<std::weak_ptr<UIAlertView>, Value>> alertPayloads_;
    Value lastWalletResult_;
};
