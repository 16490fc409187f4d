// NKNetworkReachabilityManager: whether a host name or an address can be reached and over which
// kind of link. It keeps the current status, calls a status block and posts
// "com.pendrasil.networking.reachability.change" on the main thread when the status changes.
// Observable: "networkReachabilityStatus", and with it "reachable", "reachableViaWWAN" and
// "reachableViaWiFi", which follow it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/threading/KeyValueObserving.h"

enum NKNetworkReachabilityStatus : std::int64_t {
    NKNetworkReachabilityStatusUnknown = -1,
    NKNetworkReachabilityStatusNotReachable = 0,
    NKNetworkReachabilityStatusReachableViaWWAN = 1,
    NKNetworkReachabilityStatusReachableViaWiFi = 2,
};

inline constexpr const char* NKNetworkingReachabilityDidChangeNotification = "com.pendrasil.networking.reachability.change";
inline constexpr const char* NKNetworkingReachabilityNotificationStatusItem = "NKNetworkingReachabilityNotificationStatusItem";

namespace net {
NKNetworkReachabilityStatus reachabilityStatusForFlags(SCNetworkReachabilityFlags flags);
// "Unknown", "Not Reachable", "Reachable via WWAN", "Reachable via WiFi", as the "NKNetworking"
// string table gives them.
std::string localizedReachabilityStatusString(std::int64_t status);
} // namespace net

class NKNetworkReachabilityManager : public NSObject, public threading::KeyValueObservable {
public:
    using StatusBlock = std::function<void(NKNetworkReachabilityStatus)>;
    enum Association : std::uint64_t { ForAddress = 1, ForName = 3 };

    // Watches the zero IPv4 address: the device's general connectivity.
    static std::shared_ptr<NKNetworkReachabilityManager> sharedManager();
    static std::shared_ptr<NKNetworkReachabilityManager> managerForDomain(const std::string& domain);
    static std::shared_ptr<NKNetworkReachabilityManager> managerForAddress(const sockaddr* address);
    // Without a handle (an empty host name gets none) the manager never monitors anything and
    // its status stays Unknown.
    static std::shared_ptr<NKNetworkReachabilityManager> initWithReachability(
        SCNetworkReachabilityRef reachability, Association association = ForAddress);

    NKNetworkReachabilityManager(SCNetworkReachabilityRef reachability, Association association);
    ~NKNetworkReachabilityManager() override;
    std::string className() const override { return "NKNetworkReachabilityManager"; }
    // The keys whose changes change `key`: the status, for the three derived keys.
    static std::vector<std::string> keyPathsForValuesAffectingValueForKey(const std::string& key);
    Value valueForKey(const std::string& key) const override;

    void startMonitoring();
    void stopMonitoring();
    void setReachabilityStatusChangeBlock(StatusBlock block);

    NKNetworkReachabilityStatus networkReachabilityStatus() const;
    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return networkReachabilityStatus() == NKNetworkReachabilityStatusReachableViaWWAN; }
    bool isReachableViaWiFi() const { return networkReachabilityStatus() == NKNetworkReachabilityStatusReachableViaWiFi; }
    std::string localizedNetworkReachabilityStatusString() const;

private:
    void statusChanged(NKNetworkReachabilityStatus status);

    SCNetworkReachabilityRef reachability_;
    Association association_;
    mutable std::mutex mutex_;
    NKNetworkReachabilityStatus status_ = NKNetworkReachabilityStatusUnknown;
    StatusBlock block_;
};
