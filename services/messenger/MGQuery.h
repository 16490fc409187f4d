// Splitting a URL query into its name and value pairs, percent escapes removed; and the result
// codes the messenger app sends back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace messenger {

// "a=1&b=x%20y" gives {a: "1", b: "x y"}. A pair without "=" has an empty value; of repeated
// names the last wins; a value whose escapes are not UTF-8 is kept as it was.
std::map<std::string, std::string> queryPairs(std::string_view query);

// A result code as read from the messenger app, held inside the range of int, so that a value
// beyond it cannot wrap round to 0 (success).
int resultCode(std::int64_t code);

} // namespace messenger
