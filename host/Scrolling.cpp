// Scrolling by a drag and scrolling a view into sight.
#include "host/Scrolling.h"

#include "host/Driver.h"
#include "host/ViewSearch.h"

#include <cmath>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

namespace host {
namespace {

bool canScroll(const std::shared_ptr<UIScrollView>& scroll)
{
    return scroll && scroll->isScrollEnabled() && scroll->isUserInteractionEnabled() && shownOnScreen(scroll);
}

// The shown scroll view with the largest visible area under `root`.
void largestScrollView(const std::shared_ptr<UIView>& root, UIWindow* window, std::shared_ptr<UIScrollView>& best, double& area)
{
    if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(root); canScroll(scroll)) {
        CGRect r = CGRectIntersection(scroll->convertRectToView(scroll->bounds(), window), window->bounds());
        double a = CGRectIsNull(r) ? 0 : r.size.width * r.size.height;
        if (a > area) {
            area = a;
            best = scroll;
        }
    }
    for (auto& sub : root->subviews())
        largestScrollView(sub, window, best, area);
}

// Moves `view` into the bounds of every scroll view that holds it, innermost first.
void revealInScrollViews(const std::shared_ptr<UIView>& view)
{
    for (auto v = view->superview(); v; v = v->superview()) {
        auto scroll = std::dynamic_pointer_cast<UIScrollView>(v);
        if (!scroll)
            continue;
        scroll->scrollRectToVisible(view->convertRectToView(view->bounds(), scroll.get()), false);
        settle();
    }
}

// The view showing `text` lies inside the window's bounds.
bool inSight(const std::shared_ptr<UIView>& view, UIWindow* window)
{
    return CGRectIntersectsRect(window->bounds(), view->convertRectToView(view->bounds(), window));
}

} // namespace

std::shared_ptr<UIScrollView> scrollViewAt(CGPoint point)
{
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return nullptr;
    for (auto v = window->hitTest(point); v; v = v->superview()) {
        if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(v); canScroll(scroll))
            return scroll;
    }
    return nullptr;
}

std::string scrollBy(CGPoint point, CGPoint by)
{
    auto scroll = scrollViewAt(point);
    if (!scroll)
        return "no scroll view there";
    scroll->simulateDrag({ -by.x, -by.y });
    settle();
    return "";
}

std::string scrollToTitle(const std::string& text)
{
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return "no key window";
    std::shared_ptr<UIScrollView> main;
    double area = 0;
    largestScrollView(window, window.get(), main, area);
    if (main) {
        // The search starts at the top of the content.
        UIEdgeInsets inset = main->contentInset();
        main->setContentOffset({ main->contentOffset().x, -inset.top });
        settle();
    }
    for (;;) {
        if (auto view = findByTitle(window, text)) {
            revealInScrollViews(view);
            if (inSight(view, window.get()))
                return "";
        }
        if (!main)
            return "no view shows that text";
        double before = main->contentOffset().y;
        double page = std::max(1.0, main->bounds().size.height * 0.8);
        main->simulateDrag({ 0, -page });
        settle();
        if (std::abs(main->contentOffset().y - before) < 0.5)
            return "no view shows that text, down to the end of the content";
    }
}

} // namespace host
