// The view-tree lookups and per-view settings of the keyboard manager.
#include "ui/KBViewHierarchy.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <map>

#include "platform/uikit/AssociatedValue.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"

namespace kb {
namespace {

const uikit::AssociatedValue<float>& distances()
{
    static const uikit::AssociatedValue<float> values;
    return values;
}

const uikit::AssociatedValue<bool>& restoreFlags()
{
    static const uikit::AssociatedValue<bool> values;
    return values;
}

const uikit::AssociatedValue<bool>& askingFlags()
{
    static const uikit::AssociatedValue<bool> values;
    return values;
}

const uikit::AssociatedValue<std::shared_ptr<NSLayoutConstraint>>& layoutGuideConstraints()
{
    static const uikit::AssociatedValue<std::shared_ptr<NSLayoutConstraint>> values;
    return values;
}

// Sets the asking flag for as long as it lives.
class AskingScope {
public:
    explicit AskingScope(const UIView& view) : view_(view) { askingFlags().set(view_, true); }
    ~AskingScope() { askingFlags().set(view_, false); }
    AskingScope(const AskingScope&) = delete;
    AskingScope& operator=(const AskingScope&) = delete;

private:
    const UIView& view_;
};

std::string format(const char* pattern, double a, double b)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, pattern, a, b);
    return buffer;
}

const std::string kIndent = "|  ";

std::string indent(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += kIndent;
    return text;
}

bool isPrivateScrollView(const UIView& view)
{
    auto name = view.className();
    return name == "UITableViewCellScrollView" || name == "UITableViewWrapperView" || name == "_UIQueuingScrollView";
}

} // namespace

ViewClass ViewClass::named(const std::string& name)
{
    return { name, [name](const NSObject* object) { return object && object->className() == name; } };
}

std::shared_ptr<UIViewController> viewController(const UIView& view)
{
    for (auto responder = view.nextResponder(); responder; responder = responder->nextResponder()) {
        if (auto controller = std::dynamic_pointer_cast<UIViewController>(responder))
            return controller;
    }
    return nullptr;
}

std::shared_ptr<UIViewController> topMostController(const UIWindow& window)
{
    auto top = window.rootViewController();
    while (top && top->presentedViewController())
        top = top->presentedViewController();
    return top;
}

std::shared_ptr<UIViewController> topMostController(const UIView& view)
{
    auto window = view.window();
    if (!window)
        return nullptr;
    std::vector<std::shared_ptr<UIViewController>> chain;
    for (auto c = window->rootViewController(); c; c = c->presentedViewController())
        chain.push_back(c);
    auto inChain = [&](const std::shared_ptr<UIResponder>& r) {
        return std::find(chain.begin(), chain.end(), r) != chain.end();
    };
    auto own = viewController(view);
    if (!own)
        return nullptr;
    for (std::shared_ptr<UIResponder> r = own; r; r = r->nextResponder()) {
        if (std::dynamic_pointer_cast<UIViewController>(r) && inChain(r))
            return std::dynamic_pointer_cast<UIViewController>(r);
    }
    return nullptr;
}

std::shared_ptr<UIViewController> currentViewController(const UIWindow& window)
{
    auto top = topMostController(window);
    while (auto navigation = std::dynamic_pointer_cast<UINavigationController>(top)) {
        if (!navigation->topViewController())
            break;
        top = navigation->topViewController();
    }
    return top;
}

std::shared_ptr<UIView> superviewOfClassType(const UIView& view, const ViewClass& type)
{
    for (auto s = view.superview(); s; s = s->superview()) {
        if (type.isKindOf(s.get()) && !isPrivateScrollView(*s))
            return s;
    }
    return nullptr;
}

std::shared_ptr<UIScrollView> enclosingScrollView(const UIView& view)
{
    return std::dynamic_pointer_cast<UIScrollView>(superviewOfClassType(view, ViewClass::of<UIScrollView>("UIScrollView")));
}

bool isAlertViewTextField(const UIView& view)
{
    auto name = view.className();
    return name == "UIAlertSheetTextField" || name == "_UIAlertControllerTextField";
}

bool isSearchBarTextField(const UIView& view)
{
    auto name = view.className();
    return name == "UISearchBarTextField" || name == "UISearchBar";
}

bool isAskingCanBecomeFirstResponder(const UIView& view)
{
    auto value = askingFlags().get(view);
    return value && *value;
}

bool canBecomeFirstResponderForNavigation(const UIView& view)
{
    AskingScope asking(view);
    if (!view.canBecomeFirstResponder() || !view.isUserInteractionEnabled() || view.isHidden() || view.alpha() == 0)
        return false;
    if (isAlertViewTextField(view) || isSearchBarTextField(view))
        return false;
    if (auto field = dynamic_cast<const UITextField*>(&view))
        return field->isEnabled();
    if (auto textView = dynamic_cast<const UITextView*>(&view))
        return textView->isEditable();
    return true;
}

Views responderSiblings(const UIView& view)
{
    Views result;
    auto superview = view.superview();
    if (!superview)
        return result;
    for (const auto& sibling : superview->subviews()) {
        if (canBecomeFirstResponderForNavigation(*sibling))
            result.push_back(sibling);
    }
    return result;
}

Views deepResponderViews(const UIView& view)
{
    Views result;
    for (const auto& sub : sortedByPosition(view.subviews())) {
        if (canBecomeFirstResponderForNavigation(*sub)) {
            result.push_back(sub);
            continue;
        }
        if (sub->subviews().empty())
            continue;
        auto inner = deepResponderViews(*sub);
        result.insert(result.end(), inner.begin(), inner.end());
    }
    return result;
}

Views sortedByTag(Views views)
{
    std::stable_sort(views.begin(), views.end(), [](const auto& a, const auto& b) { return a->tag() < b->tag(); });
    return views;
}

Views sortedByPosition(Views views)
{
    std::stable_sort(views.begin(), views.end(), [](const auto& a, const auto& b) {
        auto fa = a->frame(), fb = b->frame();
        if (CGRectGetMinY(fa) != CGRectGetMinY(fb))
            return CGRectGetMinY(fa) < CGRectGetMinY(fb);
        return CGRectGetMinX(fa) < CGRectGetMinX(fb);
    });
    return views;
}

double keyboardDistanceFromTextField(const UIView& view)
{
    auto value = distances().get(view);
    return value ? static_cast<double>(*value) : DBL_MAX;
}

void setKeyboardDistanceFromTextField(UIView& view, double distance)
{
    // Narrowing a value beyond the float range is undefined, and NaN would survive a max().
    if (std::isnan(distance) || distance < 0)
        distance = 0;
    distance = std::min(distance, static_cast<double>(FLT_MAX));
    distances().set(view, static_cast<float>(distance));
}

bool shouldRestoreScrollViewContentOffset(const UIScrollView& view)
{
    auto value = restoreFlags().get(view);
    return value && *value;
}

void setShouldRestoreScrollViewContentOffset(UIScrollView& view, bool restore)
{
    restoreFlags().set(view, restore);
}

std::shared_ptr<NSLayoutConstraint> KBLayoutGuideConstraint(const UIViewController& controller)
{
    return layoutGuideConstraints().get(controller).value_or(nullptr);
}

void setKBLayoutGuideConstraint(UIViewController& controller, std::shared_ptr<NSLayoutConstraint> constraint)
{
    layoutGuideConstraints().set(controller, std::move(constraint));
}

namespace {

// The view's transform chained through its superviews (each relative to its window).
CGAffineTransform chainedTransform(const UIView& view)
{
    auto superview = view.superview();
    if (!superview)
        return view.transform();
    return CGAffineTransformConcat(view.transform(), convertTransformToView(*superview, nullptr));
}

} // namespace

CGAffineTransform convertTransformToView(const UIView& view, const UIView* target)
{
    std::shared_ptr<UIWindow> window;
    if (!target) {
        window = view.window();
        target = window.get();
    }
    CGAffineTransform targetTransform = target ? chainedTransform(*target) : CGAffineTransformIdentity;
    return CGAffineTransformConcat(chainedTransform(view), CGAffineTransformInvert(targetTransform));
}

int depth(const UIView& view)
{
    auto superview = view.superview();
    return superview ? depth(*superview) + 1 : 0;
}

std::string debugHierarchy(const UIView& view)
{
    CGRect frame = view.frame();
    std::string text = view.className() + format(": ( %.0f, %.0f, ", frame.origin.x, frame.origin.y)
        + format("%.0f, %.0f )", frame.size.width, frame.size.height);
    if (auto scroll = dynamic_cast<const UIScrollView*>(&view))
        text += "contentSize" + format(": ( %.0f, %.0f )", scroll->contentSize().width, scroll->contentSize().height);
    if (!CGAffineTransformIsIdentity(view.transform()))
        text += "transform: " + NSStringFromCGAffineTransform(view.transform());
    return text;
}

std::string subHierarchy(const UIView& view)
{
    std::string text = "\n" + indent(depth(view)) + debugHierarchy(view);
    for (const auto& sub : view.subviews())
        text += subHierarchy(*sub);
    return text;
}

std::string superHierarchy(const UIView& view)
{
    auto superview = view.superview();
    std::string text = superview ? superHierarchy(*superview) : "\n";
    return text + indent(depth(view)) + debugHierarchy(view) + "\n";
}

std::string objectDescription(const NSObject& object)
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(&object));
    return "<" + object.className() + " " + address + ">";
}

} // namespace kb
