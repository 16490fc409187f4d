// The copyable label: tap set-up, the edit menu and the copy command.
#include "app/UICopyLabel.h"

#include "platform/uikit/UIMenuController.h"

std::shared_ptr<UICopyLabel> UICopyLabel::initWithFrame(CGRect frame)
{
    auto label = std::make_shared<UICopyLabel>(frame);
    label->attachTapHandler();
    return label;
}

void UICopyLabel::awakeFromNib() { attachTapHandler(); }

void UICopyLabel::attachTapHandler()
{
    setUserInteractionEnabled(true);
    std::weak_ptr<UICopyLabel> weak = sharedAs<UICopyLabel>();
    auto tap = UITapGestureRecognizer::create([weak](const std::shared_ptr<UIGestureRecognizer>& recognizer) {
        if (auto self = weak.lock())
            self->handleTap(recognizer);
    });
    tap->setNumberOfTapsRequired(1);
    addGestureRecognizer(tap);
}

void UICopyLabel::handleTap(const std::shared_ptr<UIGestureRecognizer>&)
{
    becomeFirstResponder();
    auto menu = UIMenuController::sharedMenuController();
    menu->setTargetRect(frame(), superview());
    menu->setMenuVisible(true, true);
}

bool UICopyLabel::canPerformAction(const std::string& action, const NSObjectRef&) const { return action == "copy:"; }

void UICopyLabel::copy(const NSObjectRef&) { UIPasteboard::generalPasteboard()->setString(text()); }
