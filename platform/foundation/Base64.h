// Base64 (RFC 4648 alphabet, "=" padding) with the platform's data options: encoding can break
// lines every 64 or 76 characters, ending each line but the last with CR LF, CR or LF;
// decoding is strict (only alphabet characters, whole quanta of four, one or two "=" at the
// very end) unless told to skip characters outside the alphabet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

using NSDataBase64EncodingOptions = std::uint64_t;
inline constexpr NSDataBase64EncodingOptions NSDataBase64Encoding64CharacterLineLength = 1;
inline constexpr NSDataBase64EncodingOptions NSDataBase64Encoding76CharacterLineLength = 2;
inline constexpr NSDataBase64EncodingOptions NSDataBase64EncodingEndLineWithCarriageReturn = 16;
inline constexpr NSDataBase64EncodingOptions NSDataBase64EncodingEndLineWithLineFeed = 32;

using NSDataBase64DecodingOptions = std::uint64_t;
inline constexpr NSDataBase64DecodingOptions NSDataBase64DecodingIgnoreUnknownCharacters = 1;

namespace foundation {

// With a line length but neither line-ending option, lines end with CR LF. The 64-character
// option wins when both lengths are given.
std::string base64Encode(const Bytes& data, NSDataBase64EncodingOptions options = 0);
// nullopt on a character outside the alphabet (unless ignored), a length that is not a whole
// number of quanta, or misplaced padding.
std::optional<Bytes> base64Decode(std::string_view text, NSDataBase64DecodingOptions options = 0);

} // namespace foundation
