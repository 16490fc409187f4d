// The scroll-view refresh operations: attaching once, the observable header and footer
// references, the pass-throughs with and without views, and the short view accessors.
#include "ui/tests/PZRefreshFixture.h"

#include "ui/PZExtension.h"

namespace refreshtest {
namespace {

using ScrollViewRefreshTest = RefreshTest;

TEST_F(ScrollViewRefreshTest, AddingTwiceKeepsOneViewAndTheLatestCallback)
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
}

TEST_F(ScrollViewRefreshTest, StoringTheViewsNotifiesObservers)
{
    std::vector<std::string> seen;
    auto headerKey = scroll->observe("PZRefreshHeaderViewKey", NSKeyValueObservingOptionPrior,
        [&seen](const std::string& key, NSObject*, const Value&) { seen.push_back(key); });
    auto footerKey = scroll->observe("PZRefreshFooterViewKey", 0,
        [&seen](const std::string& key, NSObject*, const Value&) { seen.push_back(key); });
    pz_addHeaderWithCallback(*scroll, [] { });
    pz_addFooterWithCallback(*scroll, [] { });
    pz_removeHeader(*scroll);
    EXPECT_EQ(seen, (std::vector<std::string> { "PZRefreshHeaderViewKey", "PZRefreshHeaderViewKey",
                        "PZRefreshFooterViewKey", "PZRefreshHeaderViewKey", "PZRefreshHeaderViewKey" }));
}

TEST_F(ScrollViewRefreshTest, WithoutViewsTheOperationsDoNothing)
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
}

TEST_F(ScrollViewRefreshTest, PassThroughsReachTheirOwnView)
{
    pz_addHeaderWithCallback(*scroll, [] { });
    pz_addFooterWithCallback(*scroll, [] { });
    pz_setHeaderPullToRefreshText(*scroll, "a");
    pz_setHeaderReleaseToRefreshText(*scroll, "b");
    pz_setHeaderRefreshingText(*scroll, "c...");
    pz_setFooterPullToRefreshText(*scroll, "d");
    pz_setFooterHidden(*scroll, true);
    EXPECT_EQ(pz_headerPullToRefreshText(*scroll), "a");
    EXPECT_EQ(pz_headerReleaseToRefreshText(*scroll), "b");
    EXPECT_EQ(pz_headerRefreshingText(*scroll), "c...");
    EXPECT_EQ(pz_footerPullToRefreshText(*scroll), "d");
    EXPECT_EQ(pz_footerReleaseToRefreshText(*scroll), "松开立即加载更多数据");
    EXPECT_TRUE(pz_isFooterHidden(*scroll));
    EXPECT_FALSE(pz_isHeaderHidden(*scroll));
    EXPECT_EQ(pz_header(*scroll)->statusLabel()->text(), "a");
}

TEST_F(ScrollViewRefreshTest, AViewTakenAwayBehindTheScrollViewsBackIsReplaced)
{
    pz_addFooterWithCallback(*scroll, [] { });
    auto footer = pz_footer(*scroll);
    footer->removeFromSuperview();
    EXPECT_FALSE(pz_footer(*scroll));
    EXPECT_FALSE(pz_isFooterRefreshing(*scroll));
    pz_addFooterWithCallback(*scroll, [] { });
    ASSERT_TRUE(pz_footer(*scroll));
    EXPECT_NE(pz_footer(*scroll), footer);
    EXPECT_EQ(scroll->subviews().size(), 1u);
}

TEST_F(ScrollViewRefreshTest, ANewViewIsAnIdleStripOf64Points)
{
    auto header = PZRefreshHeaderView::initWithFrame(CGRectMake(5, 6, 100, 10));
    EXPECT_EQ(header->frame(), CGRectMake(5, 6, 100, 64));
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    EXPECT_EQ(header->statusLabel()->text(), "下拉可以刷新");
    EXPECT_EQ(header->autoresizingMask(), UIViewAutoresizingFlexibleWidth);
    auto footer = PZRefreshFooterView::footer();
    EXPECT_EQ(footer->frame().size.height, 64);
    EXPECT_EQ(footer->statusLabel()->text(), "上拉可以加载更多数据");
    ASSERT_TRUE(footer->arrowImage()->image());
    EXPECT_GT(footer->arrowImage()->image()->size().height, 0);
}

TEST_F(ScrollViewRefreshTest, ShortAccessorsReplaceOneComponent)
{
    auto view = UIView::create(CGRectMake(1, 2, 3, 4));
    pz_setX(*view, 10);
    pz_setHeight(*view, 40);
    pz_setOrigin(*view, CGPointMake(10, 20));
    EXPECT_EQ(view->frame(), CGRectMake(10, 20, 3, 40));
    scroll->setContentInset(UIEdgeInsetsMake(1, 2, 3, 4));
    pz_setContentInsetBottom(*scroll, 30);
    EXPECT_EQ(scroll->contentInset(), UIEdgeInsetsMake(1, 2, 30, 4));
    pz_setContentSizeHeight(*scroll, 700);
    pz_setContentOffsetX(*scroll, 5);
    EXPECT_EQ(scroll->contentSize(), CGSizeMake(0, 700));
    EXPECT_EQ(pz_contentOffsetX(*scroll), 5);
}

} // namespace
} // namespace refreshtest
