// The responder chain and the first responder of each window.
#include "platform/uikit/UIResponder.h"

#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIWindow.h"

namespace {
int handoffDepth = 0;
}

namespace uikit {
bool isHandingOffFirstResponder()
{
    return handoffDepth > 0;
}
}

bool UIResponder::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder())
        return false;
    auto window = responderWindow();
    if (!window)
        return false;
    if (auto current = window->firstResponder()) {
        ++handoffDepth;
        bool resigned = current->resignFirstResponder();
        --handoffDepth;
        if (!resigned)
            return false;
    }
    window->setFirstResponder(sharedAs<UIResponder>());
    if (!dynamic_cast<uikit::TextInputTraits*>(this))
        uikit::Keyboard::shared()->hide();
    return true;
}

bool UIResponder::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    if (!canResignFirstResponder())
        return false;
    if (auto window = responderWindow())
        window->setFirstResponder(nullptr);
    return true;
}

bool UIResponder::isFirstResponder() const
{
    auto window = responderWindow();
    return window && window->firstResponder().get() == this;
}

bool UIResponder::canPerformAction(const std::string&, const NSObjectRef&) const
{
    return false;
}

void UIResponder::reloadInputViews()
{
    if (isFirstResponder())
        uikit::Keyboard::shared()->reloadInputViews(*this);
}
