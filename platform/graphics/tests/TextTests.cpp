// Fonts and text: metrics, one-line and wrapped measuring with the line-fragment option,
// drawing with colour and alignment, and Chinese text rendered into a PNG a person can open
// (build/graphics/chinese-text.png).
#include <gtest/gtest.h>

#include <cmath>

#include "testing/graphics/ImageFixtures.h"
#include "platform/graphics/Text.h"
#include "platform/graphics/UIImage.h"

namespace {

NSStringAttributes withFont(const UIFont& font)
{
    NSStringAttributes a;
    a.font = font;
    return a;
}

// Columns [x0, x1) of row band [y0, y1) that hold any ink.
std::pair<int, int> inkColumns(const CGImageRef& img, int y0, int y1)
{
    int first = -1, last = -1;
    for (int x = 0; x < int(img->width()); ++x)
        for (int y = y0; y < y1; ++y)
            if (img->rgbaAt(std::size_t(x), std::size_t(y))[3] > 100) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return { first, last };
}

} // namespace

TEST(Fonts, MetricsAndWeights)
{
    UIFont regular = UIFont::systemFontOfSize(16);
    UIFont bold = UIFont::boldSystemFontOfSize(16);
    EXPECT_TRUE(bold.isBold());
    EXPECT_GT(regular.lineHeight(), 16);
    EXPECT_LT(regular.lineHeight(), 16 * 1.6);
    EXPECT_GT(regular.ascender(), 0);
    EXPECT_LT(regular.descender(), 0);
    EXPECT_GT(graphics::sizeWithFont("Progress", bold).width, graphics::sizeWithFont("Progress", regular).width);
    EXPECT_NEAR(UIFont::systemFontOfSize(32).lineHeight(), 2 * regular.lineHeight(), 1.0);
    EXPECT_TRUE(UIFont::fontWithName("DejaVu Serif-Bold", 12).isBold());
    EXPECT_EQ(UIFont::fontWithName("NoSuchFace", 12).familyName(), UIFont::systemFontOfSize(12).familyName());
}

TEST(TextMeasure, OneLineAndChineseGlyphWidths)
{
    UIFont font = UIFont::systemFontOfSize(20);
    EXPECT_EQ(graphics::sizeWithFont("", font), CGSizeZero);
    CGSize one = graphics::sizeWithAttributes("abc", withFont(font));
    CGSize two = graphics::sizeWithAttributes("abcabc", withFont(font));
    EXPECT_NEAR(two.width, 2 * one.width, 0.5);
    EXPECT_DOUBLE_EQ(one.height, font.lineHeight());
    CGSize rounded = graphics::sizeWithFont("abc", font);
    EXPECT_EQ(rounded.width, std::ceil(one.width));
    // CJK glyphs of the Chinese font are one em wide: a missing glyph would not be.
    CGSize chinese = graphics::sizeWithAttributes("中文保存到相册", withFont(font));
    EXPECT_NEAR(chinese.width, 7 * 20, 3);
    EXPECT_EQ(graphics::sizeWithAttributes("a\nb", withFont(font)).height, 2 * font.lineHeight());
}

TEST(TextMeasure, WrappedWithLineFragmentOrigin)
{
    UIFont font = UIFont::boldSystemFontOfSize(12);
    const std::string text = "二维码已保存到相册，然后到聊天里面读取二维码添加好友即可";
    NSStringAttributes attrs = withFont(font);
    CGRect single = graphics::boundingRectWithSize(text, CGSizeMake(100, 1000), 0, attrs);
    const double line = single.size.height; // without the option: one line (Chinese lines are a bit taller)
    EXPECT_NEAR(line, font.lineHeight(), 0.5);

    CGRect wrapped = graphics::boundingRectWithSize(text, CGSizeMake(100, 1000), NSStringDrawingUsesLineFragmentOrigin, attrs);
    EXPECT_LE(wrapped.size.width, 100);
    int lines = int(std::lround(wrapped.size.height / line));
    EXPECT_GE(lines, 3);
    EXPECT_NEAR(wrapped.size.height, lines * line, 0.01);

    // The height keeps whole lines that fit, at least one; zero or negative means no limit.
    CGRect two = graphics::boundingRectWithSize(text, CGSizeMake(100, line * 2.5),
        NSStringDrawingUsesLineFragmentOrigin, attrs);
    EXPECT_NEAR(two.size.height, 2 * line, 0.01);
    CGRect tiny = graphics::boundingRectWithSize(text, CGSizeMake(100, 1), NSStringDrawingUsesLineFragmentOrigin, attrs);
    EXPECT_NEAR(tiny.size.height, line, 0.01);
    CGRect negative = graphics::boundingRectWithSize(text, CGSizeMake(100, -40), NSStringDrawingUsesLineFragmentOrigin, attrs);
    EXPECT_EQ(negative.size, wrapped.size);
    EXPECT_EQ(graphics::sizeWithFont(text, font, CGSizeMake(100, 1000), NSLineBreakByWordWrapping),
        CGSizeMake(std::ceil(wrapped.size.width), std::ceil(wrapped.size.height)));
}

TEST(TextDraw, ColourAlignmentAndChineseSnapshot)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(320, 200), true, 2);
    CGContextRef c = UIGraphicsGetCurrentContext();
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 320, 200));
    CGContextSetRGBFillColor(c, 0.44, 0.74, 0.35, 1);
    graphics::addRoundedRect(c, CGRectMake(20, 10, 280, 40), 3);
    CGContextFillPath(c);
    NSStringAttributes title = withFont(UIFont::boldSystemFontOfSize(16));
    title.foregroundColor = UIColor::whiteColor();
    title.alignment = NSTextAlignmentCenter;
    graphics::drawTextInRect(c, "我要发布聊天群", CGRectMake(20, 20, 280, 24), title);
    NSStringAttributes body = withFont(UIFont::systemFontOfSize(13));
    body.foregroundColor = UIColor::grayColor();
    graphics::drawTextInRect(c,
        "如何加粉:长安图片保存到相册，然后到聊天里面读取二维码添加好友即可,建议一次保存多个二维码图片,然后去聊天一起操作添加",
        CGRectMake(20, 70, 280, 70), body);
    NSStringAttributes red = withFont(UIFont::systemFontOfSize(18));
    red.foregroundColor = UIColor::redColor();
    graphics::drawTextAtPoint(c, "提交成功 OK", CGPointMake(20, 150), red);
    UIImageRef snapshot = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(graphics::writePngFile(snapshot->CGImage(), fixtures::artefactDir() + "/chinese-text.png"));

    // The red line has red ink; the centred title is centred within the button.
    CGImageRef img = snapshot->CGImage();
    int reds = 0;
    for (std::size_t y = 300; y < 360; ++y)
        for (std::size_t x = 40; x < 400; ++x) {
            auto p = img->rgbaAt(x, y);
            reds += p[0] > 200 && p[1] < 60 && p[2] < 60;
        }
    EXPECT_GT(reds, 200);

    UIGraphicsBeginImageContextWithOptions(CGSizeMake(200, 30), false, 1);
    NSStringAttributes centred = withFont(UIFont::systemFontOfSize(14));
    centred.alignment = NSTextAlignmentCenter;
    graphics::drawTextInRect(UIGraphicsGetCurrentContext(), "Centre", CGRectMake(0, 0, 200, 30), centred);
    CGImageRef line = UIGraphicsGetImageFromCurrentImageContext()->CGImage();
    UIGraphicsEndImageContext();
    auto [first, last] = inkColumns(line, 0, 30);
    ASSERT_GE(first, 0);
    EXPECT_NEAR((first + last) / 2.0, 100, 3);
}
