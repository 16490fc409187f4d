// NSData(NSDataBase64Additions): Base64 text of data, with optional line breaks, and a lenient
// reader that skips whatever is not Base64 and stops at the first "=".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace NSData {

// New data made by initWithBase64EncodedString.
Bytes dataWithBase64EncodedString(const std::optional<std::string>& text);
// The decoded bytes. No text, or a text with characters outside ASCII, gives empty data.
// Bytes outside the alphabet are skipped; the first "=" ends the data after the bytes its
// group still holds; an unfinished last group without "=" gives nothing.
Bytes initWithBase64EncodedString(const std::optional<std::string>& text);

// base64EncodingWithLineLength with 0.
std::string base64Encoding(const Bytes& data);
// Base64 text with "=" padding. With a line length other than 0, "\n" follows every group of
// four characters that brings the line to that length or beyond.
std::string base64EncodingWithLineLength(const Bytes& data, std::uint32_t lineLength);

} // namespace NSData
