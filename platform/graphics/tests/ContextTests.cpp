// Drawing: bitmap context layouts, arc direction, tangent arcs, rounded rectangles, clipping,
// the radial gradient, state save/restore, alpha and blend modes, images drawn into
// rectangles, and the image-context stack.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/graphics/Context.h"
#include "platform/graphics/UIImage.h"

namespace {

constexpr double pi = std::numbers::pi;

CGContextRef rgbaContext(int w, int h)
{
    return CGBitmapContextCreate(nullptr, std::size_t(w), std::size_t(h), 8, 0, CGColorSpaceCreateDeviceRGB(),
        kCGImageAlphaPremultipliedLast);
}

std::array<std::uint8_t, 4> pixel(const CGContextRef& c, int x, int y)
{
    return CGBitmapContextCreateImage(c)->rgbaAt(std::size_t(x), std::size_t(y));
}

bool painted(const CGContextRef& c, int x, int y) { return pixel(c, x, y)[3] > 200; }
bool empty(const CGContextRef& c, int x, int y) { return pixel(c, x, y)[3] == 0; }

// Every point of `inked` painted and every point of `blank` untouched.
::testing::AssertionResult ink(const CGContextRef& c, std::initializer_list<std::pair<int, int>> inked,
    std::initializer_list<std::pair<int, int>> blank)
{
    for (auto [x, y] : inked)
        if (!painted(c, x, y))
            return ::testing::AssertionFailure() << "(" << x << "," << y << ") is not painted";
    for (auto [x, y] : blank)
        if (!empty(c, x, y))
            return ::testing::AssertionFailure() << "(" << x << "," << y << ") is painted";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(BitmapContext, LayoutsItAcceptsAndTheBytesItProduces)
{
    struct Case {
        CGBitmapInfo info;
        std::array<std::uint8_t, 4> redBytes;
    };
    const Case cases[] = {
        { kCGImageAlphaPremultipliedLast, { 255, 0, 0, 255 } },
        { kCGImageAlphaPremultipliedFirst, { 255, 255, 0, 0 } },
        { kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, { 0, 0, 255, 255 } },
        { kCGImageAlphaNoneSkipLast, { 255, 0, 0, 255 } },
        { kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little, { 0, 0, 255, 255 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.info);
        CGContextRef ctx = CGBitmapContextCreate(nullptr, 3, 2, 8, 0, CGColorSpaceCreateDeviceRGB(), c.info);
        ASSERT_TRUE(ctx);
        CGContextSetRGBFillColor(ctx, 1, 0, 0, 1);
        CGContextFillRect(ctx, CGRectMake(0, 0, 3, 2));
        CGImageRef img = CGBitmapContextCreateImage(ctx);
        ASSERT_TRUE(img);
        EXPECT_EQ(img->bitmapInfo(), c.info);
        EXPECT_EQ(img->bitsPerPixel(), 32u);
        const std::uint8_t* p = img->row(1) + 4;
        EXPECT_EQ((std::array<std::uint8_t, 4> { p[0], p[1], p[2], p[3] }), c.redBytes);
    }
    CGContextRef grey = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone);
    ASSERT_TRUE(grey);
    CGContextSetGrayFillColor(grey, 0.5, 1);
    CGContextFillRect(grey, CGRectMake(0, 0, 4, 4));
    CGImageRef g = CGBitmapContextCreateImage(grey);
    EXPECT_EQ(g->bitsPerPixel(), 8u);
    EXPECT_NEAR(g->row(2)[2], 128, 1);
}

TEST(BitmapContext, RefusesUnsupportedOrOversizedLayouts)
{
    auto rgb = CGColorSpaceCreateDeviceRGB();
    std::uint8_t buffer[64];
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, CGColorSpaceCreateDeviceCMYK(), kCGImageAlphaNone));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, CGColorSpaceCreateDeviceCMYK(), kCGImageAlphaPremultipliedLast));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 16, 0, rgb, kCGImageAlphaPremultipliedLast));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, kCGImageAlphaLast));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, kCGImageAlphaNone));
    EXPECT_FALSE(CGBitmapContextCreate(buffer, 4, 4, 8, 16, rgb, kCGImageAlphaPremultipliedLast));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 8, rgb, kCGImageAlphaPremultipliedLast)); // row too short
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 0, 4, 8, 0, rgb, kCGImageAlphaPremultipliedLast));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 100000, 100000, 8, 0, rgb, kCGImageAlphaPremultipliedFirst));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, nullptr, kCGImageAlphaPremultipliedFirst));
}

TEST(Paths, ArcDirectionFlagInTopLeftSpace)
{
    // A wedge from the centre along the arc, filled.
    auto wedge = [](int clockwiseFlag) {
        CGContextRef c = rgbaContext(40, 40);
        CGContextMoveToPoint(c, 20, 20);
        CGContextAddArc(c, 20, 20, 18, -pi / 2, 0, clockwiseFlag);
        CGContextClosePath(c);
        CGContextFillPath(c);
        return c;
    };
    // Flag 0 from -pi/2 (up) to 0 (right) sweeps clockwise on screen: the top-right quarter.
    EXPECT_TRUE(ink(wedge(0), { { 28, 12 } }, { { 12, 12 }, { 28, 28 } }));
    // Flag 1 over the same angles takes the other three quarters.
    EXPECT_TRUE(ink(wedge(1), { { 12, 12 }, { 28, 28 } }, { { 28, 12 } }));

    // A sweep of more than a turn is one full circle; equal angles draw no arc.
    CGContextRef e = rgbaContext(40, 40);
    CGContextAddArc(e, 20, 20, 10, 0, 5 * pi, 0);
    CGContextEOFillPath(e);
    EXPECT_TRUE(painted(e, 20, 20));
    CGContextRef f = rgbaContext(40, 40);
    CGContextMoveToPoint(f, 20, 20);
    CGContextAddArc(f, 20, 20, 10, -pi / 2, -pi / 2, 0);
    CGContextAddArc(f, 20, 20, -3, 0, pi, 0); // negative radius adds nothing
    CGContextClosePath(f);
    CGContextFillPath(f);
    EXPECT_TRUE(empty(f, 20, 15));
}

TEST(Paths, TangentArcsRoundTheBarOutline)
{
    // The outline of a 120 × 20 bar built from tangent arcs of radius h/2 - 2 = 8.
    const double w = 120, h = 20, r = h / 2 - 2;
    CGContextRef c = rgbaContext(120, 20);
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextMoveToPoint(c, 2, h / 2);
    CGContextAddArcToPoint(c, 2, 2, r + 2, 2, r);
    CGContextAddLineToPoint(c, w - r - 2, 2);
    CGContextAddArcToPoint(c, w - 2, 2, w - 2, h / 2, r);
    CGContextAddArcToPoint(c, w - 2, h - 2, w - r - 2, h - 2, r);
    CGContextAddLineToPoint(c, r + 2, h - 2);
    CGContextAddArcToPoint(c, 2, h - 2, 2, h / 2, r);
    CGContextFillPath(c);
    // Corners are cut round; the ends reach x = 2 at mid-height; the top edge is straight.
    EXPECT_TRUE(ink(c, { { 3, 10 }, { 60, 3 }, { 116, 10 } }, { { 3, 3 }, { 116, 16 } }));

    // Collinear points give a straight line to the corner.
    CGContextRef d = rgbaContext(10, 10);
    CGContextMoveToPoint(d, 0, 0);
    CGContextAddArcToPoint(d, 5, 5, 9, 9, 3);
    EXPECT_EQ(CGContextGetPathCurrentPoint(d), CGPointMake(5, 5));
}

TEST(Paths, RoundedRectAndEllipse)
{
    CGContextRef c = rgbaContext(40, 40);
    graphics::addRoundedRect(c, CGRectMake(0, 0, 40, 40), 10);
    CGContextFillPath(c);
    EXPECT_TRUE(ink(c, { { 20, 1 }, { 5, 5 } }, { { 1, 1 }, { 38, 38 } }));

    CGContextRef e = rgbaContext(40, 20);
    CGContextFillEllipseInRect(e, CGRectMake(0, 0, 40, 20));
    EXPECT_TRUE(ink(e, { { 20, 10 }, { 2, 10 } }, { { 2, 2 } }));
}

TEST(Painting, ClipStateAlphaAndBlendModes)
{
    CGContextRef c = rgbaContext(20, 20);
    CGContextSaveGState(c);
    CGContextClipToRect(c, CGRectMake(0, 0, 10, 20));
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    EXPECT_EQ(CGContextGetClipBoundingBox(c), CGRectMake(0, 0, 10, 20));
    CGContextRestoreGState(c);
    EXPECT_TRUE(ink(c, { { 5, 5 } }, { { 15, 5 } }));
    // Restored: full clip, black fill.
    CGContextFillRect(c, CGRectMake(15, 15, 5, 5));
    EXPECT_EQ(pixel(c, 17, 17), (std::array<std::uint8_t, 4> { 0, 0, 0, 255 }));

    // Global alpha multiplies; copy replaces; clear erases.
    CGContextRef a = rgbaContext(10, 10);
    CGContextSetAlpha(a, 0.5);
    CGContextSetRGBFillColor(a, 0, 0, 1, 1);
    CGContextFillRect(a, CGRectMake(0, 0, 10, 10));
    EXPECT_NEAR(pixel(a, 5, 5)[3], 128, 1);
    CGContextSetAlpha(a, 1);
    CGContextSetBlendMode(a, kCGBlendModeCopy);
    CGContextSetRGBFillColor(a, 0, 1, 0, 0.25);
    CGContextFillRect(a, CGRectMake(0, 0, 5, 10));
    EXPECT_NEAR(pixel(a, 2, 5)[3], 64, 1);
    EXPECT_EQ(pixel(a, 2, 5)[1], 255);
    CGContextSetBlendMode(a, kCGBlendModeClear);
    CGContextFillRect(a, CGRectMake(5, 0, 5, 10));
    EXPECT_TRUE(empty(a, 7, 5));
}

TEST(Gradients, RadialDimmingPastItsEnd)
{
    // Black from alpha 0 at the centre to 0.75 at radius min(W, H), continued beyond it.
    CGFloat comps[] = { 0, 0, 0, 0, 0, 0, 0, 0.75 };
    CGFloat locations[] = { 0, 1 };
    auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), comps, locations, 2);
    CGContextRef c = rgbaContext(100, 60);
    CGContextDrawRadialGradient(c, gradient, CGPointMake(50, 30), 0, CGPointMake(50, 30), 30,
        kCGGradientDrawsAfterEndLocation);
    EXPECT_LE(pixel(c, 50, 30)[3], 8);
    EXPECT_NEAR(pixel(c, 65, 30)[3], 96, 8);
    EXPECT_NEAR(pixel(c, 2, 2)[3], 191, 2);

    CGContextRef bounded = rgbaContext(100, 60);
    CGContextDrawRadialGradient(bounded, gradient, CGPointMake(50, 30), 0, CGPointMake(50, 30), 30, 0);
    EXPECT_TRUE(empty(bounded, 2, 2));
}

TEST(DrawImage, ScaledUprightNegativeOriginAndPartialRowsAtTop)
{
    // A 100 × 50 source: left half red, right half blue.
    CGContextRef src = rgbaContext(100, 50);
    CGContextSetRGBFillColor(src, 1, 0, 0, 1);
    CGContextFillRect(src, CGRectMake(0, 0, 50, 50));
    CGContextSetRGBFillColor(src, 0, 0, 1, 1);
    CGContextFillRect(src, CGRectMake(50, 0, 50, 50));
    CGImageRef image = CGBitmapContextCreateImage(src);

    // Aspect fill into 50 × 50: drawn 100 wide at x = -25.
    CGContextRef c = rgbaContext(50, 50);
    CGContextDrawImage(c, CGRectMake(-25, 0, 100, 50), image);
    EXPECT_EQ(pixel(c, 10, 25), (std::array<std::uint8_t, 4> { 255, 0, 0, 255 }));
    EXPECT_EQ(pixel(c, 40, 25), (std::array<std::uint8_t, 4> { 0, 0, 255, 255 }));

    // A 10-row image drawn at (0, 0, w, 10) in a 40-row context lands at the top.
    CGContextRef strip = rgbaContext(20, 10);
    CGContextSetRGBFillColor(strip, 0, 1, 0, 1);
    CGContextFillRect(strip, CGRectMake(0, 0, 20, 10));
    CGContextRef tall = CGBitmapContextCreate(nullptr, 20, 40, 8, 80, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
    CGContextDrawImage(tall, CGRectMake(0, 0, 20, 10), CGBitmapContextCreateImage(strip));
    EXPECT_TRUE(ink(tall, { { 10, 5 } }, { { 10, 30 } }));

    // Drawing an image keeps the path under construction.
    CGContextMoveToPoint(tall, 1, 2);
    CGContextDrawImage(tall, CGRectMake(0, 0, 5, 5), image);
    EXPECT_EQ(CGContextGetPathCurrentPoint(tall), CGPointMake(1, 2));
}

TEST(ImageContext, ScaleStackAndOpaqueLayout)
{
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(10, 5), false, 2);
    CGContextRef outer = UIGraphicsGetCurrentContext();
    ASSERT_TRUE(outer);
    EXPECT_EQ(CGBitmapContextGetWidth(outer), 20u);
    CGContextSetRGBFillColor(outer, 1, 0, 0, 1);
    CGContextFillRect(outer, CGRectMake(0, 0, 5, 5)); // points: the left half

    UIImageRef image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(10, 5));
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->CGImage()->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(image->CGImage()->rgbaAt(9, 5), (std::array<std::uint8_t, 4> { 255, 0, 0, 255 }));
    EXPECT_EQ(image->CGImage()->rgbaAt(10, 5)[3], 0);

    graphics::setMainScreenScale(3);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(1, 1), true, 0);
    UIImageRef opaque = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    graphics::setMainScreenScale(2);
    EXPECT_EQ(opaque->scale(), 3);
    EXPECT_EQ(opaque->CGImage()->alphaInfo(), kCGImageAlphaNoneSkipFirst);

    UIGraphicsBeginImageContextWithOptions(CGSizeZero, false, 1); // no context, but a place on the stack
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
    UIGraphicsEndImageContext();
}
