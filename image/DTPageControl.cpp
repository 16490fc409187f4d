// DTPageControl: building, placing and activating the dots, fitting the frame, dot taps.
#include "image/DTPageControl.h"

#include <algorithm>

#include "platform/foundation/NSLog.h"
#include "platform/uikit/UIImageView.h"

DTPageControl::DTPageControl(CGRect frame)
    : UIControl(frame)
{
}

void DTPageControl::setDotViewClass(std::optional<DTDotViewClass> dotClass)
{
    dotViewClass_ = std::move(dotClass);
    dotSize_ = CGSizeZero;
    resetDotViews();
}

void DTPageControl::setDotImage(const UIImageRef& image)
{
    dotImage_ = image;
    resetDotViews();
    setDotViewClass(std::nullopt);
}

void DTPageControl::setCurrentDotImage(const UIImageRef& image)
{
    currentDotImage_ = image;
    resetDotViews();
    setDotViewClass(std::nullopt);
}

CGSize DTPageControl::dotSize()
{
    bool unset = dotSize_.width == 0 && dotSize_.height == 0;
    if (dotImage_ && unset)
        dotSize_ = dotImage_->size();
    else if (dotViewClass_ && unset)
        dotSize_ = { 8, 8 };
    return dotSize_;
}

void DTPageControl::setSpacingBetweenDots(NSInteger spacing)
{
    spacing_ = spacing;
    resetDotViews();
}

void DTPageControl::setNumberOfPages(NSInteger pages)
{
    pages_ = std::max<NSInteger>(pages, 0);
    if (current_ >= pages_)
        current_ = std::max<NSInteger>(pages_ - 1, 0);
    resetDotViews();
}

void DTPageControl::setCurrentPage(NSInteger page)
{
    if (pages_ == 0 || page == current_) {
        if (page >= 0 && (pages_ == 0 || page < pages_))
            current_ = page;
        return;
    }
    if (page < 0 || page >= pages_)
        return;
    changeActivity(false, current_);
    current_ = page;
    changeActivity(true, current_);
}

CGSize DTPageControl::sizeForNumberOfPages(NSInteger pages)
{
    if (pages <= 0)
        return CGSizeZero;
    CGSize dot = dotSize();
    double width = static_cast<double>(pages) * (dot.width + static_cast<double>(spacing_)) - static_cast<double>(spacing_);
    return { width, dot.height };
}

CGSize DTPageControl::sizeThatFits(CGSize) const
{
    return const_cast<DTPageControl*>(this)->sizeForNumberOfPages(pages_);
}

void DTPageControl::updateFrame(bool overrideExistingFrame)
{
    CGPoint center = this->center();
    CGSize needed = sizeForNumberOfPages(pages_);
    CGRect current = frame();
    if (overrideExistingFrame || current.size.width < needed.width || current.size.height < needed.height) {
        setFrame({ current.origin, needed });
        if (resizeFromCenter_)
            setCenter(center);
    }
    resetDotViews();
}

void DTPageControl::resetDotViews()
{
    for (auto& dot : dots_)
        dot->removeFromSuperview();
    dots_.clear();
    if (pages_ == 0)
        return;
    for (NSInteger i = 0; i < pages_; ++i) {
        auto dot = generateDotView();
        placeDot(*dot, i);
    }
    changeActivity(true, current_);
    setHidden(dots_.size() == 1 && hidesForSinglePage_);
}

std::shared_ptr<UIView> DTPageControl::generateDotView()
{
    CGSize size = dotSize();
    std::shared_ptr<UIView> dot;
    if (dotViewClass_) {
        dot = dotViewClass_->make({ { 0, 0 }, size });
        auto animated = std::dynamic_pointer_cast<DTAnimatedDotView>(dot);
        if (animated && dotColor_)
            animated->setDotColor(*dotColor_);
    } else {
        auto imageView = UIImageView::withImage(dotImage_);
        imageView->setFrame({ { 0, 0 }, size });
        dot = imageView;
    }
    addSubview(dot);
    dots_.push_back(dot);
    dot->setUserInteractionEnabled(true);
    return dot;
}

void DTPageControl::placeDot(UIView& dot, NSInteger index)
{
    CGSize size = dotSize();
    CGSize bounds = this->bounds().size;
    double rowWidth = sizeForNumberOfPages(pages_).width;
    double x = static_cast<double>(index) * (size.width + static_cast<double>(spacing_)) + (bounds.width - rowWidth) * 0.5;
    double y = (bounds.height - size.height) * 0.5;
    dot.setFrame({ { x, y }, size });
}

void DTPageControl::changeActivity(bool active, NSInteger index)
{
    if (index < 0 || index >= static_cast<NSInteger>(dots_.size()))
        return;
    auto& dot = dots_[static_cast<std::size_t>(index)];
    if (dotViewClass_) {
        auto abstract = std::dynamic_pointer_cast<DTAbstractDotView>(dot);
        if (abstract) {
            abstract->changeActivityState(active);
            return;
        }
        NSLog("Custom view : %@ must implement an 'changeActivityState' method or you can subclass %@ to help you.",
            dotViewClass_->name, std::string("DTAbstractDotView"));
        return;
    }
    if (!dotImage_ || !currentDotImage_)
        return;
    if (auto imageView = std::dynamic_pointer_cast<UIImageView>(dot))
        imageView->setImage(active ? currentDotImage_ : dotImage_);
}

void DTPageControl::handleTap(CGPoint point)
{
    for (std::size_t i = 0; i < dots_.size(); ++i) {
        if (!CGRectContainsPoint(dots_[i]->frame(), point))
            continue;
        if (auto delegate = delegate_.lock())
            delegate->DTPageControlDidSelectPageAtIndex(sharedAs<DTPageControl>(), static_cast<NSInteger>(i));
        return;
    }
}
