// UTF-8 decoding and encoding and the UTF-16 conversions (see Utf8.h).
#include "platform/foundation/Utf8.h"

namespace foundation::utf8 {

std::optional<char32_t> decode(std::string_view s, std::size_t& i)
{
    if (i >= s.size())
        return std::nullopt;
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra;
    char32_t minimum;
    if (c >= 0xc2 && c <= 0xdf) {
        extra = 1;
        minimum = 0x80;
    } else if (c >= 0xe0 && c <= 0xef) {
        extra = 2;
        minimum = 0x800;
    } else if (c >= 0xf0 && c <= 0xf4) {
        extra = 3;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size())
        return std::nullopt;
    char32_t cp = c & (0x3f >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((cc & 0xc0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (cc & 0x3f);
    }
    if (cp < minimum || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
        return std::nullopt;
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

char32_t decodeLenient(std::string_view s, std::size_t& i)
{
    if (auto cp = decode(s, i))
        return *cp;
    ++i;
    return 0xfffd;
}

bool isValid(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        if (!decode(s, i))
            return false;
    }
    return true;
}

void append(std::string& out, char32_t cp)
{
    if (cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
        cp = 0xfffd;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

std::u16string toUtf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        char32_t cp = decodeLenient(s, i);
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
            continue;
        }
        cp -= 0x10000;
        out += static_cast<char16_t>(0xd800 + (cp >> 10));
        out += static_cast<char16_t>(0xdc00 + (cp & 0x3ff));
    }
    return out;
}

std::string fromUtf16(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t unit = s[i];
        bool high = unit >= 0xd800 && unit <= 0xdbff;
        if (high && i + 1 < s.size() && s[i + 1] >= 0xdc00 && s[i + 1] <= 0xdfff) {
            append(out, 0x10000 + ((unit - 0xd800) << 10) + (s[i + 1] - 0xdc00));
            ++i;
            continue;
        }
        append(out, unit); // a lone surrogate comes out as U+FFFD
    }
    return out;
}

std::size_t utf16Length(std::string_view s)
{
    std::size_t length = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            ++length;
            continue;
        }
        length += decodeLenient(s, i) >= 0x10000 ? 2 : 1;
    }
    return length;
}

} // namespace foundation::utf8
