// Button per-state image and background loads, and the highlighted-image load of image views.
#include "image/UIButton+WebCache.h"
#include "image/UIImageView+WebCache.h"
#include "image/ViewCompletion.h"
#include "image/ViewLoadState.h"
#include "image/WIImageManager.h"

namespace {
using image::reportNilURL;
using image::viewCompletion;
std::string imageKey(UIControlState state) { return "UIButtonImageOperation" + std::to_string(state); }
std::string backgroundKey(UIControlState state) { return "UIButtonBackgroundImageOperation" + std::to_string(state); }
std::string urlKey(UIControlState state) { return "UIButtonImageURL" + std::to_string(state); }
const std::string kHighlightedKey = "highlightedImage";
} // namespace

void wi_setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url, UIControlState state,
    const UIImageRef& placeholder, WILoadOptions options, WIViewCompletion completed)
{
    if (!button) {
        return;
    }
    button->setImage(placeholder, state);
    wi_cancelImageLoadForState(button, state);
    image::withViewState(button, [&](image::ViewLoadState& stored) {
        if (url) {
            stored.urls[urlKey(state)] = url;
        } else {
            stored.urls.erase(urlKey(state));
        }
    });
    if (!url) {
        reportNilURL(completed);
        return;
    }
    auto operation = WIImageManager::sharedManager()->downloadImageWithURL(url, options, {},
        viewCompletion<UIButton>(button, options, completed,
            [state](UIButton& target, const UIImageRef& image) { target.setImage(image, state); }));
    wi_setImageLoadOperation(button, operation, state);
}

void wi_setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url,
    UIControlState state, const UIImageRef& placeholder, WILoadOptions options, WIViewCompletion completed)
{
    if (!button) {
        return;
    }
    wi_cancelBackgroundImageLoadForState(button, state);
    button->setBackgroundImage(placeholder, state);
    if (!url) {
        reportNilURL(completed);
        return;
    }
    auto operation = WIImageManager::sharedManager()->downloadImageWithURL(url, options, {},
        viewCompletion<UIButton>(button, options, completed,
            [state](UIButton& target, const UIImageRef& image) { target.setBackgroundImage(image, state); }));
    wi_setBackgroundImageLoadOperation(button, operation, state);
}

std::optional<NSURL> wi_imageURLForState(const std::shared_ptr<UIButton>& button, UIControlState state)
{
    std::optional<NSURL> url;
    image::withViewState(button, [&](image::ViewLoadState& stored) {
        auto found = stored.urls.find(urlKey(state));
        if (found != stored.urls.end()) {
            url = found->second;
        }
    });
    return url;
}

std::optional<NSURL> wi_currentImageURL(const std::shared_ptr<UIButton>& button)
{
    if (!button) {
        return std::nullopt;
    }
    if (auto url = wi_imageURLForState(button, button->state())) {
        return url;
    }
    return wi_imageURLForState(button, UIControlStateNormal);
}

void wi_setImageLoadOperation(const std::shared_ptr<UIButton>& button, WIImageOperationRef operation, UIControlState state)
{
    wi_setImageLoadOperation(std::shared_ptr<UIView>(button), std::move(operation), imageKey(state));
}

void wi_setBackgroundImageLoadOperation(
    const std::shared_ptr<UIButton>& button, WIImageOperationRef operation, UIControlState state)
{
    wi_setImageLoadOperation(std::shared_ptr<UIView>(button), std::move(operation), backgroundKey(state));
}

void wi_cancelImageLoadForState(const std::shared_ptr<UIButton>& button, UIControlState state)
{
    wi_cancelImageLoadOperationWithKey(button, imageKey(state));
}

void wi_cancelBackgroundImageLoadForState(const std::shared_ptr<UIButton>& button, UIControlState state)
{
    wi_cancelImageLoadOperationWithKey(button, backgroundKey(state));
}

void wi_setHighlightedImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    WILoadOptions options, WIDownloadProgress progress, WIViewCompletion completed)
{
    if (!view) {
        return;
    }
    wi_cancelCurrentHighlightedImageLoad(view);
    if (!url) {
        reportNilURL(completed);
        return;
    }
    auto operation = WIImageManager::sharedManager()->downloadImageWithURL(url, options, std::move(progress),
        viewCompletion<UIImageView>(view, options, completed, [](UIImageView& target, const UIImageRef& image) {
            target.setHighlightedImage(image);
            target.setNeedsLayout();
        }));
    wi_setImageLoadOperation(view, operation, kHighlightedKey);
}

void wi_cancelCurrentHighlightedImageLoad(const std::shared_ptr<UIImageView>& view)
{
    wi_cancelImageLoadOperationWithKey(view, kHighlightedKey);
}
