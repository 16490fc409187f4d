// NKNetworkReachabilityManager: flags to status, monitoring on the main run loop, and the
// status block and notification on the main thread (status stored, block, notification).
#include "net/NKNetworkReachabilityManager.h"

#include <netinet/in.h>

#include "net/NKLocalizedString.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSNotificationCenter.h"

namespace net {

NKNetworkReachabilityStatus reachabilityStatusForFlags(SCNetworkReachabilityFlags flags)
{
    bool reachable = flags & kSCNetworkReachabilityFlagsReachable;
    bool needsConnection = flags & kSCNetworkReachabilityFlagsConnectionRequired;
    bool connectsAutomatically
        = flags & (kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsConnectionOnDemand);
    bool connectsWithoutUser = connectsAutomatically && !(flags & kSCNetworkReachabilityFlagsInterventionRequired);
    if (!reachable || (needsConnection && !connectsWithoutUser))
        return NKNetworkReachabilityStatusNotReachable;
    if (flags & kSCNetworkReachabilityFlagsIsWWAN)
        return NKNetworkReachabilityStatusReachableViaWWAN;
    return NKNetworkReachabilityStatusReachableViaWiFi;
}

namespace {

const char* reachabilityStatusText(std::int64_t status)
{
    switch (status) {
    case NKNetworkReachabilityStatusNotReachable:
        return "Not Reachable";
    case NKNetworkReachabilityStatusReachableViaWWAN:
        return "Reachable via WWAN";
    case NKNetworkReachabilityStatusReachableViaWiFi:
        return "Reachable via WiFi";
    default:
        return "Unknown";
    }
}

} // namespace

std::string localizedReachabilityStatusString(std::int64_t status)
{
    return localizedString(reachabilityStatusText(status));
}

} // namespace net

namespace {

void postStatusNotification(NKNetworkReachabilityStatus status)
{
    NSNotificationCenter::defaultCenter()->postNotificationName(NKNetworkingReachabilityDidChangeNotification, nullptr,
        Value::dictionary({ { NKNetworkingReachabilityNotificationStatusItem, Value(static_cast<std::int64_t>(status)) } }));
}

} // namespace

std::shared_ptr<NKNetworkReachabilityManager> NKNetworkReachabilityManager::sharedManager()
{
    static auto* shared = [] {
        sockaddr_in zero {};
        zero.sin_family = AF_INET;
        return new std::shared_ptr<NKNetworkReachabilityManager>(managerForAddress(reinterpret_cast<sockaddr*>(&zero)));
    }();
    return *shared;
}

std::shared_ptr<NKNetworkReachabilityManager> NKNetworkReachabilityManager::managerForDomain(const std::string& domain)
{
    return initWithReachability(SCNetworkReachabilityCreateWithName(domain.c_str()), ForName);
}

std::shared_ptr<NKNetworkReachabilityManager> NKNetworkReachabilityManager::managerForAddress(const sockaddr* address)
{
    return initWithReachability(SCNetworkReachabilityCreateWithAddress(address), ForAddress);
}

std::shared_ptr<NKNetworkReachabilityManager> NKNetworkReachabilityManager::initWithReachability(
    SCNetworkReachabilityRef reachability, Association association)
{
    return std::make_shared<NKNetworkReachabilityManager>(std::move(reachability), association);
}

NKNetworkReachabilityManager::NKNetworkReachabilityManager(SCNetworkReachabilityRef reachability, Association association)
    : reachability_(std::move(reachability))
    , association_(association)
{
}

NKNetworkReachabilityManager::~NKNetworkReachabilityManager() { stopMonitoring(); }

NKNetworkReachabilityStatus NKNetworkReachabilityManager::networkReachabilityStatus() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

std::string NKNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const
{
    return net::localizedReachabilityStatusString(networkReachabilityStatus());
}

void NKNetworkReachabilityManager::setReachabilityStatusChangeBlock(StatusBlock block)
{
    std::lock_guard lock(mutex_);
    block_ = std::move(block);
}

std::vector<std::string> NKNetworkReachabilityManager::keyPathsForValuesAffectingValueForKey(const std::string& key)
{
    if (key == "reachable" || key == "reachableViaWWAN" || key == "reachableViaWiFi")
        return { "networkReachabilityStatus" };
    return {};
}

Value NKNetworkReachabilityManager::valueForKey(const std::string& key) const
{
    if (key == "networkReachabilityStatus")
        return static_cast<std::int64_t>(networkReachabilityStatus());
    if (key == "reachable")
        return isReachable();
    if (key == "reachableViaWWAN")
        return isReachableViaWWAN();
    if (key == "reachableViaWiFi")
        return isReachableViaWiFi();
    return KeyValueObservable::valueForKey(key);
}

void NKNetworkReachabilityManager::statusChanged(NKNetworkReachabilityStatus status)
{
    // The derived keys are announced with the status they follow.
    static const char* const derived[] = { "reachable", "reachableViaWWAN", "reachableViaWiFi" };
    willChangeValueForKey("networkReachabilityStatus");
    for (const char* key : derived)
        willChangeValueForKey(key);
    StatusBlock block;
    {
        std::lock_guard lock(mutex_);
        status_ = status;
        block = block_;
    }
    for (auto key = std::rbegin(derived); key != std::rend(derived); ++key)
        didChangeValueForKey(*key);
    didChangeValueForKey("networkReachabilityStatus");
    if (block)
        block(status);
}

void NKNetworkReachabilityManager::startMonitoring()
{
    stopMonitoring();
    if (!reachability_)
        return;
    std::weak_ptr<NKNetworkReachabilityManager> weak = weakAs<NKNetworkReachabilityManager>();
    auto changed = [weak](NKNetworkReachabilityStatus status) {
        if (auto self = weak.lock())
            self->statusChanged(status);
    };
    SCNetworkReachabilitySetCallback(reachability_, [changed](const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags) {
        NKNetworkReachabilityStatus status = net::reachabilityStatusForFlags(flags);
        changed(status);
        dispatch_async(dispatch_get_main_queue(), [status] { postStatusNotification(status); });
    });
    SCNetworkReachabilityScheduleWithRunLoop(reachability_, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);
    if (association_ == ForName)
        return;
    auto reachability = reachability_;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0), [reachability, changed] {
        SCNetworkReachabilityFlags flags = 0;
        SCNetworkReachabilityGetFlags(reachability, &flags);
        NKNetworkReachabilityStatus status = net::reachabilityStatusForFlags(flags);
        dispatch_async(dispatch_get_main_queue(), [status, changed] {
            changed(status);
            postStatusNotification(status);
        });
    });
}

void NKNetworkReachabilityManager::stopMonitoring()
{
    if (reachability_)
        SCNetworkReachabilityUnscheduleFromRunLoop(reachability_, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);
}
