// A fresh headless world for each test: virtual time, the main thread, a reset application,
// keyboard, alert registry and device profile, and a key window of the default screen size.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
