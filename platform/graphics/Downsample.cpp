// Shrinking bitmaps while they are decoded: each output pixel is the average of its box of
// source pixels, in premultiplied ARGB, and rows are folded in as they arrive, so that the
// full-size bitmap of an image decoded smaller is never held.
#include "platform/graphics/Codecs.h"

#include <algorithm>
#include <cmath>

namespace graphics {

PixelSize fitWithin(std::size_t width, std::size_t height, std::size_t maxSide)
{
    if (maxSide == 0 || (width <= maxSide && height <= maxSide))
        return { width, height };
    const double factor = double(maxSide) / double(std::max(width, height));
    auto side = [&](std::size_t n) {
        return std::clamp<std::size_t>(std::size_t(std::lround(double(n) * factor)), 1, maxSide);
    };
    return { side(width), side(height) };
}

Downsampler::Downsampler(const CGBitmapLayout& source, std::size_t width, std::size_t height)
    : source_(source)
    , width_(width)
    , height_(height)
    , line_(source.width)
    , sums_(width * 4)
    , columns_(width + 1)
    , pixels_(std::make_shared<Bytes>(width * height * 4))
    , opaque_(!source.colorSpace || source.alphaInfo() == kCGImageAlphaNone
          || source.alphaInfo() == kCGImageAlphaNoneSkipFirst || source.alphaInfo() == kCGImageAlphaNoneSkipLast)
{
    for (std::size_t x = 0; x <= width_; ++x)
        columns_[x] = x * source_.width / width_;
}

std::size_t Downsampler::bandEnd(std::size_t outRow) const { return (outRow + 1) * source_.height / height_; }

void Downsampler::addRow(const std::uint8_t* row)
{
    if (outRow_ >= height_)
        return;
    rowToARGB32(source_, row, line_.data());
    for (std::size_t ox = 0; ox < width_; ++ox) {
        std::uint64_t* sum = &sums_[ox * 4];
        for (std::size_t x = columns_[ox]; x < columns_[ox + 1]; ++x) {
            const std::uint32_t p = line_[x];
            sum[0] += p >> 24;
            sum[1] += (p >> 16) & 0xFF;
            sum[2] += (p >> 8) & 0xFF;
            sum[3] += p & 0xFF;
        }
    }
    ++sourceRow_;
    ++bandRows_;
    if (sourceRow_ >= bandEnd(outRow_))
        emitRow();
}

void Downsampler::emitRow()
{
    auto* out = reinterpret_cast<std::uint32_t*>(pixels_->data() + outRow_ * width_ * 4);
    for (std::size_t ox = 0; ox < width_; ++ox) {
        std::uint64_t* sum = &sums_[ox * 4];
        const std::uint64_t count = std::max<std::uint64_t>(1, (columns_[ox + 1] - columns_[ox]) * bandRows_);
        auto mean = [&](int i) { return std::uint32_t((sum[i] + count / 2) / count); };
        out[ox] = (opaque_ ? 0xFF000000u : mean(0) << 24) | mean(1) << 16 | mean(2) << 8 | mean(3);
        std::fill(sum, sum + 4, 0);
    }
    bandRows_ = 0;
    ++outRow_;
}

CGImageRef Downsampler::image() const
{
    if (outRow_ == 0)
        return nullptr;
    CGBitmapLayout layout { width_, outRow_, 8, 32, width_ * 4, CGColorSpaceCreateDeviceRGB(),
        CGBitmapInfo(opaque_ ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Host };
    if (outRow_ == height_)
        return CGImage::create(std::move(layout), pixels_);
    // A prefix: the rows made so far, copied so that later rows never change it.
    return CGImage::create(std::move(layout),
        std::make_shared<const Bytes>(pixels_->begin(), pixels_->begin() + long(outRow_ * width_ * 4)));
}

CGImageRef downsampleImage(const CGImageRef& image, std::size_t maxSide)
{
    if (!image)
        return nullptr;
    PixelSize size = fitWithin(image->width(), image->height(), maxSide);
    if (size.width == image->width() && size.height == image->height())
        return image;
    Downsampler downsampler(image->layout(), size.width, size.height);
    for (std::size_t y = 0; y < image->height(); ++y)
        downsampler.addRow(image->row(y));
    return downsampler.image();
}

} // namespace graphics
