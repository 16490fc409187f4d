// The share keys that "init/share.do" answers with ("info": "bdIosId", "bdIosKey", "mgId",
// "mgKey", "shIosAppkey"), each the "%@" text of its value; a key the reply lacks is none.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Value.h"

struct ShareKeys {
    std::optional<std::string> buddyAppId;
    std::optional<std::string> buddyAppKey;
    std::optional<std::string> messengerAppId;
    std::optional<std::string> messengerAppSecret;
    std::optional<std::string> shareAppKey;

    // The keys of a reply's "info"; none at all when "info" is not a dictionary.
    static std::optional<ShareKeys> fromInfo(const Value& info);
};
