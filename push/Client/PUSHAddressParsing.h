// The push client's server addresses: "host:port" text or the dictionary form
// ("kPUSHAddressHostKey", "kPUSHAddressPortKey") made into an address, the HTTP form with the
// resource path of an endpoint, and back. Hosts are IPv4 dotted quads only; host names fail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "push/Network/PUSHAddressController.h"

inline constexpr const char* kPUSHAddressHostKey = "kPUSHAddressHostKey";
inline constexpr const char* kPUSHAddressPortKey = "kPUSHAddressPortKey";

namespace push_client {

// "host" or "host:port" (a missing or 0 port is 80); none unless addressVerify accepts it.
std::optional<PUSHAddress> addressWithString(const std::string& text);
// As addressWithString, with httpWrapAddress "http://host:port" plus the resource path of `resource`.
std::optional<PUSHAddress> addressWithString(const std::string& text, const std::string& resource);
std::optional<PUSHAddress> addressWithDictionary(const Value& dictionary);
// A strict dotted quad (four decimal parts 0-255) and a port 1-65535.
bool addressVerify(const std::string& host, std::uint32_t port);
// The path of a URL-like text: from the first "/" after "//" (or from the first "/"); none
// when there is none or the text is empty.
std::optional<std::string> analyseResourcePath(const std::string& text);
std::string absoluteString(const PUSHAddress& address);
Value infoDictionary(const PUSHAddress& address);
bool isEqual(const PUSHAddress& a, const PUSHAddress& b);

} // namespace push_client
