// Message digests with the C-style names callers use.
#pragma once

#include <cstdint>

using CC_LONG = std::uint32_t;

inline constexpr int CC_MD5_DIGEST_LENGTH = 16;

// Writes the MD5 digest (RFC 1321) of len bytes at data into md (CC_MD5_DIGEST_LENGTH bytes)
// and returns md. data may be null when len is 0.
unsigned char* CC_MD5(const void* data, CC_LONG len, unsigned char* md);
