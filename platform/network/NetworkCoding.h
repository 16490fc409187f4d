// Keyed archiving of URL requests, HTTP responses and session configurations, with secure
// coding. URLs travel as their absolute strings; a request's body stream and a configuration's
// cache, cookie and credential storages do not travel (a restored configuration gets the shared
// storages, or private ones when the archived configuration had its own).
#pragma once

#include <optional>
#include <string_view>

#include "platform/foundation/NSURL.h"
#include "platform/persistence/NSCoder.h"

namespace network {

// A URL under `key` as its absolute string (nothing for none), and back.
void encodeURL(NSCoder& coder, const std::optional<NSURL>& url, std::string_view key);
std::optional<NSURL> decodeURL(NSCoder& coder, std::string_view key);

// Registers NSURLRequest, NSMutableURLRequest, NSHTTPURLResponse and NSURLSessionConfiguration
// for keyed archives. Safe to call any number of times.
void registerArchivableClasses();

} // namespace network
