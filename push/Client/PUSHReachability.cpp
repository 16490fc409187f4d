// Network reachability for the push client.
#include "push/Client/PUSHReachability.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "platform/threading/NSNotificationCenter.h"

namespace {

std::shared_ptr<PUSHReachability> watch(SCNetworkReachabilityRef reference, bool localWiFi)
{
    if (!reference)
        return nullptr;
    return std::make_shared<PUSHReachability>(std::move(reference), localWiFi);
}

sockaddr_in ipv4(std::uint32_t hostOrderAddress)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return address;
}

} // namespace

PUSHReachability::PUSHReachability(SCNetworkReachabilityRef reference, bool localWiFi)
    : reachabilityRef_(std::move(reference))
    , localWiFiRef_(localWiFi)
{
}

PUSHReachability::~PUSHReachability()
{
    stopNotifier();
    SCNetworkReachabilitySetCallback(reachabilityRef_, nullptr);
}

std::shared_ptr<PUSHReachability> PUSHReachability::reachabilityWithHostName(const std::string& hostName)
{
    return watch(SCNetworkReachabilityCreateWithName(hostName.c_str()), false);
}

std::shared_ptr<PUSHReachability> PUSHReachability::reachabilityWithAddress(const sockaddr* address)
{
    return watch(SCNetworkReachabilityCreateWithAddress(address), false);
}

std::shared_ptr<PUSHReachability> PUSHReachability::reachabilityForInternetConnection()
{
    const sockaddr_in zero = ipv4(0);
    return reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&zero));
}

std::shared_ptr<PUSHReachability> PUSHReachability::reachabilityForLocalWiFi()
{
    const sockaddr_in linkLocal = ipv4(0xA9FE0000); // 169.254.0.0
    return watch(SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&linkLocal)), true);
}

bool PUSHReachability::startNotifier()
{
    std::weak_ptr<PUSHReachability> weak = sharedAs<PUSHReachability>();
    const bool installed = SCNetworkReachabilitySetCallback(
        reachabilityRef_, [weak](const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags) {
            auto self = weak.lock();
            if (!self)
                return;
            if (auto center = self->center_.lock())
                center->postNotificationName(kNetworkReachabilityChangedNotification, self);
        });
    if (!installed)
        return false;
    auto loop = NSRunLoop::currentRunLoop();
    if (!SCNetworkReachabilityScheduleWithRunLoop(reachabilityRef_, loop, NSDefaultRunLoopMode))
        return false;
    scheduledRunLoop_ = loop;
    return true;
}

void PUSHReachability::stopNotifier()
{
    if (auto loop = std::exchange(scheduledRunLoop_, nullptr))
        SCNetworkReachabilityUnscheduleFromRunLoop(reachabilityRef_, loop, NSDefaultRunLoopMode);
}

PUSHNetworkStatus PUSHReachability::localWiFiStatusForFlags(SCNetworkReachabilityFlags flags)
{
    const bool direct = (flags & kSCNetworkReachabilityFlagsReachable) && (flags & kSCNetworkReachabilityFlagsIsDirect);
    return direct ? PUSHReachableViaWiFi : PUSHNotReachable;
}

PUSHNetworkStatus PUSHReachability::networkStatusForFlags(SCNetworkReachabilityFlags flags)
{
    if (!(flags & kSCNetworkReachabilityFlagsReachable))
        return PUSHNotReachable;
    if (flags & kSCNetworkReachabilityFlagsIsWWAN)
        return PUSHReachableViaWWAN;
    const bool onTrafficOrDemand
        = flags & (kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsConnectionOnDemand);
    if (onTrafficOrDemand && !(flags & kSCNetworkReachabilityFlagsInterventionRequired))
        return PUSHReachableViaWiFi;
    return (flags & kSCNetworkReachabilityFlagsConnectionRequired) ? PUSHNotReachable : PUSHReachableViaWiFi;
}

PUSHNetworkStatus PUSHReachability::currentReachabilityStatus() const
{
    SCNetworkReachabilityFlags flags = 0;
    if (!SCNetworkReachabilityGetFlags(reachabilityRef_, &flags))
        return PUSHNotReachable;
    return localWiFiRef_ ? localWiFiStatusForFlags(flags) : networkStatusForFlags(flags);
}

bool PUSHReachability::connectionRequired() const
{
    SCNetworkReachabilityFlags flags = 0;
    return SCNetworkReachabilityGetFlags(reachabilityRef_, &flags)
        && (flags & kSCNetworkReachabilityFlagsConnectionRequired);
}
