// Percent encoding and decoding of texts, as URL building and parsing use them.
#include "platform/foundation/NSString.h"
#include "platform/foundation/Utf8.h"

namespace NSString {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendEscaped(std::string& out, unsigned char byte)
{
    static const char* hex = "0123456789ABCDEF";
    out += '%';
    out += hex[byte >> 4];
    out += hex[byte & 15];
}

} // namespace

std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view s, const NSCharacterSet& allowed)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t start = i;
        std::optional<char32_t> c = foundation::utf8::decode(s, i);
        if (!c) {
            appendEscaped(out, static_cast<unsigned char>(s[i++]));
            continue;
        }
        if (allowed.characterIsMember(*c)) {
            out.append(s.substr(start, i - start));
            continue;
        }
        for (std::size_t k = start; k < i; ++k)
            appendEscaped(out, static_cast<unsigned char>(s[k]));
    }
    return out;
}

std::optional<std::string> stringByRemovingPercentEncoding(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return std::nullopt;
        int high = hexValue(s[i + 1]), low = hexValue(s[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!foundation::utf8::isValid(out))
        return std::nullopt;
    return out;
}

} // namespace NSString
