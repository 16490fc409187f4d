// Field navigation of the keyboard manager: the ordered inputs around the editing one, moving
// editing to the previous or next input, and ending editing.
#include "platform/uikit/UIScreen.h"
#include "ui/KBKeyboardManager.h"
#include "ui/KBToolbarAddition.h"

#include <algorithm>

namespace {

std::ptrdiff_t indexOf(const kb::Views& views, const std::shared_ptr<UIView>& view)
{
    auto it = std::find(views.begin(), views.end(), view);
    return it == views.end() ? -1 : it - views.begin();
}

} // namespace

kb::Views KBKeyboardManager::responderViews() const
{
    auto input = textFieldView();
    if (!input)
        return {};
    for (const auto& type : consideredClasses_) {
        if (auto container = kb::superviewOfClassType(*input, type))
            return kb::deepResponderViews(*container);
    }
    auto siblings = kb::responderSiblings(*input);
    switch (toolbarManageBehaviour_) {
    case 0: return siblings;
    case 1: return kb::sortedByTag(std::move(siblings));
    case 2: return kb::sortedByPosition(std::move(siblings));
    default: return {};
    }
}

bool KBKeyboardManager::canGoPrevious() const
{
    return indexOf(responderViews(), textFieldView()) > 0;
}

bool KBKeyboardManager::canGoNext() const
{
    auto views = responderViews();
    auto index = indexOf(views, textFieldView());
    return index >= 0 && index < static_cast<std::ptrdiff_t>(views.size()) - 1;
}

namespace {

// Moves editing to the neighbour `step` away; the current input takes editing back when the
// neighbour refuses.
bool moveBy(const kb::Views& views, const std::shared_ptr<UIView>& current, int step)
{
    auto index = indexOf(views, current);
    auto target = index + step;
    if (index < 0 || target < 0 || target >= static_cast<std::ptrdiff_t>(views.size()))
        return false;
    if (views[static_cast<std::size_t>(target)]->becomeFirstResponder())
        return true;
    current->becomeFirstResponder();
    return false;
}

} // namespace

bool KBKeyboardManager::goPrevious()
{
    return moveBy(responderViews(), textFieldView(), -1);
}

bool KBKeyboardManager::goNext()
{
    return moveBy(responderViews(), textFieldView(), 1);
}

void KBKeyboardManager::previousAction()
{
    if (playInputClicks_)
        UIDevice::currentDevice()->playInputClick();
    if (!canGoPrevious())
        return;
    auto kept = textFieldView();
    if (goPrevious() && kept) {
        if (auto callback = kb::previousInvocation(*kept))
            callback(kept);
    }
}

void KBKeyboardManager::nextAction()
{
    if (playInputClicks_)
        UIDevice::currentDevice()->playInputClick();
    if (!canGoNext())
        return;
    auto kept = textFieldView();
    if (goNext() && kept) {
        if (auto callback = kb::nextInvocation(*kept))
            callback(kept);
    }
}

void KBKeyboardManager::doneAction()
{
    if (playInputClicks_)
        UIDevice::currentDevice()->playInputClick();
    auto kept = textFieldView();
    if (resignFirstResponder() && kept) {
        if (auto callback = kb::doneInvocation(*kept))
            callback(kept);
    }
}
