// UIActivityIndicatorView: a spinner with its style's size and colour; hidden when stopped
// (by default). Drawn as a ring of twelve spokes.
#pragma once

#include "platform/uikit/UIView.h"

enum UIActivityIndicatorViewStyle : int {
    UIActivityIndicatorViewStyleWhiteLarge = 0,
    UIActivityIndicatorViewStyleWhite = 1,
    UIActivityIndicatorViewStyleGray = 2,
};

class UIActivityIndicatorView final : public UIView {
public:
    explicit UIActivityIndicatorView(UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyleWhite);
    static std::shared_ptr<UIActivityIndicatorView> initWithActivityIndicatorStyle(UIActivityIndicatorViewStyle style)
    {
        return std::make_shared<UIActivityIndicatorView>(style);
    }
    std::string className() const override { return "UIActivityIndicatorView"; }
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);
    const UIColor& color() const { return color_; }
    void setColor(const UIColor& color) { color_ = color; setNeedsDisplay(); }
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    CGSize sizeThatFits(CGSize) const override;
    void drawRect(CGRect rect) override;

private:
    UIActivityIndicatorViewStyle style_;
    UIColor color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};
