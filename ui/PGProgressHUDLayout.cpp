// The HUD's layout pass (the box size and the frames of the indicator and the two labels)
// and its drawing (the radial dimming and the rounded box).
#include "ui/PGProgressHUD.h"

#include <algorithm>
#include <cmath>

namespace {

bool isPositive(CGFloat value) { return value > 0; }

} // namespace

void PGProgressHUD::layoutSubviews()
{
    UIView::layoutSubviews();
    if (auto parent = superview())
        setFrame(parent->bounds());
    const CGRect box = bounds();
    const CGFloat W = box.size.width;
    const CGFloat H = box.size.height;
    const CGFloat m = margin();
    // A HUD narrower than four margins leaves no room rather than a negative one.
    const CGFloat maxWidth = std::max<CGFloat>(0, W - 4 * m);

    auto indicator = this->indicator();
    CGSize indicatorSize = indicator ? indicator->bounds().size : CGSizeZero;
    indicatorSize.width = std::min(indicatorSize.width, maxWidth);
    CGFloat totalWidth = indicatorSize.width;
    CGFloat totalHeight = indicatorSize.height;

    const std::string labelText = label_->text();
    CGSize labelSize = labelText.empty() ? CGSizeZero : graphics::sizeWithFont(labelText, label_->font());
    labelSize.width = std::min(labelSize.width, maxWidth);
    totalWidth = std::max(totalWidth, labelSize.width);
    totalHeight += labelSize.height;
    const bool labelGap = isPositive(labelSize.height) && isPositive(indicatorSize.height);
    if (labelGap)
        totalHeight += 4;

    const std::string detailsText = detailsLabel_->text();
    CGSize detailsSize = CGSizeZero;
    if (!detailsText.empty()) {
        // Measuring takes a height of 0 or less as no limit; no room still means one line.
        CGFloat remaining = std::max<CGFloat>(1, H - totalHeight - 4 - 4 * m);
        NSStringAttributes attributes;
        attributes.font = detailsLabel_->font();
        // Without a point of width there is no room to wrap in: wrapping would put every
        // character on a line of its own, at a cost that grows steeply with the text. The
        // text is then measured unwrapped and capped like the label.
        const bool wraps = maxWidth >= 1;
        detailsSize = graphics::boundingRectWithSize(detailsText, CGSizeMake(wraps ? maxWidth : 0, remaining),
            NSStringDrawingUsesLineFragmentOrigin, attributes)
                          .size;
        if (!wraps)
            detailsSize.width = std::min(detailsSize.width, maxWidth);
    }
    totalWidth = std::max(totalWidth, detailsSize.width);
    totalHeight += detailsSize.height;
    const bool detailsGap
        = isPositive(detailsSize.height) && (isPositive(indicatorSize.height) || isPositive(labelSize.height));
    if (detailsGap)
        totalHeight += 4;

    totalWidth += 2 * m;
    totalHeight += 2 * m;

    const CGFloat xOffset = this->xOffset();
    CGFloat y = std::round((H - totalHeight) / 2) + m + yOffset();
    if (indicator) {
        indicator->setFrame(CGRectMake(std::round((W - indicatorSize.width) / 2) + xOffset, y, indicatorSize.width,
            indicatorSize.height));
    }
    y += indicatorSize.height + (labelGap ? 4 : 0);
    label_->setFrame(CGRectMake(std::round((W - labelSize.width) / 2) + xOffset, y, labelSize.width, labelSize.height));
    y += labelSize.height + (detailsGap ? 4 : 0);
    detailsLabel_->setFrame(
        CGRectMake(std::round((W - detailsSize.width) / 2) + xOffset, y, detailsSize.width, detailsSize.height));

    if (square()) {
        CGFloat side = std::max(totalWidth, totalHeight);
        if (side <= W - 2 * m)
            totalWidth = side;
        if (side <= H - 2 * m)
            totalHeight = side;
    }
    const CGSize minimum = minSize();
    write(size_, CGSizeMake(std::max(totalWidth, minimum.width), std::max(totalHeight, minimum.height)));
}

void PGProgressHUD::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    const CGRect box = bounds();
    const CGFloat W = box.size.width;
    const CGFloat H = box.size.height;
    if (dimBackground()) {
        const CGFloat locations[2] = { 0.0, 1.0 };
        const CGFloat components[8] = { 0, 0, 0, 0, 0, 0, 0, 0.75 };
        auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), components, locations, 2);
        CGPoint center = CGPointMake(W / 2, H / 2);
        CGContextDrawRadialGradient(
            context, gradient, center, 0, center, std::min(W, H), kCGGradientDrawsAfterEndLocation);
    }
    if (auto fill = color())
        CGContextSetFillColorWithColor(context, fill->CGColor());
    else
        CGContextSetGrayFillColor(context, 0, opacity());

    const CGSize size = this->size();
    const CGRect boxRect = CGRectMake(std::round((W - size.width) / 2) + xOffset(),
        std::round((H - size.height) / 2) + yOffset(), size.width, size.height);
    const CGFloat r = cornerRadius();
    const float halfPi = static_cast<float>(M_PI / 2);
    const float pi = static_cast<float>(M_PI);
    const float threeHalvesPi = static_cast<float>(3 * M_PI / 2);
    const CGFloat minX = CGRectGetMinX(boxRect), maxX = CGRectGetMaxX(boxRect);
    const CGFloat minY = CGRectGetMinY(boxRect), maxY = CGRectGetMaxY(boxRect);
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, minX + r, minY);
    CGContextAddArc(context, maxX - r, minY + r, r, threeHalvesPi, 0, 0);
    CGContextAddArc(context, maxX - r, maxY - r, r, 0, halfPi, 0);
    CGContextAddArc(context, minX + r, maxY - r, r, halfPi, pi, 0);
    CGContextAddArc(context, minX + r, minY + r, r, pi, threeHalvesPi, 0);
    CGContextClosePath(context);
    CGContextFillPath(context);
}
