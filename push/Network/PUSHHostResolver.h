// Host-name look-up for address discovery: the first IPv4 address of a name, waited for on
// the calling thread's run loop (which keeps turning meanwhile) for a bounded time.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace push {

class HostResolver {
public:
    virtual ~HostResolver() = default;
    // Dotted IPv4 text of the name's first IPv4 address; none when it does not resolve in time.
    virtual std::optional<std::string> resolve(const std::string& name, double timeoutSeconds) = 0;
};

// Resolves with the system resolver on a worker thread while the caller's run loop turns.
std::shared_ptr<HostResolver> systemHostResolver();

} // namespace push
