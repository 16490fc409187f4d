// How the carousel reaches the image stack: URL pages load through the image view extension
// (with the placeholder while loading), and the cache clearing empties the shared image
// manager's disk cache.
#include "image/UIImageView+WebCache.h"
#include "image/WICycleScrollView.h"
#include "image/WIImageManager.h"

WICycleScrollView::ImageLoader WICycleScrollView::defaultImageLoader()
{
    ImageLoader loader;
    loader.load = [](const std::shared_ptr<UIImageView>& view, const std::string& url, const UIImageRef& placeholder) {
        wi_setImageWithURL(view, NSURL::URLWithString(url), placeholder);
    };
    loader.cancel = [](const std::shared_ptr<UIImageView>& view) { wi_cancelCurrentImageLoad(view); };
    return loader;
}

void WICycleScrollView::clearCache()
{
    if (auto cache = WIImageManager::sharedManager()->imageCache())
        cache->clearDisk();
}
