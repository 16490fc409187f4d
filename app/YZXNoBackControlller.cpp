// The base screen without a back button.
#include "app/YZXNoBackControlller.h"

#include "app/BaseScreenLook.h"

namespace {

const app::BaseScreenLook& noBackLook()
{
    static const app::BaseScreenLook look { false, UIColor::grayColor(), true };
    return look;
}

} // namespace

void YZXNoBackControlller::viewDidLoad()
{
    UIViewController::viewDidLoad();
    myTitle_ = app::setUpBaseScreen(*this, noBackLook(), [this] { setNav(); });
}

void YZXNoBackControlller::setNav() { app::applyBarAppearance(noBackLook()); }

void YZXNoBackControlller::leftButtonClick()
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}
