// Finding connections by their addresses: the HTTP library does not hand its sockets to us, so
// they are found among the process's open descriptors.
#include "tools/dataserver/Connection.h"

#include "tools/dataserver/Text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>

namespace dataserver {

namespace {

struct Endpoint {
    std::string address;
    int port = -1;
};

std::optional<Endpoint> endpointOf(const sockaddr_storage& addr)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(addr);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        return Endpoint { text, ntohs(v4.sin_port) };
    }
    if (addr.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(addr);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        return Endpoint { text, ntohs(v6.sin6_port) };
    }
    return std::nullopt;
}

std::optional<Endpoint> local(int fd)
{
    sockaddr_storage addr {};
    socklen_t length = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        return std::nullopt;
    return endpointOf(addr);
}

std::optional<Endpoint> peer(int fd)
{
    sockaddr_storage addr {};
    socklen_t length = sizeof addr;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        return std::nullopt;
    return endpointOf(addr);
}

} // namespace

std::vector<ConnectedSocket> connectedSockets(int localPort)
{
    std::vector<ConnectedSocket> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        auto fd = parseInteger(entry.path().filename().string());
        if (!fd || *fd < 0 || *fd > 1 << 24)
            continue;
        auto mine = local(static_cast<int>(*fd));
        if (!mine || mine->port != localPort)
            continue;
        if (auto theirs = peer(static_cast<int>(*fd)))
            found.push_back({ static_cast<int>(*fd), theirs->address, theirs->port });
    }
    return found;
}

bool stillConnected(const ConnectedSocket& socket)
{
    auto theirs = peer(socket.fd);
    return theirs && theirs->port == socket.peerPort && theirs->address == socket.peerAddress;
}

bool dropConnection(int localPort, const std::string& peerAddress, int peerPort)
{
    for (const auto& socket : connectedSockets(localPort)) {
        if (socket.peerPort != peerPort || socket.peerAddress != peerAddress)
            continue;
        shutdown(socket.fd, SHUT_RDWR);
        return true;
    }
    return false;
}

} // namespace dataserver
