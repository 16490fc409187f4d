// Bitmap contexts: creation over a Cairo image surface, graphics state, and images taken
// from the context in its own pixel layout.
#include "platform/graphics/Context.h"

#include <bit>
#include <cairo.h>
#include <cstring>

CGContext::CGContext(cairo_t* cr, CGBitmapLayout layout, double scale)
    : cr_(cr)
    , layout_(std::move(layout))
    , scale_(scale)
{
}

CGContext::~CGContext() { cairo_destroy(cr_); }

void CGContext::save()
{
    saved_.push_back(state_);
    cairo_save(cr_);
}

void CGContext::restore()
{
    if (saved_.empty())
        return;
    state_ = saved_.back();
    saved_.pop_back();
    cairo_restore(cr_);
}

namespace {

bool isGrey(const CGBitmapLayout& l) { return l.colorSpace->model() == kCGColorSpaceModelMonochrome; }

bool layoutHasAlpha(const CGBitmapLayout& l)
{
    auto a = l.alphaInfo();
    return a == kCGImageAlphaPremultipliedFirst || a == kCGImageAlphaPremultipliedLast;
}

// The layout is one a context can draw into.
bool contextLayoutSupported(const CGBitmapLayout& l)
{
    if (!l.colorSpace)
        return false;
    auto order = l.bitmapInfo & kCGBitmapByteOrderMask;
    if (l.bitmapInfo & kCGBitmapFloatComponents)
        return false;
    if (l.colorSpace->model() == kCGColorSpaceModelMonochrome)
        return l.bitsPerComponent == 8 && l.alphaInfo() == kCGImageAlphaNone && order == kCGBitmapByteOrderDefault;
    if (l.colorSpace->model() != kCGColorSpaceModelRGB || l.bitsPerComponent != 8)
        return false;
    if (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Little && order != kCGBitmapByteOrder32Big)
        return false;
    auto a = l.alphaInfo();
    return a == kCGImageAlphaPremultipliedFirst || a == kCGImageAlphaPremultipliedLast
        || a == kCGImageAlphaNoneSkipFirst || a == kCGImageAlphaNoneSkipLast;
}

// Cairo's own layout: the image can take the surface's bytes as they are.
bool isNativeLayout(const CGBitmapLayout& l)
{
    if (std::endian::native != std::endian::little || isGrey(l))
        return false;
    auto order = l.bitmapInfo & kCGBitmapByteOrderMask;
    auto a = l.alphaInfo();
    return order == kCGBitmapByteOrder32Little && (a == kCGImageAlphaPremultipliedFirst || a == kCGImageAlphaNoneSkipFirst);
}

void writePixel(const CGBitmapLayout& l, std::uint32_t p, std::uint8_t* out)
{
    std::uint8_t a = std::uint8_t(p >> 24), r = std::uint8_t(p >> 16), g = std::uint8_t(p >> 8), b = std::uint8_t(p);
    if (isGrey(l)) {
        out[0] = std::uint8_t((77 * r + 150 * g + 29 * b + 128) >> 8);
        return;
    }
    bool first = l.alphaInfo() == kCGImageAlphaPremultipliedFirst || l.alphaInfo() == kCGImageAlphaNoneSkipFirst;
    if (!layoutHasAlpha(l))
        a = 255;
    std::uint8_t bytes[4];
    if (first) {
        bytes[0] = a;
        bytes[1] = r;
        bytes[2] = g;
        bytes[3] = b;
    } else {
        bytes[0] = r;
        bytes[1] = g;
        bytes[2] = b;
        bytes[3] = a;
    }
    bool little = (l.bitmapInfo & kCGBitmapByteOrderMask) == kCGBitmapByteOrder32Little;
    for (int i = 0; i < 4; ++i)
        out[i] = bytes[little ? 3 - i : i];
}

} // namespace

CGContextRef CGBitmapContextCreate(void* data, std::size_t width, std::size_t height, std::size_t bitsPerComponent,
    std::size_t bytesPerRow, const CGColorSpaceRef& space, CGBitmapInfo bitmapInfo)
{
    if (data || !space || !graphics::pixelCountAllowed(width, height) || width > 32767 || height > 32767)
        return nullptr;
    CGBitmapLayout layout;
    layout.width = width;
    layout.height = height;
    layout.bitsPerComponent = bitsPerComponent;
    layout.colorSpace = space;
    layout.bitmapInfo = bitmapInfo;
    if (!contextLayoutSupported(layout))
        return nullptr;
    layout.bitsPerPixel = isGrey(layout) ? 8 : 32;
    std::size_t minimum = width * layout.bitsPerPixel / 8;
    if (bytesPerRow == 0)
        bytesPerRow = (minimum + 15) / 16 * 16;
    if (bytesPerRow < minimum)
        return nullptr;
    layout.bytesPerRow = bytesPerRow;

    cairo_format_t format = layoutHasAlpha(layout) ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
    cairo_surface_t* surface = cairo_image_surface_create(format, int(width), int(height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    if (format == CAIRO_FORMAT_RGB24) { // opaque black rather than undefined
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    cairo_t* cr = cairo_create(surface);
    cairo_surface_destroy(surface); // the cairo_t keeps it
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr);
        return nullptr;
    }
    return std::make_shared<CGContext>(cr, std::move(layout), 1.0);
}

CGImageRef CGBitmapContextCreateImage(const CGContextRef& context)
{
    if (!context)
        return nullptr;
    cairo_surface_t* surface = cairo_get_target(context->cairo());
    cairo_surface_flush(surface);
    const CGBitmapLayout& l = context->layout();
    const unsigned char* src = cairo_image_surface_get_data(surface);
    const std::size_t stride = std::size_t(cairo_image_surface_get_stride(surface));
    if (!src)
        return nullptr;
    auto pixels = std::make_shared<Bytes>(l.bytesPerRow * l.height);
    if (isNativeLayout(l)) {
        for (std::size_t y = 0; y < l.height; ++y)
            std::memcpy(pixels->data() + y * l.bytesPerRow, src + y * stride, l.width * 4);
    } else {
        const std::size_t step = l.bitsPerPixel / 8;
        for (std::size_t y = 0; y < l.height; ++y) {
            const auto* in = reinterpret_cast<const std::uint32_t*>(src + y * stride);
            std::uint8_t* out = pixels->data() + y * l.bytesPerRow;
            for (std::size_t x = 0; x < l.width; ++x)
                writePixel(l, in[x], out + x * step);
        }
    }
    return CGImage::create(l, std::move(pixels));
}

std::size_t CGBitmapContextGetWidth(const CGContextRef& c) { return c ? c->layout().width : 0; }
std::size_t CGBitmapContextGetHeight(const CGContextRef& c) { return c ? c->layout().height : 0; }
std::size_t CGBitmapContextGetBytesPerRow(const CGContextRef& c) { return c ? c->layout().bytesPerRow : 0; }
std::size_t CGBitmapContextGetBitsPerComponent(const CGContextRef& c) { return c ? c->layout().bitsPerComponent : 0; }
std::size_t CGBitmapContextGetBitsPerPixel(const CGContextRef& c) { return c ? c->layout().bitsPerPixel : 0; }
CGBitmapInfo CGBitmapContextGetBitmapInfo(const CGContextRef& c) { return c ? c->layout().bitmapInfo : 0; }
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(const CGContextRef& c)
{
    return c ? c->layout().alphaInfo() : kCGImageAlphaNone;
}
CGColorSpaceRef CGBitmapContextGetColorSpace(const CGContextRef& c) { return c ? c->layout().colorSpace : nullptr; }

void CGContextSaveGState(const CGContextRef& c)
{
    if (c)
        c->save();
}

void CGContextRestoreGState(const CGContextRef& c)
{
    if (c)
        c->restore();
}

void CGContextTranslateCTM(const CGContextRef& c, CGFloat tx, CGFloat ty)
{
    if (c)
        cairo_translate(c->cairo(), tx, ty);
}

void CGContextScaleCTM(const CGContextRef& c, CGFloat sx, CGFloat sy)
{
    if (c && sx != 0 && sy != 0)
        cairo_scale(c->cairo(), sx, sy);
}

void CGContextRotateCTM(const CGContextRef& c, CGFloat angle)
{
    if (c)
        cairo_rotate(c->cairo(), angle);
}

void CGContextConcatCTM(const CGContextRef& c, CGAffineTransform t)
{
    if (!c || t.a * t.d - t.b * t.c == 0)
        return;
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(c->cairo(), &m);
}

CGAffineTransform CGContextGetCTM(const CGContextRef& c)
{
    if (!c)
        return CGAffineTransformIdentity;
    cairo_matrix_t m;
    cairo_get_matrix(c->cairo(), &m);
    return { m.xx, m.yx, m.xy, m.yy, m.x0, m.y0 };
}

void CGContextSetLineWidth(const CGContextRef& c, CGFloat width)
{
    if (c && width >= 0)
        cairo_set_line_width(c->cairo(), width);
}

void CGContextSetLineCap(const CGContextRef& c, CGLineCap cap)
{
    if (!c)
        return;
    cairo_line_cap_t v = cap == kCGLineCapRound ? CAIRO_LINE_CAP_ROUND
        : cap == kCGLineCapSquare              ? CAIRO_LINE_CAP_SQUARE
                                               : CAIRO_LINE_CAP_BUTT;
    cairo_set_line_cap(c->cairo(), v);
}

void CGContextSetLineJoin(const CGContextRef& c, CGLineJoin join)
{
    if (!c)
        return;
    cairo_line_join_t v = join == kCGLineJoinRound ? CAIRO_LINE_JOIN_ROUND
        : join == kCGLineJoinBevel                 ? CAIRO_LINE_JOIN_BEVEL
                                                   : CAIRO_LINE_JOIN_MITER;
    cairo_set_line_join(c->cairo(), v);
}

void CGContextSetMiterLimit(const CGContextRef& c, CGFloat limit)
{
    if (c)
        cairo_set_miter_limit(c->cairo(), limit);
}

void CGContextSetLineDash(const CGContextRef& c, CGFloat phase, const CGFloat* lengths, std::size_t count)
{
    if (!c)
        return;
    cairo_set_dash(c->cairo(), lengths, lengths ? int(count) : 0, phase);
}

void CGContextSetFillColorWithColor(const CGContextRef& c, const CGColor& color)
{
    if (c)
        c->state().fill = color;
}

void CGContextSetStrokeColorWithColor(const CGContextRef& c, const CGColor& color)
{
    if (c)
        c->state().stroke = color;
}

void CGContextSetRGBFillColor(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGFloat a)
{
    CGContextSetFillColorWithColor(c, CGColorCreateGenericRGB(r, g, b, a));
}

void CGContextSetRGBStrokeColor(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGFloat a)
{
    CGContextSetStrokeColorWithColor(c, CGColorCreateGenericRGB(r, g, b, a));
}

void CGContextSetGrayFillColor(const CGContextRef& c, CGFloat gray, CGFloat a)
{
    CGContextSetFillColorWithColor(c, CGColorCreateGenericGray(gray, a));
}

void CGContextSetGrayStrokeColor(const CGContextRef& c, CGFloat gray, CGFloat a)
{
    CGContextSetStrokeColorWithColor(c, CGColorCreateGenericGray(gray, a));
}

void CGContextSetAlpha(const CGContextRef& c, CGFloat alpha)
{
    if (c)
        c->state().alpha = alpha < 0 ? 0 : alpha > 1 ? 1 : alpha;
}

void CGContextSetBlendMode(const CGContextRef& c, CGBlendMode mode)
{
    if (c)
        c->state().blend = mode;
}

void CGContextSetShouldAntialias(const CGContextRef& c, bool antialias)
{
    if (c)
        cairo_set_antialias(c->cairo(), antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void CGContextSetInterpolationQuality(const CGContextRef& c, CGInterpolationQuality quality)
{
    if (c)
        c->state().interpolation = quality;
}
