// Checks PNG bytes chunk by chunk (lengths, CRCs, IHDR, inflated size) for the picture tests,
// and gives the pixels of the server's own (unfiltered RGB) pictures.
#include "ServerFixture.h"

#include <zlib.h>

namespace dataserver::test {

namespace {

std::uint32_t bigEndian(const std::string& s, std::size_t at)
{
    return (std::uint32_t(std::uint8_t(s[at])) << 24) | (std::uint32_t(std::uint8_t(s[at + 1])) << 16)
        | (std::uint32_t(std::uint8_t(s[at + 2])) << 8) | std::uint32_t(std::uint8_t(s[at + 3]));
}

} // namespace

bool isValidPng(const std::string& bytes, int* width, int* height, std::string* rgb)
{
    if (bytes.size() < 8 || bytes.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0)
        return false;
    std::size_t at = 8;
    std::string idat;
    std::uint32_t w = 0, h = 0;
    bool ended = false;
    while (at + 12 <= bytes.size() && !ended) {
        std::uint32_t length = bigEndian(bytes, at);
        if (at + 12 + length > bytes.size())
            return false;
        std::string type = bytes.substr(at + 4, 4);
        std::string data = bytes.substr(at + 8, length);
        uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data() + at + 4), length + 4);
        if (crc != bigEndian(bytes, at + 8 + length))
            return false;
        if (type == "IHDR") {
            w = bigEndian(data, 0);
            h = bigEndian(data, 4);
        } else if (type == "IDAT") {
            idat += data;
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + length;
    }
    if (!ended || w == 0 || h == 0)
        return false;
    uLongf rawSize = (w * 3 + 1) * h;
    std::string raw(rawSize, '\0');
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK
        || rawSize != (w * 3 + 1) * h)
        return false;
    if (width)
        *width = static_cast<int>(w);
    if (height)
        *height = static_cast<int>(h);
    if (rgb) {
        // Every line of the server's pictures is unfiltered: drop the filter bytes.
        rgb->clear();
        for (std::uint32_t y = 0; y < h; ++y)
            rgb->append(raw, y * (w * 3 + 1) + 1, w * 3);
    }
    return true;
}

} // namespace dataserver::test
