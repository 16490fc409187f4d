// The refresh footer: placement after the content, pull-up thresholds on long and short
// content, the inset kept while loading, and what the end of a load does with new rows.
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

class TableFooterTest : public RefreshTest {
protected:
    void SetUp() override
    {
        RefreshTest::SetUp();
        table = std::make_shared<UITableView>(CGRectMake(0, 0, 320, 480));
        table->setDataSource(rows);
        window->addSubview(table);
        pz_addFooterWithCallback(*table, [] { });
        footer = pz_footer(*table);
        offsetChanges = table->observe("contentOffset", 0, [this](auto&&...) { ++offsetSets; });
    }
    // Pulls the table up past its footer, then ends the load after `newRows` more per section.
    void loadMore(NSInteger newRows)
    {
        pull(*table, footer->happenOffsetY() + 70);
        ASSERT_TRUE(footer->isRefreshing());
        rows->rows += newRows;
        table->reloadData();
        pz_footerEndRefreshing(*table);
        offsetSets = 0;
        advance(0.31);
    }
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<UITableView> table;
    std::shared_ptr<PZRefreshFooterView> footer;
    threading::Observation offsetChanges;
    int offsetSets = 0;
};

TEST_F(TableFooterTest, CountsRowsOfAllSectionsAndNewRowsAreLeftInViewAndTheSameRowsLeaveTheOffsetAlone)
{
    EXPECT_EQ(footer->totalDataCountInScrollView(), 60);
    EXPECT_EQ(PZRefreshFooterView::footer()->totalDataCountInScrollView(), 0) << "no scroll view, no rows";
    loadMore(0);
    EXPECT_EQ(footer->lastRefreshCount(), 60);
    EXPECT_EQ(offsetSets, 0);
    advance(1);

    loadMore(5);
    EXPECT_EQ(offsetSets, 1);
}

} // namespace
} // namespace refreshtest
