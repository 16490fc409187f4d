// The HUD's and progress views' tests: a white key window, a main bundle holding the HUD's two
// icons, and pixel reads of window snapshots.
#pragma once

#include <filesystem>
#include <string>

#include "platform/graphics/UIImage.h"
#include "platform/persistence/NSBundle.h"
#include "testing/TempHome.h"
#include "ui/tests/ToolkitTest.h"

namespace hudtest {

struct Pixel {
    int r, g, b;
};

// The pixel at a point (in points) of a snapshot taken at scale 2.
inline Pixel pixelAt(const UIImageRef& image, double x, double y)
{
    auto rgba = image->CGImage()->rgbaAt(static_cast<std::size_t>(x * 2), static_cast<std::size_t>(y * 2));
    return { rgba[0], rgba[1], rgba[2] };
}

// A square PNG of one colour.
inline void writeIcon(const std::string& path, double side, const UIColor& color)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(side, side), false, 1);
    CGContextSetFillColorWithColor(UIGraphicsGetCurrentContext(), color.CGColor());
    CGContextFillRect(UIGraphicsGetCurrentContext(), CGRectMake(0, 0, side, side));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    graphics::writePngFile(image->CGImage(), path);
}

class HUDTest : public uitest::ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        window->setBackgroundColor(UIColor::whiteColor());
        std::filesystem::create_directories(bundle / "PGProgressHUD.bundle");
        // A 30-point green success icon and a 24-point red error icon.
        writeIcon((bundle / "PGProgressHUD.bundle/success.png").string(), 30, UIColor::greenColor());
        writeIcon((bundle / "PGProgressHUD.bundle/error.png").string(), 24, UIColor::redColor());
        NSBundle::setMainBundlePath(bundle.string());
    }
    void TearDown() override
    {
        ToolkitTest::TearDown();
        NSBundle::setMainBundlePath("");
    }

    testing_support::TempHome home;
    std::filesystem::path bundle = home.path();
};

} // namespace hudtest
