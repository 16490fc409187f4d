// Fonts and text over Pango: UIFont (the system font by size, bold, by name; metrics), and
// measuring and drawing strings on one line or wrapped in a width. Sizes are in points.
// The system font is DejaVu Sans with WenQuanYi Micro Hei for Chinese.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"

class UIFont {
public:
    static UIFont systemFontOfSize(double size);
    static UIFont boldSystemFontOfSize(double size);
    // A font family by name; a "-Bold" or " Bold" suffix selects bold. Names the machine does
    // not have fall back to the system font, so the result is never missing.
    static UIFont fontWithName(const std::string& name, double size);

    const std::string& fontName() const { return name_; }
    const std::string& familyName() const { return family_; }
    double pointSize() const { return size_; }
    bool isBold() const { return bold_; }
    UIFont fontWithSize(double size) const;

    // Height of one line, distance from the top of a line to the baseline, and from the
    // baseline down (negative), as measured text uses them.
    double lineHeight() const;
    double ascender() const;
    double descender() const;

    bool operator==(const UIFont& other) const
    {
        return family_ == other.family_ && size_ == other.size_ && bold_ == other.bold_;
    }

private:
    UIFont(std::string name, std::string family, double size, bool bold);
    std::string name_;
    std::string family_; // Pango family list
    double size_;
    bool bold_;
};

enum NSTextAlignment : int {
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
    NSTextAlignmentJustified = 3,
    NSTextAlignmentNatural = 4,
};

enum NSLineBreakMode : int {
    NSLineBreakByWordWrapping = 0,
    NSLineBreakByCharWrapping = 1,
    NSLineBreakByClipping = 2,
    NSLineBreakByTruncatingHead = 3,
    NSLineBreakByTruncatingTail = 4,
    NSLineBreakByTruncatingMiddle = 5,
};

using NSStringDrawingOptions = std::uint32_t;
inline constexpr NSStringDrawingOptions NSStringDrawingUsesLineFragmentOrigin = 1u << 0;
inline constexpr NSStringDrawingOptions NSStringDrawingUsesFontLeading = 1u << 1;
inline constexpr NSStringDrawingOptions NSStringDrawingUsesDeviceMetrics = 1u << 3;
inline constexpr NSStringDrawingOptions NSStringDrawingTruncatesLastVisibleLine = 1u << 5;

// The attributes text is measured and drawn with.
struct NSStringAttributes {
    UIFont font = UIFont::systemFontOfSize(12);
    UIColor foregroundColor = UIColor::blackColor();
    NSTextAlignment alignment = NSTextAlignmentNatural;
    NSLineBreakMode lineBreakMode = NSLineBreakByWordWrapping;
};

namespace graphics {

// One line (explicit newlines still start new lines), fractional points.
CGSize sizeWithAttributes(const std::string& text, const NSStringAttributes& attributes);
// The same, rounded up to whole points, as the older measuring call gives.
CGSize sizeWithFont(const std::string& text, const UIFont& font);
// Wrapped within size.width, keeping the lines that fit in size.height (at least one);
// rounded up to whole points.
CGSize sizeWithFont(const std::string& text, const UIFont& font, CGSize constrainedSize, NSLineBreakMode mode);
// With NSStringDrawingUsesLineFragmentOrigin the text wraps within size.width and the lines
// that fit in size.height (at least one) are measured; without it, one line. A width or
// height of 0 or less means no limit. The origin is (0, 0).
CGRect boundingRectWithSize(const std::string& text, CGSize size, NSStringDrawingOptions options,
    const NSStringAttributes& attributes);

// Draws one line with its top-left at `point` in the context; returns its size.
CGSize drawTextAtPoint(const CGContextRef& context, const std::string& text, CGPoint point,
    const NSStringAttributes& attributes);
// Draws wrapped text in the rectangle (aligned, line-broken and truncated per the
// attributes); lines below the rectangle are not drawn. Returns the size used.
CGSize drawTextInRect(const CGContextRef& context, const std::string& text, CGRect rect,
    const NSStringAttributes& attributes);

} // namespace graphics
