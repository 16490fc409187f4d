// Builds the image fixtures with libjpeg, libpng, giflib and libwebp.
#include "testing/graphics/ImageFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>

namespace fixtures {

std::vector<std::uint8_t> quadrants(int w, int h)
{
    std::vector<std::uint8_t> out(std::size_t(w * h * 3));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const RGB& c = y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kWhite);
            std::memcpy(&out[std::size_t((y * w + x) * 3)], c.data(), 3);
        }
    return out;
}

std::vector<std::uint8_t> noisyQuadrants(int w, int h)
{
    std::vector<std::uint8_t> out = quadrants(w, h);
    std::uint32_t seed = 12345;
    for (std::uint8_t& b : out) {
        seed = seed * 1103515245u + 12345u;
        int v = int(b) + int((seed >> 16) % 33) - 16;
        b = std::uint8_t(std::clamp(v, 0, 255));
    }
    return out;
}

Bytes exifBody(int orientation, bool little)
{
    Bytes b { 'E', 'x', 'i', 'f', 0, 0, std::uint8_t(little ? 'I' : 'M'), std::uint8_t(little ? 'I' : 'M') };
    auto put = [&](std::uint32_t v, int n) { // n bytes in the TIFF's byte order
        for (int i = 0; i < n; ++i)
            b.push_back(std::uint8_t(v >> (8 * (little ? i : n - 1 - i))));
    };
    put(42, 2);
    put(8, 4);
    put(2, 2); // two entries: an unrelated tag first, then the orientation
    put(0x010F, 2); // Make, ASCII, 4 bytes inline
    put(2, 2);
    put(4, 4);
    b.insert(b.end(), { 'Q', 'M', 'K', 0 });
    put(0x0112, 2);
    put(3, 2);
    put(1, 4);
    put(std::uint32_t(orientation), 2);
    put(0, 2);
    put(0, 4);
    return b;
}

Bytes makeJpeg(int w, int h, const JpegOptions& o)
{
    jpeg_compress_struct c {};
    jpeg_error_mgr err {};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = o.components;
    c.in_color_space = o.components == 1 ? JCS_GRAYSCALE : o.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, o.quality, TRUE);
    if (o.progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    if (!o.app1.empty())
        jpeg_write_marker(&c, JPEG_APP0 + 1, o.app1.data(), unsigned(o.app1.size()));
    std::vector<std::uint8_t> rgb = o.noisy ? noisyQuadrants(w, h) : quadrants(w, h);
    std::vector<std::uint8_t> row(std::size_t(w * o.components));
    while (c.next_scanline < c.image_height) {
        const std::uint8_t* src = &rgb[std::size_t(c.next_scanline) * std::size_t(w) * 3];
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = src + x * 3;
            if (o.components == 1) {
                row[std::size_t(x)] = std::uint8_t((p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8);
            } else if (o.components == 3) {
                std::memcpy(&row[std::size_t(x * 3)], p, 3);
            } else { // inverted CMYK, as files with an Adobe marker store it
                int k = 255 - std::max<int>({ p[0], p[1], p[2] });
                for (int i = 0; i < 3; ++i)
                    row[std::size_t(x * 4 + i)] = std::uint8_t(255 - (k == 255 ? 0 : (255 - p[i] - k) * 255 / (255 - k)));
                row[std::size_t(x * 4 + 3)] = std::uint8_t(255 - k);
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

namespace {

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

} // namespace

Bytes makePng(int w, int h, const PngOptions& o)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, pngWrite, nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), o.depth, o.colorType,
        o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[4] = { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 }, { 255, 255, 255 } };
    if (o.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, palette, 4);
        if (o.transparency) {
            png_byte alpha[1] = { 0 };
            png_set_tRNS(png, info, alpha, 1, nullptr);
        }
    } else if (o.transparency) {
        png_color_16 key {};
        png_set_tRNS(png, info, nullptr, 0, &key); // black is transparent
    }
    png_write_info(png, info);
    std::vector<std::uint8_t> rgb = quadrants(w, h);
    const int bytes = o.depth == 16 ? 2 : 1;
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &rgb[std::size_t((y * w + x) * 3)];
            const std::uint8_t grey = std::uint8_t((p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8);
            const std::uint8_t alpha = y < h / 2 ? 255 : 128;
            const std::uint8_t index = std::uint8_t((y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1));
            std::vector<std::uint8_t> values;
            switch (o.colorType) {
            case 0: values = { grey }; break;
            case 2: values = { p[0], p[1], p[2] }; break;
            case 3: values = { index }; break;
            case 4: values = { grey, alpha }; break;
            default: values = { p[0], p[1], p[2], alpha };
            }
            for (std::uint8_t v : values) // 16-bit samples: both bytes the same
                rows[std::size_t(y)].insert(rows[std::size_t(y)].end(), std::size_t(bytes), v);
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& r : rows)
        pointers.push_back(r.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

namespace {

int gifWrite(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

} // namespace

Bytes makeGif(int w, int h, const std::vector<GifFrame>& frames)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifWrite, &error);
    GifColorType colours[4] = { { 0, 0, 0 }, { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 } };
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, h, 2, 0, map);
    for (const GifFrame& f : frames) {
        if (f.control) {
            GraphicsControlBlock gcb { f.disposal, false, f.delayCentiseconds, f.transparentIndex };
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        }
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr);
        std::vector<GifPixelType> line(std::size_t(f.width), f.colorIndex);
        for (int y = 0; y < f.height; ++y)
            EGifPutLine(gif, line.data(), f.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

Bytes makeWebp(int w, int h, bool lossless, bool alpha)
{
    std::vector<std::uint8_t> rgb = quadrants(w, h);
    std::vector<std::uint8_t> rgba(std::size_t(w * h * 4));
    for (int i = 0; i < w * h; ++i) {
        std::memcpy(&rgba[std::size_t(i * 4)], &rgb[std::size_t(i * 3)], 3);
        rgba[std::size_t(i * 4 + 3)] = (alpha && i / w >= h / 2) ? 128 : 255;
    }
    std::uint8_t* output = nullptr;
    std::size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), w, h, w * 4, &output)
                                : WebPEncodeRGBA(rgba.data(), w, h, w * 4, 90, &output);
    Bytes out(output, output + size);
    WebPFree(output);
    return out;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qm-graphics-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

void TempDir::write(const std::string& name, const Bytes& data) const
{
    std::filesystem::create_directories(std::filesystem::path(file(name)).parent_path());
    std::ofstream out(file(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

std::string artefactDir()
{
    const char* source = std::getenv("QM_SOURCE_DIR");
    std::string dir = std::string(source ? source : ".") + "/build/graphics";
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace fixtures
