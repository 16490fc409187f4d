// Labels: measuring and drawing their text.
#include "platform/uikit/UILabel.h"

#include <algorithm>
#include <cmath>

UILabel::UILabel(CGRect frame)
    : UIView(frame)
{
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void UILabel::setText(const std::string& text)
{
    text_ = text;
    setNeedsDisplay();
}

void UILabel::setFont(const UIFont& font)
{
    font_ = font;
    setNeedsDisplay();
}

void UILabel::setTextColor(const UIColor& color)
{
    textColor_ = color;
    setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment)
{
    alignment_ = alignment;
    setNeedsDisplay();
}

void UILabel::setNumberOfLines(NSInteger lines)
{
    lines_ = lines;
    setNeedsDisplay();
}

void UILabel::setLineBreakMode(NSLineBreakMode mode)
{
    lineBreak_ = mode;
    setNeedsDisplay();
}

void UILabel::setHighlighted(bool highlighted)
{
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void UILabel::setEnabled(bool enabled)
{
    enabled_ = enabled;
    setNeedsDisplay();
}

NSStringAttributes UILabel::attributes() const
{
    NSStringAttributes a;
    a.font = font_;
    a.foregroundColor = highlighted_ && highlightedColor_ ? *highlightedColor_ : textColor_;
    if (!enabled_)
        a.foregroundColor = a.foregroundColor.colorWithAlphaComponent(a.foregroundColor.alpha() * 0.44);
    a.alignment = alignment_;
    a.lineBreakMode = lineBreak_;
    return a;
}

CGRect UILabel::textRectForBounds(CGRect bounds, NSInteger numberOfLines) const
{
    if (text_.empty())
        return { bounds.origin, { 0, 0 } };
    CGSize limit = bounds.size;
    if (numberOfLines > 0)
        limit.height = std::min(limit.height > 0 ? limit.height : 1e9, font_.lineHeight() * double(numberOfLines) + 0.5);
    CGRect r;
    if (numberOfLines == 1) {
        CGSize one = graphics::sizeWithAttributes(text_, attributes());
        r.size = { std::min(std::ceil(one.width), limit.width > 0 ? limit.width : 1e9), std::ceil(one.height) };
    } else {
        r = graphics::boundingRectWithSize(text_, limit, NSStringDrawingUsesLineFragmentOrigin, attributes());
        r.size = { std::ceil(r.size.width), std::ceil(r.size.height) };
    }
    r.origin = bounds.origin;
    return r;
}

CGSize UILabel::sizeThatFits(CGSize size) const
{
    CGSize limit { size.width > 0 ? size.width : 0, 0 };
    if (lines_ != 1 && limit.width <= 0 && preferredWidth_ > 0)
        limit.width = preferredWidth_;
    return textRectForBounds({ {}, limit }, lines_).size;
}

void UILabel::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context || text_.empty())
        return;
    CGRect b = bounds();
    CGRect text = textRectForBounds(b, lines_);
    double height = std::min(text.size.height, b.size.height);
    CGRect area { { b.origin.x, b.origin.y + std::max(0.0, (b.size.height - height) / 2) }, { b.size.width, height } };
    if (lines_ == 1)
        area.size.height = std::max(height, font_.lineHeight());
    graphics::drawTextInRect(context, text_, area, attributes());
}
