// PNG and JPEG writers for any image: PNG keeps alpha when the image has it; JPEG writes the
// colours over black and, when asked, an EXIF orientation.
#include "platform/graphics/Codecs.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>
#include <png.h>

namespace graphics {

namespace {

enum class Channels { Grey, RGB, RGBA };

Channels channelsFor(const CGImage& image)
{
    if (image.hasAlpha())
        return Channels::RGBA;
    if (image.colorSpace()->model() == kCGColorSpaceModelMonochrome)
        return Channels::Grey;
    return Channels::RGB;
}

// Row y as straight-alpha bytes in the chosen channel layout.
void rowBytes(const CGImage& image, std::size_t y, Channels channels, std::vector<std::uint32_t>& argb,
    std::vector<std::uint8_t>& out)
{
    image.copyRowARGB32(y, argb.data());
    std::size_t w = image.width(), n = channels == Channels::Grey ? 1 : channels == Channels::RGB ? 3 : 4;
    out.resize(w * n);
    for (std::size_t x = 0; x < w; ++x) {
        std::uint32_t p = argb[x];
        std::uint8_t a = std::uint8_t(p >> 24), r = std::uint8_t(p >> 16), g = std::uint8_t(p >> 8), b = std::uint8_t(p);
        std::uint8_t* o = &out[x * n];
        if (channels == Channels::Grey) {
            o[0] = r;
            continue;
        }
        if (channels == Channels::RGBA && a != 255 && a != 0) {
            r = std::uint8_t(std::min(255, (r * 255 + a / 2) / a));
            g = std::uint8_t(std::min(255, (g * 255 + a / 2) / a));
            b = std::uint8_t(std::min(255, (b * 255 + a / 2) / a));
        }
        o[0] = r;
        o[1] = g;
        o[2] = b;
        if (channels == Channels::RGBA)
            o[3] = a;
    }
}

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void pngFlush(png_structp) { }
void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) { }

struct PngJob {
    Channels channels = Channels::RGB;
    png_structp png = nullptr;
    png_infop info = nullptr;
    Bytes out;
    std::vector<std::uint32_t> argb;
    std::vector<std::uint8_t> row;
};

struct JpegTrap {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void jpegError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegTrap*>(cinfo->err)->jump, 1); }
void jpegMessage(j_common_ptr, int) { }
void jpegOutput(j_common_ptr) { }

struct JpegJob {
    jpeg_compress_struct cinfo {};
    JpegTrap trap {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint32_t> argb;
    std::vector<std::uint8_t> row;
    Bytes exif;
};

Bytes exifSegment(int orientation)
{
    // "Exif\0\0", a big-endian TIFF header, one IFD with the orientation, no next IFD.
    return Bytes { 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0,
        std::uint8_t(orientation), 0, 0, 0, 0, 0, 0 };
}

} // namespace

Bytes encodePng(const CGImage& image)
{
    auto job = std::make_unique<PngJob>();
    job->channels = channelsFor(image);
    job->argb.resize(image.width());
    job->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!job->png)
        return {};
    job->info = png_create_info_struct(job->png);
    if (!job->info || setjmp(png_jmpbuf(job->png))) {
        png_destroy_write_struct(&job->png, &job->info);
        return {};
    }
    png_set_write_fn(job->png, &job->out, pngWrite, pngFlush);
    int type = job->channels == Channels::Grey ? PNG_COLOR_TYPE_GRAY
        : job->channels == Channels::RGB       ? PNG_COLOR_TYPE_RGB
                                               : PNG_COLOR_TYPE_RGB_ALPHA;
    png_set_IHDR(job->png, job->info, png_uint_32(image.width()), png_uint_32(image.height()), 8, type,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(job->png, 6);
    png_write_info(job->png, job->info);
    for (std::size_t y = 0; y < image.height(); ++y) {
        rowBytes(image, y, job->channels, job->argb, job->row);
        png_write_row(job->png, job->row.data());
    }
    png_write_end(job->png, job->info);
    png_destroy_write_struct(&job->png, &job->info);
    return std::move(job->out);
}

Bytes encodeJpeg(const CGImage& image, double quality, int exifOrientation)
{
    auto job = std::make_unique<JpegJob>();
    const bool grey = channelsFor(image) == Channels::Grey;
    job->argb.resize(image.width());
    if (exifOrientation > 1 && exifOrientation <= 8)
        job->exif = exifSegment(exifOrientation);
    jpeg_compress_struct& c = job->cinfo;
    c.err = jpeg_std_error(&job->trap.pub);
    job->trap.pub.error_exit = jpegError;
    job->trap.pub.emit_message = jpegMessage;
    job->trap.pub.output_message = jpegOutput;
    if (setjmp(job->trap.jump)) {
        jpeg_destroy_compress(&c);
        std::free(job->buffer);
        return {};
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &job->buffer, &job->size);
    c.image_width = JDIMENSION(image.width());
    c.image_height = JDIMENSION(image.height());
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    int q = int(std::lround(std::clamp(std::isnan(quality) ? 0.0 : quality, 0.0, 1.0) * 100));
    jpeg_set_quality(&c, std::max(q, 1), TRUE);
    jpeg_start_compress(&c, TRUE);
    if (!job->exif.empty())
        jpeg_write_marker(&c, JPEG_APP0 + 1, job->exif.data(), unsigned(job->exif.size()));
    while (c.next_scanline < c.image_height) {
        rowBytes(image, c.next_scanline, grey ? Channels::Grey : Channels::RGB, job->argb, job->row);
        JSAMPROW row = job->row.data();
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(job->buffer, job->buffer + job->size);
    std::free(job->buffer);
    return out;
}

} // namespace graphics
