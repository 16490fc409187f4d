// HTTP dates (IMF-fixdate, "Sun, 06 Nov 1994 08:49:37 GMT") for Last-Modified and
// If-Modified-Since.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace httpserver {

std::string formatHttpDate(std::time_t time);
// Only IMF-fixdate is accepted; anything else is nullopt.
std::optional<std::time_t> parseHttpDate(std::string_view text);

} // namespace httpserver
