// The push client's public entry: registration with the platform and the record of what the
// application handed over.
#include "push/Service/PUSHService.h"

#include <mutex>

#include "platform/foundation/NSLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"

namespace {

struct State {
    std::mutex mutex;
    PUSHService::Record record;
};

State& state()
{
    static State* s = new State; // read by the client thread until the process ends
    return *s;
}

template <class Change> void change(const char* call, Change&& apply)
{
    std::lock_guard lock(state().mutex);
    state().record.calls.push_back(call);
    apply(state().record);
}

int majorVersion(const std::string& version)
{
    int major = 0;
    for (char c : version) {
        if (c < '0' || c > '9')
            break;
        major = major * 10 + (c - '0');
    }
    return major;
}

} // namespace

void PUSHService::registerForRemoteNotificationTypes(std::uint32_t types, const Value& categories)
{
    change("register", [&](Record& r) {
        r.notificationTypes = types;
        r.categories = categories;
    });
    auto application = UIApplication::sharedApplication();
    if (majorVersion(UIDevice::currentDevice()->systemVersion()) >= 8) {
        application->registerForRemoteNotifications();
        application->registerUserNotificationSettings(UIUserNotificationSettings::settingsForTypes(types, categories));
        return;
    }
    application->registerForRemoteNotificationTypes(types);
}

void PUSHService::setupWithOption(
    const Value& launchOptions, const std::string& appKey, const std::string& channel, bool apsForProduction)
{
    if (!isValidAppKey(appKey))
        NSLog("PUSHService: the app key \"%@\" is not 24 lowercase hexadecimal digits", appKey);
    change("setup", [&](Record& r) {
        r.isSetUp = true;
        r.launchOptions = launchOptions;
        r.appKey = appKey;
        r.channel = channel;
        r.apsForProduction = apsForProduction;
    });
}

void PUSHService::setTags(
    const std::optional<std::set<std::string>>& tags, const std::string& alias, TagsAliasCallback callback, NSObjectRef)
{
    change("tags", [&](Record& r) {
        if (tags)
            r.tags = tags;
        r.alias = alias;
        r.hasTagsCallback = static_cast<bool>(callback);
    });
}

void PUSHService::registerDeviceToken(const Bytes& deviceToken)
{
    change("token", [&](Record& r) { r.deviceToken = deviceToken; });
}

void PUSHService::handleRemoteNotification(const Value& remoteInfo)
{
    change("notification", [&](Record& r) { r.handledNotifications.push_back(remoteInfo); });
}

PUSHService::Record PUSHService::record()
{
    std::lock_guard lock(state().mutex);
    return state().record;
}

void PUSHService::reset()
{
    std::lock_guard lock(state().mutex);
    state().record = {};
}

bool PUSHService::isValidAppKey(const std::string& appKey)
{
    if (appKey.size() != 24)
        return false;
    for (char c : appKey) {
        bool digit = c >= '0' && c <= '9';
        bool lowerHex = c >= 'a' && c <= 'f';
        if (!digit && !lowerHex)
            return false;
    }
    return true;
}
