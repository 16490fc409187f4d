// The HUD's box and frames: label-only, indicator and custom-view boxes with their 4-point
// gaps, minimum size, square boxes, width caps and offsets; the indicator each mode gives;
// changes from a work thread; the drawn box and dimming.
#include <cmath>

#include "ui/tests/HUDFixture.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "ui/PGBarProgressView.h"
#include "ui/PGProgressHUD.h"
#include "ui/PGRoundProgressView.h"

namespace hudtest {
namespace {

class HUDLayoutTest : public HUDTest {
protected:
    // A HUD over the whole window (320 × 568), laid out.
    std::shared_ptr<PGProgressHUD> hudWith(PGProgressHUDMode mode, const std::string& label = "",
        const std::string& details = "")
    {
        auto hud = PGProgressHUD::showHUDAddedTo(window, false);
        hud->setMode(mode);
        hud->setLabelText(label);
        hud->setDetailsLabelText(details);
        hud->layoutIfNeeded();
        return hud;
    }
    static void relayout(PGProgressHUD& hud)
    {
        hud.setNeedsLayout();
        hud.layoutIfNeeded();
    }
    static CGSize labelSize(const std::string& text) { return graphics::sizeWithFont(text, UIFont::boldSystemFontOfSize(16)); }
};

TEST_F(HUDLayoutTest, TextOnlyBoxesHaveNoIndicatorGap)
{
    auto hud = hudWith(PGProgressHUDModeText);
    EXPECT_EQ(hud->size(), CGSizeMake(40, 40)) << "empty: two margins each way";
    hud->setMinSize(CGSizeMake(100, 10));
    relayout(*hud);
    EXPECT_EQ(hud->size(), CGSizeMake(100, 40)) << "each side takes the larger of the two";

    hud->setMinSize(CGSizeZero);
    hud->setLabelText("导入成功");
    relayout(*hud);
    CGSize text = labelSize("导入成功");
    ASSERT_GT(text.height, 0);
    EXPECT_EQ(hud->size(), CGSizeMake(text.width + 40, text.height + 40));
    EXPECT_EQ(hud->label()->frame(),
        CGRectMake(std::round((320 - text.width) / 2), std::round((568 - text.height - 40) / 2) + 20, text.width,
            text.height));
}

TEST_F(HUDLayoutTest, SpinnerAboveLabelAndDetailsWithGaps)
{
    auto hud = hudWith(PGProgressHUDModeSpinner, "Loading", "Please wait");
    CGSize text = labelSize("Loading");
    CGSize details = hud->detailsLabel()->frame().size;
    ASSERT_GT(details.height, 0);
    const CGFloat height = 37 + 4 + text.height + 4 + details.height + 40;
    EXPECT_DOUBLE_EQ(hud->size().height, height);
    EXPECT_DOUBLE_EQ(hud->size().width, std::max({ 37.0, text.width, details.width }) + 40);
    const CGFloat top = std::round((568 - height) / 2) + 20;
    EXPECT_EQ(hud->indicator()->frame(), CGRectMake(std::round((320 - 37) / 2.0), top, 37, 37));
    EXPECT_DOUBLE_EQ(hud->label()->frame().origin.y, top + 37 + 4);
    EXPECT_DOUBLE_EQ(hud->detailsLabel()->frame().origin.y, top + 37 + 4 + text.height + 4);
}

TEST_F(HUDLayoutTest, CustomViewSetsTheBoxAndOffsetsMoveTheContent)
{
    auto hud = hudWith(PGProgressHUDModeCustomView, "Done");
    auto custom = UIView::create(CGRectMake(0, 0, 150, 30));
    hud->setCustomView(custom);
    hud->setXOffset(10);
    hud->setYOffset(-20);
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->indicator(), custom);
    EXPECT_EQ(custom->superview(), hud);
    const CGFloat height = 30 + 4 + labelSize("Done").height + 40;
    EXPECT_EQ(hud->size(), CGSizeMake(150 + 40, height));
    EXPECT_EQ(custom->frame(), CGRectMake(std::round((320 - 150) / 2.0) + 10, std::round((568 - height) / 2), 150, 30));
}

TEST_F(HUDLayoutTest, WidthsAreCappedAtFourMarginsLessAndSquareOnlyWhereItFits)
{
    auto parent = UIView::create(CGRectMake(0, 0, 200, 560));
    window->addSubview(parent);
    auto hud = PGProgressHUD::showHUDAddedTo(parent, false);
    hud->setMode(PGProgressHUDModeCustomView);
    hud->setCustomView(UIView::create(CGRectMake(0, 0, 500, 10)));
    hud->setLabelText("A label far too long to fit on one line of a narrow view");
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->frame(), parent->bounds()) << "the HUD covers its parent";
    EXPECT_DOUBLE_EQ(hud->indicator()->frame().size.width, 120);
    EXPECT_DOUBLE_EQ(hud->label()->frame().size.width, 120);
    EXPECT_DOUBLE_EQ(hud->size().width, 160);

    hud->setSquare(true);
    relayout(*hud);
    EXPECT_EQ(hud->size().height, 160) << "the larger side fits both ways";
    hud->setDetailsLabelText("many words wrap into many lines in the details label of a narrow hud, "
                             "so that the box grows taller than the hud is wide, and then some more");
    relayout(*hud);
    ASSERT_GT(hud->size().height, 160);
    EXPECT_EQ(hud->size().width, 160) << "too tall to be square: the width stays as measured";

    hud->setMargin(60); // more than a quarter of the width
    relayout(*hud);
    EXPECT_GE(hud->label()->frame().size.width, 0);
    EXPECT_GE(hud->indicator()->frame().size.width, 0);
}

TEST_F(HUDLayoutTest, IndicatorFollowsTheModeAndTakesTheProgress)
{
    auto hud = hudWith(PGProgressHUDModeSpinner);
    auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(hud->indicator());
    ASSERT_TRUE(spinner);
    EXPECT_TRUE(spinner->isAnimating());
    hud->setActivityIndicatorColor(UIColor::redColor());
    EXPECT_EQ(spinner->color(), UIColor::redColor());
    EXPECT_EQ(hud->indicator(), spinner) << "the spinner is kept";
    hud->setProgress(0.5f);
    EXPECT_EQ(hud->indicator(), spinner) << "progress changes nothing in mode 0";

    hud->setMode(PGProgressHUDModeRing);
    auto ring = std::dynamic_pointer_cast<PGRoundProgressView>(hud->indicator());
    ASSERT_TRUE(ring);
    EXPECT_EQ(spinner->superview(), nullptr);
    EXPECT_EQ(ring->backgroundTintColor(), UIColor::redColor().colorWithAlphaComponent(0.1));
    hud->setMode(PGProgressHUDModePie);
    EXPECT_EQ(hud->indicator(), ring);
    EXPECT_TRUE(ring->isAnnular()) << "a ring stays a ring when the mode becomes 1";
    hud->setProgress(0.4f);
    EXPECT_FLOAT_EQ(ring->progress(), 0.4f);

    hud->setMode(PGProgressHUDModeBar);
    auto bar = std::dynamic_pointer_cast<PGBarProgressView>(hud->indicator());
    ASSERT_TRUE(bar);
    hud->setMode(PGProgressHUDModeBar);
    EXPECT_NE(hud->indicator(), bar) << "mode 2 always makes a new bar";
    EXPECT_EQ(bar->superview(), nullptr);
    hud->setMode(PGProgressHUDModeText);
    EXPECT_EQ(hud->indicator(), nullptr);
    hud->setMode(42);
    EXPECT_EQ(hud->indicator(), nullptr) << "unknown modes change nothing";
}

TEST_F(HUDLayoutTest, ChangesFromAWorkThreadApplyOnTheMainThread)
{
    auto hud = hudWith(PGProgressHUDModePie);
    auto pie = std::dynamic_pointer_cast<PGRoundProgressView>(hud->indicator());
    auto worker = NSThread::detachNewThreadWithBlock([hud] {
        hud->setProgress(0.7f);
        hud->setLabelText("70%");
        hud->setDetailsLabelColor(UIColor::greenColor());
    });
    ASSERT_TRUE(testing_support::runUntil([&] { return worker->isFinished(); }));
    ASSERT_TRUE(testing_support::runUntil([&] { return hud->detailsLabel()->textColor() == UIColor::greenColor(); }));
    EXPECT_EQ(hud->label()->text(), "70%");
    EXPECT_FLOAT_EQ(pie->progress(), 0.7f);
    EXPECT_TRUE(hud->needsLayout());
}

TEST_F(HUDLayoutTest, DrawsTheTranslucentRoundedBoxAndTheDimming)
{
    auto hud = hudWith(PGProgressHUDModeText);
    hud->setMinSize(CGSizeMake(100, 100));
    hud->setNeedsLayout();
    auto shot = window->snapshotImage();
    // The box spans (110, 234) to (210, 334); black at 0.8 over white.
    EXPECT_NEAR(pixelAt(shot, 160, 250).r, 51, 3);
    EXPECT_NEAR(pixelAt(shot, 112, 260).r, 51, 3);
    EXPECT_EQ(pixelAt(shot, 111, 235).r, 255) << "rounded corners";
    EXPECT_EQ(pixelAt(shot, 20, 20).r, 255) << "no dimming by default";

    hud->setColor(UIColor::blueColor());
    hud->setDimBackground(true);
    hud->setNeedsDisplay();
    shot = window->snapshotImage();
    EXPECT_EQ(pixelAt(shot, 160, 250).b, 255);
    EXPECT_EQ(pixelAt(shot, 160, 250).r, 0);
    // Radius min(W, H) = 320 from the centre (160, 284): alpha 0.75 at and beyond it.
    EXPECT_NEAR(pixelAt(shot, 0.5, 0.5).r, 64, 3);
    EXPECT_NEAR(pixelAt(shot, 160, 124).r, 159, 4) << "halfway out: alpha 0.375";
}

} // namespace
} // namespace hudtest
