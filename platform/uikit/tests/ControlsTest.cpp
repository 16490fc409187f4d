// Controls, gestures and scroll views as a person's taps and drags reach them.
#include "Fixture.h"

#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIBars.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITextField.h"

namespace {

TEST_F(UIKitTest, ButtonContentFallsBackToTheNormalState)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTitle("导入号码", UIControlStateNormal);
    button->setTitle("选中", UIControlStateSelected);
    button->setTitleColor(UIColor::redColor(), UIControlStateHighlighted);
    EXPECT_EQ(button->titleForState(UIControlStateHighlighted), "导入号码");
    EXPECT_EQ(button->titleForState(UIControlStateSelected | UIControlStateHighlighted), "选中");
    button->setSelected(true);
    EXPECT_EQ(button->currentTitle(), "选中");
    EXPECT_EQ(button->titleLabel()->text(), "选中");
    EXPECT_EQ(button->titleColorForState(UIControlStateNormal), UIColor::whiteColor());
    EXPECT_EQ(button->titleColorForState(UIControlStateHighlighted), UIColor::redColor());
    button->setEnabled(false);
    EXPECT_EQ(button->state(), UIControlStateSelected | UIControlStateDisabled);
}

TEST_F(UIKitTest, TapsSendTouchUpInsideToLiveTargetsOfEnabledControls)
{
    struct Screen : NSObject {
        std::vector<NSInteger> tags;
        void pressed(const std::shared_ptr<UIButton>& sender) { tags.push_back(sender->tag()); }
    };
    auto screen = std::make_shared<Screen>();
    auto button = UIButton::create({ { 10, 10 }, { 100, 40 } });
    button->setTag(4);
    button->addTarget(screen, &Screen::pressed, UIControlEventTouchUpInside);
    window->addSubview(button);
    window->sendTap({ 20, 20 });
    EXPECT_EQ(screen->tags, (std::vector<NSInteger> { 4 }));
    button->removeTarget(screen.get(), UIControlEventTouchUpInside);
    EXPECT_EQ(button->actionCount(UIControlEventAllEvents), 0u);
    button->addTarget(screen, &Screen::pressed, UIControlEventTouchUpInside);
    screen.reset();
    button->sendActionsForControlEvents(UIControlEventTouchUpInside); // a gone target is skipped
}

TEST_F(UIKitTest, TapPassesThroughADisabledControlToTheViewBeneath)
{
    struct Case {
        const char* what;
        bool topEnabled;
        bool topIsField;
        int topTaps;
        int beneathTaps;
    };
    const Case cases[] = {
        { "enabled button on top takes the tap", true, false, 1, 0 },
        { "disabled button lets the row beneath take it", false, false, 0, 1 },
        { "disabled text field lets the row beneath take it", false, true, 0, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int topTaps = 0, beneathTaps = 0;
        auto row = UIButton::create({ { 0, 100 }, { 320, 44 } });
        row->addTarget(nullptr, [&](const std::shared_ptr<UIControl>&) { ++beneathTaps; }, UIControlEventTouchUpInside);
        std::shared_ptr<UIControl> top = c.topIsField ? std::static_pointer_cast<UIControl>(UITextField::create({ { 100, 0 }, { 200, 44 } }))
                                                      : UIButton::create({ { 100, 0 }, { 200, 44 } });
        top->addTarget(nullptr, [&](const std::shared_ptr<UIControl>&) { ++topTaps; }, UIControlEventTouchUpInside);
        top->setEnabled(c.topEnabled);
        row->addSubview(top);
        window->addSubview(row);
        window->sendTap({ 150, 120 });
        EXPECT_EQ(topTaps, c.topTaps);
        EXPECT_EQ(beneathTaps, c.beneathTaps);
        row->removeFromSuperview();
    }
}

TEST_F(UIKitTest, RecognisersSeeTapsFirstAndMayCancelThem)
{
    auto container = UIView::create({ { 0, 0 }, { 200, 200 } });
    auto button = UIButton::create({ { 10, 10 }, { 50, 50 } });
    int buttonTaps = 0, recognised = 0;
    button->addTarget(nullptr, [&](const std::shared_ptr<UIControl>&) { ++buttonTaps; }, UIControlEventTouchUpInside);
    container->addSubview(button);
    window->addSubview(container);
    CGPoint seenAt {};
    auto tap = UITapGestureRecognizer::create([&](const std::shared_ptr<UIGestureRecognizer>& r) {
        ++recognised;
        EXPECT_EQ(r->state(), UIGestureRecognizerStateEnded);
        seenAt = r->locationInView(container.get());
    });
    container->addGestureRecognizer(tap);
    container->addGestureRecognizer(tap);
    EXPECT_EQ(container->gestureRecognizers().size(), 1u) << "adding twice does nothing";
    window->sendTap({ 20, 30 });
    EXPECT_EQ(recognised, 1);
    EXPECT_EQ(seenAt, (CGPoint { 20, 30 }));
    EXPECT_EQ(buttonTaps, 0) << "the recogniser cancelled the touch in the view";

    // A delegate that keeps controls' touches to themselves, and a recogniser that lets touches through.
    struct SkipControls : UIGestureRecognizerDelegate {
        bool gestureRecognizerShouldReceiveTouch(const std::shared_ptr<UIGestureRecognizer>&, const std::shared_ptr<UITouch>& t) override
        {
            return !std::dynamic_pointer_cast<UIControl>(t->view());
        }
    };
    auto skip = std::make_shared<SkipControls>();
    tap->setDelegate(skip);
    window->sendTap({ 20, 30 });
    EXPECT_EQ(recognised, 1);
    EXPECT_EQ(buttonTaps, 1);
    window->sendTap({ 150, 150 });
    EXPECT_EQ(recognised, 2);
    tap->setCancelsTouchesInView(false);
    tap->setDelegate({});
    window->sendTap({ 20, 30 });
    EXPECT_EQ(recognised, 3);
    EXPECT_EQ(buttonTaps, 2);
    tap->setEnabled(false);
    window->sendTap({ 150, 150 });
    EXPECT_EQ(recognised, 3);
}

TEST_F(UIKitTest, LongPressGoesThroughBeganAndEnded)
{
    auto image = UIView::create({ { 0, 0 }, { 100, 100 } });
    window->addSubview(image);
    std::vector<UIGestureRecognizerState> states;
    auto press = UILongPressGestureRecognizer::create([&](const std::shared_ptr<UIGestureRecognizer>& r) { states.push_back(r->state()); });
    image->addGestureRecognizer(press);
    window->sendTap({ 10, 10 });
    EXPECT_TRUE(states.empty()) << "a tap is no long press";
    window->sendLongPress({ 10, 10 });
    EXPECT_EQ(states, (std::vector<UIGestureRecognizerState> { UIGestureRecognizerStateBegan, UIGestureRecognizerStateEnded }));
}

TEST_F(UIKitTest, ScrollViewPublishesOffsetsAndPagesDrags)
{
    struct Watcher : UIScrollViewDelegate {
        std::vector<std::string> events;
        void scrollViewWillBeginDragging(const std::shared_ptr<UIScrollView>& s) override
        {
            events.push_back(s->isDragging() ? "begin dragging" : "begin?");
        }
        void scrollViewDidEndDragging(const std::shared_ptr<UIScrollView>&, bool decelerate) override
        {
            events.push_back(decelerate ? "end decelerate" : "end");
        }
        void scrollViewDidEndDecelerating(const std::shared_ptr<UIScrollView>& s) override
        {
            events.push_back("stopped " + std::to_string(int(s->contentOffset().x)));
        }
        void scrollViewDidEndScrollingAnimation(const std::shared_ptr<UIScrollView>&) override { events.push_back("animation"); }
    };
    auto scroll = UIScrollView::create({ { 0, 0 }, { 320, 150 } });
    auto watcher = std::make_shared<Watcher>();
    scroll->setDelegate(watcher);
    scroll->setContentSize({ 320 * 3, 150 });
    scroll->setPagingEnabled(true);
    std::vector<double> offsets;
    auto observation = scroll->observe("contentOffset", NSKeyValueObservingOptionNew,
        [&](const std::string&, NSObject*, const Value& change) { offsets.push_back(CGRectFromValue(change["new"]).origin.x); });
    scroll->simulateDrag({ -200, 0 });
    EXPECT_EQ(scroll->contentOffset().x, 320);
    EXPECT_EQ(offsets, (std::vector<double> { 200, 320 }));
    EXPECT_FALSE(scroll->isDragging());
    scroll->simulateDrag({ -2000, 0 });
    EXPECT_EQ(scroll->contentOffset().x, 640) << "released past the end, it stays in the content";
    EXPECT_EQ(watcher->events, (std::vector<std::string> { "begin dragging", "end decelerate", "stopped 320", "begin dragging",
                                   "end decelerate", "stopped 640" }));
    watcher->events.clear();
    scroll->setContentOffset({ 0, 0 }, true);
    EXPECT_EQ(scroll->contentOffset().x, 0);
    EXPECT_TRUE(watcher->events.empty());
    testing_support::settle();
    EXPECT_EQ(watcher->events, (std::vector<std::string> { "animation" }));
}

TEST_F(UIKitTest, ToolbarSpreadsItemsAroundFlexibleSpace)
{
    auto toolbar = UIToolbar::create({ { 0, 0 }, { 320, 44 } });
    int done = 0;
    auto doneItem = UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemDone, [&](auto&) { ++done; });
    auto custom = UIBarButtonItem::initWithCustomView(UIView::create({ { 0, 0 }, { 40, 30 } }));
    toolbar->setItems({ custom, UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace, {}), doneItem });
    window->addSubview(toolbar);
    toolbar->layoutIfNeeded();
    EXPECT_EQ(custom->customView()->frame().origin.x, 8);
    auto doneView = doneItem->barView();
    EXPECT_NEAR(CGRectGetMaxX(doneView->frame()), 312, 1e-9);
    CGRect r = doneView->convertRectToView(doneView->bounds(), nullptr);
    window->sendTap({ CGRectGetMidX(r), CGRectGetMidY(r) });
    EXPECT_EQ(done, 1);
}

TEST_F(UIKitTest, ActivityIndicatorHidesWhenStopped)
{
    auto large = UIActivityIndicatorView::initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleWhiteLarge);
    EXPECT_TRUE(large->isHidden());
    large->startAnimating();
    EXPECT_TRUE(large->isAnimating());
    EXPECT_FALSE(large->isHidden());
    large->setHidesWhenStopped(false);
    large->stopAnimating();
    EXPECT_FALSE(large->isHidden());
}

TEST_F(UIKitTest, LabelMeasuresOneLineOrWrapped)
{
    auto label = UILabel::create();
    label->setFont(UIFont::systemFontOfSize(14));
    label->setText("获取到号码后再导入 and some more words to wrap");
    CGSize one = label->sizeThatFits(CGSizeZero);
    EXPECT_GT(one.width, 100);
    EXPECT_LE(one.height, 20);
    label->setNumberOfLines(0);
    CGSize wrapped = label->sizeThatFits({ 100, 0 });
    EXPECT_LE(wrapped.width, 100);
    EXPECT_GT(wrapped.height, one.height * 2);
    label->setNumberOfLines(2);
    EXPECT_LT(label->sizeThatFits({ 100, 0 }).height, wrapped.height);
    EXPECT_FALSE(label->isUserInteractionEnabled());
}

} // namespace
