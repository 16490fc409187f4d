// The keyboard manager's frame adjustment: how far the keyboard covers the editing input,
// what the enclosing scroll views absorb by scrolling and a larger bottom inset, and the move
// of the top controller's root view (or of the screen's layout-guide constraint) for the rest.
// Every screen here runs in portrait (the platform reports no other interface orientation on
// the systems it simulates).
#include <algorithm>
#include <cfloat>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UITextView.h"
#include "ui/KBKeyboardManager.h"

namespace {

CGRect frameInWindow(const UIView& view)
{
    auto superview = view.superview();
    return superview ? superview->convertRectToView(view.frame(), nullptr) : view.frame();
}

} // namespace

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
    const CGFloat H = window->frame().size.height;
    const CGRect r = frameInWindow(*input);
    const double own = kb::keyboardDistanceFromTextField(*input);
    const CGFloat d = own == DBL_MAX ? keyboardDistance_ : own;
    const CGFloat t = UIApplication::sharedApplication()->statusBarFrame().size.height;
    CGSize k = kbSize_;
    k.height += d;
    auto [guideConstraint, guidePosition] = layoutGuide();

    // Positive: covered by that many points; negative: spare room. A view tied to the bottom
    // layout guide only has to clear the keyboard.
    CGFloat move = guidePosition == LayoutGuidePosition::Bottom
        ? CGRectGetMaxY(r) - (H - k.height)
        : std::min(CGRectGetMinY(r) - (t + 5), CGRectGetMaxY(r) - (H - k.height));

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
        scrollWalk(input, move);
        extendContentInset(k, H);
    }

    if (guidePosition != LayoutGuidePosition::None) {
        adjustLayoutGuide(*guideConstraint, guidePosition, move);
        return;
    }

    if (canAdjustTextView_ && !lastScrollView_.lock() && std::dynamic_pointer_cast<UITextView>(input)
        && !isTextFieldViewFrameChanged_) {
        CGFloat height = std::min(input->frame().size.height, (H - k.height) - (t + 5));
        CGRect frame = input->frame();
        frame.size.height = height;
        animate([input, frame] { input->setFrame(frame); });
        isTextFieldViewFrameChanged_ = true;
    }

    if (!root)
        return;
    moveRootView(*root, move, k, t, d, H);
}

void KBKeyboardManager::scrollWalk(const std::shared_ptr<UIView>& input, CGFloat& move)
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
            CGFloat fix = CGRectGetMinY(frameInWindow(*input)) - navigationTop;
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

void KBKeyboardManager::extendContentInset(CGSize k, CGFloat H)
{
    auto sv = lastScrollView_.lock();
    CGRect q = frameInWindow(*sv);
    CGFloat bottom = k.height - (H - CGRectGetMaxY(q));
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

void KBKeyboardManager::moveRootView(UIViewController& root, CGFloat move, CGSize k, CGFloat t, CGFloat d, CGFloat H)
{
    CGRect R = root.view()->frame();
    const auto style = root.modalPresentationStyle();
    const bool sheet = style == UIModalPresentationFormSheet || style == UIModalPresentationPageSheet;
    if (move >= 0) {
        R.origin.y -= move;
        if (preventBlankSpace_) {
            CGFloat minimum = sheet ? (H - R.size.height - t) / 2 - (k.height - d) : std::min<CGFloat>(0, d - k.height);
            R.origin.y = std::max(R.origin.y, minimum);
        }
        setRootViewFrame(R);
        return;
    }
    // Moving down only undoes an earlier move up: never below the frame saved for this cycle.
    CGFloat disturbance = CGRectGetMinY(R) - CGRectGetMinY(topViewBeginRect_);
    if (disturbance >= 0)
        return;
    R.origin.y -= std::max(move, disturbance);
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
