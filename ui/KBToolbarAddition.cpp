// The input-toolbar builders and the per-input toolbar values.
#include "ui/KBToolbarAddition.h"

#include <algorithm>
#include <vector>

#include "platform/uikit/AssociatedValue.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "ui/BundleImage.h"
#include "ui/KBTextView.h"

namespace kb {
namespace {

using Items = std::vector<std::shared_ptr<UIBarButtonItem>>;

const uikit::AssociatedValue<bool>& hideTitleFlags()
{
    static const uikit::AssociatedValue<bool> values;
    return values;
}

enum class Slot { previous, next, done };

const uikit::AssociatedValue<InputCallback>& callbacks(Slot slot)
{
    static const uikit::AssociatedValue<InputCallback> values[3];
    return values[static_cast<int>(slot)];
}

InputCallback callbackOf(const UIView& view, Slot slot)
{
    auto found = callbacks(slot).get(view);
    return found ? *found : InputCallback {};
}

std::optional<std::string> captionFor(const UIView& view, ShowPlaceholder placeholder)
{
    return placeholder.show ? placeholderOf(view) : std::nullopt;
}

UIImageRef arrowImage(const std::string& name)
{
    // Both before and since system 8 the arrows come from the keyboard manager's resource bundle.
    return ui::bundleImageNamed("KBKeyboardManager.bundle/" + name);
}

// The toolbar every builder starts from: sized, styled after the input's keyboard.
std::shared_ptr<KBToolbar> makeToolbar(const UIView& view)
{
    auto toolbar = KBToolbar::create();
    if (auto traits = dynamic_cast<const uikit::TextInputTraits*>(&view))
        toolbar->setBarStyle(traits->keyboardAppearance() == UIKeyboardAppearanceDark ? UIBarStyleBlack : UIBarStyleDefault);
    return toolbar;
}

std::shared_ptr<KBTitleBarButtonItem> makeTitle(
    const UIView& view, const KBToolbar& toolbar, CGFloat reserve, std::optional<std::string> titleText)
{
    // A toolbar narrower than the reserve gets an empty caption rather than a negative width.
    CGFloat width = std::max<CGFloat>(0, toolbar.frame().size.width - reserve);
    return KBTitleBarButtonItem::initWithFrame({ { 0, 0 }, { width, 44 } }, shouldHideTitle(view) ? std::nullopt : std::move(titleText));
}

std::shared_ptr<UIBarButtonItem> flexibleSpace()
{
    return UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace, {});
}

std::shared_ptr<KBToolbar> install(UIView& view, const std::shared_ptr<KBToolbar>& toolbar, Items items)
{
    toolbar->setItems(std::move(items));
    setInputAccessoryView(view, toolbar);
    return toolbar;
}

Items arrows(ItemAction previous, ItemAction next)
{
    auto fixed = UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemFixedSpace, {});
    fixed->setWidth(23);
    return { KBBarButtonItem::initWithImage(arrowImage("KBButtonBarArrowLeft"), UIBarButtonItemStylePlain, std::move(previous)), fixed,
        KBBarButtonItem::initWithImage(arrowImage("KBButtonBarArrowRight"), UIBarButtonItemStylePlain, std::move(next)) };
}

std::shared_ptr<KBToolbar> addArrowsAnd(
    UIView& view, ItemAction previous, ItemAction next, std::shared_ptr<UIBarButtonItem> last, std::optional<std::string> titleText)
{
    auto toolbar = makeToolbar(view);
    auto items = arrows(std::move(previous), std::move(next));
    items.push_back(makeTitle(view, *toolbar, 72.5 + 50 + 16, std::move(titleText)));
    items.push_back(flexibleSpace());
    items.push_back(std::move(last));
    return install(view, toolbar, std::move(items));
}

} // namespace

bool canTakeInputAccessoryView(const UIView& view)
{
    return dynamic_cast<const UITextField*>(&view) || dynamic_cast<const UITextView*>(&view);
}

std::shared_ptr<UIView> inputAccessoryView(const UIView& view)
{
    return view.inputAccessoryView();
}

bool setInputAccessoryView(UIView& view, const std::shared_ptr<UIView>& accessory)
{
    if (auto field = dynamic_cast<UITextField*>(&view)) {
        field->setInputAccessoryView(accessory);
        return true;
    }
    if (auto textView = dynamic_cast<UITextView*>(&view)) {
        textView->setInputAccessoryView(accessory);
        return true;
    }
    return false;
}

bool hasPlaceholderProperty(const UIView& view)
{
    return dynamic_cast<const UITextField*>(&view) || dynamic_cast<const KBTextView*>(&view);
}

std::optional<std::string> placeholderOf(const UIView& view)
{
    const std::string* text = nullptr;
    if (auto field = dynamic_cast<const UITextField*>(&view))
        text = &field->placeholder();
    else if (auto textView = dynamic_cast<const KBTextView*>(&view))
        text = &textView->placeholder();
    if (!text || text->empty())
        return std::nullopt;
    return *text;
}

bool shouldHideTitle(const UIView& view)
{
    auto flag = hideTitleFlags().get(view);
    return flag && *flag;
}

void setShouldHideTitle(UIView& view, bool hide)
{
    hideTitleFlags().set(view, hide);
    if (!hasPlaceholderProperty(view))
        return;
    if (auto toolbar = std::dynamic_pointer_cast<KBToolbar>(view.inputAccessoryView()))
        toolbar->setTitle(hide ? std::nullopt : placeholderOf(view));
}

void setCustomPreviousAction(UIView& view, InputCallback callback) { callbacks(Slot::previous).set(view, std::move(callback)); }
void setCustomNextAction(UIView& view, InputCallback callback) { callbacks(Slot::next).set(view, std::move(callback)); }
void setCustomDoneAction(UIView& view, InputCallback callback) { callbacks(Slot::done).set(view, std::move(callback)); }
InputCallback previousInvocation(const UIView& view) { return callbackOf(view, Slot::previous); }
InputCallback nextInvocation(const UIView& view) { return callbackOf(view, Slot::next); }
InputCallback doneInvocation(const UIView& view) { return callbackOf(view, Slot::done); }

std::shared_ptr<KBToolbar> addDoneOnKeyboard(UIView& view, ItemAction done, std::optional<std::string> titleText)
{
    if (!canTakeInputAccessoryView(view))
        return nullptr;
    auto toolbar = makeToolbar(view);
    return install(view, toolbar,
        { makeTitle(view, *toolbar, 64 + 12, std::move(titleText)), flexibleSpace(),
            KBBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemDone, std::move(done)) });
}

std::shared_ptr<KBToolbar> addDoneOnKeyboard(UIView& view, ItemAction done, ShowPlaceholder placeholder)
{
    return addDoneOnKeyboard(view, std::move(done), captionFor(view, placeholder));
}

std::shared_ptr<KBToolbar> addDoneOnKeyboard(UIView& view, ItemAction done)
{
    return addDoneOnKeyboard(view, std::move(done), std::optional<std::string> {});
}

std::shared_ptr<KBToolbar> addRightButtonOnKeyboard(
    UIView& view, const std::string& text, ItemAction action, std::optional<std::string> titleText)
{
    if (!canTakeInputAccessoryView(view))
        return nullptr;
    auto toolbar = makeToolbar(view);
    return install(view, toolbar,
        { makeTitle(view, *toolbar, 50 + 24, std::move(titleText)), flexibleSpace(),
            KBBarButtonItem::initWithTitle(text, UIBarButtonItemStyleDone, std::move(action)) });
}

std::shared_ptr<KBToolbar> addRightButtonOnKeyboard(UIView& view, const std::string& text, ItemAction action, ShowPlaceholder placeholder)
{
    return addRightButtonOnKeyboard(view, text, std::move(action), captionFor(view, placeholder));
}

std::shared_ptr<KBToolbar> addRightButtonOnKeyboard(UIView& view, const std::string& text, ItemAction action)
{
    return addRightButtonOnKeyboard(view, text, std::move(action), std::optional<std::string> {});
}

std::shared_ptr<KBToolbar> addCancelDoneOnKeyboard(UIView& view, ItemAction cancel, ItemAction done, std::optional<std::string> titleText)
{
    if (!canTakeInputAccessoryView(view))
        return nullptr;
    auto toolbar = makeToolbar(view);
    return install(view, toolbar,
        { KBBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemCancel, std::move(cancel)),
            makeTitle(view, *toolbar, 66 + 50 + 16, std::move(titleText)), flexibleSpace(),
            KBBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemDone, std::move(done)) });
}

std::shared_ptr<KBToolbar> addCancelDoneOnKeyboard(UIView& view, ItemAction cancel, ItemAction done, ShowPlaceholder placeholder)
{
    return addCancelDoneOnKeyboard(view, std::move(cancel), std::move(done), captionFor(view, placeholder));
}

std::shared_ptr<KBToolbar> addCancelDoneOnKeyboard(UIView& view, ItemAction cancel, ItemAction done)
{
    return addCancelDoneOnKeyboard(view, std::move(cancel), std::move(done), std::optional<std::string> {});
}

std::shared_ptr<KBToolbar> addLeftRightOnKeyboard(UIView& view, const std::string& leftTitle, const std::string& rightTitle,
    ItemAction left, ItemAction right, std::optional<std::string> titleText)
{
    if (!canTakeInputAccessoryView(view))
        return nullptr;
    auto toolbar = makeToolbar(view);
    return install(view, toolbar,
        { KBBarButtonItem::initWithTitle(leftTitle, UIBarButtonItemStylePlain, std::move(left)),
            makeTitle(view, *toolbar, 66 + 50 + 16, std::move(titleText)), flexibleSpace(),
            KBBarButtonItem::initWithTitle(rightTitle, UIBarButtonItemStylePlain, std::move(right)) });
}

std::shared_ptr<KBToolbar> addLeftRightOnKeyboard(UIView& view, const std::string& leftTitle, const std::string& rightTitle,
    ItemAction left, ItemAction right, ShowPlaceholder placeholder)
{
    return addLeftRightOnKeyboard(view, leftTitle, rightTitle, std::move(left), std::move(right), captionFor(view, placeholder));
}

std::shared_ptr<KBToolbar> addLeftRightOnKeyboard(
    UIView& view, const std::string& leftTitle, const std::string& rightTitle, ItemAction left, ItemAction right)
{
    return addLeftRightOnKeyboard(view, leftTitle, rightTitle, std::move(left), std::move(right), std::optional<std::string> {});
}

std::shared_ptr<KBToolbar> addPreviousNextDoneOnKeyboard(
    UIView& view, ItemAction previous, ItemAction next, ItemAction done, std::optional<std::string> titleText)
{
    if (!canTakeInputAccessoryView(view))
        return nullptr;
    return addArrowsAnd(view, std::move(previous), std::move(next),
        KBBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemDone, std::move(done)), std::move(titleText));
}

std::shared_ptr<KBToolbar> addPreviousNextDoneOnKeyboard(
    UIView& view, ItemAction previous, ItemAction next, ItemAction done, ShowPlaceholder placeholder)
{
    return addPreviousNextDoneOnKeyboard(view, std::move(previous), std::move(next), std::move(done), captionFor(view, placeholder));
}

std::shared_ptr<KBToolbar> addPreviousNextDoneOnKeyboard(UIView& view, ItemAction previous, ItemAction next, ItemAction done)
{
    return addPreviousNextDoneOnKeyboard(view, std::move(previous), std::move(next), std::move(done), std::optional<std::string> {});
}

std::shared_ptr<KBToolbar> addPreviousNextRightOnKeyboard(UIView& view, const std::string& rightTitle, ItemAction previous,
    ItemAction next, ItemAction right, std::optional<std::string> titleText)
{
    if (!canTakeInputAccessoryView(view))
        return nullptr;
    return addArrowsAnd(view, std::move(previous), std::move(next),
        KBBarButtonItem::initWithTitle(rightTitle, UIBarButtonItemStyleDone, std::move(right)), std::move(titleText));
}

std::shared_ptr<KBToolbar> addPreviousNextRightOnKeyboard(UIView& view, const std::string& rightTitle, ItemAction previous,
    ItemAction next, ItemAction right, ShowPlaceholder placeholder)
{
    return addPreviousNextRightOnKeyboard(
        view, rightTitle, std::move(previous), std::move(next), std::move(right), captionFor(view, placeholder));
}

std::shared_ptr<KBToolbar> addPreviousNextRightOnKeyboard(
    UIView& view, const std::string& rightTitle, ItemAction previous, ItemAction next, ItemAction right)
{
    return addPreviousNextRightOnKeyboard(
        view, rightTitle, std::move(previous), std::move(next), std::move(right), std::optional<std::string> {});
}

void setEnablePrevious(UIView& view, bool previous, bool next)
{
    auto toolbar = std::dynamic_pointer_cast<KBToolbar>(view.inputAccessoryView());
    if (!toolbar || toolbar->items().size() < 4)
        return;
    const auto& items = toolbar->items();
    auto first = std::dynamic_pointer_cast<KBBarButtonItem>(items[0]);
    auto third = std::dynamic_pointer_cast<KBBarButtonItem>(items[2]);
    if (!first || !third)
        return;
    if (first->isEnabled() != previous)
        first->setEnabled(previous);
    if (third->isEnabled() != next)
        third->setEnabled(next);
}

} // namespace kb
