// The address-discovery datagrams: the fixed 128-byte request and the JSON reply, read with a
// type check on every field (a field of the wrong type counts as missing).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace push {

inline constexpr std::size_t kAddressRequestLength = 128;

// Bytes 0-1 the length 128 little-endian, 2-3 "UF", 4 zero, 5 the network type, 6 the uid's
// low byte, 7-10 zero, 11-41 the carrier name (at most 31 bytes, cut on a character boundary),
// 42 the app key (at most 86 bytes, written last), 92 the SDK version text.
Bytes addressRequestData(const std::string& appKey, const std::string& carrierName, std::uint8_t networkType,
    std::uint64_t uid, const std::string& sdkVersion);

struct AddressReply {
    bool isObject = false; // a non-empty JSON object
    std::optional<std::string> user;
    // [push server, default connection, HTTP report]: present with at least three texts.
    std::optional<std::array<std::string, 3>> ips;
    std::optional<std::string> udpReport; // "udp_report"[0]
    std::optional<std::vector<std::string>> opConns; // its texts; other elements are skipped

    // Everything the session needs: a push server, a UDP report address, the alternatives.
    bool complete() const { return ips && !(*ips)[0].empty() && udpReport && opConns; }
};

AddressReply parseAddressReply(const Bytes& data);

// "host:port" split at the last colon; none without a host or a port of 1-65535.
std::optional<std::pair<std::string, std::uint16_t>> splitAddress(const std::string& text);

} // namespace push
