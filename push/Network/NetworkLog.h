// Log lines of the packet codec. A stand-in that writes through the platform log until the
// push logging framework is available to this folder.
#pragma once

#include <string>

#include "platform/foundation/NSLog.h"

namespace push::net {

inline void logError(const std::string& text) { NSLog("[E] %@", text); }
inline void logInfo(const std::string& text) { NSLog("[I] %@", text); }
inline void logDebug(const std::string& text) { NSLog("[D] %@", text); }

} // namespace push::net
