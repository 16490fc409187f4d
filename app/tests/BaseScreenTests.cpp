// The base screens: layout edges by system version, the title label, the back button that pops,
// and the list base's table.
#include <gtest/gtest.h>

#include <tuple>

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
    for (const auto& [version, withBackEdges, noBackEdges] :
        { std::tuple { "7.0", UIRectEdgeAll, allButTop }, std::tuple { "8.0", allButTop, UIRectEdgeAll } }) {
        UIDevice::currentDevice()->setSystemVersion(version);
        auto withBack = std::make_shared<DDYPPartentsController>();
        auto noBack = std::make_shared<YZXNoBackControlller>();
        withBack->view();
        noBack->view();
        EXPECT_EQ(withBack->edgesForExtendedLayout(), withBackEdges) << version;
        EXPECT_EQ(noBack->edgesForExtendedLayout(), noBackEdges) << version;
    }
}

TEST_F(BaseScreens, TheTitleIsTheBarsViewAndTheBackButtonPopsTheScreen)
{
    auto root = std::make_shared<YZXNoBackControlller>();
    auto navigation = UINavigationController::initWithRootViewController(root);
    auto window = UIWindow::create();
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    EXPECT_FALSE(root->navigationItem()->leftBarButtonItem());
    auto screen = std::make_shared<DDYPPartentsController>();
    navigation->pushViewController(screen, false);
    ASSERT_TRUE(screen->myTitle());
    EXPECT_EQ(screen->navigationItem()->titleView(), screen->myTitle());

    auto item = screen->navigationItem()->leftBarButtonItem();
    ASSERT_TRUE(item);
    ASSERT_EQ(item->customView(), screen->backButton());
    screen->backButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    testing_support::settle(2);
    EXPECT_EQ(navigation->topViewController(), root);
}

TEST_F(BaseScreens, ListBaseShowsTenEmptyRows)
{
    auto list = std::make_shared<QPAllController>();
    auto window = UIWindow::create();
    window->setRootViewController(list);
    window->makeKeyAndVisible();
    auto table = list->mytableView();
    ASSERT_TRUE(table);
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfRowsInSection(0), 10);
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 0 }));
}

} // namespace
