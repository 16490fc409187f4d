// UIView: geometry (center, bounds and transform; the frame is derived), the ordered view
// tree, conversion of points and rectangles between views, hit testing, layout and display
// passes, drawing into a context, its layer's corner radius and border, gesture recognisers,
// and the animation class functions (see UIViewAnimation.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSString.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/UIImage.h"
#include "platform/uikit/UIResponder.h"

class UIView;
class UIWindow;
class UIViewController;
class UIGestureRecognizer;

enum UIViewContentMode : int {
    UIViewContentModeScaleToFill = 0,
    UIViewContentModeScaleAspectFit = 1,
    UIViewContentModeScaleAspectFill = 2,
    UIViewContentModeRedraw = 3,
    UIViewContentModeCenter = 4,
    UIViewContentModeTop = 5,
    UIViewContentModeBottom = 6,
    UIViewContentModeLeft = 7,
    UIViewContentModeRight = 8,
    UIViewContentModeTopLeft = 9,
    UIViewContentModeTopRight = 10,
    UIViewContentModeBottomLeft = 11,
    UIViewContentModeBottomRight = 12,
};

using UIViewAutoresizing = std::uint32_t;
inline constexpr UIViewAutoresizing UIViewAutoresizingNone = 0;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleLeftMargin = 1 << 0;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleWidth = 1 << 1;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleRightMargin = 1 << 2;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleTopMargin = 1 << 3;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleHeight = 1 << 4;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleBottomMargin = 1 << 5;

using UIViewAnimationOptions = std::uint32_t;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionLayoutSubviews = 1 << 0;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionAllowUserInteraction = 1 << 1;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionBeginFromCurrentState = 1 << 2;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseInOut = 0 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseIn = 1 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseOut = 2 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveLinear = 3 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionCrossDissolve = 5 << 20;

enum UIViewAnimationCurve : int {
    UIViewAnimationCurveEaseInOut = 0,
    UIViewAnimationCurveEaseIn = 1,
    UIViewAnimationCurveEaseOut = 2,
    UIViewAnimationCurveLinear = 3,
};

// The drawing layer of a view: corner radius, border, masking and shadow settings.
class CALayer final : public NSObject {
public:
    explicit CALayer(UIView* view) : view_(view) { }
    CGFloat cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(CGFloat radius);
    CGFloat borderWidth() const { return borderWidth_; }
    void setBorderWidth(CGFloat width);
    const CGColor& borderColor() const { return borderColor_; }
    void setBorderColor(const CGColor& color);
    bool masksToBounds() const;
    void setMasksToBounds(bool masks);
    float shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(float opacity) { shadowOpacity_ = opacity; }
    CGSize shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(CGSize offset) { shadowOffset_ = offset; }
    CGFloat shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(CGFloat radius) { shadowRadius_ = radius; }
    const CGColor& shadowColor() const { return shadowColor_; }
    void setShadowColor(const CGColor& color) { shadowColor_ = color; }
    // Ends the view's running animations (their completions get finished = NO).
    void removeAllAnimations();
    std::string className() const override { return "CALayer"; }

private:
    UIView* view_;
    CGFloat cornerRadius_ = 0;
    CGFloat borderWidth_ = 0;
    CGColor borderColor_ = CGColorCreateGenericGray(0, 1);
    float shadowOpacity_ = 0;
    CGSize shadowOffset_ { 0, -3 };
    CGFloat shadowRadius_ = 3;
    CGColor shadowColor_ = CGColorCreateGenericGray(0, 1);
};

class UIView : public UIResponder {
public:
    explicit UIView(CGRect frame = CGRectZero);
    ~UIView() override;
    static std::shared_ptr<UIView> create(CGRect frame = CGRectZero) { return std::make_shared<UIView>(frame); }
    std::string className() const override { return "UIView"; }
    std::shared_ptr<UIView> selfView() { return sharedAs<UIView>(); }

    // Geometry.
    CGRect frame() const;
    virtual void setFrame(CGRect frame);
    CGRect bounds() const { return bounds_; }
    virtual void setBounds(CGRect bounds);
    CGPoint center() const { return center_; }
    void setCenter(CGPoint center);
    CGAffineTransform transform() const { return transform_; }
    void setTransform(CGAffineTransform transform);

    // Appearance.
    CGFloat alpha() const { return alpha_; }
    void setAlpha(CGFloat alpha);
    bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(std::optional<UIColor> color);
    // The tint colour: set here or inherited from the superview (the system blue at the root).
    UIColor tintColor() const;
    virtual void setTintColor(std::optional<UIColor> color);
    // Called on a view whose tint colour changed: set on it or an ancestor, or inherited anew
    // after a move to another superview.
    virtual void tintColorDidChange() { }
    bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool clips);
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode mode);
    const std::shared_ptr<CALayer>& layer() const { return layer_; }

    // Interaction and identity.
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    NSInteger tag() const { return tag_; }
    void setTag(NSInteger tag) { tag_ = tag; }
    bool isExclusiveTouch() const { return exclusiveTouch_; }
    void setExclusiveTouch(bool exclusive) { exclusiveTouch_ = exclusive; }
    bool isMultipleTouchEnabled() const { return multipleTouch_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouch_ = enabled; }
    UIViewAutoresizing autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(UIViewAutoresizing mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }

    // The tree. Adding a view that has another superview moves it; removing a view that has
    // no superview does nothing.
    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    std::shared_ptr<UIWindow> window() const;
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubviewAtIndex(const std::shared_ptr<UIView>& view, NSInteger index);
    void insertSubviewBelowSubview(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling);
    void insertSubviewAboveSubview(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling);
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void sendSubviewToBack(const std::shared_ptr<UIView>& view);
    void exchangeSubviewAtIndex(NSInteger first, NSInteger second);
    void removeFromSuperview();
    bool isDescendantOfView(const UIView* view) const;
    // Depth-first, this view first; null when none has the tag.
    std::shared_ptr<UIView> viewWithTag(NSInteger tag);

    // Hooks for subclasses.
    virtual void willMoveToSuperview(const std::shared_ptr<UIView>&) { }
    virtual void didMoveToSuperview() { }
    virtual void willMoveToWindow(const std::shared_ptr<UIWindow>&) { }
    virtual void didMoveToWindow() { }
    virtual void didAddSubview(const std::shared_ptr<UIView>&) { }
    virtual void willRemoveSubview(const std::shared_ptr<UIView>&) { }

    // Conversion. A null view means the window (or, outside any window, the root of this tree).
    CGPoint convertPointToView(CGPoint point, const UIView* view) const;
    CGPoint convertPointFromView(CGPoint point, const UIView* view) const;
    CGRect convertRectToView(CGRect rect, const UIView* view) const;
    CGRect convertRectFromView(CGRect rect, const UIView* view) const;
    CGPoint convertPointToSuperview(CGPoint point) const;
    CGPoint convertPointFromSuperview(CGPoint point) const;

    // Hit testing: hidden views, views with alpha below 0.01 and views without interaction are
    // skipped; the frontmost subview containing the point wins. `point` is in this view's space.
    virtual std::shared_ptr<UIView> hitTest(CGPoint point);
    virtual bool pointInside(CGPoint point) const;

    // Layout.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // Lays out this view and then its subviews, where marked.
    void layoutIfNeeded();
    virtual void layoutSubviews() { }
    virtual CGSize sizeThatFits(CGSize size) const;
    void sizeToFit();

    // Display: a marked view in a window is drawn (drawRect:) in the display pass after layout;
    // what it draws is kept and composited in snapshots.
    void setNeedsDisplay();
    void setNeedsDisplayInRect(CGRect) { setNeedsDisplay(); }
    bool needsDisplay() const { return needsDisplay_; }
    void displayIfNeeded();
    // Draws the view's own content with the current context (UIGraphicsGetCurrentContext),
    // in the view's bounds space. The base draws nothing.
    virtual void drawRect(CGRect rect);
    // Draws this view and its subviews as they appear on screen into `context`, whose CTM maps
    // this view's superview space (its frame space).
    void renderInContext(const CGContextRef& context);

    // Editing: resigns the first responder when it is this view or inside it.
    bool endEditing(bool force);

    // Gesture recognisers; adding one that is already there does nothing.
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

    // The chain: the controller of a root view, else the superview.
    std::shared_ptr<UIResponder> nextResponder() const override;
    std::shared_ptr<UIWindow> responderWindow() const override { return window(); }
    // Set by a controller for its root view.
    void setViewController(const std::shared_ptr<UIViewController>& controller) { controller_ = controller; }
    std::shared_ptr<UIViewController> viewController() const { return controller_.lock(); }

    // A tap delivered to this view by the window (point in this view's space). The base passes
    // it up to the superview; controls, cells and text inputs act on it.
    virtual void handleTap(CGPoint point);
    // The text shown by this view in tree dumps (label text, button title, field text).
    virtual std::string dumpText() const { return ""; }

    // Animations (implemented in UIViewAnimation.cpp). Inside the animations block, property
    // changes take their final values at once; the completion runs on the main loop when the
    // delay and duration have passed on the platform clock, with finished = NO when a later
    // animation took over every property it animated or its layer's animations were removed.
    using Completion = std::function<void(bool finished)>;
    static void animateWithDuration(double duration, std::function<void()> animations, Completion completion = {});
    static void animateWithDuration(double duration, double delay, UIViewAnimationOptions options,
        std::function<void()> animations, Completion completion);
    static void animateWithDuration(double duration, double delay, double dampingRatio, double velocity,
        UIViewAnimationOptions options, std::function<void()> animations, Completion completion);
    static void transitionWithView(const std::shared_ptr<UIView>& view, double duration,
        UIViewAnimationOptions options, std::function<void()> animations, Completion completion);
    static void performWithoutAnimation(const std::function<void()>& actions);
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    // The begin/commit form; the did-stop callback stands for the delegate and its selector.
    using DidStop = std::function<void(const std::string& animationID, bool finished, void* context)>;
    static void beginAnimations(const std::string& animationID, void* context);
    static void setAnimationDuration(double duration);
    static void setAnimationDelay(double delay);
    static void setAnimationCurve(UIViewAnimationCurve curve);
    static void setAnimationBeginsFromCurrentState(bool fromCurrentState);
    static void setAnimationDidStopCallback(DidStop callback);
    static void commitAnimations();

protected:
    // Called when the bounds size changed (after subviews were autoresized).
    virtual void boundsSizeDidChange(CGSize) { }
    std::shared_ptr<UIView> shared() { return sharedAs<UIView>(); }
    // The tint set on this view itself, if any.
    const std::optional<UIColor>& ownTintColor() const { return tintColor_; }

private:
    friend class CALayer;
    void insertSubview(const std::shared_ptr<UIView>& view, std::size_t index);
    void detachFromSuperview(bool notify);
    void propagateWindowChange(const std::shared_ptr<UIWindow>& newWindow, bool before);
    // Tells this view and the subviews that inherit its tint, when the tint differs from `before`.
    void notifyTintChange(const UIColor& before);
    void propagateTintChange();
    void autoresizeSubviews(CGSize oldSize);
    void drawOwnContent(const CGContextRef& context);
    void renderSubtree(const CGContextRef& context);
    const UIView* rootView() const;

    CGPoint center_;
    CGRect bounds_;
    CGAffineTransform transform_ = CGAffineTransformIdentity;
    CGFloat alpha_ = 1;
    bool hidden_ = false;
    bool opaque_ = true;
    bool clipsToBounds_ = false;
    bool userInteractionEnabled_ = true;
    bool exclusiveTouch_ = false;
    bool multipleTouch_ = false;
    bool autoresizesSubviews_ = true;
    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    bool baseDrawRan_ = false;
    NSInteger tag_ = 0;
    UIViewAutoresizing autoresizingMask_ = UIViewAutoresizingNone;
    UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
    std::optional<UIColor> backgroundColor_;
    std::optional<UIColor> tintColor_;
    std::shared_ptr<CALayer> layer_;
    std::weak_ptr<UIView> superview_;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::weak_ptr<UIViewController> controller_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
    UIImageRef contents_; // what drawRect drew in the last display pass
};

namespace uikit {
// Records that a view property changed, for the animation in progress (if any).
void noteAnimatedChange(UIView* view, const char* key);
// The default tint: the system blue.
UIColor systemTintColor();
}
