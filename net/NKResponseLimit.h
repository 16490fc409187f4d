// The bound on reply bodies held in memory by request operations and session data tasks: a
// default fit for API replies, and the error of a reply past it.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"

// How many body bytes are kept in memory unless told otherwise: room for any API reply, far
// from what would exhaust the app.
inline constexpr std::uint64_t NKDefaultMaximumResponseDataLength = 32ull << 20;

namespace net {
// The failure of a reply longer than `limit` bytes: NSURLErrorDomain,
// NSURLErrorDataLengthExceedsMaximum, with the failing URL.
NSErrorRef responseTooLargeError(const std::optional<NSURL>& url, std::uint64_t limit);
} // namespace net
