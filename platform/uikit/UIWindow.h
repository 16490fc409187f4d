// UIWindow: the root of a view tree on the screen. It keeps the first responder, hosts the
// root view controller, delivers simulated taps (hit test, gesture recognisers, then the hit
// view) and renders a snapshot of what a person would see.
#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UIView.h"

class UIViewController;

using UIWindowLevel = double;
inline constexpr UIWindowLevel UIWindowLevelNormal = 0;
inline constexpr UIWindowLevel UIWindowLevelAlert = 2000;
inline constexpr UIWindowLevel UIWindowLevelStatusBar = 1000;

class UIWindow : public UIView {
public:
    // A window covering `frame` (the main screen's bounds when empty); hidden until shown.
    explicit UIWindow(CGRect frame = CGRectZero);
    static std::shared_ptr<UIWindow> create(CGRect frame = CGRectZero) { return std::make_shared<UIWindow>(frame); }
    std::string className() const override { return "UIWindow"; }

    std::shared_ptr<UIViewController> rootViewController() const { return root_; }
    void setRootViewController(const std::shared_ptr<UIViewController>& controller);
    // Shows the window and makes it the application's key window.
    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    void setHidden(bool hidden) override;
    UIWindowLevel windowLevel() const { return level_; }
    void setWindowLevel(UIWindowLevel level) { level_ = level; }

    std::shared_ptr<UIResponder> firstResponder() const { return firstResponder_.lock(); }
    // Used by UIResponder; others call becomeFirstResponder.
    void setFirstResponder(const std::shared_ptr<UIResponder>& responder) { firstResponder_ = responder; }
    std::shared_ptr<UIResponder> nextResponder() const override;

    // A tap at a point in window space: the hit view's and its ancestors' gesture recognisers
    // see it first; unless one that recognised it cancels touches, the hit view handles it.
    // Returns the hit view (null when nothing was hit).
    std::shared_ptr<UIView> sendTap(CGPoint point);
    // A long press: long-press recognisers on the hit view and its ancestors go through
    // began and ended.
    std::shared_ptr<UIView> sendLongPress(CGPoint point);

    // Runs layout and display, then renders the window at the screen's scale.
    UIImageRef snapshotImage();
    bool writeSnapshot(const std::string& pngPath);

private:
    std::shared_ptr<UIViewController> root_;
    std::weak_ptr<UIResponder> firstResponder_;
    UIWindowLevel level_ = UIWindowLevelNormal;
};
