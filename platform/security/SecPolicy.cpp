// Policy constructors.
#include "platform/security/SecPolicy.h"

SecPolicyRef SecPolicyCreateSSL(bool server, std::optional<std::string> hostName)
{
    if (hostName && hostName->empty())
        hostName.reset();
    return std::make_shared<SecPolicy>(SecPolicy::Kind::SSL, server, std::move(hostName));
}

SecPolicyRef SecPolicyCreateBasicX509()
{
    return std::make_shared<SecPolicy>(SecPolicy::Kind::BasicX509, false, std::nullopt);
}
