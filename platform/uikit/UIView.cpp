// UIView geometry, tree, conversion, hit testing and layout.
#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/AssociatedValue.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace uikit {
UIColor systemTintColor()
{
    return UIColor::colorWithRed(0, 122 / 255.0, 1, 1);
}
}

void CALayer::setCornerRadius(CGFloat radius)
{
    cornerRadius_ = radius;
    if (view_)
        view_->setNeedsDisplay();
}

void CALayer::setBorderWidth(CGFloat width)
{
    borderWidth_ = width;
    if (view_)
        view_->setNeedsDisplay();
}

void CALayer::setBorderColor(const CGColor& color)
{
    borderColor_ = color;
    if (view_)
        view_->setNeedsDisplay();
}

bool CALayer::masksToBounds() const
{
    return view_ && view_->clipsToBounds();
}

void CALayer::setMasksToBounds(bool masks)
{
    if (view_)
        view_->setClipsToBounds(masks);
}

UIView::UIView(CGRect frame)
    : layer_(std::make_shared<CALayer>(this))
{
    CGRect r = CGRectStandardize(frame);
    bounds_ = { {}, r.size };
    center_ = { r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2 };
}

UIView::~UIView()
{
    uikit::associations::forgetOwner(this);
    for (auto& sub : subviews_)
        sub->superview_.reset();
}

CGRect UIView::frame() const
{
    CGRect local { { -bounds_.size.width / 2, -bounds_.size.height / 2 }, bounds_.size };
    CGRect r = CGAffineTransformIsIdentity(transform_) ? local : CGRectApplyAffineTransform(local, transform_);
    return CGRectOffset(r, center_.x, center_.y);
}

void UIView::setFrame(CGRect frame)
{
    CGRect r = CGRectStandardize(frame);
    uikit::noteAnimatedChange(this, "frame");
    center_ = { r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2 };
    if (CGAffineTransformIsIdentity(transform_))
        setBounds({ bounds_.origin, r.size });
}

void UIView::setBounds(CGRect bounds)
{
    uikit::noteAnimatedChange(this, "bounds");
    CGSize old = bounds_.size;
    bool originChanged = !(bounds.origin == bounds_.origin);
    bounds_ = bounds;
    if (old == bounds.size) {
        if (originChanged)
            setNeedsLayout();
        return;
    }
    if (autoresizesSubviews_)
        autoresizeSubviews(old);
    setNeedsLayout();
    if (contentMode_ == UIViewContentModeRedraw || contents_)
        setNeedsDisplay();
    boundsSizeDidChange(old);
}

void UIView::setCenter(CGPoint center)
{
    uikit::noteAnimatedChange(this, "center");
    center_ = center;
}

void UIView::setTransform(CGAffineTransform transform)
{
    uikit::noteAnimatedChange(this, "transform");
    transform_ = transform;
}

void UIView::setAlpha(CGFloat alpha)
{
    uikit::noteAnimatedChange(this, "alpha");
    alpha_ = std::clamp(alpha, 0.0, 1.0);
}

void UIView::setHidden(bool hidden)
{
    hidden_ = hidden;
}

void UIView::setBackgroundColor(std::optional<UIColor> color)
{
    uikit::noteAnimatedChange(this, "backgroundColor");
    backgroundColor_ = std::move(color);
}

UIColor UIView::tintColor() const
{
    for (const UIView* v = this; v; v = v->superview_.lock().get()) {
        if (v->tintColor_)
            return *v->tintColor_;
    }
    return uikit::systemTintColor();
}

void UIView::setTintColor(std::optional<UIColor> color)
{
    UIColor before = tintColor();
    tintColor_ = std::move(color);
    setNeedsDisplay();
    notifyTintChange(before);
}

void UIView::notifyTintChange(const UIColor& before)
{
    if (tintColor() == before)
        return;
    propagateTintChange();
}

void UIView::propagateTintChange()
{
    tintColorDidChange();
    auto subviews = subviews_; // a hook may change the tree
    for (auto& sub : subviews) {
        if (!sub->tintColor_)
            sub->propagateTintChange();
    }
}

void UIView::setClipsToBounds(bool clips)
{
    clipsToBounds_ = clips;
}

void UIView::setContentMode(UIViewContentMode mode)
{
    contentMode_ = mode;
    setNeedsDisplay();
}

// ---- tree ----

std::shared_ptr<UIWindow> UIView::window() const
{
    const UIView* root = rootView();
    auto* window = dynamic_cast<const UIWindow*>(root);
    if (!window)
        return nullptr;
    return std::const_pointer_cast<UIWindow>(std::static_pointer_cast<const UIWindow>(window->shared_from_this()));
}

const UIView* UIView::rootView() const
{
    const UIView* v = this;
    while (auto parent = v->superview_.lock())
        v = parent.get();
    return v;
}

void UIView::addSubview(const std::shared_ptr<UIView>& view)
{
    if (!view)
        return;
    insertSubview(view, view->superview_.lock().get() == this ? subviews_.size() - 1 : subviews_.size());
}

void UIView::insertSubviewAtIndex(const std::shared_ptr<UIView>& view, NSInteger index)
{
    if (!view)
        return;
    std::size_t max = subviews_.size() - (view->superview_.lock().get() == this ? 1 : 0);
    insertSubview(view, static_cast<std::size_t>(std::clamp<NSInteger>(index, 0, static_cast<NSInteger>(max))));
}

void UIView::insertSubviewBelowSubview(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling)
{
    if (!view)
        return;
    if (view->superview_.lock().get() == this)
        detachFromSuperview(false);
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    insertSubview(view, it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()));
}

void UIView::insertSubviewAboveSubview(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling)
{
    if (!view)
        return;
    if (view->superview_.lock().get() == this)
        view->detachFromSuperview(false);
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    insertSubview(view, it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()) + 1);
}

void UIView::insertSubview(const std::shared_ptr<UIView>& view, std::size_t index)
{
    if (view.get() == this)
        return;
    auto self = shared();
    auto oldParent = view->superview_.lock();
    if (oldParent.get() == this) {
        // A reorder within the same parent: no move notifications.
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        subviews_.erase(it);
        subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), view);
        setNeedsDisplay();
        return;
    }
    auto newWindow = window();
    bool windowChanges = view->window() != newWindow;
    UIColor tintBefore = view->tintColor();
    view->willMoveToSuperview(self);
    if (windowChanges)
        view->propagateWindowChange(newWindow, true);
    if (oldParent) {
        oldParent->willRemoveSubview(view);
        auto& siblings = oldParent->subviews_;
        siblings.erase(std::find(siblings.begin(), siblings.end(), view));
    }
    view->superview_ = self;
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), view);
    view->didMoveToSuperview();
    if (windowChanges)
        view->propagateWindowChange(newWindow, false);
    view->notifyTintChange(tintBefore);
    didAddSubview(view);
    view->setNeedsLayout();
    view->setNeedsDisplay();
}

void UIView::propagateWindowChange(const std::shared_ptr<UIWindow>& newWindow, bool before)
{
    auto keep = shared();
    if (before) {
        willMoveToWindow(newWindow);
        if (!newWindow) {
            if (auto w = window(); w && w->firstResponder()) {
                auto fr = std::dynamic_pointer_cast<UIView>(w->firstResponder());
                if (fr && (fr.get() == this || fr->isDescendantOfView(this)))
                    fr->resignFirstResponder();
            }
        }
    } else {
        didMoveToWindow();
    }
    auto children = subviews_;
    for (auto& sub : children)
        sub->propagateWindowChange(newWindow, before);
}

void UIView::removeFromSuperview()
{
    detachFromSuperview(true);
}

void UIView::detachFromSuperview(bool notify)
{
    auto parent = superview_.lock();
    if (!parent)
        return;
    auto keep = shared();
    bool hadWindow = notify && window() != nullptr;
    UIColor tintBefore = tintColor();
    if (notify) {
        willMoveToSuperview(nullptr);
        if (hadWindow)
            propagateWindowChange(nullptr, true);
        parent->willRemoveSubview(keep);
    }
    auto& siblings = parent->subviews_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), keep));
    superview_.reset();
    if (notify) {
        didMoveToSuperview();
        if (hadWindow)
            propagateWindowChange(nullptr, false);
        notifyTintChange(tintBefore);
    }
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view)
{
    if (view && view->superview_.lock().get() == this)
        insertSubview(view, subviews_.size());
}

void UIView::sendSubviewToBack(const std::shared_ptr<UIView>& view)
{
    if (view && view->superview_.lock().get() == this)
        insertSubview(view, 0);
}

void UIView::exchangeSubviewAtIndex(NSInteger first, NSInteger second)
{
    auto n = static_cast<NSInteger>(subviews_.size());
    if (first < 0 || second < 0 || first >= n || second >= n)
        return;
    std::swap(subviews_[static_cast<std::size_t>(first)], subviews_[static_cast<std::size_t>(second)]);
}

bool UIView::isDescendantOfView(const UIView* view) const
{
    for (const UIView* v = this; v; v = v->superview_.lock().get()) {
        if (v == view)
            return true;
    }
    return false;
}

std::shared_ptr<UIView> UIView::viewWithTag(NSInteger tag)
{
    if (tag_ == tag)
        return shared();
    for (auto& sub : subviews_) {
        if (auto found = sub->viewWithTag(tag))
            return found;
    }
    return nullptr;
}

void UIView::autoresizeSubviews(CGSize oldSize)
{
    double dw = bounds_.size.width - oldSize.width;
    double dh = bounds_.size.height - oldSize.height;
    // Distributes a change among the flexible parts of one axis, in proportion to their sizes.
    auto distribute = [](double delta, double& lead, double& size, double trail, bool fl, bool fs, bool ft) {
        double total = (fl ? lead : 0) + (fs ? size : 0) + (ft ? trail : 0);
        int count = int(fl) + int(fs) + int(ft);
        if (count == 0)
            return;
        double leadShare = fl ? (total > 0 ? lead / total : 1.0 / count) : 0;
        double sizeShare = fs ? (total > 0 ? size / total : 1.0 / count) : 0;
        lead += delta * leadShare;
        size += delta * sizeShare;
    };
    for (auto& sub : subviews_) {
        auto m = sub->autoresizingMask_;
        if (m == UIViewAutoresizingNone)
            continue;
        CGRect f = sub->frame();
        double x = f.origin.x, w = f.size.width, y = f.origin.y, h = f.size.height;
        distribute(dw, x, w, oldSize.width - x - w, m & UIViewAutoresizingFlexibleLeftMargin,
            m & UIViewAutoresizingFlexibleWidth, m & UIViewAutoresizingFlexibleRightMargin);
        distribute(dh, y, h, oldSize.height - y - h, m & UIViewAutoresizingFlexibleTopMargin,
            m & UIViewAutoresizingFlexibleHeight, m & UIViewAutoresizingFlexibleBottomMargin);
        sub->setFrame({ { x, y }, { std::max(0.0, w), std::max(0.0, h) } });
    }
}

// ---- conversion ----

CGPoint UIView::convertPointToSuperview(CGPoint p) const
{
    CGPoint q { p.x - bounds_.origin.x - bounds_.size.width / 2, p.y - bounds_.origin.y - bounds_.size.height / 2 };
    q = CGPointApplyAffineTransform(q, transform_);
    return { q.x + center_.x, q.y + center_.y };
}

CGPoint UIView::convertPointFromSuperview(CGPoint p) const
{
    CGPoint q { p.x - center_.x, p.y - center_.y };
    q = CGPointApplyAffineTransform(q, CGAffineTransformInvert(transform_));
    return { q.x + bounds_.origin.x + bounds_.size.width / 2, q.y + bounds_.origin.y + bounds_.size.height / 2 };
}

// Points are carried up to the root of this tree, then down to the target; a view in another
// tree reads the root's space as its own root's (both stand for the window's).
CGPoint UIView::convertPointToView(CGPoint point, const UIView* view) const
{
    CGPoint p = point;
    const UIView* v = this;
    for (;;) {
        if (v == view)
            return p;
        auto parent = v->superview_.lock();
        if (!parent)
            break;
        p = v->convertPointToSuperview(p);
        v = parent.get();
    }
    return view ? view->convertPointFromView(p, nullptr) : p;
}

CGPoint UIView::convertPointFromView(CGPoint point, const UIView* view) const
{
    CGPoint p = view ? view->convertPointToView(point, nullptr) : point;
    std::vector<const UIView*> chain;
    for (const UIView* v = this; v->superview_.lock(); v = v->superview_.lock().get())
        chain.push_back(v);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        p = (*it)->convertPointFromSuperview(p);
    return p;
}

namespace {
template <class F>
CGRect mapRect(CGRect r, F map)
{
    r = CGRectStandardize(r);
    CGPoint c[4] = { r.origin, { r.origin.x + r.size.width, r.origin.y }, { r.origin.x, r.origin.y + r.size.height },
        { r.origin.x + r.size.width, r.origin.y + r.size.height } };
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (auto& p : c) {
        CGPoint q = map(p);
        minX = std::min(minX, q.x);
        minY = std::min(minY, q.y);
        maxX = std::max(maxX, q.x);
        maxY = std::max(maxY, q.y);
    }
    return { { minX, minY }, { maxX - minX, maxY - minY } };
}
} // namespace

CGRect UIView::convertRectToView(CGRect rect, const UIView* view) const
{
    return mapRect(rect, [&](CGPoint p) { return convertPointToView(p, view); });
}

CGRect UIView::convertRectFromView(CGRect rect, const UIView* view) const
{
    return mapRect(rect, [&](CGPoint p) { return convertPointFromView(p, view); });
}

// ---- hit testing ----

bool UIView::pointInside(CGPoint point) const
{
    return CGRectContainsPoint(bounds_, point);
}

std::shared_ptr<UIView> UIView::hitTest(CGPoint point)
{
    if (hidden_ || alpha_ < 0.01 || !userInteractionEnabled_)
        return nullptr;
    if (!pointInside(point))
        return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        auto sub = *it;
        if (auto hit = sub->hitTest(sub->convertPointFromSuperview(point)))
            return hit;
    }
    return shared();
}

void UIView::handleTap(CGPoint point)
{
    if (auto parent = superview_.lock())
        parent->handleTap(convertPointToSuperview(point));
}

// ---- layout ----

void UIView::setNeedsLayout()
{
    needsLayout_ = true;
    uikit::scheduleUpdatePass();
}

void UIView::layoutIfNeeded()
{
    auto keep = shared();
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    auto children = subviews_;
    for (auto& sub : children)
        sub->layoutIfNeeded();
}

CGSize UIView::sizeThatFits(CGSize) const
{
    return bounds_.size;
}

void UIView::sizeToFit()
{
    CGSize size = sizeThatFits(bounds_.size);
    CGRect f = frame();
    setFrame({ f.origin, size });
}

bool UIView::endEditing(bool force)
{
    auto w = window();
    if (!w)
        return false;
    auto fr = std::dynamic_pointer_cast<UIView>(w->firstResponder());
    if (!fr || !fr->isDescendantOfView(this))
        return false;
    if (force) {
        fr->resignFirstResponder();
        return true;
    }
    return fr->resignFirstResponder();
}

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer)
{
    if (!recognizer || std::find(recognizers_.begin(), recognizers_.end(), recognizer) != recognizers_.end())
        return;
    if (auto old = recognizer->view())
        old->removeGestureRecognizer(recognizer);
    recognizers_.push_back(recognizer);
    recognizer->attachToView(shared());
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer)
{
    auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
    if (it == recognizers_.end())
        return;
    recognizers_.erase(it);
    recognizer->attachToView(nullptr);
}

std::shared_ptr<UIResponder> UIView::nextResponder() const
{
    if (auto controller = controller_.lock(); controller && controller->isViewLoaded()
        && controller->view().get() == this)
        return controller;
    return superview_.lock();
}
