// Conversions between the push library's 16-byte IPv4 socket address (length byte, family
// byte, port and address big-endian) and the kernel's, and the dotted text of a socket's ends.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace push::net {

// The kernel address of the push library's layout; none unless it is a 16-byte IPv4 address.
std::optional<sockaddr_in> nativeAddress(const Bytes& address);
// The push library's layout of a kernel IPv4 address.
Bytes addressBytes(const sockaddr_in& address);
// host:port of a kernel IPv4 address.
std::string addressText(const sockaddr_in& address);
// Dotted IPv4 text of the socket's own end (peer false) or its peer's; none when unknown.
std::optional<std::string> socketEndText(int fd, bool peer);

} // namespace push::net
