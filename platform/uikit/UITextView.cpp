// Text views: editing life cycle, typing at the selection, caret layout and drawing.
#include "platform/uikit/UITextView.h"

#include <algorithm>
#include <cmath>

#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UITextField.h"

UITextView::UITextView(CGRect frame)
    : UIScrollView(frame)
{
    setBackgroundColor(UIColor::whiteColor());
}

void UITextView::setDelegate(std::weak_ptr<UITextViewDelegate> delegate)
{
    delegate_ = delegate;
    UIScrollView::setDelegate(std::weak_ptr<UIScrollViewDelegate>(delegate.lock()));
}

void UITextView::setText(const std::string& text)
{
    text_ = text;
    selection_ = { NSString::length(text_), 0 };
    setNeedsDisplay();
}

void UITextView::setEditable(bool editable)
{
    editable_ = editable;
    if (!editable)
        resignFirstResponder();
}

void UITextView::setSelectedRange(NSRange range)
{
    NSUInteger length = NSString::length(text_);
    NSUInteger start = std::min(range.location, length);
    selection_ = { start, std::min(range.length, length - start) };
    if (auto d = textViewDelegate())
        d->textViewDidChangeSelection(sharedAs<UITextView>());
}

bool UITextView::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder() || !window())
        return false;
    auto self = sharedAs<UITextView>();
    auto d = textViewDelegate();
    if (d && !d->textViewShouldBeginEditing(self))
        return false;
    if (!UIScrollView::becomeFirstResponder())
        return false;
    editing_ = true;
    uikit::Keyboard::shared()->show(*this);
    if (auto began = textViewDelegate())
        began->textViewDidBeginEditing(self);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextViewTextDidBeginEditingNotification, self);
    return true;
}

bool UITextView::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    auto self = sharedAs<UITextView>();
    auto d = textViewDelegate();
    if (d && !d->textViewShouldEndEditing(self))
        return false;
    if (!UIScrollView::resignFirstResponder())
        return false;
    editing_ = false;
    if (auto ended = textViewDelegate())
        ended->textViewDidEndEditing(self);
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextViewTextDidEndEditingNotification, self);
    if (!uikit::isHandingOffFirstResponder())
        uikit::Keyboard::shared()->hide();
    return true;
}

bool UITextView::replace(NSRange range, const std::string& replacement)
{
    if (!editing_)
        return false;
    auto self = sharedAs<UITextView>();
    auto d = textViewDelegate();
    if (d && !d->textViewShouldChangeTextInRange(self, range, replacement))
        return false;
    text_ = uikit::replacingRange(text_, range, replacement);
    selection_ = { std::min(range.location, NSString::length(text_)) + NSString::length(replacement), 0 };
    selection_.location = std::min(selection_.location, NSString::length(text_));
    setNeedsDisplay();
    if (auto changed = textViewDelegate()) {
        changed->textViewDidChangeSelection(self);
        changed->textViewDidChange(self);
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(UITextViewTextDidChangeNotification, self);
    return true;
}

void UITextView::insertText(const std::string& text)
{
    replace(selection_, text);
}

void UITextView::deleteBackward()
{
    if (selection_.length > 0) {
        replace(selection_, "");
        return;
    }
    if (selection_.location == 0)
        return;
    std::string before = NSString::substringToIndex(text_, selection_.location);
    replace(uikit::lastCharacterRange(before), "");
}

NSStringAttributes UITextView::attributes() const
{
    NSStringAttributes a;
    a.font = font_;
    a.foregroundColor = textColor_;
    a.alignment = alignment_;
    return a;
}

CGRect UITextView::caretRectForPosition(NSUInteger position) const
{
    if (position > NSString::length(text_))
        return CGRectInfinite;
    double width = std::max(1.0, bounds().size.width - containerInset_.left - containerInset_.right - 10);
    std::string before = NSString::substringToIndex(text_, position);
    double lineHeight = font_.lineHeight();
    // The caret sits at the end of the text before it, laid out in the container's width.
    CGRect all = before.empty() ? CGRectZero
                                : graphics::boundingRectWithSize(before, { width, 0 }, NSStringDrawingUsesLineFragmentOrigin,
                                    attributes());
    double lines = std::max(1.0, std::round(all.size.height / lineHeight));
    std::size_t lastBreak = before.rfind('\n');
    std::string lastLine = lastBreak == std::string::npos ? before : before.substr(lastBreak + 1);
    double x = lastLine.empty() ? 0 : std::fmod(graphics::sizeWithAttributes(lastLine, attributes()).width, width);
    if (!before.empty() && before.back() == '\n') {
        lines += 1;
        x = 0;
    }
    return { { containerInset_.left + 5 + x, containerInset_.top + (lines - 1) * lineHeight }, { 2, lineHeight } };
}

void UITextView::handleTap(CGPoint)
{
    if (editable_)
        becomeFirstResponder();
}

void UITextView::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context || text_.empty())
        return;
    CGRect b = bounds();
    CGRect area { { b.origin.x + containerInset_.left + 5, b.origin.y + containerInset_.top },
        { std::max(0.0, b.size.width - containerInset_.left - containerInset_.right - 10),
            std::max(0.0, b.size.height - containerInset_.top - containerInset_.bottom) } };
    graphics::drawTextInRect(context, text_, area, attributes());
}
