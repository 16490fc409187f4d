// PGProgressHUD: an overlay covering its parent view that draws, centred in it, a rounded
// translucent box holding an indicator (spinner, pie, bar, ring or any view), a one-line label
// and a wrapping details label. It fades or zooms in and out, can wait before appearing
// (grace time), stay up for a minimum time, hide itself after a delay, remove itself from its
// parent, and run work in the background while it shows. Its properties may be set from any
// thread; it updates its views on the main thread.
//
// The class functions create and find HUDs of the class given as the template argument, so a
// subclass creates and finds its own kind (hideAllHUDsForView always matches every HUD).
// The application's short messages are the class functions at the end (PGProgressHUDAdd.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Text.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/KeyValueObserving.h"
#include "platform/threading/NSTimer.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

class PGProgressHUD;

// Which indicator the box shows.
using PGProgressHUDMode = std::int64_t;
inline constexpr PGProgressHUDMode PGProgressHUDModeSpinner = 0; // activity indicator
inline constexpr PGProgressHUDMode PGProgressHUDModePie = 1; // round progress view
inline constexpr PGProgressHUDMode PGProgressHUDModeBar = 2; // bar progress view
inline constexpr PGProgressHUDMode PGProgressHUDModeRing = 3; // round progress view, annular
inline constexpr PGProgressHUDMode PGProgressHUDModeCustomView = 4; // customView
inline constexpr PGProgressHUDMode PGProgressHUDModeText = 5; // no indicator

// How the HUD appears and goes.
using PGProgressHUDAnimation = std::int64_t;
inline constexpr PGProgressHUDAnimation PGProgressHUDAnimationFade = 0;
inline constexpr PGProgressHUDAnimation PGProgressHUDAnimationShrink = 1; // in from 1.5×, out to 0.5×
inline constexpr PGProgressHUDAnimation PGProgressHUDAnimationGrow = 2; // in from 0.5×, out to 1.5×

class PGProgressHUDDelegate {
public:
    virtual ~PGProgressHUDDelegate() = default;
    // Told when hiding completed (after the completion block ran).
    virtual void hudWasHidden(const std::shared_ptr<PGProgressHUD>&) { }
};

class PGProgressHUD : public UIView, public threading::KeyValueObservable {
public:
    using Block = std::function<void()>;
    // A selector sent to a target with one argument.
    using Selector = std::function<void(const NSObjectRef& target, const NSObjectRef& object)>;

    // Only the factories make a HUD: they add its labels and indicator and start the
    // observation it relies on. A subclass takes the token through its constructor.
    class Token {
        Token() = default;
        friend class PGProgressHUD;
    };

    // Creation. HUD may be a subclass of PGProgressHUD constructible from a token and a frame.
    template <class HUD = PGProgressHUD>
    static std::shared_ptr<HUD> initWithFrame(CGRect frame)
    {
        auto hud = std::make_shared<HUD>(Token {}, frame);
        static_cast<PGProgressHUD&>(*hud).setUp();
        return hud;
    }
    // Covers the view's bounds (a zero frame without a view).
    template <class HUD = PGProgressHUD>
    static std::shared_ptr<HUD> initWithView(const std::shared_ptr<UIView>& view)
    {
        return initWithFrame<HUD>(view ? view->bounds() : CGRectZero);
    }
    template <class HUD = PGProgressHUD>
    static std::shared_ptr<HUD> initWithWindow(const std::shared_ptr<UIView>& window)
    {
        return initWithView<HUD>(window);
    }

    // A new HUD on the view, topmost, removed from it when hidden, shown.
    template <class HUD = PGProgressHUD>
    static std::shared_ptr<HUD> showHUDAddedTo(const std::shared_ptr<UIView>& view, bool animated)
    {
        auto hud = initWithView<HUD>(view);
        hud->setRemoveFromSuperViewOnHide(true);
        if (view)
            view->addSubview(hud);
        hud->show(animated);
        return hud;
    }
    // The topmost subview of that class, or null.
    template <class HUD = PGProgressHUD>
    static std::shared_ptr<HUD> HUDForView(const std::shared_ptr<UIView>& view)
    {
        if (!view)
            return nullptr;
        const auto& subviews = view->subviews();
        for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
            if (auto hud = std::dynamic_pointer_cast<HUD>(*it))
                return hud;
        }
        return nullptr;
    }
    // Every subview of that class, in subview order.
    template <class HUD = PGProgressHUD>
    static std::vector<std::shared_ptr<HUD>> allHUDsForView(const std::shared_ptr<UIView>& view)
    {
        std::vector<std::shared_ptr<HUD>> huds;
        if (!view)
            return huds;
        for (const auto& subview : view->subviews()) {
            if (auto hud = std::dynamic_pointer_cast<HUD>(subview))
                huds.push_back(hud);
        }
        return huds;
    }
    // Hides (and removes) the topmost HUD of that class; false when there is none.
    template <class HUD = PGProgressHUD>
    static bool hideHUDForView(const std::shared_ptr<UIView>& view, bool animated)
    {
        auto hud = HUDForView<HUD>(view);
        if (!hud)
            return false;
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hide(animated);
        return true;
    }
    // Hides (and removes) every HUD on the view; returns how many there were.
    static NSUInteger hideAllHUDsForView(const std::shared_ptr<UIView>& view, bool animated);

    PGProgressHUD(Token, CGRect frame);
    ~PGProgressHUD() override;
    std::string className() const override { return "PGProgressHUD"; }

    // Showing and hiding (main thread).
    void show(bool animated);
    void hide(bool animated);
    void hideAfterDelay(bool animated, double delay);
    // Runs the selector on a thread of its own while the HUD shows; hides when it returns.
    void showWhileExecuting(Selector method, NSObjectRef target, NSObjectRef object, bool animated);
    // Runs the block on the queue (the default global queue when none) while the HUD shows;
    // hides when it returns, then runs the completion on the main thread.
    void showAnimated(bool animated, Block block, dispatch_queue_t queue, Block completion);
    void showAnimated(bool animated, Block block) { showAnimated(animated, std::move(block), nullptr, nullptr); }
    void showAnimated(bool animated, Block block, Block completion)
    {
        showAnimated(animated, std::move(block), nullptr, std::move(completion));
    }
    void showAnimated(bool animated, Block block, dispatch_queue_t queue)
    {
        showAnimated(animated, std::move(block), std::move(queue), nullptr);
    }

    // Properties; every accessor is atomic.
    PGProgressHUDMode mode() const { return read(mode_); }
    void setMode(PGProgressHUDMode mode) { writeObserved("mode", mode_, mode); }
    PGProgressHUDAnimation animationType() const { return read(animationType_); }
    void setAnimationType(PGProgressHUDAnimation type) { write(animationType_, type); }
    std::shared_ptr<UIView> customView() const { return read(customView_); }
    void setCustomView(std::shared_ptr<UIView> view) { writeObserved("customView", customView_, std::move(view)); }
    std::shared_ptr<PGProgressHUDDelegate> delegate() const { return read(delegate_).lock(); }
    void setDelegate(const std::shared_ptr<PGProgressHUDDelegate>& delegate) { write(delegate_, std::weak_ptr(delegate)); }
    std::string labelText() const { return read(labelText_); }
    void setLabelText(std::string text) { writeObserved("labelText", labelText_, std::move(text)); }
    std::string detailsLabelText() const { return read(detailsLabelText_); }
    void setDetailsLabelText(std::string text) { writeObserved("detailsLabelText", detailsLabelText_, std::move(text)); }
    float opacity() const { return read(opacity_); }
    void setOpacity(float opacity) { write(opacity_, opacity); }
    std::optional<UIColor> color() const { return read(color_); }
    void setColor(std::optional<UIColor> color) { write(color_, std::move(color)); }
    UIFont labelFont() const { return read(labelFont_); }
    void setLabelFont(UIFont font) { writeObserved("labelFont", labelFont_, std::move(font)); }
    UIColor labelColor() const { return read(labelColor_); }
    void setLabelColor(UIColor color) { writeObserved("labelColor", labelColor_, color); }
    UIFont detailsLabelFont() const { return read(detailsLabelFont_); }
    void setDetailsLabelFont(UIFont font) { writeObserved("detailsLabelFont", detailsLabelFont_, std::move(font)); }
    UIColor detailsLabelColor() const { return read(detailsLabelColor_); }
    void setDetailsLabelColor(UIColor color) { writeObserved("detailsLabelColor", detailsLabelColor_, color); }
    UIColor activityIndicatorColor() const { return read(activityIndicatorColor_); }
    void setActivityIndicatorColor(UIColor color) { writeObserved("activityIndicatorColor", activityIndicatorColor_, color); }
    float xOffset() const { return read(xOffset_); }
    void setXOffset(float offset) { write(xOffset_, offset); }
    float yOffset() const { return read(yOffset_); }
    void setYOffset(float offset) { write(yOffset_, offset); }
    float margin() const { return read(margin_); }
    void setMargin(float margin) { write(margin_, margin); }
    float cornerRadius() const { return read(cornerRadius_); }
    void setCornerRadius(float radius) { write(cornerRadius_, radius); }
    bool dimBackground() const { return read(dimBackground_); }
    void setDimBackground(bool dim) { write(dimBackground_, dim); }
    float graceTime() const { return read(graceTime_); }
    void setGraceTime(float seconds) { write(graceTime_, seconds); }
    float minShowTime() const { return read(minShowTime_); }
    void setMinShowTime(float seconds) { write(minShowTime_, seconds); }
    bool taskInProgress() const { return read(taskInProgress_); }
    void setTaskInProgress(bool running) { write(taskInProgress_, running); }
    bool removeFromSuperViewOnHide() const { return read(removeFromSuperViewOnHide_); }
    void setRemoveFromSuperViewOnHide(bool remove) { write(removeFromSuperViewOnHide_, remove); }
    float progress() const { return read(progress_); }
    void setProgress(float progress) { writeObserved("progress", progress_, progress); }
    CGSize minSize() const { return read(minSize_); }
    void setMinSize(CGSize size) { write(minSize_, size); }
    // The box size found by the last layout pass.
    CGSize size() const { return read(size_); }
    bool square() const { return read(square_); }
    void setSquare(bool square) { write(square_, square); }
    Block completionBlock() const { return read(completionBlock_); }
    void setCompletionBlock(Block block) { write(completionBlock_, std::move(block)); }
    std::shared_ptr<UIView> indicator() const { return read(indicator_); }
    std::shared_ptr<NSTimer> graceTimer() const { return read(graceTimer_); }
    std::shared_ptr<NSTimer> minShowTimer() const { return read(minShowTimer_); }
    // When the HUD last became visible (seconds since 1970); none while hiding or hidden.
    std::optional<double> showStarted() const { return read(showStarted_); }

    // The two label subviews.
    const std::shared_ptr<UILabel>& label() const { return label_; }
    const std::shared_ptr<UILabel>& detailsLabel() const { return detailsLabel_; }
    CGAffineTransform rotationTransform() const { return rotationTransform_; }

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    void didMoveToSuperview() override;

    // The application's short messages (main thread). A null view means the key window.
    // A text with the icon "PGProgressHUD.bundle/<icon>" that hides itself after 0.7 s.
    static void show(const std::string& text, const std::string& icon, const std::shared_ptr<UIView>& view);
    static void showError(const std::string& text, const std::shared_ptr<UIView>& view);
    static void showSuccess(const std::string& text, const std::shared_ptr<UIView>& view);
    // A text under the spinner over a dimmed view; it stays until the caller removes it.
    static std::shared_ptr<PGProgressHUD> showMessag(const std::string& text, const std::shared_ptr<UIView>& view);

protected:
    // Second phase of creation: labels, indicator, observation of the HUD's own properties
    // and of the status-bar orientation.
    void setUp();

private:
    template <class T>
    T read(const T& field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }
    template <class T>
    void write(T& field, T value)
    {
        std::lock_guard lock(mutex_);
        field = std::move(value);
    }
    template <class T>
    void writeObserved(const char* key, T& field, T value)
    {
        willChangeValueForKey(key);
        write(field, std::move(value));
        didChangeValueForKey(key);
    }
    std::shared_ptr<PGProgressHUD> sharedHUD() { return sharedAs<PGProgressHUD>(); }
    const void* requestKey() const { return static_cast<const void*>(this); }

    void setUpLabels();
    void observeOwnProperties();
    void propertyDidChange(const std::string& key);
    void updateIndicators();
    void replaceIndicator(std::shared_ptr<UIView> indicator);
    void setTimer(std::shared_ptr<NSTimer>& field, std::shared_ptr<NSTimer> timer);

    void handleGraceTimer();
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void done();
    void cleanUp();

    void statusBarOrientationDidChange(const std::shared_ptr<NSNotification>& notification);
    void setTransformForCurrentOrientation(bool animated);

    mutable std::mutex mutex_;
    PGProgressHUDMode mode_ = PGProgressHUDModeSpinner;
    PGProgressHUDAnimation animationType_ = PGProgressHUDAnimationFade;
    std::shared_ptr<UIView> customView_;
    std::weak_ptr<PGProgressHUDDelegate> delegate_;
    std::string labelText_;
    std::string detailsLabelText_;
    float opacity_ = 0.8f;
    std::optional<UIColor> color_;
    UIFont labelFont_ = UIFont::boldSystemFontOfSize(16);
    UIColor labelColor_ = UIColor::whiteColor();
    UIFont detailsLabelFont_ = UIFont::boldSystemFontOfSize(12);
    UIColor detailsLabelColor_ = UIColor::whiteColor();
    UIColor activityIndicatorColor_ = UIColor::whiteColor();
    float xOffset_ = 0;
    float yOffset_ = 0;
    float margin_ = 20;
    float cornerRadius_ = 10;
    bool dimBackground_ = false;
    float graceTime_ = 0;
    float minShowTime_ = 0;
    bool taskInProgress_ = false;
    bool removeFromSuperViewOnHide_ = false;
    float progress_ = 0;
    CGSize minSize_ = CGSizeZero;
    CGSize size_ = CGSizeZero;
    bool square_ = false;
    Block completionBlock_;
    std::shared_ptr<UIView> indicator_;
    std::shared_ptr<NSTimer> graceTimer_;
    std::shared_ptr<NSTimer> minShowTimer_;
    std::optional<double> showStarted_;

    // Main-thread state.
    bool useAnimation_ = false;
    std::uint64_t showCount_ = 0; // a fade-out that a later show overtook does not finish
    NSObjectRef targetForExecution_;
    NSObjectRef objectForExecution_;
    std::shared_ptr<UILabel> label_;
    std::shared_ptr<UILabel> detailsLabel_;
    CGAffineTransform rotationTransform_ = CGAffineTransformIdentity;
    std::vector<threading::Observation> observations_;
};
