// The executable's application delegate until the app's own start-up takes its place: a white
// window over the screen whose root is a navigation controller holding a plain menu, with a
// button for each registered screen. It asks for address-book access at launch, as the app
// does at start, so the screens can write contacts.
#pragma once

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIWindow.h"

namespace host {

class MenuScreen : public UIViewController {
public:
    std::string className() const override { return "MenuScreen"; }
    void viewDidLoad() override;

private:
    void openChosen(const std::shared_ptr<UIButton>& button);
};

class QuillmarkAppDelegate : public UIResponder, public UIApplicationDelegate {
public:
    std::string className() const override { return "QuillmarkAppDelegate"; }
    bool applicationDidFinishLaunchingWithOptions(const App& app, const Value& options) override;
    std::shared_ptr<UIWindow> window;
};

} // namespace host
