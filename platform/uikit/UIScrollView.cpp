// Scroll views: offset, size, insets, paging and simulated drags.
#include "platform/uikit/UIScrollView.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/UIKitCore.h"

UIScrollView::UIScrollView(CGRect frame)
    : UIView(frame)
{
    setClipsToBounds(true);
}

void UIScrollView::setContentOffset(CGPoint offset)
{
    willChangeValueForKey("contentOffset");
    CGRect b = bounds();
    setBounds({ offset, b.size });
    didChangeValueForKey("contentOffset");
    didScroll();
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated)
{
    setContentOffset(offset);
    if (!animated)
        return;
    std::weak_ptr<UIScrollView> weak = sharedAs<UIScrollView>();
    uikit::performOnMainSoon([weak] {
        auto self = weak.lock();
        if (!self)
            return;
        if (auto d = self->delegate())
            d->scrollViewDidEndScrollingAnimation(self);
    });
}

void UIScrollView::didScroll()
{
    if (auto d = delegate_.lock())
        d->scrollViewDidScroll(sharedAs<UIScrollView>());
}

void UIScrollView::setContentSize(CGSize size)
{
    willChangeValueForKey("contentSize");
    contentSize_ = size;
    didChangeValueForKey("contentSize");
    setNeedsLayout();
}

void UIScrollView::setContentInset(UIEdgeInsets insets)
{
    UIEdgeInsets old = contentInset_;
    contentInset_ = insets;
    setNeedsLayout();
    // Content resting at its top-left edge stays there: the offset follows the new inset.
    CGPoint offset = contentOffset();
    if (!(old == insets) && offset.x == -old.left && offset.y == -old.top)
        setContentOffset({ -insets.left, -insets.top });
}

Value UIScrollView::valueForKey(const std::string& key) const
{
    if (key == "contentOffset")
        return Value(NSValue::valueWithCGPoint(contentOffset()));
    if (key == "contentSize")
        return Value(NSValue::valueWithCGSize(contentSize_));
    return {};
}

CGPoint UIScrollView::clampedOffset(CGPoint p) const
{
    CGSize size = bounds().size;
    double minX = -contentInset_.left, minY = -contentInset_.top;
    double maxX = std::max(minX, contentSize_.width + contentInset_.right - size.width);
    double maxY = std::max(minY, contentSize_.height + contentInset_.bottom - size.height);
    return { std::clamp(p.x, minX, maxX), std::clamp(p.y, minY, maxY) };
}

void UIScrollView::scrollRectToVisible(CGRect rect, bool animated)
{
    CGRect visible = bounds();
    CGPoint offset = visible.origin;
    if (CGRectGetMaxY(rect) > CGRectGetMaxY(visible))
        offset.y = CGRectGetMaxY(rect) - visible.size.height;
    if (rect.origin.y < offset.y)
        offset.y = rect.origin.y;
    if (CGRectGetMaxX(rect) > CGRectGetMaxX(visible))
        offset.x = CGRectGetMaxX(rect) - visible.size.width;
    if (rect.origin.x < offset.x)
        offset.x = rect.origin.x;
    offset = clampedOffset(offset);
    if (!(offset == visible.origin))
        setContentOffset(offset, animated);
}

void UIScrollView::simulateDrag(CGPoint translation)
{
    if (!scrollEnabled_)
        return;
    auto self = sharedAs<UIScrollView>();
    auto delegate = delegate_.lock();
    setDragging(true);
    if (delegate)
        delegate->scrollViewWillBeginDragging(self);
    CGPoint start = contentOffset();
    setContentOffset({ start.x - translation.x, start.y - translation.y });
    CGPoint target = clampedOffset(contentOffset());
    CGSize page = bounds().size;
    if (paging_ && page.width > 0 && page.height > 0) {
        // Paging settles on the page nearest to where the content was released.
        target.x = std::round(target.x / page.width) * page.width;
        target.y = std::round(target.y / page.height) * page.height;
        target = clampedOffset(target);
    }
    setDragging(false);
    bool decelerate = !(target == contentOffset());
    if (delegate)
        delegate->scrollViewDidEndDragging(self, decelerate);
    if (!decelerate)
        return;
    decelerating_ = true;
    if (delegate)
        delegate->scrollViewWillBeginDecelerating(self);
    setContentOffset(target);
    decelerating_ = false;
    if (delegate)
        delegate->scrollViewDidEndDecelerating(self);
}
