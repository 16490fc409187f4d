// The address-discovery datagram as the fake address service reads it: 128 bytes, the length
// 128 little-endian, "UF", then network type, uid byte, carrier name, app key and SDK version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace pushserver {

struct DiscoveryRequest {
    std::uint8_t networkType = 0;
    std::uint8_t uidLowByte = 0;
    std::string carrierName;
    std::string appKey;
    std::string sdkVersion;
};

// None unless the datagram is exactly 128 bytes with the right length word and magic.
std::optional<DiscoveryRequest> parseDiscoveryRequest(const std::uint8_t* data, std::size_t length);

} // namespace pushserver
