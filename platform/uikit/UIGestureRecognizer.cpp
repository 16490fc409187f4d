// Touches and gesture recognisers.
#include "platform/uikit/UIGestureRecognizer.h"

#include "platform/uikit/UIWindow.h"

UITouch::UITouch(std::shared_ptr<UIView> view, std::shared_ptr<UIWindow> window, CGPoint windowPoint)
    : view_(std::move(view))
    , window_(std::move(window))
    , windowPoint_(windowPoint)
{
}

CGPoint UITouch::locationInView(const UIView* view) const
{
    if (!view)
        return windowPoint_;
    auto window = window_.lock();
    return view->convertPointFromView(windowPoint_, window.get());
}

UIGestureRecognizer::UIGestureRecognizer(Action action)
{
    if (action)
        actions_.push_back(std::move(action));
}

CGPoint UIGestureRecognizer::locationInView(const UIView* view) const
{
    return lastTouch_ ? lastTouch_->locationInView(view) : CGPointZero;
}

void UIGestureRecognizer::fire(UIGestureRecognizerState state)
{
    state_ = state;
    if (state == UIGestureRecognizerStatePossible || state == UIGestureRecognizerStateFailed)
        return;
    auto self = sharedAs<UIGestureRecognizer>();
    auto actions = actions_;
    for (auto& action : actions)
        action(self);
}

bool UIGestureRecognizer::handleTouch(const std::shared_ptr<UITouch>& touch, TouchKind kind)
{
    if (!enabled_ || !handlesKind(kind))
        return false;
    auto self = sharedAs<UIGestureRecognizer>();
    auto delegate = delegate_.lock();
    if (delegate && !delegate->gestureRecognizerShouldReceiveTouch(self, touch))
        return false;
    lastTouch_ = touch;
    if (delegate && !delegate->gestureRecognizerShouldBegin(self)) {
        state_ = UIGestureRecognizerStateFailed;
        return false;
    }
    recognize();
    state_ = UIGestureRecognizerStatePossible;
    return true;
}
