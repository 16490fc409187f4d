// The stand-in application delegate and its menu screen.
#include "host/QuillmarkAppDelegate.h"

#include "host/ScreenRegistry.h"
#include "platform/addressbook/ABAddressBook.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"

namespace host {

void MenuScreen::viewDidLoad()
{
    setTitle("Quillmark");
    view()->setBackgroundColor(UIColor::whiteColor());
    double width = UIScreen::mainScreen()->bounds().size.width;
    // The app's blue bar, as its home screen gives it; the screens draw white titles on it.
    if (auto navigation = navigationController())
        navigation->navigationBar()->setBarTintColor(UIColor::colorWithRed(45 / 255.0, 119 / 255.0, 190 / 255.0, 1));

    // Below the navigation bar, which the view extends under.
    auto names = registeredScreens();
    auto heading = UILabel::create({ { 20, 84 }, { width - 40, 24 } });
    heading->setText(names.empty() ? "No screens are registered" : "Screens");
    heading->setTextColor(UIColor::grayColor());
    view()->addSubview(heading);

    double y = 116;
    for (const auto& name : names) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setFrame({ { 20, y }, { width - 40, 40 } });
        button->setTitle(name, UIControlStateNormal);
        button->addTarget(sharedAs<MenuScreen>(), &MenuScreen::openChosen, UIControlEventTouchUpInside);
        view()->addSubview(button);
        y += 48;
    }
}

void MenuScreen::openChosen(const std::shared_ptr<UIButton>& button)
{
    if (button)
        openScreen(button->titleForState(UIControlStateNormal));
}

bool QuillmarkAppDelegate::applicationDidFinishLaunchingWithOptions(const App&, const Value&)
{
    window = UIWindow::create(UIScreen::mainScreen()->bounds());
    window->setBackgroundColor(UIColor::whiteColor());
    window->setRootViewController(UINavigationController::initWithRootViewController(std::make_shared<MenuScreen>()));
    window->makeKeyAndVisible();
    // The decision is recorded at once; the completion only reports it.
    if (ABAddressBookGetAuthorizationStatus() == kABAuthorizationStatusNotDetermined)
        ABAddressBookRequestAccessWithCompletion(ABAddressBookCreate(), nullptr);
    return true;
}

} // namespace host
