// The edit menu and the pasteboard.
#include "platform/uikit/UIMenuController.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

std::shared_ptr<UIMenuController> UIMenuController::sharedMenuController()
{
    static auto menu = std::make_shared<UIMenuController>();
    return menu;
}

void UIMenuController::setTargetRect(CGRect rect, const std::shared_ptr<UIView>& view)
{
    targetRect_ = rect;
    targetView_ = view;
}

void UIMenuController::setMenuVisible(bool visible, bool)
{
    if (visible && !visible_)
        ++shows_;
    visible_ = visible;
}

bool UIMenuController::performAction(const std::string& action)
{
    auto window = UIApplication::sharedApplication()->keyWindow();
    auto responder = window ? window->firstResponder() : nullptr;
    if (!visible_ || !responder || !responder->canPerformAction(action, shared_from_this()))
        return false;
    visible_ = false;
    if (action == "copy:")
        responder->copy(shared_from_this());
    return true;
}

void UIMenuController::reset()
{
    targetRect_ = CGRectZero;
    targetView_.reset();
    visible_ = false;
    shows_ = 0;
    items_.clear();
}

std::shared_ptr<UIPasteboard> UIPasteboard::generalPasteboard()
{
    static auto board = std::make_shared<UIPasteboard>();
    return board;
}

std::optional<std::string> UIPasteboard::string() const
{
    if (strings_.empty())
        return std::nullopt;
    return strings_.front();
}
