// A small sample application with one screen, run by the quillmark executable until the
// application's own delegate takes its place: a greeting label, a button that asks for
// confirmation with an alert, and a name field.
#pragma once

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextField.h"

namespace host {

class SampleScreen : public UIViewController, public UIAlertViewDelegate {
public:
    std::string className() const override { return "SampleScreen"; }
    void viewDidLoad() override;
    void alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alert, NSInteger index) override;
    std::shared_ptr<UILabel> greeting() const { return greeting_; }

private:
    void askForConfirmation();
    std::shared_ptr<UILabel> greeting_;
    std::shared_ptr<UITextField> name_;
};

class SampleAppDelegate : public UIResponder, public UIApplicationDelegate {
public:
    std::string className() const override { return "SampleAppDelegate"; }
    bool applicationDidFinishLaunchingWithOptions(const App& app, const Value& options) override;
    std::shared_ptr<UIWindow> window;
};

} // namespace host
