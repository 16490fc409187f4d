// The keyboard manager's automatic toolbars: previous/next/Done on every input of a group, the
// shared Done toolbar on a lone input, their colours and captions, and taking them off again.
#include <algorithm>

#include "ui/KBKeyboardManager.h"
#include "platform/uikit/UITextView.h"
#include "ui/KBToolbarAddition.h"

namespace {

std::shared_ptr<KBToolbar>& doneToolbar()
{
    static std::shared_ptr<KBToolbar> toolbar;
    return toolbar;
}

// The manager's own toolbar of the given tag on the input, if that is what it carries.
std::shared_ptr<KBToolbar> managedToolbar(const UIView& input, NSInteger tag)
{
    auto toolbar = std::dynamic_pointer_cast<KBToolbar>(input.inputAccessoryView());
    return toolbar && toolbar->tag() == tag ? toolbar : nullptr;
}

// Whether the pass may put a toolbar of its own on the input: it takes one and carries none,
// or carries the manager's toolbar of the other kind.
bool mayReplace(const UIView& input, NSInteger otherTag)
{
    if (!kb::canTakeInputAccessoryView(input))
        return false;
    auto accessory = input.inputAccessoryView();
    return !accessory || accessory->tag() == otherTag;
}

} // namespace

std::shared_ptr<KBToolbar> KBKeyboardManager::sharedDoneToolbar()
{
    return doneToolbar();
}

void KBKeyboardManager::setEnableAutoToolbar(bool enable)
{
    enableAutoToolbar_ = enable;
    if (enable)
        addToolbarIfRequired();
    else
        removeToolbarIfRequired();
}

UIBarButtonItem::Action KBKeyboardManager::itemAction(void (KBKeyboardManager::*action)())
{
    std::weak_ptr<KBKeyboardManager> weak = sharedAs<KBKeyboardManager>();
    return [weak, action](const std::shared_ptr<UIBarButtonItem>&) {
        if (auto manager = weak.lock())
            ((*manager).*action)();
    };
}

void KBKeyboardManager::styleToolbar(UIView& input, KBToolbar& toolbar) const
{
    if (auto traits = dynamic_cast<const uikit::TextInputTraits*>(&input)) {
        if (traits->keyboardAppearance() == UIKeyboardAppearanceDark) {
            toolbar.setBarStyle(UIBarStyleBlack);
            toolbar.setTintColor(UIColor::whiteColor());
        } else {
            toolbar.setBarStyle(UIBarStyleDefault);
            toolbar.setTintColor(toolbarUsesTint_ ? input.tintColor() : toolbarTint_.value_or(UIColor::blackColor()));
        }
    }
    if (!showPlaceholder_ || kb::shouldHideTitle(input)) {
        toolbar.setTitle(std::nullopt);
        return;
    }
    auto placeholder = kb::hasPlaceholderProperty(input) ? kb::placeholderOf(input) : std::nullopt;
    if (toolbar.title() != placeholder)
        toolbar.setTitle(placeholder);
    if (placeholderFont_)
        toolbar.setTitleFont(placeholderFont_);
}

void KBKeyboardManager::addToolbarIfRequired()
{
    auto current = textFieldView();
    auto controller = current ? kb::viewController(*current) : nullptr;
    bool disabled = controller && std::any_of(disabledToolbarClasses_.begin(), disabledToolbarClasses_.end(),
        [&](const kb::ViewClass& type) { return type.isKindOf(controller.get()); });
    if (disabled) {
        removeToolbarIfRequired();
        return;
    }
    auto inputs = responderViews();
    if (inputs.empty())
        return;

    if (inputs.size() == 1) {
        auto& input = *inputs.front();
        if (mayReplace(input, kb::kPreviousNextToolbarTag)) {
            if (auto shared = doneToolbar()) {
                // The shared toolbar was built by whichever manager came first; its Done acts here.
                if (!shared->items().empty())
                    shared->items().back()->setAction(itemAction(&KBKeyboardManager::doneAction));
                kb::setInputAccessoryView(input, shared);
            } else {
                doneToolbar() = kb::addDoneOnKeyboard(input, itemAction(&KBKeyboardManager::doneAction), kb::ShowPlaceholder { showPlaceholder_ });
                doneToolbar()->setTag(kb::kDoneToolbarTag);
            }
        }
        if (auto toolbar = managedToolbar(input, kb::kDoneToolbarTag))
            styleToolbar(input, *toolbar);
        return;
    }

    for (std::size_t i = 0; i < inputs.size(); ++i) {
        auto& input = *inputs[i];
        if (mayReplace(input, kb::kDoneToolbarTag)) {
            auto toolbar = kb::addPreviousNextDoneOnKeyboard(input, itemAction(&KBKeyboardManager::previousAction),
                itemAction(&KBKeyboardManager::nextAction), itemAction(&KBKeyboardManager::doneAction),
                kb::ShowPlaceholder { showPlaceholder_ });
            toolbar->setTag(kb::kPreviousNextToolbarTag);
        }
        if (auto toolbar = managedToolbar(input, kb::kPreviousNextToolbarTag)) {
            styleToolbar(input, *toolbar);
            kb::setEnablePrevious(input, i != 0, i + 1 != inputs.size());
        }
    }
}

void KBKeyboardManager::removeToolbarIfRequired()
{
    for (const auto& input : responderViews()) {
        if (managedToolbar(*input, kb::kDoneToolbarTag) || managedToolbar(*input, kb::kPreviousNextToolbarTag))
            kb::setInputAccessoryView(*input, nullptr);
    }
}

void KBKeyboardManager::installToolbarPass(const std::shared_ptr<UIView>& input)
{
    bool bareTextView = std::dynamic_pointer_cast<UITextView>(input) && !input->inputAccessoryView();
    if (!bareTextView) {
        addToolbarIfRequired();
        return;
    }
    // A text view's keyboard is already up when it begins editing: the new toolbar only shows
    // once its input views reload.
    std::weak_ptr<KBKeyboardManager> weak = sharedAs<KBKeyboardManager>();
    std::weak_ptr<UIView> weakInput = input;
    auto options = static_cast<UIViewAnimationOptions>(animationCurve_) | UIViewAnimationOptionBeginFromCurrentState;
    UIView::animateWithDuration(0.00001, 0, options, [weak] {
        if (auto manager = weak.lock())
            manager->addToolbarIfRequired();
    }, [weak, weakInput](bool) {
        auto manager = weak.lock();
        auto view = weakInput.lock();
        if (!manager || !view)
            return;
        if (manager->isTextFieldViewFrameChanged_) {
            manager->isTextFieldViewFrameChanged_ = false;
            view->setFrame(manager->textFieldViewInitialFrame_);
        }
        view->reloadInputViews();
    });
}
