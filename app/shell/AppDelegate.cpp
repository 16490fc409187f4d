// Launch, push set-up and the share keys.
#include "app/shell/AppDelegate.h"

#include "app/DVUUID.h"
#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "app/shell/RQMainController.h"
#include "app/shell/ShareKeys.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"
#include "push/Service/PUSHService.h"
#include "services/share/SHSocialData.h"
#include "services/share/SHSocialHandlers.h"
#include "ui/KBKeyboardManager.h"

bool AppDelegate::applicationDidFinishLaunchingWithOptions(const App& application, const Value& launchOptions)
{
    window = UIWindow::create(UIScreen::mainScreen()->bounds());
    window->setBackgroundColor(UIColor::whiteColor());
    auto home = RQMainController::create();
    window->setRootViewController(UINavigationController::initWithRootViewController(home));
    window->makeKeyAndVisible();
    window->makeKeyWindow();

    jiGuanTuiSong(launchOptions);
    application->setApplicationIconBadgeNumber(0);
    shareInit();

    auto keyboard = KBKeyboardManager::sharedManager();
    keyboard->setEnable(true);
    keyboard->setShouldResignOnTouchOutside(true);
    keyboard->setShouldToolbarUsesTextFieldTintColor(true);
    keyboard->setEnableAutoToolbar(false);
    return true;
}

void AppDelegate::jiGuanTuiSong(const Value& launchOptions)
{
    PUSHService::registerForRemoteNotificationTypes(
        UIUserNotificationTypeBadge | UIUserNotificationTypeSound | UIUserNotificationTypeAlert, Value());
    PUSHService::setupWithOption(launchOptions, kPushAppKey, kPushChannel, false);
    PUSHService::setTags(std::nullopt, DVUUID::uuidForDevice(), nullptr, nullptr);
}

void AppDelegate::shareInit()
{
    std::weak_ptr<AppDelegate> weak = sharedAs<AppDelegate>();
    ZHHttpTool::postWithURL(
        app::dataServerURL("init/share.do"), Value::dictionary(),
        [weak](const Value& reply) {
            NSLog("%@", reply);
            auto self = weak.lock();
            if (self && reply.isDictionary() && app::replyStatus(reply) == 1)
                self->fenXiangMsgDic(app::replyInfo(reply));
        },
        [](const NSErrorRef& error) { NSLog("%@", Value(error)); });
}

void AppDelegate::fenXiangMsgDic(const Value& info)
{
    auto keys = ShareKeys::fromInfo(info);
    if (!keys)
        return;
    std::string link = app::dataServerURL("share.do");
    // A handler whose app id is missing stays unconfigured rather than taking "(null)".
    if (keys->buddyAppId)
        SHSocialBuddyHandler::setBuddyWithAppId(*keys->buddyAppId, keys->buddyAppKey.value_or(""), link);
    if (keys->messengerAppId)
        SHSocialMessengerHandler::setMGAppId(*keys->messengerAppId, keys->messengerAppSecret.value_or(""), link);
    if (!keys->shareAppKey)
        return;
    shAppKey = keys->shareAppKey;
    SHSocialData::setAppKey(*keys->shareAppKey);
}

void AppDelegate::applicationDidRegisterForRemoteNotificationsWithDeviceToken(const App&, const Bytes& deviceToken)
{
    PUSHService::registerDeviceToken(deviceToken);
}

void AppDelegate::applicationDidReceiveRemoteNotification(const App&, const Value& userInfo)
{
    PUSHService::handleRemoteNotification(userInfo);
}
