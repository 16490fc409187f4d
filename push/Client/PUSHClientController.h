// The core of the push client: one object per process that owns the configuration, the
// persisted identity, the network service (TCP session and report scheduler), the tags/alias
// manager, the message centre, the page-flow statistics and a private notification centre. It
// sets them up, takes the device token (warning while it is missing), reads the push
// environment of the provisioning profile, and passes the application's reports on.
// Every operation but sharedClient, the accessors and perform runs on the push client thread;
// perform forwards a block there, in order, without waiting.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "push/Network/PUSHAddressController.h"
#include "push/Network/PUSHHostResolver.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Session/PUSHSessionEnvironment.h"

class NSNotificationCenter;
class NSTimer;
class PUSHMessageCenter;
class PUSHNetworkController;
class PUSHPageFlowSession;
class PUSHPushConfigController;
class PUSHSetTagAliasArg;
class PUSHTagAlias;
class PUSHThreadController;
class PUSHUserDefaultsController;

namespace push {
class BadgeManager;
}

inline constexpr const char* kPUSHClientThreadName = "org.brovik.push.thread";

enum PUSHApsEnvironmentStatus : std::int32_t {
    PUSHApsEnvironmentNotRead = 0,
    PUSHApsEnvironmentNoProfileUrl = -1,
    PUSHApsEnvironmentUnreadable = -2,
    PUSHApsEnvironmentNoEntry = -3,
    PUSHApsEnvironmentUnknownEntry = -4,
};

namespace push_client {

// What other parts of the push client plug in here; each may stay empty.
struct ClientHooks {
    // Crash capture switched on and off.
    std::function<void()> installCrashReport;
    std::function<void()> removeCrashReport;
    // Sends the UDP report of the notification settings ("apns_state").
    std::function<void()> reportAPNSState;
    // The badge number the application set (the badge manager's setBadge).
    std::function<void(const Value&)> setBadge;
    // Connected to the report scheduler once it exists.
    std::shared_ptr<push::BadgeManager> badgeManager;
};

// Where the client's servers are; the defaults are the production ones.
struct ClientOptions {
    PUSHAddressConfiguration addressConfiguration;
    std::shared_ptr<push::HostResolver> resolver;
    std::string reportEndpoint = push::kDefaultReportEndpoint;
    std::string userEndpoint = push::kDefaultUserEndpoint;
};

// The token's bytes as lowercase hexadecimal, two digits a byte.
std::string stringWithDeviceToken(const Bytes& token);
// The push environment named in a provisioning profile's text (1, 2, -3 or -4).
std::int32_t apsEnvironmentInProfileText(const std::string& text);

} // namespace push_client

class PUSHClientController : public NSObject {
public:
    static constexpr std::int64_t kDeviceTokenWarnings = 5;
    static constexpr double kDeviceTokenCheckInterval = 2;

    static std::shared_ptr<PUSHClientController> sharedClient();
    // Closes the shared client and makes the next sharedClient() a new one (tests).
    static void resetSharedClientForTesting();
    ~PUSHClientController() override;

    // Runs `block` on the registered push client thread, in order and unwaited; on the calling
    // thread when none is registered.
    void perform(std::function<void(PUSHClientController&)> block);

    // Device values, set before setup.
    void setSystemVersion(std::string value) { systemVersion_ = std::move(value); }
    void setBundleIdentifier(std::string value) { bundleIdentifier_ = std::move(value); }
    void setBundleVersion(Value value) { bundleVersion_ = std::move(value); }
    void setEmProvisionUrl(std::optional<std::string> path) { emProvisionUrl_ = std::move(path); }
    void setModelName(std::string value) { modelName_ = std::move(value); }
    void setPushConfig(std::shared_ptr<PUSHPushConfigController> config) { pushConfig_ = std::move(config); }
    void setHooks(push_client::ClientHooks hooks) { hooks_ = std::move(hooks); }
    void setOptions(push_client::ClientOptions options) { options_ = std::move(options); }

    void setup();
    void close();

    // Device token.
    void updateDeviceToken(const Bytes& token);
    void useFakeDeviceToken();
    void checkDeviceTokenUpdated(const std::shared_ptr<NSTimer>& timer);
    void startDeviceTokenUpdatedCheckTimer();
    void stopDeviceTokenUpdatedCheckTimer();

    // What the application asks for.
    void setTagAlias(const std::shared_ptr<PUSHSetTagAliasArg>& argument);
    void reportLaunch(double time);
    void reportInactive(double time);
    void UDPReportAPNSState();
    void setBadgeNumberReport(const Value& number);
    // [result code, notification]: reports the message status of a remote notification.
    void handleRemoteNotification(const Value& codeAndNotification);
    void setLatitude(const Value& location);
    void setViewStart(const Value& pageName);
    void setViewStop(const Value& pageName);
    void setViewLogSecond(const Value& nameAndSeconds);
    void onDidBecomeActive();
    void onEnterBackground();

    std::optional<std::string> readRegistrationID() const;
    void synchronizeData();
    void loadApsEnvironment();
    void setCrashLogON();
    void InitCrashReport();
    void removeCrashReport();
    // Ends the calling push thread's run (called on that thread).
    void closePUSHThread();

    // Accessors.
    std::shared_ptr<NSTimer> deviceTokenStatusCheckTimer() const { return deviceTokenStatusCheckTimer_.lock(); }
    std::int64_t deviceTokenStatusCheckTimes() const { return deviceTokenStatusCheckTimes_; }
    double becomeActiveTime() const { return becomeActiveTime_; }
    bool deviceTokenUpdated() const { return deviceTokenUpdated_; }
    bool isReportCrash() const { return isReportCrash_; }
    std::int32_t apsEvironment() const { return apsEvironment_; }
    const std::optional<std::string>& emProvisionUrl() const { return emProvisionUrl_; }
    const std::string& systemVersion() const { return systemVersion_; }
    const std::string& bundleIdentifier() const { return bundleIdentifier_; }
    const Value& bundleVersion() const { return bundleVersion_; }
    const std::string& modelName() const { return modelName_; }
    const std::shared_ptr<PUSHPushConfigController>& pushConfig() const { return pushConfig_; }
    const std::shared_ptr<PUSHUserDefaultsController>& userDefaults() const { return userDefaults_; }
    const std::shared_ptr<PUSHTagAlias>& tagAliasMng() const { return tagAliasMng_; }
    const std::shared_ptr<PUSHMessageCenter>& messageCenter() const { return messageCenter_; }
    const std::shared_ptr<PUSHPageFlowSession>& pageFlowController() const { return pageFlowController_; }
    const std::shared_ptr<NSNotificationCenter>& clientNotificationCenter() const { return clientNotificationCenter_; }
    const std::shared_ptr<PUSHNetworkController>& networkService() const { return networkService_; }
    std::shared_ptr<PUSHThreadController> pushThreadManager() const;

    std::string className() const override { return "PUSHClientController"; }

    PUSHClientController() = default;

private:
    void createNetworkService();
    void wireSession();
    push_session::ClientInfo clientInfo() const;

    std::weak_ptr<NSTimer> deviceTokenStatusCheckTimer_;
    std::int64_t deviceTokenStatusCheckTimes_ = 0;
    double becomeActiveTime_ = 0;
    bool deviceTokenUpdated_ = false;
    bool isReportCrash_ = false;
    std::int32_t apsEvironment_ = PUSHApsEnvironmentNotRead;
    std::optional<std::string> emProvisionUrl_;
    std::string systemVersion_;
    std::string bundleIdentifier_;
    Value bundleVersion_;
    std::string modelName_;
    std::shared_ptr<PUSHPushConfigController> pushConfig_;
    // Set and cleared on the client thread; readRegistrationID() reads it from any thread.
    std::shared_ptr<PUSHUserDefaultsController> userDefaults_;
    mutable std::mutex userDefaultsMutex_;
    std::shared_ptr<PUSHTagAlias> tagAliasMng_;
    std::shared_ptr<PUSHMessageCenter> messageCenter_;
    std::shared_ptr<PUSHPageFlowSession> pageFlowController_;
    std::shared_ptr<NSNotificationCenter> clientNotificationCenter_;
    std::shared_ptr<PUSHNetworkController> networkService_;
    push_client::ClientHooks hooks_;
    push_client::ClientOptions options_;
};
