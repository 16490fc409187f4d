// Byte-level helpers that the JSON parser and writer share: the search for the next byte of a
// string that needs attention, and UTF-8 checking and encoding.
#pragma once

#include <cstddef>

namespace net {

// The first byte in [p, end) that is a double quote, a backslash, a control character below
// 0x20 or a non-ASCII byte; end when there is none. Reads eight bytes at a time.
const char* findStringStop(const char* p, const char* end);

// The length (2 to 4) of the well-formed UTF-8 sequence that starts at the non-ASCII byte p,
// or 0 when it is malformed, truncated, overlong, a surrogate or beyond U+10FFFF.
std::size_t utf8SequenceLength(const char* p, const char* end);

} // namespace net
