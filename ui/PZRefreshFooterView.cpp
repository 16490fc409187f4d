// The refresh footer: placement below the content, pull-up thresholds and the inset kept
// while loading more.
#include "ui/PZRefreshFooterView.h"

#include <algorithm>
#include <numbers>

#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UITableView.h"
#include "ui/PZExtension.h"

std::shared_ptr<PZRefreshFooterView> PZRefreshFooterView::footer()
{
    return initWithFrame(CGRectZero);
}

std::shared_ptr<PZRefreshFooterView> PZRefreshFooterView::initWithFrame(CGRect frame)
{
    auto view = std::make_shared<PZRefreshFooterView>(frame);
    view->setUp();
    return view;
}

PZRefreshFooterView::PZRefreshFooterView(CGRect frame)
    : PZRefreshBaseView(frame)
{
}

PZRefreshFooterView::~PZRefreshFooterView()
{
    if (auto scroll = scrollView())
        scroll->removeObserver(this, "contentSize");
}

void PZRefreshFooterView::setUp()
{
    PZRefreshBaseView::setUp();
    setPullToRefreshText("上拉可以加载更多数据");
    setReleaseToRefreshText("松开立即加载更多数据");
    setRefreshingText("正在帮你加载数据...");
}

void PZRefreshFooterView::layoutSubviews()
{
    PZRefreshBaseView::layoutSubviews();
    statusLabel()->setFrame(bounds());
}

void PZRefreshFooterView::willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview)
{
    auto old = scrollView();
    PZRefreshBaseView::willMoveToSuperview(newSuperview);
    if (old)
        old->removeObserver(this, "contentSize");
    // Taken out of its scroll view, the footer keeps it but no longer follows it.
    auto scroll = std::dynamic_pointer_cast<UIScrollView>(newSuperview);
    if (!scroll)
        return;
    scroll->addObserver(sharedAs<PZRefreshFooterView>(), "contentSize", NSKeyValueObservingOptionNew, nullptr);
    adjustFrameWithContentSize();
}

void PZRefreshFooterView::adjustFrameWithContentSize()
{
    auto scroll = scrollView();
    if (!scroll)
        return;
    UIEdgeInsets inset = scrollViewOriginalInset();
    CGFloat visible = pz_height(*scroll) - inset.top - inset.bottom;
    pz_setY(*this, std::max(pz_contentSizeHeight(*scroll), visible));
}

double PZRefreshFooterView::heightForContentBreakView() const
{
    auto scroll = scrollView();
    if (!scroll)
        return 0;
    UIEdgeInsets inset = scrollViewOriginalInset();
    return pz_contentSizeHeight(*scroll) - (pz_height(*scroll) - inset.bottom - inset.top);
}

double PZRefreshFooterView::happenOffsetY() const
{
    double top = scrollViewOriginalInset().top;
    double beyond = heightForContentBreakView();
    return beyond > 0 ? beyond - top : -top;
}

std::int32_t PZRefreshFooterView::totalDataCountInScrollView() const
{
    auto scroll = scrollView();
    std::int64_t total = 0;
    if (auto table = std::dynamic_pointer_cast<UITableView>(scroll)) {
        for (NSInteger section = 0, sections = table->numberOfSections(); section < sections; ++section)
            total += table->numberOfRowsInSection(section);
    } else if (auto collection = std::dynamic_pointer_cast<UICollectionView>(scroll)) {
        for (NSInteger section = 0, sections = collection->numberOfSections(); section < sections; ++section)
            total += collection->numberOfItemsInSection(section);
    }
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(total, INT32_MIN, INT32_MAX));
}

void PZRefreshFooterView::observeValueForKeyPath(const std::string& keyPath, NSObject*, const Value&, void*)
{
    if (!isUserInteractionEnabled() || alpha() <= 0.01 || isHidden())
        return;
    if (keyPath == "contentSize") {
        adjustFrameWithContentSize();
        return;
    }
    if (keyPath == "contentOffset" && !isRefreshing())
        adjustStateWithContentOffset();
}

void PZRefreshFooterView::adjustStateWithContentOffset()
{
    auto scroll = scrollView();
    if (!scroll)
        return;
    CGFloat offset = pz_contentOffsetY(*scroll);
    double happen = happenOffsetY();
    if (offset <= happen)
        return;
    if (!scroll->isDragging()) {
        if (state() == PZRefreshStatePulling)
            setState(PZRefreshStateRefreshing);
        return;
    }
    double limit = happen + pz_height(*this);
    if (state() == PZRefreshStateNormal && offset > limit)
        setState(PZRefreshStatePulling);
    else if (state() == PZRefreshStatePulling && offset <= limit)
        setState(PZRefreshStateNormal);
}

void PZRefreshFooterView::setState(PZRefreshState state)
{
    PZRefreshState old = this->state();
    if (!applyBaseState(state))
        return;
    auto arrow = arrowImage();
    auto scroll = scrollView();
    UIEdgeInsets inset = scrollViewOriginalInset();
    CGFloat height = pz_height(*this);

    if (state == PZRefreshStatePulling) {
        UIView::animateWithDuration(0.25, [arrow] { arrow->setTransform(CGAffineTransformIdentity); });
        return;
    }
    if (state == PZRefreshStateRefreshing) {
        lastRefreshCount_ = totalDataCountInScrollView();
        if (!scroll)
            return;
        double beyond = heightForContentBreakView();
        CGFloat bottom = height + inset.bottom - (beyond < 0 ? beyond : 0);
        UIView::animateWithDuration(0.25, [scroll, bottom] { pz_setContentInsetBottom(*scroll, bottom); });
        return;
    }
    if (state != PZRefreshStateNormal)
        return;
    if (old == PZRefreshStateRefreshing) {
        arrow->setTransform(CGAffineTransformMakeRotation(std::numbers::pi));
        if (scroll)
            UIView::animateWithDuration(0.4, [scroll, inset] { pz_setContentInsetBottom(*scroll, inset.bottom); });
    } else {
        UIView::animateWithDuration(0.25, [arrow] { arrow->setTransform(CGAffineTransformMakeRotation(std::numbers::pi)); });
    }
    // New rows arrived: setting the offset again lets the scroll view show them.
    if (scroll && old == PZRefreshStateRefreshing && heightForContentBreakView() > 0
        && totalDataCountInScrollView() != lastRefreshCount_)
        pz_setContentOffsetY(*scroll, pz_contentOffsetY(*scroll));
}
