// Page controls: page count and current page, dot geometry, taps and drawing.
#include "platform/uikit/UIPageControl.h"

#include <algorithm>

namespace {
constexpr double kDotDiameter = 7;
constexpr double kDotSpacing = 9;
constexpr double kControlHeight = 37;
} // namespace

UIPageControl::UIPageControl(CGRect frame)
    : UIControl(frame)
{
    setOpaque(false);
}

void UIPageControl::setNumberOfPages(NSInteger pages)
{
    pages_ = std::max<NSInteger>(0, pages);
    current_ = std::clamp<NSInteger>(current_, 0, std::max<NSInteger>(0, pages_ - 1));
    displayed_ = std::clamp<NSInteger>(displayed_, 0, std::max<NSInteger>(0, pages_ - 1));
    setNeedsDisplay();
}

void UIPageControl::setCurrentPage(NSInteger page)
{
    current_ = std::clamp<NSInteger>(page, 0, std::max<NSInteger>(0, pages_ - 1));
    displayed_ = current_;
    setNeedsDisplay();
}

void UIPageControl::setHidesForSinglePage(bool hides)
{
    hidesForSinglePage_ = hides;
    setNeedsDisplay();
}

void UIPageControl::updateCurrentPageDisplay()
{
    displayed_ = current_;
    setNeedsDisplay();
}

void UIPageControl::setPageIndicatorTintColor(std::optional<UIColor> color)
{
    pageTint_ = std::move(color);
    setNeedsDisplay();
}

void UIPageControl::setCurrentPageIndicatorTintColor(std::optional<UIColor> color)
{
    currentTint_ = std::move(color);
    setNeedsDisplay();
}

UIColor UIPageControl::dotColorForPage(NSInteger page) const
{
    if (page == displayed_)
        return currentTint_.value_or(UIColor::whiteColor());
    return pageTint_.value_or(UIColor::colorWithWhite(1, 0.3));
}

CGSize UIPageControl::sizeForNumberOfPages(NSInteger pages) const
{
    if (pages <= 0)
        return { 0, kControlHeight };
    double n = static_cast<double>(pages);
    return { n * kDotDiameter + (n - 1) * kDotSpacing, kControlHeight };
}

CGSize UIPageControl::sizeThatFits(CGSize) const
{
    return sizeForNumberOfPages(pages_);
}

CGRect UIPageControl::rectForDotAtPage(NSInteger page) const
{
    CGRect b = bounds();
    double rowWidth = sizeForNumberOfPages(pages_).width;
    double x = b.origin.x + (b.size.width - rowWidth) / 2 + static_cast<double>(page) * (kDotDiameter + kDotSpacing);
    double y = b.origin.y + (b.size.height - kDotDiameter) / 2;
    return { { x, y }, { kDotDiameter, kDotDiameter } };
}

void UIPageControl::setValueForKey(const std::string& key, const Value& value)
{
    if (key == "_pageImage")
        pageImage_ = value;
    else if (key == "_currentPageImage")
        currentPageImage_ = value;
}

Value UIPageControl::valueForKey(const std::string& key) const
{
    if (key == "_pageImage")
        return pageImage_;
    if (key == "_currentPageImage")
        return currentPageImage_;
    if (key == "numberOfPages")
        return Value(static_cast<std::int64_t>(pages_));
    if (key == "currentPage")
        return Value(static_cast<std::int64_t>(current_));
    return {};
}

bool UIPageControl::pointInside(CGPoint point) const
{
    return !isHiddenForSinglePage() && UIControl::pointInside(point);
}

void UIPageControl::handleTap(CGPoint point)
{
    if (!isEnabled() || isHiddenForSinglePage())
        return;
    auto keep = shared();
    CGRect b = bounds();
    NSInteger target = current_;
    if (point.x < CGRectGetMidX(b))
        target = std::max<NSInteger>(0, current_ - 1);
    else if (point.x > CGRectGetMidX(b))
        target = std::min<NSInteger>(pages_ - 1, current_ + 1);
    UIControl::handleTap(point);
    if (target == current_ || target < 0)
        return;
    current_ = target;
    if (!defers_)
        displayed_ = current_;
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void UIPageControl::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context || isHiddenForSinglePage())
        return;
    for (NSInteger page = 0; page < pages_; ++page) {
        CGContextSetFillColorWithColor(context, dotColorForPage(page).CGColor());
        CGContextFillEllipseInRect(context, rectForDotAtPage(page));
    }
}
