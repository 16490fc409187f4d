// The placeholder text view: its label, shown or hidden as the text empties or fills.
#include "ui/KBTextView.h"

#include "platform/threading/NSNotificationCenter.h"

std::shared_ptr<KBTextView> KBTextView::create(CGRect frame)
{
    auto view = std::make_shared<KBTextView>(frame);
    std::weak_ptr<KBTextView> weak = view;
    NSNotificationCenter::defaultCenter()->addObserver(view.get(), weak,
        [weak](const std::shared_ptr<NSNotification>&) {
            if (auto strong = weak.lock())
                strong->refreshPlaceholder();
        },
        UITextViewTextDidChangeNotification, view.get());
    return view;
}

KBTextView::~KBTextView()
{
    NSNotificationCenter::defaultCenter()->removeObserver(this);
}

void KBTextView::refreshPlaceholder()
{
    if (label_)
        label_->setAlpha(text().empty() ? 1 : 0);
    setNeedsLayout();
    layoutIfNeeded();
}

std::shared_ptr<UITextViewDelegate> KBTextView::textViewDelegate()
{
    refreshPlaceholder();
    return UITextView::textViewDelegate();
}

void KBTextView::setText(const std::string& text)
{
    UITextView::setText(text);
    refreshPlaceholder();
}

void KBTextView::setFont(const UIFont& font)
{
    UITextView::setFont(font);
    if (label_)
        label_->setFont(font);
    setNeedsLayout();
    layoutIfNeeded();
}

void KBTextView::layoutSubviews()
{
    UITextView::layoutSubviews();
    if (!label_)
        return;
    label_->sizeToFit();
    label_->setFrame(CGRectMake(8, 8, frame().size.width - 16, label_->frame().size.height));
}

void KBTextView::setPlaceholder(const std::string& placeholder)
{
    placeholder_ = placeholder;
    if (!label_) {
        label_ = UILabel::create();
        label_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        label_->setLineBreakMode(NSLineBreakByWordWrapping);
        label_->setNumberOfLines(0);
        label_->setFont(font());
        label_->setBackgroundColor(UIColor::clearColor());
        label_->setTextColor(UIColor::colorWithWhite(0.7, 1));
        label_->setAlpha(0);
        addSubview(label_);
    }
    label_->setText(placeholder);
    refreshPlaceholder();
}
