// UIButton: titles, title colours, images and background images per control state (falling
// back to the normal state's), a title label and an image view laid out side by side.
#pragma once

#include <map>

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

enum UIButtonType : int {
    UIButtonTypeCustom = 0,
    UIButtonTypeSystem = 1,
    UIButtonTypeDetailDisclosure = 2,
    UIButtonTypeInfoLight = 3,
    UIButtonTypeInfoDark = 4,
    UIButtonTypeContactAdd = 5,
    UIButtonTypeRoundedRect = UIButtonTypeSystem,
};

class UIButton : public UIControl {
public:
    explicit UIButton(CGRect frame = CGRectZero, UIButtonType type = UIButtonTypeCustom);
    static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);
    static std::shared_ptr<UIButton> create(CGRect frame = CGRectZero) { return std::make_shared<UIButton>(frame); }
    std::string className() const override { return "UIButton"; }
    UIButtonType buttonType() const { return type_; }

    void setTitle(const std::string& title, UIControlState state);
    std::string titleForState(UIControlState state) const;
    void setTitleColor(const UIColor& color, UIControlState state);
    UIColor titleColorForState(UIControlState state) const;
    void setImage(const UIImageRef& image, UIControlState state);
    UIImageRef imageForState(UIControlState state) const;
    void setBackgroundImage(const UIImageRef& image, UIControlState state);
    UIImageRef backgroundImageForState(UIControlState state) const;

    std::string currentTitle() const { return titleForState(state()); }
    UIColor currentTitleColor() const { return titleColorForState(state()); }
    UIImageRef currentImage() const { return imageForState(state()); }
    UIImageRef currentBackgroundImage() const { return backgroundImageForState(state()); }

    // Made on first use and kept as subviews.
    std::shared_ptr<UILabel> titleLabel();
    std::shared_ptr<UIImageView> imageView();

    UIEdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(UIEdgeInsets insets) { contentInsets_ = insets; setNeedsLayout(); }
    UIEdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(UIEdgeInsets insets) { titleInsets_ = insets; setNeedsLayout(); }
    UIEdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(UIEdgeInsets insets) { imageInsets_ = insets; setNeedsLayout(); }
    bool adjustsImageWhenHighlighted() const { return adjustsImage_; }
    void setAdjustsImageWhenHighlighted(bool adjusts) { adjustsImage_ = adjusts; }

    void layoutSubviews() override;
    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;
    std::string dumpText() const override { return currentTitle(); }

    // System buttons draw their title in the tint colour unless a title colour is set.
    void tintColorDidChange() override;

protected:
    void stateDidChange() override;

private:
    template <class T>
    static T lookup(const std::map<UIControlState, T>& values, UIControlState state, T fallback);
    void refreshContent();

    UIButtonType type_;
    std::map<UIControlState, std::string> titles_;
    std::map<UIControlState, UIColor> titleColors_;
    std::map<UIControlState, UIImageRef> images_;
    std::map<UIControlState, UIImageRef> backgrounds_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UIEdgeInsets contentInsets_;
    UIEdgeInsets titleInsets_;
    UIEdgeInsets imageInsets_;
    bool adjustsImage_ = true;
};
