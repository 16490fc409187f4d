// The return-key handler: taking inputs over and giving them back, the Next key, and moving
// editing on when return is pressed.
#include "ui/KBKeyboardReturnKeyHandler.h"

#include <algorithm>

#include "ui/KBKeyboardManager.h"
#include "ui/KBViewHierarchy.h"

namespace {

// The inputs the given one moves through: its table or collection view's, else its siblings.
kb::Views groupOf(const UIView& input)
{
    auto manager = KBKeyboardManager::sharedManager();
    for (const auto& type : manager->consideredToolbarPreviousNextViewClasses()) {
        if (auto container = kb::superviewOfClassType(input, type))
            return kb::deepResponderViews(*container);
    }
    auto siblings = kb::responderSiblings(input);
    switch (manager->toolbarManageBehaviour()) {
    case 1: return kb::sortedByTag(std::move(siblings));
    case 2: return kb::sortedByPosition(std::move(siblings));
    default: return siblings;
    }
}

} // namespace

std::shared_ptr<KBKeyboardReturnKeyHandler> KBKeyboardReturnKeyHandler::initWithViewController(
    const std::shared_ptr<UIViewController>& controller)
{
    auto handler = std::make_shared<KBKeyboardReturnKeyHandler>();
    if (controller)
        handler->addResponderFromView(*controller->view());
    return handler;
}

KBKeyboardReturnKeyHandler::~KBKeyboardReturnKeyHandler()
{
    for (const auto& info : textFieldInfoCache_)
        giveBack(info);
}

void KBKeyboardReturnKeyHandler::giveBack(const Value& info)
{
    auto input = info[kKBTextField].asObject<UIView>();
    auto traits = std::dynamic_pointer_cast<uikit::TextInputTraits>(input);
    if (!traits)
        return;
    traits->setReturnKeyType(static_cast<UIReturnKeyType>(info[kKBTextFieldReturnKeyType].integerValue()));
    auto former = info[kKBTextFieldDelegate].asObject<KBTextFieldDelegateReference>();
    if (auto field = std::dynamic_pointer_cast<UITextField>(input))
        field->setDelegate(former ? former->field : std::weak_ptr<UITextFieldDelegate> {});
    else if (auto view = std::dynamic_pointer_cast<UITextView>(input))
        view->setDelegate(former ? former->view : std::weak_ptr<UITextViewDelegate> {});
}

void KBKeyboardReturnKeyHandler::addResponderFromView(const UIView& view)
{
    for (const auto& input : kb::deepResponderViews(view))
        addTextFieldView(input);
}

void KBKeyboardReturnKeyHandler::removeResponderFromView(const UIView& view)
{
    for (const auto& input : kb::deepResponderViews(view))
        removeTextFieldView(input);
}

Value KBKeyboardReturnKeyHandler::textFieldCachedInfo(const UIView& input) const
{
    for (const auto& info : textFieldInfoCache_) {
        if (info[kKBTextField].asObject<UIView>().get() == &input)
            return info;
    }
    return {};
}

void KBKeyboardReturnKeyHandler::addTextFieldView(const std::shared_ptr<UIView>& input)
{
    // Taking an input over twice would record this handler as its own former delegate.
    if (!input || textFieldCachedInfo(*input))
        return;
    auto self = sharedAs<KBKeyboardReturnKeyHandler>();
    auto former = std::make_shared<KBTextFieldDelegateReference>();
    UIReturnKeyType returnKeyType = UIReturnKeyDefault;
    if (auto field = std::dynamic_pointer_cast<UITextField>(input)) {
        former->field = field->delegate();
        returnKeyType = field->returnKeyType();
        field->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
    } else if (auto view = std::dynamic_pointer_cast<UITextView>(input)) {
        former->view = view->textViewDelegate();
        returnKeyType = view->returnKeyType();
        view->setDelegate(std::weak_ptr<UITextViewDelegate>(self));
    } else {
        return;
    }
    Value::Dictionary info { { kKBTextField, Value(input) }, { kKBTextFieldReturnKeyType, Value(static_cast<std::int64_t>(returnKeyType)) } };
    if (!former->field.expired() || !former->view.expired())
        info.insert_or_assign(kKBTextFieldDelegate, Value(former));
    textFieldInfoCache_.emplace_back(std::move(info));
}

void KBKeyboardReturnKeyHandler::removeTextFieldView(const std::shared_ptr<UIView>& input)
{
    auto it = std::find_if(textFieldInfoCache_.begin(), textFieldInfoCache_.end(),
        [&](const Value& info) { return info[kKBTextField].asObject<UIView>() == input; });
    if (it == textFieldInfoCache_.end())
        return;
    giveBack(*it);
    textFieldInfoCache_.erase(it);
}

void KBKeyboardReturnKeyHandler::updateReturnKeyTypeOnTextField(const std::shared_ptr<UIView>& input)
{
    auto traits = std::dynamic_pointer_cast<uikit::TextInputTraits>(input);
    if (!traits)
        return;
    auto group = groupOf(*input);
    bool last = !group.empty() && group.back() == input;
    traits->setReturnKeyType(last ? lastReturnKey_ : UIReturnKeyNext);
}

void KBKeyboardReturnKeyHandler::goToNextResponderOrResign(const std::shared_ptr<UIView>& input)
{
    auto group = groupOf(*input);
    auto it = std::find(group.begin(), group.end(), input);
    if (it != group.end() && std::next(it) != group.end()) {
        (*std::next(it))->becomeFirstResponder();
        return;
    }
    input->resignFirstResponder();
}

// Forwarded calls: the screen's delegate answers when there is one (its defaults answer YES).
bool KBKeyboardReturnKeyHandler::textFieldShouldBeginEditing(const std::shared_ptr<UITextField>& f)
{
    auto d = delegate();
    return !d || d->textFieldShouldBeginEditing(f);
}
void KBKeyboardReturnKeyHandler::textFieldDidBeginEditing(const std::shared_ptr<UITextField>& f)
{
    updateReturnKeyTypeOnTextField(f);
    if (auto d = delegate())
        d->textFieldDidBeginEditing(f);
}
bool KBKeyboardReturnKeyHandler::textFieldShouldEndEditing(const std::shared_ptr<UITextField>& f)
{
    auto d = delegate();
    return !d || d->textFieldShouldEndEditing(f);
}
void KBKeyboardReturnKeyHandler::textFieldDidEndEditing(const std::shared_ptr<UITextField>& f)
{
    if (auto d = delegate())
        d->textFieldDidEndEditing(f);
}
bool KBKeyboardReturnKeyHandler::textFieldShouldChangeCharactersInRange(
    const std::shared_ptr<UITextField>& f, NSRange range, const std::string& text)
{
    auto d = delegate();
    return !d || d->textFieldShouldChangeCharactersInRange(f, range, text);
}
bool KBKeyboardReturnKeyHandler::textFieldShouldClear(const std::shared_ptr<UITextField>& f)
{
    auto d = delegate();
    return !d || d->textFieldShouldClear(f);
}
bool KBKeyboardReturnKeyHandler::textFieldShouldReturn(const std::shared_ptr<UITextField>& f)
{
    if (auto d = delegate(); d && !d->textFieldShouldReturn(f))
        return false;
    goToNextResponderOrResign(f);
    return true;
}
bool KBKeyboardReturnKeyHandler::textViewShouldBeginEditing(const std::shared_ptr<UITextView>& v)
{
    auto d = delegate();
    return !d || d->textViewShouldBeginEditing(v);
}
void KBKeyboardReturnKeyHandler::textViewDidBeginEditing(const std::shared_ptr<UITextView>& v)
{
    updateReturnKeyTypeOnTextField(v);
    if (auto d = delegate())
        d->textViewDidBeginEditing(v);
}
bool KBKeyboardReturnKeyHandler::textViewShouldEndEditing(const std::shared_ptr<UITextView>& v)
{
    auto d = delegate();
    return !d || d->textViewShouldEndEditing(v);
}
void KBKeyboardReturnKeyHandler::textViewDidEndEditing(const std::shared_ptr<UITextView>& v)
{
    if (auto d = delegate())
        d->textViewDidEndEditing(v);
}
bool KBKeyboardReturnKeyHandler::textViewShouldChangeTextInRange(
    const std::shared_ptr<UITextView>& v, NSRange range, const std::string& text)
{
    if (auto d = delegate(); d && !d->textViewShouldChangeTextInRange(v, range, text))
        return false;
    if (text == "\n")
        goToNextResponderOrResign(v);
    return true;
}
void KBKeyboardReturnKeyHandler::textViewDidChange(const std::shared_ptr<UITextView>& v)
{
    if (auto d = delegate())
        d->textViewDidChange(v);
}
void KBKeyboardReturnKeyHandler::textViewDidChangeSelection(const std::shared_ptr<UITextView>& v)
{
    if (auto d = delegate())
        d->textViewDidChangeSelection(v);
}
bool KBKeyboardReturnKeyHandler::textViewShouldInteractWithURL(
    const std::shared_ptr<UITextView>& v, const NSURL& url, NSRange range)
{
    auto d = delegate();
    return !d || d->textViewShouldInteractWithURL(v, url, range);
}
bool KBKeyboardReturnKeyHandler::textViewShouldInteractWithTextAttachment(
    const std::shared_ptr<UITextView>& v, const std::shared_ptr<NSTextAttachment>& attachment, NSRange range)
{
    auto d = delegate();
    return !d || d->textViewShouldInteractWithTextAttachment(v, attachment, range);
}
