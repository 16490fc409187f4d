// Small text helpers for request values: strict integers, UTF-16 length, escaping, image sniffing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dataserver {

// A decimal integer with an optional leading '-', nothing else; nullopt otherwise or on overflow.
std::optional<long long> parseInteger(std::string_view text);

// The length in UTF-16 code units of UTF-8 text; nullopt when the bytes are not valid UTF-8.
std::optional<std::size_t> utf16Length(std::string_view utf8);

// Text safe to put into HTML element content and attribute values.
std::string htmlEscape(std::string_view text);

// One log field: control and non-UTF-8 bytes as \xNN, cut after `limit` bytes.
std::string logEscape(std::string_view text, std::size_t limit = 200);

// "image/png" or "image/jpeg" by the bytes' signature; empty for anything else.
std::string sniffImageType(std::string_view bytes);

// The host name of a Host header ("name", "name:port" or "[v6]:port") when it is a plain host
// name or address; nullopt for anything else.
std::optional<std::string> hostOfHeader(std::string_view header);

} // namespace dataserver
