// The mouse as a finger, for the window: a press released where it began is a tap; a press held
// still for half a second is a long press, made at once while the button is still down; a press
// that moves further than a few points drags the content of the scroll view under where it
// began, following the pointer, and lets go where the pointer is released. Points are in the
// key window's coordinates; times in seconds on any steady clock.
#pragma once

#include <memory>

#include "platform/uikit/UIScrollView.h"

namespace host {

class PointerGestures {
public:
    static constexpr double kLongPressSeconds = 0.5;
    static constexpr double kSlop = 8; // points a tap may wander

    void press(CGPoint point, double time);
    void move(CGPoint point, double time);
    void release(CGPoint point, double time);
    // Called regularly while nothing else happens: a still press becomes a long press.
    void tick(double time);

private:
    enum class State { Idle, Pressed, LongPressed, Dragging };
    void beginDrag();
    State state_ = State::Idle;
    CGPoint start_ {};
    double pressedAt_ = 0;
    std::shared_ptr<UIScrollView> scroll_;
    CGPoint startOffset_ {};
};

// Keys typed in the window go to the first responder: text as it is, return as "\n", backspace
// as "\b". False when no text input is first responder.
bool typeKeys(const std::string& text);

} // namespace host
