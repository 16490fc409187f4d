// The base screen with a back button.
#include "app/DDYPPartentsController.h"

#include "app/BaseScreenLook.h"
#include "platform/uikit/UIBars.h"

namespace {

const app::BaseScreenLook& withBackLook()
{
    static const app::BaseScreenLook look { true, UIColor::whiteColor(), false };
    return look;
}

} // namespace

void DDYPPartentsController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    myTitle_ = app::setUpBaseScreen(*this, withBackLook(), [this] { setNav(); });

    backButton_ = UIButton::create(CGRectMake(0, 3, 12, 22));
    backButton_->setBackgroundImage(UIImage::imageNamed("nav_back"), UIControlStateNormal);
    backButton_->addTarget(sharedAs<DDYPPartentsController>(), &DDYPPartentsController::leftButtonClick,
        UIControlEventTouchUpInside);
    navigationItem()->setLeftBarButtonItem(UIBarButtonItem::initWithCustomView(backButton_));
}

void DDYPPartentsController::setNav() { app::applyBarAppearance(withBackLook()); }

void DDYPPartentsController::leftButtonClick()
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}
