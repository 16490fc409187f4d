// A fresh headless world for each toolkit test: virtual time, the main thread, a reset
// application and device profile, a white key window of the default screen (320 × 568),
// a main bundle holding the HUD's two icons, and pixel reads of window snapshots.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/graphics/UIImage.h"
#include "platform/persistence/NSBundle.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAnimationLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"

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

class HUDTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        uikit::clearAnimationLog();
        window = UIWindow::create();
        window->setBackgroundColor(UIColor::whiteColor());
        window->makeKeyAndVisible();

        bundle = std::filesystem::temp_directory_path()
            / ("hud-bundle-" + std::to_string(::getpid()) + "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(bundle / "PGProgressHUD.bundle");
        // A 30-point green success icon and a 24-point red error icon.
        writeIcon((bundle / "PGProgressHUD.bundle/success.png").string(), 30, UIColor::greenColor());
        writeIcon((bundle / "PGProgressHUD.bundle/error.png").string(), 24, UIColor::redColor());
        NSBundle::setMainBundlePath(bundle.string());
    }
    void TearDown() override
    {
        testing_support::settle(1);
        window.reset();
        UIApplication::sharedApplication()->reset();
        uikit::resetDeviceProfile();
        NSBundle::setMainBundlePath("");
        std::filesystem::remove_all(bundle);
    }
    // Moves the clock on and runs what came due.
    void advance(double seconds)
    {
        time.advance(seconds);
        testing_support::settle(2);
    }

    testing_support::VirtualTime time;
    std::shared_ptr<UIWindow> window;
    std::filesystem::path bundle;
};

} // namespace hudtest
