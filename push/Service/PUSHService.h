// PUSHService: the push client's public entry. Every operation is a class operation over one
// process-wide service that owns the push client (PUSHClientController) and the client thread.
// The facade checks arguments, sets up logging and the configuration once, and forwards each
// request to the client on the client thread without waiting; local notifications run on the
// caller's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "push/Service/PUSHTagAliasCallback.h"

class UILocalNotification;

// The launch-options key under which the platform hands over the notification that launched
// the application.
inline constexpr const char* kPUSHLaunchOptionsRemoteNotificationKey
    = "UIApplicationLaunchOptionsRemoteNotificationKey";

// Result codes of a remote notification, reported with its message identifier.
enum PUSHRemoteNotificationResult : std::uint32_t {
    PUSHRemoteNotificationUnknownState = 2000,
    PUSHRemoteNotificationActive = 2001,
    PUSHRemoteNotificationOpened = 2002,
    PUSHRemoteNotificationLaunched = 2003,
    PUSHRemoteNotificationBackground = 2004,
};

// A location as the platform's location services describe one.
struct PUSHLocation {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double horizontalAccuracy = 0;
    double verticalAccuracy = 0;
};

class PUSHService final {
public:
    // The answer to a tags/alias request: (result code, tags, alias).
    using TagsAliasCallback = std::function<void(
        int resultCode, const std::optional<std::set<std::string>>& tags, const std::string& alias)>;
    using Notification = std::shared_ptr<UILocalNotification>;

    static constexpr std::int64_t kMaxBadge = 99999;
    static constexpr int kBuildNumber = 346;

    PUSHService() = delete;

    // Set-up: the first call of either form does the work; later calls do nothing.
    static void setupWithOption(
        const Value& launchOptions, const std::string& appKey, const std::string& channel, bool apsForProduction);
    // The configuration comes from the main bundle's "PushConfig.plist".
    static void setupWithOption(const Value& launchOptions);

    // Types are bits of badge (1), sound (2) and alert (4); categories may be absent.
    static void registerForRemoteNotificationTypes(std::uint32_t types, const Value& categories);
    static void registerDeviceToken(const Bytes& deviceToken);
    static void handleRemoteNotification(const Value& remoteInfo);

    // Tags and alias. No tags (nullopt) leaves the tags alone, no alias the alias. The callback
    // (a callable taking the answer as TagsAliasCallback does, the result code as int; null for
    // none) is called (on the main thread) only when both it and its object are given; with only
    // one of them the request goes out without a callback and nothing is reported. One that takes
    // the result code as another type is reported, and the request goes out without it.
    template <class Callback>
        requires(!std::is_member_function_pointer_v<Callback>)
    static void setTags(const std::optional<std::set<std::string>>& tags, const std::optional<std::string>& alias,
        Callback callback, NSObjectRef object)
    {
        setTagsWithCallbackMethod(
            tags, alias, push_service::tagAliasCallbackFunction(std::move(callback)), std::move(object));
    }
    template <class Callback>
        requires(!std::is_member_function_pointer_v<Callback>)
    static void setTags(const std::optional<std::set<std::string>>& tags, Callback callback, NSObjectRef object)
    {
        setTags(tags, std::nullopt, std::move(callback), std::move(object));
    }
    template <class Callback>
        requires(!std::is_member_function_pointer_v<Callback>)
    static void setAlias(const std::optional<std::string>& alias, Callback callback, NSObjectRef object)
    {
        setTags(std::nullopt, alias, std::move(callback), std::move(object));
    }
    // The callback as a method of the object's class, called on the object with the answer
    // (result code, tags, alias). A method the object does not have, or one that cannot take
    // those arguments (a result code taken as anything but int, such as a char, a bool or a long,
    // counts as one), is reported and the request goes out without a callback.
    template <class T, class Method>
    static void setTags(const std::optional<std::set<std::string>>& tags, const std::optional<std::string>& alias,
        Method T::*callbackMethod, NSObjectRef object)
    {
        std::optional<push_service::TagAliasCallbackMethod> method;
        if (callbackMethod)
            method = push_service::tagAliasCallbackMethod(callbackMethod);
        setTagsWithCallbackMethod(tags, alias, std::move(method), std::move(object));
    }
    static void setTagsWithCallbackMethod(const std::optional<std::set<std::string>>& tags,
        const std::optional<std::string>& alias, std::optional<push_service::TagAliasCallbackMethod> method,
        NSObjectRef object);
    // The block form: the handler needs no object. It takes the answer as TagsAliasCallback does,
    // the result code as int only: one that takes it as another type does not compile. Null or
    // empty for none.
    template <class Handler>
        requires(std::is_null_pointer_v<Handler> || push_service::takesTagAliasAnswer<Handler&>())
    static void setTagsFetchCompletionHandle(
        const std::optional<std::set<std::string>>& tags, const std::optional<std::string>& alias, Handler handler)
    {
        setTagsWithCompletion(tags, alias, push_service::tagAliasCallbackFunction(std::move(handler)));
    }
    static void setTagsWithCompletion(const std::optional<std::set<std::string>>& tags,
        const std::optional<std::string>& alias, std::optional<push_service::TagAliasCallbackMethod> handler);
    // Sent in the background and retried after each login; no answer.
    static void setTagsAliasInbackground(
        const std::optional<std::set<std::string>>& tags, const std::optional<std::string>& alias);
    static std::set<std::string> filterValidTags(const std::set<std::string>& tags);
    // "" before the first registration.
    static std::string registrationID();

    // Badge: false (and nothing sent) for a value outside 0...99999.
    static bool setBadge(std::int64_t value);
    static void resetBadge();

    // Page views and location.
    static void startLogPageView(const std::string& pageName);
    static void stopLogPageView(const std::string& pageName);
    static void beginLogPageView(const std::string& pageName, int seconds);
    static void setLatitude(double latitude, double longitude);
    static void setLocation(const std::optional<PUSHLocation>& location);
    static void crashLogON();

    // Logging: debug (15), off (0), or any level mask for the console and system log.
    static void setupPushLogger();
    static void setDebugMode();
    static void setLogOFF();
    static void changeLoggerLevel(std::uint64_t level);
    // The level mask in force for the push library's extra detail.
    static std::uint64_t currentLogLevel();
    static void close() { }

    // Local notifications, on the caller's thread.
    static Notification setLocalNotification(std::optional<double> fireDate, const std::string& alertBody, int badge,
        const std::string& alertAction, const std::optional<std::string>& identifierKey, const Value& userInfo,
        const std::string& soundName);
    static Notification setLocalNotification(std::optional<double> fireDate, const std::string& alertBody, int badge,
        const std::string& alertAction, const std::optional<std::string>& identifierKey, const Value& userInfo,
        const std::string& soundName, const Value& region, bool regionTriggersOnce, const std::string& category);
    static void showLocalNotificationAtFront(
        const Notification& notification, const std::optional<std::string>& identifierKey);
    static std::vector<Notification> findLocalNotificationWithIdentifier(
        const std::optional<std::string>& identifierKey);
    static void deleteLocalNotificationWithIdentifierKey(const std::optional<std::string>& identifierKey);
    static void deleteLocalNotification(const Notification& notification);
    static void clearAllLocalNotifications();

    // What the application handed over, in order, for the host and for tests.
    struct Record {
        std::optional<std::uint32_t> notificationTypes;
        Value categories;
        bool isSetUp = false;
        Value launchOptions;
        std::string appKey;
        std::string channel;
        bool apsForProduction = false;
        std::optional<std::set<std::string>> tags;
        std::optional<std::string> alias;
        bool hasTagsCallback = false;
        std::optional<Bytes> deviceToken;
        std::vector<Value> handledNotifications;
        // Calls in the order they came: "register", "setup", "tags", "token", "notification".
        std::vector<std::string> calls;
    };
    static Record record();
    // Ends the client and its thread and forgets everything, so that a set-up can run again
    // (tests, or a new run of the host).
    static void reset();

    // Whether the configuration would take the key: ASCII letters and digits only.
    static bool isValidAppKey(const std::string& appKey);
};
