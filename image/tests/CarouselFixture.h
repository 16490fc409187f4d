// A headless world for the carousel and page-control tests: virtual time, the main thread, a
// key window, a helper that moves time and lets the main loop catch up, and plain images.
#pragma once

#include <gtest/gtest.h>

#include "platform/graphics/Image.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAnimationLog.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"

class CarouselFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        uikit::clearAnimationLog();
        window = UIWindow::create();
        window->setBackgroundColor(UIColor::blackColor());
        window->makeKeyAndVisible();
    }
    void TearDown() override { testing_support::settle(1); }
    void advance(double seconds)
    {
        time.advance(seconds);
        testing_support::settle(2);
    }
    static UIImageRef solidImage(CGSize size)
    {
        UIGraphicsBeginImageContext(size);
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image;
    }
    // RGB of a snapshot pixel at a point (in points; the screen scale is 2).
    static std::array<int, 3> pixel(const UIImageRef& shot, double x, double y)
    {
        auto rgba = shot->CGImage()->rgbaAt(static_cast<std::size_t>(x * 2), static_cast<std::size_t>(y * 2));
        return { rgba[0], rgba[1], rgba[2] };
    }

    testing_support::VirtualTime time;
    std::shared_ptr<UIWindow> window;
};
