// The push client's network service: the TCP session with the push server, the HTTP report
// scheduler and the reachability watch. The session is set up only while three things hold:
// a device token was taken, the persisted identity is verified, and the network is reachable;
// each of those events tries again. Entering the background closes the session, returning to
// the foreground starts it anew. Runs on the push client's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/foundation/NSObject.h"
#include "push/Session/PUSHSessionEnvironment.h"

class NSNotification;
class NSNotificationCenter;
class PUSHHttpSessionController;
class PUSHReachability;
class PUSHSessionController;
class PUSHUserDefaultsController;

namespace push_client {

struct NetworkEnvironment {
    // The client's private notification centre (reachability changes, "verified").
    std::shared_ptr<NSNotificationCenter> center;
    std::shared_ptr<PUSHUserDefaultsController> userDefaults;
    std::function<bool()> deviceTokenUpdated = [] { return false; };
    PUSHAddressConfiguration addressConfiguration;
    std::shared_ptr<push::HostResolver> resolver;
    std::function<push_session::ClientInfo()> clientInfo = [] { return push_session::ClientInfo {}; };
};

} // namespace push_client

class PUSHNetworkController : public NSObject {
public:
    static std::shared_ptr<PUSHNetworkController> create(push_client::NetworkEnvironment environment);
    ~PUSHNetworkController() override;

    // 0 not reachable, 2 Wi-Fi, 3 cellular.
    std::int32_t currentNetworkStatus() const;
    void reachabilityChanged(const std::shared_ptr<NSNotification>& notification);
    void onResumeFromInactive();
    void onEnterBackground();
    // Closes the TCP session without scheduling a reconnection.
    void closeSession();
    void trySetupSession();

    const std::shared_ptr<PUSHSessionController>& clientSession() const { return clientSession_; }
    const std::shared_ptr<PUSHHttpSessionController>& reportSession() const { return reportSession_; }
    const std::shared_ptr<PUSHReachability>& internetReachability() const { return internetReachability_; }

    std::string className() const override { return "PUSHNetworkController"; }

    explicit PUSHNetworkController(push_client::NetworkEnvironment environment);

private:
    void start();

    push_client::NetworkEnvironment environment_;
    std::shared_ptr<PUSHReachability> internetReachability_;
    std::shared_ptr<PUSHSessionController> clientSession_;
    std::shared_ptr<PUSHHttpSessionController> reportSession_;
};
