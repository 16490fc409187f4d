// System buttons draw their title in the tint colour: their own, else inherited from the views
// above them, following every change; custom buttons and set title colours are left alone; a
// navigation bar takes the appearance's tint.
#include "Fixture.h"

#include "platform/uikit/UIBars.h"
#include "platform/uikit/UIButton.h"

namespace {

UIColor titleColor(const std::shared_ptr<UIButton>& button) { return button->titleLabel()->textColor(); }

std::shared_ptr<UIButton> systemButton(const std::string& title)
{
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitle(title, UIControlStateNormal);
    return button;
}

TEST_F(UIKitTest, SystemButtonTitleFollowsItsOwnTintElseItsSuperviews)
{
    auto outer = UIView::create({ { 0, 0 }, { 200, 100 } });
    auto inner = UIView::create({ { 0, 0 }, { 200, 100 } });
    outer->addSubview(inner);
    auto button = systemButton("下载");
    inner->addSubview(button);
    EXPECT_EQ(titleColor(button), uikit::systemTintColor());

    outer->setTintColor(UIColor::redColor());
    EXPECT_EQ(titleColor(button), UIColor::redColor()) << "a tint set on an ancestor reaches the button";

    inner->setTintColor(UIColor::greenColor());
    outer->setTintColor(UIColor::blueColor());
    EXPECT_EQ(titleColor(button), UIColor::greenColor()) << "the nearest tint wins";

    auto elsewhere = UIView::create();
    elsewhere->setTintColor(UIColor::orangeColor());
    elsewhere->addSubview(button);
    EXPECT_EQ(titleColor(button), UIColor::orangeColor()) << "a move takes the new superview's tint";
    button->removeFromSuperview();
    EXPECT_EQ(titleColor(button), uikit::systemTintColor());

    button->setTintColor(UIColor::whiteColor());
    EXPECT_EQ(titleColor(button), UIColor::whiteColor()) << "a tint set after the title applies";
    elsewhere->addSubview(button);
    EXPECT_EQ(titleColor(button), UIColor::whiteColor()) << "its own tint goes before its superview's";
    button->setTintColor(std::nullopt);
    EXPECT_EQ(titleColor(button), UIColor::orangeColor());
}

TEST_F(UIKitTest, TintLeavesCustomButtonsAndSetTitleColoursAlone)
{
    auto parent = UIView::create();
    parent->setTintColor(UIColor::redColor());
    auto custom = UIButton::buttonWithType(UIButtonTypeCustom);
    custom->setTitle("自定义", UIControlStateNormal);
    auto coloured = systemButton("着色");
    coloured->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
    parent->addSubview(custom);
    parent->addSubview(coloured);
    EXPECT_EQ(titleColor(custom), UIColor::whiteColor());
    EXPECT_EQ(titleColor(coloured), UIColor::blackColor());
    EXPECT_EQ(coloured->titleColorForState(UIControlStateDisabled), UIColor::blackColor());
}

TEST_F(UIKitTest, SnapshotDrawsTheTitleInTheInheritedTint)
{
    window->setBackgroundColor(UIColor::whiteColor());
    auto button = systemButton("██████");
    button->titleLabel()->setFont(UIFont::systemFontOfSize(30));
    button->setFrame({ { 0, 0 }, { 200, 60 } });
    window->addSubview(button);
    window->setTintColor(UIColor::redColor());

    auto shot = window->snapshotImage();
    EXPECT_GT(countPixels(shot, { { 0, 0 }, { 200, 60 } }, [](int r, int g, int b) { return r > 150 && g < 100 && b < 100; }), 100)
        << "the title is drawn in the window's tint";
    EXPECT_EQ(countPixels(shot, { { 0, 0 }, { 200, 60 } }, [](int r, int, int b) { return b > 150 && r < 100; }), 0)
        << "nothing of the title is left in the default blue";
}

TEST_F(UIKitTest, NavigationBarButtonsTakeTheAppearanceTint)
{
    auto& appearance = UINavigationBar::appearance();
    auto saved = appearance.tintColor;
    appearance.tintColor = UIColor::whiteColor();
    auto bar = UINavigationBar::create({ { 0, 20 }, { 320, 44 } });
    auto item = UIBarButtonItem::initWithTitle("完成", UIBarButtonItemStylePlain, {});
    auto top = UINavigationItem::create("标题");
    top->setRightBarButtonItem(item, false);
    bar->pushNavigationItem(top, false);
    window->addSubview(bar);
    window->layoutIfNeeded();
    appearance.tintColor = saved;

    auto button = std::dynamic_pointer_cast<UIButton>(item->barView());
    ASSERT_TRUE(button);
    EXPECT_EQ(button->superview(), bar);
    EXPECT_EQ(titleColor(button), UIColor::whiteColor());

    auto own = UINavigationBar::create();
    own->setTintColor(UIColor::redColor());
    appearance.tintColor = UIColor::whiteColor();
    window->addSubview(own);
    appearance.tintColor = saved;
    EXPECT_EQ(own->tintColor(), UIColor::redColor()) << "a tint of the bar's own stays";
}

} // namespace
