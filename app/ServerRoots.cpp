// Server roots with their run-time overrides.
#include "app/ServerRoots.h"

#include <cstdlib>

#include "platform/foundation/NSString.h"

namespace app {

namespace {

std::string rootFrom(const char* variable, const char* compiledIn)
{
    const char* value = std::getenv(variable);
    if (!value || !*value)
        return compiledIn;
    return value;
}

} // namespace

std::string dataServerRoot() { return rootFrom("QUILLMARK_DATA_ROOT", kDataServerRoot); }

std::string accountServerRoot() { return rootFrom("QUILLMARK_ACCOUNT_ROOT", kAccountServerRoot); }

std::string dataServerURL(const std::string& path) { return NSString::stringWithFormat("%@%@", dataServerRoot(), path); }

std::string refusalText(const Value& reply)
{
    const Value& message = replyMessage(reply);
    return message.isNil() ? "出错" : NSString::stringWithFormat("%@", message);
}

std::string accountServerURL(const std::string& path)
{
    return NSString::stringWithFormat("%@%@", accountServerRoot(), path);
}

} // namespace app
