// Painting on a context: fill and stroke with the state's colours, alpha and blend mode,
// clipping, linear and radial gradients, and images drawn into rectangles.
#include "platform/graphics/Context.h"

#include <cairo.h>
#include <cmath>

namespace {

cairo_operator_t operatorFor(CGBlendMode mode)
{
    switch (mode) {
    case kCGBlendModeMultiply: return CAIRO_OPERATOR_MULTIPLY;
    case kCGBlendModeScreen: return CAIRO_OPERATOR_SCREEN;
    case kCGBlendModeOverlay: return CAIRO_OPERATOR_OVERLAY;
    case kCGBlendModeDarken: return CAIRO_OPERATOR_DARKEN;
    case kCGBlendModeLighten: return CAIRO_OPERATOR_LIGHTEN;
    case kCGBlendModeColorDodge: return CAIRO_OPERATOR_COLOR_DODGE;
    case kCGBlendModeColorBurn: return CAIRO_OPERATOR_COLOR_BURN;
    case kCGBlendModeSoftLight: return CAIRO_OPERATOR_SOFT_LIGHT;
    case kCGBlendModeHardLight: return CAIRO_OPERATOR_HARD_LIGHT;
    case kCGBlendModeDifference: return CAIRO_OPERATOR_DIFFERENCE;
    case kCGBlendModeExclusion: return CAIRO_OPERATOR_EXCLUSION;
    case kCGBlendModeHue: return CAIRO_OPERATOR_HSL_HUE;
    case kCGBlendModeSaturation: return CAIRO_OPERATOR_HSL_SATURATION;
    case kCGBlendModeColor: return CAIRO_OPERATOR_HSL_COLOR;
    case kCGBlendModeLuminosity: return CAIRO_OPERATOR_HSL_LUMINOSITY;
    case kCGBlendModeClear: return CAIRO_OPERATOR_CLEAR;
    case kCGBlendModeCopy: return CAIRO_OPERATOR_SOURCE;
    case kCGBlendModeSourceIn: return CAIRO_OPERATOR_IN;
    case kCGBlendModeSourceOut: return CAIRO_OPERATOR_OUT;
    case kCGBlendModeSourceAtop: return CAIRO_OPERATOR_ATOP;
    case kCGBlendModeDestinationOver: return CAIRO_OPERATOR_DEST_OVER;
    case kCGBlendModeDestinationIn: return CAIRO_OPERATOR_DEST_IN;
    case kCGBlendModeDestinationOut: return CAIRO_OPERATOR_DEST_OUT;
    case kCGBlendModeDestinationAtop: return CAIRO_OPERATOR_DEST_ATOP;
    case kCGBlendModeXOR: return CAIRO_OPERATOR_XOR;
    case kCGBlendModePlusLighter: return CAIRO_OPERATOR_ADD;
    default: return CAIRO_OPERATOR_OVER;
    }
}

void setSource(CGContext& c, const CGColor& color)
{
    cairo_set_source_rgba(c.cairo(), color.red(), color.green(), color.blue(), color.alpha() * c.state().alpha);
    cairo_set_operator(c.cairo(), operatorFor(c.state().blend));
}

void fill(CGContext& c, bool evenOdd, bool preserve)
{
    cairo_t* cr = c.cairo();
    setSource(c, c.state().fill);
    cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    if (preserve)
        cairo_fill_preserve(cr);
    else
        cairo_fill(cr);
}

void stroke(CGContext& c)
{
    setSource(c, c.state().stroke);
    cairo_stroke(c.cairo());
}

// Keeps the caller's path across an operation that needs a path of its own.
class PathGuard {
public:
    explicit PathGuard(cairo_t* cr)
        : cr_(cr)
        , path_(cairo_copy_path(cr))
    {
        cairo_new_path(cr);
    }
    ~PathGuard()
    {
        cairo_new_path(cr_);
        if (path_->status == CAIRO_STATUS_SUCCESS)
            cairo_append_path(cr_, path_);
        cairo_path_destroy(path_);
    }
    PathGuard(const PathGuard&) = delete;
    PathGuard& operator=(const PathGuard&) = delete;

private:
    cairo_t* cr_;
    cairo_path_t* path_;
};

void addStops(cairo_pattern_t* pattern, const CGGradient& gradient)
{
    for (const CGGradient::Stop& s : gradient.stops())
        cairo_pattern_add_color_stop_rgba(pattern, s.location, s.r, s.g, s.b, s.a);
}

// Paints `pattern` over the clip (restricted to the current path when there is one).
void paintPattern(CGContext& c, cairo_pattern_t* pattern)
{
    cairo_t* cr = c.cairo();
    cairo_set_source(cr, pattern);
    cairo_set_operator(cr, operatorFor(c.state().blend));
    if (cairo_has_current_point(cr))
        cairo_fill(cr);
    else if (c.state().alpha < 1)
        cairo_paint_with_alpha(cr, c.state().alpha);
    else
        cairo_paint(cr);
}

constexpr double kFar = 1e5; // "unbounded" in user units, well inside Cairo's coordinate range

} // namespace

void CGContextFillPath(const CGContextRef& c)
{
    if (c)
        fill(*c, false, false);
}

void CGContextEOFillPath(const CGContextRef& c)
{
    if (c)
        fill(*c, true, false);
}

void CGContextStrokePath(const CGContextRef& c)
{
    if (c)
        stroke(*c);
}

void CGContextDrawPath(const CGContextRef& c, CGPathDrawingMode mode)
{
    if (!c)
        return;
    switch (mode) {
    case kCGPathFill:
    case kCGPathEOFill:
        fill(*c, mode == kCGPathEOFill, false);
        break;
    case kCGPathStroke:
        stroke(*c);
        break;
    case kCGPathFillStroke:
    case kCGPathEOFillStroke:
        fill(*c, mode == kCGPathEOFillStroke, true);
        stroke(*c);
        break;
    }
}

void CGContextFillRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    CGContextBeginPath(c);
    CGContextAddRect(c, rect);
    fill(*c, false, false);
}

void CGContextStrokeRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    CGContextBeginPath(c);
    CGContextAddRect(c, rect);
    stroke(*c);
}

void CGContextStrokeRectWithWidth(const CGContextRef& c, CGRect rect, CGFloat width)
{
    if (!c)
        return;
    cairo_save(c->cairo());
    cairo_set_line_width(c->cairo(), width);
    CGContextStrokeRect(c, rect);
    cairo_restore(c->cairo());
}

void CGContextClearRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    cairo_t* cr = c->cairo();
    cairo_save(cr);
    cairo_new_path(cr);
    CGContextAddRect(c, rect);
    bool opaque = cairo_image_surface_get_format(cairo_get_target(cr)) == CAIRO_FORMAT_RGB24;
    cairo_set_source_rgba(cr, 0, 0, 0, opaque ? 1 : 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_fill(cr);
    cairo_restore(cr);
}

void CGContextFillEllipseInRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    CGContextBeginPath(c);
    CGContextAddEllipseInRect(c, rect);
    fill(*c, false, false);
}

void CGContextStrokeEllipseInRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    CGContextBeginPath(c);
    CGContextAddEllipseInRect(c, rect);
    stroke(*c);
}

void CGContextClip(const CGContextRef& c)
{
    if (!c)
        return;
    cairo_set_fill_rule(c->cairo(), CAIRO_FILL_RULE_WINDING);
    cairo_clip(c->cairo());
}

void CGContextEOClip(const CGContextRef& c)
{
    if (!c)
        return;
    cairo_set_fill_rule(c->cairo(), CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(c->cairo());
    cairo_set_fill_rule(c->cairo(), CAIRO_FILL_RULE_WINDING);
}

void CGContextClipToRect(const CGContextRef& c, CGRect rect)
{
    if (!c)
        return;
    PathGuard guard(c->cairo());
    CGContextAddRect(c, rect);
    cairo_clip(c->cairo());
}

CGRect CGContextGetClipBoundingBox(const CGContextRef& c)
{
    if (!c)
        return CGRectNull;
    double x1, y1, x2, y2;
    cairo_clip_extents(c->cairo(), &x1, &y1, &x2, &y2);
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

void CGContextDrawLinearGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint start, CGPoint end,
    CGGradientDrawingOptions options)
{
    if (!c || !gradient)
        return;
    cairo_t* cr = c->cairo();
    PathGuard guard(cr);
    double dx = end.x - start.x, dy = end.y - start.y, len = std::hypot(dx, dy);
    if (len == 0)
        return;
    // The painted band: between the ends, extended by the options.
    double ux = dx / len, uy = dy / len, nx = -uy, ny = ux;
    double t0 = (options & kCGGradientDrawsBeforeStartLocation) ? -kFar : 0;
    double t1 = (options & kCGGradientDrawsAfterEndLocation) ? len + kFar : len;
    cairo_move_to(cr, start.x + ux * t0 + nx * kFar, start.y + uy * t0 + ny * kFar);
    cairo_line_to(cr, start.x + ux * t1 + nx * kFar, start.y + uy * t1 + ny * kFar);
    cairo_line_to(cr, start.x + ux * t1 - nx * kFar, start.y + uy * t1 - ny * kFar);
    cairo_line_to(cr, start.x + ux * t0 - nx * kFar, start.y + uy * t0 - ny * kFar);
    cairo_close_path(cr);
    cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    addStops(pattern, *gradient);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_save(cr);
    cairo_clip(cr);
    paintPattern(*c, pattern);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
}

void CGContextDrawRadialGradient(const CGContextRef& c, const CGGradientRef& gradient, CGPoint startCenter,
    CGFloat startRadius, CGPoint endCenter, CGFloat endRadius, CGGradientDrawingOptions options)
{
    if (!c || !gradient || startRadius < 0 || endRadius < 0)
        return;
    cairo_t* cr = c->cairo();
    PathGuard guard(cr);
    bool before = options & kCGGradientDrawsBeforeStartLocation;
    bool after = options & kCGGradientDrawsAfterEndLocation;
    cairo_pattern_t* pattern
        = cairo_pattern_create_radial(startCenter.x, startCenter.y, startRadius, endCenter.x, endCenter.y, endRadius);
    addStops(pattern, *gradient);
    cairo_pattern_set_extend(pattern, (before || after) ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    cairo_save(cr);
    const double pi2 = 2 * 3.14159265358979323846;
    if (before && !after) { // inside the end circle only
        cairo_arc(cr, endCenter.x, endCenter.y, endRadius, 0, pi2);
        cairo_clip(cr);
    } else if (after && !before && startRadius > 0) { // outside the start circle only
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_rectangle(cr, -kFar, -kFar, 2 * kFar, 2 * kFar);
        cairo_new_sub_path(cr);
        cairo_arc(cr, startCenter.x, startCenter.y, startRadius, 0, pi2);
        cairo_clip(cr);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    }
    paintPattern(*c, pattern);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
}

void CGContextDrawImage(const CGContextRef& c, CGRect rect, const CGImageRef& image)
{
    if (!c || !image)
        return;
    rect = CGRectStandardize(rect);
    if (CGRectIsEmpty(rect))
        return;
    cairo_surface_t* surface = image->cairoSurface();
    if (!surface)
        return;
    cairo_t* cr = c->cairo();
    PathGuard guard(cr);
    const double w = double(image->width()), h = double(image->height());
    cairo_save(cr);
    cairo_translate(cr, rect.origin.x, rect.origin.y);
    cairo_scale(cr, rect.size.width / w, rect.size.height / h);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_clip(cr);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_filter_t filter = CAIRO_FILTER_GOOD;
    if (c->state().interpolation == kCGInterpolationNone)
        filter = CAIRO_FILTER_NEAREST;
    else if (c->state().interpolation == kCGInterpolationHigh)
        filter = CAIRO_FILTER_BEST;
    cairo_pattern_set_filter(pattern, filter);
    cairo_set_operator(cr, operatorFor(c->state().blend));
    cairo_paint_with_alpha(cr, c->state().alpha);
    cairo_restore(cr);
}

CGGradientRef CGGradientCreateWithColorComponents(const CGColorSpaceRef& space, const CGFloat* components,
    const CGFloat* locations, std::size_t count)
{
    CGColorSpaceModel model = CGColorSpaceGetModel(space);
    if (!components || count == 0 || (model != kCGColorSpaceModelRGB && model != kCGColorSpaceModelMonochrome))
        return nullptr;
    std::vector<CGGradient::Stop> stops;
    const std::size_t n = model == kCGColorSpaceModelRGB ? 4 : 2;
    for (std::size_t i = 0; i < count; ++i) {
        const CGFloat* p = components + i * n;
        double location = locations ? locations[i] : (count == 1 ? 0 : double(i) / double(count - 1));
        if (n == 4)
            stops.push_back({ location, p[0], p[1], p[2], p[3] });
        else
            stops.push_back({ location, p[0], p[0], p[0], p[1] });
    }
    return std::make_shared<const CGGradient>(std::move(stops));
}

CGGradientRef CGGradientCreateWithColors(const CGColorSpaceRef&, const std::vector<CGColor>& colors,
    const CGFloat* locations)
{
    if (colors.empty())
        return nullptr;
    std::vector<CGGradient::Stop> stops;
    const std::size_t count = colors.size();
    for (std::size_t i = 0; i < count; ++i) {
        const CGColor& c = colors[i];
        double location = locations ? locations[i] : (count == 1 ? 0 : double(i) / double(count - 1));
        stops.push_back({ location, c.red(), c.green(), c.blue(), c.alpha() });
    }
    return std::make_shared<const CGGradient>(std::move(stops));
}
