// Image views and content-mode placement.
#include "platform/uikit/UIImageView.h"

#include <algorithm>

namespace uikit {

CGRect rectForContentMode(UIViewContentMode mode, CGRect b, CGSize s)
{
    double w = b.size.width, h = b.size.height;
    if (s.width <= 0 || s.height <= 0)
        return b;
    auto at = [&](double x, double y) { return CGRect { { b.origin.x + x, b.origin.y + y }, s }; };
    switch (mode) {
    case UIViewContentModeScaleAspectFit:
    case UIViewContentModeScaleAspectFill: {
        double fx = w / s.width, fy = h / s.height;
        double f = mode == UIViewContentModeScaleAspectFit ? std::min(fx, fy) : std::max(fx, fy);
        CGSize z { s.width * f, s.height * f };
        return { { b.origin.x + (w - z.width) / 2, b.origin.y + (h - z.height) / 2 }, z };
    }
    case UIViewContentModeCenter:
        return at((w - s.width) / 2, (h - s.height) / 2);
    case UIViewContentModeTop:
        return at((w - s.width) / 2, 0);
    case UIViewContentModeBottom:
        return at((w - s.width) / 2, h - s.height);
    case UIViewContentModeLeft:
        return at(0, (h - s.height) / 2);
    case UIViewContentModeRight:
        return at(w - s.width, (h - s.height) / 2);
    case UIViewContentModeTopLeft:
        return at(0, 0);
    case UIViewContentModeTopRight:
        return at(w - s.width, 0);
    case UIViewContentModeBottomLeft:
        return at(0, h - s.height);
    case UIViewContentModeBottomRight:
        return at(w - s.width, h - s.height);
    default:
        return b;
    }
}

} // namespace uikit

UIImageView::UIImageView(CGRect frame)
    : UIView(frame)
{
    setUserInteractionEnabled(false);
}

UIImageView::UIImageView(const UIImageRef& image)
    : UIImageView(CGRect { {}, image ? image->size() : CGSizeZero })
{
    image_ = image;
}

void UIImageView::setImage(const UIImageRef& image)
{
    image_ = image;
    setNeedsDisplay();
}

void UIImageView::setHighlightedImage(const UIImageRef& image)
{
    highlightedImage_ = image;
    setNeedsDisplay();
}

void UIImageView::setHighlighted(bool highlighted)
{
    highlighted_ = highlighted;
    setNeedsDisplay();
}

CGSize UIImageView::sizeThatFits(CGSize) const
{
    return image_ ? image_->size() : CGSizeZero;
}

void UIImageView::drawRect(CGRect)
{
    const UIImageRef& shown = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!shown)
        return;
    shown->drawInRect(uikit::rectForContentMode(contentMode(), bounds(), shown->size()));
}
