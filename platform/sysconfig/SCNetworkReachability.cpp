// Reachability: route checks by connecting a UDP socket (no packet is sent), change watching on
// an rtnetlink socket as a run-loop source, and the injection seam.
#include "platform/sysconfig/SCNetworkReachability.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include "platform/threading/FileDescriptorSource.h"

namespace {

// The scheduled targets, one entry each from scheduling until unscheduling or destruction.
struct Registry {
    std::mutex mutex;
    std::optional<SCNetworkReachabilityFlags> injected;
    std::map<const SCNetworkReachability*, std::weak_ptr<SCNetworkReachability>> scheduled;
};

Registry& registry()
{
    static auto* instance = new Registry;
    return *instance;
}

std::optional<SCNetworkReachabilityFlags> injected()
{
    std::lock_guard lock(registry().mutex);
    return registry().injected;
}

bool isLoopback(const sockaddr* address)
{
    if (address->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr) >> 24) == 127;
    if (address->sa_family == AF_INET6)
        return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    return false;
}

bool isUnspecified(const sockaddr* address)
{
    if (address->sa_family == AF_INET)
        return reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr == INADDR_ANY;
    if (address->sa_family == AF_INET6)
        return IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    return false;
}

// True when the kernel has a route for `address`.
bool hasRoute(const sockaddr* address, socklen_t length)
{
    int fd = ::socket(address->sa_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_storage target {};
    std::memcpy(&target, address, length);
    if (target.ss_family == AF_INET && reinterpret_cast<sockaddr_in*>(&target)->sin_port == 0)
        reinterpret_cast<sockaddr_in*>(&target)->sin_port = htons(9);
    if (target.ss_family == AF_INET6 && reinterpret_cast<sockaddr_in6*>(&target)->sin6_port == 0)
        reinterpret_cast<sockaddr_in6*>(&target)->sin6_port = htons(9);
    bool routed = ::connect(fd, reinterpret_cast<sockaddr*>(&target), length) == 0;
    ::close(fd);
    return routed;
}

int openNetlink()
{
    int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0)
        return -1;
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

void reachabilityRecheck(SCNetworkReachability& target) { target.recheck(); }

namespace sysconfig {

SCNetworkReachabilityFlags routeFlags(const sockaddr* address, socklen_t length)
{
    if (!address)
        return 0;
    if (isLoopback(address))
        return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress
            | kSCNetworkReachabilityFlagsIsDirect;
    if (isUnspecified(address)) {
        // The zero address stands for general connectivity: a route to the outside world.
        sockaddr_in probe {};
        probe.sin_family = AF_INET;
        inet_pton(AF_INET, "192.0.2.1", &probe.sin_addr);
        sockaddr_in6 probe6 {};
        probe6.sin6_family = AF_INET6;
        inet_pton(AF_INET6, "2001:db8::1", &probe6.sin6_addr);
        bool routed = hasRoute(reinterpret_cast<sockaddr*>(&probe), sizeof probe)
            || hasRoute(reinterpret_cast<sockaddr*>(&probe6), sizeof probe6);
        return routed ? kSCNetworkReachabilityFlagsReachable : 0;
    }
    return hasRoute(address, length) ? kSCNetworkReachabilityFlagsReachable : 0;
}

void injectFlags(std::optional<SCNetworkReachabilityFlags> flags)
{
    std::vector<std::shared_ptr<SCNetworkReachability>> targets;
    {
        std::lock_guard lock(registry().mutex);
        registry().injected = flags;
        for (const auto& entry : registry().scheduled)
            if (auto target = entry.second.lock())
                targets.push_back(target);
    }
    for (const auto& target : targets)
        reachabilityRecheck(*target);
}

std::size_t scheduledTargetCount()
{
    std::lock_guard lock(registry().mutex);
    return registry().scheduled.size();
}

} // namespace sysconfig

SCNetworkReachability::~SCNetworkReachability() { stopWatching(); }

SCNetworkReachabilityFlags SCNetworkReachability::currentFlags() const
{
    if (auto flags = injected())
        return *flags;
    if (!name_)
        return sysconfig::routeFlags(reinterpret_cast<const sockaddr*>(&address_), addressLength_);
    // A name: a literal address is checked as one; any other name needs general connectivity.
    addrinfo hints {};
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* result = nullptr;
    if (getaddrinfo(name_->c_str(), nullptr, &hints, &result) == 0 && result) {
        auto flags = sysconfig::routeFlags(result->ai_addr, result->ai_addrlen);
        freeaddrinfo(result);
        return flags;
    }
    if (*name_ == "localhost")
        return kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress
            | kSCNetworkReachabilityFlagsIsDirect;
    sockaddr_in zero {};
    zero.sin_family = AF_INET;
    return sysconfig::routeFlags(reinterpret_cast<sockaddr*>(&zero), sizeof zero);
}

void SCNetworkReachability::recheck()
{
    std::shared_ptr<NSRunLoop> loop;
    std::vector<NSRunLoopMode> modes;
    {
        std::lock_guard lock(mutex_);
        if (!runLoop_)
            return;
        loop = runLoop_;
        modes = modes_;
    }
    std::weak_ptr<SCNetworkReachability> weak = sharedAs<SCNetworkReachability>();
    loop->performInModes(modes, [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        auto flags = self->currentFlags();
        SCNetworkReachabilityCallBack callback;
        {
            std::lock_guard lock(self->mutex_);
            if (!self->runLoop_ || flags == self->lastFlags_)
                return;
            self->lastFlags_ = flags;
            callback = self->callback_;
        }
        if (callback)
            callback(self, flags);
    });
}

void SCNetworkReachability::stopWatching()
{
    std::shared_ptr<threading::FileDescriptorSource> source;
    int fd;
    {
        std::lock_guard lock(mutex_);
        source = std::move(source_);
        fd = netlink_;
        netlink_ = -1;
        runLoop_.reset();
        modes_.clear();
        std::lock_guard registered(registry().mutex);
        registry().scheduled.erase(this);
    }
    if (source)
        source->invalidate();
    if (fd >= 0)
        ::close(fd);
}

SCNetworkReachabilityRef SCNetworkReachabilityCreateWithAddress(const sockaddr* address)
{
    if (!address || (address->sa_family != AF_INET && address->sa_family != AF_INET6))
        return nullptr;
    auto target = std::make_shared<SCNetworkReachability>();
    target->addressLength_ = address->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    std::memcpy(&target->address_, address, target->addressLength_);
    return target;
}

SCNetworkReachabilityRef SCNetworkReachabilityCreateWithName(const char* name)
{
    if (!name || !*name)
        return nullptr;
    auto target = std::make_shared<SCNetworkReachability>();
    target->name_ = name;
    return target;
}

bool SCNetworkReachabilitySetCallback(const SCNetworkReachabilityRef& target, SCNetworkReachabilityCallBack callback)
{
    if (!target)
        return false;
    std::lock_guard lock(target->mutex_);
    target->callback_ = std::move(callback);
    return true;
}

bool SCNetworkReachabilityScheduleWithRunLoop(
    const SCNetworkReachabilityRef& target, const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode)
{
    if (!target || !runLoop)
        return false;
    auto flags = target->currentFlags();
    std::shared_ptr<threading::FileDescriptorSource> source;
    {
        std::lock_guard lock(target->mutex_);
        if (target->runLoop_ && target->runLoop_ != runLoop)
            return false;
        if (std::find(target->modes_.begin(), target->modes_.end(), mode) == target->modes_.end())
            target->modes_.push_back(mode);
        if (!target->runLoop_) {
            target->runLoop_ = runLoop;
            target->lastFlags_ = flags;
            target->netlink_ = openNetlink();
            if (target->netlink_ >= 0) {
                int fd = target->netlink_;
                std::weak_ptr<SCNetworkReachability> weak = target;
                target->source_ = threading::FileDescriptorSource::create(fd, [weak, fd] {
                    char buffer[8192];
                    while (::recv(fd, buffer, sizeof buffer, 0) > 0) { } // drain; any change means re-check
                    if (auto self = weak.lock())
                        self->recheck();
                }, nullptr);
            }
        }
        source = target->source_;
        std::lock_guard registered(registry().mutex);
        registry().scheduled.try_emplace(target.get(), target);
    }
    if (source)
        runLoop->addSource(source, mode);
    return true;
}

bool SCNetworkReachabilityUnscheduleFromRunLoop(
    const SCNetworkReachabilityRef& target, const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode)
{
    if (!target)
        return false;
    std::shared_ptr<threading::FileDescriptorSource> source;
    bool last = false;
    {
        std::lock_guard lock(target->mutex_);
        if (target->runLoop_ != runLoop)
            return false;
        std::erase(target->modes_, mode);
        source = target->source_;
        last = target->modes_.empty();
    }
    if (source)
        runLoop->removeSource(source, mode);
    if (last)
        target->stopWatching();
    return true;
}

bool SCNetworkReachabilityGetFlags(const SCNetworkReachabilityRef& target, SCNetworkReachabilityFlags* flags)
{
    if (!target || !flags)
        return false;
    *flags = target->currentFlags();
    return true;
}

namespace {
std::mutex wifiMutex;
std::optional<std::vector<sysconfig::WiFiInterface>> injectedWiFi; // guarded by wifiMutex
}

void sysconfig::injectWiFiInterfaces(std::optional<std::vector<WiFiInterface>> interfaces)
{
    std::lock_guard lock(wifiMutex);
    injectedWiFi = std::move(interfaces);
}

std::optional<std::vector<std::string>> CNCopySupportedInterfaces()
{
    std::lock_guard lock(wifiMutex);
    if (!injectedWiFi)
        return std::nullopt;
    std::vector<std::string> names;
    for (const auto& wifi : *injectedWiFi)
        names.push_back(wifi.name);
    return names;
}

std::optional<std::map<std::string, std::string>> CNCopyCurrentNetworkInfo(const std::string& interfaceName)
{
    std::lock_guard lock(wifiMutex);
    if (!injectedWiFi)
        return std::nullopt;
    for (const auto& wifi : *injectedWiFi) {
        if (wifi.name == interfaceName)
            return wifi.networkInfo;
    }
    return std::nullopt;
}
