// The per-thread stack of current drawing contexts and the image contexts that make UIImages.
#include <atomic>
#include <cairo.h>
#include <cmath>
#include <vector>

#include "platform/graphics/UIImage.h"

namespace {

struct Entry {
    CGContextRef context;
    bool imageContext;
};

thread_local std::vector<Entry> stack;
std::atomic<double> screenScale { 2.0 };

} // namespace

namespace graphics {

double mainScreenScale() { return screenScale.load(); }
void setMainScreenScale(double scale) { screenScale.store(scale > 0 ? scale : 1.0); }

} // namespace graphics

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        scale = graphics::mainScreenScale();
    CGContextRef context;
    double w = std::ceil(size.width * scale - 1e-9), h = std::ceil(size.height * scale - 1e-9);
    if (w >= 1 && h >= 1 && w <= 32767 && h <= 32767) {
        CGBitmapInfo info
            = kCGBitmapByteOrder32Little | (opaque ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst);
        context = CGBitmapContextCreate(nullptr, std::size_t(w), std::size_t(h), 8, 0, CGColorSpaceCreateDeviceRGB(), info);
    }
    if (context) {
        context->setScale(scale);
        cairo_scale(context->cairo(), scale, scale);
    }
    // A failed context still takes a place, so that the matching end pops the right entry.
    stack.push_back({ context, true });
}

void UIGraphicsBeginImageContext(CGSize size) { UIGraphicsBeginImageContextWithOptions(size, false, 1.0); }

CGContextRef UIGraphicsGetCurrentContext() { return stack.empty() ? nullptr : stack.back().context; }

UIImageRef UIGraphicsGetImageFromCurrentImageContext()
{
    if (stack.empty() || !stack.back().imageContext || !stack.back().context)
        return nullptr;
    const CGContextRef& c = stack.back().context;
    return UIImage::imageWithCGImage(CGBitmapContextCreateImage(c), c->scale());
}

void UIGraphicsEndImageContext()
{
    if (!stack.empty() && stack.back().imageContext)
        stack.pop_back();
}

void UIGraphicsPushContext(const CGContextRef& context) { stack.push_back({ context, false }); }

void UIGraphicsPopContext()
{
    if (!stack.empty() && !stack.back().imageContext)
        stack.pop_back();
}
