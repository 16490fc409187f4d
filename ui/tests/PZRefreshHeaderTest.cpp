// The refresh header on a scroll view: pull thresholds, starting and ending a refresh, the
// owner's calls, the time of the last refresh, and when the header stops following.
#include "ui/tests/PZRefreshFixture.h"

#include "platform/persistence/NSUserDefaults.h"

namespace refreshtest {
namespace {

class HeaderTest : public RefreshTest {
protected:
    void SetUp() override
    {
        RefreshTest::SetUp();
        pz_addHeaderWithCallback(*scroll, [this] {
            ++calls;
            refreshingInsideCallback = pz_isHeaderRefreshing(*scroll);
        });
        header = pz_header(*scroll);
        ASSERT_TRUE(header);
    }
    // Pulls past the threshold and lets go.
    void pullAndRelease()
    {
        dragTo(-70);
        release(-70);
    }
    std::shared_ptr<PZRefreshHeaderView> header;
    int calls = 0;
    bool refreshingInsideCallback = true;
};

TEST_F(HeaderTest, PullThresholdsArmAndDisarmAndReleaseStartsRefreshing)
{
    EXPECT_EQ(header->frame(), CGRectMake(0, -64, 320, 64));
    dragTo(-64);
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    dragTo(-64.5);
    EXPECT_EQ(header->state(), PZRefreshStatePulling);
    EXPECT_EQ(header->statusLabel()->text(), "松开立即刷新");
    dragTo(-63);
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    EXPECT_EQ(header->statusLabel()->text(), "下拉可以刷新");
    EXPECT_EQ(calls, 0);

    pullAndRelease();
    EXPECT_EQ(header->state(), PZRefreshStateRefreshing);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(refreshingInsideCallback) << "the state is stored after the owner is told";
    EXPECT_EQ(header->statusLabel()->text(), header->refreshingText());
    EXPECT_TRUE(header->activityView()->isAnimating());
    EXPECT_TRUE(header->arrowImage()->isHidden());
    // The content rests below the header until the refresh ends.
    EXPECT_EQ(scroll->contentInset().top, 64);
    EXPECT_EQ(scroll->contentOffset().y, -64);
}

TEST_F(HeaderTest, ReleasingBeforeTheThresholdDoesNothing)
{
    dragTo(-40);
    release(-40);
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(scroll->contentInset().top, 0);
}

TEST_F(HeaderTest, EndingWaitsThenRestoresTheInsetAndRecordsTheTime)
{
    time.advance(9 * 3600 + 5 * 60); // 09:05
    pullAndRelease();
    pz_headerEndRefreshing(*scroll);
    advance(0.29);
    EXPECT_EQ(header->state(), PZRefreshStateRefreshing);
    EXPECT_EQ(scroll->contentInset().top, 64);

    advance(0.02); // the end step ran: the inset goes back, the label keeps the refreshing text
    EXPECT_EQ(scroll->contentInset().top, 0);
    EXPECT_TRUE(header->isRefreshing());
    EXPECT_EQ(header->statusLabel()->text(), header->refreshingText());
    ASSERT_TRUE(header->lastUpdateTime());
    EXPECT_EQ(header->lastUpdateTimeLabel()->text(), "最后更新：今天 09:05");
    Value stored = NSUserDefaults::standardUserDefaults()->objectForKey("PZRefreshHeaderView");
    ASSERT_TRUE(stored.isDate());
    EXPECT_EQ(NSDate::fromValue(stored), *header->lastUpdateTime());

    advance(0.4);
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    EXPECT_EQ(header->statusLabel()->text(), "下拉可以刷新");
    EXPECT_FALSE(header->arrowImage()->isHidden());
    EXPECT_FALSE(header->activityView()->isAnimating());
    EXPECT_EQ(header->scrollViewOriginalInset().top, 0);

    // And the header works again.
    pullAndRelease();
    EXPECT_EQ(calls, 2);
}

TEST_F(HeaderTest, RepeatedEndsTakeTheInsetAwayOnlyOnce)
{
    pullAndRelease();
    pz_headerEndRefreshing(*scroll);
    pz_headerEndRefreshing(*scroll);
    advance(0.35);
    pz_headerEndRefreshing(*scroll); // while the end is winding down
    advance(0.4);
    advance(0.4);
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    EXPECT_EQ(scroll->contentInset().top, 0);
    EXPECT_EQ(header->scrollViewOriginalInset().top, 0);
}

TEST_F(HeaderTest, KeepsTheOwnInsetOfTheScrollView)
{
    // The inset is taken when the header is attached.
    pz_removeHeader(*scroll);
    scroll->setContentInset(UIEdgeInsetsMake(20, 0, 0, 0));
    pz_addHeaderWithCallback(*scroll, [this] { ++calls; });
    header = pz_header(*scroll);
    dragTo(-84); // 64 past the inset: not yet
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    dragTo(-85);
    release(-85);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(scroll->contentInset().top, 84);
    EXPECT_EQ(scroll->contentOffset().y, -84);
    pz_headerEndRefreshing(*scroll);
    advance(1);
    EXPECT_EQ(scroll->contentInset().top, 20);
}

TEST_F(HeaderTest, BeginningAgainTellsTheOwnerAgainWithoutRestarting)
{
    pz_headerBeginRefreshing(*scroll);
    EXPECT_EQ(calls, 1);
    pz_headerBeginRefreshing(*scroll);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(pz_isHeaderRefreshing(*scroll));
    EXPECT_EQ(scroll->contentInset().top, 64);
}

TEST_F(HeaderTest, AnOwnerThatBeginsFromItsCallbackStartsOneRefresh)
{
    pz_addHeaderWithCallback(*scroll, [this] {
        ++calls;
        ASSERT_LT(calls, 5) << "the refresh restarted itself";
        pz_headerBeginRefreshing(*scroll);
        scroll->setContentOffset(CGPointMake(0, -80)); // not dragging, header still armed
    });
    pullAndRelease();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(header->isRefreshing());
}

TEST_F(HeaderTest, BeginningOutsideAWindowWaitsForTheDrawingPass)
{
    auto loose = UIScrollView::create(CGRectMake(0, 0, 320, 480));
    int looseCalls = 0;
    pz_addHeaderWithCallback(*loose, [&looseCalls] { ++looseCalls; });
    auto looseHeader = pz_header(*loose);
    pz_headerBeginRefreshing(*loose);
    EXPECT_EQ(looseHeader->state(), PZRefreshStateWillRefreshing);
    EXPECT_EQ(looseHeader->statusLabel()->text(), "下拉可以刷新");
    EXPECT_EQ(looseCalls, 0);
    EXPECT_FALSE(looseHeader->isRefreshing());

    window->addSubview(loose);
    testing_support::settle(2);
    EXPECT_EQ(looseHeader->state(), PZRefreshStateRefreshing);
    EXPECT_EQ(looseCalls, 1);
}

TEST_F(HeaderTest, TargetAndActionAreToldWhileTheTargetLives)
{
    auto target = std::make_shared<NSObject>();
    std::shared_ptr<PZRefreshBaseView> seen;
    pz_addHeaderWithTarget(*scroll, target, [&seen](const NSObjectRef&, const std::shared_ptr<PZRefreshBaseView>& view) {
        seen = view;
    });
    pz_headerBeginRefreshing(*scroll);
    EXPECT_EQ(seen, header);
    EXPECT_EQ(calls, 1) << "the callback set before still runs";

    seen.reset();
    target.reset();
    pz_headerBeginRefreshing(*scroll);
    EXPECT_FALSE(seen);
    EXPECT_EQ(calls, 2);
}

TEST_F(HeaderTest, TextsShowInTheirOwnState)
{
    header->setRefreshingText("载入中...");
    EXPECT_EQ(header->statusLabel()->text(), "下拉可以刷新");
    header->setPullToRefreshText("拉");
    EXPECT_EQ(header->statusLabel()->text(), "拉");
    pz_headerBeginRefreshing(*scroll);
    EXPECT_EQ(header->statusLabel()->text(), "载入中...");
}

TEST_F(HeaderTest, HiddenFadedOrInertHeadersDoNotFollow)
{
    header->setHidden(true);
    pullAndRelease();
    header->setHidden(false);
    header->setAlpha(0.01);
    pullAndRelease();
    header->setAlpha(1);
    header->setUserInteractionEnabled(false);
    pullAndRelease();
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    EXPECT_EQ(calls, 0);
    header->setUserInteractionEnabled(true);
    pullAndRelease();
    EXPECT_EQ(calls, 1);
}

TEST_F(HeaderTest, RemovedOrMovedHeadersFollowOnlyTheirCurrentScrollView)
{
    auto other = UIScrollView::create(CGRectMake(0, 0, 200, 300));
    window->addSubview(other);
    other->addSubview(header);
    EXPECT_EQ(header->scrollView(), other);
    EXPECT_EQ(header->frame(), CGRectMake(0, -64, 200, 64));
    pullAndRelease();
    EXPECT_EQ(calls, 0) << "the old scroll view is no longer observed";
    EXPECT_FALSE(pz_header(*scroll)) << "a header that left the scroll view is not its header";

    other->setDragging(true);
    other->setContentOffset(CGPointMake(0, -70));
    other->setDragging(false);
    other->setContentOffset(CGPointMake(0, -70));
    EXPECT_EQ(calls, 1);

    header->removeFromSuperview();
    EXPECT_FALSE(header->scrollView());
    pz_headerEndRefreshing(*scroll);
    other->setContentOffset(CGPointMake(0, -90));
    advance(1);
    EXPECT_EQ(calls, 1);
}

TEST_F(HeaderTest, AHeaderOutlivingItsScrollViewIsHarmless)
{
    auto kept = header;
    scroll->removeFromSuperview();
    scroll.reset();
    header.reset();
    EXPECT_FALSE(kept->scrollView());
    kept->beginRefreshing();
    kept->endRefreshing();
    advance(1);
    EXPECT_EQ(kept->state(), PZRefreshStateNormal);
}

// The time label, for a time stored before the header is made.
class TimeLabelTest : public RefreshTest {
protected:
    std::string labelFor(std::optional<double> storedSecondsSince1970)
    {
        auto defaults = NSUserDefaults::standardUserDefaults();
        if (storedSecondsSince1970)
            defaults->setObject(Value::date(*storedSecondsSince1970), "PZRefreshHeaderView");
        else
            defaults->removeObjectForKey("PZRefreshHeaderView");
        auto header = PZRefreshHeaderView::header();
        return header->lastUpdateTimeLabel()->text();
    }
};

TEST_F(TimeLabelTest, FormsDependOnTheCalendarDay)
{
    time.advance(200 * 86400.0 + 15 * 3600); // 2024-07-19 15:00
    const double day = 1704067200.0 + 200 * 86400.0;
    EXPECT_EQ(labelFor(day + 60), "最后更新：今天 00:01");
    EXPECT_EQ(labelFor(day - 60), "最后更新：07-18 23:59") << "a minute before midnight is yesterday";
    EXPECT_EQ(labelFor(1704067200.0 - 60), "最后更新：2023-12-31 23:59");
    EXPECT_EQ(labelFor(std::nullopt), "");
}

TEST_F(TimeLabelTest, LayoutSplitsTheHeaderIntoTwoLines)
{
    pz_addHeaderWithCallback(*scroll, [] { });
    auto header = pz_header(*scroll);
    testing_support::settle(1);
    EXPECT_EQ(header->statusLabel()->frame(), CGRectMake(0, 0, 320, 32));
    EXPECT_EQ(header->lastUpdateTimeLabel()->frame(), CGRectMake(0, 32, 320, 32));
    EXPECT_EQ(header->arrowImage()->center(), CGPointMake(60, 32));
    EXPECT_EQ(header->activityView()->center(), header->arrowImage()->center());
}

} // namespace
} // namespace refreshtest
