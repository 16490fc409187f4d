// The banner carousel: item counts and the starting page, wrap-around and the end of the row,
// auto-scroll in virtual time, the page indicator following the offset and its placement,
// captions, page sources, taps, zero and one source, and the timer's lifetime.
#include "CarouselFixture.h"

#include <map>

#include "image/DTPageControl.h"
#include "image/UIImageView+WebCache.h"
#include "image/WICollectionViewCell.h"
#include "image/WICycleScrollView.h"
#include "platform/uikit/UIPageControl.h"

namespace {

const CGRect kFrame { { 0, 100 }, { 300, 150 } };

struct Recorder : WICycleScrollViewDelegate {
    std::vector<NSInteger> selected;
    std::vector<NSInteger> scrolled;
    void cycleScrollViewDidSelectItemAtIndex(const std::shared_ptr<WICycleScrollView>&, NSInteger i) override
    {
        selected.push_back(i);
    }
    void cycleScrollViewDidScrollToIndex(const std::shared_ptr<WICycleScrollView>&, NSInteger i) override
    {
        scrolled.push_back(i);
    }
};

class CycleScrollViewTest : public CarouselFixture {
protected:
    // A carousel in the window whose URL pages record what they were asked to load.
    std::shared_ptr<WICycleScrollView> make(const std::vector<WICycleSource>& sources, bool infinite = true)
    {
        auto view = WICycleScrollView::create(kFrame);
        view->setImageLoader({ [this](const std::shared_ptr<UIImageView>& imageView, const std::string& url,
                                   const UIImageRef& placeholder) {
                                  loads[imageView.get()] = url;
                                  imageView->setImage(placeholder);
                              },
            [this](const std::shared_ptr<UIImageView>& imageView) {
                loads.erase(imageView.get());
                ++cancels;
            } });
        view->setInfiniteLoop(infinite);
        view->setLocalizationImageNamesGroup(sources);
        window->addSubview(view);
        view->layoutIfNeeded();
        return view;
    }
    static NSInteger item(const std::shared_ptr<WICycleScrollView>& view)
    {
        return static_cast<NSInteger>(view->mainView()->contentOffset().x / kFrame.size.width);
    }
    std::shared_ptr<WICollectionViewCell> shownCell(const std::shared_ptr<WICycleScrollView>& view)
    {
        view->mainView()->layoutIfNeeded();
        return std::dynamic_pointer_cast<WICollectionViewCell>(
            view->mainView()->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(item(view), 0)));
    }
    std::string shownURL(const std::shared_ptr<WICycleScrollView>& view)
    {
        auto cell = shownCell(view);
        return cell ? loads[cell->imageView().get()] : "";
    }
    static NSInteger indicatorPage(const std::shared_ptr<WICycleScrollView>& view)
    {
        if (auto classic = std::dynamic_pointer_cast<UIPageControl>(view->pageControl()))
            return classic->currentPage();
        if (auto animated = std::dynamic_pointer_cast<DTPageControl>(view->pageControl()))
            return animated->currentPage();
        return -1;
    }
    std::map<const UIImageView*, std::string> loads;
    int cancels = 0;
    const std::vector<WICycleSource> urls { "http://a/0.png", "http://a/1.png", "http://a/2.png" };
};

TEST_F(CycleScrollViewTest, InfiniteRowStartsInTheMiddleAndWrapsBothWays)
{
    auto view = make(urls);
    EXPECT_EQ(view->mainView()->numberOfItemsInSection(0), 300);
    EXPECT_EQ(item(view), 150);
    EXPECT_EQ(shownURL(view), "http://a/0.png");
    EXPECT_EQ(indicatorPage(view), 0);
    view->mainView()->simulateDrag({ kFrame.size.width, 0 });
    EXPECT_EQ(item(view), 149);
    EXPECT_EQ(shownURL(view), "http://a/2.png") << "swiping back from the first page shows the last";
    EXPECT_EQ(indicatorPage(view), 2);
}

TEST_F(CycleScrollViewTest, AutoScrollAdvancesEachIntervalAndReportsThePage)
{
    auto view = make(urls);
    auto recorder = std::make_shared<Recorder>();
    view->setDelegate(recorder);
    ASSERT_TRUE(view->timer());
    advance(1.9);
    EXPECT_EQ(item(view), 150);
    advance(0.2);
    EXPECT_EQ(item(view), 151);
    EXPECT_EQ(indicatorPage(view), 1);
    EXPECT_EQ(shownURL(view), "http://a/1.png");
    EXPECT_EQ(recorder->scrolled, (std::vector<NSInteger> { 1 }));
    view->setAutoScrollTimeInterval(5);
    advance(4);
    EXPECT_EQ(item(view), 151) << "a new interval restarts the timer";
    advance(1.1);
    EXPECT_EQ(item(view), 152);
    view->setAutoScroll(false);
    EXPECT_FALSE(view->timer());
    advance(10);
    EXPECT_EQ(item(view), 152);
}

TEST_F(CycleScrollViewTest, TheEndOfTheRowStopsOrJumpsBackToTheMiddle)
{
    auto finite = make(urls, false);
    EXPECT_EQ(item(finite), 0);
    advance(2.1);
    advance(2.0);
    EXPECT_EQ(item(finite), 2);
    advance(2.0);
    EXPECT_EQ(item(finite), 2) << "without the loop the last page stays";
    finite->removeFromSuperview();
    auto infinite = make(urls);
    infinite->mainView()->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(299, 0), UICollectionViewScrollPositionNone, false);
    auto recorder = std::make_shared<Recorder>();
    infinite->setDelegate(recorder);
    infinite->automaticScroll();
    EXPECT_EQ(item(infinite), 150) << "after the last item the row starts again in the middle";
    testing_support::settle(1);
    EXPECT_TRUE(recorder->scrolled.empty()) << "the jump is not animated";
}

TEST_F(CycleScrollViewTest, ADroppedCarouselIsReleasedAndItsTimerEnds)
{
    std::weak_ptr<WICycleScrollView> weak;
    std::shared_ptr<NSTimer> timer;
    {
        auto view = WICycleScrollView::cycleScrollViewWithFrame(kFrame, std::vector<WICycleSource> { "a", "b" });
        weak = view;
        timer = view->timer();
        ASSERT_TRUE(timer && timer->isValid());
    }
    EXPECT_TRUE(weak.expired()) << "the running timer must not keep the carousel alive";
    EXPECT_FALSE(timer->isValid());
    advance(3);
}

TEST_F(CycleScrollViewTest, PageSourcesLoadByURLByNameOrAsImages)
{
    auto image = solidImage({ 4, 4 });
    auto placeholder = image;
    auto view = make({ "http://a/0.png", "no-such-resource", image }, false);
    view->setPlaceholderImage(placeholder);
    view->mainView()->reloadData();
    auto cell = shownCell(view);
    ASSERT_TRUE(cell);
    EXPECT_EQ(loads[cell->imageView().get()], "http://a/0.png");
    EXPECT_EQ(cell->imageView()->image(), placeholder) << "URL pages show the placeholder while loading";
    int before = cancels;
    view->mainView()->simulateDrag({ -kFrame.size.width, 0 });
    cell = shownCell(view);
    EXPECT_FALSE(loads.count(cell->imageView().get())) << "a name is not a URL";
    EXPECT_EQ(cell->imageView()->image(), nullptr);
    view->mainView()->simulateDrag({ -kFrame.size.width, 0 });
    cell = shownCell(view);
    EXPECT_EQ(cell->imageView()->image(), image);
    EXPECT_GT(cancels, before) << "a reused cell's running URL load is cancelled before another source";
    ASSERT_TRUE(view->backgroundImageView());
    EXPECT_EQ(view->backgroundImageView()->image(), placeholder);
    EXPECT_EQ(view->subviews().front(), view->backgroundImageView()) << "the placeholder lies below the pages";
}

TEST_F(CycleScrollViewTest, CaptionsFollowTheTitlesAndReusedCellsLoseOldOnes)
{
    auto view = WICycleScrollView::create(kFrame);
    view->setImageLoader({ [](auto&, auto&, auto&) { }, [](auto&) { } });
    view->setInfiniteLoop(false);
    view->setTitlesGroup({ "first", "second" });
    view->setTitleLabelHeight(24); // cells take their caption style when first configured
    view->setLocalizationImageNamesGroup({ "a", "b", "c" });
    window->addSubview(view);
    view->layoutIfNeeded();
    auto cell = shownCell(view);
    ASSERT_TRUE(cell);
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->titleLabel()->text(), "   first");
    EXPECT_FALSE(cell->titleLabel()->isHidden());
    EXPECT_EQ(cell->titleLabel()->frame(), (CGRect { { 0, 126 }, { 300, 24 } }));
    view->mainView()->simulateDrag({ -kFrame.size.width, 0 });
    view->mainView()->simulateDrag({ -kFrame.size.width, 0 });
    cell = shownCell(view);
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->title(), "") << "a page past the titles has no caption, even in a reused cell";
    EXPECT_TRUE(cell->titleLabel()->isHidden());
}

TEST_F(CycleScrollViewTest, TapsReportTheSourceIndex)
{
    auto view = make(urls);
    auto recorder = std::make_shared<Recorder>();
    view->setDelegate(recorder);
    std::vector<NSInteger> clicked;
    view->setClickItemOperationBlock([&clicked](NSInteger i) { clicked.push_back(i); });
    window->sendTap({ 150, 150 });
    view->mainView()->simulateDrag({ kFrame.size.width, 0 });
    window->sendTap({ 150, 150 });
    EXPECT_EQ(recorder->selected, (std::vector<NSInteger> { 0, 2 }));
    EXPECT_EQ(clicked, (std::vector<NSInteger> { 0, 2 }));
}

TEST_F(CycleScrollViewTest, ZeroOrOneSourceNeitherScrollsNorShowsAnIndicator)
{
    auto none = make({});
    EXPECT_EQ(none->totalItemsCount(), 0);
    EXPECT_FALSE(none->pageControl());
    none->automaticScroll();
    none->scrollViewDidScroll(none->mainView());
    advance(3);
    EXPECT_EQ(none->mainView()->contentOffset().x, 0);
    none->removeFromSuperview();
    auto one = make({ "http://a/only.png" });
    EXPECT_FALSE(one->mainView()->isScrollEnabled());
    EXPECT_FALSE(one->pageControl()) << "a single page hides the indicator";
    one->setHidesForSinglePage(false);
    one->setPageControlStyle(WICycleScrollViewPageControlStyleAnimated);
    EXPECT_TRUE(std::dynamic_pointer_cast<DTPageControl>(one->pageControl()));
}

TEST_F(CycleScrollViewTest, ZeroWidthNeitherDividesByZeroNorMovesTheIndicator)
{
    auto view = WICycleScrollView::create({ { 0, 0 }, { 0, 150 } });
    view->setLocalizationImageNamesGroup({ "a", "b", "c" });
    window->addSubview(view);
    view->layoutIfNeeded();
    view->automaticScroll();
    view->scrollViewDidScroll(view->mainView());
    view->scrollViewDidEndScrollingAnimation(view->mainView());
    EXPECT_EQ(indicatorPage(view), 0);
}

TEST_F(CycleScrollViewTest, IndicatorIsPlacedSizedAndColoured)
{
    auto view = make({ "a", "b", "c", "d" });
    view->setPageControlAliment(WICycleScrollViewPageControlAlimentRight);
    view->layoutIfNeeded();
    auto classic = std::dynamic_pointer_cast<UIPageControl>(view->pageControl());
    ASSERT_TRUE(classic);
    EXPECT_EQ(classic->frame(), (CGRect { { 300 - 48 - 10, 150 - 10 - 10 }, { 48, 10 } }));
    view->setPageDotColor(UIColor::redColor());
    EXPECT_EQ(classic->dotColorForPage(1), UIColor::redColor()) << "the dots are recoloured at once";
    view->setPageControlAliment(WICycleScrollViewPageControlAlimentCenter);
    view->setPageControlStyle(WICycleScrollViewPageControlStyleAnimated);
    view->setPageControlDotSize({ 12, 12 });
    view->layoutIfNeeded();
    auto animated = std::dynamic_pointer_cast<DTPageControl>(view->pageControl());
    ASSERT_TRUE(animated);
    EXPECT_EQ(classic->superview(), nullptr) << "the old indicator is removed";
    EXPECT_EQ(animated->frame(), (CGRect { { (300 - 72) / 2.0, 150 - 12 - 10 }, { 4 * 20 - 8, 12 } }));
    view->setPageControlStyle(WICycleScrollViewPageControlStyleNone);
    EXPECT_FALSE(view->pageControl());
}

TEST_F(CarouselFixture, URLPagesLoadThroughTheImageViewExtensionByDefault)
{
    auto placeholder = solidImage({ 2, 2 });
    auto view = WICycleScrollView::create(kFrame);
    view->setPlaceholderImage(placeholder);
    view->setInfiniteLoop(false);
    view->setLocalizationImageNamesGroup({ "http://127.0.0.1:1/banner.png" });
    window->addSubview(view);
    view->layoutIfNeeded();
    auto cell = std::dynamic_pointer_cast<WICollectionViewCell>(
        view->mainView()->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(0, 0)));
    ASSERT_TRUE(cell);
    ASSERT_TRUE(wi_imageURL(cell->imageView()));
    EXPECT_EQ(wi_imageURL(cell->imageView())->absoluteString(), "http://127.0.0.1:1/banner.png");
    EXPECT_EQ(cell->imageView()->image(), placeholder);
    wi_cancelCurrentImageLoad(cell->imageView());
}

} // namespace
