// Loading a map annotation view's image from a URL through the shared image manager. A newer
// request cancels the older; received images are always set (there is no avoid-set rule here).
// Meant for the main thread; reports hold the view weakly.
#pragma once
#include <memory>
#include <optional>
#include "image/WIImageTypes.h"
#include "platform/uikit/MKAnnotationView.h"

// MKAnnotationView(WebCache). The key of the load is "MKAnnotationViewImage".
void wi_setImageWithURL(const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder = nullptr, WILoadOptions options = 0, WIViewCompletion completed = {});
void wi_setImageWithURL(
    const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url, WIViewCompletion completed);
void wi_setImageWithURL(const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WIViewCompletion completed);
// The URL last requested (none after a request without URL).
std::optional<NSURL> wi_imageURL(const std::shared_ptr<MKAnnotationView>& view);
void wi_cancelCurrentImageLoad(const std::shared_ptr<MKAnnotationView>& view);
