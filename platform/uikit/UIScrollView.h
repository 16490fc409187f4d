// UIScrollView: content offset (its bounds origin), content size and insets, paging and the
// dragging state, with observation of "contentOffset" and "contentSize" and a delegate.
// simulateDrag is the test driver for a finger dragging the content.
#pragma once

#include "platform/threading/KeyValueObserving.h"
#include "platform/uikit/UIView.h"

class UIScrollView;

class UIScrollViewDelegate {
public:
    virtual ~UIScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(const std::shared_ptr<UIScrollView>&) { }
    virtual void scrollViewWillBeginDragging(const std::shared_ptr<UIScrollView>&) { }
    virtual void scrollViewDidEndDragging(const std::shared_ptr<UIScrollView>&, bool /*willDecelerate*/) { }
    virtual void scrollViewWillBeginDecelerating(const std::shared_ptr<UIScrollView>&) { }
    virtual void scrollViewDidEndDecelerating(const std::shared_ptr<UIScrollView>&) { }
    virtual void scrollViewDidEndScrollingAnimation(const std::shared_ptr<UIScrollView>&) { }
};

enum UIScrollViewKeyboardDismissMode : int {
    UIScrollViewKeyboardDismissModeNone = 0,
    UIScrollViewKeyboardDismissModeOnDrag = 1,
    UIScrollViewKeyboardDismissModeInteractive = 2,
};

class UIScrollView : public UIView, public threading::KeyValueObservable {
public:
    explicit UIScrollView(CGRect frame = CGRectZero);
    static std::shared_ptr<UIScrollView> create(CGRect frame = CGRectZero) { return std::make_shared<UIScrollView>(frame); }
    std::string className() const override { return "UIScrollView"; }

    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset);
    // Animated: the offset is set at once and the delegate hears that the scrolling animation
    // ended on the main loop's next turn.
    void setContentOffset(CGPoint offset, bool animated);
    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size);
    UIEdgeInsets contentInset() const { return contentInset_; }
    // When the content rests at its top-left edge (offset -left, -top of the old inset), the
    // offset follows to the new inset's edge.
    void setContentInset(UIEdgeInsets insets);
    UIEdgeInsets scrollIndicatorInsets() const { return indicatorInsets_; }
    void setScrollIndicatorInsets(UIEdgeInsets insets) { indicatorInsets_ = insets; }
    void scrollRectToVisible(CGRect rect, bool animated);

    void setDelegate(std::weak_ptr<UIScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIScrollViewDelegate> delegate() const { return delegate_.lock(); }

    bool isPagingEnabled() const { return paging_; }
    void setPagingEnabled(bool paging) { paging_ = paging; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    bool alwaysBounceVertical() const { return bounceV_; }
    void setAlwaysBounceVertical(bool b) { bounceV_ = b; }
    bool alwaysBounceHorizontal() const { return bounceH_; }
    void setAlwaysBounceHorizontal(bool b) { bounceH_ = b; }
    bool showsVerticalScrollIndicator() const { return showsV_; }
    void setShowsVerticalScrollIndicator(bool shows) { showsV_ = shows; }
    bool showsHorizontalScrollIndicator() const { return showsH_; }
    void setShowsHorizontalScrollIndicator(bool shows) { showsH_ = shows; }
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool s) { scrollsToTop_ = s; }
    UIScrollViewKeyboardDismissMode keyboardDismissMode() const { return dismissMode_; }
    void setKeyboardDismissMode(UIScrollViewKeyboardDismissMode mode) { dismissMode_ = mode; }

    bool isDragging() const { return dragging_; }
    bool isTracking() const { return tracking_; }
    bool isDecelerating() const { return decelerating_; }
    // Test seams: the dragging flag alone, and a whole drag by a finger translation. After the
    // release the offset is kept inside the content (and snapped to a page when paging).
    void setDragging(bool dragging) { dragging_ = dragging; tracking_ = dragging; }
    void simulateDrag(CGPoint translation);

    Value valueForKey(const std::string& key) const override;

protected:
    virtual void didScroll();

private:
    CGPoint clampedOffset(CGPoint offset) const;
    CGSize contentSize_;
    UIEdgeInsets contentInset_;
    UIEdgeInsets indicatorInsets_;
    std::weak_ptr<UIScrollViewDelegate> delegate_;
    bool paging_ = false;
    bool scrollEnabled_ = true;
    bool bounces_ = true;
    bool bounceV_ = false;
    bool bounceH_ = false;
    bool showsV_ = true;
    bool showsH_ = true;
    bool scrollsToTop_ = true;
    bool dragging_ = false;
    bool tracking_ = false;
    bool decelerating_ = false;
    UIScrollViewKeyboardDismissMode dismissMode_ = UIScrollViewKeyboardDismissModeNone;
};
