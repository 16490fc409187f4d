// The application object and the system's drivers of its life cycle.
#include "platform/uikit/UIApplication.h"

#include <algorithm>

#include "platform/foundation/Clock.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSThread.h"
#include "platform/threading/NSTimer.h"
#include "platform/uikit/ClassLoad.h"
#include "platform/uikit/MemoryPressure.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

std::shared_ptr<UIUserNotificationSettings> UIUserNotificationSettings::settingsForTypes(UIUserNotificationType types, Value)
{
    auto settings = std::make_shared<UIUserNotificationSettings>();
    settings->types_ = types;
    return settings;
}

std::shared_ptr<UIApplication> UIApplication::sharedApplication()
{
    static auto app = [] {
        auto made = std::make_shared<UIApplication>();
        made->reset();
        return made;
    }();
    return app;
}

std::vector<std::shared_ptr<UIWindow>> UIApplication::windows() const
{
    std::vector<std::shared_ptr<UIWindow>> result;
    for (auto& weak : windows_) {
        if (auto window = weak.lock())
            result.push_back(window);
    }
    return result;
}

void UIApplication::registerWindow(const std::shared_ptr<UIWindow>& window)
{
    std::erase_if(windows_, [&](const std::weak_ptr<UIWindow>& w) { return w.expired() || w.lock() == window; });
    windows_.push_back(window);
}

void UIApplication::setStatusBarHidden(bool hidden, bool)
{
    statusBarHidden_ = hidden;
}

CGRect UIApplication::statusBarFrame() const
{
    if (statusBarHidden_)
        return CGRectZero;
    // In the screen's own (portrait) coordinates, along the edge that is the interface's top.
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    switch (orientation_) {
    case UIInterfaceOrientationPortraitUpsideDown: return { { 0, screen.height - 20 }, { screen.width, 20 } };
    case UIInterfaceOrientationLandscapeRight: return { { screen.width - 20, 0 }, { 20, screen.height } };
    case UIInterfaceOrientationLandscapeLeft: return { {}, { 20, screen.height } };
    default: return { {}, { screen.width, 20 } };
    }
}

void UIApplication::setStatusBarOrientation(UIInterfaceOrientation orientation, bool)
{
    auto center = NSNotificationCenter::defaultCenter();
    auto self = sharedAs<UIApplication>();
    center->postNotificationName(UIApplicationWillChangeStatusBarOrientationNotification, self,
        Value::dictionary({ { "UIApplicationStatusBarOrientationUserInfoKey", Value(int(orientation)) } }));
    auto old = orientation_;
    orientation_ = orientation;
    center->postNotificationName(UIApplicationDidChangeStatusBarOrientationNotification, self,
        Value::dictionary({ { "UIApplicationStatusBarOrientationUserInfoKey", Value(int(old)) } }));
}

bool UIApplication::canOpenURL(const NSURL& url) const
{
    return canOpen_ ? canOpen_(url) : true;
}

bool UIApplication::openURL(const NSURL& url)
{
    openedURLs_.push_back(url.absoluteString());
    return canOpenURL(url);
}

void UIApplication::registerForRemoteNotifications()
{
    std::weak_ptr<UIApplication> weak = sharedAs<UIApplication>();
    uikit::performOnMainSoon([weak] {
        auto app = weak.lock();
        if (!app || !app->delegate_)
            return;
        if (app->registrationError_) {
            app->delegate_->applicationDidFailToRegisterForRemoteNotificationsWithError(app, app->registrationError_);
            return;
        }
        app->registeredRemote_ = true;
        app->delegate_->applicationDidRegisterForRemoteNotificationsWithDeviceToken(app, app->token_);
    });
}

void UIApplication::registerForRemoteNotificationTypes(UIRemoteNotificationType types)
{
    remoteTypes_ = types;
    registerForRemoteNotifications();
}

void UIApplication::unregisterForRemoteNotifications()
{
    registeredRemote_ = false;
    remoteTypes_ = 0;
}

std::shared_ptr<UIUserNotificationSettings> UIApplication::currentUserNotificationSettings() const
{
    std::lock_guard lock(settingsMutex_);
    return settings_;
}

void UIApplication::registerUserNotificationSettings(const std::shared_ptr<UIUserNotificationSettings>& settings)
{
    {
        std::lock_guard lock(settingsMutex_);
        settings_ = settings;
    }
    remoteTypes_ = settings ? settings->types() : 0;
    std::weak_ptr<UIApplication> weak = sharedAs<UIApplication>();
    uikit::performOnMainSoon([weak, settings] {
        if (auto app = weak.lock(); app && app->delegate_)
            app->delegate_->applicationDidRegisterUserNotificationSettings(app, settings);
    });
}

void UIApplication::scheduleLocalNotification(const std::shared_ptr<UILocalNotification>& notification)
{
    if (!notification)
        return;
    double when = notification->fireDate.value_or(foundation::clock::now());
    std::weak_ptr<UIApplication> weakApp = sharedAs<UIApplication>();
    std::weak_ptr<UILocalNotification> weakNote = notification;
    auto timer = NSTimer::timerWithFireDate(when, 0, false, [weakApp, weakNote](const std::shared_ptr<NSTimer>&) {
        auto app = weakApp.lock();
        auto note = weakNote.lock();
        if (app && note)
            app->deliver(note);
    });
    scheduled_.push_back({ notification, timer });
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
}

void UIApplication::presentLocalNotificationNow(const std::shared_ptr<UILocalNotification>& notification)
{
    if (notification)
        deliver(notification);
}

void UIApplication::deliver(const std::shared_ptr<UILocalNotification>& notification)
{
    std::erase_if(scheduled_, [&](const Scheduled& s) { return s.notification == notification; });
    if (state_ == UIApplicationStateActive) {
        if (delegate_)
            delegate_->applicationDidReceiveLocalNotification(sharedAs<UIApplication>(), notification);
        return;
    }
    if (notification->applicationIconBadgeNumber != 0)
        badge_ = notification->applicationIconBadgeNumber;
    delivered_.push_back(notification);
}

void UIApplication::cancelLocalNotification(const std::shared_ptr<UILocalNotification>& notification)
{
    std::erase_if(scheduled_, [&](const Scheduled& s) {
        if (s.notification != notification)
            return false;
        std::static_pointer_cast<NSTimer>(s.timer)->invalidate();
        return true;
    });
}

void UIApplication::cancelAllLocalNotifications()
{
    for (auto& s : scheduled_)
        std::static_pointer_cast<NSTimer>(s.timer)->invalidate();
    scheduled_.clear();
}

std::vector<std::shared_ptr<UILocalNotification>> UIApplication::scheduledLocalNotifications() const
{
    std::vector<std::shared_ptr<UILocalNotification>> result;
    for (auto& s : scheduled_)
        result.push_back(s.notification);
    return result;
}

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTaskWithExpirationHandler(std::function<void()> handler)
{
    std::lock_guard lock(backgroundTasksMutex_);
    UIBackgroundTaskIdentifier id = nextTask_++;
    backgroundTasks_.emplace_back(id, std::move(handler));
    return id;
}

void UIApplication::endBackgroundTask(UIBackgroundTaskIdentifier identifier)
{
    std::function<void()> ended; // let go after the lock: what it holds may end tasks of its own
    std::lock_guard lock(backgroundTasksMutex_);
    auto found = std::find_if(backgroundTasks_.begin(), backgroundTasks_.end(),
        [&](const auto& task) { return task.first == identifier; });
    if (found == backgroundTasks_.end())
        return;
    ended = std::move(found->second);
    backgroundTasks_.erase(found);
}

void UIApplication::expireBackgroundTasks()
{
    BackgroundTasks tasks;
    {
        std::lock_guard lock(backgroundTasksMutex_);
        tasks.swap(backgroundTasks_);
    }
    for (auto& task : tasks) {
        if (task.second)
            task.second();
    }
}

std::size_t UIApplication::backgroundTaskCount() const
{
    std::lock_guard lock(backgroundTasksMutex_);
    return backgroundTasks_.size();
}

void UIApplication::reset()
{
    cancelAllLocalNotifications();
    for (auto& window : windows()) {
        window->setRootViewController(nullptr);
        window->setHidden(true);
    }
    delegate_.reset();
    state_ = UIApplicationStateInactive;
    windows_.clear();
    keyWindow_.reset();
    badge_ = 0;
    networkIndicator_ = idleTimerDisabled_ = statusBarHidden_ = false;
    orientation_ = UIInterfaceOrientationPortrait;
    openedURLs_.clear();
    canOpen_ = nullptr;
    unregisterForRemoteNotifications();
    {
        std::lock_guard lock(settingsMutex_);
        settings_.reset();
    }
    token_.clear();
    for (int i = 0; i < 32; ++i)
        token_.push_back(static_cast<std::uint8_t>(0xA0 + i));
    registrationError_.reset();
    delivered_.clear();
    BackgroundTasks tasks; // let go after the lock, as in endBackgroundTask
    std::lock_guard lock(backgroundTasksMutex_);
    tasks.swap(backgroundTasks_);
}

namespace uikit {
namespace {
std::function<int()> mainRunner;
bool quitRequested = false;

void post(const std::string& name)
{
    NSNotificationCenter::defaultCenter()->postNotificationName(name, UIApplication::sharedApplication());
}
} // namespace

void launchApplication(std::shared_ptr<UIApplicationDelegate> delegate, const Value& options)
{
    threading::becomeMainThread();
    loadClasses();
    auto app = UIApplication::sharedApplication();
    app->setDelegate(delegate);
    app->setApplicationState(UIApplicationStateInactive);
    if (delegate) {
        delegate->applicationWillFinishLaunchingWithOptions(app, options);
        delegate->applicationDidFinishLaunchingWithOptions(app, options);
    }
    post(UIApplicationDidFinishLaunchingNotification);
    becomeActive();
}

void becomeActive()
{
    auto app = UIApplication::sharedApplication();
    app->setApplicationState(UIApplicationStateActive);
    if (auto d = app->delegate())
        d->applicationDidBecomeActive(app);
    post(UIApplicationDidBecomeActiveNotification);
}

void resignActive()
{
    auto app = UIApplication::sharedApplication();
    if (auto d = app->delegate())
        d->applicationWillResignActive(app);
    post(UIApplicationWillResignActiveNotification);
    app->setApplicationState(UIApplicationStateInactive);
}

void enterBackground()
{
    auto app = UIApplication::sharedApplication();
    if (app->applicationState() == UIApplicationStateActive)
        resignActive();
    app->setApplicationState(UIApplicationStateBackground);
    if (auto d = app->delegate())
        d->applicationDidEnterBackground(app);
    post(UIApplicationDidEnterBackgroundNotification);
}

void enterForeground()
{
    auto app = UIApplication::sharedApplication();
    if (auto d = app->delegate())
        d->applicationWillEnterForeground(app);
    post(UIApplicationWillEnterForegroundNotification);
    app->setApplicationState(UIApplicationStateInactive);
    becomeActive();
}

void terminateApplication()
{
    auto app = UIApplication::sharedApplication();
    if (auto d = app->delegate())
        d->applicationWillTerminate(app);
    post(UIApplicationWillTerminateNotification);
}

void receiveMemoryWarning()
{
    auto app = UIApplication::sharedApplication();
    if (auto d = app->delegate())
        d->applicationDidReceiveMemoryWarning(app);
    post(UIApplicationDidReceiveMemoryWarningNotification);
}

void receiveRemoteNotification(const Value& userInfo, UIBackgroundFetchResult* result)
{
    auto app = UIApplication::sharedApplication();
    auto d = app->delegate();
    if (!d)
        return;
    d->applicationDidReceiveRemoteNotificationFetchCompletionHandler(app, userInfo, [result](UIBackgroundFetchResult r) {
        if (result)
            *result = r;
    });
}

bool openURLInApplication(const NSURL& url, const std::string& sourceApplication, const Value& annotation)
{
    auto app = UIApplication::sharedApplication();
    auto d = app->delegate();
    if (!d)
        return false;
    if (UIDevice::currentDevice()->systemVersionNumber() >= 9.0) {
        Value options = Value::dictionary();
        if (!sourceApplication.empty())
            options.set(UIApplicationOpenURLOptionsSourceApplicationKey, sourceApplication);
        if (!annotation.isAbsent())
            options.set(UIApplicationOpenURLOptionsAnnotationKey, annotation);
        if (auto handled = d->applicationOpenURLOptions(app, url, options))
            return *handled;
    }
    return d->applicationOpenURLSourceApplicationAnnotation(app, url, sourceApplication, annotation);
}

void setApplicationMainRunner(std::function<int()> runner)
{
    mainRunner = std::move(runner);
}

void quitApplicationMain()
{
    quitRequested = true;
    NSRunLoop::mainRunLoop()->stop();
}

} // namespace uikit

int UIApplicationMain(int, char**, std::function<std::shared_ptr<UIApplicationDelegate>()> makeDelegate)
{
    threading::becomeMainThread();
    UIApplication::sharedApplication()->reset();
    uikit::launchApplication(makeDelegate ? makeDelegate() : nullptr);
    auto loop = NSRunLoop::mainRunLoop();
    auto memory = uikit::MemoryPressureMonitor::shared();
    memory->start(loop);
    if (uikit::mainRunner) {
        int status = uikit::mainRunner();
        memory->stop();
        return status;
    }
    auto keepAlive = NSPort::port();
    loop->addPort(keepAlive, NSDefaultRunLoopMode);
    uikit::quitRequested = false;
    while (!uikit::quitRequested)
        loop->runUntilStopped(NSDefaultRunLoopMode);
    loop->removePort(keepAlive, NSDefaultRunLoopMode);
    memory->stop();
    return 0;
}
