// UIResponder: the responder chain and the first responder. Each window has at most one first
// responder; becoming it asks the current one to resign first, and either side can refuse.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"

class UIView;
class UIWindow;

class UIResponder : public NSObject {
public:
    std::string className() const override { return "UIResponder"; }

    // The next responder up the chain: a view's controller (for a controller's root view) or
    // its superview; a controller's view's superview; nothing by default.
    virtual std::shared_ptr<UIResponder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    // Asks the window's current first responder to resign, then takes its place. False when
    // this responder cannot become first responder, is in no window, or the current one refuses.
    virtual bool becomeFirstResponder();
    // False when this responder refuses; true (and nothing happens) when it is not first responder.
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

    // Whether the responder handles an action (by selector name) for the edit menu.
    virtual bool canPerformAction(const std::string& action, const NSObjectRef& sender) const;
    // The edit menu's Copy command ("copy:"), sent to the first responder; nothing by default.
    virtual void copy(const NSObjectRef& /*sender*/) { }

    // The views shown with the keyboard while this responder is first.
    virtual std::shared_ptr<UIView> inputAccessoryView() const { return nullptr; }
    virtual std::shared_ptr<UIView> inputView() const { return nullptr; }
    // Shows the input views again after they changed (the keyboard posts its notifications anew).
    virtual void reloadInputViews();

    // The window this responder belongs to (views: their window).
    virtual std::shared_ptr<UIWindow> responderWindow() const { return nullptr; }
};

namespace uikit {
// True while a responder resigns because another is taking its place (the keyboard stays up).
bool isHandingOffFirstResponder();
}
