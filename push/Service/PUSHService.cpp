// The push client's public entry: the class operations, their argument checks, and the record
// of what the application handed over.
#include "push/Service/PUSHService.h"

#include <mutex>

#include "platform/foundation/NSLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "push/Client/PUSHPushConfigController.h"
#include "push/Client/PUSHTagAlias.h"
#include "push/Client/PUSHTagAliasValidation.h"
#include "push/Service/PUSHServiceInstance.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

using push_service::Service;

namespace {

struct RecordState {
    std::mutex mutex;
    PUSHService::Record record;
};

RecordState& recordState()
{
    static auto* s = new RecordState; // read by the client thread until the process ends
    return *s;
}

template <class Change> void change(const char* call, Change&& apply)
{
    std::lock_guard lock(recordState().mutex);
    recordState().record.calls.push_back(call);
    apply(recordState().record);
}

Value tagsValue(const std::optional<std::set<std::string>>& tags)
{
    if (!tags)
        return Value();
    Value array = Value::array();
    for (const auto& tag : *tags)
        array.append(Value(tag));
    return array;
}

Value aliasValue(const std::optional<std::string>& alias)
{
    return alias ? Value(*alias) : Value();
}

void sendTagAlias(const std::optional<std::set<std::string>>& tags, const std::optional<std::string>& alias,
    std::uint64_t type, PUSHSetTagAliasArg::Completion completion,
    std::function<void(PUSHSetTagAliasArg&)> checkCallback = nullptr)
{
    auto argument = PUSHSetTagAliasArg::create();
    argument->tags = tagsValue(tags);
    argument->alias = aliasValue(alias);
    argument->type = type;
    if (type == PUSHTagAliasTypeBlock)
        argument->completionHandler = std::move(completion);
    Service::sharedService()->setTagAlias(std::move(argument), std::move(checkCallback));
}

} // namespace

// Set-up and registration -----------------------------------------------------------------------

void PUSHService::setupWithOption(
    const Value& launchOptions, const std::string& appKey, const std::string& channel, bool apsForProduction)
{
    change("setup", [&](Record& r) {
        r.isSetUp = true;
        r.launchOptions = launchOptions;
        r.appKey = appKey;
        r.channel = channel;
        r.apsForProduction = apsForProduction;
    });
    Service::sharedService()->commonSetup(launchOptions, appKey, channel, apsForProduction);
}

void PUSHService::setupWithOption(const Value& launchOptions)
{
    change("setup", [&](Record& r) {
        r.isSetUp = true;
        r.launchOptions = launchOptions;
    });
    Service::sharedService()->commonSetup(launchOptions, std::nullopt, "", false);
}

void PUSHService::registerForRemoteNotificationTypes(std::uint32_t types, const Value& categories)
{
    change("register", [&](Record& r) {
        r.notificationTypes = types;
        r.categories = categories;
    });
    auto application = UIApplication::sharedApplication();
    if (UIDevice::currentDevice()->systemVersionNumber() >= 8.0) {
        application->registerForRemoteNotifications();
        application->registerUserNotificationSettings(UIUserNotificationSettings::settingsForTypes(types, categories));
        return;
    }
    application->registerForRemoteNotificationTypes(types);
}

void PUSHService::registerDeviceToken(const Bytes& deviceToken)
{
    change("token", [&](Record& r) { r.deviceToken = deviceToken; });
    Service::sharedService()->updateDeviceToken(deviceToken);
}

void PUSHService::handleRemoteNotification(const Value& remoteInfo)
{
    change("notification", [&](Record& r) { r.handledNotifications.push_back(remoteInfo); });
    Service::sharedService()->handleRemoteNotification(remoteInfo, false);
}

// Tags and alias ---------------------------------------------------------------------------------

void PUSHService::setTagsWithCallbackMethod(const std::optional<std::set<std::string>>& tags,
    const std::optional<std::string>& alias, std::optional<push_service::TagAliasCallbackMethod> method,
    NSObjectRef object)
{
    change("tags", [&](Record& r) {
        if (tags)
            r.tags = tags;
        if (alias)
            r.alias = alias;
        r.hasTagsCallback = method.has_value();
    });
    // The callback is checked only when both it and its object are given, and only once the
    // device is known to be registered; with one of them missing the request goes out without
    // a callback and without a word.
    std::function<void(PUSHSetTagAliasArg&)> checkCallback;
    if (method && object) {
        checkCallback = [method = std::move(method), object = std::move(object)](PUSHSetTagAliasArg& argument) {
            argument.cbInvocation = push_service::getTagAliasInvocationWithCallback(method, object);
            if (argument.cbInvocation)
                argument.target = object;
        };
    }
    sendTagAlias(tags, alias, PUSHTagAliasTypeCallback, nullptr, std::move(checkCallback));
}

void PUSHService::setTagsWithCompletion(const std::optional<std::set<std::string>>& tags,
    const std::optional<std::string>& alias, std::optional<push_service::TagAliasCallbackMethod> handler)
{
    PUSHSetTagAliasArg::Completion completion;
    if (handler && handler->takesAnswer)
        completion = handler->invocationOn(nullptr);
    sendTagAlias(tags, alias, PUSHTagAliasTypeBlock, std::move(completion));
}

void PUSHService::setTagsAliasInbackground(
    const std::optional<std::set<std::string>>& tags, const std::optional<std::string>& alias)
{
    sendTagAlias(tags, alias, PUSHTagAliasTypeBackground, nullptr);
}

std::set<std::string> PUSHService::filterValidTags(const std::set<std::string>& tags)
{
    std::set<std::string> valid;
    const Value filtered = PUSHTagAliasValidation::filterValidTags(tagsValue(tags));
    for (std::size_t i = 0; i < filtered.count(); ++i)
        if (filtered[i].isString())
            valid.insert(filtered[i].asString());
    return valid;
}

std::string PUSHService::registrationID()
{
    return Service::sharedService()->registrationID();
}

// Badge, page views, location, crash capture --------------------------------------------------

bool PUSHService::setBadge(std::int64_t value)
{
    if (value < 0 || value > kMaxBadge)
        return false;
    Service::sharedService()->perform([value](PUSHClientController& c) { c.setBadgeNumberReport(Value(value)); });
    return true;
}

void PUSHService::resetBadge()
{
    Service::sharedService()->perform([](PUSHClientController& c) { c.setBadgeNumberReport(Value(0)); });
}

void PUSHService::startLogPageView(const std::string& pageName)
{
    Service::sharedService()->perform([name = Value(pageName)](PUSHClientController& c) { c.setViewStart(name); });
}

void PUSHService::stopLogPageView(const std::string& pageName)
{
    Service::sharedService()->perform([name = Value(pageName)](PUSHClientController& c) { c.setViewStop(name); });
}

void PUSHService::beginLogPageView(const std::string& pageName, int seconds)
{
    auto pair = Value::array({ Value(pageName), Value(seconds) });
    Service::sharedService()->perform([pair](PUSHClientController& c) { c.setViewLogSecond(pair); });
}

void PUSHService::setLatitude(double latitude, double longitude)
{
    auto item = Value::dictionary({ { "lat", latitude }, { "lng", longitude }, { "altitude", "" },
        { "horizontalAccuracy", "" }, { "verticalAccuracy", "" } });
    Service::sharedService()->perform([item](PUSHClientController& c) { c.setLatitude(item); });
}

void PUSHService::setLocation(const std::optional<PUSHLocation>& location)
{
    if (!location) {
        PUSHLogError("参数location不能为空");
        return;
    }
    auto item = Value::dictionary({ { "lat", location->latitude }, { "lng", location->longitude },
        { "altitude", location->altitude }, { "horizontalAccuracy", location->horizontalAccuracy },
        { "verticalAccuracy", location->verticalAccuracy } });
    Service::sharedService()->perform([item](PUSHClientController& c) { c.setLatitude(item); });
}

void PUSHService::crashLogON()
{
    Service::sharedService()->perform([](PUSHClientController& c) { c.setCrashLogON(); });
}

// Record -----------------------------------------------------------------------------------------

PUSHService::Record PUSHService::record()
{
    std::lock_guard lock(recordState().mutex);
    return recordState().record;
}

void PUSHService::reset()
{
    Service::resetShared();
    std::lock_guard lock(recordState().mutex);
    recordState().record = {};
}

bool PUSHService::isValidAppKey(const std::string& appKey)
{
    return PUSHPushConfigController::isValidAppKey(Value(appKey));
}
