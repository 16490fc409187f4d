// Scroll views: the content inset and where the offset rests, observation of offset and size,
// scrolling a rectangle into view, and drags that are switched off or run past the content.
#include "Fixture.h"

#include "platform/uikit/UIScrollView.h"

namespace {

TEST_F(UIKitTest, ContentRestingAtTheTopFollowsANewInsetAndIsObserved)
{
    auto scroll = UIScrollView::create({ { 0, 0 }, { 320, 400 } });
    scroll->setContentSize({ 320, 1000 });
    std::vector<CGPoint> offsets;
    std::vector<CGSize> sizes;
    auto offsetObservation = scroll->observe("contentOffset", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld,
        [&](const std::string& key, NSObject*, const Value& change) {
            EXPECT_EQ(key, "contentOffset");
            EXPECT_TRUE(change.contains("old"));
            offsets.push_back(CGRectFromValue(change["new"]).origin);
        });
    auto sizeObservation = scroll->observe("contentSize", NSKeyValueObservingOptionNew,
        [&](const std::string&, NSObject*, const Value& change) { sizes.push_back(CGRectFromValue(change["new"]).size); });

    scroll->setContentInset({ 64, 0, 49, 0 });
    EXPECT_EQ(scroll->contentOffset(), (CGPoint { 0, -64 }));
    scroll->setContentInset({ 100, 0, 0, 0 });
    EXPECT_EQ(scroll->contentOffset(), (CGPoint { 0, -100 }));
    EXPECT_EQ(offsets, (std::vector<CGPoint> { { 0, -64 }, { 0, -100 } }));

    scroll->setContentOffset({ 0, 300 });
    scroll->setContentInset({ 20, 0, 0, 0 });
    EXPECT_EQ(scroll->contentOffset(), (CGPoint { 0, 300 })) << "scrolled content stays where it is";
    scroll->setContentInset({ 20, 0, 0, 0 });
    EXPECT_EQ(offsets.size(), 3u) << "the same inset again moves nothing";

    scroll->setContentSize({ 320, 2000 });
    EXPECT_EQ(sizes, (std::vector<CGSize> { { 320, 2000 } }));
    offsetObservation.invalidate();
    scroll->setContentOffset({ 0, 0 });
    EXPECT_EQ(offsets.size(), 3u) << "an invalidated observation hears nothing";
}

TEST_F(UIKitTest, ScrollRectToVisibleMovesAsLittleAsNeededWithinTheInsets)
{
    auto scroll = UIScrollView::create({ { 0, 0 }, { 100, 100 } });
    scroll->setContentSize({ 300, 300 });
    scroll->scrollRectToVisible({ { 150, 150 }, { 20, 20 } }, false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint { 70, 70 })) << "the far edges meet";
    scroll->scrollRectToVisible({ { 80, 80 }, { 10, 10 } }, false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint { 70, 70 })) << "already visible: no move";
    scroll->scrollRectToVisible({ { 10, 20 }, { 10, 10 } }, false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint { 10, 20 }));
    scroll->scrollRectToVisible({ { 280, 290 }, { 100, 100 } }, false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint { 200, 200 })) << "never past the content";
    scroll->setContentInset({ 30, 0, 0, 0 });
    scroll->scrollRectToVisible({ { 0, -30 }, { 10, 10 } }, false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint { 0, -30 })) << "the inset area can be shown";
}

TEST_F(UIKitTest, DragsRespectScrollEnabledAndTheContentEdges)
{
    auto scroll = UIScrollView::create({ { 0, 0 }, { 100, 100 } });
    scroll->setContentSize({ 100, 250 });
    scroll->setScrollEnabled(false);
    scroll->simulateDrag({ 0, -50 });
    EXPECT_EQ(scroll->contentOffset().y, 0) << "a disabled scroll view does not move";
    scroll->setScrollEnabled(true);
    scroll->simulateDrag({ 0, 40 });
    EXPECT_EQ(scroll->contentOffset().y, 0) << "pulled past the top it springs back";
    scroll->simulateDrag({ 0, -500 });
    EXPECT_EQ(scroll->contentOffset().y, 150);
    scroll->setPagingEnabled(true);
    scroll->simulateDrag({ 0, 90 });
    EXPECT_EQ(scroll->contentOffset().y, 100) << "a page is the bounds height";
}

} // namespace
