// Image view loading: the load registry, the image load with placeholder and options, the
// previous-cached variant, animation images and the short string wrappers.
#include "image/UIImageView+WebCache.h"
#include "image/ViewLoadState.h"
#include "image/WIImageManager.h"
#include "platform/uikit/UIView.h"

namespace {
const std::string kImageLoadKey = "UIImageViewImageLoad";
const std::string kAnimationImagesKey = "UIImageViewAnimationImages";

std::vector<WIImageOperationRef> takeOperations(const std::shared_ptr<UIView>& view, const std::string& key)
{
    std::vector<WIImageOperationRef> taken;
    image::withViewState(view, [&](image::ViewLoadState& state) {
        auto found = state.operations.find(key);
        if (found != state.operations.end()) {
            taken = std::move(found->second);
            state.operations.erase(found);
        }
    });
    return taken;
}
} // namespace

void wi_setImageLoadOperations(
    const std::shared_ptr<UIView>& view, std::vector<WIImageOperationRef> operations, const std::string& key)
{
    wi_cancelImageLoadOperationWithKey(view, key);
    image::withViewState(view, [&](image::ViewLoadState& state) { state.operations[key] = std::move(operations); });
}

void wi_setImageLoadOperation(const std::shared_ptr<UIView>& view, WIImageOperationRef operation, const std::string& key)
{
    std::vector<WIImageOperationRef> operations;
    if (operation) {
        operations.push_back(std::move(operation));
    }
    wi_setImageLoadOperations(view, std::move(operations), key);
}

void wi_cancelImageLoadOperationWithKey(const std::shared_ptr<UIView>& view, const std::string& key)
{
    // Cancelled outside the registry's lock: a cancel may report back.
    for (const auto& operation : takeOperations(view, key)) {
        if (operation) {
            operation->cancel();
        }
    }
}

void wi_removeImageLoadOperationWithKey(const std::shared_ptr<UIView>& view, const std::string& key)
{
    takeOperations(view, key);
}

std::optional<NSURL> wi_imageURL(const std::shared_ptr<UIImageView>& view)
{
    std::optional<NSURL> url;
    image::withViewState(view, [&](image::ViewLoadState& state) {
        auto found = state.urls.find(kImageLoadKey);
        if (found != state.urls.end()) {
            url = found->second;
        }
    });
    return url;
}

void wi_cancelCurrentImageLoad(const std::shared_ptr<UIImageView>& view) { wi_cancelImageLoadOperationWithKey(view, kImageLoadKey); }

void wi_cancelCurrentAnimationImagesLoad(const std::shared_ptr<UIImageView>& view)
{
    wi_cancelImageLoadOperationWithKey(view, kAnimationImagesKey);
}

void wi_setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WIViewCompletion completed)
{
    wi_setImageWithURL(view, url, placeholder, 0, {}, std::move(completed));
}

void wi_setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options, WIDownloadProgress progress, WIViewCompletion completed)
{
    if (!view) {
        return;
    }
    wi_cancelCurrentImageLoad(view);
    image::withViewState(view, [&](image::ViewLoadState& state) { state.urls[kImageLoadKey] = url; });
    std::weak_ptr<UIImageView> weak = view;
    if (!(options & WILoadDelayPlaceholder)) {
        image::runOnMainAsync([weak, placeholder] {
            if (auto strong = weak.lock()) {
                strong->setImage(placeholder);
            }
        });
    }
    if (!url) {
        image::runOnMainAsync([weak, completed] {
            removeActivityIndicator(weak.lock());
            if (completed) {
                completed(nullptr, image::nilURLError(), WICacheSourceNone, std::nullopt);
            }
        });
        return;
    }
    if (showActivityIndicatorView(view)) {
        addActivityIndicator(view);
    }
    auto operation = WIImageManager::sharedManager()->downloadImageWithURL(url, options, std::move(progress),
        [weak, options, placeholder, completed](UIImageRef image, std::shared_ptr<NSError> error, WICacheSource source,
            bool finished, std::optional<NSURL> imageURL) {
            removeActivityIndicator(weak.lock());
            if (weak.expired()) {
                return;
            }
            image::runOnMainSync([&] {
                auto strong = weak.lock();
                if (!strong) {
                    return;
                }
                if (image && (options & WILoadAvoidAutoSetImage) && completed) {
                    completed(image, error, source, imageURL);
                    return;
                }
                if (image) {
                    strong->setImage(image);
                    strong->setNeedsLayout();
                } else if (options & WILoadDelayPlaceholder) {
                    strong->setImage(placeholder);
                    strong->setNeedsLayout();
                }
                if (completed && finished) {
                    completed(image, error, source, imageURL);
                }
            });
        });
    wi_setImageLoadOperation(view, operation, kImageLoadKey);
}

void wi_setImageWithPreviousCachedImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options, WIDownloadProgress progress, WIViewCompletion completed)
{
    auto manager = WIImageManager::sharedManager();
    UIImageRef cached = url ? manager->imageCache()->imageFromDiskCacheForKey(manager->cacheKeyForURL(url)) : nullptr;
    wi_setImageWithURL(view, url, cached ? cached : placeholder, options, std::move(progress), std::move(completed));
}

void wi_setAnimationImagesWithURLs(const std::shared_ptr<UIImageView>& view, const std::vector<NSURL>& urls)
{
    if (!view) {
        return;
    }
    wi_cancelCurrentAnimationImagesLoad(view);
    // A new set of URLs starts from no frames, so sets never mix.
    view->stopAnimating();
    view->setAnimationImages({});
    std::weak_ptr<UIImageView> weak = view;
    std::vector<WIImageOperationRef> operations;
    for (const auto& url : urls) {
        operations.push_back(WIImageManager::sharedManager()->downloadImageWithURL(url, 0, {},
            [weak](UIImageRef image, std::shared_ptr<NSError>, WICacheSource, bool, std::optional<NSURL>) {
                if (weak.expired()) {
                    return;
                }
                image::runOnMainSync([&] {
                    auto strong = weak.lock();
                    if (!strong) {
                        return;
                    }
                    strong->stopAnimating();
                    if (image) {
                        auto frames = strong->animationImages();
                        frames.push_back(image);
                        strong->setAnimationImages(std::move(frames));
                        strong->setNeedsLayout();
                    }
                    strong->startAnimating();
                });
            }));
    }
    wi_setImageLoadOperations(view, std::move(operations), kAnimationImagesKey);
}

void setImageURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url, const UIImageRef& placeholder)
{
    wi_setImageWithURL(view, url, placeholder, WILoadRetryFailed | WILoadLowPriority);
}

void setImageURLStr(const std::shared_ptr<UIImageView>& view, const std::string& urlString, const UIImageRef& placeholder)
{
    setImageURL(view, NSURL::URLWithString(urlString), placeholder);
}
