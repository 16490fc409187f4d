// A HUD on a view narrower than four margins: no room to wrap the details in, so they are
// measured on one line and capped like the label, however long the text.
#include <string>

#include "ui/tests/HUDFixture.h"
#include "ui/PGProgressHUD.h"

namespace hudtest {
namespace {

TEST_F(HUDTest, DetailsOnAViewNarrowerThanFourMarginsTakeOneLineAndNoWidth)
{
    auto parent = UIView::create(CGRectMake(0, 0, 70, 400)); // 70 − 4 × 20 leaves no room
    window->addSubview(parent);
    auto hud = PGProgressHUD::showHUDAddedTo(parent, false);
    hud->setMode(PGProgressHUDModeText);
    // One word: wrapped in no width it would stand one character a line.
    hud->setDetailsLabelText(std::string(20000, 'a'));
    hud->layoutIfNeeded();

    const CGFloat line = hud->detailsLabelFont().lineHeight();
    const CGRect details = hud->detailsLabel()->frame();
    EXPECT_EQ(details.size.width, 0);
    EXPECT_DOUBLE_EQ(details.size.height, line);
    EXPECT_EQ(details.origin.x, 35);
    EXPECT_DOUBLE_EQ(hud->size().width, 40);
    EXPECT_DOUBLE_EQ(hud->size().height, line + 40);

    hud->setDetailsLabelText("first\nsecond");
    hud->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(hud->detailsLabel()->frame().size.height, 2 * line) << "its own lines still count";
}

} // namespace
} // namespace hudtest
