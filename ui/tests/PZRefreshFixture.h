// The refresh views' tests: the clock at 2024-01-01 00:00 UTC in the UTC zone, fresh user
// defaults, a 320 × 480 scroll view in the key window, and a finger that drags the content and
// lets go.
#pragma once

#include <cstdlib>
#include <ctime>

#include "testing/TempHome.h"
#include "ui/PZScrollViewRefresh.h"
#include "ui/tests/ToolkitTest.h"

namespace refreshtest {

class RefreshTest : public uitest::ToolkitTest {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        ToolkitTest::SetUp();
        scroll = UIScrollView::create(CGRectMake(0, 0, 320, 480));
        window->addSubview(scroll);
    }
    void TearDown() override
    {
        testing_support::settle(1);
        scroll.reset();
        ToolkitTest::TearDown();
    }
    // The finger holds the content at this vertical offset.
    void dragTo(double y)
    {
        scroll->setDragging(true);
        scroll->setContentOffset(CGPointMake(0, y));
    }
    // The finger pulls `view`'s content to this offset and lets go there; the content moves once
    // more as it starts to bounce back.
    static void pull(UIScrollView& view, double y)
    {
        view.setDragging(true);
        view.setContentOffset(CGPointMake(0, y));
        view.setDragging(false);
        view.setContentOffset(CGPointMake(0, y));
    }

    testing_support::TempHome home;
    std::shared_ptr<UIScrollView> scroll;
};

} // namespace refreshtest
