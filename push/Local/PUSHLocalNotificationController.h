// The application's local notifications, each tagged with an identifier of the application's
// choosing under "__PUSHNotificationKey" in its user information: scheduling (at most 64 at a
// time), finding, showing as an alert, and cancelling. The platform's list of scheduled
// notifications is the only store. Runs on the caller's thread; alerts go to the main thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

class UILocalNotification;

inline constexpr const char* kPUSHNotificationKey = "__PUSHNotificationKey";

class PUSHLocalNotificationController {
public:
    static constexpr std::size_t kScheduleLimit = 64;
    using Notification = std::shared_ptr<UILocalNotification>;
    using MatchBlock = std::function<void(const Notification& notification, bool& stop)>;

    // Schedules a notification and returns a copy of it; none when the fire date is missing or
    // past, or when 64 are already scheduled. An empty text, identifier, sound or category
    // counts as none; a badge of 0 leaves the icon badge alone.
    static Notification setLocalNotification(std::optional<double> fireDate, const std::string& alertBody,
        int badge, const std::string& alertAction, const std::optional<std::string>& identifierKey,
        const Value& userInfo, const std::string& soundName, const Value& region, bool regionTriggersOnce,
        const std::string& category);
    // Schedules it unless 64 or more are scheduled already; false then.
    static bool addNotificationToCacheWithNotification(const Notification& notification, const std::optional<std::string>& key);
    // An alert with the notification's text when no identifier is given or the identifier is its own.
    static void showLocalNotificationAtFront(const Notification& notification, const std::optional<std::string>& identifierKey);
    // The scheduled notifications with this identifier, in the platform's order; none for a
    // missing identifier.
    static std::optional<std::vector<Notification>> findLocalNotificationWithIdentifier(
        const std::optional<std::string>& identifierKey);
    static void deleteLocalNotificationWithIdentifierKey(const std::optional<std::string>& identifierKey);
    // Runs the block over the scheduled notifications with this identifier until it sets stop.
    static void p_deleteCacheObjectWithKeyUsingBlock(const std::string& key, const MatchBlock& block);
    static void deleteLocalNotification(const Notification& notification);
    static void clearAllLocalNotifications();
};
