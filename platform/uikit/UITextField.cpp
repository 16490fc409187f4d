// Text fields: editing life cycle, typing through the delegate, drawing.
#include "platform/uikit/UITextField.h"

#include <algorithm>

#include "platform/threading/NSNotificationCenter.h"

namespace uikit {

NSRange lastCharacterRange(const std::string& text)
{
    NSUInteger length = NSString::length(text);
    if (length == 0)
        return { 0, 0 };
    // A 4-byte UTF-8 sequence at the end is a surrogate pair in UTF-16.
    std::size_t i = text.size();
    do {
        --i;
    } while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80);
    NSUInteger units = (text.size() - i == 4) ? 2 : 1;
    return { length - units, units };
}

std::string replacingRange(const std::string& text, NSRange range, const std::string& replacement)
{
    NSUInteger length = NSString::length(text);
    NSUInteger start = std::min(range.location, length);
    NSUInteger end = std::min(length, start + std::min(range.length, length - start));
    return NSString::substringToIndex(text, start) + replacement + NSString::substringFromIndex(text, end);
}

} // namespace uikit

UITextField::UITextField(CGRect frame)
    : UIControl(frame)
{
    setOpaque(false);
}

void UITextField::setText(const std::string& text)
{
    text_ = text;
    setNeedsDisplay();
}

void UITextField::setPlaceholder(const std::string& placeholder)
{
    placeholder_ = placeholder;
    setNeedsDisplay();
}

void UITextField::setLeftView(const std::shared_ptr<UIView>& view)
{
    if (leftView_)
        leftView_->removeFromSuperview();
    leftView_ = view;
    if (view)
        addSubview(view);
    setNeedsLayout();
}

void UITextField::setRightView(const std::shared_ptr<UIView>& view)
{
    if (rightView_)
        rightView_->removeFromSuperview();
    rightView_ = view;
    if (view)
        addSubview(view);
    setNeedsLayout();
}

bool UITextField::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder() || !window())
        return false;
    auto self = sharedAs<UITextField>();
    auto d = delegate();
    if (d && !d->textFieldShouldBeginEditing(self))
        return false;
    if (!UIControl::becomeFirstResponder())
        return false;
    editing_ = true;
    if (clearsOnBeginEditing())
        text_.clear();
    if (d)
        d->textFieldDidBeginEditing(self);
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextFieldTextDidBeginEditingNotification, self);
    if (isFirstResponder())
        uikit::Keyboard::shared()->show(*this);
    setNeedsDisplay();
    return true;
}

bool UITextField::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    auto self = sharedAs<UITextField>();
    auto d = delegate();
    if (d && !d->textFieldShouldEndEditing(self))
        return false;
    if (!UIControl::resignFirstResponder())
        return false;
    editing_ = false;
    if (d)
        d->textFieldDidEndEditing(self);
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextFieldTextDidEndEditingNotification, self);
    if (!uikit::isHandingOffFirstResponder())
        uikit::Keyboard::shared()->hide();
    setNeedsDisplay();
    return true;
}

bool UITextField::replace(NSRange range, const std::string& replacement)
{
    if (!editing_)
        return false;
    auto self = sharedAs<UITextField>();
    if (auto d = delegate(); d && !d->textFieldShouldChangeCharactersInRange(self, range, replacement))
        return false;
    text_ = uikit::replacingRange(text_, range, replacement);
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingChanged);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextFieldTextDidChangeNotification, self);
    return true;
}

void UITextField::insertText(const std::string& text)
{
    replace({ NSString::length(text_), 0 }, text);
}

void UITextField::deleteBackward()
{
    if (!text_.empty())
        replace(uikit::lastCharacterRange(text_), "");
}

void UITextField::pressReturnKey()
{
    if (!editing_)
        return;
    auto self = sharedAs<UITextField>();
    auto d = delegate();
    if (d && !d->textFieldShouldReturn(self))
        return;
    sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
}

void UITextField::clearText()
{
    auto self = sharedAs<UITextField>();
    if (auto d = delegate(); d && !d->textFieldShouldClear(self))
        return;
    text_.clear();
    setNeedsDisplay();
    if (editing_) {
        sendActionsForControlEvents(UIControlEventEditingChanged);
        NSNotificationCenter::defaultCenter()->postNotificationName(UITextFieldTextDidChangeNotification, self);
    }
}

namespace {
bool viewShown(UITextFieldViewMode mode, bool editing)
{
    return mode == UITextFieldViewModeAlways || (mode == UITextFieldViewModeWhileEditing && editing)
        || (mode == UITextFieldViewModeUnlessEditing && !editing);
}
} // namespace

CGRect UITextField::textRectForBounds(CGRect b) const
{
    double inset = borderStyle_ == UITextBorderStyleNone ? 0 : 7;
    CGRect r = CGRectInset(b, inset, 0);
    if (CGRectIsNull(r))
        r = { b.origin, { 0, b.size.height } };
    if (leftView_ && viewShown(leftMode_, editing_)) {
        double w = leftView_->frame().size.width;
        r.origin.x = b.origin.x + w;
        r.size.width = std::max(0.0, r.size.width - (w - inset));
    }
    if (rightView_ && viewShown(rightMode_, editing_))
        r.size.width = std::max(0.0, r.size.width - rightView_->frame().size.width);
    return r;
}

void UITextField::handleTap(CGPoint)
{
    if (isEnabled())
        becomeFirstResponder();
}

void UITextField::layoutSubviews()
{
    CGRect b = bounds();
    if (leftView_) {
        leftView_->setHidden(!viewShown(leftMode_, editing_));
        CGSize s = leftView_->frame().size;
        leftView_->setFrame({ { 0, (b.size.height - s.height) / 2 }, s });
    }
    if (rightView_) {
        rightView_->setHidden(!viewShown(rightMode_, editing_));
        CGSize s = rightView_->frame().size;
        rightView_->setFrame({ { b.size.width - s.width, (b.size.height - s.height) / 2 }, s });
    }
}

void UITextField::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    CGRect b = bounds();
    if (background_)
        background_->drawInRect(b);
    if (borderStyle_ != UITextBorderStyleNone) {
        CGContextSetGrayStrokeColor(context, 0.8, 1);
        CGContextSetLineWidth(context, 1);
        CGContextBeginPath(context);
        graphics::addRoundedRect(context, CGRectInset(b, 0.5, 0.5), borderStyle_ == UITextBorderStyleRoundedRect ? 5 : 0);
        CGContextStrokePath(context);
    }
    NSStringAttributes attributes;
    attributes.font = font_;
    attributes.alignment = alignment_;
    attributes.lineBreakMode = NSLineBreakByClipping;
    std::string shown = text_;
    if (isSecureTextEntry()) {
        shown.clear();
        for (NSUInteger i = 0; i < NSString::length(text_); ++i)
            shown += "\xE2\x80\xA2";
    }
    attributes.foregroundColor = textColor_;
    if (shown.empty()) {
        shown = placeholder_;
        attributes.foregroundColor = UIColor::colorWithWhite(0.7, 1);
    }
    if (shown.empty())
        return;
    CGRect r = textRectForBounds(b);
    double h = font_.lineHeight();
    graphics::drawTextInRect(context, shown, { { r.origin.x, r.origin.y + (r.size.height - h) / 2 }, { r.size.width, h } },
        attributes);
}
