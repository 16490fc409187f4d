// The refresh base view: its subviews, the state machine and the owner's notification.
#include "ui/PZRefreshBaseView.h"

#include "platform/threading/Dispatch.h"
#include "ui/PZArrowImage.h"
#include "ui/PZExtension.h"

namespace {

const UIColor& statusTextColor()
{
    static const UIColor color = UIColor::colorWithRed(150 / 255.0, 150 / 255.0, 150 / 255.0, 1.0);
    return color;
}

// Runs the block on the main queue after `seconds`.
void afterDelay(double seconds, dispatch_block_t block)
{
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(seconds * 1e9)),
        dispatch_get_main_queue(), std::move(block));
}

} // namespace

std::shared_ptr<PZRefreshBaseView> PZRefreshBaseView::initWithFrame(CGRect frame)
{
    auto view = std::make_shared<PZRefreshBaseView>(frame);
    view->setUp();
    return view;
}

PZRefreshBaseView::PZRefreshBaseView(CGRect frame)
    : UIView(CGRectMake(frame.origin.x, frame.origin.y, frame.size.width, PZRefreshViewHeight))
{
}

PZRefreshBaseView::~PZRefreshBaseView()
{
    if (auto scrollView = scrollView_.lock())
        scrollView->removeObserver(this, "contentOffset");
}

void PZRefreshBaseView::setUp()
{
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    setBackgroundColor(UIColor::clearColor());
    setState(PZRefreshStateNormal);
}

std::shared_ptr<UILabel> PZRefreshBaseView::statusLabel()
{
    if (auto label = statusLabel_.lock())
        return label;
    auto label = UILabel::create();
    label->setFont(UIFont::boldSystemFontOfSize(13));
    label->setTextColor(statusTextColor());
    label->setBackgroundColor(UIColor::clearColor());
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    addSubview(label);
    statusLabel_ = label;
    return label;
}

std::shared_ptr<UIImageView> PZRefreshBaseView::arrowImage()
{
    if (auto arrow = arrowImage_.lock())
        return arrow;
    auto arrow = UIImageView::withImage(ui::refresh::arrowImage());
    arrow->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
    addSubview(arrow);
    arrowImage_ = arrow;
    return arrow;
}

std::shared_ptr<UIActivityIndicatorView> PZRefreshBaseView::activityView()
{
    if (auto spinner = activityView_.lock())
        return spinner;
    auto spinner = UIActivityIndicatorView::initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
    auto arrow = arrowImage();
    spinner->setBounds(arrow->bounds());
    spinner->setAutoresizingMask(arrow->autoresizingMask());
    addSubview(spinner);
    activityView_ = spinner;
    return spinner;
}

void PZRefreshBaseView::setPullToRefreshText(const std::string& text)
{
    pullText_ = text;
    settingLabelText();
}

void PZRefreshBaseView::setReleaseToRefreshText(const std::string& text)
{
    releaseText_ = text;
    settingLabelText();
}

void PZRefreshBaseView::setRefreshingText(const std::string& text)
{
    refreshingText_ = text;
    settingLabelText();
}

void PZRefreshBaseView::settingLabelText()
{
    switch (state_) {
    case PZRefreshStatePulling:
        statusLabel()->setText(releaseText_);
        break;
    case PZRefreshStateNormal:
        statusLabel()->setText(pullText_);
        break;
    case PZRefreshStateRefreshing:
        statusLabel()->setText(refreshingText_);
        break;
    default:
        break;
    }
}

void PZRefreshBaseView::layoutSubviews()
{
    UIView::layoutSubviews();
    CGPoint center = CGPointMake(pz_width(*this) / 2 - 100, pz_height(*this) / 2);
    arrowImage()->setCenter(center);
    activityView()->setCenter(center);
}

void PZRefreshBaseView::willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview)
{
    UIView::willMoveToSuperview(newSuperview);
    if (auto old = scrollView_.lock())
        old->removeObserver(this, "contentOffset");
    // A view taken out of its scroll view keeps it, so that a refresh ending afterwards still
    // gives the scroll view its inset back; it no longer follows it.
    if (!newSuperview)
        return;
    scrollView_.reset();
    auto scrollView = std::dynamic_pointer_cast<UIScrollView>(newSuperview);
    if (!scrollView)
        return;
    scrollView->addObserver(sharedAs<PZRefreshBaseView>(), "contentOffset", NSKeyValueObservingOptionNew, nullptr);
    pz_setWidth(*this, pz_width(*scrollView));
    pz_setX(*this, 0);
    scrollView_ = scrollView;
    scrollViewOriginalInset_ = scrollView->contentInset();
}

void PZRefreshBaseView::drawRect(CGRect rect)
{
    if (state_ == PZRefreshStateWillRefreshing)
        setState(PZRefreshStateRefreshing);
    UIView::drawRect(rect);
}

void PZRefreshBaseView::tellOwner()
{
    auto self = sharedAs<PZRefreshBaseView>();
    auto target = target_.lock();
    if (target && action_)
        action_(target, self);
    if (callback_) {
        auto callback = callback_; // the owner may replace it while it runs
        callback();
    }
}

void PZRefreshBaseView::beginRefreshing()
{
    if (enteringRefresh_)
        return;
    if (state_ == PZRefreshStateRefreshing) {
        tellOwner();
        return;
    }
    if (window()) {
        setState(PZRefreshStateRefreshing);
        return;
    }
    state_ = PZRefreshStateWillRefreshing;
    setNeedsDisplay();
}

void PZRefreshBaseView::endRefreshing()
{
    if (endScheduled_ || ending_)
        return;
    endScheduled_ = true;
    auto self = sharedAs<PZRefreshBaseView>();
    afterDelay(0.3, [self] {
        self->endScheduled_ = false;
        self->setState(PZRefreshStateNormal);
    });
}

void PZRefreshBaseView::setState(PZRefreshState state)
{
    applyBaseState(state);
}

bool PZRefreshBaseView::applyBaseState(PZRefreshState state)
{
    if (state_ != PZRefreshStateRefreshing) {
        if (auto scrollView = scrollView_.lock())
            scrollViewOriginalInset_ = scrollView->contentInset();
    }
    if (state == state_)
        return false;

    if (state == PZRefreshStateRefreshing) {
        // An owner that begins again, or moves the content, while being told would start the
        // same refresh over and over.
        if (enteringRefresh_)
            return false;
        activityView()->startAnimating();
        arrowImage()->setHidden(true);
        enteringRefresh_ = true;
        tellOwner();
        enteringRefresh_ = false;
        state_ = PZRefreshStateRefreshing;
        settingLabelText();
        return true;
    }

    if (state == PZRefreshStateNormal && state_ == PZRefreshStateRefreshing) {
        if (ending_)
            return false;
        ending_ = true;
        auto spinner = activityView();
        UIView::animateWithDuration(0.4 * 0.6, [spinner] { spinner->setAlpha(0); }, [spinner](bool) {
            spinner->stopAnimating();
            spinner->setAlpha(1);
        });
        auto self = sharedAs<PZRefreshBaseView>();
        afterDelay(0.4, [self] { self->finishEnding(); });
        return true;
    }

    if (state == PZRefreshStateNormal) {
        arrowImage()->setHidden(false);
        activityView()->stopAnimating();
    }
    state_ = state;
    settingLabelText();
    return true;
}

void PZRefreshBaseView::finishEnding()
{
    ending_ = false;
    state_ = PZRefreshStatePulling;
    setState(PZRefreshStateNormal);
}
