// Mouse presses, moves and releases turned into taps, long presses and drags.
#include "host/Pointer.h"

#include "host/Driver.h"
#include "host/Scrolling.h"

#include <cmath>

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIWindow.h"

namespace host {
namespace {

std::shared_ptr<UIWindow> keyWindow()
{
    return UIApplication::sharedApplication()->keyWindow();
}

// Taps on the alert on top land on its buttons; the views below it get nothing.
bool alertTakesTouch(CGPoint point)
{
    auto alert = uikit::topAlert();
    if (!alert)
        return false;
    auto window = keyWindow();
    NSInteger index = window ? uikit::alertButtonIndexAtPoint(point, window->bounds().size) : -1;
    if (index >= 0)
        alert->tapButtonAtIndex(index);
    return true;
}

} // namespace

void PointerGestures::press(CGPoint point, double time)
{
    state_ = State::Pressed;
    start_ = point;
    pressedAt_ = time;
}

void PointerGestures::move(CGPoint point, double time)
{
    if (state_ == State::Pressed && std::hypot(point.x - start_.x, point.y - start_.y) > kSlop && !uikit::topAlert())
        beginDrag();
    if (state_ == State::Pressed)
        tick(time);
    if (state_ != State::Dragging || !scroll_)
        return;
    CGSize content = scroll_->contentSize();
    CGSize size = scroll_->bounds().size;
    CGPoint offset = startOffset_;
    if (content.width > size.width || scroll_->alwaysBounceHorizontal())
        offset.x -= point.x - start_.x;
    if (content.height > size.height || scroll_->alwaysBounceVertical())
        offset.y -= point.y - start_.y;
    scroll_->setContentOffset(offset);
    settle(0.05);
}

void PointerGestures::release(CGPoint point, double time)
{
    State was = state_;
    state_ = State::Idle;
    if (was == State::Dragging) {
        if (scroll_) {
            scroll_->setDragging(false);
            scroll_->simulateDrag({ 0, 0 }); // the release: back inside the content, delegates told
        }
        scroll_.reset();
        settle();
        return;
    }
    if (was != State::Pressed)
        return;
    if (time - pressedAt_ >= kLongPressSeconds) {
        state_ = State::Pressed;
        tick(time);
        state_ = State::Idle;
        return;
    }
    if (alertTakesTouch(point))
        return settle();
    if (auto window = keyWindow())
        window->sendTap(point);
    settle();
}

void PointerGestures::tick(double time)
{
    if (state_ != State::Pressed || time - pressedAt_ < kLongPressSeconds)
        return;
    state_ = State::LongPressed;
    if (uikit::topAlert())
        return;
    if (auto window = keyWindow())
        window->sendLongPress(start_);
    settle();
}

void PointerGestures::beginDrag()
{
    state_ = State::Dragging;
    scroll_ = scrollViewAt(start_);
    if (!scroll_)
        return;
    startOffset_ = scroll_->contentOffset();
    scroll_->setDragging(true);
}

bool typeKeys(const std::string& text)
{
    bool typed = uikit::typeIntoFirstResponder(text);
    settle();
    return typed;
}

} // namespace host
