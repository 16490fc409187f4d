// Text operations on the platform's strings, which here are UTF-8 std::string. Lengths, indexes
// and ranges count UTF-16 units, as the platform counts characters (an emoji beyond U+FFFF is
// two). Out-of-range indexes raise NSRangeException, as on the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Format.h"
#include "platform/foundation/NSCharacterSet.h"
#include "platform/foundation/StringEncoding.h"

using NSUInteger = std::size_t;
using NSInteger = std::ptrdiff_t;
using unichar = char16_t;

inline constexpr NSUInteger NSNotFound = static_cast<NSUInteger>(INTPTR_MAX);

struct NSRange {
    NSUInteger location = 0;
    NSUInteger length = 0;
    bool operator==(const NSRange&) const = default;
};

inline NSRange NSMakeRange(NSUInteger location, NSUInteger length)
{
    return { location, length };
}

enum NSComparisonResult : NSInteger { NSOrderedAscending = -1, NSOrderedSame = 0, NSOrderedDescending = 1 };

using NSStringCompareOptions = NSUInteger;
inline constexpr NSStringCompareOptions NSCaseInsensitiveSearch = 1;
inline constexpr NSStringCompareOptions NSLiteralSearch = 2;
inline constexpr NSStringCompareOptions NSBackwardsSearch = 4;
inline constexpr NSStringCompareOptions NSAnchoredSearch = 8;

namespace NSString {

// Length in UTF-16 units.
NSUInteger length(std::string_view s);
unichar characterAtIndex(std::string_view s, NSUInteger index);
// A range that splits a surrogate pair keeps the lone half as U+FFFD.
std::string substringWithRange(std::string_view s, NSRange range);
std::string substringFromIndex(std::string_view s, NSUInteger index);
std::string substringToIndex(std::string_view s, NSUInteger index);
// {NSNotFound, 0} when absent or when the needle is empty.
NSRange rangeOfString(std::string_view s, std::string_view needle, NSStringCompareOptions options = 0);
bool containsString(std::string_view s, std::string_view needle);

NSComparisonResult compare(std::string_view a, std::string_view b, NSStringCompareOptions options = 0);
NSComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b);
bool hasPrefix(std::string_view s, std::string_view prefix);
bool hasSuffix(std::string_view s, std::string_view suffix);

std::string stringByTrimmingCharactersInSet(std::string_view s, const NSCharacterSet& set);
// Empty pieces are kept ("a,,b" gives "a", "", "b"); an empty separator gives the whole text.
std::vector<std::string> componentsSeparatedByString(std::string_view s, std::string_view separator);
std::vector<std::string> componentsSeparatedByCharactersInSet(std::string_view s, const NSCharacterSet& set);
std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator);
std::string stringByReplacingOccurrencesOfString(std::string_view s, std::string_view target,
    std::string_view replacement);

// Case mapping of every scalar value the C library's UTF-8 tables know (ASCII always).
std::string lowercaseString(std::string_view s);
std::string uppercaseString(std::string_view s);

// Lenient number reads, as Value reads them (" 12abc" gives 12, "x" gives 0).
std::int64_t integerValue(std::string_view s);
int intValue(std::string_view s);
long long longLongValue(std::string_view s);
double doubleValue(std::string_view s);
float floatValue(std::string_view s);
bool boolValue(std::string_view s);

// Percent encoding: every UTF-8 byte of a character outside `allowed` becomes "%XX"
// (uppercase hexadecimal). Bytes that are not valid UTF-8 are escaped one by one.
std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view s, const NSCharacterSet& allowed);
// nullopt when a "%" is not followed by two hexadecimal digits or the bytes are not UTF-8.
std::optional<std::string> stringByRemovingPercentEncoding(std::string_view s);

// Path texts ("/" separated).
std::string lastPathComponent(std::string_view path);
std::string pathExtension(std::string_view path);
std::string stringByDeletingPathExtension(std::string_view path);
std::string stringByDeletingLastPathComponent(std::string_view path);
std::string stringByAppendingPathComponent(std::string_view path, std::string_view component);
std::vector<std::string> pathComponents(std::string_view path);

} // namespace NSString
