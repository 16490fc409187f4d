// The base screens: layout edges by system version, the bar appearance, the title label, the
// back button that pops, and the list base's table defaults.
#include <gtest/gtest.h>

#include "app/DDYPPartentsController.h"
#include "app/QPAllController.h"
#include "app/YZXNoBackControlller.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBars.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"

namespace {

class BaseScreens : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        UINavigationBar::appearance() = {};
    }
    void TearDown() override
    {
        testing_support::settle(1);
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        UINavigationBar::appearance() = {};
    }
};

TEST_F(BaseScreens, LayoutEdgesFollowTheSystemVersion)
{
    constexpr UIRectEdge allButTop = UIRectEdgeLeft | UIRectEdgeBottom | UIRectEdgeRight;
    UIDevice::currentDevice()->setSystemVersion("7.0");
    auto withBack = std::make_shared<DDYPPartentsController>();
    auto noBack = std::make_shared<YZXNoBackControlller>();
    withBack->view();
    noBack->view();
    EXPECT_EQ(withBack->edgesForExtendedLayout(), UIRectEdgeAll);
    EXPECT_EQ(noBack->edgesForExtendedLayout(), allButTop);
    EXPECT_EQ(allButTop, 14u);

    UIDevice::currentDevice()->setSystemVersion("8.0");
    withBack = std::make_shared<DDYPPartentsController>();
    noBack = std::make_shared<YZXNoBackControlller>();
    withBack->view();
    noBack->view();
    EXPECT_EQ(withBack->edgesForExtendedLayout(), allButTop);
    EXPECT_FALSE(withBack->extendedLayoutIncludesOpaqueBars());
    EXPECT_EQ(noBack->edgesForExtendedLayout(), UIRectEdgeAll);
}

TEST_F(BaseScreens, TitleLabelAndBarAppearance)
{
    auto screen = std::make_shared<DDYPPartentsController>();
    screen->view();
    auto title = screen->myTitle();
    ASSERT_TRUE(title);
    EXPECT_EQ(screen->navigationItem()->titleView(), title);
    EXPECT_EQ(title->frame(), CGRectMake(60, 0, 200, 21));
    EXPECT_EQ(title->textAlignment(), NSTextAlignmentCenter);
    EXPECT_EQ(title->textColor(), UIColor::whiteColor());
    EXPECT_EQ(UINavigationBar::appearance().titleColor, UIColor::whiteColor());
    EXPECT_EQ(UINavigationBar::appearance().tintColor, UIColor::whiteColor());

    // The last screen to load sets the process-wide look.
    auto home = std::make_shared<YZXNoBackControlller>();
    home->view();
    EXPECT_EQ(UINavigationBar::appearance().titleColor, UIColor::grayColor());
    EXPECT_EQ(home->myTitle()->font().pointSize(), 18);
    EXPECT_FALSE(home->navigationItem()->leftBarButtonItem());
}

TEST_F(BaseScreens, BackButtonPopsTheScreen)
{
    auto root = std::make_shared<YZXNoBackControlller>();
    auto navigation = UINavigationController::initWithRootViewController(root);
    auto window = UIWindow::create();
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    auto screen = std::make_shared<DDYPPartentsController>();
    navigation->pushViewController(screen, false);
    ASSERT_EQ(navigation->topViewController(), screen);

    auto item = screen->navigationItem()->leftBarButtonItem();
    ASSERT_TRUE(item);
    ASSERT_EQ(item->customView(), screen->backButton());
    EXPECT_EQ(screen->backButton()->frame(), CGRectMake(0, 3, 12, 22));
    screen->backButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    testing_support::settle(2);
    EXPECT_EQ(navigation->topViewController(), root);
}

TEST_F(BaseScreens, ListBaseShowsTenEmptyRowsWithoutSeparatorsBelow)
{
    auto list = std::make_shared<QPAllController>();
    auto window = UIWindow::create();
    window->setRootViewController(list);
    window->makeKeyAndVisible();
    auto table = list->mytableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_TRUE(table->tableFooterView());
    EXPECT_EQ(list->page(), 0);
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfSections(), 1);
    EXPECT_EQ(table->numberOfRowsInSection(0), 10);
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 3 }).size.height, 92);
    auto cell = table->cellForRowAtIndexPath({ 0, 0 });
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->reuseIdentifier(), "QKSY1");

    auto noBackList = std::make_shared<QPAllNoBackController>();
    noBackList->view();
    EXPECT_EQ(noBackList->mytableView()->frame().size.height, 548);
}

} // namespace
