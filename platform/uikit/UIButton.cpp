// Buttons: per-state content and its layout.
#include "platform/uikit/UIButton.h"

#include <algorithm>

UIButton::UIButton(CGRect frame, UIButtonType type)
    : UIControl(frame)
    , type_(type)
{
    setOpaque(false);
}

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type)
{
    return std::make_shared<UIButton>(CGRectZero, type);
}

template <class T>
T UIButton::lookup(const std::map<UIControlState, T>& values, UIControlState state, T fallback)
{
    if (auto it = values.find(state); it != values.end())
        return it->second;
    // Combined states fall back to their single parts, then to normal.
    for (UIControlState single : { UIControlStateDisabled, UIControlStateSelected, UIControlStateHighlighted }) {
        if (!(state & single))
            continue;
        if (auto it = values.find(single); it != values.end())
            return it->second;
    }
    if (auto it = values.find(UIControlStateNormal); it != values.end())
        return it->second;
    return fallback;
}

void UIButton::setTitle(const std::string& title, UIControlState state)
{
    titles_[state] = title;
    refreshContent();
}

std::string UIButton::titleForState(UIControlState state) const
{
    return lookup<std::string>(titles_, state, "");
}

void UIButton::setTitleColor(const UIColor& color, UIControlState state)
{
    titleColors_[state] = color;
    refreshContent();
}

UIColor UIButton::titleColorForState(UIControlState state) const
{
    UIColor fallback = type_ == UIButtonTypeCustom ? UIColor::whiteColor() : tintColor();
    if (type_ != UIButtonTypeCustom && (state & UIControlStateDisabled))
        fallback = UIColor::colorWithWhite(0.5, 0.5);
    return lookup<UIColor>(titleColors_, state, fallback);
}

void UIButton::setImage(const UIImageRef& image, UIControlState state)
{
    images_[state] = image;
    refreshContent();
}

UIImageRef UIButton::imageForState(UIControlState state) const
{
    return lookup<UIImageRef>(images_, state, nullptr);
}

void UIButton::setBackgroundImage(const UIImageRef& image, UIControlState state)
{
    backgrounds_[state] = image;
    setNeedsDisplay();
}

UIImageRef UIButton::backgroundImageForState(UIControlState state) const
{
    return lookup<UIImageRef>(backgrounds_, state, nullptr);
}

std::shared_ptr<UILabel> UIButton::titleLabel()
{
    if (!titleLabel_) {
        titleLabel_ = UILabel::create();
        titleLabel_->setFont(UIFont::systemFontOfSize(type_ == UIButtonTypeCustom ? 15 : 15));
        titleLabel_->setTextAlignment(NSTextAlignmentCenter);
        addSubview(titleLabel_);
        refreshContent();
    }
    return titleLabel_;
}

std::shared_ptr<UIImageView> UIButton::imageView()
{
    if (!imageView_) {
        imageView_ = UIImageView::create();
        imageView_->setContentMode(UIViewContentModeCenter);
        insertSubviewAtIndex(imageView_, 0);
        refreshContent();
    }
    return imageView_;
}

void UIButton::stateDidChange()
{
    refreshContent();
    setNeedsDisplay();
}

void UIButton::tintColorDidChange()
{
    if (type_ != UIButtonTypeCustom)
        refreshContent();
}

void UIButton::refreshContent()
{
    auto s = state();
    if (!titleLabel_ && !titleForState(s).empty())
        titleLabel();
    if (!imageView_ && imageForState(s))
        imageView();
    if (titleLabel_) {
        titleLabel_->setText(titleForState(s));
        titleLabel_->setTextColor(titleColorForState(s));
        if (type_ != UIButtonTypeCustom)
            titleLabel_->setAlpha(isHighlighted() ? 0.2 : 1);
    }
    if (imageView_)
        imageView_->setImage(imageForState(s));
    setNeedsLayout();
}

void UIButton::layoutSubviews()
{
    CGRect content = UIEdgeInsetsInsetRect(bounds(), contentInsets_);
    CGSize imageSize = imageView_ && imageView_->image() ? imageView_->image()->size() : CGSizeZero;
    CGSize titleSize = titleLabel_ && !titleLabel_->text().empty() ? titleLabel_->sizeThatFits(CGSizeZero) : CGSizeZero;
    titleSize.width = std::min(titleSize.width, std::max(0.0, content.size.width - imageSize.width));
    double total = imageSize.width + titleSize.width;
    double x = content.origin.x + (content.size.width - total) / 2;
    auto align = contentHorizontalAlignment();
    if (align == UIControlContentHorizontalAlignmentLeft)
        x = content.origin.x;
    else if (align == UIControlContentHorizontalAlignmentRight)
        x = content.origin.x + content.size.width - total;
    double midY = content.origin.y + content.size.height / 2;
    if (imageView_) {
        CGRect r { { x, midY - imageSize.height / 2 }, imageSize };
        if (align == UIControlContentHorizontalAlignmentFill && titleSize.width == 0)
            r = content;
        imageView_->setFrame(UIEdgeInsetsInsetRect(r, imageInsets_));
    }
    if (titleLabel_) {
        CGRect r { { x + imageSize.width, midY - titleSize.height / 2 }, titleSize };
        titleLabel_->setFrame(UIEdgeInsetsInsetRect(r, titleInsets_));
    }
}

CGSize UIButton::sizeThatFits(CGSize) const
{
    auto s = state();
    CGSize image = imageForState(s) ? imageForState(s)->size() : CGSizeZero;
    CGSize title = CGSizeZero;
    if (titleLabel_ && !titleLabel_->text().empty())
        title = titleLabel_->sizeThatFits(CGSizeZero);
    double w = image.width + title.width + contentInsets_.left + contentInsets_.right;
    double h = std::max(image.height, title.height) + contentInsets_.top + contentInsets_.bottom;
    if (type_ != UIButtonTypeCustom)
        h = std::max(h, 30.0);
    return { w, h };
}

void UIButton::drawRect(CGRect)
{
    auto background = currentBackgroundImage();
    if (!background) {
        UIView::drawRect(bounds());
        return;
    }
    background->drawInRect(bounds());
}
