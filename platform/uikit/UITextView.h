// UITextView: a multi-line text input (a scroll view) with selection, delegate calls,
// editing notifications and the simulated keyboard while it edits.
#pragma once

#include "platform/foundation/NSURL.h"
#include "platform/graphics/Text.h"
#include "platform/graphics/UIImage.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIScrollView.h"

class UITextView;

// A picture (or other object) embedded in a text; a text view asks its delegate before acting
// on a tap on one.
class NSTextAttachment : public NSObject {
public:
    std::string className() const override { return "NSTextAttachment"; }
    UIImageRef image;
};

inline const std::string UITextViewTextDidBeginEditingNotification = "UITextViewTextDidBeginEditingNotification";
inline const std::string UITextViewTextDidEndEditingNotification = "UITextViewTextDidEndEditingNotification";
inline const std::string UITextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";

class UITextViewDelegate : public UIScrollViewDelegate {
public:
    virtual bool textViewShouldBeginEditing(const std::shared_ptr<UITextView>&) { return true; }
    virtual void textViewDidBeginEditing(const std::shared_ptr<UITextView>&) { }
    virtual bool textViewShouldEndEditing(const std::shared_ptr<UITextView>&) { return true; }
    virtual void textViewDidEndEditing(const std::shared_ptr<UITextView>&) { }
    // `range` is in UTF-16 units of the current text.
    virtual bool textViewShouldChangeTextInRange(const std::shared_ptr<UITextView>&, NSRange, const std::string&)
    {
        return true;
    }
    virtual void textViewDidChange(const std::shared_ptr<UITextView>&) { }
    virtual void textViewDidChangeSelection(const std::shared_ptr<UITextView>&) { }
    // Whether a tap on a link or on an attachment in the text acts; `range` in UTF-16 units.
    virtual bool textViewShouldInteractWithURL(const std::shared_ptr<UITextView>&, const NSURL&, NSRange) { return true; }
    virtual bool textViewShouldInteractWithTextAttachment(
        const std::shared_ptr<UITextView>&, const std::shared_ptr<NSTextAttachment>&, NSRange)
    {
        return true;
    }
};

class UITextView : public UIScrollView, public uikit::TextInputTraits {
public:
    explicit UITextView(CGRect frame = CGRectZero);
    static std::shared_ptr<UITextView> create(CGRect frame = CGRectZero) { return std::make_shared<UITextView>(frame); }
    std::string className() const override { return "UITextView"; }

    // Virtual, so that a subclass hears of text and font set through a plain text view too.
    const std::string& text() const { return text_; }
    virtual void setText(const std::string& text);
    const UIFont& font() const { return font_; }
    virtual void setFont(const UIFont& font) { font_ = font; setNeedsDisplay(); }
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color) { textColor_ = color; setNeedsDisplay(); }
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment a) { alignment_ = a; setNeedsDisplay(); }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    NSRange selectedRange() const { return selection_; }
    void setSelectedRange(NSRange range);
    UIEdgeInsets textContainerInset() const { return containerInset_; }
    void setTextContainerInset(UIEdgeInsets insets) { containerInset_ = insets; setNeedsDisplay(); }
    bool isEditing() const { return editing_; }

    // The caret's rectangle for a UTF-16 position, from a line layout of the text in the
    // view's width; an infinite rectangle when the position is past the text.
    CGRect caretRectForPosition(NSUInteger position) const;

    void setDelegate(std::weak_ptr<UITextViewDelegate> delegate);
    // The view asks this getter for its delegate before each delegate call, so a subclass
    // overriding it hears of every edit.
    virtual std::shared_ptr<UITextViewDelegate> textViewDelegate() { return delegate_.lock(); }
    std::shared_ptr<UIView> inputAccessoryView() const override { return accessory_; }
    void setInputAccessoryView(const std::shared_ptr<UIView>& view) { accessory_ = view; }

    bool canBecomeFirstResponder() const override { return editable_; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void pressReturnKey() override { insertText("\n"); }
    bool hasText() const override { return !text_.empty(); }

    void handleTap(CGPoint point) override;
    void drawRect(CGRect rect) override;
    std::string dumpText() const override { return text_; }

private:
    bool replace(NSRange range, const std::string& replacement);
    NSStringAttributes attributes() const;
    std::string text_;
    UIFont font_ = UIFont::systemFontOfSize(12);
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    bool editable_ = true;
    bool selectable_ = true;
    bool editing_ = false;
    NSRange selection_ { 0, 0 };
    UIEdgeInsets containerInset_ { 8, 0, 8, 0 };
    std::shared_ptr<UIView> accessory_;
    std::weak_ptr<UITextViewDelegate> delegate_;
};
