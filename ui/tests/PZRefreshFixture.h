// A headless world for the refresh-view tests: virtual time at 2024-01-01 00:00 UTC in the
// UTC zone, fresh user defaults, a key window holding a 320 × 480 scroll view, and a finger
// that drags the content and lets go.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>

#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAnimationLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"
#include "ui/PZScrollViewRefresh.h"

namespace refreshtest {

class RefreshTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        threading::becomeMainThread();
        UIApplication::sharedApplication()->reset();
        uikit::clearAnimationLog();
        window = UIWindow::create();
        window->makeKeyAndVisible();
        scroll = UIScrollView::create(CGRectMake(0, 0, 320, 480));
        window->addSubview(scroll);
    }
    void TearDown() override
    {
        testing_support::settle(1);
        scroll.reset();
        window.reset();
        UIApplication::sharedApplication()->reset();
    }
    void advance(double seconds)
    {
        time.advance(seconds);
        testing_support::settle(2);
    }
    // The finger holds the content at this vertical offset.
    void dragTo(double y)
    {
        scroll->setDragging(true);
        scroll->setContentOffset(CGPointMake(0, y));
    }
    // The finger lets go; the content moves once more as it starts to bounce back.
    void release(double y)
    {
        scroll->setDragging(false);
        scroll->setContentOffset(CGPointMake(0, y));
    }

    testing_support::VirtualTime time;
    testing_support::TempHome home;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIScrollView> scroll;
};

} // namespace refreshtest
