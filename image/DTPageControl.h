// DTPageControl: a page indicator whose dots are views of a pluggable dot class (animated
// ringed dots by default) or image views of two dot images. The row of dots is centred in the
// control; a tap on a dot tells the delegate that dot's page.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/DTDotView.h"
#include "platform/uikit/UIControl.h"

class DTPageControl;

class DTPageControlDelegate {
public:
    virtual ~DTPageControlDelegate() = default;
    virtual void DTPageControlDidSelectPageAtIndex(const std::shared_ptr<DTPageControl>&, NSInteger) { }
};

// The class of the dot views: its name (for messages) and how to make one with a frame.
struct DTDotViewClass {
    std::string name;
    std::function<std::shared_ptr<UIView>(CGRect frame)> make;

    template <class T>
    static DTDotViewClass of()
    {
        return { std::make_shared<T>(CGRect { { 0, 0 }, { 1, 1 } })->className(), [](CGRect frame) -> std::shared_ptr<UIView> {
                    return std::make_shared<T>(frame);
                } };
    }
};

class DTPageControl : public UIControl {
public:
    explicit DTPageControl(CGRect frame = CGRectZero);
    static std::shared_ptr<DTPageControl> create(CGRect frame = CGRectZero) { return std::make_shared<DTPageControl>(frame); }
    std::string className() const override { return "DTPageControl"; }

    const std::optional<DTDotViewClass>& dotViewClass() const { return dotViewClass_; }
    // Resets the stored dot size to zero and rebuilds the dots.
    void setDotViewClass(std::optional<DTDotViewClass> dotClass);
    const UIImageRef& dotImage() const { return dotImage_; }
    // Image dots replace the dot view class.
    void setDotImage(const UIImageRef& image);
    const UIImageRef& currentDotImage() const { return currentDotImage_; }
    void setCurrentDotImage(const UIImageRef& image);
    // Unset (zero): the dot image's size, else 8 x 8 with a dot view class.
    CGSize dotSize();
    void setDotSize(CGSize size) { dotSize_ = size; }
    const std::optional<UIColor>& dotColor() const { return dotColor_; }
    void setDotColor(std::optional<UIColor> color) { dotColor_ = std::move(color); }
    NSInteger spacingBetweenDots() const { return spacing_; }
    void setSpacingBetweenDots(NSInteger spacing);
    std::shared_ptr<DTPageControlDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<DTPageControlDelegate> delegate) { delegate_ = std::move(delegate); }
    NSInteger numberOfPages() const { return pages_; }
    // Negative counts are 0; the current page is kept below the count.
    void setNumberOfPages(NSInteger pages);
    NSInteger currentPage() const { return current_; }
    // Pages outside 0 ... numberOfPages - 1 are ignored.
    void setCurrentPage(NSInteger page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool hides) { hidesForSinglePage_ = hides; }
    bool shouldResizeFromCenter() const { return resizeFromCenter_; }
    void setShouldResizeFromCenter(bool fromCenter) { resizeFromCenter_ = fromCenter; }
    // The dot views, index = page.
    const std::vector<std::shared_ptr<UIView>>& dots() const { return dots_; }

    // The size that `pages` dots need (zero for no pages).
    CGSize sizeForNumberOfPages(NSInteger pages);
    // Fits the frame to the dots (keeping the centre when resizing from the centre).
    void sizeToFit() { updateFrame(true); }
    CGSize sizeThatFits(CGSize size) const override;
    // Grows the frame to fit the dots (always when overriding), then rebuilds the dots.
    void updateFrame(bool overrideExistingFrame);

    // A tap on a dot tells the delegate its page; taps elsewhere on the control do nothing.
    void handleTap(CGPoint point) override;

private:
    void resetDotViews();
    std::shared_ptr<UIView> generateDotView();
    void placeDot(UIView& dot, NSInteger index);
    void changeActivity(bool active, NSInteger index);

    std::optional<DTDotViewClass> dotViewClass_ = DTDotViewClass::of<DTAnimatedDotView>();
    UIImageRef dotImage_;
    UIImageRef currentDotImage_;
    CGSize dotSize_ {};
    std::optional<UIColor> dotColor_;
    NSInteger spacing_ = 8;
    std::weak_ptr<DTPageControlDelegate> delegate_;
    NSInteger pages_ = 0;
    NSInteger current_ = 0;
    bool hidesForSinglePage_ = false;
    bool resizeFromCenter_ = true;
    std::vector<std::shared_ptr<UIView>> dots_;
};
