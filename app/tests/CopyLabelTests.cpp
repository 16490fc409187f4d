// The copyable label as a user meets it in a window: a tap makes it first responder and shows
// the edit menu over its frame, the menu offers only copying, and copying puts the whole text
// on the general pasteboard.
#include <gtest/gtest.h>

#include "app/UICopyLabel.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"

namespace {

class CopyLabel : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        UIMenuController::sharedMenuController()->reset();
        UIPasteboard::generalPasteboard()->clear();
        window = UIWindow::create();
        window->makeKeyAndVisible();
        container = UIView::create(CGRectMake(0, 100, 320, 200));
        window->addSubview(container);
    }
    void TearDown() override
    {
        testing_support::settle(1);
        window.reset();
        UIMenuController::sharedMenuController()->reset();
        UIPasteboard::generalPasteboard()->clear();
        UIApplication::sharedApplication()->reset();
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIView> container;
};

TEST_F(CopyLabel, TapShowsTheMenuAndCopyTakesTheWholeText)
{
    auto label = UICopyLabel::initWithFrame(CGRectMake(10, 20, 200, 21));
    label->setText("18600000000 王");
    container->addSubview(label);
    EXPECT_EQ(window->sendTap(CGPointMake(50, 130)), label);
    auto menu = UIMenuController::sharedMenuController();
    EXPECT_TRUE(label->isFirstResponder());
    EXPECT_TRUE(menu->isMenuVisible());
    EXPECT_TRUE(CGRectEqualToRect(menu->targetRect(), CGRectMake(10, 20, 200, 21)));
    EXPECT_EQ(menu->targetView(), container);

    for (const char* action : { "cut:", "paste:", "selectAll:" })
        EXPECT_FALSE(label->canPerformAction(action, nullptr)) << action;
    ASSERT_TRUE(label->canPerformAction("copy:", nullptr));
    label->copy(nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "18600000000 王");
}

// A label made without the set-up (as from a layout file) gets it when it wakes; empty, it copies
// an empty text over what the pasteboard held.
TEST_F(CopyLabel, APlainLabelIgnoresTapsUntilSetUp)
{
    auto label = std::make_shared<UICopyLabel>(CGRectMake(0, 0, 100, 21));
    container->addSubview(label);
    window->sendTap(CGPointMake(20, 110));
    EXPECT_FALSE(label->isFirstResponder());
    label->awakeFromNib();
    window->sendTap(CGPointMake(20, 110));
    EXPECT_TRUE(label->isFirstResponder());
    UIPasteboard::generalPasteboard()->setString("before");
    label->copy(nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "");
}

TEST_F(CopyLabel, TheLabelDoesNotKeepItselfAlive)
{
    std::weak_ptr<UICopyLabel> weak;
    {
        auto label = UICopyLabel::initWithFrame(CGRectMake(0, 0, 100, 21));
        weak = label;
    }
    EXPECT_TRUE(weak.expired());
}

} // namespace
