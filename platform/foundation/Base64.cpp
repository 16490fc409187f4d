// Base64 with the platform's line and decoding options (see Base64.h).
#include "platform/foundation/Base64.h"

namespace foundation {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string base64Encode(const Bytes& data, NSDataBase64EncodingOptions options)
{
    std::string plain;
    plain.reserve((data.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < data.size(); i += 3) {
        std::uint32_t n = static_cast<std::uint32_t>(data[i]) << 16;
        std::size_t remaining = data.size() - i;
        if (remaining > 1)
            n |= static_cast<std::uint32_t>(data[i + 1]) << 8;
        if (remaining > 2)
            n |= data[i + 2];
        plain += alphabet[(n >> 18) & 63];
        plain += alphabet[(n >> 12) & 63];
        plain += remaining > 1 ? alphabet[(n >> 6) & 63] : '=';
        plain += remaining > 2 ? alphabet[n & 63] : '=';
    }
    std::size_t lineLength = (options & NSDataBase64Encoding64CharacterLineLength) ? 64
        : (options & NSDataBase64Encoding76CharacterLineLength)                    ? 76
                                                                                   : 0;
    if (lineLength == 0 || plain.size() <= lineLength)
        return plain;
    std::string ending;
    if (options & NSDataBase64EncodingEndLineWithCarriageReturn)
        ending += '\r';
    if (options & NSDataBase64EncodingEndLineWithLineFeed)
        ending += '\n';
    if (ending.empty())
        ending = "\r\n";
    std::string out;
    out.reserve(plain.size() + plain.size() / lineLength * ending.size());
    for (std::size_t i = 0; i < plain.size(); i += lineLength) {
        if (i > 0)
            out += ending;
        out.append(plain, i, lineLength);
    }
    return out;
}

std::optional<Bytes> base64Decode(std::string_view text, NSDataBase64DecodingOptions options)
{
    bool skipUnknown = options & NSDataBase64DecodingIgnoreUnknownCharacters;
    Bytes out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t accumulator = 0;
    int inQuantum = 0;
    int padding = 0;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '=') {
            // Padding may only end a quantum of which two or three characters came.
            if (inQuantum + padding < 2)
                return std::nullopt;
            ++padding;
            if (inQuantum + padding > 4)
                return std::nullopt;
            continue;
        }
        int v = valueOf(c);
        if (v < 0) {
            if (skipUnknown)
                continue;
            return std::nullopt;
        }
        if (padding > 0)
            return std::nullopt; // data after padding
        accumulator = (accumulator << 6) | static_cast<std::uint32_t>(v);
        if (++inQuantum == 4) {
            out.push_back(static_cast<std::uint8_t>(accumulator >> 16));
            out.push_back(static_cast<std::uint8_t>(accumulator >> 8));
            out.push_back(static_cast<std::uint8_t>(accumulator));
            accumulator = 0;
            inQuantum = 0;
        }
    }
    if (inQuantum == 0)
        return padding == 0 ? std::optional<Bytes>(std::move(out)) : std::nullopt;
    if (inQuantum + padding != 4)
        return std::nullopt; // a last quantum without its padding
    if (inQuantum == 2) {
        out.push_back(static_cast<std::uint8_t>(accumulator >> 4));
    } else {
        out.push_back(static_cast<std::uint8_t>(accumulator >> 10));
        out.push_back(static_cast<std::uint8_t>(accumulator >> 2));
    }
    return out;
}

} // namespace foundation
