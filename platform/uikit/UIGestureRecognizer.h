// Gesture recognisers (tap and long press) with target actions, states and a delegate, and
// the touch they are shown. Simulated touches come from UIWindow::sendTap/sendLongPress;
// tests may also drive a recogniser directly with fire(state).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/graphics/Geometry.h"

class UIView;
class UIWindow;
class UIGestureRecognizer;

enum UITouchPhase : int { UITouchPhaseBegan = 0, UITouchPhaseMoved = 1, UITouchPhaseStationary = 2, UITouchPhaseEnded = 3 };

class UITouch final : public NSObject {
public:
    UITouch(std::shared_ptr<UIView> view, std::shared_ptr<UIWindow> window, CGPoint windowPoint);
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    std::shared_ptr<UIWindow> window() const { return window_.lock(); }
    CGPoint locationInView(const UIView* view) const;
    int tapCount() const { return 1; }
    UITouchPhase phase() const { return UITouchPhaseEnded; }
    std::string className() const override { return "UITouch"; }

private:
    // Weak: recognisers keep their last touch, and must not keep the view tree alive.
    std::weak_ptr<UIView> view_;
    std::weak_ptr<UIWindow> window_;
    CGPoint windowPoint_;
};

enum UIGestureRecognizerState : int {
    UIGestureRecognizerStatePossible = 0,
    UIGestureRecognizerStateBegan = 1,
    UIGestureRecognizerStateChanged = 2,
    UIGestureRecognizerStateEnded = 3,
    UIGestureRecognizerStateCancelled = 4,
    UIGestureRecognizerStateFailed = 5,
    UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

class UIGestureRecognizerDelegate {
public:
    virtual ~UIGestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(const std::shared_ptr<UIGestureRecognizer>&) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(const std::shared_ptr<UIGestureRecognizer>&,
        const std::shared_ptr<UITouch>&)
    {
        return true;
    }
};

class UIGestureRecognizer : public NSObject {
public:
    using Action = std::function<void(const std::shared_ptr<UIGestureRecognizer>&)>;
    enum class TouchKind { Tap, LongPress };

    explicit UIGestureRecognizer(Action action = {});
    std::string className() const override { return "UIGestureRecognizer"; }

    // Targets are actions; a target held weakly is written as a lambda over a weak_ptr.
    void addTarget(Action action) { actions_.push_back(std::move(action)); }
    void removeAllTargets() { actions_.clear(); }
    UIGestureRecognizerState state() const { return state_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
    bool delaysTouchesBegan() const { return delaysTouchesBegan_; }
    void setDelaysTouchesBegan(bool delays) { delaysTouchesBegan_ = delays; }
    void setDelegate(std::weak_ptr<UIGestureRecognizerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIGestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    // Where the last touch was, in `view`'s space (the window's for null).
    CGPoint locationInView(const UIView* view) const;

    // Test driver: moves to `state` and calls the targets (for every state but possible/failed).
    void fire(UIGestureRecognizerState state);

    // Used by UIView and UIWindow.
    void attachToView(const std::shared_ptr<UIView>& view) { view_ = view; }
    // Offers a touch; true when this recogniser recognised it.
    bool handleTouch(const std::shared_ptr<UITouch>& touch, TouchKind kind);

protected:
    virtual bool handlesKind(TouchKind kind) const = 0;
    // Goes through the states of a recognised gesture.
    virtual void recognize() = 0;

private:
    std::vector<Action> actions_;
    UIGestureRecognizerState state_ = UIGestureRecognizerStatePossible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    bool delaysTouchesBegan_ = false;
    std::weak_ptr<UIGestureRecognizerDelegate> delegate_;
    std::weak_ptr<UIView> view_;
    std::shared_ptr<UITouch> lastTouch_;
};

class UITapGestureRecognizer final : public UIGestureRecognizer {
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    static std::shared_ptr<UITapGestureRecognizer> create(Action action = {})
    {
        return std::make_shared<UITapGestureRecognizer>(std::move(action));
    }
    std::string className() const override { return "UITapGestureRecognizer"; }
    int numberOfTapsRequired() const { return taps_; }
    void setNumberOfTapsRequired(int taps) { taps_ = taps; }
    int numberOfTouchesRequired() const { return touches_; }
    void setNumberOfTouchesRequired(int touches) { touches_ = touches; }

protected:
    bool handlesKind(TouchKind kind) const override { return kind == TouchKind::Tap && taps_ <= 1 && touches_ <= 1; }
    void recognize() override { fire(UIGestureRecognizerStateEnded); }

private:
    int taps_ = 1;
    int touches_ = 1;
};

class UILongPressGestureRecognizer final : public UIGestureRecognizer {
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    static std::shared_ptr<UILongPressGestureRecognizer> create(Action action = {})
    {
        return std::make_shared<UILongPressGestureRecognizer>(std::move(action));
    }
    std::string className() const override { return "UILongPressGestureRecognizer"; }
    double minimumPressDuration() const { return duration_; }
    void setMinimumPressDuration(double seconds) { duration_ = seconds; }

protected:
    bool handlesKind(TouchKind kind) const override { return kind == TouchKind::LongPress; }
    void recognize() override
    {
        fire(UIGestureRecognizerStateBegan);
        fire(UIGestureRecognizerStateEnded);
    }

private:
    double duration_ = 0.5;
};
