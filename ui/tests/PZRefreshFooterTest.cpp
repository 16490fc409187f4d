// The refresh footer: placement after the content, pull-up thresholds on long and short
// content, the inset kept while loading, and what the end of a load does with new rows; the
// scroll-view operations: attaching once, without views, and a new view's strip.
#include "ui/tests/PZRefreshFixture.h"

#include "platform/uikit/UITableView.h"
#include "ui/PZExtension.h"

namespace refreshtest {
namespace {

class FooterTest : public RefreshTest {
protected:
    void SetUp() override
    {
        RefreshTest::SetUp();
        scroll->setContentSize(CGSizeMake(320, 1000));
        pz_addFooterWithCallback(*scroll, [this] { ++calls; });
        footer = pz_footer(*scroll);
        ASSERT_TRUE(footer);
    }
    std::shared_ptr<PZRefreshFooterView> footer;
    int calls = 0;
};

TEST_F(FooterTest, PullingUpPastTheFooterLoadsMore)
{
    // 1000 of content in 480: the footer starts to show at offset 520.
    EXPECT_EQ(footer->heightForContentBreakView(), 520);
    dragTo(584);
    EXPECT_EQ(footer->state(), PZRefreshStateNormal);
    dragTo(584.5);
    EXPECT_EQ(footer->state(), PZRefreshStatePulling);
    EXPECT_EQ(footer->statusLabel()->text(), "松开立即加载更多数据");
    dragTo(584);
    EXPECT_EQ(footer->state(), PZRefreshStateNormal);

    struct Case {
        const char* what;
        UIEdgeInsets inset; // taken when the footer is attached
        CGFloat contentHeight, happenOffsetY, footerY, pullTo, bottomWhileLoading;
    };
    const Case cases[] = {
        { "long content", UIEdgeInsetsZero, 1000, 520, 1000, 600, 64 },
        // 64 for the footer, 10 of the own inset and the 350 the content lacks.
        { "short content: the footer at the bottom edge", UIEdgeInsetsMake(20, 0, 10, 0), 100, -20, 450, 45, 64 + 10 + 350 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        pz_removeFooter(*scroll);
        scroll->setContentInset(c.inset);
        scroll->setContentSize(CGSizeMake(320, c.contentHeight));
        pz_addFooterWithCallback(*scroll, [this] { ++calls; });
        footer = pz_footer(*scroll);
        EXPECT_EQ(footer->happenOffsetY(), c.happenOffsetY);
        EXPECT_EQ(pz_y(*footer), c.footerY);
        calls = 0;
        pull(*scroll, c.pullTo);
        EXPECT_EQ(footer->state(), PZRefreshStateRefreshing);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(scroll->contentInset().bottom, c.bottomWhileLoading);

        pz_footerEndRefreshing(*scroll);
        advance(0.31);
        EXPECT_EQ(scroll->contentInset().bottom, c.inset.bottom);
        advance(0.4);
        EXPECT_EQ(footer->state(), PZRefreshStateNormal);
        EXPECT_FALSE(pz_isFooterRefreshing(*scroll));
    }
}

class Rows : public UITableViewDataSource {
public:
    NSInteger rows = 30;
    NSInteger numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) override { return 2; }
    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override { return rows; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override
    {
        return std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "cell");
    }
};

TEST_F(RefreshTest, ATableFooterCountsRowsOfAllSectionsAndNewRowsAreLeftInViewAndTheSameRowsLeaveTheOffsetAlone)
{
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 320, 480));
    table->setDataSource(rows);
    window->addSubview(table);
    pz_addFooterWithCallback(*table, [] { });
    auto footer = pz_footer(*table);
    int offsetSets = 0;
    auto offsetChanges = table->observe("contentOffset", 0, [&offsetSets](auto&&...) { ++offsetSets; });
    // Pulls the table up past its footer, then ends the load after `newRows` more per section.
    auto loadMore = [&](NSInteger newRows) {
        pull(*table, footer->happenOffsetY() + 70);
        ASSERT_TRUE(footer->isRefreshing());
        rows->rows += newRows;
        table->reloadData();
        pz_footerEndRefreshing(*table);
        offsetSets = 0;
        advance(0.31);
    };

    EXPECT_EQ(footer->totalDataCountInScrollView(), 60);
    EXPECT_EQ(PZRefreshFooterView::footer()->totalDataCountInScrollView(), 0) << "no scroll view, no rows";
    loadMore(0);
    EXPECT_EQ(footer->lastRefreshCount(), 60);
    EXPECT_EQ(offsetSets, 0);
    advance(1);

    loadMore(5);
    EXPECT_EQ(offsetSets, 1);
}

TEST_F(RefreshTest, AddingTwiceKeepsOneViewAndTheLatestCallbackAndAViewTakenAwayIsReplaced)
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

TEST_F(RefreshTest, WithoutViewsTheOperationsDoNothingAndANewViewIsAStripOf64PointsWithItsArrow)
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
