// The edit menu and the pasteboard.
#include "platform/uikit/UIMenuController.h"

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
