// The base screens' common set-up.
#include "app/BaseScreenLook.h"

#include "platform/uikit/UIBars.h"
#include "platform/uikit/UIScreen.h"

namespace app {

void applyBarAppearance(const BaseScreenLook& look)
{
    auto& appearance = UINavigationBar::appearance();
    appearance.tintColor = UIColor::whiteColor();
    appearance.titleColor = look.appearanceTitleColor;
}

std::shared_ptr<UILabel> setUpBaseScreen(
    UIViewController& screen, const BaseScreenLook& look, const std::function<void()>& setNav)
{
    screen.view()->setBackgroundColor(UIColor::whiteColor());
    double version = UIDevice::currentDevice()->systemVersionNumber();
    // From 7.0 on the screen lies under the bars unless its edges say otherwise.
    bool restrict = look.restrictLayoutFrom7 ? version >= 7.0 : version < 8.0;
    if (restrict) {
        screen.setEdgesForExtendedLayout(UIRectEdgeLeft | UIRectEdgeBottom | UIRectEdgeRight);
        screen.setExtendedLayoutIncludesOpaqueBars(false);
    }
    setNav();

    double screenWidth = UIScreen::mainScreen()->bounds().size.width;
    auto title = UILabel::create(CGRectMake((screenWidth - 200) / 2, 0, 200, 21));
    title->setBackgroundColor(UIColor::clearColor());
    title->setTextColor(UIColor::whiteColor());
    title->setTextAlignment(NSTextAlignmentCenter);
    if (look.largeTitleFont)
        title->setFont(UIFont::systemFontOfSize(18));
    screen.navigationItem()->setTitleView(title);
    return title;
}

} // namespace app
