// Local notifications: building, the limit of 64, look-up by identifier, the alert and cancelling.
#include "push/Local/PUSHLocalNotificationController.h"

#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSTimeZone.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "push/Utilities/PUSHLog.h"

namespace {

// The alerts' delegate: the buttons only close them.
class AlertDelegate : public UIAlertViewDelegate {
};

std::shared_ptr<UIAlertViewDelegate> alertDelegate()
{
    static auto* delegate = new std::shared_ptr<UIAlertViewDelegate>(std::make_shared<AlertDelegate>());
    return *delegate;
}

bool hasIdentifier(const PUSHLocalNotificationController::Notification& notification, const std::string& key)
{
    const Value& stored = notification->userInfo[kPUSHNotificationKey];
    return stored.isString() && stored.asString() == key;
}

Value notificationUserInfo(const Value& given, const std::optional<std::string>& identifierKey)
{
    Value info = given.isDictionary() && given.count() > 0 ? given : Value::dictionary();
    if (identifierKey && !identifierKey->empty())
        info.set(kPUSHNotificationKey, Value(*identifierKey));
    return info.count() > 0 ? info : Value();
}

void presentAlert(const PUSHLocalNotificationController::Notification& notification)
{
    std::vector<std::string> others;
    if (!notification->alertAction.empty())
        others.push_back(notification->alertAction);
    auto alert = UIAlertView::initWithTitle("", notification->alertBody, alertDelegate(), "关闭", others);
    alert->show();
}

} // namespace

PUSHLocalNotificationController::Notification PUSHLocalNotificationController::setLocalNotification(
    std::optional<double> fireDate, const std::string& alertBody, int badge, const std::string& alertAction,
    const std::optional<std::string>& identifierKey, const Value& userInfo, const std::string& soundName,
    const Value& region, bool regionTriggersOnce, const std::string& category)
{
    // A date that is not a number or lies at an infinite distance names no moment at all.
    if (!fireDate || !std::isfinite(*fireDate)) {
        PUSHLogError("通知时间不能为空");
        return nullptr;
    }
    if (*fireDate < foundation::clock::now()) {
        PUSHLogError("设置LocalNotification通知时间小于当前时间");
        return nullptr;
    }
    auto notification = UILocalNotification::create();
    notification->fireDate = *fireDate;
    notification->timeZone = NSTimeZone::defaultTimeZone().name();
    notification->alertBody = alertBody;
    notification->soundName = soundName.empty() ? UILocalNotificationDefaultSoundName : soundName;
    notification->alertAction = alertAction;
    if (badge != 0)
        notification->applicationIconBadgeNumber = badge;
    notification->userInfo = notificationUserInfo(userInfo, identifierKey);
    if (UIDevice::currentDevice()->systemVersionNumber() >= 8.0) {
        if (!region.isNil())
            notification->region = region;
        if (regionTriggersOnce)
            notification->regionTriggersOnce = true;
        if (!category.empty())
            notification->category = category;
    }
    // A notification the limit turned away is not handed back as if it were scheduled.
    if (!addNotificationToCacheWithNotification(notification, identifierKey))
        return nullptr;
    return notification->copy();
}

bool PUSHLocalNotificationController::addNotificationToCacheWithNotification(
    const Notification& notification, const std::optional<std::string>&)
{
    if (!notification)
        return false;
    auto app = UIApplication::sharedApplication();
    if (app->scheduledLocalNotifications().size() >= kScheduleLimit) {
        PUSHLogError("设置本地通知不能大于64个");
        return false;
    }
    app->scheduleLocalNotification(notification);
    return true;
}

void PUSHLocalNotificationController::showLocalNotificationAtFront(
    const Notification& notification, const std::optional<std::string>& identifierKey)
{
    if (!notification) {
        PUSHLogError("notification参数错误，不能为空");
        return;
    }
    if (identifierKey && !hasIdentifier(notification, *identifierKey))
        return;
    if (NSThread::isMainThread()) {
        presentAlert(notification);
        return;
    }
    threading::performOnMainThread([notification] { presentAlert(notification); }, false);
}

std::optional<std::vector<PUSHLocalNotificationController::Notification>>
PUSHLocalNotificationController::findLocalNotificationWithIdentifier(const std::optional<std::string>& identifierKey)
{
    if (!identifierKey) {
        PUSHLogError("notificationKey参数错误，不能为空");
        return std::nullopt;
    }
    std::vector<Notification> found;
    for (const auto& notification : UIApplication::sharedApplication()->scheduledLocalNotifications()) {
        if (hasIdentifier(notification, *identifierKey))
            found.push_back(notification);
    }
    return found;
}

void PUSHLocalNotificationController::deleteLocalNotificationWithIdentifierKey(const std::optional<std::string>& identifierKey)
{
    if (!identifierKey) {
        PUSHLogError("notificationKey参数错误,不能为空");
        return;
    }
    p_deleteCacheObjectWithKeyUsingBlock(*identifierKey, [](const Notification& notification, bool&) {
        UIApplication::sharedApplication()->cancelLocalNotification(notification);
    });
}

void PUSHLocalNotificationController::p_deleteCacheObjectWithKeyUsingBlock(const std::string& key, const MatchBlock& block)
{
    if (!block)
        return;
    auto matches = findLocalNotificationWithIdentifier(key);
    if (!matches)
        return;
    bool stop = false;
    for (const auto& notification : *matches) {
        block(notification, stop);
        if (stop)
            return;
    }
}

void PUSHLocalNotificationController::deleteLocalNotification(const Notification& notification)
{
    if (!notification) {
        PUSHLogError("localNotification参数错误,不能为空");
        return;
    }
    UIApplication::sharedApplication()->cancelLocalNotification(notification);
}

void PUSHLocalNotificationController::clearAllLocalNotifications()
{
    UIApplication::sharedApplication()->cancelAllLocalNotifications();
}
