// UIImageView: shows an image (or the highlighted one) per its content mode; keeps animation
// images and their timing as set.
#pragma once

#include <vector>

#include "platform/uikit/UIView.h"

class UIImageView : public UIView {
public:
    explicit UIImageView(CGRect frame = CGRectZero);
    // Sized to the image.
    explicit UIImageView(const UIImageRef& image);
    static std::shared_ptr<UIImageView> create(CGRect frame = CGRectZero) { return std::make_shared<UIImageView>(frame); }
    static std::shared_ptr<UIImageView> withImage(const UIImageRef& image) { return std::make_shared<UIImageView>(image); }
    std::string className() const override { return "UIImageView"; }

    const UIImageRef& image() const { return image_; }
    virtual void setImage(const UIImageRef& image);
    const UIImageRef& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(const UIImageRef& image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    const std::vector<UIImageRef>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<UIImageRef> images) { animationImages_ = std::move(images); }
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds) { animationDuration_ = seconds; }
    NSInteger animationRepeatCount() const { return repeatCount_; }
    void setAnimationRepeatCount(NSInteger count) { repeatCount_ = count; }
    void startAnimating() { animating_ = !animationImages_.empty(); }
    void stopAnimating() { animating_ = false; }
    bool isAnimating() const { return animating_; }

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;

private:
    UIImageRef image_;
    UIImageRef highlightedImage_;
    std::vector<UIImageRef> animationImages_;
    double animationDuration_ = 0;
    NSInteger repeatCount_ = 0;
    bool highlighted_ = false;
    bool animating_ = false;
};

namespace uikit {
// Where an image of `imageSize` goes in `bounds` under a content mode.
CGRect rectForContentMode(UIViewContentMode mode, CGRect bounds, CGSize imageSize);
}
