// Colour spaces, CGColor values and UIColor's constructors and reads.
#include "platform/graphics/Color.h"

#include <algorithm>
#include <charconv>

std::size_t CGColorSpace::numberOfComponents() const
{
    switch (model_) {
    case kCGColorSpaceModelMonochrome:
    case kCGColorSpaceModelIndexed:
        return 1;
    case kCGColorSpaceModelRGB:
    case kCGColorSpaceModelLab:
        return 3;
    case kCGColorSpaceModelCMYK:
        return 4;
    default:
        return 0;
    }
}

CGColorSpaceRef CGColorSpaceCreateDeviceRGB()
{
    static const CGColorSpaceRef space = std::make_shared<const CGColorSpace>(kCGColorSpaceModelRGB);
    return space;
}

CGColorSpaceRef CGColorSpaceCreateDeviceGray()
{
    static const CGColorSpaceRef space = std::make_shared<const CGColorSpace>(kCGColorSpaceModelMonochrome);
    return space;
}

CGColorSpaceRef CGColorSpaceCreateDeviceCMYK()
{
    static const CGColorSpaceRef space = std::make_shared<const CGColorSpace>(kCGColorSpaceModelCMYK);
    return space;
}

CGColorSpaceRef CGColorSpaceCreateIndexed(const std::vector<std::uint8_t>& table)
{
    if (table.size() % 3 != 0 || table.empty() || table.size() > 256 * 3)
        return nullptr;
    return std::make_shared<const CGColorSpace>(kCGColorSpaceModelIndexed, table);
}

CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space)
{
    return space ? space->model() : kCGColorSpaceModelUnknown;
}

std::size_t CGColorSpaceGetNumberOfComponents(const CGColorSpaceRef& space)
{
    return space ? space->numberOfComponents() : 0;
}

namespace {

double clamp01(double v)
{
    if (!(v >= 0))
        return 0; // NaN and negatives
    return std::min(v, 1.0);
}

} // namespace

bool CGColor::operator==(const CGColor& other) const
{
    if (model != other.model)
        return false;
    std::size_t n = model == kCGColorSpaceModelMonochrome ? 2 : 4;
    return std::equal(components, components + n, other.components);
}

CGColor CGColorCreateGenericRGB(double red, double green, double blue, double alpha)
{
    CGColor c;
    c.model = kCGColorSpaceModelRGB;
    c.components[0] = clamp01(red);
    c.components[1] = clamp01(green);
    c.components[2] = clamp01(blue);
    c.components[3] = clamp01(alpha);
    return c;
}

CGColor CGColorCreateGenericGray(double white, double alpha)
{
    CGColor c;
    c.model = kCGColorSpaceModelMonochrome;
    c.components[0] = clamp01(white);
    c.components[1] = clamp01(alpha);
    return c;
}

bool CGColorEqualToColor(const CGColor& a, const CGColor& b) { return a == b; }
double CGColorGetAlpha(const CGColor& color) { return color.alpha(); }
std::size_t CGColorGetNumberOfComponents(const CGColor& color)
{
    return color.model == kCGColorSpaceModelMonochrome ? 2 : 4;
}

CGColor CGColorCreateCopyWithAlpha(const CGColor& color, double alpha)
{
    CGColor c = color;
    c.components[c.model == kCGColorSpaceModelMonochrome ? 1 : 3] = clamp01(alpha);
    return c;
}

UIColor UIColor::colorWithRed(double red, double green, double blue, double alpha)
{
    return UIColor(CGColorCreateGenericRGB(red, green, blue, alpha));
}

UIColor UIColor::colorWithWhite(double white, double alpha) { return UIColor(CGColorCreateGenericGray(white, alpha)); }

UIColor UIColor::blackColor() { return colorWithWhite(0, 1); }
UIColor UIColor::darkGrayColor() { return colorWithWhite(1.0 / 3.0, 1); }
UIColor UIColor::grayColor() { return colorWithWhite(0.5, 1); }
UIColor UIColor::lightGrayColor() { return colorWithWhite(2.0 / 3.0, 1); }
UIColor UIColor::whiteColor() { return colorWithWhite(1, 1); }
UIColor UIColor::clearColor() { return colorWithWhite(0, 0); }
UIColor UIColor::redColor() { return colorWithRed(1, 0, 0, 1); }
UIColor UIColor::greenColor() { return colorWithRed(0, 1, 0, 1); }
UIColor UIColor::blueColor() { return colorWithRed(0, 0, 1, 1); }
UIColor UIColor::cyanColor() { return colorWithRed(0, 1, 1, 1); }
UIColor UIColor::yellowColor() { return colorWithRed(1, 1, 0, 1); }
UIColor UIColor::magentaColor() { return colorWithRed(1, 0, 1, 1); }
UIColor UIColor::orangeColor() { return colorWithRed(1, 0.5, 0, 1); }
UIColor UIColor::purpleColor() { return colorWithRed(0.5, 0, 0.5, 1); }
UIColor UIColor::brownColor() { return colorWithRed(0.6, 0.4, 0.2, 1); }

UIColor UIColor::colorWithAlphaComponent(double alpha) const
{
    return UIColor(CGColorCreateCopyWithAlpha(color_, alpha));
}

bool UIColor::getRed(double* red, double* green, double* blue, double* alpha) const
{
    if (red)
        *red = color_.red();
    if (green)
        *green = color_.green();
    if (blue)
        *blue = color_.blue();
    if (alpha)
        *alpha = color_.alpha();
    return true;
}

bool UIColor::getWhite(double* white, double* alpha) const
{
    if (color_.model != kCGColorSpaceModelMonochrome)
        return false;
    if (white)
        *white = color_.components[0];
    if (alpha)
        *alpha = color_.components[1];
    return true;
}

std::string UIColor::description() const
{
    auto num = [](double v) {
        char buf[32];
        auto res = std::to_chars(buf, buf + sizeof buf, v);
        return std::string(buf, res.ptr);
    };
    if (color_.model == kCGColorSpaceModelMonochrome)
        return "grey " + num(color_.components[0]) + " " + num(color_.components[1]);
    return "rgb " + num(color_.components[0]) + " " + num(color_.components[1]) + " "
        + num(color_.components[2]) + " " + num(color_.components[3]);
}
