// The scroll-view refresh operations: attaching once, the operations without views, and a new
// view's strip.
#include "ui/tests/PZRefreshFixture.h"

namespace refreshtest {
namespace {

using ScrollViewRefreshTest = RefreshTest;

TEST_F(ScrollViewRefreshTest, AddingTwiceKeepsOneViewAndTheLatestCallbackAndAViewTakenAwayIsReplaced)
{
    int first = 0;
    int second = 0;
    pz_addHeaderWithCallback(*scroll, [&first] { ++first; });
    auto header = pz_header(*scroll);
    pz_addHeaderWithCallback(*scroll, [&second] { ++second; });
    EXPECT_EQ(pz_header(*scroll), header);
    EXPECT_EQ(scroll->subviews().size(), 1u);
    pz_headerBeginRefreshing(*scroll);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);

    // A view taken away behind the scroll view's back is no longer its view, and is replaced.
    pz_addFooterWithCallback(*scroll, [] { });
    auto footer = pz_footer(*scroll);
    footer->removeFromSuperview();
    EXPECT_FALSE(pz_footer(*scroll));
    EXPECT_FALSE(pz_isFooterRefreshing(*scroll));
    pz_addFooterWithCallback(*scroll, [] { });
    ASSERT_TRUE(pz_footer(*scroll));
    EXPECT_NE(pz_footer(*scroll), footer);
    EXPECT_EQ(scroll->subviews().size(), 2u);
}

TEST_F(ScrollViewRefreshTest, WithoutViewsTheOperationsDoNothingAndANewViewIsAStripOf64PointsWithItsArrow)
{
    pz_headerBeginRefreshing(*scroll);
    pz_footerEndRefreshing(*scroll);
    pz_setHeaderHidden(*scroll, true);
    pz_setFooterRefreshingText(*scroll, "x");
    EXPECT_FALSE(pz_isHeaderHidden(*scroll));
    EXPECT_FALSE(pz_isFooterRefreshing(*scroll));
    EXPECT_FALSE(pz_headerPullToRefreshText(*scroll));
    EXPECT_FALSE(pz_footerRefreshingText(*scroll));
    EXPECT_TRUE(scroll->subviews().empty());

    auto header = PZRefreshHeaderView::initWithFrame(CGRectMake(5, 6, 100, 10));
    EXPECT_EQ(header->frame(), CGRectMake(5, 6, 100, 64));
    ASSERT_TRUE(header->arrowImage()->image());
    EXPECT_GT(header->arrowImage()->image()->size().height, 0);
}

} // namespace
} // namespace refreshtest
