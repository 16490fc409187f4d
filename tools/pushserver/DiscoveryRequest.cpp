// Reading address-discovery datagrams.
#include "tools/pushserver/DiscoveryRequest.h"

#include <algorithm>

namespace pushserver {

namespace {

// Text from `start` up to the first 0 byte, at most up to `end`.
std::string textField(const std::uint8_t* data, std::size_t start, std::size_t end)
{
    const std::uint8_t* first = data + start;
    const std::uint8_t* last = std::find(first, data + end, 0);
    return std::string(first, last);
}

} // namespace

std::optional<DiscoveryRequest> parseDiscoveryRequest(const std::uint8_t* data, std::size_t length)
{
    if (!data || length != 128)
        return std::nullopt;
    if (data[0] != 0x80 || data[1] != 0 || data[2] != 'U' || data[3] != 'F')
        return std::nullopt;
    DiscoveryRequest request;
    request.networkType = data[5];
    request.uidLowByte = data[6];
    request.carrierName = textField(data, 11, 42);
    request.appKey = textField(data, 42, 128);
    request.sdkVersion = textField(data, 92, 128);
    return request;
}

} // namespace pushserver
