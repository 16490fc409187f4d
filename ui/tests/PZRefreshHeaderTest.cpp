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
        attach();
    }
    // Attaches the header, which takes the scroll view's inset at that moment.
    void attach()
    {
        pz_addHeaderWithCallback(*scroll, [this] {
            ++calls;
            refreshingInsideCallback = pz_isHeaderRefreshing(*scroll);
        });
        header = pz_header(*scroll);
        ASSERT_TRUE(header);
    }
    // Pulls past the threshold and lets go.
    void pullAndRelease() { pull(*scroll, -70); }
    // The header's state, the owner's calls so far and the scroll view's top inset.
    void expectNow(PZRefreshState state, int expectedCalls, CGFloat insetTop)
    {
        EXPECT_EQ(header->state(), state);
        EXPECT_EQ(calls, expectedCalls);
        EXPECT_EQ(scroll->contentInset().top, insetTop);
    }
    std::shared_ptr<PZRefreshHeaderView> header;
    int calls = 0;
    bool refreshingInsideCallback = true;
};

TEST_F(HeaderTest, PullThresholdsArmAndDisarmAndReleaseStartsRefreshing)
{
    EXPECT_EQ(header->frame(), CGRectMake(0, -64, 320, 64));
    pull(*scroll, -40);
    expectNow(PZRefreshStateNormal, 0, 0); // released before the threshold
    dragTo(-64);
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    dragTo(-64.5);
    EXPECT_EQ(header->state(), PZRefreshStatePulling);
    EXPECT_EQ(header->statusLabel()->text(), "松开立即刷新");
    dragTo(-63);
    expectNow(PZRefreshStateNormal, 0, 0);
    EXPECT_EQ(header->statusLabel()->text(), "下拉可以刷新");

    pullAndRelease();
    // The content rests below the header until the refresh ends.
    expectNow(PZRefreshStateRefreshing, 1, 64);
    EXPECT_EQ(scroll->contentOffset().y, -64);
    EXPECT_FALSE(refreshingInsideCallback) << "the state is stored after the owner is told";
    EXPECT_EQ(header->statusLabel()->text(), header->refreshingText());
    EXPECT_TRUE(header->activityView()->isAnimating());
    EXPECT_TRUE(header->arrowImage()->isHidden());
}

TEST_F(HeaderTest, EndingWaitsThenRestoresTheInsetAndRecordsTheTime)
{
    time.advance(9 * 3600 + 5 * 60); // 09:05
    pullAndRelease();
    pz_headerEndRefreshing(*scroll);
    advance(0.29);
    expectNow(PZRefreshStateRefreshing, 1, 64);

    advance(0.02); // the end step ran: the inset goes back, the label keeps the refreshing text
    expectNow(PZRefreshStateRefreshing, 1, 0);
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

    // Repeated ends, one while the end winds down, take the inset away only once.
    pullAndRelease();
    EXPECT_EQ(calls, 2) << "the header works again";
    pz_headerEndRefreshing(*scroll);
    pz_headerEndRefreshing(*scroll);
    advance(0.35);
    pz_headerEndRefreshing(*scroll);
    advance(0.4);
    advance(0.4);
    expectNow(PZRefreshStateNormal, 2, 0);
    EXPECT_EQ(header->scrollViewOriginalInset().top, 0);
}

TEST_F(HeaderTest, KeepsTheOwnInsetOfTheScrollView)
{
    pz_removeHeader(*scroll);
    scroll->setContentInset(UIEdgeInsetsMake(20, 0, 0, 0));
    attach();
    dragTo(-84); // 64 past the inset: not yet
    EXPECT_EQ(header->state(), PZRefreshStateNormal);
    pull(*scroll, -85);
    expectNow(PZRefreshStateRefreshing, 1, 84);
    EXPECT_EQ(scroll->contentOffset().y, -84);
    pz_headerEndRefreshing(*scroll);
    advance(1);
    EXPECT_EQ(scroll->contentInset().top, 20);
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

TEST_F(HeaderTest, BeginningAgainTellsTheOwnersAgainWhileTheTargetLivesAndTextsShowInTheirOwnState)
{
    auto target = std::make_shared<NSObject>();
    std::shared_ptr<PZRefreshBaseView> seen;
    pz_addHeaderWithTarget(*scroll, target, [&seen](const NSObjectRef&, const std::shared_ptr<PZRefreshBaseView>& view) {
        seen = view;
    });
    header->setRefreshingText("载入中...");
    EXPECT_EQ(header->statusLabel()->text(), "下拉可以刷新");
    header->setPullToRefreshText("拉");
    EXPECT_EQ(header->statusLabel()->text(), "拉");
    pz_headerBeginRefreshing(*scroll);
    EXPECT_EQ(header->statusLabel()->text(), "载入中...");
    EXPECT_EQ(seen, header);
    EXPECT_EQ(calls, 1) << "the callback set before still runs";

    seen.reset();
    target.reset();
    pz_headerBeginRefreshing(*scroll);
    EXPECT_FALSE(seen);
    expectNow(PZRefreshStateRefreshing, 2, 64);
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

    pull(*other, -70);
    EXPECT_EQ(calls, 1);

    header->removeFromSuperview();
    EXPECT_EQ(header->scrollView().get(), other.get()) << "kept, but no longer followed";
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

// The time label, for a time stored before the header is made, and the header's two lines.
TEST_F(RefreshTest, TimeLabelFormsDependOnTheCalendarDayAndTheHeaderHasTwoLines)
{
    auto labelFor = [](std::optional<double> storedSecondsSince1970) {
        auto defaults = NSUserDefaults::standardUserDefaults();
        if (storedSecondsSince1970)
            defaults->setObject(Value::date(*storedSecondsSince1970), "PZRefreshHeaderView");
        else
            defaults->removeObjectForKey("PZRefreshHeaderView");
        return PZRefreshHeaderView::header()->lastUpdateTimeLabel()->text();
    };
    time.advance(200 * 86400.0 + 15 * 3600); // 2024-07-19 15:00
    const double day = 1704067200.0 + 200 * 86400.0;
    EXPECT_EQ(labelFor(day + 60), "最后更新：今天 00:01");
    EXPECT_EQ(labelFor(day - 60), "最后更新：07-18 23:59") << "a minute before midnight is yesterday";
    EXPECT_EQ(labelFor(1704067200.0 - 60), "最后更新：2023-12-31 23:59");
    EXPECT_EQ(labelFor(std::nullopt), "");

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
