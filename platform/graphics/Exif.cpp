// A small bounds-checked reader of the EXIF orientation tag in JPEG APP1 segments, and the
// format sniffer.
#include "platform/graphics/Codecs.h"

#include <cstring>

namespace graphics {

namespace {

struct TiffReader {
    const std::uint8_t* data;
    std::size_t size;
    bool little;

    bool u16(std::size_t at, std::uint32_t& out) const
    {
        if (at > size || size - at < 2)
            return false;
        out = little ? (data[at] | (data[at + 1] << 8)) : ((data[at] << 8) | data[at + 1]);
        return true;
    }
    bool u32(std::size_t at, std::uint32_t& out) const
    {
        if (at > size || size - at < 4)
            return false;
        const std::uint8_t* p = data + at;
        out = little ? (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24)
                     : (std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]));
        return true;
    }
};

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kTypeShort = 3;
constexpr std::uint32_t kTypeLong = 4;

} // namespace

std::optional<int> readTiffOrientation(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < 8)
        return std::nullopt;
    TiffReader r { data, size, false };
    if (data[0] == 'I' && data[1] == 'I')
        r.little = true;
    else if (!(data[0] == 'M' && data[1] == 'M'))
        return std::nullopt;
    std::uint32_t magic = 0, ifd = 0, count = 0;
    if (!r.u16(2, magic) || magic != 42 || !r.u32(4, ifd) || ifd < 8 || !r.u16(ifd, count))
        return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t entry = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        std::uint32_t tag = 0, type = 0, n = 0, value = 0;
        if (!r.u16(entry, tag) || !r.u16(entry + 2, type) || !r.u32(entry + 4, n))
            return std::nullopt;
        if (tag != kOrientationTag)
            continue;
        if (n < 1)
            return std::nullopt;
        if (type == kTypeShort && r.u16(entry + 8, value))
            return int(value);
        if (type == kTypeLong && r.u32(entry + 8, value) && value <= 0xFFFF)
            return int(value);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> readJpegExifOrientation(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return std::nullopt;
    std::size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF)
            return std::nullopt;
        std::uint8_t marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // no length
            pos += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // image data or end: no more metadata
            return std::nullopt;
        std::size_t length = (std::size_t(data[pos + 2]) << 8) | data[pos + 3];
        if (length < 2 || length > size - pos - 2)
            return std::nullopt;
        const std::uint8_t* body = data + pos + 4;
        std::size_t bodySize = length - 2;
        if (marker == 0xE1 && bodySize >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0) {
            if (auto o = readTiffOrientation(body + 6, bodySize - 6))
                return o;
        }
        pos += 2 + length;
    }
    return std::nullopt;
}

ImageFormat sniffImageFormat(const std::uint8_t* data, std::size_t size)
{
    if (!data)
        return ImageFormat::Unknown;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return ImageFormat::JPEG;
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0)
        return ImageFormat::PNG;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return ImageFormat::GIF;
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0)
        return ImageFormat::WebP;
    if (size >= 4 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0))
        return ImageFormat::TIFF;
    return ImageFormat::Unknown;
}

} // namespace graphics
