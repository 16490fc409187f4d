// Frames, conversion between views under transforms and scrolling, hit testing, autoresizing.
#include "Fixture.h"

#include <cmath>

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIScrollView.h"

namespace {

void expectPoint(CGPoint actual, CGPoint expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

TEST_F(UIKitTest, FrameFollowsCenterBoundsAndTransform)
{
    auto v = UIView::create({ { 10, 20 }, { 100, 50 } });
    EXPECT_EQ(v->center(), (CGPoint { 60, 45 }));
    EXPECT_EQ(v->bounds(), (CGRect { {}, { 100, 50 } }));
    v->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(v->frame(), (CGRect { { -40, -5 }, { 200, 100 } }));
    EXPECT_EQ(v->bounds().size, (CGSize { 100, 50 })) << "a transform leaves the bounds alone";
    v->setTransform(CGAffineTransformMakeRotation(M_PI / 2));
    CGRect f = v->frame();
    EXPECT_NEAR(f.size.width, 50, 1e-9);
    EXPECT_NEAR(f.size.height, 100, 1e-9);
}

TEST_F(UIKitTest, ConvertsThroughTransformsScrollOffsetsSiblingTreesAndDetachedViews)
{
    auto outer = UIView::create({ { 10, 10 }, { 200, 200 } });
    auto scroll = UIScrollView::create({ { 0, 50 }, { 200, 100 } });
    auto inner = UIView::create({ { 20, 300 }, { 40, 40 } });
    window->addSubview(outer);
    outer->addSubview(scroll);
    scroll->addSubview(inner);
    scroll->setContentSize({ 200, 1000 });
    scroll->setContentOffset({ 0, 250 });

    // (0,0) in inner is (20,300) in the content, 50 above the scroll view's top once scrolled.
    expectPoint(inner->convertPointToView({ 0, 0 }, nullptr), { 30, 10 + 50 + 50 });
    expectPoint(inner->convertPointToView({ 0, 0 }, outer.get()), { 20, 100 });
    expectPoint(outer->convertPointToView({ 20, 100 }, inner.get()), { 0, 0 });
    expectPoint(window->convertPointToView({ 30, 110 }, inner.get()), { 0, 0 });

    // A scale about the centre of `outer` (centre at 110,110 in the window).
    outer->setTransform(CGAffineTransformMakeScale(2, 2));
    expectPoint(outer->convertPointToView({ 0, 0 }, nullptr), { -90, -90 });
    expectPoint(outer->convertPointToView({ 200, 200 }, nullptr), { 310, 310 });
    expectPoint(window->convertPointToView({ 310, 310 }, outer.get()), { 200, 200 });
    CGRect r = inner->convertRectToView(inner->bounds(), nullptr);
    EXPECT_NEAR(r.size.width, 80, 1e-9);
    EXPECT_NEAR(r.size.height, 80, 1e-9);

    // Between sibling trees, and within a tree not in a window (its root stands for the window).
    auto a = UIView::create({ { 100, 0 }, { 50, 50 } });
    auto b = UIView::create({ { 0, 200 }, { 50, 50 } });
    window->addSubview(a);
    window->addSubview(b);
    expectPoint(a->convertPointToView({ 0, 0 }, b.get()), { 100, -200 });
    auto detached = UIView::create({ { 5, 5 }, { 10, 10 } });
    auto child = UIView::create({ { 1, 1 }, { 2, 2 } });
    detached->addSubview(child);
    expectPoint(child->convertPointToView({ 0, 0 }, nullptr), { 1, 1 });
}

TEST_F(UIKitTest, HitTestingSkipsHiddenTransparentAndNonInteractiveViews)
{
    auto back = UIView::create({ { 0, 0 }, { 320, 568 } });
    auto front = UIView::create({ { 0, 0 }, { 100, 100 } });
    auto label = UIButton::create({ { 10, 10 }, { 50, 50 } });
    window->addSubview(back);
    back->addSubview(front);
    front->addSubview(label);
    EXPECT_EQ(window->hitTest({ 20, 20 }), label);
    label->setHidden(true);
    EXPECT_EQ(window->hitTest({ 20, 20 }), front);
    front->setAlpha(0.005);
    EXPECT_EQ(window->hitTest({ 20, 20 }), back);
    front->setAlpha(1);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest({ 20, 20 }), back) << "no interaction hides the whole subtree";
    EXPECT_EQ(window->hitTest({ 400, 20 }), nullptr);

    // Subviews outside their parent's bounds are not hit, and later subviews win.
    front->setUserInteractionEnabled(true);
    auto outside = UIView::create({ { 150, 150 }, { 20, 20 } });
    front->addSubview(outside);
    EXPECT_EQ(window->hitTest({ 155, 155 }), back);
    auto overlap = UIView::create({ { 0, 0 }, { 100, 100 } });
    front->addSubview(overlap);
    EXPECT_EQ(window->hitTest({ 5, 5 }), overlap);
    // Hit testing follows the scroll offset.
    auto scroll = UIScrollView::create({ { 0, 300 }, { 320, 100 } });
    auto row = UIView::create({ { 0, 500 }, { 320, 40 } });
    window->addSubview(scroll);
    scroll->addSubview(row);
    scroll->setContentSize({ 320, 1000 });
    EXPECT_EQ(window->hitTest({ 10, 310 }), scroll);
    scroll->setContentOffset({ 0, 500 });
    EXPECT_EQ(window->hitTest({ 10, 310 }), row);
}

TEST_F(UIKitTest, AutoresizingFollowsTheSuperviewsSize)
{
    auto parent = UIView::create({ { 0, 0 }, { 100, 100 } });
    auto fill = UIView::create({ { 10, 10 }, { 80, 80 } });
    fill->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto pinned = UIView::create({ { 80, 80 }, { 10, 10 } });
    pinned->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleTopMargin);
    parent->addSubview(fill);
    parent->addSubview(pinned);
    parent->setFrame({ { 0, 0 }, { 200, 150 } });
    EXPECT_EQ(fill->frame(), (CGRect { { 10, 10 }, { 180, 130 } }));
    EXPECT_EQ(pinned->frame(), (CGRect { { 180, 130 }, { 10, 10 } }));
}

TEST_F(UIKitTest, TreeMovesNotifyAndKeepOrder)
{
    struct Probe : UIView {
        std::vector<std::string> events;
        void willMoveToSuperview(const std::shared_ptr<UIView>& v) override { events.push_back(v ? "willMove" : "willMoveNil"); }
        void didMoveToWindow() override { events.push_back(window() ? "inWindow" : "outOfWindow"); }
    };
    auto probe = std::make_shared<Probe>();
    auto a = UIView::create();
    auto b = UIView::create();
    window->addSubview(a);
    a->addSubview(b);
    a->insertSubviewAtIndex(probe, 0);
    EXPECT_EQ(a->subviews().front(), probe);
    probe->removeFromSuperview();
    probe->removeFromSuperview(); // nothing happens the second time
    EXPECT_EQ(probe->events, (std::vector<std::string> { "willMove", "inWindow", "willMoveNil", "outOfWindow" }));
    b->setTag(7);
    EXPECT_EQ(window->viewWithTag(7), b);
}

} // namespace
