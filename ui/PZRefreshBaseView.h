// PZRefreshBaseView: the common base of the pull-down header and the pull-up footer. A strip
// 64 points high inside a scroll view that shows an arrow, a spinner and a status label, runs
// the refresh state machine and tells its owner when refreshing begins. Subclasses follow the
// scroll view through observeValueForKeyPath and extend setState, calling the base first.
// Create views through the subclasses' factories (creation runs setState, which is virtual).
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/threading/KeyValueObserving.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScrollView.h"

// The refresh states.
using PZRefreshState = std::int32_t;
inline constexpr PZRefreshState PZRefreshStatePulling = 1; // releasing now starts a refresh
inline constexpr PZRefreshState PZRefreshStateNormal = 2; // idle
inline constexpr PZRefreshState PZRefreshStateRefreshing = 3;
inline constexpr PZRefreshState PZRefreshStateWillRefreshing = 4; // asked for outside a window

inline constexpr CGFloat PZRefreshViewHeight = 64;

class PZRefreshBaseView : public UIView, public NSKeyValueObserving {
public:
    using Callback = std::function<void()>;
    // The action sent to the target, with the refresh view as its argument.
    using Action = std::function<void(const NSObjectRef& target, const std::shared_ptr<PZRefreshBaseView>& view)>;

    // A base view on its own (the subclasses have factories of their own).
    static std::shared_ptr<PZRefreshBaseView> initWithFrame(CGRect frame);

    // The frame's height is replaced by 64. Use a factory: it finishes the set-up.
    explicit PZRefreshBaseView(CGRect frame);
    ~PZRefreshBaseView() override;
    std::string className() const override { return "PZRefreshBaseView"; }

    // The scroll view the view was last added to, kept after the view is taken out of it.
    std::shared_ptr<UIScrollView> scrollView() const { return scrollView_.lock(); }
    UIEdgeInsets scrollViewOriginalInset() const { return scrollViewOriginalInset_; }

    // Made on first use (and again after the view hierarchy let go of them).
    std::shared_ptr<UILabel> statusLabel();
    std::shared_ptr<UIImageView> arrowImage();
    std::shared_ptr<UIActivityIndicatorView> activityView();

    NSObjectRef beginRefreshingTaget() const { return target_.lock(); }
    void setBeginRefreshingTaget(const NSObjectRef& target) { target_ = target; }
    const Action& beginRefreshingAction() const { return action_; }
    void setBeginRefreshingAction(Action action) { action_ = std::move(action); }
    const Callback& beginRefreshingCallback() const { return callback_; }
    void setBeginRefreshingCallback(Callback callback) { callback_ = std::move(callback); }

    PZRefreshState state() const { return state_; }
    virtual void setState(PZRefreshState state);
    bool isRefreshing() const { return state_ == PZRefreshStateRefreshing; }

    const std::string& pullToRefreshText() const { return pullText_; }
    void setPullToRefreshText(const std::string& text);
    const std::string& releaseToRefreshText() const { return releaseText_; }
    void setReleaseToRefreshText(const std::string& text);
    const std::string& refreshingText() const { return refreshingText_; }
    void setRefreshingText(const std::string& text);
    // Shows the text of the current state (states 1 to 3; others leave the label).
    void settingLabelText();

    void beginRefreshing();
    // Ends the refresh 0.3 seconds later; further ends before the refresh is over are ignored.
    void endRefreshing();

    void layoutSubviews() override;
    void willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview) override;
    void drawRect(CGRect rect) override;
    // The base observes nothing by itself; subclasses react to the scroll view here.
    void observeValueForKeyPath(const std::string&, NSObject*, const Value&, void*) override { }

protected:
    // The second phase of creation: autoresizing, background and state 2.
    virtual void setUp();
    // The base's part of setState; false when nothing changed (same state, or a change the
    // base ignores), in which case the subclass does nothing either.
    bool applyBaseState(PZRefreshState state);

private:
    void tellOwner();
    void finishEnding();

    std::weak_ptr<UIScrollView> scrollView_;
    UIEdgeInsets scrollViewOriginalInset_ {};
    std::weak_ptr<UILabel> statusLabel_;
    std::weak_ptr<UIImageView> arrowImage_;
    std::weak_ptr<UIActivityIndicatorView> activityView_;
    std::weak_ptr<NSObject> target_;
    Action action_;
    Callback callback_;
    PZRefreshState state_ = 0;
    std::string pullText_;
    std::string releaseText_;
    std::string refreshingText_;
    bool enteringRefresh_ = false; // the owner is being told that refreshing begins
    bool endScheduled_ = false; // endRefreshing's delayed step has not run yet
    bool ending_ = false; // the refresh is winding down (state still 3)
};
