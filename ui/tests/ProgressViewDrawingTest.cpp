// The round and bar progress views as drawn on screen: the pie's and the ring's start at the
// top and clockwise sweep, the older systems' thicker ring, and the bar's outline, fill and caps.
#include <cmath>

#include "ui/tests/HUDFixture.h"
#include "ui/PGBarProgressView.h"
#include "ui/PGRoundProgressView.h"

namespace hudtest {
namespace {

bool isRed(Pixel p) { return p.r > 200 && p.b < 60; }
bool isBlue(Pixel p) { return p.b > 200 && p.r < 60; }

class ProgressViewTest : public HUDTest {
protected:
    void SetUp() override
    {
        HUDTest::SetUp();
        window->setBackgroundColor(UIColor::blackColor());
    }
    // A 100-point round view at (10, 10): red progress over an opaque blue background.
    std::shared_ptr<PGRoundProgressView> roundView(float progress, bool annular)
    {
        auto view = PGRoundProgressView::initWithFrame(CGRectMake(10, 10, 100, 100));
        view->setProgressTintColor(UIColor::redColor());
        view->setBackgroundTintColor(UIColor::blueColor());
        view->setAnnular(annular);
        view->setProgress(progress);
        window->addSubview(view);
        return view;
    }
    // A 120 × 20 bar at (10, 200): green outline, blue inside, red fill.
    std::shared_ptr<PGBarProgressView> barView(float progress)
    {
        auto view = PGBarProgressView::init();
        view->setFrame(CGRectMake(10, 200, 120, 20));
        view->setLineColor(UIColor::greenColor());
        view->setProgressRemainingColor(UIColor::blueColor());
        view->setProgressColor(UIColor::redColor());
        view->setProgress(progress);
        window->addSubview(view);
        return view;
    }
    // The pixel at `radius` from the round view's centre, `degrees` clockwise from the top.
    Pixel around(const UIImageRef& shot, double radius, double degrees)
    {
        double a = (degrees - 90) * M_PI / 180;
        return pixelAt(shot, 60 + radius * std::cos(a), 60 + radius * std::sin(a));
    }
    Pixel bar(const UIImageRef& shot, double x, double y) { return pixelAt(shot, 10 + x, 200 + y); }
};

TEST_F(ProgressViewTest, PieStartsAtTheTopAndSweepsClockwise)
{
    auto view = roundView(0.25f, false);
    auto shot = window->snapshotImage();
    EXPECT_TRUE(isRed(around(shot, 30, 10))) << "just right of the top is filled";
    EXPECT_TRUE(isRed(around(shot, 30, 80))) << "filled down to just above three o'clock";
    EXPECT_TRUE(isBlue(around(shot, 30, 100))) << "below three o'clock is background";
    EXPECT_TRUE(isBlue(around(shot, 30, 350))) << "just left of the top is background";
    EXPECT_TRUE(isRed(around(shot, 48, 200))) << "the outline is stroked in the progress colour";
    EXPECT_EQ(pixelAt(shot, 12, 12).r, 0) << "nothing outside the disc";

    view->setProgress(0);
    shot = window->snapshotImage();
    for (double degrees : { 20.0, 110.0, 200.0, 290.0 })
        EXPECT_TRUE(isBlue(around(shot, 30, degrees))) << degrees;
    view->setProgress(1.0f);
    shot = window->snapshotImage();
    for (double degrees : { 20.0, 110.0, 200.0, 290.0, 355.0 })
        EXPECT_TRUE(isRed(around(shot, 30, degrees))) << degrees;
}

TEST_F(ProgressViewTest, RingFillsItsBandClockwiseFromTheTopThickerBeforeSystemSeven)
{
    auto view = roundView(0.5f, true);
    auto shot = window->snapshotImage();
    // Line width 2 at radius (100 - 2) / 2 = 49.
    for (double degrees : { 20.0, 90.0, 160.0 })
        EXPECT_TRUE(isRed(around(shot, 49, degrees))) << degrees;
    for (double degrees : { 200.0, 270.0 })
        EXPECT_TRUE(isBlue(around(shot, 49, degrees))) << degrees;
    Pixel inside = around(shot, 30, 90);
    EXPECT_EQ(inside.r + inside.g + inside.b, 0) << "a ring is not filled";

    view->setProgress(1.0f);
    EXPECT_FALSE(isRed(around(window->snapshotImage(), 46.5, 90)));
    UIDevice::currentDevice()->setSystemVersion("6.0");
    view->setNeedsDisplay();
    // Line width 5 at radius 47.5: the band reaches in to 45.
    EXPECT_TRUE(isRed(around(window->snapshotImage(), 46.5, 90)));
}

TEST_F(ProgressViewTest, BarShowsOutlineRemainingAndFillWithRoundCaps)
{
    auto view = barView(0);
    auto shot = window->snapshotImage();
    EXPECT_GT(bar(shot, 60, 2).g, 200) << "outline";
    for (double x : { 6.0, 60.0, 112.0 })
        EXPECT_TRUE(isBlue(bar(shot, x, 10))) << "nothing filled at " << x;

    view->setProgress(0.5f); // amount 60
    shot = window->snapshotImage();
    for (auto [x, y] : { std::pair { 6.0, 10.0 }, { 58.0, 10.0 }, { 30.0, 6.0 }, { 30.0, 14.0 } })
        EXPECT_TRUE(isRed(bar(shot, x, y))) << x << "," << y;
    EXPECT_TRUE(isBlue(bar(shot, 62, 10)));

    view->setProgress(0.01f); // amount 1.2: the left cap
    auto small = window->snapshotImage();
    EXPECT_TRUE(isRed(bar(small, 8, 10)));
    EXPECT_TRUE(isBlue(bar(small, 12, 10)));
    view->setProgress(0.08f); // amount 9.6: the same cap
    EXPECT_EQ(UIImagePNGRepresentation(small), UIImagePNGRepresentation(window->snapshotImage()));

    view->setProgress(1.0f); // closed in a half disc on the right
    shot = window->snapshotImage();
    for (auto [x, y] : { std::pair { 113.0, 10.0 }, { 110.0, 6.0 }, { 110.0, 14.0 } })
        EXPECT_TRUE(isRed(bar(shot, x, y))) << x << "," << y;
    EXPECT_FALSE(isRed(bar(shot, 116.5, 5))) << "the cap is round, not square";
}

} // namespace
} // namespace hudtest
