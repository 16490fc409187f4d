// The annotation view's image load.
#include "image/MKAnnotationView+WebCache.h"
#include "image/UIImageView+WebCache.h"
#include "image/ViewCompletion.h"
#include "image/ViewLoadState.h"
#include "image/WIImageManager.h"

namespace {
const std::string kAnnotationImageKey = "MKAnnotationViewImage";
} // namespace

void wi_setImageWithURL(const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options, WIViewCompletion completed)
{
    if (!view) {
        return;
    }
    wi_cancelCurrentImageLoad(view);
    image::withViewState(view, [&](image::ViewLoadState& state) { state.urls[kAnnotationImageKey] = url; });
    view->setImage(placeholder);
    if (!url) {
        image::reportNilURL(completed);
        return;
    }
    // The annotation view's load sets its image even when asked not to.
    auto operation = WIImageManager::sharedManager()->downloadImageWithURL(url, options, {},
        image::viewCompletion<MKAnnotationView>(view, options, std::move(completed),
            [](MKAnnotationView& shown, const UIImageRef& image) { shown.setImage(image); }, false));
    wi_setImageLoadOperation(view, operation, kAnnotationImageKey);
}

void wi_setImageWithURL(
    const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url, WIViewCompletion completed)
{
    wi_setImageWithURL(view, url, nullptr, 0, std::move(completed));
}

void wi_setImageWithURL(const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WIViewCompletion completed)
{
    wi_setImageWithURL(view, url, placeholder, 0, std::move(completed));
}

std::optional<NSURL> wi_imageURL(const std::shared_ptr<MKAnnotationView>& view)
{
    std::optional<NSURL> url;
    image::withViewState(view, [&](image::ViewLoadState& state) {
        if (auto found = state.urls.find(kAnnotationImageKey); found != state.urls.end()) {
            url = found->second;
        }
    });
    return url;
}

void wi_cancelCurrentImageLoad(const std::shared_ptr<MKAnnotationView>& view)
{
    wi_cancelImageLoadOperationWithKey(view, kAnnotationImageKey);
}
