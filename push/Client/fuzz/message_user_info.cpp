// Fuzz target: arbitrary bytes as a message packet from the push server and as the JSON text of
// a message. Whatever the bytes, the user info is absent or a dictionary that holds "content".
#include <cstdint>
#include <cstdlib>

#include "push/Client/PUSHMessageCenter.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

void check(const Value& info)
{
    if (info.isNil())
        return;
    if (!info.isDictionary() || !info.contains("content"))
        std::abort();
    if (info.contains("extras") && !info["extras"].isDictionary())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Bytes bytes(data, data + size);
    push::DecodeError error = push::DecodeError::None;
    auto packet = PUSHReceivedPacketController::decode(data, size, error);
    if (auto message = std::dynamic_pointer_cast<PUSHMessageDispatchController>(packet))
        check(push_client::getDispatchMessageUserInfo(*message));
    check(push_client::getPUSHMessageFromInfo(PUSHJSONObject(bytes)));
    return 0;
}
