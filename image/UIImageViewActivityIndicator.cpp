// The activity indicator of image views that load from URLs: its settings, kept with the
// view's load state, and adding and removing it.
#include "image/UIImageView+WebCache.h"
#include "image/ViewLoadState.h"

void setShowActivityIndicatorView(const std::shared_ptr<UIImageView>& view, bool show)
{
    image::withViewState(view, [&](image::ViewLoadState& state) { state.showActivityIndicator = show; });
}

bool showActivityIndicatorView(const std::shared_ptr<UIImageView>& view)
{
    bool show = false;
    image::withViewState(view, [&](image::ViewLoadState& state) { show = state.showActivityIndicator; });
    return show;
}

void setIndicatorStyle(const std::shared_ptr<UIImageView>& view, UIActivityIndicatorViewStyle style)
{
    image::withViewState(view, [&](image::ViewLoadState& state) { state.indicatorStyle = style; });
}

UIActivityIndicatorViewStyle getIndicatorStyle(const std::shared_ptr<UIImageView>& view)
{
    int style = 0;
    image::withViewState(view, [&](image::ViewLoadState& state) { style = state.indicatorStyle; });
    return UIActivityIndicatorViewStyle(style);
}

std::shared_ptr<UIActivityIndicatorView> activityIndicator(const std::shared_ptr<UIImageView>& view)
{
    std::shared_ptr<UIActivityIndicatorView> indicator;
    image::withViewState(view, [&](image::ViewLoadState& state) { indicator = state.activityIndicator; });
    return indicator;
}

void setActivityIndicator(const std::shared_ptr<UIImageView>& view, std::shared_ptr<UIActivityIndicatorView> indicator)
{
    image::withViewState(view, [&](image::ViewLoadState& state) { state.activityIndicator = std::move(indicator); });
}

void addActivityIndicator(const std::shared_ptr<UIImageView>& view)
{
    if (!view || activityIndicator(view)) {
        return;
    }
    auto indicator = UIActivityIndicatorView::initWithActivityIndicatorStyle(getIndicatorStyle(view));
    // Flexible margins on every side keep it on the view's centre, as two centring constraints would.
    indicator->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin
        | UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    setActivityIndicator(view, indicator);
    std::weak_ptr<UIImageView> weak = view;
    image::runOnMainAsync([weak, indicator] {
        if (auto strong = weak.lock()) {
            CGRect bounds = strong->bounds();
            indicator->setCenter(CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds)));
            strong->addSubview(indicator);
        }
    });
    image::runOnMainAsync([indicator] { indicator->startAnimating(); });
}

void removeActivityIndicator(const std::shared_ptr<UIImageView>& view)
{
    std::shared_ptr<UIActivityIndicatorView> indicator;
    image::withViewState(view, [&](image::ViewLoadState& state) { indicator = std::move(state.activityIndicator); });
    if (indicator) {
        indicator->removeFromSuperview();
    }
}
