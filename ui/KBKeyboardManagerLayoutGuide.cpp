// The keyboard manager's layout-guide constraint: a screen that ties a view to its top or
// bottom layout guide is moved by changing that constraint's constant instead of its frame.
#include <algorithm>

#include "ui/KBKeyboardManager.h"

namespace {
// The curve the constraint's changes use (7, shifted into the curve bits) from the current state.
constexpr UIViewAnimationOptions kLayoutGuideAnimationOptions = 0x70004;
} // namespace

KBKeyboardManager::LayoutGuidePosition KBKeyboardManager::positionOf(
    const NSLayoutConstraint& constraint, UIViewController& controller)
{
    auto first = constraint.firstItem(), second = constraint.secondItem();
    auto tiedTo = [&](const std::shared_ptr<UILayoutSupport>& guide) { return first == guide || second == guide; };
    if (tiedTo(controller.topLayoutGuide()))
        return LayoutGuidePosition::Top;
    if (tiedTo(controller.bottomLayoutGuide()))
        return LayoutGuidePosition::Bottom;
    return LayoutGuidePosition::None;
}

std::pair<std::shared_ptr<NSLayoutConstraint>, KBKeyboardManager::LayoutGuidePosition> KBKeyboardManager::layoutGuide() const
{
    auto input = textFieldView();
    auto controller = input ? kb::viewController(*input) : nullptr;
    auto constraint = controller ? kb::KBLayoutGuideConstraint(*controller) : nullptr;
    if (!constraint)
        return { nullptr, LayoutGuidePosition::None };
    return { constraint, positionOf(*constraint, *controller) };
}

void KBKeyboardManager::saveLayoutGuideConstant()
{
    auto input = textFieldView();
    auto controller = input ? kb::viewController(*input) : nullptr;
    auto constraint = controller ? kb::KBLayoutGuideConstraint(*controller) : nullptr;
    layoutGuideConstraintInitialConstant_ = constraint ? constraint->constant() : 0;
    layoutGuideConstraint_ = constraint;
    layoutGuideController_ = controller;
}

void KBKeyboardManager::adjustLayoutGuide(NSLayoutConstraint& constraint, LayoutGuidePosition position, CGFloat move)
{
    CGFloat current = constraint.constant();
    CGFloat constant = position == LayoutGuidePosition::Top
        ? std::min(layoutGuideConstraintInitialConstant_, current - move)
        : std::max(layoutGuideConstraintInitialConstant_, current + move);
    auto keep = constraint.sharedAs<NSLayoutConstraint>();
    auto root = rootViewController_.lock();
    UIView::animateWithDuration(animationDuration_, 0, kLayoutGuideAnimationOptions, [keep, root, constant] {
        keep->setConstant(constant);
        if (root) {
            root->view()->setNeedsLayout();
            root->view()->layoutIfNeeded();
        }
    }, {});
}

bool KBKeyboardManager::restoreLayoutGuide(const std::shared_ptr<UIViewController>& root)
{
    auto constraint = layoutGuideConstraint_.lock();
    auto controller = layoutGuideController_.lock();
    if (!constraint || !controller || positionOf(*constraint, *controller) == LayoutGuidePosition::None)
        return false;
    CGFloat initial = layoutGuideConstraintInitialConstant_;
    animate([constraint, root, initial] {
        constraint->setConstant(initial);
        root->view()->setNeedsLayout();
        root->view()->layoutIfNeeded();
    });
    return true;
}
