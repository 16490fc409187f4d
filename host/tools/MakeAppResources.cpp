// quillmark-make-resources: draws the application's own artwork into its bundle folder.
//
//   quillmark-make-resources <bundle folder>
//
// Every image is written at scale 1 ("name.png") and 2 ("name@2x.png"). The pictures are simple
// vector drawings made here; run this again after changing one and commit the PNGs.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/graphics/Context.h"
#include "platform/graphics/Text.h"
#include "platform/graphics/UIImage.h"

namespace {

using Draw = std::function<void(const CGContextRef&, CGSize)>;

const UIColor kGreen = UIColor::colorWithRed(112 / 255.0, 188 / 255.0, 90 / 255.0, 1);
const UIColor kBlue = UIColor::colorWithRed(45 / 255.0, 119 / 255.0, 190 / 255.0, 1);

bool writeImage(const std::filesystem::path& folder, const std::string& name, CGSize size, const Draw& draw)
{
    for (int scale : { 1, 2 }) {
        UIGraphicsBeginImageContextWithOptions(size, false, scale);
        draw(UIGraphicsGetCurrentContext(), size);
        Bytes png = UIImagePNGRepresentation(UIGraphicsGetImageFromCurrentImageContext());
        UIGraphicsEndImageContext();
        std::string file = name + (scale == 2 ? "@2x" : "") + ".png";
        std::filesystem::path path = folder / file;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        if (png.empty() || !out) {
            std::fprintf(stderr, "quillmark-make-resources: cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

void strokeLines(const CGContextRef& c, const UIColor& color, double width, std::initializer_list<CGPoint> points)
{
    CGContextSetStrokeColorWithColor(c, color.CGColor());
    CGContextSetLineWidth(c, width);
    CGContextSetLineCap(c, kCGLineCapRound);
    CGContextSetLineJoin(c, kCGLineJoinRound);
    CGContextBeginPath(c);
    bool first = true;
    for (CGPoint p : points) {
        if (first)
            CGContextMoveToPoint(c, p.x, p.y);
        else
            CGContextAddLineToPoint(c, p.x, p.y);
        first = false;
    }
    CGContextStrokePath(c);
}

void fillTriangle(const CGContextRef& c, CGPoint a, CGPoint b, CGPoint d)
{
    CGContextBeginPath(c);
    CGContextMoveToPoint(c, a.x, a.y);
    CGContextAddLineToPoint(c, b.x, b.y);
    CGContextAddLineToPoint(c, d.x, d.y);
    CGContextClosePath(c);
    CGContextFillPath(c);
}

// The back chevron of the navigation bar: white on the bar's colour.
void navBack(const CGContextRef& c, CGSize s)
{
    strokeLines(c, UIColor::whiteColor(), 2.5, { { s.width - 2, 2 }, { 2.5, s.height / 2 }, { s.width - 2, s.height - 2 } });
}

// The head image of the home grid: a quill over a blue tile.
void headImage(const CGContextRef& c, CGSize s)
{
    CGContextSetFillColorWithColor(c, kBlue.CGColor());
    graphics::addRoundedRect(c, { {}, s }, 18);
    CGContextFillPath(c);
    CGContextSetFillColorWithColor(c, UIColor::whiteColor().CGColor());
    CGContextBeginPath(c);
    CGContextMoveToPoint(c, 78, 18);
    CGContextAddQuadCurveToPoint(c, 40, 40, 32, 88);
    CGContextAddQuadCurveToPoint(c, 70, 64, 78, 18);
    CGContextClosePath(c);
    CGContextFillPath(c);
    strokeLines(c, kBlue, 2, { { 70, 32 }, { 38, 82 } });
    strokeLines(c, UIColor::whiteColor(), 3, { { 32, 88 }, { 26, 96 } });
}

// The placeholder of pictures still loading: a framed landscape in greys.
void placeholder(const CGContextRef& c, CGSize s)
{
    CGContextSetGrayFillColor(c, 0.92, 1);
    CGContextFillRect(c, { {}, s });
    CGContextSetGrayFillColor(c, 0.75, 1);
    fillTriangle(c, { s.width * 0.15, s.height * 0.78 }, { s.width * 0.42, s.height * 0.40 }, { s.width * 0.66, s.height * 0.78 });
    fillTriangle(c, { s.width * 0.48, s.height * 0.78 }, { s.width * 0.66, s.height * 0.54 }, { s.width * 0.85, s.height * 0.78 });
    CGContextFillEllipseInRect(c, { { s.width * 0.64, s.height * 0.18 }, { s.width * 0.16, s.height * 0.16 } });
}

// The notch above the drop-down list, pointing up.
void notch(const CGContextRef& c, CGSize s)
{
    CGContextSetFillColorWithColor(c, UIColor::whiteColor().CGColor());
    fillTriangle(c, { 0, s.height }, { s.width / 2, 0 }, { s.width, s.height });
}

// Paging arrows, white: a triangle pointing left or right, with a bar at its tip for the ends.
Draw pagingArrow(bool right, bool toTheEnd)
{
    return [right, toTheEnd](const CGContextRef& c, CGSize s) {
        CGContextSetFillColorWithColor(c, UIColor::whiteColor().CGColor());
        double tip = right ? s.width * 0.78 : s.width * 0.22;
        double back = right ? s.width * 0.30 : s.width * 0.70;
        if (toTheEnd) {
            tip = right ? s.width * 0.68 : s.width * 0.32;
            back = right ? s.width * 0.22 : s.width * 0.78;
            double bar = right ? s.width * 0.72 : s.width * 0.16;
            CGContextFillRect(c, { { bar, s.height * 0.22 }, { s.width * 0.12, s.height * 0.56 } });
        }
        fillTriangle(c, { back, s.height * 0.22 }, { tip, s.height / 2 }, { back, s.height * 0.78 });
    };
}

// The keyboard toolbar's previous and next arrows: chevrons for a 44-point bar, black like the
// toolbar's default tint.
Draw toolbarArrow(bool right)
{
    return [right](const CGContextRef& c, CGSize s) {
        double tip = right ? s.width - 3 : 3, back = right ? 3 : s.width - 3;
        strokeLines(c, UIColor::blackColor(), 2.5, { { back, 3 }, { tip, s.height / 2 }, { back, s.height - 3 } });
    };
}

// The HUD's icons, white on the HUD's dark box.
void successIcon(const CGContextRef& c, CGSize s)
{
    strokeLines(c, UIColor::whiteColor(), 3, { { s.width * 0.2, s.height * 0.52 }, { s.width * 0.42, s.height * 0.74 }, { s.width * 0.82, s.height * 0.28 } });
}

void errorIcon(const CGContextRef& c, CGSize s)
{
    strokeLines(c, UIColor::whiteColor(), 3, { { s.width * 0.25, s.height * 0.25 }, { s.width * 0.75, s.height * 0.75 } });
    strokeLines(c, UIColor::whiteColor(), 3, { { s.width * 0.75, s.height * 0.25 }, { s.width * 0.25, s.height * 0.75 } });
}

// The six picture pages: a coloured card with its number and a few soft shapes.
Draw picturePage(int index)
{
    return [index](const CGContextRef& c, CGSize s) {
        static const double hues[6][3] = {
            { 45, 119, 190 }, { 112, 188, 90 }, { 236, 140, 64 }, { 150, 98, 196 }, { 224, 86, 110 }, { 40, 160, 160 },
        };
        const double* rgb = hues[index % 6];
        auto colour = UIColor::colorWithRed(rgb[0] / 255, rgb[1] / 255, rgb[2] / 255, 1);
        CGContextSetFillColorWithColor(c, colour.CGColor());
        graphics::addRoundedRect(c, { {}, s }, 24);
        CGContextFillPath(c);
        CGContextSetRGBFillColor(c, 1, 1, 1, 0.18);
        CGContextFillEllipseInRect(c, { { -s.width * 0.3, s.height * 0.55 }, { s.width, s.width } });
        CGContextFillEllipseInRect(c, { { s.width * 0.55, -s.width * 0.2 }, { s.width * 0.7, s.width * 0.7 } });
        NSStringAttributes big;
        big.font = UIFont::boldSystemFontOfSize(180);
        big.foregroundColor = UIColor::whiteColor();
        big.alignment = NSTextAlignmentCenter;
        graphics::drawTextInRect(c, std::to_string(index + 1), { { 0, s.height * 0.25 }, { s.width, 240 } }, big);
        NSStringAttributes small = big;
        small.font = UIFont::systemFontOfSize(28);
        graphics::drawTextInRect(c, "Quillmark", { { 0, s.height * 0.68 }, { s.width, 40 } }, small);
    };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillmark-make-resources <bundle folder>\n");
        return 2;
    }
    std::filesystem::path folder = argv[1];
    bool ok = writeImage(folder, "nav_back", { 12, 22 }, navBack);
    ok = writeImage(folder, "toutou", { 110, 110 }, headImage) && ok;
    ok = writeImage(folder, "moren", { 60, 60 }, placeholder) && ok;
    ok = writeImage(folder, "sanjiao", { 15, 15 }, notch) && ok;
    ok = writeImage(folder, "zuodi", { 20, 20 }, pagingArrow(false, true)) && ok;
    ok = writeImage(folder, "zuo", { 20, 20 }, pagingArrow(false, false)) && ok;
    ok = writeImage(folder, "youdi", { 20, 20 }, pagingArrow(true, false)) && ok;
    ok = writeImage(folder, "you", { 20, 20 }, pagingArrow(true, true)) && ok;
    ok = writeImage(folder, "PGProgressHUD.bundle/success", { 37, 37 }, successIcon) && ok;
    ok = writeImage(folder, "PGProgressHUD.bundle/error", { 37, 37 }, errorIcon) && ok;
    ok = writeImage(folder, "KBKeyboardManager.bundle/KBButtonBarArrowLeft", { 14, 24 }, toolbarArrow(false)) && ok;
    ok = writeImage(folder, "KBKeyboardManager.bundle/KBButtonBarArrowRight", { 14, 24 }, toolbarArrow(true)) && ok;
    for (int i = 0; i < 6; ++i)
        ok = writeImage(folder, "750_" + std::to_string(i), { 375, 667 }, picturePage(i)) && ok;
    return ok ? 0 : 1;
}
