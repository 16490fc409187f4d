// CGImage: layout checks, pixel reads in every supported layout, and the Cairo surface used
// to draw the image.
#include "platform/graphics/Image.h"

#include <atomic>
#include <bit>
#include <cairo.h>
#include <cstring>
#include <limits>

namespace graphics {

namespace {
std::atomic<std::size_t> maxPixels { 64u * 1024u * 1024u };
}

std::size_t maxImagePixels() { return maxPixels.load(); }
void setMaxImagePixels(std::size_t pixels) { maxPixels.store(pixels); }

bool pixelCountAllowed(std::size_t width, std::size_t height)
{
    if (width == 0 || height == 0)
        return false;
    if (width > std::numeric_limits<std::size_t>::max() / height)
        return false;
    return width * height <= maxImagePixels();
}

} // namespace graphics

namespace {

bool isLittle16(CGBitmapInfo info) { return (info & kCGBitmapByteOrderMask) == kCGBitmapByteOrder16Little; }
bool isLittle32(CGBitmapInfo info) { return (info & kCGBitmapByteOrderMask) == kCGBitmapByteOrder32Little; }

std::uint8_t premultiply(std::uint8_t c, std::uint8_t a) { return static_cast<std::uint8_t>((c * a + 127) / 255); }

std::uint32_t argb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return (std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}

std::uint32_t straightToARGB(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
{
    if (a == 255)
        return argb(255, r, g, b);
    return argb(a, premultiply(r, a), premultiply(g, a), premultiply(b, a));
}

// Byte offsets of R, G, B and A (A = -1 when absent) within a 4-byte, 8-bit-per-component pixel.
struct Offsets {
    int r, g, b, a;
    bool premultiplied;
};

Offsets offsetsFor(CGBitmapInfo info)
{
    Offsets o { 0, 1, 2, -1, false };
    switch (CGImageAlphaInfo(info & kCGBitmapAlphaInfoMask)) {
    case kCGImageAlphaPremultipliedLast:
        o = { 0, 1, 2, 3, true };
        break;
    case kCGImageAlphaLast:
        o = { 0, 1, 2, 3, false };
        break;
    case kCGImageAlphaNoneSkipLast:
        o = { 0, 1, 2, -1, false };
        break;
    case kCGImageAlphaPremultipliedFirst:
        o = { 1, 2, 3, 0, true };
        break;
    case kCGImageAlphaFirst:
        o = { 1, 2, 3, 0, false };
        break;
    case kCGImageAlphaNoneSkipFirst:
        o = { 1, 2, 3, -1, false };
        break;
    default:
        break;
    }
    if (isLittle32(info)) {
        o.r = 3 - o.r;
        o.g = 3 - o.g;
        o.b = 3 - o.b;
        if (o.a >= 0)
            o.a = 3 - o.a;
    }
    return o;
}

bool hasAlphaChannel(CGImageAlphaInfo a)
{
    return a == kCGImageAlphaPremultipliedLast || a == kCGImageAlphaPremultipliedFirst || a == kCGImageAlphaLast
        || a == kCGImageAlphaFirst;
}

void rowRGB32(const CGBitmapLayout& img, const std::uint8_t* src, std::uint32_t* out)
{
    Offsets o = offsetsFor(img.bitmapInfo);
    for (std::size_t x = 0; x < img.width; ++x, src += 4) {
        std::uint8_t a = o.a >= 0 ? src[o.a] : 255;
        if (o.premultiplied || o.a < 0)
            out[x] = argb(a, std::min(src[o.r], a), std::min(src[o.g], a), std::min(src[o.b], a));
        else
            out[x] = straightToARGB(src[o.r], src[o.g], src[o.b], a);
    }
}

// The high byte of a 16-bit component in the image's byte order.
std::uint8_t high16(const std::uint8_t* p, bool little) { return little ? p[1] : p[0]; }

void rowGeneric(const CGBitmapLayout& img, const std::uint8_t* src, std::uint32_t* out)
{
    const std::size_t n = img.width;
    const CGColorSpaceModel model = img.colorSpace->model();
    const bool sixteen = img.bitsPerComponent == 16;
    const bool little = isLittle16(img.bitmapInfo);
    const CGImageAlphaInfo alpha = img.alphaInfo();
    const bool withAlpha = hasAlphaChannel(alpha);
    const bool premultiplied = alpha == kCGImageAlphaPremultipliedLast || alpha == kCGImageAlphaPremultipliedFirst;
    const std::size_t step = img.bitsPerPixel / 8;
    auto comp = [&](const std::uint8_t* p, std::size_t i) { return sixteen ? high16(p + i * 2, little) : p[i]; };

    for (std::size_t x = 0; x < n; ++x, src += step) {
        std::uint8_t r = 0, g = 0, b = 0, a = 255;
        if (model == kCGColorSpaceModelMonochrome) {
            r = g = b = comp(src, 0);
            if (withAlpha)
                a = comp(src, 1);
        } else if (model == kCGColorSpaceModelRGB) {
            r = comp(src, 0);
            g = comp(src, 1);
            b = comp(src, 2);
            if (withAlpha)
                a = comp(src, 3);
        } else if (model == kCGColorSpaceModelIndexed) {
            const auto& pal = img.colorSpace->palette();
            std::size_t i = std::size_t(src[0]) * 3;
            if (i + 2 < pal.size()) {
                r = pal[i];
                g = pal[i + 1];
                b = pal[i + 2];
            }
        } else if (model == kCGColorSpaceModelCMYK) {
            int k = 255 - src[3];
            r = std::uint8_t((255 - src[0]) * k / 255);
            g = std::uint8_t((255 - src[1]) * k / 255);
            b = std::uint8_t((255 - src[2]) * k / 255);
        }
        if (premultiplied)
            out[x] = argb(a, std::min(r, a), std::min(g, a), std::min(b, a));
        else
            out[x] = straightToARGB(r, g, b, a);
    }
}

} // namespace

bool CGBitmapLayout::isSupported() const
{
    if (!colorSpace || width == 0 || height == 0 || (bitmapInfo & kCGBitmapFloatComponents))
        return false;
    if (bitsPerPixel % 8 != 0 || bytesPerRow == 0 || width > bytesPerRow * 8 / bitsPerPixel)
        return false;
    const CGImageAlphaInfo a = alphaInfo();
    const bool none = a == kCGImageAlphaNone;
    const bool anyExtra = !none && a != kCGImageAlphaOnly && a <= kCGImageAlphaNoneSkipFirst;
    // Outside 8-bit RGB the extra channel must come last.
    const bool extraLast = a == kCGImageAlphaPremultipliedLast || a == kCGImageAlphaLast || a == kCGImageAlphaNoneSkipLast;
    const std::size_t bpc = bitsPerComponent, bpp = bitsPerPixel;
    switch (colorSpace->model()) {
    case kCGColorSpaceModelMonochrome:
        if (bpc != 8 && bpc != 16)
            return false;
        return (none && bpp == bpc) || (extraLast && bpp == 2 * bpc);
    case kCGColorSpaceModelRGB:
        if (bpc == 8)
            return (none && bpp == 24) || (anyExtra && bpp == 32);
        if (bpc == 16)
            return (none && bpp == 48) || (extraLast && bpp == 64);
        return false;
    case kCGColorSpaceModelIndexed:
        return bpc == 8 && bpp == 8 && none && !colorSpace->palette().empty();
    case kCGColorSpaceModelCMYK:
        return bpc == 8 && bpp == 32 && none;
    default:
        return false;
    }
}

CGImage::CGImage(CGBitmapLayout layout, std::shared_ptr<const Bytes> pixels)
    : layout_(std::move(layout))
    , pixels_(std::move(pixels))
{
}

CGImage::~CGImage()
{
    if (surface_)
        cairo_surface_destroy(surface_);
}

std::shared_ptr<const CGImage> CGImage::create(CGBitmapLayout layout, std::shared_ptr<const Bytes> pixels)
{
    if (!pixels || !layout.isSupported())
        return nullptr;
    if (layout.height > (std::numeric_limits<std::size_t>::max() / layout.bytesPerRow))
        return nullptr;
    std::size_t needed = (layout.height - 1) * layout.bytesPerRow + (layout.width * layout.bitsPerPixel + 7) / 8;
    if (pixels->size() < needed)
        return nullptr;
    return std::shared_ptr<const CGImage>(new CGImage(std::move(layout), std::move(pixels)));
}

bool CGImage::hasAlpha() const { return hasAlphaChannel(alphaInfo()) || alphaInfo() == kCGImageAlphaOnly; }

void CGImage::copyRowARGB32(std::size_t y, std::uint32_t* out) const { graphics::rowToARGB32(layout_, row(y), out); }

std::array<std::uint8_t, 4> CGImage::rgbaAt(std::size_t x, std::size_t y) const
{
    if (x >= width() || y >= height())
        return { 0, 0, 0, 0 };
    std::vector<std::uint32_t> line(width());
    copyRowARGB32(y, line.data());
    std::uint32_t p = line[x];
    std::uint8_t a = std::uint8_t(p >> 24);
    auto un = [a](std::uint32_t c) {
        if (a == 0)
            return std::uint8_t(0);
        return std::uint8_t(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
    };
    return { un((p >> 16) & 0xFF), un((p >> 8) & 0xFF), un(p & 0xFF), a };
}

cairo_surface_t* CGImage::cairoSurface() const
{
    std::call_once(surfaceOnce_, [this] {
        const int w = static_cast<int>(width()), h = static_cast<int>(height());
        if (graphics::isCairoLayout(layout_)) {
            // Cairo only reads a source surface: it draws from the image's own pixels, so a
            // bitmap in its layout is held once, not twice.
            auto* data = const_cast<unsigned char*>(pixels_->data());
            cairo_format_t format = hasAlpha() ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
            cairo_surface_t* s = cairo_image_surface_create_for_data(data, format, w, h, int(bytesPerRow()));
            if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
                surface_ = s;
                return;
            }
            cairo_surface_destroy(s);
        }
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(s);
            return;
        }
        cairo_surface_flush(s);
        unsigned char* dst = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        for (std::size_t y = 0; y < height(); ++y)
            copyRowARGB32(y, reinterpret_cast<std::uint32_t*>(dst + y * std::size_t(stride)));
        cairo_surface_mark_dirty(s);
        surface_ = s;
    });
    return surface_;
}

CGImageRef CGImageCreate(std::size_t width, std::size_t height, std::size_t bitsPerComponent,
    std::size_t bitsPerPixel, std::size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo, Bytes data)
{
    CGBitmapLayout layout { width, height, bitsPerComponent, bitsPerPixel, bytesPerRow, std::move(space), bitmapInfo };
    return CGImage::create(std::move(layout), std::make_shared<const Bytes>(std::move(data)));
}

CGImageRef CGImageCreateCopy(const CGImageRef& image)
{
    return image ? CGImage::create(image->layout(), image->pixels()) : nullptr;
}

std::size_t CGImageGetWidth(const CGImageRef& image) { return image ? image->width() : 0; }
std::size_t CGImageGetHeight(const CGImageRef& image) { return image ? image->height() : 0; }
std::size_t CGImageGetBitsPerComponent(const CGImageRef& image) { return image ? image->bitsPerComponent() : 0; }
std::size_t CGImageGetBitsPerPixel(const CGImageRef& image) { return image ? image->bitsPerPixel() : 0; }
std::size_t CGImageGetBytesPerRow(const CGImageRef& image) { return image ? image->bytesPerRow() : 0; }
CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image) { return image ? image->colorSpace() : nullptr; }
CGImageAlphaInfo CGImageGetAlphaInfo(const CGImageRef& image)
{
    return image ? image->alphaInfo() : kCGImageAlphaNone;
}
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image) { return image ? image->bitmapInfo() : 0; }

namespace graphics {

void rowToARGB32(const CGBitmapLayout& layout, const std::uint8_t* src, std::uint32_t* out)
{
    bool rgb32 = layout.colorSpace->model() == kCGColorSpaceModelRGB && layout.bitsPerComponent == 8
        && layout.bitsPerPixel == 32;
    if (rgb32)
        rowRGB32(layout, src, out);
    else
        rowGeneric(layout, src, out);
}

bool isCairoLayout(const CGBitmapLayout& layout)
{
    const CGImageAlphaInfo a = layout.alphaInfo();
    return std::endian::native == std::endian::little && layout.colorSpace
        && layout.colorSpace->model() == kCGColorSpaceModelRGB && layout.bitsPerComponent == 8
        && layout.bitsPerPixel == 32 && (layout.bitmapInfo & kCGBitmapByteOrderMask) == kCGBitmapByteOrder32Little
        && (a == kCGImageAlphaPremultipliedFirst || a == kCGImageAlphaNoneSkipFirst) && layout.bytesPerRow % 4 == 0
        && layout.width <= 32767 && layout.height <= 32767;
}

} // namespace graphics
