// Path construction on a context (lines, curves, arcs with their direction flag, tangent
// arcs, rectangles, ellipses, rounded rectangles) and recorded CGPath objects.
#include "platform/graphics/Context.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

void addArc(cairo_t* cr, double x, double y, double radius, double start, double end, bool clockwise)
{
    if (!(radius >= 0) || !std::isfinite(start) || !std::isfinite(end))
        return;
    if (radius == 0) {
        if (cairo_has_current_point(cr))
            cairo_line_to(cr, x, y);
        else
            cairo_move_to(cr, x, y);
        return;
    }
    if (!clockwise) {
        if (end - start >= kTwoPi)
            end = start + kTwoPi;
        cairo_arc(cr, x, y, radius, start, end);
        return;
    }
    if (start - end >= kTwoPi)
        end = start - kTwoPi;
    cairo_arc_negative(cr, x, y, radius, start, end);
}

void addArcToPoint(cairo_t* cr, double x1, double y1, double x2, double y2, double radius)
{
    if (!cairo_has_current_point(cr)) {
        cairo_move_to(cr, x1, y1);
        return;
    }
    double x0, y0;
    cairo_get_current_point(cr, &x0, &y0);
    double ax = x0 - x1, ay = y0 - y1; // towards the current point
    double bx = x2 - x1, by = y2 - y1; // towards the second point
    double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    double cross = ax * by - ay * bx;
    if (!(radius > 0) || la == 0 || lb == 0 || std::fabs(cross) < 1e-12 * la * lb) {
        cairo_line_to(cr, x1, y1);
        return;
    }
    ax /= la;
    ay /= la;
    bx /= lb;
    by /= lb;
    double cosTheta = std::clamp(ax * bx + ay * by, -1.0, 1.0);
    double half = std::acos(cosTheta) / 2; // half the angle between the two tangents
    double along = radius / std::tan(half);
    double t1x = x1 + ax * along, t1y = y1 + ay * along;
    double t2x = x1 + bx * along, t2y = y1 + by * along;
    double mx = ax + bx, my = ay + by, ml = std::hypot(mx, my);
    double centreDistance = radius / std::sin(half);
    double cx = x1 + mx / ml * centreDistance, cy = y1 + my / ml * centreDistance;
    double a1 = std::atan2(t1y - cy, t1x - cx), a2 = std::atan2(t2y - cy, t2x - cx);
    // Travelling x0 -> x1 -> x2: a positive turn sweeps with increasing angles.
    double turn = (x1 - x0) * (y2 - y1) - (y1 - y0) * (x2 - x1);
    cairo_line_to(cr, t1x, t1y);
    if (turn > 0)
        cairo_arc(cr, cx, cy, radius, a1, a2);
    else
        cairo_arc_negative(cr, cx, cy, radius, a1, a2);
}

void addEllipse(cairo_t* cr, CGRect rect)
{
    rect = CGRectStandardize(rect);
    if (CGRectIsNull(rect) || rect.size.width == 0 || rect.size.height == 0)
        return;
    cairo_save(cr);
    cairo_translate(cr, CGRectGetMidX(rect), CGRectGetMidY(rect));
    cairo_scale(cr, rect.size.width / 2, rect.size.height / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, kTwoPi);
    cairo_close_path(cr);
    cairo_restore(cr);
}

void addRect(cairo_t* cr, CGRect rect)
{
    if (CGRectIsNull(rect))
        return;
    cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}

void replay(cairo_t* cr, const CGPath::Element& e)
{
    const double* v = e.v;
    switch (e.op) {
    case CGPath::Op::Move:
        cairo_move_to(cr, v[0], v[1]);
        break;
    case CGPath::Op::Line:
        cairo_line_to(cr, v[0], v[1]);
        break;
    case CGPath::Op::Quad: {
        double x0 = v[0], y0 = v[1];
        if (cairo_has_current_point(cr))
            cairo_get_current_point(cr, &x0, &y0);
        cairo_curve_to(cr, x0 + 2.0 / 3 * (v[0] - x0), y0 + 2.0 / 3 * (v[1] - y0), v[2] + 2.0 / 3 * (v[0] - v[2]),
            v[3] + 2.0 / 3 * (v[1] - v[3]), v[2], v[3]);
        break;
    }
    case CGPath::Op::Curve:
        cairo_curve_to(cr, v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
    case CGPath::Op::Arc:
        addArc(cr, v[0], v[1], v[2], v[3], v[4], v[5] != 0);
        break;
    case CGPath::Op::ArcTo:
        addArcToPoint(cr, v[0], v[1], v[2], v[3], v[4]);
        break;
    case CGPath::Op::Rect:
        addRect(cr, CGRectMake(v[0], v[1], v[2], v[3]));
        break;
    case CGPath::Op::Ellipse:
        addEllipse(cr, CGRectMake(v[0], v[1], v[2], v[3]));
        break;
    case CGPath::Op::Close:
        cairo_close_path(cr);
        break;
    }
}

void record(const CGMutablePathRef& path, const CGAffineTransform* m, CGPath::Op op, std::initializer_list<double> values)
{
    if (!path)
        return;
    CGPath::Element e { op, {}, m ? *m : CGAffineTransformIdentity };
    std::copy(values.begin(), values.end(), e.v);
    path->add(e);
}

} // namespace

void CGContextBeginPath(const CGContextRef& c)
{
    if (c)
        cairo_new_path(c->cairo());
}

void CGContextMoveToPoint(const CGContextRef& c, CGFloat x, CGFloat y)
{
    if (c)
        cairo_move_to(c->cairo(), x, y);
}

void CGContextAddLineToPoint(const CGContextRef& c, CGFloat x, CGFloat y)
{
    if (c)
        cairo_line_to(c->cairo(), x, y);
}

void CGContextAddCurveToPoint(const CGContextRef& c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y,
    CGFloat x, CGFloat y)
{
    if (c)
        cairo_curve_to(c->cairo(), cp1x, cp1y, cp2x, cp2y, x, y);
}

void CGContextAddQuadCurveToPoint(const CGContextRef& c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y)
{
    if (c)
        replay(c->cairo(), CGPath::Element { CGPath::Op::Quad, { cpx, cpy, x, y }, CGAffineTransformIdentity });
}

void CGContextAddArc(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle,
    CGFloat endAngle, int clockwise)
{
    if (c)
        addArc(c->cairo(), x, y, radius, startAngle, endAngle, clockwise != 0);
}

void CGContextAddArcToPoint(const CGContextRef& c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2, CGFloat radius)
{
    if (c)
        addArcToPoint(c->cairo(), x1, y1, x2, y2, radius);
}

void CGContextAddRect(const CGContextRef& c, CGRect rect)
{
    if (c)
        addRect(c->cairo(), rect);
}

void CGContextAddEllipseInRect(const CGContextRef& c, CGRect rect)
{
    if (c)
        addEllipse(c->cairo(), rect);
}

void CGContextAddPath(const CGContextRef& c, const CGPathRef& path)
{
    if (!c || !path)
        return;
    cairo_t* cr = c->cairo();
    for (const CGPath::Element& e : path->elements()) {
        if (CGAffineTransformIsIdentity(e.transform)) {
            replay(cr, e);
            continue;
        }
        cairo_save(cr);
        cairo_matrix_t m;
        cairo_matrix_init(&m, e.transform.a, e.transform.b, e.transform.c, e.transform.d, e.transform.tx, e.transform.ty);
        cairo_transform(cr, &m);
        replay(cr, e);
        cairo_restore(cr);
    }
}

void CGContextClosePath(const CGContextRef& c)
{
    if (c && cairo_has_current_point(c->cairo()))
        cairo_close_path(c->cairo());
}

bool CGContextIsPathEmpty(const CGContextRef& c)
{
    if (!c)
        return true;
    cairo_path_t* p = cairo_copy_path(c->cairo());
    bool empty = p->num_data == 0;
    cairo_path_destroy(p);
    return empty;
}

CGPoint CGContextGetPathCurrentPoint(const CGContextRef& c)
{
    if (!c || !cairo_has_current_point(c->cairo()))
        return CGPointZero;
    double x, y;
    cairo_get_current_point(c->cairo(), &x, &y);
    return { x, y };
}

CGMutablePathRef CGPathCreateMutable() { return std::make_shared<CGPath>(); }

void CGPathMoveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y)
{
    record(path, m, CGPath::Op::Move, { x, y });
}

void CGPathAddLineToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y)
{
    record(path, m, CGPath::Op::Line, { x, y });
}

void CGPathAddQuadCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cpx, CGFloat cpy,
    CGFloat x, CGFloat y)
{
    record(path, m, CGPath::Op::Quad, { cpx, cpy, x, y });
}

void CGPathAddCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cp1x, CGFloat cp1y,
    CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y)
{
    record(path, m, CGPath::Op::Curve, { cp1x, cp1y, cp2x, cp2y, x, y });
}

void CGPathAddArc(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y, CGFloat radius,
    CGFloat startAngle, CGFloat endAngle, bool clockwise)
{
    record(path, m, CGPath::Op::Arc, { x, y, radius, startAngle, endAngle, clockwise ? 1.0 : 0.0 });
}

void CGPathAddArcToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x1, CGFloat y1,
    CGFloat x2, CGFloat y2, CGFloat radius)
{
    record(path, m, CGPath::Op::ArcTo, { x1, y1, x2, y2, radius });
}

void CGPathAddRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect r)
{
    record(path, m, CGPath::Op::Rect, { r.origin.x, r.origin.y, r.size.width, r.size.height });
}

void CGPathAddEllipseInRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect r)
{
    record(path, m, CGPath::Op::Ellipse, { r.origin.x, r.origin.y, r.size.width, r.size.height });
}

void CGPathCloseSubpath(const CGMutablePathRef& path) { record(path, nullptr, CGPath::Op::Close, {}); }

bool CGPathIsEmpty(const CGPathRef& path) { return !path || path->isEmpty(); }

namespace graphics {

void addRoundedRect(const CGContextRef& c, CGRect rect, CGFloat radius)
{
    if (!c)
        return;
    rect = CGRectStandardize(rect);
    if (CGRectIsNull(rect))
        return;
    double r = std::clamp(radius, 0.0, std::min(rect.size.width, rect.size.height) / 2);
    if (r <= 0) {
        addRect(c->cairo(), rect);
        return;
    }
    cairo_t* cr = c->cairo();
    const double pi = std::numbers::pi;
    double minX = CGRectGetMinX(rect), minY = CGRectGetMinY(rect);
    double maxX = CGRectGetMaxX(rect), maxY = CGRectGetMaxY(rect);
    cairo_new_sub_path(cr);
    cairo_arc(cr, maxX - r, minY + r, r, -pi / 2, 0);
    cairo_arc(cr, maxX - r, maxY - r, r, 0, pi / 2);
    cairo_arc(cr, minX + r, maxY - r, r, pi / 2, pi);
    cairo_arc(cr, minX + r, minY + r, r, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

} // namespace graphics
