// The refresh header: pull-down thresholds, the inset kept while refreshing and the time of
// the last refresh.
#include "ui/PZRefreshHeaderView.h"

#include <numbers>

#include "platform/foundation/NSDateFormatter.h"
#include "platform/foundation/NSTimeZone.h"
#include "platform/persistence/NSUserDefaults.h"
#include "ui/PZExtension.h"

namespace {

const char* const kLastUpdateTimeKey = "PZRefreshHeaderView";

// The time as the label shows it, relative to now in the local calendar.
std::string formattedTime(const NSDate& time)
{
    auto zone = NSTimeZone::localTimeZone();
    auto then = zone.fieldsForSeconds(time.timeIntervalSince1970());
    auto now = zone.fieldsForSeconds(NSDate::date().timeIntervalSince1970());
    auto formatter = NSDateFormatter::create();
    if (then.year == now.year && then.month == now.month && then.day == now.day) {
        formatter->setDateFormat("HH:mm");
        return "今天 " + formatter->stringFromDate(time);
    }
    formatter->setDateFormat(then.year == now.year ? "MM-dd HH:mm" : "yyyy-MM-dd HH:mm");
    return formatter->stringFromDate(time);
}

} // namespace

std::shared_ptr<PZRefreshHeaderView> PZRefreshHeaderView::header()
{
    return initWithFrame(CGRectZero);
}

std::shared_ptr<PZRefreshHeaderView> PZRefreshHeaderView::initWithFrame(CGRect frame)
{
    auto view = std::make_shared<PZRefreshHeaderView>(frame);
    view->setUp();
    return view;
}

PZRefreshHeaderView::PZRefreshHeaderView(CGRect frame)
    : PZRefreshBaseView(frame)
{
}

void PZRefreshHeaderView::setUp()
{
    PZRefreshBaseView::setUp();
    setPullToRefreshText("下拉可以刷新");
    setReleaseToRefreshText("松开立即刷新");
    setRefreshingText("正在帮你刷新中...");
}

std::shared_ptr<UILabel> PZRefreshHeaderView::lastUpdateTimeLabel()
{
    if (auto label = lastUpdateTimeLabel_.lock())
        return label;
    auto label = UILabel::create();
    label->setFont(UIFont::boldSystemFontOfSize(12));
    label->setTextColor(UIColor::colorWithRed(150 / 255.0, 150 / 255.0, 150 / 255.0, 1.0));
    label->setBackgroundColor(UIColor::clearColor());
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    addSubview(label);
    // Kept before the stored time is applied: showing it asks for the label again.
    lastUpdateTimeLabel_ = label;
    Value stored = NSUserDefaults::standardUserDefaults()->objectForKey(kLastUpdateTimeKey);
    setLastUpdateTime(stored.isDate() ? std::optional<NSDate>(NSDate::fromValue(stored)) : std::nullopt);
    return label;
}

void PZRefreshHeaderView::setLastUpdateTime(const std::optional<NSDate>& time)
{
    lastUpdateTime_ = time;
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (time)
        defaults->setObject(time->toValue(), kLastUpdateTimeKey);
    else
        defaults->removeObjectForKey(kLastUpdateTimeKey);
    defaults->synchronize();
    updateTimeLabel();
}

void PZRefreshHeaderView::updateTimeLabel()
{
    if (!lastUpdateTime_)
        return;
    lastUpdateTimeLabel()->setText("最后更新：" + formattedTime(*lastUpdateTime_));
}

void PZRefreshHeaderView::layoutSubviews()
{
    PZRefreshBaseView::layoutSubviews();
    CGFloat width = pz_width(*this);
    CGFloat half = pz_height(*this) / 2;
    statusLabel()->setFrame(CGRectMake(0, 0, width, half));
    lastUpdateTimeLabel()->setFrame(CGRectMake(0, half, width, half));
}

void PZRefreshHeaderView::willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview)
{
    PZRefreshBaseView::willMoveToSuperview(newSuperview);
    pz_setY(*this, -pz_height(*this));
}

void PZRefreshHeaderView::observeValueForKeyPath(const std::string& keyPath, NSObject*, const Value&, void*)
{
    if (!isUserInteractionEnabled() || alpha() <= 0.01 || isHidden() || isRefreshing())
        return;
    if (keyPath == "contentOffset")
        adjustStateWithContentOffset();
}

void PZRefreshHeaderView::adjustStateWithContentOffset()
{
    auto scroll = scrollView();
    if (!scroll)
        return;
    CGFloat offset = pz_contentOffsetY(*scroll);
    CGFloat top = scrollViewOriginalInset().top;
    if (offset >= -top)
        return;
    if (!scroll->isDragging()) {
        if (state() == PZRefreshStatePulling)
            setState(PZRefreshStateRefreshing);
        return;
    }
    CGFloat limit = -top - pz_height(*this);
    if (state() == PZRefreshStateNormal && offset < limit)
        setState(PZRefreshStatePulling);
    else if (state() == PZRefreshStatePulling && offset >= limit)
        setState(PZRefreshStateNormal);
}

void PZRefreshHeaderView::setState(PZRefreshState state)
{
    PZRefreshState old = this->state();
    if (!applyBaseState(state))
        return;
    auto arrow = arrowImage();
    auto scroll = scrollView();
    CGFloat top = scrollViewOriginalInset().top;
    CGFloat height = pz_height(*this);

    if (state == PZRefreshStatePulling) {
        UIView::animateWithDuration(0.25, [arrow] { arrow->setTransform(CGAffineTransformMakeRotation(std::numbers::pi)); });
        return;
    }
    if (state == PZRefreshStateRefreshing) {
        if (!scroll)
            return;
        UIView::animateWithDuration(0.25, [scroll, top, height] {
            pz_setContentInsetTop(*scroll, top + height);
            pz_setContentOffsetY(*scroll, -(top + height));
        });
        return;
    }
    if (state != PZRefreshStateNormal)
        return;
    if (old != PZRefreshStateRefreshing) {
        UIView::animateWithDuration(0.25, [arrow] { arrow->setTransform(CGAffineTransformIdentity); });
        return;
    }
    // The refresh ended: back to the inset the content had before it began.
    arrow->setTransform(CGAffineTransformIdentity);
    setLastUpdateTime(NSDate::date());
    if (scroll)
        UIView::animateWithDuration(0.4, [scroll, top] { pz_setContentInsetTop(*scroll, top); });
}
