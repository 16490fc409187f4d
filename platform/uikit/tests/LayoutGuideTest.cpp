// Layout guides under the bars: the automatic scroll-view insets of a screen whose view runs
// under the navigation bar, and constraints whose constant moves the view they pin.
#include "Fixture.h"

#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"

namespace {

// A screen with a scroll view whose content rests at the top of a 150-point inset.
struct GridScreen : UIViewController {
    bool scrollFirst = true;
    std::shared_ptr<UIScrollView> grid;
    void viewDidLoad() override
    {
        grid = UIScrollView::create(view()->bounds());
        grid->setContentSize(CGSizeMake(320, 1000));
        grid->setContentInset({ 150, 0, 0, 0 });
        if (!scrollFirst)
            view()->addSubview(UIView::create());
        view()->addSubview(grid);
    }
};

TEST_F(UIKitTest, ScrollViewUnderTheNavigationBarGetsTheBarsAsTopInset)
{
    struct Case {
        const char* what;
        UIRectEdge edges;
        bool adjusts;
        bool scrollFirst;
        CGFloat top;
    };
    const Case cases[] = {
        { "under the bars: status and navigation bar added", UIRectEdgeAll, true, true, 150 + 64 },
        { "adjustment switched off", UIRectEdgeAll, false, true, 150 },
        { "view below the bar: nothing overlaps", UIRectEdgeBottom, true, true, 150 },
        { "only the view's first subview is adjusted", UIRectEdgeAll, true, false, 150 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto screen = std::make_shared<GridScreen>();
        screen->scrollFirst = c.scrollFirst;
        screen->setEdgesForExtendedLayout(c.edges);
        screen->setAutomaticallyAdjustsScrollViewInsets(c.adjusts);
        auto nav = UINavigationController::initWithRootViewController(screen);
        window->setRootViewController(nav);
        EXPECT_EQ(screen->grid->contentInset().top, c.top);
        EXPECT_EQ(screen->grid->contentOffset().y, -c.top) << "content resting at its top stays in sight";
        EXPECT_EQ(screen->grid->scrollIndicatorInsets().top, c.top - 150);
    }
}

TEST_F(UIKitTest, TopInsetFollowsTheBarsWithoutAddingTwice)
{
    auto screen = std::make_shared<GridScreen>();
    auto nav = UINavigationController::initWithRootViewController(screen);
    window->setRootViewController(nav);
    EXPECT_EQ(screen->topLayoutGuide()->length(), 64);

    nav->pushViewController(std::make_shared<UIViewController>(), false);
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(screen->grid->contentInset().top, 214) << "coming back adds nothing";

    nav->setNavigationBarHidden(true);
    EXPECT_EQ(screen->topLayoutGuide()->length(), 20) << "the status bar alone";
    EXPECT_EQ(screen->grid->contentInset().top, 170);
    UIApplication::sharedApplication()->setStatusBarOrientation(UIInterfaceOrientationLandscapeRight, false);
    nav->setNavigationBarHidden(false);
    nav->setNavigationBarHidden(true);
    EXPECT_EQ(screen->topLayoutGuide()->length(), 20) << "the status bar's thickness when it lies along a long side";
    UIApplication::sharedApplication()->setStatusBarOrientation(UIInterfaceOrientationPortrait, false);
    nav->setNavigationBarHidden(false);
    EXPECT_EQ(screen->grid->contentInset().top, 214);
    EXPECT_EQ(screen->grid->contentOffset().y, -214);
}

TEST_F(UIKitTest, ConstraintConstantMovesThePinnedView)
{
    struct Case {
        const char* what;
        NSLayoutAttribute attribute;
        bool viewFirst;
        CGRect expected; // after the constant goes from 10 to 40
    };
    const Case cases[] = {
        { "top pinned below the top guide moves down", NSLayoutAttributeTop, true, { { 0, 130 }, { 100, 50 } } },
        { "bottom guide above the view's bottom lifts it", NSLayoutAttributeBottom, false, { { 0, 70 }, { 100, 50 } } },
        { "leading edge moves right", NSLayoutAttributeLeading, true, { { 30, 100 }, { 100, 50 } } },
        { "height grows", NSLayoutAttributeHeight, true, { { 0, 100 }, { 100, 80 } } },
    };
    auto controller = std::make_shared<UIViewController>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto view = UIView::create({ { 0, 100 }, { 100, 50 } });
        auto guide = c.attribute == NSLayoutAttributeBottom ? controller->bottomLayoutGuide() : controller->topLayoutGuide();
        auto constraint = c.viewFirst
            ? NSLayoutConstraint::constraintWithItem(view, c.attribute, NSLayoutRelationEqual, guide, NSLayoutAttributeBottom, 1, 10)
            : NSLayoutConstraint::constraintWithItem(guide, NSLayoutAttributeTop, NSLayoutRelationEqual, view, c.attribute, 1, 10);
        constraint->setConstant(40);
        EXPECT_EQ(view->frame(), c.expected);
    }
}

} // namespace
