// Reading the share keys from a reply.
#include "app/shell/ShareKeys.h"

#include "platform/foundation/NSString.h"

namespace {

std::optional<std::string> keyText(const Value& info, std::string_view key)
{
    const Value& value = info[key];
    if (value.isNil())
        return std::nullopt;
    return NSString::stringWithFormat("%@", value);
}

} // namespace

std::optional<ShareKeys> ShareKeys::fromInfo(const Value& info)
{
    if (!info.isDictionary())
        return std::nullopt;
    ShareKeys keys;
    keys.buddyAppId = keyText(info, "bdIosId");
    keys.buddyAppKey = keyText(info, "bdIosKey");
    keys.messengerAppId = keyText(info, "mgId");
    keys.messengerAppSecret = keyText(info, "mgKey");
    keys.shareAppKey = keyText(info, "shIosAppkey");
    return keys;
}
