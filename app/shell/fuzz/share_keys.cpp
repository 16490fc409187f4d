// Fuzz target: an "init/share.do" reply body as start-up reads it: parsed as the server client
// parses it, logged, and read into the share keys, whatever the shape.
#include <cstddef>
#include <cstdint>

#include "app/ServerRoots.h"
#include "app/shell/ShareKeys.h"
#include "platform/foundation/NSString.h"
#include "platform/persistence/NSJSONSerialization.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes body(data, data + size);
    Value reply = NSJSONSerialization::JSONObjectWithData(body, NSJSONReadingMutableLeaves);
    (void)NSString::stringWithFormat("%@", reply);
    if (app::replyStatus(reply) != 1)
        return 0;
    auto keys = ShareKeys::fromInfo(app::replyInfo(reply));
    if (keys && keys->shareAppKey)
        (void)keys->shareAppKey->size();
    return 0;
}
