// Local notifications through the service: handed to the local-notification controller on the
// caller's thread.
#include "platform/uikit/UIApplication.h"
#include "push/Local/PUSHLocalNotificationController.h"
#include "push/Service/PUSHService.h"

PUSHService::Notification PUSHService::setLocalNotification(std::optional<double> fireDate,
    const std::string& alertBody, int badge, const std::string& alertAction,
    const std::optional<std::string>& identifierKey, const Value& userInfo, const std::string& soundName)
{
    return setLocalNotification(
        fireDate, alertBody, badge, alertAction, identifierKey, userInfo, soundName, Value(), false, "");
}

PUSHService::Notification PUSHService::setLocalNotification(std::optional<double> fireDate,
    const std::string& alertBody, int badge, const std::string& alertAction,
    const std::optional<std::string>& identifierKey, const Value& userInfo, const std::string& soundName,
    const Value& region, bool regionTriggersOnce, const std::string& category)
{
    return PUSHLocalNotificationController::setLocalNotification(fireDate, alertBody, badge, alertAction, identifierKey,
        userInfo, soundName, region, regionTriggersOnce, category);
}

void PUSHService::showLocalNotificationAtFront(
    const Notification& notification, const std::optional<std::string>& identifierKey)
{
    PUSHLocalNotificationController::showLocalNotificationAtFront(notification, identifierKey);
}

std::vector<PUSHService::Notification> PUSHService::findLocalNotificationWithIdentifier(
    const std::optional<std::string>& identifierKey)
{
    return PUSHLocalNotificationController::findLocalNotificationWithIdentifier(identifierKey)
        .value_or(std::vector<Notification> {});
}

void PUSHService::deleteLocalNotificationWithIdentifierKey(const std::optional<std::string>& identifierKey)
{
    PUSHLocalNotificationController::deleteLocalNotificationWithIdentifierKey(identifierKey);
}

void PUSHService::deleteLocalNotification(const Notification& notification)
{
    PUSHLocalNotificationController::deleteLocalNotification(notification);
}

void PUSHService::clearAllLocalNotifications()
{
    PUSHLocalNotificationController::clearAllLocalNotifications();
}
