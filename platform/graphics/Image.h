// CGImage: an immutable bitmap with the layout the platform reports for it (width, height,
// bits per component and pixel, bytes per row, colour space, alpha info and byte order).
// Pixels are shared, never copied, between images made over the same data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"

typedef struct _cairo_surface cairo_surface_t;

using CGBitmapInfo = std::uint32_t;

enum CGImageAlphaInfo : std::uint32_t {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};

inline constexpr CGBitmapInfo kCGBitmapAlphaInfoMask = 0x1F;
inline constexpr CGBitmapInfo kCGBitmapFloatComponents = 1u << 8;
inline constexpr CGBitmapInfo kCGBitmapByteOrderMask = 0x7000;
inline constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Little = 1u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Big = 3u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Big = 4u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Host = kCGBitmapByteOrder32Little;

// The layout of a bitmap's bytes.
struct CGBitmapLayout {
    std::size_t width = 0;
    std::size_t height = 0;
    std::size_t bitsPerComponent = 8;
    std::size_t bitsPerPixel = 32;
    std::size_t bytesPerRow = 0;
    CGColorSpaceRef colorSpace;
    CGBitmapInfo bitmapInfo = 0;

    CGImageAlphaInfo alphaInfo() const { return CGImageAlphaInfo(bitmapInfo & kCGBitmapAlphaInfoMask); }
    // True for the layouts images support: grey 8/16 (with or without alpha), RGB 8/16
    // (24/48 bits, or 32/64 with alpha or a skipped byte), indexed 8, CMYK 8.
    bool isSupported() const;
};

class CGImage {
public:
    // An image over `pixels` in `layout`; null when the layout is unsupported, a dimension is 0
    // or the data is shorter than the layout needs.
    static std::shared_ptr<const CGImage> create(CGBitmapLayout layout, std::shared_ptr<const Bytes> pixels);

    std::size_t width() const { return layout_.width; }
    std::size_t height() const { return layout_.height; }
    std::size_t bitsPerComponent() const { return layout_.bitsPerComponent; }
    std::size_t bitsPerPixel() const { return layout_.bitsPerPixel; }
    std::size_t bytesPerRow() const { return layout_.bytesPerRow; }
    const CGColorSpaceRef& colorSpace() const { return layout_.colorSpace; }
    CGBitmapInfo bitmapInfo() const { return layout_.bitmapInfo; }
    CGImageAlphaInfo alphaInfo() const { return layout_.alphaInfo(); }
    const CGBitmapLayout& layout() const { return layout_; }
    const std::shared_ptr<const Bytes>& pixels() const { return pixels_; }
    const std::uint8_t* row(std::size_t y) const { return pixels_->data() + y * layout_.bytesPerRow; }

    // True when the alpha info carries a real alpha channel (premultiplied or not, or alpha-only).
    bool hasAlpha() const;
    // One pixel as straight (not premultiplied) RGBA.
    std::array<std::uint8_t, 4> rgbaAt(std::size_t x, std::size_t y) const;
    // Row y as premultiplied ARGB in native-endian 32-bit words (Cairo's ARGB32).
    void copyRowARGB32(std::size_t y, std::uint32_t* out) const;
    // The image as a Cairo surface, made on first use and kept; owned by the image. In Cairo's
    // layout it is drawn from the image's own pixels; other layouts are converted once.
    cairo_surface_t* cairoSurface() const;

    ~CGImage();
    CGImage(const CGImage&) = delete;
    CGImage& operator=(const CGImage&) = delete;

private:
    CGImage(CGBitmapLayout layout, std::shared_ptr<const Bytes> pixels);
    CGBitmapLayout layout_;
    std::shared_ptr<const Bytes> pixels_;
    mutable std::once_flag surfaceOnce_;
    mutable cairo_surface_t* surface_ = nullptr;
};

using CGImageRef = std::shared_ptr<const CGImage>;

CGImageRef CGImageCreate(std::size_t width, std::size_t height, std::size_t bitsPerComponent,
    std::size_t bitsPerPixel, std::size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo, Bytes data);
// A new image object over the same pixels.
CGImageRef CGImageCreateCopy(const CGImageRef& image);
std::size_t CGImageGetWidth(const CGImageRef& image);
std::size_t CGImageGetHeight(const CGImageRef& image);
std::size_t CGImageGetBitsPerComponent(const CGImageRef& image);
std::size_t CGImageGetBitsPerPixel(const CGImageRef& image);
std::size_t CGImageGetBytesPerRow(const CGImageRef& image);
CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image);
CGImageAlphaInfo CGImageGetAlphaInfo(const CGImageRef& image);
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image);

namespace graphics {

// Largest pixel count a decoder or a bitmap context accepts (64 megapixels unless changed).
// A header that claims more is refused before anything is allocated.
std::size_t maxImagePixels();
void setMaxImagePixels(std::size_t pixels);
// width × height within the cap and without overflow.
bool pixelCountAllowed(std::size_t width, std::size_t height);

// One row of pixels in `layout` as premultiplied ARGB in native-endian 32-bit words.
void rowToARGB32(const CGBitmapLayout& layout, const std::uint8_t* row, std::uint32_t* out);
// Cairo's own layout (premultiplied or skipped first byte, 32-bit host order): such an image is
// drawn straight from its pixels, with no copy.
bool isCairoLayout(const CGBitmapLayout& layout);

} // namespace graphics
