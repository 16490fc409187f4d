// Text operations counted in UTF-16 units (see NSString.h).
#include "platform/foundation/NSString.h"

#include <algorithm>
#include <cwctype>
#include <locale.h>

#include "platform/foundation/NSException.h"
#include "platform/foundation/Utf8.h"
#include "platform/foundation/Value.h"

namespace NSString {
namespace {

using foundation::utf8::fromUtf16;
using foundation::utf8::toUtf16;

locale_t utf8Locale()
{
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

char32_t toLower(char32_t c)
{
    if (c < 128)
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    locale_t locale = utf8Locale();
    return locale ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale)) : c;
}

char32_t toUpper(char32_t c)
{
    if (c < 128)
        return c >= 'a' && c <= 'z' ? c - 32 : c;
    locale_t locale = utf8Locale();
    return locale ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale)) : c;
}

// Folds case unit by unit, so UTF-16 positions stay where they were.
std::u16string foldUnits(std::u16string s)
{
    for (char16_t& unit : s)
        if (unit < 0xd800 || unit > 0xdfff)
            unit = static_cast<char16_t>(toLower(unit) <= 0xffff ? toLower(unit) : unit);
    return s;
}

template <typename Map>
std::string mapScalars(std::string_view s, Map map)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size())
        foundation::utf8::append(out, map(foundation::utf8::decodeLenient(s, i)));
    return out;
}

[[noreturn]] void outOfRange(const char* operation, NSUInteger index, NSUInteger length)
{
    NSException::raise(NSRangeException,
        std::string(operation) + ": Range or index out of bounds (" + std::to_string(index) + " of "
            + std::to_string(length) + ")");
}

} // namespace

NSUInteger length(std::string_view s)
{
    return foundation::utf8::utf16Length(s);
}

unichar characterAtIndex(std::string_view s, NSUInteger index)
{
    std::u16string units = toUtf16(s);
    if (index >= units.size())
        outOfRange("characterAtIndex", index, units.size());
    return units[index];
}

std::string substringWithRange(std::string_view s, NSRange range)
{
    std::u16string units = toUtf16(s);
    if (range.location > units.size() || range.length > units.size() - range.location)
        outOfRange("substringWithRange", range.location, units.size());
    return fromUtf16(std::u16string_view(units).substr(range.location, range.length));
}

std::string substringFromIndex(std::string_view s, NSUInteger index)
{
    NSUInteger n = length(s);
    if (index > n)
        outOfRange("substringFromIndex", index, n);
    return substringWithRange(s, { index, n - index });
}

std::string substringToIndex(std::string_view s, NSUInteger index)
{
    return substringWithRange(s, { 0, index });
}

NSRange rangeOfString(std::string_view s, std::string_view needle, NSStringCompareOptions options)
{
    if (needle.empty() || s.empty())
        return { NSNotFound, 0 };
    std::u16string hay = toUtf16(s), pin = toUtf16(needle);
    if (options & NSCaseInsensitiveSearch) {
        hay = foldUnits(std::move(hay));
        pin = foldUnits(std::move(pin));
    }
    if (pin.size() > hay.size())
        return { NSNotFound, 0 };
    std::size_t at;
    bool backwards = options & NSBackwardsSearch;
    if (options & NSAnchoredSearch) {
        at = backwards ? hay.size() - pin.size() : 0;
        if (hay.compare(at, pin.size(), pin) != 0)
            at = std::u16string::npos;
    } else {
        at = backwards ? hay.rfind(pin) : hay.find(pin);
    }
    if (at == std::u16string::npos)
        return { NSNotFound, 0 };
    return { at, pin.size() };
}

bool containsString(std::string_view s, std::string_view needle)
{
    return rangeOfString(s, needle).location != NSNotFound;
}

NSComparisonResult compare(std::string_view a, std::string_view b, NSStringCompareOptions options)
{
    std::u16string x = toUtf16(a), y = toUtf16(b);
    if (options & NSCaseInsensitiveSearch) {
        x = foldUnits(std::move(x));
        y = foldUnits(std::move(y));
    }
    int c = x.compare(y);
    return c < 0 ? NSOrderedAscending : c > 0 ? NSOrderedDescending : NSOrderedSame;
}

NSComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b)
{
    return compare(a, b, NSCaseInsensitiveSearch);
}

bool hasPrefix(std::string_view s, std::string_view prefix)
{
    return !prefix.empty() && s.starts_with(prefix);
}

bool hasSuffix(std::string_view s, std::string_view suffix)
{
    return !suffix.empty() && s.ends_with(suffix);
}

std::string stringByTrimmingCharactersInSet(std::string_view s, const NSCharacterSet& set)
{
    std::size_t begin = 0, end = s.size();
    while (begin < end) {
        std::size_t next = begin;
        if (!set.characterIsMember(foundation::utf8::decodeLenient(s, next)))
            break;
        begin = next;
    }
    // Walk back over whole sequences: find the start of the last scalar value each time.
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && (static_cast<unsigned char>(s[start]) & 0xc0) == 0x80 && end - start < 4)
            --start;
        std::size_t probe = start;
        char32_t c = foundation::utf8::decodeLenient(s, probe);
        if (probe != end) {
            // Not one whole sequence: treat the last byte alone.
            start = end - 1;
            probe = start;
            c = foundation::utf8::decodeLenient(s, probe);
        }
        if (!set.characterIsMember(c))
            break;
        end = start;
    }
    return std::string(s.substr(begin, end - begin));
}

std::vector<std::string> componentsSeparatedByString(std::string_view s, std::string_view separator)
{
    std::vector<std::string> parts;
    if (separator.empty())
        return { std::string(s) };
    std::size_t start = 0;
    for (;;) {
        std::size_t at = s.find(separator, start);
        if (at == std::string_view::npos)
            break;
        parts.emplace_back(s.substr(start, at - start));
        start = at + separator.size();
    }
    parts.emplace_back(s.substr(start));
    return parts;
}

std::vector<std::string> componentsSeparatedByCharactersInSet(std::string_view s, const NSCharacterSet& set)
{
    std::vector<std::string> parts(1);
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t start = i;
        char32_t c = foundation::utf8::decodeLenient(s, i);
        if (set.characterIsMember(c))
            parts.emplace_back();
        else
            parts.back().append(s.substr(start, i - start));
    }
    return parts;
}

std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += separator;
        out += parts[i];
    }
    return out;
}

std::string stringByReplacingOccurrencesOfString(std::string_view s, std::string_view target,
    std::string_view replacement)
{
    if (target.empty())
        return std::string(s);
    std::string out;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = s.find(target, start);
        if (at == std::string_view::npos)
            break;
        out.append(s.substr(start, at - start));
        out.append(replacement);
        start = at + target.size();
    }
    out.append(s.substr(start));
    return out;
}

std::string lowercaseString(std::string_view s)
{
    return mapScalars(s, toLower);
}

std::string uppercaseString(std::string_view s)
{
    return mapScalars(s, toUpper);
}

std::int64_t integerValue(std::string_view s)
{
    return Value(s).integerValue();
}

int intValue(std::string_view s)
{
    return Value(s).intValue();
}

long long longLongValue(std::string_view s)
{
    return Value(s).integerValue();
}

double doubleValue(std::string_view s)
{
    return Value(s).doubleValue();
}

float floatValue(std::string_view s)
{
    return static_cast<float>(Value(s).doubleValue());
}

bool boolValue(std::string_view s)
{
    return Value(s).boolValue();
}

} // namespace NSString
