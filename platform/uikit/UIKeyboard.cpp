// The simulated keyboard: posts the show and hide notifications with their user info.
#include "platform/uikit/UIKeyboard.h"

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
    CGRect screen = UIScreen::mainScreen()->bounds();
    double y = shown ? screen.size.height - height : screen.size.height;
    return { { 0, y }, { screen.size.width, height } };
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
