// The simulated keyboard: posts the show and hide notifications with their user info.
#include "platform/uikit/UIKeyboard.h"

#include <cmath>

#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace uikit {

Keyboard* Keyboard::shared()
{
    static Keyboard keyboard;
    return &keyboard;
}

CGRect Keyboard::frameFor(double height, bool shown) const
{
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    // Before system 8 the screen keeps its portrait coordinates and the keyboard lies along the
    // edge that is the interface's bottom; from system 8 on the interface is drawn as portrait.
    bool system8 = std::floor(NSFoundationVersionNumber) > NSFoundationVersionNumber_iOS_7_1;
    auto orientation = system8 ? UIInterfaceOrientationPortrait : UIApplication::sharedApplication()->statusBarOrientation();
    switch (orientation) {
    case UIInterfaceOrientationPortraitUpsideDown: return { { 0, shown ? 0 : -height }, { screen.width, height } };
    case UIInterfaceOrientationLandscapeRight: return { { shown ? 0 : -height, 0 }, { height, screen.height } };
    case UIInterfaceOrientationLandscapeLeft:
        return { { shown ? screen.width - height : screen.width, 0 }, { height, screen.height } };
    default: return { { 0, shown ? screen.height - height : screen.height }, { screen.width, height } };
    }
}

CGRect Keyboard::frame() const
{
    return frameFor(shownHeight_, visible_);
}

void Keyboard::post(const std::string& name, CGRect begin, CGRect end)
{
    Value info = Value::dictionary({
        { UIKeyboardFrameBeginUserInfoKey, Value(NSValue::valueWithCGRect(begin)) },
        { UIKeyboardFrameEndUserInfoKey, Value(NSValue::valueWithCGRect(end)) },
        { UIKeyboardAnimationDurationUserInfoKey, Value(duration_) },
        { UIKeyboardAnimationCurveUserInfoKey, Value(7) },
    });
    NSNotificationCenter::defaultCenter()->postNotificationName(name, nullptr, info);
}

void Keyboard::show(const UIResponder& input)
{
    double height = height_;
    if (auto accessory = input.inputAccessoryView())
        height += accessory->frame().size.height;
    CGRect begin = visible_ ? frame() : frameFor(height, false);
    visible_ = true;
    shownHeight_ = height;
    unsigned generation = ++generation_;
    CGRect end = frame();
    post(UIKeyboardWillShowNotification, begin, end);
    performOnMainAfter(duration_, [this, generation, begin, end] {
        if (generation == generation_ && visible_)
            post(UIKeyboardDidShowNotification, begin, end);
    });
}

void Keyboard::reloadInputViews(const UIResponder& input)
{
    if (visible_)
        show(input);
}

void Keyboard::hide()
{
    if (!visible_)
        return;
    CGRect begin = frame();
    visible_ = false;
    unsigned generation = ++generation_;
    CGRect end = frame();
    post(UIKeyboardWillHideNotification, begin, end);
    performOnMainAfter(duration_, [this, generation, begin, end] {
        if (generation == generation_ && !visible_)
            post(UIKeyboardDidHideNotification, begin, end);
    });
}

void Keyboard::reset()
{
    visible_ = false;
    ++generation_;
    height_ = 216;
    duration_ = 0.25;
}

bool typeIntoFirstResponder(const std::string& text)
{
    auto window = UIApplication::sharedApplication()->keyWindow();
    auto responder = window ? window->firstResponder() : nullptr;
    auto* input = dynamic_cast<TextInputTraits*>(responder.get());
    if (!input)
        return false;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::string key = text.substr(i, n);
        i += n;
        if (key == "\n")
            input->pressReturnKey();
        else if (key == "\b")
            input->deleteBackward();
        else
            input->insertText(key);
    }
    return true;
}

} // namespace uikit
