// Builders that put an input toolbar above the keyboard of any text field or text view in one
// call (Done; a right button; left and right buttons; Cancel and Done; previous/next arrows with
// Done or with a right button), each with an optional grey caption, plus the per-input values
// the keyboard manager reads: whether to hide the caption, and what to run after it moved to the
// previous or next input or ended editing.
//
// Every builder comes in three forms: with a caption text (nullopt: none), with
// `ShowPlaceholder{flag}` (the caption is the input's placeholder when the flag is set), and
// without either (no caption). A view that takes no input accessory view is left alone.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/KBToolbar.h"

namespace kb {

using ItemAction = UIBarButtonItem::Action;
// Run with the input that was editing when its toolbar button was pressed.
using InputCallback = std::function<void(const std::shared_ptr<UIView>&)>;
struct ShowPlaceholder {
    bool show;
};

// Whether the view takes an input accessory view (text fields and text views do).
bool canTakeInputAccessoryView(const UIView& view);
std::shared_ptr<UIView> inputAccessoryView(const UIView& view);
// False (and nothing changes) when the view takes no accessory view.
bool setInputAccessoryView(UIView& view, const std::shared_ptr<UIView>& accessory);
// The input's placeholder; nullopt when it has none or has no placeholder at all.
std::optional<std::string> placeholderOf(const UIView& view);
bool hasPlaceholderProperty(const UIView& view);

bool shouldHideTitle(const UIView& view);
// Also updates the caption of the view's current toolbar at once.
void setShouldHideTitle(UIView& view, bool hide);

void setCustomPreviousAction(UIView& view, InputCallback callback);
void setCustomNextAction(UIView& view, InputCallback callback);
void setCustomDoneAction(UIView& view, InputCallback callback);
// The same with a target held weakly: nothing runs once the target is gone.
template <class T>
InputCallback weakCallback(const std::shared_ptr<T>& target, void (T::*method)(const std::shared_ptr<UIView>&))
{
    std::weak_ptr<T> weak = target;
    return [weak, method](const std::shared_ptr<UIView>& view) {
        if (auto strong = weak.lock())
            ((*strong).*method)(view);
    };
}
// The stored callbacks; empty when none.
InputCallback previousInvocation(const UIView& view);
InputCallback nextInvocation(const UIView& view);
InputCallback doneInvocation(const UIView& view);

// Title, flexible space, Done.
std::shared_ptr<KBToolbar> addDoneOnKeyboard(UIView& view, ItemAction done, std::optional<std::string> titleText);
std::shared_ptr<KBToolbar> addDoneOnKeyboard(UIView& view, ItemAction done, ShowPlaceholder placeholder);
std::shared_ptr<KBToolbar> addDoneOnKeyboard(UIView& view, ItemAction done);
// Title, flexible space, a button with the text in the done style.
std::shared_ptr<KBToolbar> addRightButtonOnKeyboard(
    UIView& view, const std::string& text, ItemAction action, std::optional<std::string> titleText);
std::shared_ptr<KBToolbar> addRightButtonOnKeyboard(UIView& view, const std::string& text, ItemAction action, ShowPlaceholder placeholder);
std::shared_ptr<KBToolbar> addRightButtonOnKeyboard(UIView& view, const std::string& text, ItemAction action);
// Cancel, title, flexible space, Done.
std::shared_ptr<KBToolbar> addCancelDoneOnKeyboard(UIView& view, ItemAction cancel, ItemAction done, std::optional<std::string> titleText);
std::shared_ptr<KBToolbar> addCancelDoneOnKeyboard(UIView& view, ItemAction cancel, ItemAction done, ShowPlaceholder placeholder);
std::shared_ptr<KBToolbar> addCancelDoneOnKeyboard(UIView& view, ItemAction cancel, ItemAction done);
// A plain button with the left text, title, flexible space, a plain button with the right text.
std::shared_ptr<KBToolbar> addLeftRightOnKeyboard(UIView& view, const std::string& leftTitle, const std::string& rightTitle,
    ItemAction left, ItemAction right, std::optional<std::string> titleText);
std::shared_ptr<KBToolbar> addLeftRightOnKeyboard(UIView& view, const std::string& leftTitle, const std::string& rightTitle,
    ItemAction left, ItemAction right, ShowPlaceholder placeholder);
std::shared_ptr<KBToolbar> addLeftRightOnKeyboard(
    UIView& view, const std::string& leftTitle, const std::string& rightTitle, ItemAction left, ItemAction right);
// Left arrow, fixed space of 23, right arrow, title, flexible space, Done.
std::shared_ptr<KBToolbar> addPreviousNextDoneOnKeyboard(
    UIView& view, ItemAction previous, ItemAction next, ItemAction done, std::optional<std::string> titleText);
std::shared_ptr<KBToolbar> addPreviousNextDoneOnKeyboard(
    UIView& view, ItemAction previous, ItemAction next, ItemAction done, ShowPlaceholder placeholder);
std::shared_ptr<KBToolbar> addPreviousNextDoneOnKeyboard(UIView& view, ItemAction previous, ItemAction next, ItemAction done);
// As above with a button with the given text in the done style in place of Done.
std::shared_ptr<KBToolbar> addPreviousNextRightOnKeyboard(UIView& view, const std::string& rightTitle, ItemAction previous,
    ItemAction next, ItemAction right, std::optional<std::string> titleText);
std::shared_ptr<KBToolbar> addPreviousNextRightOnKeyboard(UIView& view, const std::string& rightTitle, ItemAction previous,
    ItemAction next, ItemAction right, ShowPlaceholder placeholder);
std::shared_ptr<KBToolbar> addPreviousNextRightOnKeyboard(
    UIView& view, const std::string& rightTitle, ItemAction previous, ItemAction next, ItemAction right);

// On a toolbar of the previous/next kind: enables the arrows (first and third items).
void setEnablePrevious(UIView& view, bool previous, bool next);

} // namespace kb
