// Byte-level helpers of the JSON parser and writer.
#include "net/JsonText.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace net {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// High bit set in each byte of w that is zero. A borrow can only mark bytes above a true zero
// byte, so the lowest marked byte is always a true one.
std::uint64_t zeroBytes(std::uint64_t w)
{
    return (w - kOnes) & ~w & kHighs;
}

std::uint64_t stopBytes(std::uint64_t w)
{
    std::uint64_t quote = zeroBytes(w ^ (kOnes * '"'));
    std::uint64_t backslash = zeroBytes(w ^ (kOnes * '\\'));
    std::uint64_t control = (w - kOnes * 0x20) & ~w & kHighs; // bytes below 0x20, lowest exact
    return quote | backslash | control | (w & kHighs);
}

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

} // namespace

const char* findStringStop(const char* p, const char* end)
{
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if constexpr (std::endian::native == std::endian::big)
            w = __builtin_bswap64(w);
        if (std::uint64_t stops = stopBytes(w))
            return p + (__builtin_ctzll(stops) >> 3);
        p += 8;
    }
    for (; p < end; ++p) {
        unsigned char b = static_cast<unsigned char>(*p);
        if (b < 0x20 || b == '"' || b == '\\' || b >= 0x80)
            return p;
    }
    return end;
}

std::size_t utf8SequenceLength(const char* p, const char* end)
{
    auto at = [&](std::ptrdiff_t i) { return static_cast<unsigned char>(p[i]); };
    unsigned char lead = at(0);
    std::ptrdiff_t available = end - p;
    if (lead >= 0xC2 && lead <= 0xDF)
        return available >= 2 && isContinuation(at(1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (available < 3 || !isContinuation(at(1)) || !isContinuation(at(2)))
            return 0;
        if (lead == 0xE0 && at(1) < 0xA0) // overlong
            return 0;
        if (lead == 0xED && at(1) >= 0xA0) // UTF-16 surrogates
            return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (available < 4 || !isContinuation(at(1)) || !isContinuation(at(2)) || !isContinuation(at(3)))
            return 0;
        if (lead == 0xF0 && at(1) < 0x90) // overlong
            return 0;
        if (lead == 0xF4 && at(1) >= 0x90) // beyond U+10FFFF
            return 0;
        return 4;
    }
    return 0;
}

} // namespace net
