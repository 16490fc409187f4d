// Colour spaces and colours. CGColor is an immutable value in a grey or RGB space;
// UIColor wraps one and adds the platform's named colours and component reads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"

enum CGColorSpaceModel : int {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
    kCGColorSpaceModelCMYK = 2,
    kCGColorSpaceModelLab = 3,
    kCGColorSpaceModelDeviceN = 4,
    kCGColorSpaceModelIndexed = 5,
    kCGColorSpaceModelPattern = 6,
};

// A colour space: its model, and for an indexed space the base (RGB) and the palette
// (3 bytes per entry).
class CGColorSpace {
public:
    explicit CGColorSpace(CGColorSpaceModel model, std::vector<std::uint8_t> palette = {})
        : model_(model)
        , palette_(std::move(palette))
    {
    }
    CGColorSpaceModel model() const { return model_; }
    std::size_t numberOfComponents() const;
    const std::vector<std::uint8_t>& palette() const { return palette_; } // RGB triples

private:
    CGColorSpaceModel model_;
    std::vector<std::uint8_t> palette_;
};

using CGColorSpaceRef = std::shared_ptr<const CGColorSpace>;

CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceRef CGColorSpaceCreateDeviceGray();
CGColorSpaceRef CGColorSpaceCreateDeviceCMYK();
// An indexed space over RGB; `table` holds 3 bytes per entry (at most 256 entries).
CGColorSpaceRef CGColorSpaceCreateIndexed(const std::vector<std::uint8_t>& table);
CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space); // unknown for null
std::size_t CGColorSpaceGetNumberOfComponents(const CGColorSpaceRef& space);

// A colour in device grey (components white, alpha) or device RGB (red, green, blue, alpha).
struct CGColor {
    CGColorSpaceModel model = kCGColorSpaceModelRGB;
    double components[4] = { 0, 0, 0, 0 };

    // The colour as RGBA, whatever its space.
    double red() const { return components[0]; }
    double green() const { return model == kCGColorSpaceModelMonochrome ? components[0] : components[1]; }
    double blue() const { return model == kCGColorSpaceModelMonochrome ? components[0] : components[2]; }
    double alpha() const { return model == kCGColorSpaceModelMonochrome ? components[1] : components[3]; }
    bool operator==(const CGColor& other) const;
};

CGColor CGColorCreateGenericRGB(double red, double green, double blue, double alpha);
CGColor CGColorCreateGenericGray(double white, double alpha);
bool CGColorEqualToColor(const CGColor& a, const CGColor& b); // same space and components
double CGColorGetAlpha(const CGColor& color);
std::size_t CGColorGetNumberOfComponents(const CGColor& color);
CGColor CGColorCreateCopyWithAlpha(const CGColor& color, double alpha);

class UIColor {
public:
    UIColor() = default; // clear
    explicit UIColor(::CGColor color)
        : color_(color)
    {
    }

    // Components are clamped to 0...1 as the platform does.
    static UIColor colorWithRed(double red, double green, double blue, double alpha);
    static UIColor colorWithWhite(double white, double alpha);
    static UIColor colorWithCGColor(const ::CGColor& color) { return UIColor(color); }

    static UIColor blackColor(); // white 0
    static UIColor darkGrayColor(); // white 1/3
    static UIColor grayColor(); // white 1/2
    static UIColor lightGrayColor(); // white 2/3
    static UIColor whiteColor(); // white 1
    static UIColor clearColor(); // white 0, alpha 0
    static UIColor redColor();
    static UIColor greenColor();
    static UIColor blueColor();
    static UIColor cyanColor();
    static UIColor yellowColor();
    static UIColor magentaColor();
    static UIColor orangeColor();
    static UIColor purpleColor();
    static UIColor brownColor();

    UIColor colorWithAlphaComponent(double alpha) const;
    // RGBA of any colour; always succeeds for the grey and RGB spaces.
    bool getRed(double* red, double* green, double* blue, double* alpha) const;
    // Grey level and alpha; fails (false) for RGB colours.
    bool getWhite(double* white, double* alpha) const;
    const ::CGColor& CGColor() const { return color_; }
    double alpha() const { return color_.alpha(); }

    // Equal when the space and components are equal (white 1 differs from RGB 1,1,1).
    bool operator==(const UIColor& other) const { return color_ == other.color_; }
    // "grey 1 1" (white, alpha) or "rgb 1 0 0 1" (red, green, blue, alpha).
    std::string description() const;

private:
    ::CGColor color_ = CGColorCreateGenericGray(0, 0);
};
