// Loading images from URLs into image views: the per-view registry of running loads (shared by
// every view extension) and the image view's loads, where a newer request cancels the older.
// Meant for the main thread; results are applied on the main thread and hold the view weakly.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include "image/WIImageTypes.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIImageView.h"

class UIView;

// UIView(WebCacheOperation): running loads by key. Setting cancels what the key held.
void wi_setImageLoadOperation(const std::shared_ptr<UIView>& view, WIImageOperationRef operation, const std::string& key);
void wi_setImageLoadOperations(
    const std::shared_ptr<UIView>& view, std::vector<WIImageOperationRef> operations, const std::string& key);
void wi_cancelImageLoadOperationWithKey(const std::shared_ptr<UIView>& view, const std::string& key);
void wi_removeImageLoadOperationWithKey(const std::shared_ptr<UIView>& view, const std::string& key);

// UIImageView(WebCache). The key of the image load is "UIImageViewImageLoad".
void wi_setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder = nullptr, WILoadOptions options = 0, WIDownloadProgress progress = {},
    WIViewCompletion completed = {});
void wi_setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WIViewCompletion completed);
// Shows the URL's cached image (memory, then disk) as placeholder when there is one.
void wi_setImageWithPreviousCachedImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options = 0, WIDownloadProgress progress = {},
    WIViewCompletion completed = {});
// The URL last requested for the view (none after a request without URL).
std::optional<NSURL> wi_imageURL(const std::shared_ptr<UIImageView>& view);
void wi_setAnimationImagesWithURLs(const std::shared_ptr<UIImageView>& view, const std::vector<NSURL>& urls);
void wi_cancelCurrentImageLoad(const std::shared_ptr<UIImageView>& view);
void wi_cancelCurrentAnimationImagesLoad(const std::shared_ptr<UIImageView>& view);

// The activity indicator a load shows while it runs, when the view asks for one. It is added
// centred in the view (and kept centred as the view resizes) and spins until the load reports.
void setShowActivityIndicatorView(const std::shared_ptr<UIImageView>& view, bool show);
bool showActivityIndicatorView(const std::shared_ptr<UIImageView>& view);
void setIndicatorStyle(const std::shared_ptr<UIImageView>& view, UIActivityIndicatorViewStyle style);
UIActivityIndicatorViewStyle getIndicatorStyle(const std::shared_ptr<UIImageView>& view);
std::shared_ptr<UIActivityIndicatorView> activityIndicator(const std::shared_ptr<UIImageView>& view);
void setActivityIndicator(const std::shared_ptr<UIImageView>& view, std::shared_ptr<UIActivityIndicatorView> indicator);
void addActivityIndicator(const std::shared_ptr<UIImageView>& view);
void removeActivityIndicator(const std::shared_ptr<UIImageView>& view);

// UIImageView(PZWebCache): options retry-failed | low-priority.
void setImageURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url, const UIImageRef& placeholder);
void setImageURLStr(const std::shared_ptr<UIImageView>& view, const std::string& urlString, const UIImageRef& placeholder);
