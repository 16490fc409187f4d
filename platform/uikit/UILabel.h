// UILabel: text drawn in its bounds (vertically centred), with font, colour, alignment,
// line count and line-break mode; sizeThatFits measures through the text layer.
#pragma once

#include "platform/graphics/Text.h"
#include "platform/uikit/UIView.h"

class UILabel : public UIView {
public:
    explicit UILabel(CGRect frame = CGRectZero);
    static std::shared_ptr<UILabel> create(CGRect frame = CGRectZero) { return std::make_shared<UILabel>(frame); }
    std::string className() const override { return "UILabel"; }

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    NSInteger numberOfLines() const { return lines_; }
    void setNumberOfLines(NSInteger lines);
    NSLineBreakMode lineBreakMode() const { return lineBreak_; }
    void setLineBreakMode(NSLineBreakMode mode);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    const std::optional<UIColor>& highlightedTextColor() const { return highlightedColor_; }
    void setHighlightedTextColor(std::optional<UIColor> color) { highlightedColor_ = std::move(color); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool adjustsFontSizeToFitWidth() const { return adjusts_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { adjusts_ = adjusts; }
    CGFloat minimumScaleFactor() const { return minScale_; }
    void setMinimumScaleFactor(CGFloat factor) { minScale_ = factor; }
    CGFloat preferredMaxLayoutWidth() const { return preferredWidth_; }
    void setPreferredMaxLayoutWidth(CGFloat width) { preferredWidth_ = width; }

    // The rectangle the text occupies for `bounds` and a line limit (0: any).
    CGRect textRectForBounds(CGRect bounds, NSInteger numberOfLines) const;
    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;
    std::string dumpText() const override { return text_; }

private:
    NSStringAttributes attributes() const;
    std::string text_;
    UIFont font_ = UIFont::systemFontOfSize(17);
    UIColor textColor_ = UIColor::blackColor();
    std::optional<UIColor> highlightedColor_;
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    NSInteger lines_ = 1;
    NSLineBreakMode lineBreak_ = NSLineBreakByTruncatingTail;
    bool highlighted_ = false;
    bool enabled_ = true;
    bool adjusts_ = false;
    CGFloat minScale_ = 0;
    CGFloat preferredWidth_ = 0;
};
