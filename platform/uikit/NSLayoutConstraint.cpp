// Constraints whose constant moves the view they pin.
#include "platform/uikit/NSLayoutConstraint.h"

#include "platform/uikit/UIView.h"

namespace {

// Shifts or resizes `view` by `delta` along the attribute.
void applyChange(UIView& view, NSLayoutAttribute attribute, CGFloat delta)
{
    CGRect frame = view.frame();
    switch (attribute) {
    case NSLayoutAttributeTop:
    case NSLayoutAttributeBottom:
    case NSLayoutAttributeCenterY: frame.origin.y += delta; break;
    case NSLayoutAttributeLeft:
    case NSLayoutAttributeRight:
    case NSLayoutAttributeLeading:
    case NSLayoutAttributeTrailing:
    case NSLayoutAttributeCenterX: frame.origin.x += delta; break;
    case NSLayoutAttributeWidth: frame.size.width += delta; break;
    case NSLayoutAttributeHeight: frame.size.height += delta; break;
    default: return;
    }
    view.setFrame(frame);
}

} // namespace

std::shared_ptr<NSLayoutConstraint> NSLayoutConstraint::constraintWithItem(const std::shared_ptr<NSObject>& firstItem,
    NSLayoutAttribute firstAttribute, NSLayoutRelation relation, const std::shared_ptr<NSObject>& secondItem,
    NSLayoutAttribute secondAttribute, CGFloat multiplier, CGFloat constant)
{
    auto constraint = std::make_shared<NSLayoutConstraint>();
    constraint->first_ = firstItem;
    constraint->second_ = secondItem;
    constraint->firstAttribute_ = firstAttribute;
    constraint->secondAttribute_ = secondAttribute;
    constraint->relation_ = relation;
    constraint->multiplier_ = multiplier;
    constraint->constant_ = constant;
    return constraint;
}

void NSLayoutConstraint::setConstant(CGFloat constant)
{
    CGFloat delta = constant - constant_;
    constant_ = constant;
    if (delta == 0)
        return;
    if (auto view = std::dynamic_pointer_cast<UIView>(first_.lock())) {
        applyChange(*view, firstAttribute_, delta);
        return;
    }
    // second = (first - constant) / multiplier: the second item moves against the constant.
    if (auto view = std::dynamic_pointer_cast<UIView>(second_.lock()); view && multiplier_ != 0)
        applyChange(*view, secondAttribute_, -delta / multiplier_);
}
