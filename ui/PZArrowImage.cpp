// The refresh arrow: looked up in the application's resources, else drawn.
#include "ui/PZArrowImage.h"

#include "platform/foundation/NSString.h"
#include "ui/BundleImage.h"

namespace ui::refresh {

namespace {

// A 15 × 40 point arrow pointing down: a shaft and a triangular head.
UIImageRef drawnArrow()
{
    const CGFloat width = 15;
    const CGFloat height = 40;
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(width, height), false, 2);
    auto context = UIGraphicsGetCurrentContext();
    if (!context) {
        UIGraphicsEndImageContext();
        return nullptr;
    }
    CGContextSetRGBFillColor(context, 150 / 255.0, 150 / 255.0, 150 / 255.0, 1);
    CGContextAddRect(context, CGRectMake(width / 2 - 1.5, 0, 3, height - 10));
    CGContextFillPath(context);
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, 0, height - 12);
    CGContextAddLineToPoint(context, width, height - 12);
    CGContextAddLineToPoint(context, width / 2, height);
    CGContextClosePath(context);
    CGContextFillPath(context);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace

UIImageRef arrowImage()
{
    if (auto image = bundleImageNamed(NSString::stringByAppendingPathComponent("PZRefresh.bundle", "arrow.png")))
        return image;
    static const UIImageRef drawn = drawnArrow();
    return drawn;
}

} // namespace ui::refresh
