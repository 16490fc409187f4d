// UIApplication: the delegate, state, windows, badge, URL opening (recorded), remote and local
// notifications, and the application-state notifications. uikit:: drivers play the system's
// part: launch, activation, backgrounding, incoming notifications and URLs. UIApplicationMain
// launches the delegate and runs the main loop (or a runner the host installs).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIViewController.h"

class UIApplication;
class UIWindow;

inline const std::string UIApplicationDidFinishLaunchingNotification = "UIApplicationDidFinishLaunchingNotification";
inline const std::string UIApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline const std::string UIApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline const std::string UIApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline const std::string UIApplicationWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
inline const std::string UIApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";
inline const std::string UIApplicationDidReceiveMemoryWarningNotification = "UIApplicationDidReceiveMemoryWarningNotification";
inline const std::string UIApplicationWillChangeStatusBarOrientationNotification = "UIApplicationWillChangeStatusBarOrientationNotification";
inline const std::string UIApplicationDidChangeStatusBarOrientationNotification = "UIApplicationDidChangeStatusBarOrientationNotification";

enum UIApplicationState : int { UIApplicationStateActive = 0, UIApplicationStateInactive = 1, UIApplicationStateBackground = 2 };
enum UIBackgroundFetchResult : int { UIBackgroundFetchResultNewData = 0, UIBackgroundFetchResultNoData = 1, UIBackgroundFetchResultFailed = 2 };

using UIUserNotificationType = std::uint32_t;
inline constexpr UIUserNotificationType UIUserNotificationTypeNone = 0;
inline constexpr UIUserNotificationType UIUserNotificationTypeBadge = 1 << 0;
inline constexpr UIUserNotificationType UIUserNotificationTypeSound = 1 << 1;
inline constexpr UIUserNotificationType UIUserNotificationTypeAlert = 1 << 2;
using UIRemoteNotificationType = std::uint32_t;

using UIBackgroundTaskIdentifier = std::uint64_t;
inline constexpr UIBackgroundTaskIdentifier UIBackgroundTaskInvalid = 0;

class UIUserNotificationSettings final : public NSObject {
public:
    static std::shared_ptr<UIUserNotificationSettings> settingsForTypes(UIUserNotificationType types, Value categories = {});
    UIUserNotificationType types() const { return types_; }
    std::string className() const override { return "UIUserNotificationSettings"; }

private:
    UIUserNotificationType types_ = 0;
};

class UILocalNotification final : public NSObject {
public:
    static std::shared_ptr<UILocalNotification> create() { return std::make_shared<UILocalNotification>(); }
    std::string className() const override { return "UILocalNotification"; }
    std::optional<double> fireDate; // seconds since 1970; none fires at once
    std::string alertBody;
    std::string alertAction;
    std::string soundName;
    NSInteger applicationIconBadgeNumber = 0;
    Value userInfo;
    std::string timeZone; // empty: the fire date is absolute
    Value region;         // a region that triggers it instead of the date
    bool regionTriggersOnce = false;
    std::string category;
    // An unscheduled notification with the same fields.
    std::shared_ptr<UILocalNotification> copy() const
    {
        auto made = create();
        made->fireDate = fireDate;
        made->alertBody = alertBody;
        made->alertAction = alertAction;
        made->soundName = soundName;
        made->applicationIconBadgeNumber = applicationIconBadgeNumber;
        made->userInfo = userInfo;
        made->timeZone = timeZone;
        made->region = region;
        made->regionTriggersOnce = regionTriggersOnce;
        made->category = category;
        return made;
    }
};

inline const std::string UILocalNotificationDefaultSoundName = "UILocalNotificationDefaultSoundName";

class UIApplicationDelegate {
public:
    using App = std::shared_ptr<UIApplication>;
    virtual ~UIApplicationDelegate() = default;
    virtual bool applicationWillFinishLaunchingWithOptions(const App&, const Value&) { return true; }
    virtual bool applicationDidFinishLaunchingWithOptions(const App&, const Value&) { return true; }
    virtual void applicationDidBecomeActive(const App&) { }
    virtual void applicationWillResignActive(const App&) { }
    virtual void applicationDidEnterBackground(const App&) { }
    virtual void applicationWillEnterForeground(const App&) { }
    virtual void applicationWillTerminate(const App&) { }
    virtual void applicationDidReceiveMemoryWarning(const App&) { }
    virtual void applicationDidRegisterForRemoteNotificationsWithDeviceToken(const App&, const Bytes&) { }
    virtual void applicationDidFailToRegisterForRemoteNotificationsWithError(const App&, const NSErrorRef&) { }
    virtual void applicationDidRegisterUserNotificationSettings(const App&, const std::shared_ptr<UIUserNotificationSettings>&) { }
    virtual void applicationDidReceiveRemoteNotification(const App&, const Value&) { }
    // The newer form; by default it hands over to the older one and reports no data.
    virtual void applicationDidReceiveRemoteNotificationFetchCompletionHandler(const App& app, const Value& userInfo,
        std::function<void(UIBackgroundFetchResult)> completion)
    {
        applicationDidReceiveRemoteNotification(app, userInfo);
        if (completion)
            completion(UIBackgroundFetchResultNoData);
    }
    virtual void applicationDidReceiveLocalNotification(const App&, const std::shared_ptr<UILocalNotification>&) { }
    virtual bool applicationHandleOpenURL(const App&, const NSURL&) { return false; }
    // The newer form; by default it hands over to the older one.
    virtual bool applicationOpenURLSourceApplicationAnnotation(const App& app, const NSURL& url, const std::string&, const Value&)
    {
        return applicationHandleOpenURL(app, url);
    }
    // The form of system 9 and later, with the options dictionary (the source application under
    // UIApplicationOpenURLOptionsSourceApplicationKey, the annotation under
    // UIApplicationOpenURLOptionsAnnotationKey). A delegate that has it answers; the default
    // answers none, and the system then uses the four-argument form.
    virtual std::optional<bool> applicationOpenURLOptions(const App&, const NSURL&, const Value& /*options*/)
    {
        return std::nullopt;
    }
};

inline constexpr const char* UIApplicationOpenURLOptionsSourceApplicationKey = "UIApplicationOpenURLOptionsSourceApplicationKey";
inline constexpr const char* UIApplicationOpenURLOptionsAnnotationKey = "UIApplicationOpenURLOptionsAnnotationKey";

class UIApplication final : public UIResponder {
public:
    static std::shared_ptr<UIApplication> sharedApplication();
    std::string className() const override { return "UIApplication"; }

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
    UIApplicationState applicationState() const { return state_; }
    void setApplicationState(UIApplicationState state) { state_ = state; }

    std::shared_ptr<UIWindow> keyWindow() const { return keyWindow_.lock(); }
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    void registerWindow(const std::shared_ptr<UIWindow>& window);
    void setKeyWindow(const std::shared_ptr<UIWindow>& window) { keyWindow_ = window; }

    NSInteger applicationIconBadgeNumber() const { return badge_; }
    void setApplicationIconBadgeNumber(NSInteger badge) { badge_ = badge; }
    bool isNetworkActivityIndicatorVisible() const { return networkIndicator_; }
    void setNetworkActivityIndicatorVisible(bool visible) { networkIndicator_ = visible; }
    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden, bool animated = false);
    CGRect statusBarFrame() const;
    UIInterfaceOrientation statusBarOrientation() const { return orientation_; }
    // Posts the will- and did-change notifications around the change.
    void setStatusBarOrientation(UIInterfaceOrientation orientation, bool animated = false);

    // Opening URLs outside the app: recorded; the answer comes from the seam (yes by default).
    bool openURL(const NSURL& url);
    bool canOpenURL(const NSURL& url) const;
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    void setCanOpenURLHandler(std::function<bool(const NSURL&)> handler) { canOpen_ = std::move(handler); }

    // Remote notifications: the answer reaches the delegate on the main loop's next turn,
    // with the simulated token, or the error set through the seam. There is no permission
    // prompt here: the types and the settings the app registers count at once. The
    // registration state may be read from any thread.
    void registerForRemoteNotifications();
    void registerForRemoteNotificationTypes(UIRemoteNotificationType types);
    void unregisterForRemoteNotifications();
    bool isRegisteredForRemoteNotifications() const { return registeredRemote_; }
    UIRemoteNotificationType enabledRemoteNotificationTypes() const { return remoteTypes_; }
    void registerUserNotificationSettings(const std::shared_ptr<UIUserNotificationSettings>& settings);
    std::shared_ptr<UIUserNotificationSettings> currentUserNotificationSettings() const;
    void setSimulatedDeviceToken(Bytes token) { token_ = std::move(token); registrationError_.reset(); }
    void setRemoteRegistrationError(NSErrorRef error) { registrationError_ = std::move(error); }

    // Local notifications fire on the platform clock (on the main loop): the delegate hears of
    // them while active; otherwise their badge number is applied and they are kept as delivered.
    void scheduleLocalNotification(const std::shared_ptr<UILocalNotification>& notification);
    void presentLocalNotificationNow(const std::shared_ptr<UILocalNotification>& notification);
    void cancelLocalNotification(const std::shared_ptr<UILocalNotification>& notification);
    void cancelAllLocalNotifications();
    std::vector<std::shared_ptr<UILocalNotification>> scheduledLocalNotifications() const;
    const std::vector<std::shared_ptr<UILocalNotification>>& deliveredLocalNotifications() const { return delivered_; }

    // Background tasks may be begun and ended from any thread.
    UIBackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    void endBackgroundTask(UIBackgroundTaskIdentifier identifier);
    // Test driver: runs and forgets every pending expiration handler (outside the task lock, so
    // a handler may end or begin tasks).
    void expireBackgroundTasks();
    std::size_t backgroundTaskCount() const;

    // Resets everything to a fresh application (for tests and the host).
    void reset();

private:
    void deliver(const std::shared_ptr<UILocalNotification>& notification);
    struct Scheduled {
        std::shared_ptr<UILocalNotification> notification;
        std::shared_ptr<NSObject> timer;
    };
    std::shared_ptr<UIApplicationDelegate> delegate_;
    UIApplicationState state_ = UIApplicationStateInactive;
    std::vector<std::weak_ptr<UIWindow>> windows_;
    std::weak_ptr<UIWindow> keyWindow_;
    NSInteger badge_ = 0;
    bool networkIndicator_ = false;
    bool idleTimerDisabled_ = false;
    bool statusBarHidden_ = false;
    UIInterfaceOrientation orientation_ = UIInterfaceOrientationPortrait;
    std::vector<std::string> openedURLs_;
    std::function<bool(const NSURL&)> canOpen_;
    std::atomic<bool> registeredRemote_ = false;
    std::atomic<UIRemoteNotificationType> remoteTypes_ = 0;
    mutable std::mutex settingsMutex_; // guards settings_
    std::shared_ptr<UIUserNotificationSettings> settings_;
    Bytes token_;
    NSErrorRef registrationError_;
    std::vector<Scheduled> scheduled_;
    std::vector<std::shared_ptr<UILocalNotification>> delivered_;
    using BackgroundTasks = std::vector<std::pair<UIBackgroundTaskIdentifier, std::function<void()>>>;
    mutable std::mutex backgroundTasksMutex_; // guards the two below
    BackgroundTasks backgroundTasks_;
    UIBackgroundTaskIdentifier nextTask_ = 1;
};

namespace uikit {

// The system's side of the application's life.
void launchApplication(std::shared_ptr<UIApplicationDelegate> delegate, const Value& options = {});
void becomeActive();
void resignActive();
void enterBackground(); // resigns active first when active
void enterForeground(); // then becomes active
void terminateApplication();
void receiveMemoryWarning();
// An incoming push: the delegate's fetch-completion form (the completion's result is returned
// through `result` when given).
void receiveRemoteNotification(const Value& userInfo, UIBackgroundFetchResult* result = nullptr);
// Another app opens a URL in this one. On a device whose system is 9 or later a delegate that
// has the options form hears of it there; otherwise through the four-argument form.
bool openURLInApplication(const NSURL& url, const std::string& sourceApplication = "", const Value& annotation = {});

// UIApplicationMain hands control to this runner after launching, when one is installed
// (the host's command driver); otherwise it runs the main loop until quitApplicationMain().
void setApplicationMainRunner(std::function<int()> runner);
void quitApplicationMain();

} // namespace uikit

// Also starts the memory monitor (MemoryPressure.h) on the main run loop.
int UIApplicationMain(int argc, char** argv, std::function<std::shared_ptr<UIApplicationDelegate>()> makeDelegate);
