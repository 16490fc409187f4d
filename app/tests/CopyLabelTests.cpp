// The copyable label as a user meets it in a window: a tap makes it first responder and shows
// the edit menu over its frame, the menu offers only copying, and copying puts the whole text
// on the general pasteboard. Also the two information screens built around it.
#include <gtest/gtest.h>

#include "app/RQJieTuDetailController.h"
#include "app/RQZuoGeTuController.h"
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
    EXPECT_TRUE(label->isUserInteractionEnabled());
    EXPECT_FALSE(label->isFirstResponder());

    EXPECT_EQ(window->sendTap(CGPointMake(50, 130)), label);
    auto menu = UIMenuController::sharedMenuController();
    EXPECT_TRUE(label->isFirstResponder());
    EXPECT_TRUE(menu->isMenuVisible());
    EXPECT_EQ(menu->showCount(), 1);
    EXPECT_TRUE(CGRectEqualToRect(menu->targetRect(), CGRectMake(10, 20, 200, 21)));
    EXPECT_EQ(menu->targetView(), container);

    for (const char* action : { "cut:", "paste:", "select:", "selectAll:", "delete:" })
        EXPECT_FALSE(label->canPerformAction(action, nullptr)) << action;
    ASSERT_TRUE(label->canPerformAction("copy:", nullptr));
    label->copy(nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "18600000000 王");
}

TEST_F(CopyLabel, APlainLabelIgnoresTapsUntilSetUp)
{
    // A label made without the set-up (as from a layout file) gets it when it wakes.
    auto label = std::make_shared<UICopyLabel>(CGRectMake(0, 0, 100, 21));
    container->addSubview(label);
    window->sendTap(CGPointMake(20, 110));
    EXPECT_FALSE(label->isFirstResponder());
    EXPECT_EQ(UIMenuController::sharedMenuController()->showCount(), 0);

    label->awakeFromNib();
    window->sendTap(CGPointMake(20, 110));
    EXPECT_TRUE(label->isFirstResponder());
    EXPECT_EQ(UIMenuController::sharedMenuController()->showCount(), 1);

    // An empty label copies an empty text over what the pasteboard held.
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

TEST_F(CopyLabel, DownloadLinkScreenHoldsACopyableLine)
{
    auto screen = RQJieTuDetailController::create();
    window->setRootViewController(screen);
    screen->view();
    double width = UIScreen::mainScreen()->bounds().size.width;
    EXPECT_EQ(screen->myTitle()->text(), "WIFI钥匙下载链接");
    ASSERT_TRUE(screen->box());
    EXPECT_TRUE(CGRectEqualToRect(screen->box()->frame(), CGRectMake(20, 20, width - 40, 250)));
    EXPECT_EQ(screen->box()->layer()->borderWidth(), 1);
    auto line = screen->linkLabel();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->superview(), screen->box());
    EXPECT_TRUE(CGRectEqualToRect(line->frame(), CGRectMake(10, 10, width - 60, 230)));
    EXPECT_EQ(line->text(), "安卓用户在应用宝或者商店搜索");
    EXPECT_EQ(line->textAlignment(), NSTextAlignmentCenter);

    line->handleTap(nullptr);
    EXPECT_TRUE(line->isFirstResponder());
    line->copy(nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), "安卓用户在应用宝或者商店搜索");
}

TEST_F(CopyLabel, ScreenshotToolScreenHasItsTextsAndAnInertButton)
{
    auto screen = RQZuoGeTuController::create();
    window->setRootViewController(screen);
    screen->view();
    std::vector<std::string> texts;
    for (const auto& view : screen->view()->subviews()) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(view))
            texts.push_back(label->text());
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "苹果安卓通用"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "正规安全软件，可以放心使用"), texts.end());
    auto button = screen->downloadButton();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->tag(), 0);
    EXPECT_TRUE(CGRectEqualToRect(button->frame(), CGRectMake(20, 160, UIScreen::mainScreen()->bounds().size.width - 40, 40)));
    auto before = screen->view()->subviews().size();
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(screen->view()->subviews().size(), before);
    EXPECT_FALSE(screen->presentedViewController());
}

} // namespace
