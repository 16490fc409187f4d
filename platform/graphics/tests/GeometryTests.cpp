// Geometry and colours: rectangle arithmetic at its edges (negative sizes, null results,
// half-open containment), transform order and inversion, descriptions, colour spaces.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

TEST(Rects, NegativeSizesNullAndEdges)
{
    CGRect flipped = CGRectMake(10, 10, -4, -6);
    EXPECT_EQ(CGRectStandardize(flipped), CGRectMake(6, 4, 4, 6));
    EXPECT_EQ(CGRectGetMinX(flipped), 6);
    EXPECT_EQ(CGRectGetMaxY(flipped), 10);
    EXPECT_EQ(CGRectGetWidth(flipped), 4);
    EXPECT_TRUE(CGRectEqualToRect(flipped, CGRectMake(6, 4, 4, 6)));

    CGRect a = CGRectMake(0, 0, 10, 10), b = CGRectMake(10, 0, 5, 5);
    EXPECT_TRUE(CGRectIsNull(CGRectIntersection(a, CGRectMake(20, 20, 1, 1))));
    EXPECT_FALSE(CGRectIntersectsRect(a, b)); // touching edges do not intersect
    EXPECT_EQ(CGRectIntersection(a, b), CGRectMake(10, 0, 0, 5));
    EXPECT_TRUE(CGRectContainsPoint(a, CGPointMake(0, 0)));
    EXPECT_FALSE(CGRectContainsPoint(a, CGPointMake(10, 5)));
    EXPECT_TRUE(CGRectIsNull(CGRectInset(a, 6, 0)));
    EXPECT_EQ(CGRectInset(a, 2, 3), CGRectMake(2, 3, 6, 4));
    EXPECT_EQ(CGRectOffset(a, -1, 2), CGRectMake(-1, 2, 10, 10));
    EXPECT_TRUE(CGRectIsEmpty(CGRectMake(1, 1, 0, 5)));
    EXPECT_TRUE(CGRectIsEmpty(CGRectNull));
    EXPECT_EQ(UIEdgeInsetsInsetRect(a, UIEdgeInsetsMake(1, 2, 3, 4)), CGRectMake(2, 1, 4, 6));
}

TEST(Transforms, OrderInversionAndBoundingBoxes)
{
    CGAffineTransform scale = CGAffineTransformMakeScale(2, 3);
    CGAffineTransform move = CGAffineTransformMakeTranslation(10, 0);
    // Concat applies the first, then the second.
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointMake(1, 1), CGAffineTransformConcat(scale, move)), CGPointMake(12, 3));
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointMake(1, 1), CGAffineTransformConcat(move, scale)), CGPointMake(22, 3));

    CGAffineTransform r = CGAffineTransformMakeRotation(std::numbers::pi / 2);
    CGPoint p = CGPointApplyAffineTransform(CGPointMake(1, 0), r); // +x turns to +y
    EXPECT_NEAR(p.x, 0, 1e-12);
    EXPECT_NEAR(p.y, 1, 1e-12);

    CGAffineTransform t = CGAffineTransformConcat(CGAffineTransformConcat(scale, r), move);
    CGPoint back = CGPointApplyAffineTransform(CGPointApplyAffineTransform(CGPointMake(3, -4), t), CGAffineTransformInvert(t));
    EXPECT_NEAR(back.x, 3, 1e-9);
    EXPECT_NEAR(back.y, -4, 1e-9);
    CGAffineTransform singular = CGAffineTransformMakeScale(0, 1);
    EXPECT_EQ(CGAffineTransformInvert(singular), singular);

    CGRect box = CGRectApplyAffineTransform(CGRectMake(0, 0, 10, 20), r);
    EXPECT_NEAR(box.origin.x, -20, 1e-9);
    EXPECT_NEAR(box.size.width, 20, 1e-9);
    EXPECT_NEAR(box.size.height, 10, 1e-9);
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGAffineTransformConcat(move, CGAffineTransformInvert(move))));
}

TEST(Descriptions, ShortestNumbers)
{
    EXPECT_EQ(NSStringFromCGRect(CGRectMake(0, -0.0, 320, 20.5)), "{{0, 0}, {320, 20.5}}");
    EXPECT_EQ(NSStringFromCGAffineTransform(CGAffineTransformIdentity), "[1, 0, 0, 1, 0, 0]");
}

TEST(Colours, SpacesComponentsAndEquality)
{
    UIColor white = UIColor::whiteColor();
    double r = 0, g = 0, b = 0, a = 0;
    EXPECT_TRUE(white.getRed(&r, &g, &b, &a));
    EXPECT_EQ(std::make_tuple(r, g, b, a), std::make_tuple(1.0, 1.0, 1.0, 1.0));
    EXPECT_FALSE(white == UIColor::colorWithRed(1, 1, 1, 1)); // different spaces
    EXPECT_TRUE(white.colorWithAlphaComponent(0.1) == UIColor::colorWithWhite(1, 0.1));
    EXPECT_EQ(UIColor::colorWithRed(2, -1, 0.5, 1).CGColor().components[0], 1); // clamped
    EXPECT_EQ(UIColor::colorWithRed(2, -1, 0.5, 1).CGColor().components[1], 0);
    EXPECT_TRUE(CGColorEqualToColor(UIColor::colorWithCGColor(white.CGColor()).CGColor(), white.CGColor()));
    EXPECT_EQ(UIColor::colorWithRed(1, 0, 0, 1).description(), "rgb 1 0 0 1");
    EXPECT_EQ(CGColorSpaceGetModel(CGColorSpaceCreateIndexed({ 1, 2, 3 })), kCGColorSpaceModelIndexed);
    EXPECT_FALSE(CGColorSpaceCreateIndexed({ 1, 2 }));
    EXPECT_EQ(CGColorSpaceGetModel(nullptr), kCGColorSpaceModelUnknown);
}
