// The strict Base64 decoder: a check pass over the whole input, then the decode pass. Sizes are
// worked out in 64 bits, and nothing is written through a missing or short buffer.
#include "app/Base64.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint8_t kInvalid = 127;
constexpr std::uint8_t kPad = 64;

constexpr std::array<std::uint8_t, 128> makeTable()
{
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::array<std::uint8_t, 128> table {};
    table.fill(kInvalid);
    for (std::uint8_t i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = i;
    table['='] = kPad;
    return table;
}

constexpr std::array<std::uint8_t, 128> kTable = makeTable();

// True for a line-break byte the decoder passes over: LF, or CR directly followed by LF.
// `at` moves onto the LF of a CR LF pair.
bool skipLineBreak(const std::uint8_t* source, std::int32_t length, std::int32_t& at)
{
    if (source[at] == '\n')
        return true;
    if (source[at] == '\r' && at + 1 < length && source[at + 1] == '\n') {
        ++at;
        return true;
    }
    return false;
}

// Counts the bytes that take part in decoding; -1 when the input is invalid.
std::int64_t checkPass(const std::uint8_t* source, std::int32_t length)
{
    std::int64_t counted = 0;
    int pads = 0;
    for (std::int32_t at = 0; at < length; ++at) {
        if (skipLineBreak(source, length, at))
            continue;
        std::uint8_t byte = source[at];
        if (byte >= 128 || kTable[byte] == kInvalid)
            return -1;
        if (kTable[byte] == kPad) {
            if (++pads > 2)
                return -1;
        } else if (pads > 0) {
            return -1;
        }
        ++counted;
    }
    return counted;
}

std::int32_t decodePass(std::uint8_t* destination, const std::uint8_t* source, std::int32_t length)
{
    std::int32_t written = 0;
    std::uint32_t accumulator = 0;
    int inGroup = 0;
    int pads = 0;
    for (std::int32_t at = 0; at < length; ++at) {
        if (skipLineBreak(source, length, at))
            continue;
        std::uint8_t value = kTable[source[at]];
        if (value == kPad) {
            ++pads;
            value = 0;
        }
        accumulator = (accumulator << 6) | value;
        if (++inGroup < 4)
            continue;
        int bytes = 3 - std::min(pads, 2);
        for (int i = 0; i < bytes; ++i)
            destination[written++] = static_cast<std::uint8_t>(accumulator >> (16 - 8 * i));
        accumulator = 0;
        inGroup = 0;
    }
    return written;
}

} // namespace

int Base64Decode(std::uint8_t* destination, std::int32_t* destinationSize, const std::uint8_t* source, std::int32_t sourceLength)
{
    if (sourceLength < 1)
        return 0;
    if (!source || !destinationSize)
        return kBase64DecodeInvalidInput;
    std::int64_t counted = checkPass(source, sourceLength);
    if (counted < 0)
        return kBase64DecodeInvalidInput;
    if (counted == 0)
        return 0;
    std::int64_t needed = (counted * 6 + 7) / 8;
    std::int64_t capacity = destination ? *destinationSize : 0;
    if (capacity < needed) {
        *destinationSize = static_cast<std::int32_t>(needed);
        return kBase64DecodeBufferTooSmall;
    }
    *destinationSize = decodePass(destination, source, sourceLength);
    return 0;
}

Bytes Base64::decodeString(const std::string& text)
{
    std::size_t length = std::strlen(text.c_str());
    if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return {};
    const auto* source = reinterpret_cast<const std::uint8_t*>(text.data());
    auto sourceLength = static_cast<std::int32_t>(length);
    std::int32_t size = 0;
    if (Base64Decode(nullptr, &size, source, sourceLength) != kBase64DecodeBufferTooSmall)
        return {};
    Bytes buffer(static_cast<std::size_t>(size));
    if (Base64Decode(buffer.data(), &size, source, sourceLength) != 0)
        return {};
    buffer.resize(static_cast<std::size_t>(size));
    return buffer;
}
