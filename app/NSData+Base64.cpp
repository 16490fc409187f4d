// The data extension's Base64 encoder and lenient decoder.
#include "app/NSData+Base64.h"

#include <algorithm>
#include <array>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotAlphabet = -1;

constexpr std::array<int, 256> makeValues()
{
    std::array<int, 256> values {};
    values.fill(kNotAlphabet);
    for (int i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(kAlphabet[i])] = i;
    return values;
}

constexpr std::array<int, 256> kValues = makeValues();

// Writes `count` bytes (1 to 3) of the group of four sextets.
void writeGroup(Bytes& out, const std::array<int, 4>& sextets, int count)
{
    std::uint32_t bits = (static_cast<std::uint32_t>(sextets[0]) << 18) | (static_cast<std::uint32_t>(sextets[1]) << 12)
        | (static_cast<std::uint32_t>(sextets[2]) << 6) | static_cast<std::uint32_t>(sextets[3]);
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(bits >> (16 - 8 * i)));
}

} // namespace

namespace NSData {

Bytes dataWithBase64EncodedString(const std::optional<std::string>& text) { return initWithBase64EncodedString(text); }

Bytes initWithBase64EncodedString(const std::optional<std::string>& text)
{
    Bytes out;
    if (!text)
        return out;
    for (unsigned char c : *text) {
        if (c >= 0x80)
            return out;
    }
    out.reserve(text->size() / 4 * 3);
    std::array<int, 4> sextets {};
    int collected = 0;
    for (unsigned char c : *text) {
        if (c == '=') {
            if (collected == 0)
                break;
            for (int i = collected; i < 4; ++i)
                sextets[static_cast<std::size_t>(i)] = 0;
            writeGroup(out, sextets, collected == 3 ? 2 : 1);
            break;
        }
        int value = kValues[c];
        if (value == kNotAlphabet)
            continue;
        sextets[static_cast<std::size_t>(collected++)] = value;
        if (collected == 4) {
            writeGroup(out, sextets, 3);
            collected = 0;
        }
    }
    return out;
}

std::string base64Encoding(const Bytes& data) { return base64EncodingWithLineLength(data, 0); }

std::string base64EncodingWithLineLength(const Bytes& data, std::uint32_t lineLength)
{
    std::string text;
    if (data.empty())
        return text;
    text.reserve((data.size() + 2) / 3 * 4 + (lineLength ? data.size() / lineLength + 1 : 0));
    std::uint64_t onLine = 0;
    for (std::size_t at = 0; at < data.size(); at += 3) {
        std::size_t real = std::min<std::size_t>(3, data.size() - at);
        std::uint32_t bits = static_cast<std::uint32_t>(data[at]) << 16;
        if (real > 1)
            bits |= static_cast<std::uint32_t>(data[at + 1]) << 8;
        if (real > 2)
            bits |= data[at + 2];
        text += kAlphabet[(bits >> 18) & 63];
        text += kAlphabet[(bits >> 12) & 63];
        text += real > 1 ? kAlphabet[(bits >> 6) & 63] : '=';
        text += real > 2 ? kAlphabet[bits & 63] : '=';
        onLine += 4;
        if (lineLength != 0 && onLine >= lineLength) {
            text += '\n';
            onLine = 0;
        }
    }
    return text;
}

} // namespace NSData
