// The activity indicator.
#include "platform/uikit/UIActivityIndicatorView.h"

#include <cmath>

namespace {
UIColor styleColor(UIActivityIndicatorViewStyle style)
{
    return style == UIActivityIndicatorViewStyleGray ? UIColor::grayColor() : UIColor::whiteColor();
}
double styleSide(UIActivityIndicatorViewStyle style)
{
    return style == UIActivityIndicatorViewStyleWhiteLarge ? 37 : 20;
}
} // namespace

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : UIView(CGRect { {}, { styleSide(style), styleSide(style) } })
    , style_(style)
    , color_(styleColor(style))
{
    setHidden(true);
    setOpaque(false);
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    style_ = style;
    color_ = styleColor(style);
    CGRect f = frame();
    setFrame({ f.origin, { styleSide(style), styleSide(style) } });
    setNeedsDisplay();
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides)
{
    hidesWhenStopped_ = hides;
    if (!animating_)
        setHidden(hides);
}

void UIActivityIndicatorView::startAnimating()
{
    animating_ = true;
    setHidden(false);
}

void UIActivityIndicatorView::stopAnimating()
{
    animating_ = false;
    if (hidesWhenStopped_)
        setHidden(true);
}

CGSize UIActivityIndicatorView::sizeThatFits(CGSize) const
{
    return { styleSide(style_), styleSide(style_) };
}

void UIActivityIndicatorView::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    CGRect b = bounds();
    double cx = CGRectGetMidX(b), cy = CGRectGetMidY(b), r = std::min(b.size.width, b.size.height) / 2;
    CGContextSetLineWidth(context, r / 5);
    CGContextSetLineCap(context, kCGLineCapRound);
    for (int i = 0; i < 12; ++i) {
        double angle = i * M_PI / 6;
        CGContextSetStrokeColorWithColor(context, color_.colorWithAlphaComponent(0.25 + 0.75 * i / 11.0).CGColor());
        CGContextBeginPath(context);
        CGContextMoveToPoint(context, cx + std::cos(angle) * r * 0.5, cy + std::sin(angle) * r * 0.5);
        CGContextAddLineToPoint(context, cx + std::cos(angle) * r * 0.9, cy + std::sin(angle) * r * 0.9);
        CGContextStrokePath(context);
    }
}
