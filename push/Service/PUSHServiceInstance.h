// The process-wide object behind PUSHService: the push client, the client thread it runs on,
// the wiring of the client's hooks (badge, notification-settings report, crash capture), the
// application-state handlers, and the state of the launch notification.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "push/Client/PUSHClientController.h"

class PUSHPushConfigController;
class PUSHThread;
class PUSHSetTagAliasArg;

namespace push_service {

// Where the client's servers are, for the host and tests; the production ones otherwise.
// Takes effect at the next set-up.
void setClientOptions(std::optional<push_client::ClientOptions> options);

class Service : public std::enable_shared_from_this<Service> {
public:
    static std::shared_ptr<Service> sharedService();
    // Ends the client and the thread; the next sharedService() builds anew.
    static void resetShared();
    ~Service();

    const std::shared_ptr<PUSHClientController>& client() const { return client_; }
    const std::shared_ptr<PUSHThread>& clientThread() const { return clientThread_; }
    bool isFromBackground() const;

    // Sends the block to the client on the client thread, unwaited, in order.
    void perform(std::function<void(PUSHClientController&)> block);

    // The one-shot common set-up; false when it ran before or stopped at the configuration.
    bool commonSetup(const Value& launchOptions, const std::optional<std::string>& appKey, const std::string& channel,
        bool apsForProduction);
    bool loadPushConfig(const std::optional<std::string>& path);
    bool loadPushCodeInput(const std::string& appKey, const std::string& channel, bool isProduction);
    void setupClient();

    // The result code reported, or none when the notification is ignored.
    std::optional<std::uint32_t> handleRemoteNotification(const Value& notification, bool atLaunch);
    void updateDeviceToken(const Bytes& token);
    // Drops the request (with an error log) when the application is not registered yet;
    // otherwise `checkCallback`, when given, gives the request its callback first.
    void setTagAlias(std::shared_ptr<PUSHSetTagAliasArg> argument,
        std::function<void(PUSHSetTagAliasArg&)> checkCallback = nullptr);
    std::string registrationID();

    void reportLaunch();
    void reportInactive();
    void synchronize();

    // The application-state handlers.
    void applicationWillTerminate();
    void applicationWillResignActive() { }
    void applicationDidBecomeActive();
    void applicationDidEnterBackground();
    void applicationWillEnterForeground();

    Service();

private:
    void build();
    void installPushConfig(std::shared_ptr<PUSHPushConfigController> config);
    void wireHooks();
    void addAppStateNotifications();
    void removeAppStateNotifications();

    std::shared_ptr<PUSHClientController> client_;
    std::shared_ptr<PUSHThread> clientThread_;
    std::vector<NSObjectRef> observers_;
    mutable std::mutex mutex_;
    bool isFromBackground_ = false;
    bool setupDone_ = false;
    std::string applicationKey_;
    std::uint64_t launchMessageId_ = 0;
    bool launchNotificationHandled_ = false;
};

} // namespace push_service
