// CGContext: drawing over Cairo, with the platform's C-style drawing functions.
//
// Coordinates: every context here has its origin at the top left and y growing downwards,
// as views see them. A bitmap context's first row of memory is its top row, and an image
// drawn into a rectangle appears upright in it. Positive rotation angles turn from +x
// towards +y (clockwise on screen). Arc angles are measured the same way; the `clockwise`
// flag of CGContextAddArc chooses the direction: 0 sweeps with increasing angles (clockwise
// on screen), 1 with decreasing angles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

typedef struct _cairo cairo_t;

enum CGLineCap : int { kCGLineCapButt = 0, kCGLineCapRound = 1, kCGLineCapSquare = 2 };
enum CGLineJoin : int { kCGLineJoinMiter = 0, kCGLineJoinRound = 1, kCGLineJoinBevel = 2 };
enum CGPathDrawingMode : int {
    kCGPathFill = 0,
    kCGPathEOFill = 1,
    kCGPathStroke = 2,
    kCGPathFillStroke = 3,
    kCGPathEOFillStroke = 4,
};
enum CGBlendMode : int {
    kCGBlendModeNormal = 0,
    kCGBlendModeMultiply,
    kCGBlendModeScreen,
    kCGBlendModeOverlay,
    kCGBlendModeDarken,
    kCGBlendModeLighten,
    kCGBlendModeColorDodge,
    kCGBlendModeColorBurn,
    kCGBlendModeSoftLight,
    kCGBlendModeHardLight,
    kCGBlendModeDifference,
    kCGBlendModeExclusion,
    kCGBlendModeHue,
    kCGBlendModeSaturation,
    kCGBlendModeColor,
    kCGBlendModeLuminosity,
    kCGBlendModeClear,
    kCGBlendModeCopy,
    kCGBlendModeSourceIn,
    kCGBlendModeSourceOut,
    kCGBlendModeSourceAtop,
    kCGBlendModeDestinationOver,
    kCGBlendModeDestinationIn,
    kCGBlendModeDestinationOut,
    kCGBlendModeDestinationAtop,
    kCGBlendModeXOR,
    kCGBlendModePlusDarker,
    kCGBlendModePlusLighter,
};
enum CGInterpolationQuality : int {
    kCGInterpolationDefault = 0,
    kCGInterpolationNone = 1,
    kCGInterpolationLow = 2,
    kCGInterpolationHigh = 3,
    kCGInterpolationMedium = 4,
};

using CGGradientDrawingOptions = std::uint32_t;
inline constexpr CGGradientDrawingOptions kCGGradientDrawsBeforeStartLocation = 1;
inline constexpr CGGradientDrawingOptions kCGGradientDrawsAfterEndLocation = 2;

// A gradient: colour stops (location 0...1, RGBA) in increasing location order.
class CGGradient {
public:
    struct Stop {
        double location;
        double r, g, b, a;
    };
    explicit CGGradient(std::vector<Stop> stops)
        : stops_(std::move(stops))
    {
    }
    const std::vector<Stop>& stops() const { return stops_; }

private:
    std::vector<Stop> stops_;
};
using CGGradientRef = std::shared_ptr<const CGGradient>;

// `components` holds count colours in the space's components plus alpha (RGB: 4 each, grey: 2).
// Without locations the stops spread evenly from 0 to 1. Null for other spaces or count 0.
CGGradientRef CGGradientCreateWithColorComponents(const CGColorSpaceRef& space, const CGFloat* components,
    const CGFloat* locations, std::size_t count);
CGGradientRef CGGradientCreateWithColors(const CGColorSpaceRef& space, const std::vector<CGColor>& colors,
    const CGFloat* locations);

// A recorded path that can be added to a context, optionally transformed.
class CGPath {
public:
    enum class Op { Move, Line, Quad, Curve, Arc, ArcTo, Rect, Ellipse, Close };
    struct Element {
        Op op;
        double v[7];
        CGAffineTransform transform;
    };
    const std::vector<Element>& elements() const { return elements_; }
    void add(Element e) { elements_.push_back(e); }
    bool isEmpty() const { return elements_.empty(); }

private:
    std::vector<Element> elements_;
};
using CGMutablePathRef = std::shared_ptr<CGPath>;
using CGPathRef = std::shared_ptr<const CGPath>;

CGMutablePathRef CGPathCreateMutable();
void CGPathMoveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y);
void CGPathAddLineToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y);
void CGPathAddQuadCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cpx, CGFloat cpy,
    CGFloat x, CGFloat y);
void CGPathAddCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cp1x, CGFloat cp1y,
    CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y);
void CGPathAddArc(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y, CGFloat radius,
    CGFloat startAngle, CGFloat endAngle, bool clockwise);
void CGPathAddArcToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x1, CGFloat y1,
    CGFloat x2, CGFloat y2, CGFloat radius);
void CGPathAddRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect);
void CGPathAddEllipseInRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect);
void CGPathCloseSubpath(const CGMutablePathRef& path);
bool CGPathIsEmpty(const CGPathRef& path);

class CGContext {
public:
    struct State {
        CGColor fill = CGColorCreateGenericGray(0, 1);
        CGColor stroke = CGColorCreateGenericGray(0, 1);
        double alpha = 1;
        CGBlendMode blend = kCGBlendModeNormal;
        CGInterpolationQuality interpolation = kCGInterpolationDefault;
    };

    CGContext(cairo_t* cr, CGBitmapLayout layout, double scale);
    ~CGContext();
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;

    cairo_t* cairo() const { return cr_; }
    const CGBitmapLayout& layout() const { return layout_; }
    // Pixels per user unit at creation (the image context's scale; 1 for bitmap contexts).
    double scale() const { return scale_; }
    void setScale(double scale) { scale_ = scale; }
    State& state() { return state_; }
    void save();
    void restore();

private:
    cairo_t* cr_;
    CGBitmapLayout layout_;
    double scale_;
    State state_;
    std::vector<State> saved_;
};
using CGContextRef = std::shared_ptr<CGContext>;

// Bitmap contexts. Supported: device RGB, 8 bits per component, 32 bits per pixel with
// premultiplied-first/last or none-skip-first/last alpha (any 32-bit byte order), and device
// grey, 8 bits, no alpha. `data` must be null (the context owns its memory); bytesPerRow 0
// lets the context choose. Anything else, or more pixels than the cap, gives null.
// A new context is transparent black (opaque black for layouts without alpha).
CGContextRef CGBitmapContextCreate(void* data, std::size_t width, std::size_t height, std::size_t bitsPerComponent,
    std::size_t bytesPerRow, const CGColorSpaceRef& space, CGBitmapInfo bitmapInfo);
// An image of the context's pixels in the context's own layout.
CGImageRef CGBitmapContextCreateImage(const CGContextRef& context);
std::size_t CGBitmapContextGetWidth(const CGContextRef& context);
std::size_t CGBitmapContextGetHeight(const CGContextRef& context);
std::size_t CGBitmapContextGetBytesPerRow(const CGContextRef& context);
std::size_t CGBitmapContextGetBitsPerComponent(const CGContextRef& context);
std::size_t CGBitmapContextGetBitsPerPixel(const CGContextRef& context);
CGBitmapInfo CGBitmapContextGetBitmapInfo(const CGContextRef& context);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(const CGContextRef& context);
CGColorSpaceRef CGBitmapContextGetColorSpace(const CGContextRef& context);

// Graphics state: colours, alpha, blend mode, line settings, clip and CTM are saved and
// restored together; the current path is not part of it.
void CGContextSaveGState(const CGContextRef& c);
void CGContextRestoreGState(const CGContextRef& c);
void CGContextTranslateCTM(const CGContextRef& c, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(const CGContextRef& c, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(const CGContextRef& c, CGFloat angle);
void CGContextConcatCTM(const CGContextRef& c, CGAffineTransform t);
CGAffineTransform CGContextGetCTM(const CGContextRef& c);

void CGContextSetLineWidth(const CGContextRef& c, CGFloat width);
void CGContextSetLineCap(const CGContextRef& c, CGLineCap cap);
void CGContextSetLineJoin(const CGContextRef& c, CGLineJoin join);
void CGContextSetMiterLimit(const CGContextRef& c, CGFloat limit);
void CGContextSetLineDash(const CGContextRef& c, CGFloat phase, const CGFloat* lengths, std::size_t count);
void CGContextSetFillColorWithColor(const CGContextRef& c, const CGColor& color);
void CGContextSetStrokeColorWithColor(const CGContextRef& c, const CGColor& color);
void CGContextSetRGBFillColor(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGFloat a);
void CGContextSetRGBStrokeColor(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGFloat a);
void CGContextSetGrayFillColor(const CGContextRef& c, CGFloat gray, CGFloat a);
void CGContextSetGrayStrokeColor(const CGContextRef& c, CGFloat gray, CGFloat a);
void CGContextSetAlpha(const CGContextRef& c, CGFloat alpha); // multiplies everything drawn
void CGContextSetBlendMode(const CGContextRef& c, CGBlendMode mode);
void CGContextSetShouldAntialias(const CGContextRef& c, bool antialias);
void CGContextSetInterpolationQuality(const CGContextRef& c, CGInterpolationQuality quality);

// Paths.
void CGContextBeginPath(const CGContextRef& c);
void CGContextMoveToPoint(const CGContextRef& c, CGFloat x, CGFloat y);
void CGContextAddLineToPoint(const CGContextRef& c, CGFloat x, CGFloat y);
void CGContextAddCurveToPoint(const CGContextRef& c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y,
    CGFloat x, CGFloat y);
void CGContextAddQuadCurveToPoint(const CGContextRef& c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
// A line from the current point (if any) to the arc's start, then the arc. A sweep of a full
// turn or more draws one full circle; a negative radius adds nothing.
void CGContextAddArc(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle,
    CGFloat endAngle, int clockwise);
// The arc of `radius` tangent to the line from the current point to (x1, y1) and to the line
// from (x1, y1) to (x2, y2), preceded by a line to its first tangent point. Degenerate cases
// (collinear points, zero radius) add a line to (x1, y1).
void CGContextAddArcToPoint(const CGContextRef& c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius);
void CGContextAddRect(const CGContextRef& c, CGRect rect);
void CGContextAddEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextAddPath(const CGContextRef& c, const CGPathRef& path);
void CGContextClosePath(const CGContextRef& c);
bool CGContextIsPathEmpty(const CGContextRef& c);
CGPoint CGContextGetPathCurrentPoint(const CGContextRef& c);

// Painting. Each consumes the current path.
void CGContextFillPath(const CGContextRef& c);
void CGContextEOFillPath(const CGContextRef& c);
void CGContextStrokePath(const CGContextRef& c);
void CGContextDrawPath(const CGContextRef& c, CGPathDrawingMode mode);
void CGContextFillRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeRectWithWidth(const CGContextRef& c, CGRect rect, CGFloat width);
void CGContextClearRect(const CGContextRef& c, CGRect rect); // transparent (black where there is no alpha)
void CGContextFillEllipseInRect(const CGContextRef& c, CGRect rect);
void CGContextStrokeEllipseInRect(const CGContextRef& c, CGRect rect);

// Clipping: intersects the clip with the current path (consumed) or a rectangle.
void CGContextClip(const CGContextRef& c);
void CGContextEOClip(const CGContextRef& c);
void CGContextClipToRect(const CGContextRef& c, CGRect rect);
CGRect CGContextGetClipBoundingBox(const CGContextRef& c);

// Gradients fill the clip between their ends; the options extend them before the start and
// after the end. The current path is left alone.
void CGContextDrawLinearGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint start, CGPoint end,
    CGGradientDrawingOptions options);
void CGContextDrawRadialGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startCenter,
    CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options);

// Draws the image upright, scaled to fill `rect` (which may lie partly outside the context).
void CGContextDrawImage(const CGContextRef& c, CGRect rect, const CGImageRef& image);

namespace graphics {

// A rounded rectangle path (corner radius clamped to half the shorter side).
void addRoundedRect(const CGContextRef& c, CGRect rect, CGFloat radius);

} // namespace graphics
