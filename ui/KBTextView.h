// A text view that shows a grey placeholder while it is empty.
#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextView.h"

class KBTextView : public UITextView {
public:
    // Creates the view and starts following its own text changes.
    static std::shared_ptr<KBTextView> create(CGRect frame = CGRectZero);
    // A view made directly follows typing too: the view asks for its delegate at every edit.
    explicit KBTextView(CGRect frame = CGRectZero) : UITextView(frame) { }
    ~KBTextView() override;
    std::string className() const override { return "KBTextView"; }

    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(const std::string& placeholder);
    // Also reached through a plain text view.
    void setText(const std::string& text) override;
    void setFont(const UIFont& font) override;
    // Shows the placeholder exactly while there is no text.
    void refreshPlaceholder();
    void layoutSubviews() override;
    // Refreshes the placeholder, then answers the delegate.
    std::shared_ptr<UITextViewDelegate> textViewDelegate() override;
    const std::shared_ptr<UILabel>& placeHolderLabel() const { return label_; }

private:
    std::string placeholder_;
    std::shared_ptr<UILabel> label_;
};
