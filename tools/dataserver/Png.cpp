// PNG encoding over zlib (deflate and CRC), and the pictures the server draws.
#include "tools/dataserver/Png.h"

#include <zlib.h>

#include <stdexcept>

namespace dataserver {

namespace {

void putBigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void putChunk(std::string& out, const char* type, const std::string& data)
{
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    putBigEndian(out, static_cast<std::uint32_t>(crc));
}

struct Rgb {
    std::uint8_t r, g, b;
};

class Canvas {
public:
    Canvas(int width, int height, Rgb fill)
        : width_(width)
        , height_(height)
        , pixels_(static_cast<size_t>(width * height * 3))
    {
        rect(0, 0, width, height, fill);
    }

    void rect(int x, int y, int w, int h, Rgb c)
    {
        for (int row = y; row < y + h && row < height_; ++row) {
            for (int col = x; col < x + w && col < width_; ++col) {
                size_t at = static_cast<size_t>((row * width_ + col) * 3);
                pixels_[at] = c.r;
                pixels_[at + 1] = c.g;
                pixels_[at + 2] = c.b;
            }
        }
    }

    std::string png() const { return encodePng(width_, height_, pixels_); }

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

} // namespace

std::string encodePng(int width, int height, const std::vector<std::uint8_t>& rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
        throw std::invalid_argument("encodePng: pixel count does not match the size");
    // Each scan line starts with filter type 0 (none).
    std::string raw;
    raw.reserve(rgb.size() + static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<size_t>(y) * width * 3, static_cast<size_t>(width) * 3);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("encodePng: deflate failed");
    packed.resize(packedSize);

    std::string header;
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter set, no interlace

    std::string out("\x89PNG\r\n\x1a\n", 8);
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", {});
    return out;
}

std::string launcherIcon()
{
    Canvas c(96, 96, { 45, 119, 190 });
    c.rect(24, 24, 48, 48, { 255, 255, 255 });
    c.rect(36, 36, 24, 24, { 112, 188, 90 });
    return c.png();
}

std::string qrPattern(long long seed)
{
    constexpr int modules = 25;
    constexpr int scale = 6;
    constexpr int quiet = 2;
    constexpr int side = (modules + 2 * quiet) * scale;
    Canvas c(side, side, { 255, 255, 255 });
    const Rgb black { 0, 0, 0 };
    auto module = [&](int x, int y, Rgb colour) { c.rect((x + quiet) * scale, (y + quiet) * scale, scale, scale, colour); };
    auto finder = [&](int x0, int y0) {
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x) {
                bool ring = x == 0 || y == 0 || x == 6 || y == 6;
                bool core = x >= 2 && x <= 4 && y >= 2 && y <= 4;
                if (ring || core)
                    module(x0 + x, y0 + y, black);
            }
    };
    auto inFinder = [](int x, int y) {
        return (x < 8 && y < 8) || (x >= modules - 8 && y < 8) || (x < 8 && y >= modules - 8);
    };
    std::uint64_t state = static_cast<std::uint64_t>(seed) * 6364136223846793005ULL + 1442695040888963407ULL;
    for (int y = 0; y < modules; ++y)
        for (int x = 0; x < modules; ++x) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            if (!inFinder(x, y) && ((state >> 33) & 1))
                module(x, y, black);
        }
    finder(0, 0);
    finder(modules - 7, 0);
    finder(0, modules - 7);
    return c.png();
}

} // namespace dataserver
