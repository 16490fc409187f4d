// Fuzz target: arbitrary bytes as an address-service reply. Whatever the bytes, the reader
// gives texts only, and a complete reply always names a push server.
#include <cstdint>
#include <cstdlib>

#include "push/Network/PUSHAddressMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Bytes bytes(data, data + size);
    const push::AddressReply reply = push::parseAddressReply(bytes);
    if (reply.complete() && (*reply.ips)[0].empty())
        std::abort();
    if (!reply.isObject && (reply.user || reply.ips || reply.udpReport || reply.opConns))
        std::abort();
    if (reply.user)
        (void)push::splitAddress(*reply.user);
    (void)push::splitAddress(std::string(data, data + size));
    return 0;
}
