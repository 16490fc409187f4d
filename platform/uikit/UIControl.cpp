// Control states and target actions.
#include "platform/uikit/UIControl.h"

void UIControl::addTarget(const void* target, Action action, UIControlEvents events)
{
    if (action)
        registrations_.push_back({ target, std::move(action), events });
}

void UIControl::removeTarget(const void* target, UIControlEvents events)
{
    for (auto it = registrations_.begin(); it != registrations_.end();) {
        if (target && it->target != target) {
            ++it;
            continue;
        }
        it->events &= ~events;
        it = it->events == 0 ? registrations_.erase(it) : it + 1;
    }
}

std::size_t UIControl::actionCount(UIControlEvents events) const
{
    std::size_t n = 0;
    for (auto& r : registrations_)
        n += (r.events & events) ? 1 : 0;
    return n;
}

void UIControl::sendActionsForControlEvents(UIControlEvents events)
{
    auto self = sharedAs<UIControl>();
    auto registrations = registrations_;
    for (auto& r : registrations) {
        if (r.events & events)
            r.action(self);
    }
}

void UIControl::setEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    stateDidChange();
}

void UIControl::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    stateDidChange();
}

void UIControl::setHighlighted(bool highlighted)
{
    if (highlighted_ == highlighted)
        return;
    highlighted_ = highlighted;
    stateDidChange();
}

UIControlState UIControl::state() const
{
    UIControlState s = UIControlStateNormal;
    if (highlighted_)
        s |= UIControlStateHighlighted;
    if (!enabled_)
        s |= UIControlStateDisabled;
    if (selected_)
        s |= UIControlStateSelected;
    return s;
}

std::shared_ptr<UIView> UIControl::hitTest(CGPoint point)
{
    if (!enabled_)
        return nullptr;
    return UIView::hitTest(point);
}

void UIControl::handleTap(CGPoint)
{
    if (!enabled_)
        return;
    auto keep = shared();
    setHighlighted(true);
    sendActionsForControlEvents(UIControlEventTouchDown);
    setHighlighted(false);
    sendActionsForControlEvents(UIControlEventTouchUpInside);
}
