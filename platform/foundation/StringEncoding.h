// Text encodings: the platform's encoding numbers, charset names to encodings, and conversion
// between texts (UTF-8 std::string) and bytes. UTF-8, ASCII, Latin-1 and UTF-16 are converted
// here; every other charset goes through iconv.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

using NSStringEncoding = std::uint64_t;
inline constexpr NSStringEncoding NSASCIIStringEncoding = 1;
inline constexpr NSStringEncoding NSJapaneseEUCStringEncoding = 3;
inline constexpr NSStringEncoding NSUTF8StringEncoding = 4;
inline constexpr NSStringEncoding NSISOLatin1StringEncoding = 5;
inline constexpr NSStringEncoding NSShiftJISStringEncoding = 8;
inline constexpr NSStringEncoding NSISOLatin2StringEncoding = 9;
inline constexpr NSStringEncoding NSUnicodeStringEncoding = 10;
inline constexpr NSStringEncoding NSUTF16StringEncoding = 10;
inline constexpr NSStringEncoding NSWindowsCP1251StringEncoding = 11;
inline constexpr NSStringEncoding NSWindowsCP1252StringEncoding = 12;
inline constexpr NSStringEncoding NSMacOSRomanStringEncoding = 30;
inline constexpr NSStringEncoding NSUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr NSStringEncoding NSUTF16LittleEndianStringEncoding = 0x94000100;

using CFStringEncoding = std::uint32_t;
inline constexpr CFStringEncoding kCFStringEncodingInvalidId = 0xffffffffU;
inline constexpr CFStringEncoding kCFStringEncodingMacRoman = 0;
inline constexpr CFStringEncoding kCFStringEncodingUTF16 = 0x0100;
inline constexpr CFStringEncoding kCFStringEncodingISOLatin1 = 0x0201;
inline constexpr CFStringEncoding kCFStringEncodingISOLatin2 = 0x0202;
inline constexpr CFStringEncoding kCFStringEncodingWindowsLatin1 = 0x0500;
inline constexpr CFStringEncoding kCFStringEncodingWindowsCyrillic = 0x0502;
inline constexpr CFStringEncoding kCFStringEncodingASCII = 0x0600;
inline constexpr CFStringEncoding kCFStringEncodingGBK_95 = 0x0631;
inline constexpr CFStringEncoding kCFStringEncodingGB_18030_2000 = 0x0632;
inline constexpr CFStringEncoding kCFStringEncodingEUC_JP = 0x0920;
inline constexpr CFStringEncoding kCFStringEncodingEUC_CN = 0x0930;
inline constexpr CFStringEncoding kCFStringEncodingEUC_KR = 0x0940;
inline constexpr CFStringEncoding kCFStringEncodingShiftJIS = 0x0a01;
inline constexpr CFStringEncoding kCFStringEncodingBig5 = 0x0a03;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;
inline constexpr CFStringEncoding kCFStringEncodingUTF16BE = 0x10000100;
inline constexpr CFStringEncoding kCFStringEncodingUTF16LE = 0x14000100;

// An IANA charset name ("utf-8", "GBK", "iso-8859-1", case-insensitive) to its encoding;
// kCFStringEncodingInvalidId when unknown.
CFStringEncoding CFStringConvertIANACharSetNameToEncoding(std::string_view name);
// kCFStringEncodingInvalidId stays kCFStringEncodingInvalidId.
NSStringEncoding CFStringConvertEncodingToNSStringEncoding(CFStringEncoding encoding);

namespace NSString {

// nullopt when a character cannot be represented in the encoding (or the encoding is unknown).
// UTF-16 without a byte order is written little-endian after a byte-order mark.
std::optional<Bytes> dataUsingEncoding(std::string_view s, NSStringEncoding encoding);
bool canBeConvertedToEncoding(std::string_view s, NSStringEncoding encoding);
// nullopt when the bytes are not valid in the encoding (or the encoding is unknown).
std::optional<std::string> initWithData(const Bytes& data, NSStringEncoding encoding);

} // namespace NSString
