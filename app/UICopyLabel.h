// UICopyLabel: a label whose text can be copied. A single tap makes it first responder and
// shows the edit menu over it; the menu's one command, Copy, puts the whole text on the
// general pasteboard.
#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UILabel.h"

class UICopyLabel : public UILabel {
public:
    using UILabel::UILabel;

    // A label with the tap set-up already done.
    static std::shared_ptr<UICopyLabel> initWithFrame(CGRect frame);
    std::string className() const override { return "UICopyLabel"; }

    // For labels made from a layout file: the tap set-up after loading.
    void awakeFromNib();
    // Switches interaction on and adds a one-tap recogniser sending handleTap.
    void attachTapHandler();
    // Becomes first responder and shows the edit menu over the label's frame.
    void handleTap(const std::shared_ptr<UIGestureRecognizer>& recognizer);

    bool canBecomeFirstResponder() const override { return true; }
    // Only "copy:".
    bool canPerformAction(const std::string& action, const NSObjectRef& sender) const override;
    // Puts the label's text on the general pasteboard.
    void copy(const NSObjectRef& sender) override;
};
