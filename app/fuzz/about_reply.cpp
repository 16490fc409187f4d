// Fuzz target: a "client/isAgent.do" reply body as the About screen reads it: parsed as the
// server client parses it, logged with its message, and its status and agent record read,
// whatever the shape.
#include <cstddef>
#include <cstdint>

#include "app/ServerRoots.h"
#include "platform/foundation/NSString.h"
#include "platform/persistence/NSJSONSerialization.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes body(data, data + size);
    Value reply = NSJSONSerialization::JSONObjectWithData(body, NSJSONReadingMutableLeaves);
    (void)NSString::stringWithFormat("%@", reply);
    (void)NSString::stringWithFormat("%@", app::replyMessage(reply));
    if (app::replyStatus(reply) == 1) {
        Value agent = app::replyInfo(reply);
        (void)agent.description();
    }
    return 0;
}
