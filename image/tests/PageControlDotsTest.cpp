// The dotted page control: sizes and centring, activation of the current dot (animated and
// plain dots, drawn), single-page hiding, image dots, custom dot classes, and dot taps.
#include "CarouselFixture.h"

#include "image/DTPageControl.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSLog.h"
#include "platform/uikit/UIImageView.h"

namespace {

TEST_F(CarouselFixture, PageControlSizesCentresFitsAndHidesItsDots)
{
    auto control = DTPageControl::create({ { 10, 10 }, { 100, 40 } });
    EXPECT_EQ(control->sizeForNumberOfPages(5), (CGSize { 72, 8 }));
    EXPECT_EQ(control->sizeForNumberOfPages(0), CGSizeZero) << "no pages need no room, not minus the spacing";
    control->setNumberOfPages(5);
    ASSERT_EQ(control->dots().size(), 5u);
    // Dot 0 is current and drawn larger; dot 1 shows the placement.
    EXPECT_EQ(control->dots()[1]->frame(), (CGRect { { 30, 16 }, { 8, 8 } })) << "the row is centred";
    control->sizeToFit();
    EXPECT_EQ(control->frame().size, (CGSize { 72, 8 }));
    EXPECT_EQ(control->center(), (CGPoint { 60, 30 })) << "resizing keeps the centre";
    control->setShouldResizeFromCenter(false);
    control->setSpacingBetweenDots(2);
    control->sizeToFit();
    EXPECT_EQ(control->frame(), (CGRect { { 24, 26 }, { 48, 8 } })) << "without centring the origin stays";
    control->setNumberOfPages(-3);
    EXPECT_TRUE(control->dots().empty());
    control->setHidesForSinglePage(true);
    control->setNumberOfPages(1);
    EXPECT_TRUE(control->isHidden());
    control->setNumberOfPages(2);
    EXPECT_FALSE(control->isHidden());
}

TEST_F(CarouselFixture, PageControlAnimatesTheCurrentDotAndKeepsThePageInRange)
{
    auto control = DTPageControl::create({ { 0, 0 }, { 100, 20 } });
    control->setDotColor(UIColor::redColor());
    control->setNumberOfPages(5);
    auto dot0 = std::dynamic_pointer_cast<DTAnimatedDotView>(control->dots()[0]);
    auto dot3 = std::dynamic_pointer_cast<DTAnimatedDotView>(control->dots()[3]);
    ASSERT_TRUE(dot0 && dot3);
    EXPECT_EQ(dot3->dotColor(), UIColor::redColor()) << "new dots take the control's colour";
    EXPECT_EQ(dot0->backgroundColor(), UIColor::redColor()) << "page 0 starts active";
    uikit::clearAnimationLog();
    control->setCurrentPage(3);
    EXPECT_EQ(control->currentPage(), 3);
    EXPECT_EQ(dot0->backgroundColor(), UIColor::clearColor());
    EXPECT_EQ(dot0->transform(), CGAffineTransformIdentity);
    EXPECT_EQ(dot3->backgroundColor(), UIColor::redColor());
    EXPECT_EQ(dot3->transform(), CGAffineTransformMakeScale(1.4, 1.4));
    ASSERT_EQ(uikit::animationLog().size(), 2u);
    for (const auto& record : uikit::animationLog()) {
        EXPECT_EQ(record.duration, 1.0);
        EXPECT_EQ(record.delay, 0.0);
        EXPECT_EQ(record.options & (0xF << 16), UIViewAnimationOptionCurveLinear);
    }
    control->setCurrentPage(3);
    EXPECT_EQ(uikit::animationLog().size(), 2u) << "the same page again does nothing";
    control->setCurrentPage(7);
    control->setCurrentPage(-1);
    EXPECT_EQ(control->currentPage(), 3) << "pages outside the row are ignored";
    control->setNumberOfPages(2);
    EXPECT_EQ(control->currentPage(), 1) << "fewer pages pull the current page in";
    EXPECT_EQ(control->dots()[1]->backgroundColor(), UIColor::redColor());
}

TEST_F(CarouselFixture, PageControlImageDotsTakeTheImageSizeAndSwapOnlyWithBothImages)
{
    auto dot = solidImage({ 6, 4 });
    auto current = solidImage({ 6, 4 });
    auto control = DTPageControl::create({ { 0, 0 }, { 100, 20 } });
    control->setNumberOfPages(3);
    control->setDotImage(dot);
    EXPECT_FALSE(control->dotViewClass().has_value());
    ASSERT_EQ(control->dots().size(), 3u);
    auto imageView = [&](std::size_t i) { return std::dynamic_pointer_cast<UIImageView>(control->dots()[i]); };
    ASSERT_TRUE(imageView(0));
    EXPECT_EQ(imageView(0)->frame().size, (CGSize { 6, 4 }));
    EXPECT_EQ(imageView(0)->image(), dot) << "without a current image every dot is the same";
    EXPECT_EQ(control->sizeForNumberOfPages(3), (CGSize { 34, 4 }));
    control->setCurrentDotImage(current);
    auto imageAt = [&](std::size_t i) { return imageView(i)->image(); };
    EXPECT_EQ(imageAt(0), current);
    control->setCurrentPage(2);
    EXPECT_EQ(imageAt(0), dot);
    EXPECT_EQ(imageAt(2), current);
}

// A dot class that does not know how to show activity.
class PlainDot : public UIView {
public:
    using UIView::UIView;
    std::string className() const override { return "PlainDot"; }
};

TEST_F(CarouselFixture, PageControlLogsForDotClassesWithoutActivityAndAbstractDotsRaise)
{
    std::vector<std::string> lines;
    foundation::setLogSink([&lines](const std::string& text) { lines.push_back(text); });
    auto control = DTPageControl::create({ { 0, 0 }, { 100, 20 } });
    control->setDotViewClass(DTDotViewClass { "PlainDot", [](CGRect frame) -> std::shared_ptr<UIView> {
                                                   return std::make_shared<PlainDot>(frame);
                                               } });
    control->setNumberOfPages(2);
    control->setCurrentPage(1);
    foundation::setLogSink({});
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0],
        "Custom view : PlainDot must implement an 'changeActivityState' method or you can subclass DTAbstractDotView to help you.");
    EXPECT_FALSE(control->dots()[1]->backgroundColor().has_value()) << "the dots are left as they are";
    EXPECT_EQ(control->dots()[0]->frame().size, (CGSize { 8, 8 }));
    auto raised = [](const std::function<void()>& call) -> std::string {
        try {
            call();
        } catch (const NSException& e) {
            return e.name() + ": " + e.reason();
        }
        return "nothing raised";
    };
    EXPECT_EQ(raised([] { DTAbstractDotView view; }),
        "NSInternalInconsistencyException: You must override init in DTAbstractDotView");
    auto abstract = std::make_shared<DTAbstractDotView>(CGRect { { 0, 0 }, { 8, 8 } });
    EXPECT_EQ(raised([&] { abstract->changeActivityState(true); }),
        "NSInternalInconsistencyException: You must override changeActivityState: in DTAbstractDotView");
}

struct PageRecorder : DTPageControlDelegate {
    std::vector<NSInteger> pages;
    void DTPageControlDidSelectPageAtIndex(const std::shared_ptr<DTPageControl>&, NSInteger index) override
    {
        pages.push_back(index);
    }
};

TEST_F(CarouselFixture, PageControlReportsTheTappedDotOnly)
{
    auto control = DTPageControl::create({ { 0, 100 }, { 100, 20 } });
    control->setNumberOfPages(4);
    auto recorder = std::make_shared<PageRecorder>();
    control->setDelegate(recorder);
    window->addSubview(control);
    // Dots are 8 wide, 16 apart, from x = (100 - 56) / 2 = 22.
    window->sendTap({ 22 + 2 * 16 + 4, 110 });
    window->sendTap({ 22 + 8 + 4, 110 });
    window->sendTap({ 2, 110 });
    EXPECT_EQ(recorder->pages, (std::vector<NSInteger> { 2 })) << "taps between or beside the dots are ignored";
}

TEST_F(CarouselFixture, PlainDotsDrawAWhiteFillWhenActiveAndARingOtherwise)
{
    auto control = DTPageControl::create({ { 0, 0 }, { 100, 40 } });
    control->setDotViewClass(DTDotViewClass::of<DTDotView>());
    control->setDotSize({ 20, 20 });
    control->setNumberOfPages(3);
    window->addSubview(control);
    // Row 76 wide from x = 12; dots at 12, 40, 68; y = 10.
    auto shot = window->snapshotImage();
    ASSERT_TRUE(shot);
    EXPECT_EQ(pixel(shot, 22, 20), (std::array<int, 3> { 255, 255, 255 })) << "the active dot is filled";
    EXPECT_EQ(pixel(shot, 50, 20), (std::array<int, 3> { 0, 0, 0 })) << "an inactive dot is hollow";
    EXPECT_EQ(pixel(shot, 41, 20), (std::array<int, 3> { 255, 255, 255 })) << "with a white ring";
    EXPECT_EQ(pixel(shot, 40.2, 10.2), (std::array<int, 3> { 0, 0, 0 })) << "and round corners";
    EXPECT_EQ(pixel(shot, 36, 20), (std::array<int, 3> { 0, 0, 0 })) << "nothing between the dots";
    control->setCurrentPage(1);
    shot = window->snapshotImage();
    EXPECT_EQ(pixel(shot, 22, 20), (std::array<int, 3> { 0, 0, 0 }));
    EXPECT_EQ(pixel(shot, 50, 20), (std::array<int, 3> { 255, 255, 255 }));
}

} // namespace
