// PUSHService: the push client's public entry, the five class operations the application
// delegate calls at launch and when the system hands it a device token or a notification.
//
// It is a small facade for now: it registers the application for remote notifications with the
// platform and keeps everything else it is given (setup options, app key, channel, production
// flag, tags, alias, device token, handled notifications) so that it can be read back. The push
// client's session with its server will sit behind these same calls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class PUSHService final {
public:
    // The callback of setTags:alias:callbackSelector:object: with (result code, tags, alias).
    using TagsAliasCallback = std::function<void(
        int resultCode, const std::optional<std::set<std::string>>& tags, const std::string& alias)>;

    PUSHService() = delete;

    // Types are bits of badge (1), sound (2) and alert (4); categories may be absent.
    static void registerForRemoteNotificationTypes(std::uint32_t types, const Value& categories);
    static void setupWithOption(
        const Value& launchOptions, const std::string& appKey, const std::string& channel, bool apsForProduction);
    // No tags (nullopt) leaves the tags alone; the callback (with its object) may be empty.
    static void setTags(const std::optional<std::set<std::string>>& tags, const std::string& alias,
        TagsAliasCallback callback, NSObjectRef object);
    static void registerDeviceToken(const Bytes& deviceToken);
    static void handleRemoteNotification(const Value& remoteInfo);

    // What the facade was given, for the push client and for tests.
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
    // Forgets everything (tests, or a new run of the host).
    static void reset();

    // An app key is 24 lowercase hexadecimal digits.
    static bool isValidAppKey(const std::string& appKey);
};
