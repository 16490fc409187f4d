// Lookups over the view tree that the keyboard manager and its companions need: the
// controller owning a view, the top controller of a window, the nearest enclosing view of a
// kind, the inputs that take part in previous/next and their order, per-view settings (an
// input's own keyboard distance, a scroll view's restore-offset flag, a screen's layout-guide
// constraint), a view's transform relative to another, and tree descriptions for debugging.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace kb {

// A class object for the manager's class sets: a name (its identity in a set) and a kind-of
// test.
struct ViewClass {
    std::string name;
    std::function<bool(const NSObject*)> isKindOf;

    template <class T>
    static ViewClass of(std::string name)
    {
        return { std::move(name), [](const NSObject* object) { return dynamic_cast<const T*>(object) != nullptr; } };
    }
    // A class known only by name (a platform class that may not exist here).
    static ViewClass named(const std::string& name);
    bool operator==(const ViewClass& other) const { return name == other.name; }
};

using Views = std::vector<std::shared_ptr<UIView>>;

// The first controller along the responder chain above the view; null when none.
std::shared_ptr<UIViewController> viewController(const UIView& view);
// The window's root controller followed through what it presents.
std::shared_ptr<UIViewController> topMostController(const UIWindow& window);
// The controller of the window's presentation chain that owns the view; null when none.
std::shared_ptr<UIViewController> topMostController(const UIView& view);
// The top controller, or the top view controller of a navigation controller on top.
std::shared_ptr<UIViewController> currentViewController(const UIWindow& window);

// The nearest superview of the class (private cell and wrapper scroll views skipped).
std::shared_ptr<UIView> superviewOfClassType(const UIView& view, const ViewClass& type);
std::shared_ptr<UIScrollView> enclosingScrollView(const UIView& view);

// Whether the view takes part in previous/next: it can become first responder, takes
// touches, is visible, and is an enabled field or editable text view (other views: as is).
// While it asks, isAskingCanBecomeFirstResponder reads true on the view, so that a view's own
// canBecomeFirstResponder can tell this question from others. (_KBcanBecomeFirstResponder; a
// leading underscore and capital is a name C++ reserves.)
bool canBecomeFirstResponderForNavigation(const UIView& view);
bool isAskingCanBecomeFirstResponder(const UIView& view);
// The inputs among the view's superview's subviews, in subview order.
Views responderSiblings(const UIView& view);
// Every input inside the view, each level sorted by position, depth first.
Views deepResponderViews(const UIView& view);
Views sortedByTag(Views views);
Views sortedByPosition(Views views);
bool isAlertViewTextField(const UIView& view);
bool isSearchBarTextField(const UIView& view);

// An input's own keyboard distance; the largest finite double when never set.
double keyboardDistanceFromTextField(const UIView& view);
// Stores the value clamped to [0, largest float] (NaN counts as 0), narrowed to float.
void setKeyboardDistanceFromTextField(UIView& view, double distance);
bool shouldRestoreScrollViewContentOffset(const UIScrollView& view);
void setShouldRestoreScrollViewContentOffset(UIScrollView& view, bool restore);
// A constraint between a view of the screen and the controller's top or bottom layout guide
// that the keyboard manager changes instead of moving the screen's root view; null when unset.
std::shared_ptr<NSLayoutConstraint> KBLayoutGuideConstraint(const UIViewController& controller);
void setKBLayoutGuideConstraint(UIViewController& controller, std::shared_ptr<NSLayoutConstraint> constraint);

// The view's transform relative to `target` (null: the view's window): its own transform
// chained through its superviews, undone by the target's chain.
CGAffineTransform convertTransformToView(const UIView& view, const UIView* target);
// 0 for a view without superview, else one more than the superview's.
int depth(const UIView& view);
// "UIView: ( 0, 0, 320, 568 )", with a scroll view's content size and a transform other than
// the identity appended.
std::string debugHierarchy(const UIView& view);
// The view and everything under it, one view a line, indented by depth.
std::string subHierarchy(const UIView& view);
// The view's superviews down to the view, one a line, indented by depth.
std::string superHierarchy(const UIView& view);
// "<ClassName 0x...>" (_KBDescription, under a name C++ does not reserve).
std::string objectDescription(const NSObject& object);

} // namespace kb
