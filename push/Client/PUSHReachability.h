// Watches whether the network can be reached (the whole internet, the link-local network or
// one host) and posts "kNetworkReachabilityChangedNotification" on the push client's private
// notification centre from the run loop that started the watch.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/sysconfig/SCNetworkReachability.h"

class NSNotificationCenter;

inline constexpr const char* kNetworkReachabilityChangedNotification = "kNetworkReachabilityChangedNotification";

enum PUSHNetworkStatus : std::int32_t {
    PUSHNotReachable = 0,
    PUSHReachableViaWiFi = 2,
    PUSHReachableViaWWAN = 3,
};

class PUSHReachability : public NSObject {
public:
    // Each gives nullptr when the platform refuses the target.
    static std::shared_ptr<PUSHReachability> reachabilityWithHostName(const std::string& hostName);
    static std::shared_ptr<PUSHReachability> reachabilityWithAddress(const sockaddr* address);
    static std::shared_ptr<PUSHReachability> reachabilityForInternetConnection();
    static std::shared_ptr<PUSHReachability> reachabilityForLocalWiFi();
    ~PUSHReachability() override;

    // Where changes are posted; nothing is posted without one.
    void setNotificationCenter(std::weak_ptr<NSNotificationCenter> center) { center_ = std::move(center); }
    // Schedules the watch on the current run loop; true when that worked.
    bool startNotifier();
    void stopNotifier();

    PUSHNetworkStatus currentReachabilityStatus() const;
    bool connectionRequired() const;
    static PUSHNetworkStatus localWiFiStatusForFlags(SCNetworkReachabilityFlags flags);
    static PUSHNetworkStatus networkStatusForFlags(SCNetworkReachabilityFlags flags);
    bool localWiFiRef() const { return localWiFiRef_; }

    std::string className() const override { return "PUSHReachability"; }

    PUSHReachability(SCNetworkReachabilityRef reference, bool localWiFi);

private:
    SCNetworkReachabilityRef reachabilityRef_;
    bool localWiFiRef_ = false;
    std::weak_ptr<NSNotificationCenter> center_;
    std::shared_ptr<NSRunLoop> scheduledRunLoop_;
};
