// UTF-8 and UTF-16 primitives shared by the text, URL and formatting code. Strings in the
// platform are UTF-8 std::string; the platform counts characters in UTF-16 units, so these
// helpers convert between the two and decide what is valid UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace foundation::utf8 {

// The byte-order mark as UTF-8 bytes: at the start of a text it only says the text is UTF-8.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Decodes the scalar value at s[i] and advances i past it. Rejects overlong forms, surrogates,
// values above U+10FFFF and truncated sequences (nullopt, i unchanged).
std::optional<char32_t> decode(std::string_view s, std::size_t& i);
// As decode, but a malformed byte reads as U+FFFD and is skipped on its own.
char32_t decodeLenient(std::string_view s, std::size_t& i);
bool isValid(std::string_view s);
// Appends the UTF-8 form of `cp`; surrogates and values above U+10FFFF become U+FFFD.
void append(std::string& out, char32_t cp);

// UTF-16 view. Malformed UTF-8 bytes count as one U+FFFD unit each.
std::u16string toUtf16(std::string_view s);
// Unpaired surrogates become U+FFFD.
std::string fromUtf16(std::u16string_view s);
std::size_t utf16Length(std::string_view s);

} // namespace foundation::utf8
