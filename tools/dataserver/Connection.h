// Closing a client's connection from inside a request handler, without any reply.
#pragma once

#include <string>

namespace dataserver {

// Finds the process's socket whose local port and peer match, and shuts it down both ways; the
// client then sees the connection end with no reply. False when no such socket was found.
bool dropConnection(int localPort, const std::string& peerAddress, int peerPort);

} // namespace dataserver
