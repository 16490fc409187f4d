// The keyboard manager's frame adjustment: how far the keyboard covers the editing input,
// what the enclosing scroll views absorb by scrolling and a larger bottom inset, and the move
// of the top controller's root view (or of the screen's layout-guide constraint) for the rest.
// Before system 8 the window keeps portrait coordinates whatever the interface's orientation,
// so each length is taken along the axis the orientation makes vertical; from system 8 on the
// interface is always laid out as portrait.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextView.h"
#include "ui/KBKeyboardManager.h"

// What one adjustment works with: the orientation its lengths follow, the window's height and
// width, the status bar's allowance, the keyboard distance and the keyboard size (grown by the
// distance along the orientation's vertical axis).
struct KBKeyboardManager::Adjustment {
    UIInterfaceOrientation orientation = UIInterfaceOrientationUnknown;
    CGFloat H = 0;
    CGFloat W = 0;
    CGFloat t = 0;
    CGFloat d = 0;
    CGSize k {};
};

namespace {

CGRect frameInWindow(const UIView& view)
{
    auto superview = view.superview();
    return superview ? superview->convertRectToView(view.frame(), nullptr) : view.frame();
}

bool isLandscape(UIInterfaceOrientation o)
{
    return o == UIInterfaceOrientationLandscapeRight || o == UIInterfaceOrientationLandscapeLeft;
}

bool isPortrait(UIInterfaceOrientation o)
{
    return o == UIInterfaceOrientationPortrait || o == UIInterfaceOrientationPortraitUpsideDown;
}

// How far from the interface's top edge the rectangle's top is, less `from`.
CGFloat distanceFromTop(const KBKeyboardManager::Adjustment& a, CGRect r, CGFloat from)
{
    switch (a.orientation) {
    case UIInterfaceOrientationPortrait: return CGRectGetMinY(r) - from;
    case UIInterfaceOrientationPortraitUpsideDown: return (a.H - CGRectGetMaxY(r)) - from;
    case UIInterfaceOrientationLandscapeRight: return (a.W - CGRectGetMaxX(r)) - from;
    case UIInterfaceOrientationLandscapeLeft: return CGRectGetMinX(r) - from;
    default: return 0;
    }
}

// How far the rectangle's bottom edge reaches into the keyboard (negative: clear of it).
CGFloat keyboardOverlap(const KBKeyboardManager::Adjustment& a, CGRect r)
{
    switch (a.orientation) {
    case UIInterfaceOrientationPortrait: return CGRectGetMaxY(r) - (a.H - a.k.height);
    case UIInterfaceOrientationPortraitUpsideDown: return a.k.height - CGRectGetMinY(r);
    case UIInterfaceOrientationLandscapeRight: return a.k.width - CGRectGetMinX(r);
    case UIInterfaceOrientationLandscapeLeft: return CGRectGetMaxX(r) - (a.W - a.k.width);
    default: return 0;
    }
}

} // namespace

bool kb::isSystem8OrLater()
{
    return std::floor(NSFoundationVersionNumber) > NSFoundationVersionNumber_iOS_7_1;
}

void KBKeyboardManager::adoptScrollView(const std::shared_ptr<UIScrollView>& scrollView)
{
    lastScrollView_ = scrollView;
    startingContentInsets_ = scrollView->contentInset();
    startingScrollIndicatorInsets_ = scrollView->scrollIndicatorInsets();
    startingContentOffset_ = scrollView->contentOffset();
}

void KBKeyboardManager::adjustFrame()
{
    auto input = textFieldView();
    if (!input)
        return;
    isKeyboardShowing_ = true;
    auto window = keyWindow();
    if (!window)
        return;

    auto root = kb::topMostController(*input);
    if (!root)
        root = kb::topMostController(*window);
    Adjustment a;
    if (kb::isSystem8OrLater())
        a.orientation = UIInterfaceOrientationPortrait;
    else if (root)
        a.orientation = root->interfaceOrientation();
    a.H = window->frame().size.height;
    a.W = window->frame().size.width;
    const CGRect r = frameInWindow(*input);
    const double own = kb::keyboardDistanceFromTextField(*input);
    a.d = own == DBL_MAX ? keyboardDistance_ : own;
    a.k = kbSize_;
    const CGRect statusBar = UIApplication::sharedApplication()->statusBarFrame();
    if (isPortrait(a.orientation)) {
        a.t = statusBar.size.height;
        a.k.height += a.d;
    } else if (isLandscape(a.orientation)) {
        a.t = statusBar.size.width;
        a.k.width += a.d;
    }
    auto [guideConstraint, guidePosition] = layoutGuide();

    // Positive: covered by that many points; negative: spare room. A view tied to the bottom
    // layout guide only has to clear the keyboard.
    CGFloat move = guidePosition == LayoutGuidePosition::Bottom
        ? keyboardOverlap(a, r)
        : std::min(distanceFromTop(a, r, a.t + 5), keyboardOverlap(a, r));

    auto enclosing = kb::enclosingScrollView(*input);
    auto last = lastScrollView_.lock();
    if (!last && enclosing) {
        adoptScrollView(enclosing);
    } else if (last && enclosing && last != enclosing) {
        restoreLastScrollView(last);
        adoptScrollView(enclosing);
    } else if (last && !enclosing) {
        restoreLastScrollView(last);
        startingContentInsets_ = UIEdgeInsetsZero;
        startingScrollIndicatorInsets_ = UIEdgeInsetsZero;
        startingContentOffset_ = CGPoint {};
        lastScrollView_.reset();
    }

    if (lastScrollView_.lock()) {
        scrollWalk(input, a, move);
        extendContentInset(a);
    }

    if (guidePosition != LayoutGuidePosition::None) {
        adjustLayoutGuide(*guideConstraint, guidePosition, move);
        return;
    }

    if (canAdjustTextView_ && !lastScrollView_.lock() && std::dynamic_pointer_cast<UITextView>(input)
        && !isTextFieldViewFrameChanged_) {
        CGRect frame = input->frame();
        if (isPortrait(a.orientation))
            frame.size.height = std::min(frame.size.height, (a.H - a.k.height) - (a.t + 5));
        else if (isLandscape(a.orientation))
            frame.size.height = std::min(frame.size.height, (a.W - a.k.width) - (a.t + 5));
        animate([input, frame] { input->setFrame(frame); });
        isTextFieldViewFrameChanged_ = true;
    }

    if (!root)
        return;
    moveRootView(*root, a, move);
}

void KBKeyboardManager::scrollWalk(const std::shared_ptr<UIView>& input, const Adjustment& a, CGFloat& move)
{
    std::shared_ptr<UIView> lastView = input;
    auto sv = lastScrollView_.lock();
    while (sv) {
        const CGFloat offsetY = sv->contentOffset().y;
        bool more = move > 0 ? move > -offsetY - sv->contentInset().top : offsetY > 0;
        if (!more)
            break;
        auto superview = lastView->superview();
        CGRect lastViewRect = superview ? superview->convertRectToView(lastView->frame(), sv.get()) : lastView->frame();
        CGFloat target = offsetY - std::min(offsetY, -move);
        target = std::min(target, CGRectGetMinY(lastViewRect));

        auto enclosing = kb::enclosingScrollView(*sv);
        if (std::dynamic_pointer_cast<UITextView>(input) && !enclosing && target >= 0) {
            // A text view keeps its top clear of the navigation bar.
            auto controller = kb::viewController(*input);
            auto navigation = controller ? controller->navigationController() : nullptr;
            CGFloat navigationTop = (navigation ? CGRectGetMaxY(navigation->navigationBar()->frame()) : 0) + 10;
            CGFloat fix = a.orientation == UIInterfaceOrientationUnknown
                ? target
                : distanceFromTop(a, frameInWindow(*input), navigationTop);
            target = std::min(target, offsetY + fix);
            move = 0;
        } else {
            move -= target - offsetY;
        }
        CGPoint offset = CGPointMake(sv->contentOffset().x, target);
        animate([sv, offset] { sv->setContentOffset(offset); });
        lastView = sv;
        sv = enclosing;
    }
}

void KBKeyboardManager::extendContentInset(const Adjustment& a)
{
    auto sv = lastScrollView_.lock();
    CGFloat bottom = keyboardOverlap(a, frameInWindow(*sv));
    UIEdgeInsets insets = sv->contentInset();
    insets.bottom = std::max(startingContentInsets_.bottom, bottom);
    UIEdgeInsets indicators = sv->scrollIndicatorInsets();
    indicators.bottom = insets.bottom - 10;
    animate([sv, insets, indicators] {
        sv->setContentInset(insets);
        sv->setScrollIndicatorInsets(indicators);
    });
    if (sv->contentSize().height < sv->frame().size.height)
        sv->setContentSize(CGSizeMake(sv->contentSize().width, sv->frame().size.height));
}

void KBKeyboardManager::moveSheetRootView(CGRect R, const Adjustment& a, CGFloat move)
{
    if (move >= 0) {
        R.origin.y -= move;
        if (preventBlankSpace_) {
            CGFloat minimum = 0;
            if (isPortrait(a.orientation))
                minimum = (a.H - R.size.height - a.t) / 2 - (a.k.height - a.d);
            else if (isLandscape(a.orientation))
                minimum = (a.W - R.size.height - a.t) - (a.k.width - a.d);
            R.origin.y = std::max(R.origin.y, minimum);
        }
        setRootViewFrame(R);
        return;
    }
    CGFloat disturbance = CGRectGetMinY(R) - CGRectGetMinY(topViewBeginRect_);
    if (disturbance >= 0)
        return;
    R.origin.y -= std::max(move, disturbance);
    setRootViewFrame(R);
}

void KBKeyboardManager::moveRootView(UIViewController& root, const Adjustment& a, CGFloat move)
{
    CGRect R = root.view()->frame();
    const auto style = root.modalPresentationStyle();
    if (style == UIModalPresentationFormSheet || style == UIModalPresentationPageSheet) {
        moveSheetRootView(R, a, move);
        return;
    }
    // Moving the view "up" by m along the orientation's vertical axis.
    auto shift = [&](CGFloat m) {
        switch (a.orientation) {
        case UIInterfaceOrientationPortrait: R.origin.y -= m; break;
        case UIInterfaceOrientationPortraitUpsideDown: R.origin.y += m; break;
        case UIInterfaceOrientationLandscapeRight: R.origin.x += m; break;
        case UIInterfaceOrientationLandscapeLeft: R.origin.x -= m; break;
        default: break;
        }
    };
    if (move >= 0) {
        shift(move);
        if (preventBlankSpace_) {
            switch (a.orientation) {
            case UIInterfaceOrientationPortrait: R.origin.y = std::max(R.origin.y, std::min<CGFloat>(0, a.d - a.k.height)); break;
            case UIInterfaceOrientationPortraitUpsideDown: R.origin.y = std::min(R.origin.y, a.k.height - a.d); break;
            case UIInterfaceOrientationLandscapeRight: R.origin.x = std::min(R.origin.x, a.k.width - a.d); break;
            case UIInterfaceOrientationLandscapeLeft: R.origin.x = std::max(R.origin.x, std::min<CGFloat>(0, a.d - a.k.width)); break;
            default: break;
            }
        }
        setRootViewFrame(R);
        return;
    }
    // Moving down only undoes an earlier move up: never below the frame saved for this cycle.
    const CGRect& B = topViewBeginRect_;
    CGFloat disturbance = 0;
    switch (a.orientation) {
    case UIInterfaceOrientationPortrait: disturbance = CGRectGetMinY(R) - CGRectGetMinY(B); break;
    case UIInterfaceOrientationPortraitUpsideDown: disturbance = CGRectGetMinY(B) - CGRectGetMinY(R); break;
    case UIInterfaceOrientationLandscapeRight: disturbance = CGRectGetMinX(B) - CGRectGetMinX(R); break;
    case UIInterfaceOrientationLandscapeLeft: disturbance = CGRectGetMinX(R) - CGRectGetMinX(B); break;
    default: break;
    }
    if (disturbance >= 0)
        return;
    shift(std::max(move, disturbance));
    setRootViewFrame(R);
}

void KBKeyboardManager::setRootViewFrame(CGRect frame)
{
    auto input = textFieldView();
    std::shared_ptr<UIViewController> controller = input ? kb::topMostController(*input) : nullptr;
    if (!controller) {
        auto window = keyWindow();
        controller = window ? kb::topMostController(*window) : nullptr;
    }
    if (!controller)
        return;
    auto view = controller->view();
    if (kb::isSystem8OrLater())
        frame.size = view->frame().size;
    bool layout = layoutIfNeeded_;
    animate([view, frame, layout] {
        view->setFrame(frame);
        if (layout) {
            view->setNeedsLayout();
            view->layoutIfNeeded();
        }
    });
}
