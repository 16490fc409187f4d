// Splitting a URL query into its name and value pairs, percent escapes removed.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace messenger {

// "a=1&b=x%20y" gives {a: "1", b: "x y"}. A pair without "=" has an empty value; of repeated
// names the last wins; a value whose escapes are not UTF-8 is kept as it was.
std::map<std::string, std::string> queryPairs(std::string_view query);

} // namespace messenger
