// The HTTP stack's own texts (failure reasons, error descriptions, reachability statuses) come
// from the main bundle's "NKNetworking" string table, falling back to the text itself.
#pragma once

#include <string>
#include <string_view>

namespace net {

// The text for `key` in the "NKNetworking" table; `key` itself when the table has no entry.
std::string localizedString(std::string_view key);

} // namespace net
