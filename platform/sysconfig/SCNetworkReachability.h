// Network reachability on Linux. A target (an address or a host name) is reachable when the
// kernel has a route towards it; links are never WWAN. Scheduled in a run loop, a target watches
// rtnetlink route, address and link changes and calls its callback there when its flags change.
// Tests replace the flags of every target through sysconfig::injectFlags().
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/threading/NSRunLoop.h"

using SCNetworkReachabilityFlags = std::uint32_t;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsTransientConnection = 1u << 0;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsReachable = 1u << 1;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionRequired = 1u << 2;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionOnTraffic = 1u << 3;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsInterventionRequired = 1u << 4;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsConnectionOnDemand = 1u << 5;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsLocalAddress = 1u << 16;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsDirect = 1u << 17;
inline constexpr SCNetworkReachabilityFlags kSCNetworkReachabilityFlagsIsWWAN = 1u << 18;

namespace threading {
class FileDescriptorSource;
}

class SCNetworkReachability;
using SCNetworkReachabilityRef = std::shared_ptr<SCNetworkReachability>;
// The callback holds whatever context it needs: copying it retains, destroying it releases.
using SCNetworkReachabilityCallBack = std::function<void(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags)>;

class SCNetworkReachability final : public NSObject {
public:
    std::string className() const override { return "SCNetworkReachability"; }
    ~SCNetworkReachability() override;

    // The flags as they are now.
    SCNetworkReachabilityFlags currentFlags() const;

private:
    friend SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(const sockaddr*);
    friend SCNetworkReachabilityRef SCNetworkReachabilityCreateWithName(const char*);
    friend bool SCNetworkReachabilitySetCallback(const SCNetworkReachabilityRef&, SCNetworkReachabilityCallBack);
    friend bool SCNetworkReachabilityScheduleWithRunLoop(
        const SCNetworkReachabilityRef&, const std::shared_ptr<NSRunLoop>&, const NSRunLoopMode&);
    friend bool SCNetworkReachabilityUnscheduleFromRunLoop(
        const SCNetworkReachabilityRef&, const std::shared_ptr<NSRunLoop>&, const NSRunLoopMode&);
    friend void reachabilityRecheck(SCNetworkReachability&);

    void recheck(); // on the scheduled loop
    void stopWatching();

    sockaddr_storage address_ {};
    socklen_t addressLength_ = 0;
    std::optional<std::string> name_;
    mutable std::mutex mutex_;
    SCNetworkReachabilityCallBack callback_;
    std::shared_ptr<NSRunLoop> runLoop_;
    std::vector<NSRunLoopMode> modes_;
    int netlink_ = -1;
    std::shared_ptr<threading::FileDescriptorSource> source_;
    SCNetworkReachabilityFlags lastFlags_ = 0;
};

// nullptr for a null or unsupported address (only IPv4 and IPv6).
SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(const sockaddr* address);
// nullptr for a null or empty name.
SCNetworkReachabilityRef SCNetworkReachabilityCreateWithName(const char* name);
// An empty callback clears it.
bool SCNetworkReachabilitySetCallback(const SCNetworkReachabilityRef& target, SCNetworkReachabilityCallBack callback);
bool SCNetworkReachabilityScheduleWithRunLoop(
    const SCNetworkReachabilityRef& target, const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);
bool SCNetworkReachabilityUnscheduleFromRunLoop(
    const SCNetworkReachabilityRef& target, const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);
bool SCNetworkReachabilityGetFlags(const SCNetworkReachabilityRef& target, SCNetworkReachabilityFlags* flags);

namespace sysconfig {

// Every target reports `flags` from now on (nullopt: the kernel's answer again), and scheduled
// targets re-check at once, calling back where their flags changed.
void injectFlags(std::optional<SCNetworkReachabilityFlags> flags);
// Flags for an address as the kernel's routes give them (what targets use without injection).
SCNetworkReachabilityFlags routeFlags(const sockaddr* address, socklen_t length);
// How many targets are scheduled now (for tests).
std::size_t scheduledTargetCount();

// A Wi-Fi interface and the information of the network it is on ("SSID", "BSSID"), if any.
struct WiFiInterface {
    std::string name;
    std::optional<std::map<std::string, std::string>> networkInfo;
};
// The captive-network functions below report these interfaces, in order, from now on (nullopt:
// none again, as this platform knows).
void injectWiFiInterfaces(std::optional<std::vector<WiFiInterface>> interfaces);

} // namespace sysconfig

// Captive-network information: this platform knows no Wi-Fi interface, so both answer none
// unless a test names some (sysconfig::injectWiFiInterfaces).
std::optional<std::vector<std::string>> CNCopySupportedInterfaces();
std::optional<std::map<std::string, std::string>> CNCopyCurrentNetworkInfo(const std::string& interfaceName);
