// The return-key handler a screen may create: it becomes the delegate of every text field and
// text view of a view, shows Next on every input but the last of its group, moves editing on
// when return is pressed and ends editing on the last input. Released inputs (and all inputs
// when the handler goes) get their return key and delegate back.
#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"

// What a screen implements to hear the delegate calls the handler receives.
class KBReturnKeyHandlerDelegate : public UITextFieldDelegate, public UITextViewDelegate { };

// The keys of the dictionary kept for each input taken over.
inline const std::string kKBTextField = "kKBTextField"; // the input
inline const std::string kKBTextFieldReturnKeyType = "kKBTextFieldReturnKeyType"; // its return key then
inline const std::string kKBTextFieldDelegate = "kKBTextFieldDelegate"; // its delegate then, when it had one

// What kKBTextFieldDelegate holds: the input's former delegate. It is held weakly, as inputs
// hold their delegates: a screen that owns the handler is often that delegate itself.
class KBTextFieldDelegateReference : public NSObject {
public:
    std::string className() const override { return "KBTextFieldDelegateReference"; }
    std::weak_ptr<UITextFieldDelegate> field;
    std::weak_ptr<UITextViewDelegate> view;
};

class KBKeyboardReturnKeyHandler : public NSObject, public UITextFieldDelegate, public UITextViewDelegate {
public:
    // Takes over every input of the controller's view (none for a null controller).
    static std::shared_ptr<KBKeyboardReturnKeyHandler> initWithViewController(const std::shared_ptr<UIViewController>& controller);
    ~KBKeyboardReturnKeyHandler() override;
    std::string className() const override { return "KBKeyboardReturnKeyHandler"; }

    UIReturnKeyType lastTextFieldReturnKeyType() const { return lastReturnKey_; }
    void setLastTextFieldReturnKeyType(UIReturnKeyType type) { lastReturnKey_ = type; }
    std::shared_ptr<KBReturnKeyHandlerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<KBReturnKeyHandlerDelegate> delegate) { delegate_ = std::move(delegate); }

    void addResponderFromView(const UIView& view);
    void removeResponderFromView(const UIView& view);
    // An input already taken over is left as it is (its recorded originals stay).
    void addTextFieldView(const std::shared_ptr<UIView>& input);
    void removeTextFieldView(const std::shared_ptr<UIView>& input);
    // The dictionary kept for that very input; absent when it is not taken over.
    Value textFieldCachedInfo(const UIView& input) const;
    void updateReturnKeyTypeOnTextField(const std::shared_ptr<UIView>& input);
    void goToNextResponderOrResign(const std::shared_ptr<UIView>& input);

    bool textFieldShouldBeginEditing(const std::shared_ptr<UITextField>& field) override;
    void textFieldDidBeginEditing(const std::shared_ptr<UITextField>& field) override;
    bool textFieldShouldEndEditing(const std::shared_ptr<UITextField>& field) override;
    void textFieldDidEndEditing(const std::shared_ptr<UITextField>& field) override;
    bool textFieldShouldChangeCharactersInRange(const std::shared_ptr<UITextField>& field, NSRange range,
        const std::string& text) override;
    bool textFieldShouldClear(const std::shared_ptr<UITextField>& field) override;
    bool textFieldShouldReturn(const std::shared_ptr<UITextField>& field) override;
    bool textViewShouldBeginEditing(const std::shared_ptr<UITextView>& view) override;
    void textViewDidBeginEditing(const std::shared_ptr<UITextView>& view) override;
    bool textViewShouldEndEditing(const std::shared_ptr<UITextView>& view) override;
    void textViewDidEndEditing(const std::shared_ptr<UITextView>& view) override;
    bool textViewShouldChangeTextInRange(const std::shared_ptr<UITextView>& view, NSRange range,
        const std::string& text) override;
    void textViewDidChange(const std::shared_ptr<UITextView>& view) override;
    void textViewDidChangeSelection(const std::shared_ptr<UITextView>& view) override;
    bool textViewShouldInteractWithURL(const std::shared_ptr<UITextView>& view, const NSURL& url, NSRange range) override;
    bool textViewShouldInteractWithTextAttachment(const std::shared_ptr<UITextView>& view,
        const std::shared_ptr<NSTextAttachment>& attachment, NSRange range) override;

private:
    // Gives the input of the dictionary back its recorded return key and delegate.
    static void giveBack(const Value& info);

    std::vector<Value> textFieldInfoCache_;
    UIReturnKeyType lastReturnKey_ = UIReturnKeyDefault;
    std::weak_ptr<KBReturnKeyHandlerDelegate> delegate_;
};
