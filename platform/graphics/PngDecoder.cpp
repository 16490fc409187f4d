// PNG decoding over libpng's progressive reader, fed the whole buffer at once. The same
// path serves a prefix still arriving: the rows (or interlace passes) received so far.
// Errors return through setjmp; no C++ object lives across it.
#include "platform/graphics/Codecs.h"

#include <cstring>
#include <memory>
#include <optional>

#include <png.h>

namespace graphics {

namespace {

struct Job {
    png_structp png = nullptr;
    png_infop info = nullptr;
    CGBitmapLayout layout;
    std::shared_ptr<Bytes> pixels = std::make_shared<Bytes>();
    std::size_t rowBytes = 0;
    std::size_t rows = 0; // rows received in a non-interlaced image
    bool interlaced = false;
    int lastPass = -1;
    bool started = false;
    bool ended = false;
    bool failed = false;
    std::size_t maxSide = 0; // decode to fit this (0: full size)
    std::optional<Downsampler> downsampler; // a non-interlaced image shrunk row by row
};

void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) { }

std::uint32_t be32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Sets the transforms and the reported layout for the image's colour type.
void chooseLayout(Job& job)
{
    png_structp png = job.png;
    png_infop info = job.info;
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    if (!pixelCountAllowed(width, height))
        png_error(png, "image too large");
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    CGBitmapLayout& l = job.layout;
    l.width = width;
    l.height = height;
    l.bitsPerComponent = depth == 16 ? 16 : 8;
    l.bitmapInfo = kCGImageAlphaNone;
    std::size_t channels = 1;

    if (colorType == PNG_COLOR_TYPE_PALETTE && !trns) {
        png_colorp palette = nullptr;
        int count = 0;
        if (!png_get_PLTE(png, info, &palette, &count) || count <= 0)
            png_error(png, "no palette");
        std::vector<std::uint8_t> table;
        for (int i = 0; i < count; ++i)
            table.insert(table.end(), { palette[i].red, palette[i].green, palette[i].blue });
        if (depth < 8)
            png_set_packing(png);
        l.colorSpace = CGColorSpaceCreateIndexed(table);
        if (!l.colorSpace)
            png_error(png, "bad palette");
    } else if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
        png_set_tRNS_to_alpha(png);
        l.colorSpace = CGColorSpaceCreateDeviceRGB();
        l.bitsPerComponent = 8;
        l.bitmapInfo = kCGImageAlphaLast;
        channels = 4;
    } else if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        if (trns)
            png_set_tRNS_to_alpha(png);
        l.colorSpace = CGColorSpaceCreateDeviceGray();
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA || trns) {
            l.bitmapInfo = kCGImageAlphaLast;
            channels = 2;
        }
    } else {
        if (trns)
            png_set_tRNS_to_alpha(png);
        l.colorSpace = CGColorSpaceCreateDeviceRGB();
        channels = 3;
        if (colorType == PNG_COLOR_TYPE_RGB_ALPHA || trns) {
            l.bitmapInfo = kCGImageAlphaLast;
            channels = 4;
        }
    }
    l.bitsPerPixel = channels * l.bitsPerComponent;
    job.interlaced = interlace != PNG_INTERLACE_NONE;
}

void onInfo(png_structp png, png_infop)
{
    auto* job = static_cast<Job*>(png_get_progressive_ptr(png));
    chooseLayout(*job);
    png_set_interlace_handling(png);
    png_read_update_info(png, job->info);
    job->rowBytes = png_get_rowbytes(png, job->info);
    if (job->rowBytes < (job->layout.width * job->layout.bitsPerPixel + 7) / 8)
        png_error(png, "unexpected row size");
    job->layout.bytesPerRow = job->rowBytes;
    PixelSize fit = fitWithin(job->layout.width, job->layout.height, job->maxSide);
    bool shrink = fit.width != job->layout.width || fit.height != job->layout.height;
    if (shrink && !job->interlaced)
        job->downsampler.emplace(job->layout, fit.width, fit.height);
    else
        job->pixels->assign(job->rowBytes * job->layout.height, 0);
    job->started = true;
}

void onRow(png_structp png, png_bytep row, png_uint_32 number, int pass)
{
    auto* job = static_cast<Job*>(png_get_progressive_ptr(png));
    if (!row || number >= job->layout.height)
        return;
    if (job->downsampler) {
        job->downsampler->addRow(row); // rows of a non-interlaced image come in order, once each
        job->rows = std::size_t(number) + 1;
        return;
    }
    png_progressive_combine_row(png, job->pixels->data() + std::size_t(number) * job->rowBytes, row);
    job->lastPass = pass;
    if (!job->interlaced)
        job->rows = std::size_t(number) + 1;
}

void onEnd(png_structp png, png_infop)
{
    auto* job = static_cast<Job*>(png_get_progressive_ptr(png));
    job->ended = true;
}

} // namespace

bool readPngHeader(const std::uint8_t* data, std::size_t size, ImageHeader& header)
{
    if (!data || size < 33 || sniffImageFormat(data, size) != ImageFormat::PNG)
        return false;
    if (be32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    header.width = be32(data + 16);
    header.height = be32(data + 20);
    header.depth = data[24];
    int colorType = data[25];
    if (header.width == 0 || header.height == 0 || header.width > 0x7FFFFFFF || header.height > 0x7FFFFFFF)
        return false;
    header.model = (colorType == 0 || colorType == 4) ? kCGColorSpaceModelMonochrome
        : colorType == 3                              ? kCGColorSpaceModelIndexed
                                                      : kCGColorSpaceModelRGB;
    header.hasAlpha = colorType == 4 || colorType == 6;
    // A tRNS chunk before the image data adds alpha.
    std::size_t pos = 33;
    while (pos + 8 <= size) {
        std::uint32_t length = be32(data + pos);
        if (std::memcmp(data + pos + 4, "IDAT", 4) == 0)
            break;
        if (std::memcmp(data + pos + 4, "tRNS", 4) == 0) {
            header.hasAlpha = true;
            if (header.model == kCGColorSpaceModelIndexed)
                header.model = kCGColorSpaceModelRGB;
            break;
        }
        if (length > size - pos - 8)
            break;
        pos += 12 + std::size_t(length);
    }
    return true;
}

DecodedImage decodePng(const std::uint8_t* data, std::size_t size, bool final, std::size_t maxSide)
{
    if (!data || size < 8 || sniffImageFormat(data, size) != ImageFormat::PNG)
        return {};
    auto job = std::make_unique<Job>();
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!job->png)
        return {};
    job->maxSide = maxSide;
    job->info = png_create_info_struct(job->png);
    if (!job->info) {
        png_destroy_read_struct(&job->png, nullptr, nullptr);
        return {};
    }
    if (setjmp(png_jmpbuf(job->png))) {
        job->failed = true;
    } else {
        png_set_chunk_malloc_max(job->png, 8u << 20);
        png_set_progressive_read_fn(job->png, job.get(), onInfo, onRow, onEnd);
        png_process_data(job->png, job->info, const_cast<png_bytep>(data), size);
    }
    png_destroy_read_struct(&job->png, &job->info, nullptr);

    if (!job->started)
        return {};
    // Data that is all there is but stops before the image ends is a cut-off file, not an image.
    if (final && !job->ended)
        return {};
    std::size_t rows = job->interlaced ? (job->lastPass >= 0 ? job->layout.height : 0) : job->rows;
    if (job->ended)
        rows = job->layout.height;
    if (job->failed && rows == 0)
        return {}; // corrupt data, not merely a prefix
    if (rows == 0)
        return {};
    if (job->downsampler)
        return { job->downsampler->image(), job->ended };
    CGBitmapLayout layout = job->layout;
    layout.height = rows;
    job->pixels->resize(rows * job->rowBytes);
    CGImageRef image = CGImage::create(std::move(layout), std::move(job->pixels));
    return { downsampleImage(image, maxSide), job->ended };
}

} // namespace graphics
