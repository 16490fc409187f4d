// IPv4 socket addresses in the push library's layout and the kernel's.
#include "push/Network/SocketAddress.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstring>

namespace push::net {

std::optional<sockaddr_in> nativeAddress(const Bytes& address)
{
    if (address.size() != 16 || address[0] != 16 || address[1] != 2)
        return std::nullopt;
    sockaddr_in native {};
    native.sin_family = AF_INET;
    std::memcpy(&native.sin_port, address.data() + 2, 2);
    std::memcpy(&native.sin_addr, address.data() + 4, 4);
    return native;
}

Bytes addressBytes(const sockaddr_in& address)
{
    Bytes bytes(16, 0);
    bytes[0] = 16;
    bytes[1] = 2;
    std::memcpy(bytes.data() + 2, &address.sin_port, 2);
    std::memcpy(bytes.data() + 4, &address.sin_addr, 4);
    return bytes;
}

std::string addressText(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

std::optional<std::string> socketEndText(int fd, bool peer)
{
    if (fd < 0)
        return std::nullopt;
    sockaddr_in address {};
    socklen_t length = sizeof address;
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    const int result = peer ? ::getpeername(fd, generic, &length) : ::getsockname(fd, generic, &length);
    if (result != 0 || address.sin_family != AF_INET)
        return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text))
        return std::nullopt;
    return std::string(text);
}

} // namespace push::net
