// UIViewController: a lazily loaded view (loadView, then viewDidLoad), appearance callbacks,
// the navigation item, and modal presentation over the window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIBars.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIView.h"

class UINavigationController;

using UIRectEdge = std::uint32_t;
inline constexpr UIRectEdge UIRectEdgeNone = 0;
inline constexpr UIRectEdge UIRectEdgeTop = 1;
inline constexpr UIRectEdge UIRectEdgeLeft = 2;
inline constexpr UIRectEdge UIRectEdgeBottom = 4;
inline constexpr UIRectEdge UIRectEdgeRight = 8;
inline constexpr UIRectEdge UIRectEdgeAll = 15;

enum UIModalPresentationStyle : int {
    UIModalPresentationFullScreen = 0,
    UIModalPresentationPageSheet = 1,
    UIModalPresentationFormSheet = 2,
    UIModalPresentationCurrentContext = 3,
};
enum UIInterfaceOrientation : int {
    UIInterfaceOrientationUnknown = 0,
    UIInterfaceOrientationPortrait = 1,
    UIInterfaceOrientationPortraitUpsideDown = 2,
    UIInterfaceOrientationLandscapeRight = 3,
    UIInterfaceOrientationLandscapeLeft = 4,
};

class UIViewController : public UIResponder {
public:
    UIViewController() = default;
    std::string className() const override { return "UIViewController"; }

    // The view, loaded on first use: loadView, then viewDidLoad.
    std::shared_ptr<UIView> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(const std::shared_ptr<UIView>& view);
    // Makes a plain view as large as the screen; subclasses may build their own.
    virtual void loadView();
    virtual void viewDidLoad() { }
    virtual void viewWillAppear(bool) { }
    virtual void viewDidAppear(bool) { }
    virtual void viewWillDisappear(bool) { }
    virtual void viewDidDisappear(bool) { }
    virtual void didReceiveMemoryWarning() { }

    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);
    std::shared_ptr<UINavigationItem> navigationItem();
    std::shared_ptr<UINavigationController> navigationController() const;
    std::shared_ptr<UIViewController> parentViewController() const { return parent_.lock(); }
    void setParentViewController(const std::shared_ptr<UIViewController>& parent) { parent_ = parent; }
    // There is no tab bar controller in this application.
    std::shared_ptr<UIViewController> tabBarController() const { return nullptr; }

    UIRectEdge edgesForExtendedLayout() const { return edges_; }
    void setEdgesForExtendedLayout(UIRectEdge edges) { edges_ = edges; }
    bool extendedLayoutIncludesOpaqueBars() const { return includesOpaque_; }
    void setExtendedLayoutIncludesOpaqueBars(bool includes) { includesOpaque_ = includes; }
    bool automaticallyAdjustsScrollViewInsets() const { return adjustsInsets_; }
    void setAutomaticallyAdjustsScrollViewInsets(bool adjusts) { adjustsInsets_ = adjusts; }
    // The guides at the bottom of the top bars (status and navigation bar) and the top of the
    // bottom bars; their lengths are how far those bars overlap this controller's view.
    std::shared_ptr<UILayoutSupport> topLayoutGuide();
    std::shared_ptr<UILayoutSupport> bottomLayoutGuide();
    // Called by the container that lays the view out under its bars: sets the guides' lengths
    // and, with automaticallyAdjustsScrollViewInsets, moves the top and bottom insets (content
    // and indicators) of the view's scroll view (the view itself, else its first subview) by
    // the change since the last call, so that content resting at its top stays in sight.
    void setLayoutGuideLengths(CGFloat top, CGFloat bottom);
    UIModalPresentationStyle modalPresentationStyle() const { return modalStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle style) { modalStyle_ = style; }
    bool hidesBottomBarWhenPushed() const { return hidesBottomBar_; }
    void setHidesBottomBarWhenPushed(bool hides) { hidesBottomBar_ = hides; }
    // Follows the status bar's orientation.
    UIInterfaceOrientation interfaceOrientation() const;

    // Modal presentation: the presented controller's view covers the window; the completion
    // runs on the main loop's next turn.
    void presentViewController(const std::shared_ptr<UIViewController>& controller, bool animated,
        std::function<void()> completion = {});
    // Dismisses what this controller presents (or, when it presents nothing, itself).
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
    std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<UIViewController> presentingViewController() const { return presenting_.lock(); }

    std::shared_ptr<UIResponder> nextResponder() const override;
    std::shared_ptr<UIWindow> responderWindow() const override { return view_ ? view_->window() : nullptr; }

    // Appearance transitions, driven by windows and containers; repeated calls in the same
    // direction are ignored.
    virtual void beginAppearanceTransition(bool appearing, bool animated);
    virtual void endAppearanceTransition();
    bool isAppeared() const { return appearance_ == Appearance::Appeared; }
    // Where this controller's view goes in a container of the given bounds.
    virtual CGRect frameInContainer(CGRect containerBounds) const { return containerBounds; }

private:
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    void adjustScrollViewInsets();
    std::shared_ptr<UIView> view_;
    std::string title_;
    std::shared_ptr<UINavigationItem> navigationItem_;
    std::weak_ptr<UIViewController> parent_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    UIRectEdge edges_ = UIRectEdgeAll;
    bool includesOpaque_ = false;
    bool adjustsInsets_ = true;
    bool hidesBottomBar_ = false;
    UIModalPresentationStyle modalStyle_ = UIModalPresentationFullScreen;
    Appearance appearance_ = Appearance::Disappeared;
    bool transitionAnimated_ = false;
    std::shared_ptr<UILayoutSupport> topGuide_;
    std::shared_ptr<UILayoutSupport> bottomGuide_;
    // What the automatic adjustment has added to which scroll view's insets.
    std::weak_ptr<UIView> adjustedScrollView_;
    CGFloat adjustedTop_ = 0;
    CGFloat adjustedBottom_ = 0;
};

class UINavigationController : public UIViewController {
public:
    UINavigationController() = default;
    static std::shared_ptr<UINavigationController> initWithRootViewController(const std::shared_ptr<UIViewController>& root);
    std::string className() const override { return "UINavigationController"; }

    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return controllers_; }
    void setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool animated);
    std::shared_ptr<UIViewController> topViewController() const { return controllers_.empty() ? nullptr : controllers_.back(); }
    std::shared_ptr<UIViewController> visibleViewController() const;

    // Loads the pushed controller's view at once, then (when on screen) the old top gets
    // viewWillDisappear and the new one viewWillAppear.
    virtual void pushViewController(const std::shared_ptr<UIViewController>& controller, bool animated);
    // The controller revealed gets viewWillAppear. Null when only the root is left.
    virtual std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<UIViewController>> popToViewController(const std::shared_ptr<UIViewController>& controller, bool animated);

    std::shared_ptr<UINavigationBar> navigationBar();
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    std::shared_ptr<UIToolbar> toolbar();
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden, bool animated = false);

    void loadView() override;
    void beginAppearanceTransition(bool appearing, bool animated) override;
    void endAppearanceTransition() override;
    // A child's view frame: below the bar unless it extends under it.
    CGRect childFrame(const UIViewController& child) const;
    // How far the status bar and navigation bar (top) and the toolbar (bottom) overlap a child
    // view placed at `frame`.
    std::pair<CGFloat, CGFloat> barOverlap(CGRect frame) const;

private:
    void replaceTop(const std::shared_ptr<UIViewController>& from, const std::shared_ptr<UIViewController>& to, bool animated);
    // Gives the child its frame and its layout guides.
    void placeChild(UIViewController& child);
    void layoutChrome();
    std::vector<std::shared_ptr<UIViewController>> controllers_;
    std::shared_ptr<UINavigationBar> bar_;
    std::shared_ptr<UIToolbar> toolbar_;
    bool barHidden_ = false;
    bool toolbarHidden_ = true;
};
