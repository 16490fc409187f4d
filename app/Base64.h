// Base64: the strict decoder. Only alphabet characters, at most two "=" and nothing of the
// alphabet after them; CR LF and LF line breaks are allowed, a CR alone is not.
#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/Value.h"

inline constexpr int kBase64DecodeBufferTooSmall = -16;
inline constexpr int kBase64DecodeInvalidInput = -18;

// Decodes `sourceLength` bytes at `source` into `destination`, whose capacity `*destinationSize`
// gives. Answers 0 (with `*destinationSize` set to the bytes written, or untouched when there was
// nothing to decode), -16 when the capacity is too small (`*destinationSize` then holds the
// capacity needed; a null destination has no capacity) or -18 for invalid input.
int Base64Decode(std::uint8_t* destination, std::int32_t* destinationSize, const std::uint8_t* source, std::int32_t sourceLength);

class Base64 {
public:
    Base64() = delete;
    // The bytes of the text up to its first zero byte, decoded; empty when they are not valid.
    static Bytes decodeString(const std::string& text);
};
