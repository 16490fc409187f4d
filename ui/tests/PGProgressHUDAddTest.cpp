// The short messages as the screens use them: over the key window when no view is given,
// with the success or error icon from the HUD's bundle, hiding 0.7 s after they appeared and
// gone 0.3 s later; stacked messages; the dimmed spinner message that stays until the caller
// removes it; missing icons, long texts and no window at all.
#include <filesystem>

#include "ui/tests/HUDFixture.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIImageView.h"
#include "ui/PGProgressHUD.h"

namespace hudtest {
namespace {

using ShortMessageTest = HUDTest;

UIImageRef iconOf(const std::shared_ptr<PGProgressHUD>& hud)
{
    auto view = std::dynamic_pointer_cast<UIImageView>(hud ? hud->indicator() : nullptr);
    return view ? view->image() : nullptr;
}

TEST_F(ShortMessageTest, SuccessWithoutAViewShowsOverTheKeyWindowAndGoesByItselfAndErrorsUseTheErrorIcon)
{
    window->addSubview(UIView::create(window->bounds()));
    PGProgressHUD::showSuccess("导入成功", nullptr);
    auto hud = PGProgressHUD::HUDForView(window);
    ASSERT_TRUE(hud);
    EXPECT_EQ(window->subviews().back(), hud) << "above every screen";
    EXPECT_EQ(hud->labelText(), "导入成功");
    EXPECT_EQ(hud->mode(), PGProgressHUDModeCustomView);
    ASSERT_TRUE(iconOf(hud));
    EXPECT_EQ(iconOf(hud)->size(), CGSizeMake(30, 30)) << "the success icon";

    advance(0.69);
    EXPECT_EQ(hud->alpha(), 1);
    advance(0.01);
    EXPECT_NEAR(hud->alpha(), 0.02, 1e-9) << "fading out from 0.7 s";
    advance(0.3);
    EXPECT_EQ(hud->superview(), nullptr);

    // An error on a given view, with the error icon.
    auto screen = UIView::create(window->bounds());
    window->addSubview(screen);
    PGProgressHUD::showError("已导入3条", screen);
    EXPECT_EQ(PGProgressHUD::HUDForView(window), nullptr);
    ASSERT_TRUE(iconOf(PGProgressHUD::HUDForView(screen)));
    EXPECT_EQ(iconOf(PGProgressHUD::HUDForView(screen))->size(), CGSizeMake(24, 24)) << "the error icon";
}

TEST_F(ShortMessageTest, MessagesInQuickSuccessionStackAndLeaveInOrder)
{
    PGProgressHUD::showSuccess("first", nullptr);
    auto first = PGProgressHUD::HUDForView(window);
    advance(0.2);
    PGProgressHUD::showSuccess("second", nullptr);
    auto second = PGProgressHUD::HUDForView(window);
    EXPECT_EQ(PGProgressHUD::allHUDsForView(window), (std::vector<std::shared_ptr<PGProgressHUD>> { first, second }));
    advance(0.5); // 0.7 s: the first fades out
    advance(0.2); // 0.9 s: the second fades out
    advance(0.1); // 1.0 s: the first is gone
    EXPECT_EQ(first->superview(), nullptr);
    EXPECT_EQ(second->superview(), window);
    advance(0.2);
    EXPECT_EQ(second->superview(), nullptr);
}

TEST_F(ShortMessageTest, SpinnerMessageOverADimmedViewStaysUntilRemoved)
{
    auto screen = UIView::create(window->bounds());
    window->addSubview(screen);
    bool finished = false;
    auto hud = PGProgressHUD::showMessag("正在上传", screen);
    ASSERT_TRUE(hud);
    hud->setCompletionBlock([&] { finished = true; });
    EXPECT_EQ(hud->superview(), screen);
    EXPECT_EQ(hud->mode(), PGProgressHUDModeSpinner);
    EXPECT_TRUE(hud->dimBackground());
    EXPECT_EQ(hud->labelText(), "正在上传");
    advance(0.1);
    hud->removeFromSuperview();
    advance(10);
    EXPECT_FALSE(finished) << "removed, not hidden: nothing else runs";

    auto stays = PGProgressHUD::showMessag("保存中", nullptr);
    EXPECT_EQ(stays->superview(), window);
    advance(30);
    EXPECT_EQ(stays->superview(), window);
    EXPECT_EQ(stays->alpha(), 1);
}

TEST_F(ShortMessageTest, MissingIconLeavesTheLabelToSizeTheBoxAndLongTextsAreCut)
{
    std::filesystem::remove(bundle / "PGProgressHUD.bundle/success.png");
    PGProgressHUD::showSuccess("没有图标", nullptr);
    auto hud = PGProgressHUD::HUDForView(window);
    ASSERT_TRUE(std::dynamic_pointer_cast<UIImageView>(hud->indicator()));
    EXPECT_FALSE(iconOf(hud));
    hud->layoutIfNeeded();
    CGSize text = graphics::sizeWithFont("没有图标", UIFont::boldSystemFontOfSize(16));
    EXPECT_EQ(hud->size(), CGSizeMake(text.width + 40, text.height + 40));

    hud->setLabelText(std::string(30, 'W') + " and some more words after it");
    hud->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(hud->label()->frame().size.width, 320 - 4 * 20);
    EXPECT_DOUBLE_EQ(hud->label()->frame().size.height, text.height) << "one line";
}

TEST_F(ShortMessageTest, NoViewAndNoKeyWindowIsHarmless)
{
    UIApplication::sharedApplication()->setKeyWindow(nullptr);
    PGProgressHUD::showSuccess("ok", nullptr);
    auto hud = PGProgressHUD::showMessag("wait", nullptr);
    ASSERT_TRUE(hud);
    EXPECT_EQ(hud->superview(), nullptr);
    advance(1.0);
    EXPECT_TRUE(window->subviews().empty());
}

} // namespace
} // namespace hudtest
