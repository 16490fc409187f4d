// WebP decoding over libwebp: still images (whole or the rows of a prefix, through the
// incremental decoder) and animated images through the animation decoder.
#include "platform/graphics/Codecs.h"

#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>

namespace graphics {

namespace {

CGBitmapLayout rgbaLayout(std::size_t width, std::size_t height, bool alpha)
{
    return { width, height, 8, 32, width * 4, CGColorSpaceCreateDeviceRGB(),
        CGBitmapInfo(alpha ? kCGImageAlphaLast : kCGImageAlphaNoneSkipLast) };
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct AnimDeleter {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};
struct IncrementalDeleter {
    void operator()(WebPIDecoder* d) const { WebPIDelete(d); }
};

// Feeds a prefix of the data to an incremental decoder; the rows it could decode, or 0.
int rowsDecoded(WebPIDecoder* idec, const std::uint8_t* data, std::size_t size)
{
    if (!idec)
        return 0;
    VP8StatusCode status = WebPIUpdate(idec, data, size);
    if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
        return 0;
    int lastY = 0, width = 0, height = 0, stride = 0;
    if (!WebPIDecGetRGB(idec, &lastY, &width, &height, &stride))
        return 0;
    return lastY;
}

} // namespace

bool readWebpHeader(const std::uint8_t* data, std::size_t size, ImageHeader& header)
{
    WebPBitstreamFeatures features;
    if (!data || WebPGetFeatures(data, size, &features) != VP8_STATUS_OK)
        return false;
    if (features.width <= 0 || features.height <= 0)
        return false;
    header.width = std::size_t(features.width);
    header.height = std::size_t(features.height);
    header.hasAlpha = features.has_alpha != 0;
    header.depth = 8;
    header.model = kCGColorSpaceModelRGB;
    return true;
}

std::size_t webpFrameCount(const std::uint8_t* data, std::size_t size)
{
    ImageHeader header;
    if (!readWebpHeader(data, size, header))
        return 0;
    WebPData input { data, size };
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&input));
    if (!demux)
        return 1;
    return std::max<std::size_t>(1, WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT));
}

namespace {

// The same pixels in Cairo's layout, as every shrunk image is delivered.
CGImageRef inCairoLayout(const CGImageRef& image)
{
    if (!image)
        return nullptr;
    Downsampler convert(image->layout(), image->width(), image->height());
    for (std::size_t y = 0; y < image->height(); ++y)
        convert.addRow(image->row(y));
    return convert.image();
}

// A still image decoded straight to the smaller size by the library's own scaling.
DecodedImage decodeWebpScaled(const std::uint8_t* data, std::size_t size, bool final, PixelSize target, bool alpha)
{
    auto pixels = std::make_shared<Bytes>(target.width * target.height * 4);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return {};
    config.options.use_scaling = 1;
    config.options.scaled_width = int(target.width);
    config.options.scaled_height = int(target.height);
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = pixels->data();
    config.output.u.RGBA.stride = int(target.width * 4);
    config.output.u.RGBA.size = pixels->size();
    if (final) {
        if (WebPDecode(data, size, &config) != VP8_STATUS_OK)
            return {};
        return { inCairoLayout(CGImage::create(rgbaLayout(target.width, target.height, alpha), std::move(pixels))), true };
    }
    std::unique_ptr<WebPIDecoder, IncrementalDeleter> idec(WebPIDecode(nullptr, 0, &config));
    int lastY = rowsDecoded(idec.get(), data, size);
    if (lastY <= 0)
        return {};
    pixels->resize(std::size_t(lastY) * target.width * 4);
    return { inCairoLayout(CGImage::create(rgbaLayout(target.width, std::size_t(lastY), alpha), std::move(pixels))),
        false };
}

} // namespace

DecodedImage decodeWebp(const std::uint8_t* data, std::size_t size, bool final, std::size_t maxSide)
{
    WebPBitstreamFeatures features;
    if (!data || WebPGetFeatures(data, size, &features) != VP8_STATUS_OK)
        return {};
    const std::size_t w = std::size_t(features.width), h = std::size_t(features.height);
    if (!pixelCountAllowed(w, h))
        return {};
    if (features.has_animation) {
        DecodedImage frame = decodeWebpFrame(data, size, 0, nullptr);
        return { downsampleImage(frame.image, maxSide), frame.complete };
    }
    PixelSize target = fitWithin(w, h, maxSide);
    if (target.width != w || target.height != h)
        return decodeWebpScaled(data, size, final, target, features.has_alpha != 0);
    auto pixels = std::make_shared<Bytes>(w * h * 4);
    const bool alpha = features.has_alpha != 0;
    if (WebPDecodeRGBAInto(data, size, pixels->data(), pixels->size(), int(w * 4)))
        return { CGImage::create(rgbaLayout(w, h, alpha), std::move(pixels)), true };
    if (final)
        return {};
    // A prefix: the rows decoded so far.
    std::unique_ptr<WebPIDecoder, IncrementalDeleter> idec(
        WebPINewRGB(MODE_RGBA, pixels->data(), pixels->size(), int(w * 4)));
    int lastY = rowsDecoded(idec.get(), data, size);
    if (lastY <= 0)
        return {};
    pixels->resize(std::size_t(lastY) * w * 4);
    return { CGImage::create(rgbaLayout(w, std::size_t(lastY), alpha), std::move(pixels)), false };
}

DecodedImage decodeWebpFrame(const std::uint8_t* data, std::size_t size, std::size_t index, double* duration)
{
    WebPBitstreamFeatures features;
    if (!data || WebPGetFeatures(data, size, &features) != VP8_STATUS_OK)
        return {};
    if (!pixelCountAllowed(std::size_t(features.width), std::size_t(features.height)))
        return {};
    if (!features.has_animation) {
        if (index != 0)
            return {};
        if (duration)
            *duration = 0;
        return decodeWebp(data, size, true);
    }
    WebPData input { data, size };
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, AnimDeleter> dec(WebPAnimDecoderNew(&input, &options));
    if (!dec)
        return {};
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(dec.get(), &info) || index >= info.frame_count
        || !pixelCountAllowed(info.canvas_width, info.canvas_height))
        return {};
    int previous = 0;
    for (std::size_t i = 0; i <= index; ++i) {
        std::uint8_t* buffer = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(dec.get(), &buffer, &timestamp))
            return {};
        if (i < index) {
            previous = timestamp;
            continue;
        }
        if (duration)
            *duration = double(timestamp - previous) / 1000.0;
        const std::size_t w = info.canvas_width, h = info.canvas_height;
        auto pixels = std::make_shared<Bytes>(buffer, buffer + w * h * 4);
        return { CGImage::create(rgbaLayout(w, h, true), std::move(pixels)), true };
    }
    return {};
}

} // namespace graphics
