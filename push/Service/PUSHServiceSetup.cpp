// The service's one-shot set-up (logging, configuration, the banner, the client's set-up) and
// the handling of remote notifications with their result codes.
#include <cinttypes>

#include "platform/persistence/NSBundle.h"
#include "platform/uikit/UIApplication.h"
#include "push/Client/PUSHPushConfigController.h"
#include "push/Service/PUSHService.h"
#include "push/Service/PUSHServiceInstance.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace push_service {

namespace {

constexpr const char* kBannerFormat = "%@--------------------Push SDK Version:%@--build:%d----------\n"
                                      "-----------------AppKey:%@----------------\n"
                                      "----------------------------------------------------------------";
constexpr const char* kBannerHead = "\n--------------------------- Push Log ----------------------------\n";

} // namespace

bool Service::commonSetup(const Value& launchOptions, const std::optional<std::string>& appKey,
    const std::string& channel, bool apsForProduction)
{
    {
        std::lock_guard lock(mutex_);
        if (setupDone_)
            return false;
        setupDone_ = true;
    }
    PUSHService::setupPushLogger();

    std::string shownKey;
    if (!appKey) {
        auto path = NSBundle::mainBundle()->pathForResource("PushConfig", "plist");
        if (!loadPushConfig(path)) {
            PUSHLogError("获取push配置文件信息失败,请检查pushConfig.plist文件的配置参数是否合法");
            return false;
        }
        std::lock_guard lock(mutex_);
        shownKey = applicationKey_;
    } else {
        if (!loadPushCodeInput(*appKey, channel, apsForProduction)) {
            PUSHLogError("请检查\"setupWithOption:appKey:channel:apsForProduction:\"方法的参数值");
            return false;
        }
        shownKey = *appKey;
    }
    PUSHLogInfo(kBannerFormat, kBannerHead, PUSHSDKVersionString(), PUSHService::kBuildNumber, shownKey);

    const Value launchNotification
        = launchOptions.isDictionary() ? launchOptions[kPUSHLaunchOptionsRemoteNotificationKey] : Value();
    setupClient();
    handleRemoteNotification(launchNotification, true);
    return true;
}

// The configuration is read here and handed to the client thread ahead of the client's set-up,
// which reads it there; a failed load leaves the client without one.
bool Service::loadPushConfig(const std::optional<std::string>& path)
{
    if (!path) {
        PUSHLogError("找不到pushConfig.plist文件");
        installPushConfig(nullptr);
        return false;
    }
    auto config = PUSHPushConfigController::create();
    const bool loaded = config->loadWithUrl(path);
    installPushConfig(loaded ? config : nullptr);
    return loaded;
}

bool Service::loadPushCodeInput(const std::string& appKey, const std::string& channel, bool isProduction)
{
    auto config = PUSHPushConfigController::create();
    const bool loaded = config->setAppKey(Value(appKey), Value(channel), isProduction);
    installPushConfig(loaded ? config : nullptr);
    return loaded;
}

void Service::installPushConfig(std::shared_ptr<PUSHPushConfigController> config)
{
    {
        std::lock_guard lock(mutex_);
        applicationKey_ = config ? config->applicationKey() : std::string();
    }
    perform([config = std::move(config)](PUSHClientController& c) { c.setPushConfig(config); });
}

// Remote notifications ----------------------------------------------------------------------------

std::optional<std::uint32_t> Service::handleRemoteNotification(const Value& notification, bool atLaunch)
{
    if (!notification.isDictionary() || notification.count() == 0)
        return std::nullopt;
    const int state = UIApplication::sharedApplication()->applicationState();
    const std::uint64_t messageId = notification["_j_msgid"].unsignedValue();

    std::uint32_t code = PUSHRemoteNotificationUnknownState;
    {
        std::lock_guard lock(mutex_);
        if (atLaunch) {
            launchMessageId_ = messageId;
            launchNotificationHandled_ = messageId == 0;
            code = PUSHRemoteNotificationLaunched;
        } else {
            if (!launchNotificationHandled_) {
                launchNotificationHandled_ = true;
                // The platform hands the launching notification over a second time: once is enough.
                if (launchMessageId_ != 0 && messageId == launchMessageId_)
                    return std::nullopt;
            }
            if (state == UIApplicationStateActive)
                code = PUSHRemoteNotificationActive;
            else if (state == UIApplicationStateBackground)
                code = PUSHRemoteNotificationBackground;
            else if (state == UIApplicationStateInactive)
                code = isFromBackground_ ? PUSHRemoteNotificationOpened : PUSHRemoteNotificationActive;
        }
    }
    PUSHLogDebug("remote info:\n%@ \nreport result: %d ,appState: %d", notification, static_cast<int>(code), state);
    perform([pair = Value::array({ Value(static_cast<std::int64_t>(code)), notification })](
                PUSHClientController& c) { c.handleRemoteNotification(pair); });
    return code;
}

} // namespace push_service
