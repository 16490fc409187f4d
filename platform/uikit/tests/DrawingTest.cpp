// Snapshots show what a person would see: backgrounds, corner radii, borders, alpha, hidden
// views, clipping, and labels.
#include "Fixture.h"

#include "platform/uikit/UILabel.h"

namespace {

// RGBA of the pixel at a point (in points) of a snapshot at scale 2.
struct Pixel {
    int r, g, b;
};
Pixel at(const UIImageRef& image, double x, double y)
{
    auto rgba = image->CGImage()->rgbaAt(static_cast<std::size_t>(x * 2), static_cast<std::size_t>(y * 2));
    return { rgba[0], rgba[1], rgba[2] };
}

TEST_F(UIKitTest, SnapshotComposesBackgroundsAlphaHiddenClippingAndBorders)
{
    window->setBackgroundColor(UIColor::whiteColor());
    auto add = [&](CGRect frame, std::optional<UIColor> colour) {
        auto view = UIView::create(frame);
        if (colour)
            view->setBackgroundColor(*colour);
        window->addSubview(view);
        return view;
    };
    add({ { 0, 0 }, { 100, 100 } }, UIColor::redColor())->layer()->setCornerRadius(20);
    add({ { 100, 0 }, { 100, 100 } }, UIColor::blackColor())->setAlpha(0.5);
    add({ { 200, 0 }, { 100, 100 } }, UIColor::blackColor())->setHidden(true);
    auto clip = add({ { 0, 200 }, { 50, 50 } }, std::nullopt);
    clip->setClipsToBounds(true);
    auto overflow = UIView::create({ { 0, 0 }, { 100, 100 } });
    overflow->setBackgroundColor(UIColor::blueColor());
    clip->addSubview(overflow);
    auto bordered = add({ { 0, 300 }, { 100, 100 } }, std::nullopt);
    bordered->layer()->setBorderWidth(4);
    bordered->layer()->setBorderColor(UIColor::greenColor().CGColor());
    auto label = UILabel::create({ { 0, 420 }, { 200, 40 } });
    label->setText("██████");
    label->setFont(UIFont::systemFontOfSize(30));
    window->addSubview(label);

    auto shot = window->snapshotImage();
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(at(shot, 50, 50).r, 255);
    EXPECT_EQ(at(shot, 50, 50).g, 0);
    EXPECT_EQ(at(shot, 1, 1).g, 255) << "the rounded corner shows the white window";
    EXPECT_NEAR(at(shot, 150, 50).r, 128, 2) << "half-transparent black over white";
    EXPECT_EQ(at(shot, 250, 50).r, 255) << "hidden views are not drawn";
    EXPECT_EQ(at(shot, 25, 225).b, 255);
    EXPECT_EQ(at(shot, 75, 275).r, 255) << "clipped outside its parent";
    EXPECT_EQ(at(shot, 1, 350).g, 255);
    EXPECT_EQ(at(shot, 1, 350).r, 0) << "the border is drawn";
    EXPECT_EQ(at(shot, 50, 350).r, 255);
    EXPECT_LT(at(shot, 20, 440).r, 100) << "the label's text is drawn";
}

} // namespace
