// The server's sockets as the process holds them: finding a client's connection by its addresses,
// and closing one from inside a request handler, without any reply.
#pragma once

#include <string>
#include <vector>

namespace dataserver {

// One connected socket the process holds: its descriptor and its peer.
struct ConnectedSocket {
    int fd = -1;
    std::string peerAddress;
    int peerPort = -1;
};

// The connected sockets whose local port is `localPort` (a listener's accepted connections).
std::vector<ConnectedSocket> connectedSockets(int localPort);

// True while `socket.fd` is still connected to the same peer (descriptors are reused).
bool stillConnected(const ConnectedSocket& socket);

// Finds the process's socket whose local port and peer match, and shuts it down both ways; the
// client then sees the connection end with no reply. False when no such socket was found.
bool dropConnection(int localPort, const std::string& peerAddress, int peerPort);

} // namespace dataserver
