// UITextField: a one-line text input (a control) with placeholder, delegate calls, editing
// notifications and control events, and the simulated keyboard while it edits.
#pragma once

#include "platform/graphics/Text.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIKeyboard.h"

class UITextField;

inline const std::string UITextFieldTextDidBeginEditingNotification = "UITextFieldTextDidBeginEditingNotification";
inline const std::string UITextFieldTextDidEndEditingNotification = "UITextFieldTextDidEndEditingNotification";
inline const std::string UITextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";

class UITextFieldDelegate {
public:
    virtual ~UITextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(const std::shared_ptr<UITextField>&) { return true; }
    virtual void textFieldDidBeginEditing(const std::shared_ptr<UITextField>&) { }
    virtual bool textFieldShouldEndEditing(const std::shared_ptr<UITextField>&) { return true; }
    virtual void textFieldDidEndEditing(const std::shared_ptr<UITextField>&) { }
    // `range` is in UTF-16 units of the current text.
    virtual bool textFieldShouldChangeCharactersInRange(const std::shared_ptr<UITextField>&, NSRange, const std::string&)
    {
        return true;
    }
    virtual bool textFieldShouldClear(const std::shared_ptr<UITextField>&) { return true; }
    virtual bool textFieldShouldReturn(const std::shared_ptr<UITextField>&) { return true; }
};

enum UITextBorderStyle : int {
    UITextBorderStyleNone = 0,
    UITextBorderStyleLine = 1,
    UITextBorderStyleBezel = 2,
    UITextBorderStyleRoundedRect = 3,
};
enum UITextFieldViewMode : int {
    UITextFieldViewModeNever = 0,
    UITextFieldViewModeWhileEditing = 1,
    UITextFieldViewModeUnlessEditing = 2,
    UITextFieldViewModeAlways = 3,
};

class UITextField : public UIControl, public uikit::TextInputTraits {
public:
    explicit UITextField(CGRect frame = CGRectZero);
    static std::shared_ptr<UITextField> create(CGRect frame = CGRectZero) { return std::make_shared<UITextField>(frame); }
    std::string className() const override { return "UITextField"; }

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(const std::string& placeholder);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font) { font_ = font; setNeedsDisplay(); }
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color) { textColor_ = color; setNeedsDisplay(); }
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment a) { alignment_ = a; setNeedsDisplay(); }
    UITextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle style) { borderStyle_ = style; setNeedsDisplay(); }
    UITextFieldViewMode clearButtonMode() const { return clearMode_; }
    void setClearButtonMode(UITextFieldViewMode mode) { clearMode_ = mode; }
    bool clearsOnBeginEditing() const { return clearsOnBegin_; }
    void setClearsOnBeginEditing(bool clears) { clearsOnBegin_ = clears; }
    std::shared_ptr<UIView> leftView() const { return leftView_; }
    void setLeftView(const std::shared_ptr<UIView>& view);
    UITextFieldViewMode leftViewMode() const { return leftMode_; }
    void setLeftViewMode(UITextFieldViewMode mode) { leftMode_ = mode; setNeedsLayout(); }
    std::shared_ptr<UIView> rightView() const { return rightView_; }
    void setRightView(const std::shared_ptr<UIView>& view);
    UITextFieldViewMode rightViewMode() const { return rightMode_; }
    void setRightViewMode(UITextFieldViewMode mode) { rightMode_ = mode; setNeedsLayout(); }
    const UIImageRef& background() const { return background_; }
    void setBackground(const UIImageRef& image) { background_ = image; setNeedsDisplay(); }
    bool isEditing() const { return editing_; }

    void setDelegate(std::weak_ptr<UITextFieldDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UITextFieldDelegate> delegate() const { return delegate_.lock(); }
    std::shared_ptr<UIView> inputAccessoryView() const override { return accessory_; }
    void setInputAccessoryView(const std::shared_ptr<UIView>& view) { accessory_ = view; }
    std::shared_ptr<UIView> inputView() const override { return inputView_; }
    void setInputView(const std::shared_ptr<UIView>& view) { inputView_ = view; }

    bool canBecomeFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void pressReturnKey() override;
    bool hasText() const override { return !text_.empty(); }
    // The clear button: asks the delegate, then empties the text.
    void clearText();

    CGRect textRectForBounds(CGRect bounds) const;
    CGRect editingRectForBounds(CGRect bounds) const { return textRectForBounds(bounds); }
    CGRect placeholderRectForBounds(CGRect bounds) const { return textRectForBounds(bounds); }
    void handleTap(CGPoint point) override;
    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    std::string dumpText() const override { return text_; }

private:
    bool replace(NSRange range, const std::string& replacement);
    std::string text_;
    std::string placeholder_;
    UIFont font_ = UIFont::systemFontOfSize(17);
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    UITextBorderStyle borderStyle_ = UITextBorderStyleNone;
    UITextFieldViewMode clearMode_ = UITextFieldViewModeNever;
    UITextFieldViewMode leftMode_ = UITextFieldViewModeNever;
    UITextFieldViewMode rightMode_ = UITextFieldViewModeNever;
    bool clearsOnBegin_ = false;
    bool editing_ = false;
    std::shared_ptr<UIView> leftView_;
    std::shared_ptr<UIView> rightView_;
    std::shared_ptr<UIView> accessory_;
    std::shared_ptr<UIView> inputView_;
    UIImageRef background_;
    std::weak_ptr<UITextFieldDelegate> delegate_;
};

namespace uikit {
// The range of the last character (a surrogate pair counts whole) and the text without it.
NSRange lastCharacterRange(const std::string& text);
// `text` with the UTF-16 range replaced (ranges past the end are clamped).
std::string replacingRange(const std::string& text, NSRange range, const std::string& replacement);
}
