// The sample screen and its application delegate.
#include "host/SampleApp.h"

#include "platform/uikit/UIWindow.h"

namespace host {

void SampleScreen::viewDidLoad()
{
    setTitle("Sample");
    view()->setBackgroundColor(UIColor::whiteColor());

    greeting_ = UILabel::create({ { 20, 90 }, { 280, 30 } });
    greeting_->setText("Hello");
    greeting_->setTag(1);
    greeting_->setTextAlignment(NSTextAlignmentCenter);
    view()->addSubview(greeting_);

    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame({ { 60, 140 }, { 200, 44 } });
    button->setTitle("Show alert", UIControlStateNormal);
    button->setBackgroundColor(UIColor::colorWithRed(0.1, 0.5, 0.9, 1));
    button->layer()->setCornerRadius(8);
    button->setTag(2);
    button->addTarget(sharedAs<SampleScreen>(), &SampleScreen::askForConfirmation, UIControlEventTouchUpInside);
    view()->addSubview(button);

    name_ = UITextField::create({ { 20, 200 }, { 280, 36 } });
    name_->setPlaceholder("Name");
    name_->setBorderStyle(UITextBorderStyleRoundedRect);
    name_->setTag(3);
    view()->addSubview(name_);
}

void SampleScreen::askForConfirmation()
{
    std::string who = name_->text().empty() ? "" : ", " + name_->text();
    auto alert = UIAlertView::initWithTitle("Sample", "Continue" + who + "?", sharedAs<SampleScreen>(), "Cancel", { "OK" });
    alert->setTag(7);
    alert->show();
}

void SampleScreen::alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alert, NSInteger index)
{
    greeting_->setText("Answered: " + alert->buttonTitleAtIndex(index));
}

bool SampleAppDelegate::applicationDidFinishLaunchingWithOptions(const App&, const Value&)
{
    window = UIWindow::create();
    window->setBackgroundColor(UIColor::whiteColor());
    auto screen = std::make_shared<SampleScreen>();
    window->setRootViewController(UINavigationController::initWithRootViewController(screen));
    window->makeKeyAndVisible();
    return true;
}

} // namespace host
