// A fresh headless world for each test: virtual time, the main thread, a reset application,
// keyboard, alert registry and device profile, and a key window of the default screen size;
// and helpers to make a plain image and to count the pixels of a snapshot.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/graphics/UIImage.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIAnimationLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"

class UIKitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        uikit::Keyboard::shared()->reset();
        uikit::dismissAllAlerts(false);
        uikit::clearAnimationLog();
        window = UIWindow::create();
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        testing_support::settle(1);
        for (auto& token : observers)
            NSNotificationCenter::defaultCenter()->removeObserver(token.get());
        uikit::dismissAllAlerts(false);
        UIApplication::sharedApplication()->reset();
        uikit::Keyboard::shared()->reset();
    }
    // Records the names of the notifications posted on the default centre.
    void recordNotifications(std::vector<std::string>& names, const std::vector<std::string>& which)
    {
        for (auto& name : which)
            observers.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(name, nullptr, nullptr,
                [&names](const std::shared_ptr<NSNotification>& n) { names.push_back(n->name()); }));
    }
    void advance(double seconds)
    {
        time.advance(seconds);
        testing_support::settle(2);
    }

    testing_support::VirtualTime time;
    std::shared_ptr<UIWindow> window;
    std::vector<NSObjectRef> observers;
};

// An opaque image of `size` pixels (scale 1) in one colour.
inline UIImageRef solidImage(CGSize size, double r = 0, double g = 0, double b = 0)
{
    UIGraphicsBeginImageContextWithOptions(size, true, 1);
    CGContextSetRGBFillColor(UIGraphicsGetCurrentContext(), r, g, b, 1);
    CGContextFillRect(UIGraphicsGetCurrentContext(), { {}, size });
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

// The pixels of a snapshot (scale 2) in a rectangle of points whose colour passes `test(r, g, b)`.
inline int countPixels(const UIImageRef& shot, CGRect rect, const std::function<bool(int, int, int)>& test)
{
    int count = 0;
    for (double y = rect.origin.y; y < CGRectGetMaxY(rect); y += 0.5)
        for (double x = rect.origin.x; x < CGRectGetMaxX(rect); x += 0.5) {
            auto p = shot->CGImage()->rgbaAt(std::size_t(x * 2), std::size_t(y * 2));
            count += test(p[0], p[1], p[2]) ? 1 : 0;
        }
    return count;
}
