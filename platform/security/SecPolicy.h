// SecPolicy: what a trust evaluation checks besides the chain itself: an SSL server policy
// (with or without a host name) or the basic X.509 policy.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"

class SecPolicy final : public NSObject {
public:
    enum class Kind { BasicX509, SSL };
    SecPolicy(Kind kind, bool server, std::optional<std::string> hostName)
        : kind_(kind), server_(server), hostName_(std::move(hostName))
    {
    }
    std::string className() const override { return "SecPolicy"; }

    Kind kind() const { return kind_; }
    bool isServer() const { return server_; }
    // The name (or IP address) the leaf must carry; none: no name check.
    const std::optional<std::string>& hostName() const { return hostName_; }

private:
    Kind kind_;
    bool server_;
    std::optional<std::string> hostName_;
};

using SecPolicyRef = std::shared_ptr<SecPolicy>;

// An SSL policy; `server` true checks a server's certificate. No host name: no name check.
SecPolicyRef SecPolicyCreateSSL(bool server, std::optional<std::string> hostName);
SecPolicyRef SecPolicyCreateBasicX509();
