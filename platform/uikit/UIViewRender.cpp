// Display passes and drawing: each marked view in a window draws its own content (drawRect:)
// into a kept image; rendering composites background, kept content, subviews and border with
// the view's transform, alpha, corner radius and clipping.
#include <cairo.h>

#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

void UIView::setNeedsDisplay()
{
    needsDisplay_ = true;
    uikit::scheduleUpdatePass();
}

void UIView::drawRect(CGRect)
{
    baseDrawRan_ = true;
}

void UIView::displayIfNeeded()
{
    auto keep = shared();
    if (needsDisplay_ && !hidden_) {
        needsDisplay_ = false;
        contents_.reset();
        if (bounds_.size.width >= 1 && bounds_.size.height >= 1) {
            UIGraphicsBeginImageContextWithOptions(bounds_.size, false, 0);
            if (auto context = UIGraphicsGetCurrentContext()) {
                CGContextTranslateCTM(context, -bounds_.origin.x, -bounds_.origin.y);
                baseDrawRan_ = false;
                drawRect(bounds_);
                if (!baseDrawRan_)
                    contents_ = UIGraphicsGetImageFromCurrentImageContext();
            }
            UIGraphicsEndImageContext();
        }
    }
    auto children = subviews_;
    for (auto& sub : children)
        sub->displayIfNeeded();
}

void UIView::renderInContext(const CGContextRef& context)
{
    if (hidden_ || alpha_ <= 0 || !context)
        return;
    cairo_t* cr = context->cairo();
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, center_.x, center_.y);
    CGContextConcatCTM(context, transform_);
    CGContextTranslateCTM(context, -bounds_.size.width / 2, -bounds_.size.height / 2);
    bool group = alpha_ < 1;
    if (group)
        cairo_push_group(cr);
    CGRect box { {}, bounds_.size };
    CGFloat radius = layer_->cornerRadius();
    if (backgroundColor_ && backgroundColor_->alpha() > 0) {
        CGContextSetFillColorWithColor(context, backgroundColor_->CGColor());
        CGContextBeginPath(context);
        graphics::addRoundedRect(context, box, radius);
        CGContextFillPath(context);
    }
    CGContextSaveGState(context);
    if (clipsToBounds_) {
        CGContextBeginPath(context);
        graphics::addRoundedRect(context, box, radius);
        CGContextClip(context);
    }
    if (contents_)
        CGContextDrawImage(context, box, contents_->CGImage());
    CGContextTranslateCTM(context, -bounds_.origin.x, -bounds_.origin.y);
    auto children = subviews_;
    for (auto& sub : children)
        sub->renderInContext(context);
    CGContextRestoreGState(context);
    CGFloat border = layer_->borderWidth();
    if (border > 0) {
        CGContextSetStrokeColorWithColor(context, layer_->borderColor());
        CGContextSetLineWidth(context, border);
        CGContextBeginPath(context);
        graphics::addRoundedRect(context, CGRectInset(box, border / 2, border / 2), std::max(0.0, radius - border / 2));
        CGContextStrokePath(context);
    }
    if (group) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, alpha_);
    }
    CGContextRestoreGState(context);
}
