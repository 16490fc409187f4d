// Page controls: sizes for page counts, keeping the current page in range, taps on either half,
// single-page hiding and the dot colours.
#include "Fixture.h"

#include "platform/uikit/UIPageControl.h"

namespace {

TEST_F(UIKitTest, PageControlSizesItsDotsAndKeepsThePageInRange)
{
    auto control = UIPageControl::create();
    EXPECT_EQ(control->sizeForNumberOfPages(1), (CGSize { 7, 37 }));
    EXPECT_EQ(control->sizeForNumberOfPages(0).width, 0);
    control->setNumberOfPages(4);
    control->sizeToFit();
    EXPECT_EQ(control->frame().size, (CGSize { 55, 37 }));
    EXPECT_EQ(control->rectForDotAtPage(3), (CGRect { { 48, 15 }, { 7, 7 } }));

    control->setCurrentPage(9);
    EXPECT_EQ(control->currentPage(), 3);
    control->setCurrentPage(-2);
    EXPECT_EQ(control->currentPage(), 0);
    control->setCurrentPage(3);
    control->setNumberOfPages(2);
    EXPECT_EQ(control->currentPage(), 1) << "fewer pages pull the current page in";
    control->setNumberOfPages(-1);
    EXPECT_EQ(control->numberOfPages(), 0);
    EXPECT_EQ(control->currentPage(), 0);
}

TEST_F(UIKitTest, PageControlTapsStepOnePageTowardsTheTappedHalf)
{
    auto control = UIPageControl::create({ { 0, 0 }, { 200, 37 } });
    control->setNumberOfPages(3);
    window->addSubview(control);
    std::vector<NSInteger> changes;
    control->addTarget(nullptr, [&](const std::shared_ptr<UIControl>& sender) {
        changes.push_back(std::static_pointer_cast<UIPageControl>(sender)->currentPage());
    }, UIControlEventValueChanged);
    window->sendTap({ 150, 18 });
    window->sendTap({ 190, 18 });
    window->sendTap({ 190, 18 });
    EXPECT_EQ(changes, (std::vector<NSInteger> { 1, 2 })) << "no change, no event past the last page";
    window->sendTap({ 10, 18 });
    EXPECT_EQ(control->currentPage(), 1);
    control->setCurrentPage(0);
    window->sendTap({ 10, 18 });
    EXPECT_EQ(changes.size(), 3u) << "nothing before the first page, and setting the page sends nothing";

    control->setEnabled(false);
    window->sendTap({ 150, 18 });
    EXPECT_EQ(control->currentPage(), 0);
}

TEST_F(UIKitTest, PageControlHidesForASinglePageAndColoursItsDots)
{
    auto control = UIPageControl::create({ { 0, 0 }, { 100, 37 } });
    window->addSubview(control);
    control->setNumberOfPages(1);
    control->setHidesForSinglePage(true);
    EXPECT_TRUE(control->isHiddenForSinglePage());
    EXPECT_EQ(window->hitTest({ 50, 18 }), window) << "a hidden single page takes no taps";
    control->setNumberOfPages(2);
    EXPECT_FALSE(control->isHiddenForSinglePage());
    EXPECT_EQ(window->hitTest({ 50, 18 }), control);

    EXPECT_EQ(control->dotColorForPage(0), UIColor::whiteColor());
    control->setCurrentPageIndicatorTintColor(UIColor::redColor());
    control->setPageIndicatorTintColor(UIColor::lightGrayColor());
    EXPECT_EQ(control->dotColorForPage(0), UIColor::redColor());
    EXPECT_EQ(control->dotColorForPage(1), UIColor::lightGrayColor());
    EXPECT_TRUE(control->needsDisplay()) << "a new colour redraws the dots";
    control->setValueForKey("unknown", Value(1));
    EXPECT_TRUE(control->valueForKey("unknown").isAbsent());
}

} // namespace
