// The system resolver behind address discovery: getaddrinfo on a worker thread, the answer
// handed back to the waiting run loop through the delegate synchroniser.
#include "push/Network/PUSHHostResolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "platform/threading/NSRunLoop.h"
#include "push/Storage/PUSHDelegateSynchronize.h"
#include "push/Utilities/PUSHLog.h"

namespace push {

namespace {

std::optional<std::string> firstIPv4(const std::string& name)
{
    addrinfo hints {};
    hints.ai_family = AF_INET; // the address is used as IPv4; an IPv6 answer is no answer
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    std::optional<std::string> text;
    for (addrinfo* entry = found; entry && !text; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || !entry->ai_addr)
            continue;
        char dotted[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        if (::inet_ntop(AF_INET, &address->sin_addr, dotted, sizeof dotted))
            text = std::string(dotted);
    }
    ::freeaddrinfo(found);
    return text;
}

class SystemResolver : public HostResolver {
public:
    std::optional<std::string> resolve(const std::string& name, double timeoutSeconds) override
    {
        // Each look-up waits under its own identifier, so a late answer to an abandoned one
        // never ends a later wait.
        static std::atomic<std::uint64_t> counter { 0 };
        const Value identifier(std::string("dnsIdentifier.") + std::to_string(++counter));
        std::weak_ptr<NSRunLoop> loop = NSRunLoop::currentRunLoop();
        auto start = [name, identifier, loop] {
            std::thread([name, identifier, loop] {
                auto answer = firstIPv4(name);
                auto target = loop.lock();
                if (!target)
                    return;
                target->performInModes({ NSDefaultRunLoopMode }, [answer, identifier] {
                    if (!answer)
                        PUSHLogError("DNS request failed");
                    PUSHDelegateSynchronize::continueThread(answer.has_value(), answer ? Value(*answer) : Value(), identifier);
                });
            }).detach();
        };
        const Value result = PUSHDelegateSynchronize::runMethodBlockThread(start, timeoutSeconds, identifier);
        if (!result.isString() || result.stringValue().empty())
            return std::nullopt;
        return result.stringValue();
    }
};

} // namespace

std::shared_ptr<HostResolver> systemHostResolver()
{
    static auto* shared = new std::shared_ptr<HostResolver>(std::make_shared<SystemResolver>());
    return *shared;
}

} // namespace push
