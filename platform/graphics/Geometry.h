// Geometry shared by drawing and views: points, sizes, rectangles, edge insets and affine
// transforms, with the platform's C-style helper functions. CGFloat is a double.
#pragma once

#include <string>

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;
};

struct UIEdgeInsets {
    CGFloat top = 0;
    CGFloat left = 0;
    CGFloat bottom = 0;
    CGFloat right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool operator==(const CGAffineTransform&) const = default;
};

inline constexpr CGPoint CGPointZero {};
inline constexpr CGSize CGSizeZero {};
inline constexpr CGRect CGRectZero {};
inline constexpr UIEdgeInsets UIEdgeInsetsZero {};
inline constexpr CGAffineTransform CGAffineTransformIdentity {};
// The null rectangle: what the intersection of two disjoint rectangles gives.
extern const CGRect CGRectNull;
extern const CGRect CGRectInfinite;

inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return { x, y }; }
inline CGSize CGSizeMake(CGFloat w, CGFloat h) { return { w, h }; }
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return { { x, y }, { w, h } }; }
inline UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right)
{
    return { top, left, bottom, right };
}

bool CGPointEqualToPoint(CGPoint a, CGPoint b);
bool CGSizeEqualToSize(CGSize a, CGSize b);
bool CGRectEqualToRect(CGRect a, CGRect b); // compares the standardized rectangles

// Edges and centre; they read the standardized rectangle, so negative sizes work.
CGFloat CGRectGetMinX(CGRect r);
CGFloat CGRectGetMidX(CGRect r);
CGFloat CGRectGetMaxX(CGRect r);
CGFloat CGRectGetMinY(CGRect r);
CGFloat CGRectGetMidY(CGRect r);
CGFloat CGRectGetMaxY(CGRect r);
CGFloat CGRectGetWidth(CGRect r); // absolute width
CGFloat CGRectGetHeight(CGRect r); // absolute height

CGRect CGRectStandardize(CGRect r); // non-negative width and height
CGRect CGRectIntegral(CGRect r); // smallest integral rectangle holding r
CGRect CGRectInset(CGRect r, CGFloat dx, CGFloat dy); // null when the result is negative
CGRect CGRectOffset(CGRect r, CGFloat dx, CGFloat dy);
CGRect CGRectUnion(CGRect a, CGRect b);
CGRect CGRectIntersection(CGRect a, CGRect b); // CGRectNull when they do not meet
bool CGRectIntersectsRect(CGRect a, CGRect b);
bool CGRectContainsPoint(CGRect r, CGPoint p); // min edges inside, max edges outside
bool CGRectContainsRect(CGRect outer, CGRect inner);
bool CGRectIsEmpty(CGRect r); // zero width or height, or null
bool CGRectIsNull(CGRect r);
bool CGRectIsInfinite(CGRect r);

CGRect UIEdgeInsetsInsetRect(CGRect r, UIEdgeInsets insets);
bool UIEdgeInsetsEqualToEdgeInsets(UIEdgeInsets a, UIEdgeInsets b);

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
// Positive angles turn from +x towards +y: clockwise on a y-down screen.
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
// t1 applied first, then t2.
CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
// Each of these applies the new operation before t (in t's input space).
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle);
// A singular transform comes back unchanged.
CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);
bool CGAffineTransformIsIdentity(CGAffineTransform t);
bool CGAffineTransformEqualToTransform(CGAffineTransform a, CGAffineTransform b);
CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t);
CGSize CGSizeApplyAffineTransform(CGSize s, CGAffineTransform t); // no translation
CGRect CGRectApplyAffineTransform(CGRect r, CGAffineTransform t); // bounding box of the corners

// Descriptions as the platform writes them: "{x, y}", "{w, h}", "{{x, y}, {w, h}}",
// "{top, left, bottom, right}", "[a, b, c, d, tx, ty]"; numbers in shortest form.
std::string NSStringFromCGPoint(CGPoint p);
std::string NSStringFromCGSize(CGSize s);
std::string NSStringFromCGRect(CGRect r);
std::string NSStringFromUIEdgeInsets(UIEdgeInsets i);
std::string NSStringFromCGAffineTransform(CGAffineTransform t);
