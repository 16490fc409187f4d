// Layout constraints, as far as screens here use them: there is no solver. A constraint ties an
// attribute of one item (a view or a controller's layout guide) to an attribute of another with
// a constant; changing the constant moves (or, for width and height, resizes) the view it pins
// by the change at once: a view that is the first item moves with the constant, a view that is
// the second item against it.
#pragma once

#include <memory>

#include "platform/foundation/NSObject.h"
#include "platform/graphics/Geometry.h"

enum NSLayoutAttribute : int {
    NSLayoutAttributeNotAnAttribute = 0,
    NSLayoutAttributeLeft = 1,
    NSLayoutAttributeRight = 2,
    NSLayoutAttributeTop = 3,
    NSLayoutAttributeBottom = 4,
    NSLayoutAttributeLeading = 5,
    NSLayoutAttributeTrailing = 6,
    NSLayoutAttributeWidth = 7,
    NSLayoutAttributeHeight = 8,
    NSLayoutAttributeCenterX = 9,
    NSLayoutAttributeCenterY = 10,
};

enum NSLayoutRelation : int {
    NSLayoutRelationLessThanOrEqual = -1,
    NSLayoutRelationEqual = 0,
    NSLayoutRelationGreaterThanOrEqual = 1,
};

// A controller's layout guide: the edge of the area its bars leave free. The length is how far
// the bars overlap the controller's view (see UIViewController::topLayoutGuide).
class UILayoutSupport final : public NSObject {
public:
    static std::shared_ptr<UILayoutSupport> create() { return std::make_shared<UILayoutSupport>(); }
    CGFloat length() const { return length_; }
    void setLength(CGFloat length) { length_ = length; }
    std::string className() const override { return "UILayoutSupport"; }

private:
    CGFloat length_ = 0;
};

// firstItem.firstAttribute (relation) secondItem.secondAttribute × multiplier + constant.
// The items are held weakly.
class NSLayoutConstraint final : public NSObject {
public:
    static std::shared_ptr<NSLayoutConstraint> constraintWithItem(const std::shared_ptr<NSObject>& firstItem,
        NSLayoutAttribute firstAttribute, NSLayoutRelation relation, const std::shared_ptr<NSObject>& secondItem,
        NSLayoutAttribute secondAttribute, CGFloat multiplier, CGFloat constant);
    std::string className() const override { return "NSLayoutConstraint"; }

    std::shared_ptr<NSObject> firstItem() const { return first_.lock(); }
    std::shared_ptr<NSObject> secondItem() const { return second_.lock(); }
    NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
    NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
    NSLayoutRelation relation() const { return relation_; }
    CGFloat multiplier() const { return multiplier_; }
    CGFloat constant() const { return constant_; }
    void setConstant(CGFloat constant);

private:
    std::weak_ptr<NSObject> first_;
    std::weak_ptr<NSObject> second_;
    NSLayoutAttribute firstAttribute_ = NSLayoutAttributeNotAnAttribute;
    NSLayoutAttribute secondAttribute_ = NSLayoutAttributeNotAnAttribute;
    NSLayoutRelation relation_ = NSLayoutRelationEqual;
    CGFloat multiplier_ = 1;
    CGFloat constant_ = 0;
};
