// The fresh headless world every toolkit test starts from: virtual time, the main thread, a
// reset application and device profile, an empty animation log and a key window of the default
// screen (320 × 568).
#pragma once

#include <gtest/gtest.h>

#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAnimationLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"

namespace uitest {

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        uikit::clearAnimationLog();
        window = UIWindow::create();
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        testing_support::settle(1);
        window.reset();
        UIApplication::sharedApplication()->reset();
        uikit::resetDeviceProfile();
    }
    // Moves the clock on and runs what came due.
    void advance(double seconds)
    {
        time.advance(seconds);
        testing_support::settle(2);
    }

    testing_support::VirtualTime time;
    std::shared_ptr<UIWindow> window;
};

} // namespace uitest
