// The HTTP caching rules loads apply: whether a response may be kept, whether a kept one is
// still fresh, and the validators that turn a stale one into a conditional request.
#pragma once

#include <optional>
#include <string>

#include "platform/network/NSURLCache.h"
#include "platform/network/NSURLRequest.h"

namespace network {

// GET responses with a cacheable status and no "no-store" anywhere.
bool isCacheable(const NSURLRequest& request, const NSHTTPURLResponse& response);
// Fresh at `now` by max-age, Expires or the Last-Modified heuristic; "no-cache" is never fresh.
bool isFresh(const NSCachedURLResponse& entry, double now);
// The conditional headers for a stored entry ("If-None-Match", "If-Modified-Since"); empty
// when it carries no validator.
HeaderFields validatorsFor(const NSCachedURLResponse& entry);
// The HTTP date text of a header value, as seconds since 1970.
std::optional<double> parseHTTPDate(std::string_view text);

} // namespace network
