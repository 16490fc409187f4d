// View controllers: lazy view, appearance transitions, modal presentation, layout guides and
// the automatic scroll-view insets under the bars.
#include "platform/uikit/UIViewController.h"

#include <algorithm>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"

std::shared_ptr<UIView> UIViewController::view()
{
    if (!view_) {
        loadView();
        if (!view_)
            view_ = UIView::create(UIScreen::mainScreen()->bounds());
        view_->setViewController(sharedAs<UIViewController>());
        viewDidLoad();
    }
    return view_;
}

UIInterfaceOrientation UIViewController::interfaceOrientation() const
{
    return UIApplication::sharedApplication()->statusBarOrientation();
}

void UIViewController::setView(const std::shared_ptr<UIView>& view)
{
    view_ = view;
    if (view_)
        view_->setViewController(sharedAs<UIViewController>());
}

void UIViewController::loadView()
{
    auto view = UIView::create(UIScreen::mainScreen()->bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(view);
}

void UIViewController::setTitle(const std::string& title)
{
    title_ = title;
    navigationItem()->setTitle(title);
}

std::shared_ptr<UINavigationItem> UIViewController::navigationItem()
{
    if (!navigationItem_)
        navigationItem_ = UINavigationItem::create(title_);
    return navigationItem_;
}

std::shared_ptr<UILayoutSupport> UIViewController::topLayoutGuide()
{
    if (!topGuide_)
        topGuide_ = UILayoutSupport::create();
    return topGuide_;
}

std::shared_ptr<UILayoutSupport> UIViewController::bottomLayoutGuide()
{
    if (!bottomGuide_)
        bottomGuide_ = UILayoutSupport::create();
    return bottomGuide_;
}

void UIViewController::setLayoutGuideLengths(CGFloat top, CGFloat bottom)
{
    topLayoutGuide()->setLength(top);
    bottomLayoutGuide()->setLength(bottom);
    adjustScrollViewInsets();
}

void UIViewController::adjustScrollViewInsets()
{
    if (!adjustsInsets_ || !view_)
        return;
    auto scrollView = std::dynamic_pointer_cast<UIScrollView>(view_);
    if (!scrollView && !view_->subviews().empty())
        scrollView = std::dynamic_pointer_cast<UIScrollView>(view_->subviews().front());
    if (!scrollView)
        return;
    // A scroll view adjusted before carries what was added; a new one starts from nothing.
    if (adjustedScrollView_.lock() != scrollView) {
        adjustedTop_ = 0;
        adjustedBottom_ = 0;
    }
    CGFloat top = topGuide_->length() - adjustedTop_;
    CGFloat bottom = bottomGuide_->length() - adjustedBottom_;
    adjustedScrollView_ = scrollView;
    adjustedTop_ = topGuide_->length();
    adjustedBottom_ = bottomGuide_->length();
    if (top == 0 && bottom == 0)
        return;
    UIEdgeInsets insets = scrollView->contentInset();
    insets.top += top;
    insets.bottom += bottom;
    scrollView->setContentInset(insets);
    UIEdgeInsets indicators = scrollView->scrollIndicatorInsets();
    indicators.top += top;
    indicators.bottom += bottom;
    scrollView->setScrollIndicatorInsets(indicators);
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const
{
    for (auto p = parent_.lock(); p; p = p->parent_.lock()) {
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(p))
            return nav;
    }
    return nullptr;
}

std::shared_ptr<UIResponder> UIViewController::nextResponder() const
{
    if (view_) {
        if (auto super = view_->superview())
            return super;
    }
    if (auto parent = parent_.lock())
        return parent;
    return presenting_.lock();
}

void UIViewController::beginAppearanceTransition(bool appearing, bool animated)
{
    if (appearing && (appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing))
        return;
    if (!appearing && (appearance_ == Appearance::Disappeared || appearance_ == Appearance::Disappearing))
        return;
    auto keep = sharedAs<UIViewController>();
    transitionAnimated_ = animated;
    appearance_ = appearing ? Appearance::Appearing : Appearance::Disappearing;
    if (appearing) {
        view();
        viewWillAppear(animated);
    } else {
        viewWillDisappear(animated);
    }
}

void UIViewController::endAppearanceTransition()
{
    auto keep = sharedAs<UIViewController>();
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(transitionAnimated_);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(transitionAnimated_);
    }
}

namespace {
// The controller whose appearance stands for what the presenter shows: its outermost parent.
std::shared_ptr<UIViewController> outermost(std::shared_ptr<UIViewController> controller)
{
    while (auto parent = controller->parentViewController())
        controller = parent;
    return controller;
}
} // namespace

void UIViewController::presentViewController(const std::shared_ptr<UIViewController>& controller, bool animated,
    std::function<void()> completion)
{
    if (!controller || presented_)
        return;
    auto host = outermost(sharedAs<UIViewController>());
    auto window = host->isViewLoaded() ? host->view()->window() : nullptr;
    if (!window)
        window = UIApplication::sharedApplication()->keyWindow();
    presented_ = controller;
    controller->presenting_ = sharedAs<UIViewController>();
    auto view = controller->view();
    if (window) {
        view->setFrame(controller->frameInContainer(window->bounds()));
        host->beginAppearanceTransition(false, animated);
        controller->beginAppearanceTransition(true, animated);
        window->addSubview(view);
        host->endAppearanceTransition();
        controller->endAppearanceTransition();
    }
    if (completion)
        uikit::performOnMainSoon(std::move(completion));
}

void UIViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion)
{
    if (!presented_) {
        if (auto presenter = presenting_.lock())
            presenter->dismissViewControllerAnimated(animated, std::move(completion));
        return;
    }
    auto keep = sharedAs<UIViewController>();
    auto controller = presented_;
    if (controller->presented_)
        controller->dismissViewControllerAnimated(false, {});
    auto host = outermost(keep);
    bool onScreen = controller->isViewLoaded() && controller->view()->window();
    if (onScreen) {
        controller->beginAppearanceTransition(false, animated);
        host->beginAppearanceTransition(true, animated);
    }
    if (controller->isViewLoaded())
        controller->view()->removeFromSuperview();
    presented_.reset();
    controller->presenting_.reset();
    if (onScreen) {
        controller->endAppearanceTransition();
        host->endAppearanceTransition();
    }
    if (completion)
        uikit::performOnMainSoon(std::move(completion));
}

// ---- navigation ----

std::shared_ptr<UINavigationController> UINavigationController::initWithRootViewController(
    const std::shared_ptr<UIViewController>& root)
{
    auto nav = std::make_shared<UINavigationController>();
    if (root)
        nav->setViewControllers({ root }, false);
    return nav;
}

std::shared_ptr<UIViewController> UINavigationController::visibleViewController() const
{
    if (auto presented = presentedViewController())
        return presented;
    return topViewController();
}

std::shared_ptr<UINavigationBar> UINavigationController::navigationBar()
{
    if (!bar_) {
        bar_ = UINavigationBar::create();
        std::weak_ptr<UINavigationController> weak = sharedAs<UINavigationController>();
        bar_->setBackAction([weak] {
            if (auto nav = weak.lock())
                nav->popViewControllerAnimated(true);
        });
    }
    return bar_;
}

std::shared_ptr<UIToolbar> UINavigationController::toolbar()
{
    if (!toolbar_)
        toolbar_ = UIToolbar::create();
    return toolbar_;
}

void UINavigationController::loadView()
{
    auto container = UIView::create(UIScreen::mainScreen()->bounds());
    container->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(container);
    container->addSubview(navigationBar());
    if (auto top = topViewController())
        container->insertSubviewAtIndex(top->view(), 0);
    layoutChrome();
}

CGRect UINavigationController::childFrame(const UIViewController& child) const
{
    CGRect b = isViewLoaded() ? const_cast<UINavigationController*>(this)->view()->bounds() : UIScreen::mainScreen()->bounds();
    bool barShown = !barHidden_;
    bool translucent = bar_ ? bar_->isTranslucent() : UINavigationBar::appearance().translucent.value_or(true);
    bool underBar = (child.edgesForExtendedLayout() & UIRectEdgeTop) && (translucent || child.extendedLayoutIncludesOpaqueBars());
    double top = barShown && !underBar ? 64 : 0;
    double bottom = 0;
    if (!toolbarHidden_ && !((child.edgesForExtendedLayout() & UIRectEdgeBottom) && translucent))
        bottom = 44;
    return { { 0, top }, { b.size.width, b.size.height - top - bottom } };
}

std::pair<CGFloat, CGFloat> UINavigationController::barOverlap(CGRect frame) const
{
    auto self = const_cast<UINavigationController*>(this);
    // The status bar's frame is in the screen's portrait coordinates: its thickness is its
    // smaller side in every orientation.
    CGRect statusBar = UIApplication::sharedApplication()->statusBarFrame();
    CGFloat topBars = barHidden_ ? std::min(statusBar.size.width, statusBar.size.height)
                                 : CGRectGetMaxY(self->navigationBar()->frame());
    CGFloat top = std::max<CGFloat>(0, topBars - CGRectGetMinY(frame));
    CGFloat bottom = 0;
    if (toolbar_ && !toolbarHidden_)
        bottom = std::max<CGFloat>(0, CGRectGetMaxY(frame) - CGRectGetMinY(toolbar_->frame()));
    return { top, bottom };
}

void UINavigationController::placeChild(UIViewController& child)
{
    CGRect frame = childFrame(child);
    child.view()->setFrame(frame);
    auto [top, bottom] = barOverlap(frame);
    child.setLayoutGuideLengths(top, bottom);
}

void UINavigationController::layoutChrome()
{
    if (!isViewLoaded())
        return;
    CGRect b = view()->bounds();
    navigationBar()->setFrame({ { 0, 20 }, { b.size.width, 44 } });
    navigationBar()->setHidden(barHidden_);
    if (toolbar_) {
        toolbar_->setFrame({ { 0, b.size.height - 44 }, { b.size.width, 44 } });
        toolbar_->setHidden(toolbarHidden_);
    }
    if (auto top = topViewController(); top && top->isViewLoaded())
        placeChild(*top);
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool)
{
    barHidden_ = hidden;
    layoutChrome();
}

void UINavigationController::setToolbarHidden(bool hidden, bool)
{
    toolbarHidden_ = hidden;
    if (!hidden && isViewLoaded() && !toolbar()->superview())
        view()->addSubview(toolbar());
    layoutChrome();
}

void UINavigationController::replaceTop(const std::shared_ptr<UIViewController>& from,
    const std::shared_ptr<UIViewController>& to, bool animated)
{
    bool onScreen = isViewLoaded() && isAppeared();
    if (to && isViewLoaded())
        to->view();
    if (onScreen) {
        if (from)
            from->beginAppearanceTransition(false, animated);
        if (to)
            to->beginAppearanceTransition(true, animated);
    }
    if (isViewLoaded()) {
        if (from && from->isViewLoaded() && from->view()->superview() == view())
            from->view()->removeFromSuperview();
        if (to) {
            view()->insertSubviewBelowSubview(to->view(), navigationBar());
            layoutChrome();
        }
    }
    if (onScreen) {
        if (from)
            from->endAppearanceTransition();
        if (to)
            to->endAppearanceTransition();
    }
}

void UINavigationController::setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool animated)
{
    auto keep = sharedAs<UINavigationController>();
    auto oldTop = topViewController();
    for (auto& c : controllers_)
        c->setParentViewController(nullptr);
    controllers_ = std::move(controllers);
    std::vector<std::shared_ptr<UINavigationItem>> items;
    for (auto& c : controllers_) {
        c->setParentViewController(keep);
        items.push_back(c->navigationItem());
    }
    navigationBar()->setItems(items, false);
    auto newTop = topViewController();
    if (newTop != oldTop)
        replaceTop(oldTop, newTop, animated);
}

void UINavigationController::pushViewController(const std::shared_ptr<UIViewController>& controller, bool animated)
{
    if (!controller || std::find(controllers_.begin(), controllers_.end(), controller) != controllers_.end())
        return;
    auto keep = sharedAs<UINavigationController>();
    auto oldTop = topViewController();
    controller->setParentViewController(keep);
    controllers_.push_back(controller);
    controller->view();
    navigationBar()->pushNavigationItem(controller->navigationItem(), animated);
    replaceTop(oldTop, controller, animated);
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated)
{
    if (controllers_.size() <= 1)
        return nullptr;
    auto keep = sharedAs<UINavigationController>();
    auto popped = controllers_.back();
    controllers_.pop_back();
    navigationBar()->popNavigationItem(animated);
    replaceTop(popped, topViewController(), animated);
    popped->setParentViewController(nullptr);
    return popped;
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToViewController(
    const std::shared_ptr<UIViewController>& controller, bool animated)
{
    auto it = std::find(controllers_.begin(), controllers_.end(), controller);
    if (it == controllers_.end() || it + 1 == controllers_.end())
        return {};
    std::vector<std::shared_ptr<UIViewController>> popped(it + 1, controllers_.end());
    std::vector<std::shared_ptr<UIViewController>> kept(controllers_.begin(), it + 1);
    setViewControllers(kept, animated);
    return popped;
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToRootViewControllerAnimated(bool animated)
{
    if (controllers_.empty())
        return {};
    return popToViewController(controllers_.front(), animated);
}

void UINavigationController::beginAppearanceTransition(bool appearing, bool animated)
{
    bool wasAppeared = isAppeared();
    UIViewController::beginAppearanceTransition(appearing, animated);
    if (appearing == wasAppeared)
        return;
    if (auto top = topViewController())
        top->beginAppearanceTransition(appearing, animated);
}

void UINavigationController::endAppearanceTransition()
{
    UIViewController::endAppearanceTransition();
    if (auto top = topViewController())
        top->endAppearanceTransition();
}
